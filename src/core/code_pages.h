// The code page numbers, apart from the conversions (charset.h), for headers that only name them.
#pragma once

namespace CodePages {
constexpr int kSystem = 0;  // the system ANSI code page
constexpr int kWindows1252 = 1252;
constexpr int kWindowsFirst = 1250;  // windows-1250 ... windows-1258
constexpr int kWindowsLast = 1258;
constexpr int kLatin1 = 28591;       // iso-8859-1 ... iso-8859-15 follow it
constexpr int kIso8859Last = 28605;
constexpr int kAscii = 20127;
constexpr int kUtf8 = 65001;
constexpr int kUtf16 = 65002;  // the program's own marker for internal UTF-16LE
constexpr int kUtf7 = 65000;
constexpr int kUtf16Le = 1200;
constexpr int kUtf16Be = 1201;
// The double-byte pages.
constexpr int kShiftJis = 932;
constexpr int kGbk = 936;
constexpr int kKorean = 949;
constexpr int kBig5 = 950;
constexpr int kJohab = 1361;
// Pages of more than two bytes a character, or with shift states.
constexpr int kGb18030 = 54936;
constexpr int kIso2022Jp = 50220;
constexpr int kEucJp = 51932;
constexpr int kEucKr = 51949;
// Single-byte pages known by a charset name.
constexpr int kKoi8R = 20866;
constexpr int kKoi8U = 21866;
constexpr int kMacRoman = 10000;
constexpr int kIbm866 = 866;
constexpr int kIbm850 = 850;
}  // namespace CodePages
