// String resources and the program language. English ids run from 5002; the French text of id n
// is id n + 1000 and is chosen when the program language is French, falling back to the English
// text when the French one is missing.
#pragma once

#include <cstdint>

#include "platform/types.h"

class String;
class Text;

namespace Resources {
// The module whose resources are read (set at start-up; null reads the program's own).
void SetInstance(HINSTANCE instance);
HINSTANCE Instance();
// Empties out, then fills it; false when the id has no text.
bool LoadString(String& out, uint32_t id);
bool LoadString(void* context, String& out, uint32_t id);
// Into a Text (UTF-16); false when the id has no text.
bool LoadStringInto(void* context, Text& out, uint32_t id);
// Into a caller buffer of capacity units (truncated, always terminated); the units copied,
// or -1 when the id has no text.
int32_t LoadStringInto(uint32_t id, char16_t* buffer, int32_t capacity);
// Forgets the texts cached by LoadResString (after the language changes).
void FlushCache();
}  // namespace Resources

// The NUL-terminated text of a string resource in the program language, kept for the life of
// the program; null for an id without a text.
const char16_t* LoadResString(uint32_t id);
bool LoadResStringTo(uint32_t id, Text& out);
