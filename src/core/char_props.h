// Character properties: CJK ranges, combining marks, the word classes used by search and
// hyphenation, and the lower-case mapping shared by every case-insensitive comparison.
#pragma once

#include <cstdint>

namespace CharProps {
// CJK ideographs (IsCjkIdeograph), CJK symbols U+3000-U+32FF, Hangul U+1100-U+11FF and
// U+AC00-U+D7AF, full-width forms U+FF00-U+FFEE. Asked for every word laid out: whatever lies
// below the first range is answered inline.
bool IsCjkRanges(uint32_t c);
inline bool IsCjk(uint32_t c) {
    return c >= 0x1100 && IsCjkRanges(c);
}
// U+2E80-U+2FDF, U+3400-U+9FAF, U+F900-U+FAFF.
bool IsCjkIdeograph(uint32_t c);
// U+0300-U+036F, U+20D0-U+20FF, U+FE20-U+FE2F.
bool IsCombining(uint32_t c);

// Class3: 0 other (digits, non-Latin letters, marks), 1 consonant, 2 vowel, 3 punctuation,
// 4 other separators.
int Class3(uint32_t c);
// Class5: 0 caseless letter, 1 upper-case, 2 lower-case, 3 digit, 4 other number, 5 opening and
// 6 closing punctuation, 7 sentence punctuation, 8 quote, 9 white space, 10 control, 11 math,
// 12 currency, 13 other symbol, 20 explicit hyphen, 21 dash, 22 soft hyphen.
int Class5(uint32_t c);
constexpr int kClassWhiteSpace = 9;
constexpr int kClassHyphen = 20;

// The lower-case form through the 1252 case table; characters outside 1252 have their accent
// folded first (so U+0102 gives 'a'), and the rest use the Unicode simple lower-case mapping.
char16_t ToLower(char16_t c);
// The 1252 byte a character folds to, or -1.
int FoldTo1252(char16_t c);
}  // namespace CharProps

// The decimal separator of the user's locale: ',' for French, else '.', unless set (0 unsets).
char LocaleDecimalSeparator();
void SetLocaleDecimalSeparator(char c);
