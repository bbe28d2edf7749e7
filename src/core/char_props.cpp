#include "core/char_props.h"

#include <algorithm>

#include "core/charset.h"
#include "platform/kernel/system_time.h"

namespace {
#include "core/char_tables.inc"

char g_decimalSeparator = 0;  // 0: from the user's language

template <size_t N>
int FindSorted(const uint16_t (&keys)[N], char16_t c) {
    const uint16_t* it = std::lower_bound(keys, keys + N, c);
    return (it != keys + N && *it == c) ? static_cast<int>(it - keys) : -1;
}

uint8_t Props(uint32_t c) {
    if (c > 0xFFFF) return 0;
    int b = CharProps::FoldTo1252(static_cast<char16_t>(c));
    if (b >= 0) return kProps1252[b];
    const uint16_t* end = kRangeStart + sizeof(kRangeStart) / sizeof(kRangeStart[0]);
    const uint16_t* it = std::upper_bound(kRangeStart, end, static_cast<uint16_t>(c));
    if (it == kRangeStart) return 0;
    return kRangeProps[it - kRangeStart - 1];
}
}  // namespace

bool CharProps::IsCjkIdeograph(uint32_t c) {
    return (c >= 0x2E80 && c <= 0x2FDF) || (c >= 0x3400 && c <= 0x9FAF) ||
           (c >= 0xF900 && c <= 0xFAFF);
}

bool CharProps::IsCjkRanges(uint32_t c) {
    return IsCjkIdeograph(c) || (c >= 0x3000 && c <= 0x32FF) || (c >= 0x1100 && c <= 0x11FF) ||
           (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xFF00 && c <= 0xFFEE);
}

bool CharProps::IsCombining(uint32_t c) {
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x20D0 && c <= 0x20FF) ||
           (c >= 0xFE20 && c <= 0xFE2F);
}

int CharProps::FoldTo1252(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
    int b = Cp1252::FromUnicode(c);
    if (b >= 0) return b;
    int i = FindSorted(kFoldFrom, c);
    return i >= 0 ? kFoldTo[i] : -1;
}

int CharProps::Class3(uint32_t c) {
    return Props(c) >> 5;
}
int CharProps::Class5(uint32_t c) {
    return Props(c) & 31;
}

char16_t CharProps::ToLower(char16_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? static_cast<char16_t>(c + 32) : c;
    int b = FoldTo1252(c);
    if (b >= 0) return Cp1252::ToUnicode(kLower1252[b]);
    int i = FindSorted(kLowerFrom, c);
    return i >= 0 ? static_cast<char16_t>(kLowerTo[i]) : c;
}

char LocaleDecimalSeparator() {
    if (g_decimalSeparator) return g_decimalSeparator;
    return (GetUserDefaultLangID() & 0x3FF) == 0x0C ? ',' : '.';
}
void SetLocaleDecimalSeparator(char c) {
    g_decimalSeparator = c;
}
