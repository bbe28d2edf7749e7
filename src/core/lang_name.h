// The language table: lower-case names ("en", "fr-ca") and 16-bit language ids whose low 10 bits
// are the primary language (9 English, 12 French, ...). Primary rows come first, so looking a
// code up by its primary language gives the short name.
#pragma once

#include <cstdint>

class String;
class Text;

namespace LangName {
// The language id of a name (exact after lower-casing, '_' read as '-'), or 0.
uint16_t Find(const char* name);
uint16_t Find(const String& name);
uint16_t Find(const Text& name);
// The name of the first row whose primary language (code AND 1023) matches, or null.
const char* Name(uint16_t code);
// The name of the row with exactly this code, or null.
const char* ExactName(uint16_t code);
}  // namespace LangName
