// The code page numbers, apart from the conversions (charset.h), for headers that only name them.
#pragma once

namespace CodePages {
constexpr int kSystem = 0;  // the system ANSI code page
constexpr int kWindows1252 = 1252;
constexpr int kLatin1 = 28591;
constexpr int kAscii = 20127;
constexpr int kUtf8 = 65001;
constexpr int kUtf16 = 65002;  // the program's own marker for internal UTF-16LE
}  // namespace CodePages
