// The compiled-in style rules, one per styled tag, sorted by markup id.
#include <cstddef>

#include "document/markup/render_state.h"

namespace {

// A rule as written down: the mode bytes as 22 digits, and the values that are ever nonzero.
struct RuleRow {
    uint32_t id;
    const char* modes;
    uint32_t display, breakKind, level;
    uint8_t sizeStep, style, face;
    uint32_t leftMargin, alignment, listBits;
    uint32_t boxFlags = 0;
};

// clang-format off
constexpr RuleRow kRows[] = {
    {7, "5533333300004044000000", 1, 3, 2, 4, 0x00, 0, 0, 0, 0},  // H1
    {8, "5533333300004044000000", 1, 1, 2, 3, 0x00, 0, 0, 0, 0},  // H2
    {9, "5533333300004044000000", 1, 1, 2, 2, 0x01, 0, 0, 0, 0},  // H3
    {10, "5533333300004044000000", 1, 1, 2, 2, 0x00, 0, 0, 0, 0},  // H4
    {11, "5533333300004044000000", 1, 1, 2, 1, 0x01, 0, 0, 0, 0},  // H5
    {12, "5533333300004044000000", 1, 1, 2, 1, 0x01, 0, 0, 0, 0},  // H6
    {13, "5010000000000000000000", 0, 0, 0, 1, 0x00, 0, 0, 0, 0},  // BIG
    {14, "5020000000000000000000", 0, 0, 0, 1, 0x00, 0, 0, 0, 0},  // SMALL
    {15, "5000030000000000000000", 0, 0, 0, 0, 0x04, 0, 0, 0, 0},  // U
    {16, "5000300000000000000000", 0, 0, 0, 0, 0x02, 0, 0, 0, 0},  // I
    {17, "5003000000000000000000", 0, 0, 0, 0, 0x01, 0, 0, 0, 0},  // BOLD
    {18, "5003000000000000000000", 0, 0, 0, 0, 0x01, 0, 0, 0, 0},  // B
    {19, "5003000000000000000000", 0, 0, 0, 0, 0x01, 0, 0, 0, 0},  // STRONG
    {20, "5000003000000000000000", 0, 0, 0, 0, 0x08, 0, 0, 0, 0},  // S
    {21, "5000003000000000000000", 0, 0, 0, 0, 0x08, 0, 0, 0, 0},  // STRIKE
    {22, "5000000030000000000000", 0, 0, 0, 0, 0x00, 2, 0, 0, 0},  // CODE
    {23, "5000000030000000000000", 0, 0, 0, 0, 0x00, 2, 0, 0, 0},  // SAMP
    {24, "5000000030000000000000", 0, 0, 0, 0, 0x00, 2, 0, 0, 0},  // KBD
    {26, "5000300000000000000000", 0, 0, 0, 0, 0x02, 0, 0, 0, 0},  // CITE
    {27, "5000300000000000000000", 0, 0, 0, 0, 0x02, 0, 0, 0, 0},  // VAR
    {28, "5000300000000000000000", 0, 0, 0, 0, 0x02, 0, 0, 0, 0},  // EM
    {29, "5003000000000000000000", 0, 0, 0, 0, 0x01, 0, 0, 0, 0},  // DFN
    {30, "5000000030000000000000", 0, 0, 0, 0, 0x00, 2, 0, 0, 0},  // TT
    {31, "0500000000004044000000", 1, 2, 2, 0, 0x00, 0, 0, 0, 0},  // P
    {32, "0000000000000000000000", 2, 1, 0, 0, 0x00, 0, 0, 0, 0},  // BR
    {33, "0000000000000000000000", 2, 3, 0, 0, 0x00, 0, 0, 0, 0},  // HR
    {34, "0500000000014044000000", 1, 1, 2, 0, 0x00, 0, 0x10000001, 0, 0},  // BLOCKQUOTE
    {35, "0500000000004044300000", 1, 2, 2, 0, 0x00, 0, 0, 0x3, 0},  // CENTER
    {36, "0500000000004044000000", 1, 1, 2, 0, 0x00, 0, 0, 0, 0},  // DIV
    {37, "0000000000000000000000", 0, 0, 0, 0, 0x00, 0, 0, 0, 0},  // SPAN
    {38, "0500000000014044033400", 1, 1, 2, 0, 0x00, 0, 0x10000001, 0, 0x5},  // UL
    {39, "0500000000014044033300", 1, 1, 2, 0, 0x00, 0, 0x10000001, 0, 0x10002},  // OL
    {40, "0500000000003044000600", 1, 1, 1, 0, 0x00, 0, 0, 0, 0x10000},  // LI
    {41, "0500000000004044000000", 1, 1, 2, 0, 0x00, 0, 0, 0, 0},  // DL
    {42, "5503000000013044000100", 1, 0, 1, 0, 0x01, 0, 0x10000001, 0, 0x10000},  // DT
    {43, "0500000000013044000100", 1, 0, 1, 0, 0x00, 0, 0x10000001, 0, 0x10000},  // DD
    {44, "4444444444044444444400", 3, 1, 4, 0, 0x00, 0, 0, 0, 0},  // TABLE
    {45, "0000000000000000000000", 7, 0, 5, 0, 0x00, 0, 0, 0, 0},  // TR
    {46, "0000000000000000000000", 8, 0, 6, 0, 0x00, 0, 0, 0, 0},  // TD
    {47, "5003000000000000000000", 8, 0, 6, 0, 0x01, 0, 0, 0, 0},  // TH
    {48, "0000000000000000000000", 0, 0, 0, 0, 0x00, 0, 0, 0, 0},  // A
    {78, "5020000300000000000000", 0, 0, 0, 1, 0x70, 0, 0, 0, 0},  // SUB
    {79, "5020000300000000000000", 0, 0, 0, 1, 0x60, 0, 0, 0, 0},  // SUP
    {121, "0000000000000000000000", 2, 3, 0, 0, 0x00, 0, 0, 0, 0},  // FVT:PAGEBREAK
    {122, "0000000000000000000000", 9, 3, 3, 0, 0x00, 0, 0, 0, 0},  // FVT:SECTION
    {132, "0000000000000000000000", 0, 0, 0, 0, 0x04, 0, 0, 0, 0},  // FONT
    {134, "5000030000000000000000", 0, 0, 0, 0, 0x00, 0, 0, 0, 0},  // FVT:NU
    {137, "0000000000000000000000", 9, 3, 3, 0, 0x00, 0, 0, 0, 0},  // FVT:FRAMESET
    {206, "5500000030004044000000", 1, 1, 2, 0, 0x00, 2, 0, 0, 0, kBoxPreformatted},  // PRE
    {208, "0500000000000000300000", 8, 0, 6, 0, 0x00, 0, 0, 0x3, 0},  // CAPTION
};
// clang-format on

constexpr size_t kRuleCount = sizeof(kRows) / sizeof(kRows[0]);

constexpr StyleRule MakeRule(const RuleRow& row) {
    StyleRule r{};
    for (int i = 0; i < 22; ++i) r.modes[i] = static_cast<uint8_t>(row.modes[i] - '0');
    r.display = row.display;
    r.breakKind = row.breakKind;
    r.level = row.level;
    r.sizeStep = row.sizeStep;
    r.style = row.style;
    r.face = row.face;
    r.lengths[kLeftMargin] = row.leftMargin;
    r.alignment = row.alignment;
    r.listBits = row.listBits;
    r.boxFlags = row.boxFlags;
    return r;
}

struct RuleTable {
    uint32_t ids[kRuleCount];
    StyleRule rules[kRuleCount];
};

constexpr RuleTable Build() {
    RuleTable t{};
    for (size_t i = 0; i < kRuleCount; ++i) {
        t.ids[i] = kRows[i].id;
        t.rules[i] = MakeRule(kRows[i]);
    }
    return t;
}

constexpr RuleTable kTable = Build();

constexpr bool SortedAndWellFormed() {
    for (size_t i = 0; i < kRuleCount; ++i) {
        if (i > 0 && kRows[i - 1].id >= kRows[i].id) return false;
        for (int k = 0; k < 22; ++k)
            if (kRows[i].modes[k] < '0' || kRows[i].modes[k] > '6') return false;
        if (kRows[i].modes[22] != 0) return false;
    }
    return true;
}
static_assert(kRuleCount == 50 && SortedAndWellFormed());

}  // namespace

namespace StyleRules {

const StyleRule* Find(uint32_t id) {
    size_t lo = 0, hi = kRuleCount;
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        if (kTable.ids[mid] == id) return &kTable.rules[mid];
        if (kTable.ids[mid] < id)
            lo = mid + 1;
        else
            hi = mid;
    }
    return nullptr;
}

uint32_t Count() {
    return kRuleCount;
}

uint32_t IdAt(uint32_t i) {
    return i < kRuleCount ? kTable.ids[i] : 0;
}

}  // namespace StyleRules
