#include "document/markup/scanner.h"

#include <array>

void Scanner::LoadTables(const ScannerTableSet* set) {
    set_ = set;
    mode_ = ~0u;
    SetState(set->startMode);
    state = 0;
    token_ = -1;
}

int32_t Scanner::StopToken() const {
    return next_[state * classCount_ + classCount_ - 1];
}


namespace {

using ClassTable = std::array<uint8_t, 129>;

constexpr bool IsWhite(int c) { return c == 9 || c == 10 || c == 13 || c == 32; }
constexpr bool IsLetter(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr bool IsDigit(int c) { return c >= '0' && c <= '9'; }
constexpr bool IsControl(int c) { return (c < 32 && !IsWhite(c)) || c == 127; }

// Take and stop with token t.
constexpr int8_t T(int t) { return static_cast<int8_t>(-2 - t); }
constexpr int8_t X = -1;  // stop before the character

// ---- markup: Text mode ----
// classes: 0 white, 1 '&', 2 '<', 3 '#', 4 '/', 5 '?', 6 '!', 7 '-', 8 '[', 9 'C', 10 'D',
// 11 'A', 12 'T', 13 other name characters (letters, digits, ':', '_'), 14 ';', 15 other
constexpr ClassTable TextClasses() {
    ClassTable t{};
    for (int c = 0; c < 129; ++c) {
        uint8_t k = 15;
        if (c < 128) {
            if (IsWhite(c)) k = 0;
            else if (c == '&') k = 1;
            else if (c == '<') k = 2;
            else if (c == '#') k = 3;
            else if (c == '/') k = 4;
            else if (c == '?') k = 5;
            else if (c == '!') k = 6;
            else if (c == '-') k = 7;
            else if (c == '[') k = 8;
            else if (c == 'C') k = 9;
            else if (c == 'D') k = 10;
            else if (c == 'A') k = 11;
            else if (c == 'T') k = 12;
            else if (IsLetter(c) || IsDigit(c) || c == ':' || c == '_') k = 13;
            else if (c == ';') k = 14;
        }
        t[c] = k;
    }
    return t;
}
constexpr ClassTable kTextClasses = TextClasses();
// clang-format off
constexpr int8_t kTextNext[] = {
//   ws   &   <   #   /   ?   !   -   [   C   D   A   T  nm   ;  oth  stop
     1,   2,  5,  3,  3,  3,  3,  3,  3,  3,  3,  3,  3,  3,  3,  3,  -1,   // 0 start
     1,   X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X,   9,   // 1 spaces
     X,   X,  X,  4,  X,  X,  X,  X,  X,  4,  4,  4,  4,  4,  X,  X,  10,   // 2 after '&'
     X,   X,  X,  3,  3,  3,  3,  3,  3,  3,  3,  3,  3,  3,  3,  3,  11,   // 3 word
     X,   X,  X,  X,  X,  X,  X,  X,  X,  4,  4,  4,  4,  4,T(10), X,  10,   // 4 reference
     X,   X,  X,  X,T(7),T(3), 6,  X,  X,  X,  X,  X,  X,  X,  X,  X,   8,   // 5 '<'
     X,   X,  X,  X,  X,  X,  X,  7,  8,  X,  X,  X,  X,  X,  X,  X,   5,   // 6 "<!"
     X,   X,  X,  X,  X,  X,  X,T(6), X,  X,  X,  X,  X,  X,  X,  X,  -1,   // 7 "<!-"
     X,   X,  X,  X,  X,  X,  X,  X,  X,  9,  X,  X,  X,  X,  X,  X,  -1,   // 8 "<!["
     X,   X,  X,  X,  X,  X,  X,  X,  X,  X, 10,  X,  X,  X,  X,  X,  -1,   // 9 "<![C"
     X,   X,  X,  X,  X,  X,  X,  X,  X,  X,  X, 11,  X,  X,  X,  X,  -1,   // 10 "<![CD"
     X,   X,  X,  X,  X,  X,  X,  X,  X,  X,  X,  X, 12,  X,  X,  X,  -1,   // 11 "<![CDA"
     X,   X,  X,  X,  X,  X,  X,  X,  X,  X,  X, 13,  X,  X,  X,  X,  -1,   // 12 "<![CDAT"
     X,   X,  X,  X,  X,  X,  X,  X,T(4), X,  X,  X,  X,  X,  X,  X,  -1,   // 13 "<![CDATA"
};
// clang-format on

// ---- markup: TagName ----  classes: 0 white, 1 name start, 2 name continuation, 3 other
constexpr ClassTable TagNameClasses() {
    ClassTable t{};
    for (int c = 0; c < 129; ++c) {
        uint8_t k = 3;
        if (c < 128) {
            if (IsWhite(c)) k = 0;
            else if (IsLetter(c) || c == '_') k = 1;
            else if (IsDigit(c) || c == '-' || c == ':') k = 2;
        }
        t[c] = k;
    }
    return t;
}
constexpr ClassTable kTagNameClasses = TagNameClasses();
constexpr int8_t kTagNameNext[] = {
    1, 2, X, X, -1,  // 0
    1, X, X, X, 14,  // 1 white space
    X, 2, 2, X, 19,  // 2 name
};

// ---- markup: Attributes ----
// classes: 0 white, 1 '=', 2 '>', 3 '/', 4 '"', 5 '\'', 6 '<', 7 control, 8 name start,
// 9 name continuation, 10 other
constexpr ClassTable AttributeClasses() {
    ClassTable t{};
    for (int c = 0; c < 129; ++c) {
        uint8_t k = 10;
        if (c < 128) {
            if (IsWhite(c)) k = 0;
            else if (c == '=') k = 1;
            else if (c == '>') k = 2;
            else if (c == '/') k = 3;
            else if (c == '"') k = 4;
            else if (c == '\'') k = 5;
            else if (c == '<') k = 6;
            else if (IsControl(c)) k = 7;
            else if (IsLetter(c) || c == '_') k = 8;
            else if (IsDigit(c) || c == '-' || c == ':') k = 9;
        }
        t[c] = k;
    }
    return t;
}
constexpr ClassTable kAttributeClasses = AttributeClasses();
// clang-format off
constexpr int8_t kAttributeNext[] = {
//  ws     =      >      /   "   '   <  ctl nm1 nm2 oth stop
    1,  T(15), T(17),  2,  3,  4,  6,  X,  5,  6,  6,  -1,  // 0
    1,     X,     X,   X,  X,  X,  X,  X,  X,  X,  X,  14,  // 1 white space
    X,     X,  T(16),  6,  6,  6,  6,  X,  6,  6,  6,  18,  // 2 after '/'
    3,     3,     X,   3,T(12),3,  X,  3,  3,  3,  3,  -1,  // 3 in "..."
    4,     4,     X,   4,  4,T(12),X,  4,  4,  4,  4,  -1,  // 4 in '...'
    X,     X,     X,   6,  6,  6,  6,  X,  5,  5,  6,  19,  // 5 name
    X,     X,     X,   6,  6,  6,  6,  X,  6,  6,  6,  18,  // 6 unquoted value
};

// ---- markup: Value ---- after an attribute's '=', same classes as Attributes. An unquoted value
// runs to white space or '>': an '=' in it ("page.htm?x=1") is the value's own.
constexpr int8_t kValueNext[] = {
//  ws     =      >      /   "   '   <  ctl nm1 nm2 oth stop
    1,     2,  T(17),  2,  3,  4,  2,  X,  2,  2,  2,  -1,  // 0
    1,     X,     X,   X,  X,  X,  X,  X,  X,  X,  X,  14,  // 1 white space
    X,     2,     X,   2,  2,  2,  2,  X,  2,  2,  2,  21,  // 2 unquoted value
    3,     3,     X,   3,T(22),3,  X,  3,  3,  3,  3,  -1,  // 3 in "..."
    4,     4,     X,   4,  4,T(22),X,  4,  4,  4,  4,  -1,  // 4 in '...'
};
// clang-format on

// ---- markup: SkipAttribute ----
// classes: 0 white, 1 '=', 2 '"', 3 '\'', 4 '>', 5 '<', 6 control, 7 other
constexpr ClassTable SkipAttributeClasses() {
    ClassTable t{};
    for (int c = 0; c < 129; ++c) {
        uint8_t k = 7;
        if (c < 128) {
            if (IsWhite(c)) k = 0;
            else if (c == '=') k = 1;
            else if (c == '"') k = 2;
            else if (c == '\'') k = 3;
            else if (c == '>') k = 4;
            else if (c == '<') k = 5;
            else if (IsControl(c)) k = 6;
        }
        t[c] = k;
    }
    return t;
}
constexpr ClassTable kSkipAttributeClasses = SkipAttributeClasses();
constexpr int8_t kSkipAttributeNext[] = {
    0, 1, X, X, X, X, X, X, -1,  // 0 before '='
    1, X, 2, 3, X, 4, X, 4, -1,  // 1 after '='
    2, 2, 5, 2, X, X, 2, 2, -1,  // 2 in "..."
    3, 3, 3, 5, X, X, 3, 3, -1,  // 3 in '...'
    5, 4, 4, 4, X, 4, X, 4, 13,  // 4 unquoted value ('=' included)
    5, X, X, X, X, X, X, X, 13,  // 5 white space after the value
};

// ---- markup: SkipToClose ---- classes: 0 '>', 1 other
constexpr ClassTable SingleClass(int ch) {
    ClassTable t{};
    for (int c = 0; c < 129; ++c) t[c] = (c == ch) ? 0 : 1;
    return t;
}
constexpr ClassTable kSkipToCloseClasses = SingleClass('>');
constexpr int8_t kSkipToCloseNext[] = {T(0), 0, -1};

// ---- markup: Comment, CData, RawScript ---- classes: 0 first, 1 second, 2 other
constexpr ClassTable PairClasses(int a, int b) {
    ClassTable t{};
    for (int c = 0; c < 129; ++c) t[c] = (c == a) ? 0 : (c == b) ? 1 : 2;
    return t;
}
constexpr ClassTable kCommentClasses = PairClasses('-', '>');
constexpr int8_t kCommentNext[] = {
    1, 0, 0, -1,     // 0
    2, 0, 0, -1,     // 1 one '-'
    2, T(1), 0, -1,  // 2 two or more '-'
};
constexpr ClassTable kCDataClasses = PairClasses(']', '>');
constexpr int8_t kCDataNext[] = {
    1, 0, 0, -1,     // 0
    2, 0, 0, -1,     // 1 ']'
    2, T(2), 0, -1,  // 2 "]]"
};
constexpr ClassTable kRawScriptClasses = PairClasses('<', '/');
constexpr int8_t kRawScriptNext[] = {
    1, 0, 0, -1,      // 0
    1, T(20), 0, -1,  // 1 '<'
};

const ScannerMode kMarkupModes[] = {
    {kCDataNext, kCDataClasses.data(), 4},
    {kRawScriptNext, kRawScriptClasses.data(), 4},
    {kTagNameNext, kTagNameClasses.data(), 5},
    {kSkipAttributeNext, kSkipAttributeClasses.data(), 9},
    {kSkipToCloseNext, kSkipToCloseClasses.data(), 3},
    {kCommentNext, kCommentClasses.data(), 4},
    {kAttributeNext, kAttributeClasses.data(), 12},
    {kTextNext, kTextClasses.data(), 17},
    {kValueNext, kAttributeClasses.data(), 12},
};

constexpr uint16_t Sw(uint32_t mode) { return static_cast<uint16_t>(mode << 8); }
constexpr uint16_t K(uint16_t kind, bool switches) {
    return static_cast<uint16_t>(kind | (switches ? kTokenSwitchesMode : 0));
}

const ScannerToken kMarkupTokens[] = {
    {K(0, true), kActTagClose, Sw(kModeText), 0},             // 0
    {K(6, true), 0, Sw(kModeText), 0},                        // 1 comment end
    {K(1, true), kActCDataClose, Sw(kModeText), 0},           // 2
    {K(0, true), kActInstructionOpen, Sw(kModeTagName), 0},   // 3
    {K(0, true), kActCDataOpen, Sw(kModeCData), 0},           // 4
    {K(0, true), kActDeclarationOpen, Sw(kModeTagName), 0},   // 5
    {K(6, true), 0, Sw(kModeComment), 0},                     // 6 comment start
    {K(0, true), kActEndTagOpen, Sw(kModeTagName), 0},        // 7
    {K(0, true), kActStartTagOpen, Sw(kModeTagName), 0},      // 8
    {K(0, false), kActSpace, 0, 0},                           // 9
    {K(1, false), kActReference, 0, 0},                       // 10
    {K(1, false), kActWord, 0, 0},                            // 11
    {K(1, false), kActQuotedValue, 0, 0},                     // 12
    {K(6, true), 0, Sw(kModeAttributes), 0},                  // 13 skipped attribute
    {K(6, false), 0, 0, 0},                                   // 14 white space in a tag
    {K(0, false), kActEquals, 0, 0},                          // 15
    {K(0, true), kActEmptyTagClose, Sw(kModeText), 0},        // 16
    {K(0, true), kActTagClose, Sw(kModeText), 0},             // 17
    {K(1, false), kActUnquotedValue, 0, 0},                   // 18
    {K(1, true), kActName, Sw(kModeAttributes), 0},           // 19
    {K(1, true), kActRawClose, Sw(kModeTagName), 0},          // 20
    {K(1, true), kActUnquotedValue, Sw(kModeAttributes), 0},  // 21
    {K(1, true), kActQuotedValue, Sw(kModeAttributes), 0},    // 22
};

const ScannerTableSet kMarkupSet = {kMarkupModes, kModeText, 9, 23, kMarkupTokens};

// ---- plain text ----
constexpr ClassTable PlainClasses() {
    ClassTable t{};
    for (int c = 0; c < 129; ++c) {
        uint8_t k = 5;
        if (c == 9) k = 0;
        else if (c == 10) k = 1;
        else if (c == 13) k = 3;
        else if (c == 32) k = 4;
        else if (c < 32) k = 2;
        t[c] = k;
    }
    return t;
}
constexpr ClassTable kPlainClasses = PlainClasses();
constexpr int8_t kPlainNext[] = {
    3,  5,  -1, 4,  2,  1,  -1,  // 0
    -1, -1, -1, -1, -1, 1,  0,   // 1 word
    3,  -1, -1, -1, 2,  -1, 1,   // 2 spaces
    3,  -1, -1, -1, 3,  -1, 2,   // 3 spaces with a TAB
    -1, -5, -1, -1, -1, -1, 3,   // 4 CR
    -1, -1, -1, -5, -1, -1, 3,   // 5 LF
};
const ScannerMode kPlainModes[] = {{kPlainNext, kPlainClasses.data(), 7}};
const ScannerToken kPlainTokens[] = {
    {0, kPlainWord, 0, 0},
    {0, kPlainSpaces, 0, 0},
    {0, kPlainSpacesTabs, 0, 0},
    {0, kPlainBreak, 0, 0},
};
const ScannerTableSet kPlainSet = {kPlainModes, 0, 1, 4, kPlainTokens};

}  // namespace

const ScannerTableSet* MarkupTableSet() { return &kMarkupSet; }
const ScannerTableSet* PlainTextTableSet() { return &kPlainSet; }
