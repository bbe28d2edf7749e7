// The style of every open element: its display kind, text record and box values, computed
// from the parent's state, a compiled-in rule for its tag, the document defaults and the
// element's attributes. The page layout keeps one per open element on the element stack.
#pragma once

#include <cstdint>

#include "core/ref_counted.h"
#include "core/string.h"
#include "document/markup/link_target.h"

class TokenSource;
struct DocumentDefaults;

// Style bits of the text record.
enum TextStyleBits : uint8_t {
    kStyleBold = 0x01,
    kStyleItalic = 0x02,
    kStyleUnderline = 0x04,
    kStyleStrike = 0x08,
    kStyleVerticalMask = 0xF0,  // 6 << 4 superscript, 7 << 4 subscript
};

enum ElementDisplay : uint32_t {
    kDisplayInline = 0,
    kDisplayBlock = 1,
    kDisplayBreak = 2,  // BR, HR, FVT:PAGEBREAK
    kDisplayTable = 3,
    kDisplayRow = 7,
    kDisplayCell = 8,
    kDisplaySection = 9,  // FVT:SECTION, FVT:FRAMESET
};

enum BoxFlags : uint32_t {
    kBoxBorder = 0x02,
    kBoxOwnBackground = 0x04,  // also set by BORDER
    kBoxPreformatted = 0x08,   // PRE and what it holds: lines and spaces kept as written
};

struct TextStyle {
    // Steps of 2 around the default size (0); kept within [kMinSize, kMaxSize].
    static constexpr int kMinSize = -16;
    static constexpr int kMaxSize = 16;

    int8_t size = 0;
    uint8_t style = 0;  // TextStyleBits; bits 4-7 the vertical position
    uint8_t face = 0;   // 0 default, 2 fixed pitch, others from the font resolver
    uint32_t color = 0;
    uint32_t background = 0;
    uint32_t language = 0;
    RefPtr<LinkTarget> link;  // may be empty; shared with the parent until changed

    // Copies the record, taking a reference to the link target.
    void Assign(const TextStyle& other) { *this = other; }
    // Same values and the same link target object.
    bool operator==(const TextStyle& other) const;
    static int8_t ClampSize(int32_t size);
};

// Indexes of the five lengths of the box words.
enum BoxLength : int {
    kLeftMargin = 0,
    kWidth = 1,
    kThirdLength = 2,
    kHeight = 3,
    kFifthLength = 4,
    kLengthCount = 5,
};

struct RenderState {
    uint32_t display = kDisplayInline;  // ElementDisplay
    uint32_t breakKind = 0;             // 0 to 3
    uint32_t level = 0;                 // 2 block, 1 list item, 4 table, 5 row, 6 cell, 3 section
    TextStyle text;
    uint32_t lengths[kLengthCount] = {};  // Length words
    uint32_t alignment = 0;
    // List bits (bits 0-1 the kind: 1 UL, 2 OL) in the low half and the list start value in
    // the high half; a rule's 32-bit list word sets both.
    uint32_t listBits = 0;
    uint32_t boxFlags = 0;  // BoxFlags
    uint32_t blockBackground = 0;
    uint32_t borderColor = 0;
    uint32_t cellBackground = 0;

    uint32_t ListKind() const { return listBits & 3; }
    uint16_t ListStart() const { return static_cast<uint16_t>(listBits >> 16); }
    void SetListStart(uint16_t v) {
        listBits = (listBits & 0xFFFFu) | static_cast<uint32_t>(v) << 16;
    }

    void Assign(const RenderState& other) { *this = other; }
    bool operator==(const RenderState& other) const;
    bool operator!=(const RenderState& other) const { return !(*this == other); }

    // Computes the state of the start tag at the token source from its parent's. True when the
    // tag has a rule; otherwise the parent's state is copied and every flag is false. A rule
    // length of mode 6 adds to the parent's own state, so the parent is not const.
    // linkChanged: the element's link target is another than the parent's.
    static bool FromElement(TokenSource& source, const DocumentDefaults& defaults,
                            RenderState& parent, RenderState& out, bool& isBlock, bool& textChanged,
                            bool& boxChanged, bool& linkChanged);
};

// Turns a FACE name into a face number (0 keeps the face); the page layout implements it.
class FontResolver {
public:
    virtual uint8_t ResolveFace(const String& name) = 0;

protected:
    ~FontResolver() = default;
};

// What the page layout gives the style computation: the record whose text record and box words
// mode 4 takes, the link colour, whether links are underlined, whether HR is a block of level 1
// (and H1 takes break 1), and an optional font resolver.
struct DocumentDefaults {
    RenderState style;
    uint32_t linkColor = 0;
    bool underlineLinks = true;
    bool blockRules = false;
    FontResolver* fontResolver = nullptr;
};

// A compiled-in style rule: 22 mode bytes, then the values they take.
struct StyleRule {
    uint8_t modes[22];
    uint32_t display;
    uint32_t breakKind;
    uint32_t level;
    uint8_t sizeStep;
    uint8_t style;
    uint8_t face;
    uint32_t color;
    uint32_t background;
    uint32_t lengths[kLengthCount];
    uint32_t alignment;
    uint32_t listBits;
    uint32_t boxFlags;
    uint32_t blockBackground;
    uint32_t borderColor;
    uint32_t cellBackground;
};

namespace StyleRules {
// The rule of a markup id, or null for a tag without one.
const StyleRule* Find(uint32_t id);
// The number of rules and the id of rule i, for walking the table.
uint32_t Count();
uint32_t IdAt(uint32_t i);
}  // namespace StyleRules

// The rule part of the computation: display, break and level from the rule, then the text
// record (mode byte 0, then bytes 2-10) and the box words (byte 1, then 11-20) from the
// parent, the rule and the defaults; byte 21 the cell background.
void ComputeTextStyle(const DocumentDefaults& defaults, RenderState& parent, const StyleRule& rule,
                      RenderState& out, bool& isBlock, bool& textChanged, bool& boxChanged);
