#include "document/markup/attribute_value.h"

#include <initializer_list>
#include <utility>

#include "core/color.h"
#include "core/lang_name.h"
#include "core/string.h"
#include "document/markup/keyword_tree.h"
#include "document/markup/length.h"
#include "document/markup/token_source.h"

namespace {

// Value keyword ids.
enum ValueKeyword : uint32_t {
    kKeyLastColor = 16,
    kKeyLeft = 17,
    kKeyCenter = 18,
    kKeyRight = 19,
    kKeyJustify = 20,
    kKeyPoetry = 22,
    kKeyTop = 23,
    kKeyMiddle = 24,
    kKeyBottom = 25,
    kKeyBaseline = 26,
    kKeyAbsMiddle = 27,
    kKeyAbsBottom = 28,
    kKeyTextTop = 29,
    kKeyXml = 40,
    kKeyMultipart = 41,
    kKeyUrlEncoded = 42,
    kKeyGet = 44,
    kKeyPost = 45,
    kKeyCircle = 46,
    kKeyRect = 47,
    kKeyPoly = 48,
    kKeyDefault = 49,
    kKeyYes = 50,
};

// The sixteen colour names of HTML 4.01, by keyword id.
constexpr uint32_t kNamedColors[kKeyLastColor + 1] = {
    0,
    Color::Pack(0x00, 0x00, 0x00),  // black
    Color::Pack(0xC0, 0xC0, 0xC0),  // silver
    Color::Pack(0x80, 0x80, 0x80),  // gray
    Color::Pack(0xFF, 0xFF, 0xFF),  // white
    Color::Pack(0x80, 0x00, 0x00),  // maroon
    Color::Pack(0xFF, 0x00, 0x00),  // red
    Color::Pack(0x80, 0x00, 0x80),  // purple
    Color::Pack(0xFF, 0x00, 0xFF),  // fuchsia
    Color::Pack(0x00, 0x80, 0x00),  // green
    Color::Pack(0x00, 0xFF, 0x00),  // lime
    Color::Pack(0x80, 0x80, 0x00),  // olive
    Color::Pack(0xFF, 0xFF, 0x00),  // yellow
    Color::Pack(0x00, 0x00, 0x80),  // navy
    Color::Pack(0x00, 0x00, 0xFF),  // blue
    Color::Pack(0x00, 0x80, 0x80),  // teal
    Color::Pack(0x00, 0xFF, 0xFF),  // aqua
};

// A view of the text without spaces, TABs, CRs and LFs at either end.
struct Trimmed {
    const char16_t* p;
    int32_t n;
};

Trimmed TrimBlanks(const String& s) {
    auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
    const char16_t* p = s.Data();
    int32_t n = s.Length();
    while (n > 0 && blank(p[0])) {
        ++p;
        --n;
    }
    while (n > 0 && blank(p[n - 1])) --n;
    return {p, n};
}

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Decimal digits only, at least one; false on overflow past max.
bool ParseDigits(const char16_t* p, int32_t n, uint32_t max, uint32_t& out) {
    if (n <= 0) return false;
    uint64_t v = 0;
    for (int32_t i = 0; i < n; ++i) {
        if (!IsDigit(p[i])) return false;
        v = v * 10 + static_cast<uint32_t>(p[i] - u'0');
        if (v > max) return false;
    }
    out = static_cast<uint32_t>(v);
    return true;
}

bool Keyword(const Trimmed& t, uint32_t& id) {
    return t.n > 0 && KeywordTree::FindValueKeyword(t.p, static_cast<size_t>(t.n), &id);
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

bool ParseColor(const Trimmed& t, uint32_t& out) {
    if (t.n > 0 && t.p[0] == u'#') {
        int d[6];
        int32_t digits = t.n - 1;
        if (digits != 3 && digits != 6) return false;
        for (int32_t i = 0; i < digits; ++i)
            if ((d[i] = HexDigit(t.p[1 + i])) < 0) return false;
        if (digits == 3) {
            out = Color::Pack(static_cast<uint8_t>(d[0] * 17), static_cast<uint8_t>(d[1] * 17),
                              static_cast<uint8_t>(d[2] * 17));
        } else {
            out = Color::Pack(static_cast<uint8_t>(d[0] * 16 + d[1]),
                              static_cast<uint8_t>(d[2] * 16 + d[3]),
                              static_cast<uint8_t>(d[4] * 16 + d[5]));
        }
        return true;
    }
    uint32_t id = 0;
    if (!Keyword(t, id) || id < 1 || id > kKeyLastColor) return false;
    out = kNamedColors[id];
    return true;
}

bool EqualsFolded(const char16_t* p, int32_t n, const char* ascii) {
    int32_t i = 0;
    for (; i < n && ascii[i]; ++i) {
        char16_t c = p[i];
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
        if (c != static_cast<unsigned char>(ascii[i])) return false;
    }
    return i == n && ascii[i] == 0;
}

bool ParseLength(Trimmed t, uint32_t& out) {
    bool negative = false;
    if (t.n > 0 && (t.p[0] == u'+' || t.p[0] == u'-')) {
        negative = t.p[0] == u'-';
        ++t.p;
        --t.n;
    }
    int32_t digits = 0;
    while (digits < t.n && IsDigit(t.p[digits])) ++digits;
    const char16_t* unitText = t.p + digits;
    int32_t unitLength = t.n - digits;
    uint32_t unit = Length::kAbsolute;
    if (unitLength == 1 && unitText[0] == u'%')
        unit = Length::kPercent;
    else if (EqualsFolded(unitText, unitLength, "em"))
        unit = Length::kMultiple;
    else if (unitLength != 0 && !EqualsFolded(unitText, unitLength, "pt"))
        return false;
    uint32_t magnitude = 0;
    // A magnitude past 28 bits would run into the unit bits.
    if (!ParseDigits(t.p, digits, Length::kMagnitudeMask, magnitude)) return false;
    out = Length::Make(negative ? -static_cast<int64_t>(magnitude) : magnitude, unit);
    return true;
}

bool ParseFilePosition(Trimmed t, uint32_t& out) {
    bool allX = true;
    for (int32_t i = 0; i < t.n && allX; ++i) allX = t.p[i] == u'X';
    if (allX) {
        out = AttributeValue::kNoFilePosition;
        return true;
    }
    if (t.p[0] == u'+' || t.p[0] == u'-') {
        uint32_t v = 0;
        if (!ParseDigits(t.p + 1, t.n - 1, 0x7FFFFFFFu, v)) return false;
        if (t.p[0] == u'-') v = 0u - v;
        out = v | AttributeValue::kRelativeFilePosition;
        return true;
    }
    return ParseDigits(t.p, t.n, 0xFFFFFFFFu, out);
}

// Both forms stay within 28 bits: a plain number never looks relative, and a relative one
// keeps its value through the cleared bits.
bool ParseSignedNumber(Trimmed t, uint32_t& out) {
    if (t.n > 0 && (t.p[0] == u'+' || t.p[0] == u'-')) {
        uint32_t v = 0;
        if (!ParseDigits(t.p + 1, t.n - 1, 0x0FFFFFFFu, v)) return false;
        uint32_t s = t.p[0] == u'-' ? 0u - v : v;
        out = (s & ~0x30000000u) | AttributeValue::kRelativeNumber;
        return true;
    }
    return ParseDigits(t.p, t.n, 0x0FFFFFFFu, out);
}

// The value listed for the keyword; false for a keyword not listed.
bool Choose(const Trimmed& t, std::initializer_list<std::pair<uint32_t, uint32_t>> table,
            uint32_t& out) {
    uint32_t id = 0;
    if (!Keyword(t, id)) return false;
    for (const auto& [key, value] : table) {
        if (key == id) {
            out = value;
            return true;
        }
    }
    return false;
}

bool ParseTrimmed(uint32_t id, const Trimmed& t, uint32_t& out) {
    switch (id) {
        case kAttrAlign:
            return Choose(
                t,
                {{kKeyLeft, 1}, {kKeyCenter, 3}, {kKeyRight, 2}, {kKeyJustify, 4}, {kKeyPoetry, 5}},
                out);
        case kAttrColor:
        case kAttrBgColor:
        case kAttrBorderColor:
            return ParseColor(t, out);
        case kAttrWidth:
        case kAttrHeight:
        case kAttrTopMargin:
        case kAttrLeftMargin:
        case kAttrRightMargin:
        case kAttrBottomMargin:
            return ParseLength(t, out);
        case kTagSpan:
        case kAttrRecIndex:
        case kAttrBorder:
        case kAttrCellSpacing:
        case kAttrCellPadding:
        case kAttrColSpan:
        case kAttrRowSpan:
        case kAttrMaxLength:
        case kAttrHSpace:
        case kAttrVSpace:
        case kAttrLoRecIndex:
        case kAttrHiRecIndex:
        case kAttrDescent:
            return ParseDigits(t.p, t.n, 0xFFFFFFFFu, out);
        case kAttrFilePos:
            return ParseFilePosition(t, out);
        case kAttrInline:
        case kAttrChecked:
        case kAttrDisabled:
        case kAttrReadOnly:
        case kAttrMultiple:
        case kAttrFvtNu:
        case kAttrSelected:
            out = 1;
            return true;
        case kAttrAccessKey:
            if (t.n != 1) return false;
            out = t.p[0];
            return true;
        case kAttrLang: {
            String name(t.p, t.n);
            uint16_t code = LangName::Find(name);
            if (code == 0) return false;
            out = code;
            return true;
        }
        case kAttrVAlign:
            return Choose(t,
                          {{kKeyTop, 0},
                           {kKeyMiddle, 1},
                           {kKeyBottom, 2},
                           {kKeyBaseline, 3},
                           {kKeyTextTop, 4},
                           {kKeyAbsMiddle, 9},
                           {kKeyAbsBottom, 10}},
                          out);
        case kAttrPageRole:
            return Choose(t, {{kKeyTop, 0}, {kKeyBottom, 2}}, out);
        case kAttrShape:
            return Choose(t, {{kKeyCircle, 0}, {kKeyRect, 0}, {kKeyPoly, 0}, {kKeyDefault, 0}},
                          out);
        case kAttrMethod:
            return Choose(t, {{kKeyGet, 1}, {kKeyPost, 0}}, out);
        case kAttrEncoding:
        case kAttrEncType:
            return Choose(t, {{kKeyXml, 0}, {kKeyUrlEncoded, 1}, {kKeyMultipart, 2}}, out);
        case kAttrSize:
        case kAttrTabIndex:
            return ParseSignedNumber(t, out);
        case kAttrAutoSubmit:
        case kAttrPersistent:
            // A stored value, never an unset one: entries are compared and saved whole.
            return Choose(t, {{kKeyYes, 1}}, out);
        case kAttrInputRestrict: {
            uint32_t key = 0;
            if (!Keyword(t, key)) return false;
            out = key;
            return true;
        }
        default:
            return false;
    }
}

bool ParseValue(uint32_t id, const AttributeItem& item, uint32_t& value) {
    return AttributeValue::Parse(id, item, value);
}

struct ParserInstaller {
    ParserInstaller() { TokenSource::valueParser = ParseValue; }
} installer;

}  // namespace

namespace AttributeValue {

bool Parse(uint32_t id, const String& text, uint32_t& value) {
    uint32_t out = 0;
    if (!ParseTrimmed(id, TrimBlanks(text), out)) return false;
    value = out;
    return true;
}

bool Parse(uint32_t id, const AttributeItem& item, uint32_t& value) {
    return Parse(id, item.value, value);
}

int32_t RelativeNumber(uint32_t value) {
    // Bits 28-30 were the sign's copies before they were cleared and bit 30 set.
    uint32_t bits = (value & 0x80000000u) ? value | 0x70000000u : value & 0x0FFFFFFFu;
    return static_cast<int32_t>(bits);
}

void Install() {
    TokenSource::valueParser = ParseValue;
}

}  // namespace AttributeValue
