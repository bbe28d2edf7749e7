#include "document/markup/markup_tags.h"

#include <array>
#include <initializer_list>

namespace MarkupTags {
namespace {

using Table = std::array<uint16_t, kMaxId + 1>;

constexpr void Set(Table& t, uint16_t flags, std::initializer_list<int> ids) {
    for (int id : ids) t[id] = flags;
}

constexpr uint16_t E = kElement, A = kAttribute, S = kClosesSame, M = kEmpty, V = kTextValued;

constexpr Table Build() {
    Table t{};
    Set(t, 0 | E, {13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 37,
                   48, 78, 79, 132, 134});
    Set(t, 0 | E | A, {54, 55});
    Set(t, 0 | E | M, {32});
    Set(t, 0 | E | V, {140, 141});
    Set(t, 0 | E | A | V, {69});
    Set(t, 1 | E, {7, 8, 9, 10, 11, 12, 34, 206});
    Set(t, 1 | E | S, {31, 35});
    Set(t, 2 | E, {65, 67, 76});
    Set(t, 2 | E | M, {3, 4, 33, 50, 64, 68, 77, 121, 143});
    Set(t, 3 | E, {2, 6, 80});
    Set(t, 3 | E | S, {122, 137});
    Set(t, 3 | E | V,
        {5,   150, 151, 152, 153, 154, 155, 156, 157, 158, 159, 160, 161, 162, 163, 164, 165,
         166, 167, 168, 169, 170, 171, 172, 173, 174, 175, 176, 177, 178, 179, 180, 181, 183,
         184, 185, 186, 187, 188, 189, 190, 191, 192, 193, 194, 195, 196, 200, 202, 204});
    Set(t, 3 | E | A | V, {182});
    Set(t, 4 | E | S, {46, 47});
    Set(t, 5 | E | S, {45});
    Set(t, 6 | E | S, {73, 74, 75});
    Set(t, 7 | E, {44});
    Set(t, 8 | E, {1});
    Set(t, 9 | E, {41});
    Set(t, 10 | E | S, {42, 43});
    Set(t, 11 | E, {38, 39});
    Set(t, 12 | E | S, {40});
    Set(t, 13 | E, {81});
    Set(t, 14 | E, {84, 87});
    Set(t, 14 | E | M, {82, 83});
    Set(t, 14 | E | M | V, {88});
    Set(t, 15 | E, {85});
    Set(t, 15 | E | S, {86});
    Set(t, 16 | E, {36});
    Set(t, 17 | E, {49, 118, 119});
    Set(t, 17 | E | V, {115});
    // CAPTION: a table's title, taken in the table as a row of one cell across it.
    Set(t, kCaptionClass | E, {208});
    Set(t, 0, {149});
    Set(t, A, {51,  52,  53,  57,  58,  59,  60,  61,  62,  63,  70,  89,  90,  91,  94,
               95,  101, 102, 104, 106, 107, 108, 109, 110, 113, 114, 120, 123, 124, 125,
               126, 127, 128, 129, 130, 131, 135, 136, 139, 142, 146, 148, 207});
    Set(t, A | V, {56,  66,  71,  72,  92,  93,  96,  97,  98,  99,  100, 103, 105, 111,
                   112, 116, 117, 133, 138, 144, 145, 147, 197, 198, 199, 201, 203, 205});
    return t;
}

constexpr Table kTable = Build();

constexpr uint32_t Bits(std::initializer_list<int> classes) {
    uint32_t m = 0;
    for (int c : classes) m |= 1u << c;
    return m;
}
constexpr uint32_t kHigh = 0xFFFC0000u;  // bits 18-31, set in some allowed-children words
constexpr uint32_t kBlockChildren = Bits({0, 1, 2, 3, 7, 9, 11, 13, 14, 16, 17}) | kHigh;
constexpr uint32_t kAllButTables = Bits({0, 1, 2, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 15, 16, 17});

constexpr uint32_t kWalkStart[kClassCount] = {
    0,
    0,
    0,
    kAllButTables,
    Bits({0, 1, 2, 4, 9, 10, 11, 12, 13, 14, 15, 16, 17}),
    Bits({0, 1, 2, 4, 5, 9, 10, 11, 12, 13, 14, 15, 16, 17}),
    Bits({0, 1, 2, 4, 5, 6, 9, 10, 11, 12, 13, 14, 15, 16, 17}),
    0,
    0,
    0,
    Bits({0, 1, 2, 9, 10, 11, 12, 13, 14, 15, 16, 17}),
    0,
    0,
    0,
    0,
    0,
    Bits({0, 1, 2, 9, 10, 11, 12, 14, 15}),
    0,
    0,
};

constexpr uint32_t kWalkEnd[kClassCount] = {
    Bits({0}),
    Bits({0, 1, 2, 9, 10, 11, 12, 14, 15}),
    Bits({2}),
    kAllButTables,
    Bits({0, 1, 2, 4, 9, 10, 11, 12, 13, 14, 15, 16, 17}),
    Bits({0, 1, 2, 4, 5, 9, 10, 11, 12, 13, 14, 15, 16, 17}),
    Bits({0, 1, 2, 4, 5, 6, 9, 10, 11, 12, 13, 14, 15, 16, 17}),
    Bits({0, 1, 2, 4, 5, 6, 9, 10, 11, 12, 13, 14, 15, 16, 17, kCaptionClass}),
    0,
    Bits({0, 1, 2, 9, 10, 11, 12, 13, 14, 15, 16, 17}),
    Bits({0, 1, 2, 9, 10, 11, 12, 13, 14, 15, 16, 17}),
    Bits({0, 1, 2, 9, 10, 11, 12, 13, 14, 15, 16, 17}),
    Bits({0, 1, 2, 12}),
    kAllButTables,
    Bits({15}),
    Bits({15}),
    Bits({0, 1, 2, 9, 10, 11, 12, 14, 15}),
    Bits({17}),
    Bits({0, 1, 2, 9, 10, 11, 12, 13, 14, 15, 16, 17}),
};

constexpr uint32_t kChildren[kClassCount] = {
    kBlockChildren,
    kBlockChildren,
    Bits({2, 17}),
    kBlockChildren,
    Bits({0, 1, 2, 7, 9, 10, 11, 12, 13, 14, 15, 16, 17}),
    Bits({4}),
    Bits({5}),
    Bits({5, 6, kCaptionClass}),
    kBlockChildren,
    Bits({10}),
    kBlockChildren,
    Bits({0, 1, 2, 3, 7, 9, 11, 12, 13, 14, 16, 17}) | kHigh,
    kBlockChildren,
    kBlockChildren,
    Bits({15}),
    Bits({15}),
    kBlockChildren,
    0,
    // No table and no caption inside a caption.
    Bits({0, 1, 2, 9, 10, 11, 12, 13, 14, 15, 16, 17}),
};

}  // namespace

uint16_t Flags(uint32_t id) { return id <= kMaxId ? kTable[id] : 0; }

bool IsClass2or13or14or17(uint32_t id) {
    uint32_t c = Class(id);
    return c == 2 || c == 13 || c == 14 || c == 17;
}

bool IsClass1or9to12(uint32_t id) {
    uint32_t c = Class(id);
    return c == 1 || (c >= 9 && c <= 12);
}

bool IsClass4to7(uint32_t id) {
    uint32_t c = Class(id);
    return c >= 4 && c <= 7;
}

uint32_t WalkMaskStart(uint32_t cls) { return cls < kClassCount ? kWalkStart[cls] : 0; }
uint32_t WalkMaskEndOrSame(uint32_t cls) { return cls < kClassCount ? kWalkEnd[cls] : 0; }
uint32_t AllowedChildren(uint32_t cls) { return cls < kClassCount ? kChildren[cls] : 0; }

namespace {
bool IsName(const char16_t* chars, uint32_t n, const char* name) {
    uint32_t i = 0;
    for (; i < n && name[i]; ++i) {
        char16_t c = chars[i];
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
        if (c != static_cast<char16_t>(name[i])) return false;
    }
    return i == n && name[i] == 0;
}
}  // namespace

uint32_t ListAlias(const char16_t* chars, uint32_t n) {
    constexpr uint32_t kUl = 38;
    return IsName(chars, n, "MENU") || IsName(chars, n, "DIR") ? kUl : 0;
}

uint32_t AttributeAlias(uint32_t tag, const char16_t* chars, uint32_t n) {
    constexpr uint32_t kBody = 2, kColor = 52;
    return tag == kBody && IsName(chars, n, "TEXT") ? kColor : 0;
}

}  // namespace MarkupTags
