// UTF-16 helpers the layer uses at its edges: host paths and texts are UTF-8, device texts UTF-16.
#pragma once

#include <string>
#include <string_view>

#include "platform/types.h"

namespace fvt {

size_t WideLength(LPCWSTR text);
std::u16string_view WideView(LPCWSTR text);

// The program's one conversion between UTF-8 and UTF-16 (code point by code point: utf.h).
// Each byte of a bad UTF-8 sequence becomes U+FFFD, as the device's converter does; a lone
// surrogate in UTF-16 becomes U+FFFD.
std::u16string Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::u16string_view text);
void AppendUtf8(std::string& out, std::u16string_view text);
// False when the text holds bytes that are not UTF-8 (host names we cannot show on the device).
bool IsValidUtf8(std::string_view text);

// Simple case folding of one UTF-16 unit, the way the device's file system compares names.
char16_t FoldCase(char16_t c);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);

// Copies text with its terminator into a buffer of `capacity` units; false when it does not fit.
bool CopyWide(std::u16string_view text, LPWSTR buffer, size_t capacity);

}  // namespace fvt
