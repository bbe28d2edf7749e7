#include "document/markup/render_state.h"

#include <new>

#include "core/color.h"
#include "document/markup/attribute_value.h"
#include "document/markup/keyword_tree.h"
#include "document/markup/length.h"
#include "document/markup/token_source.h"

namespace {

enum Mode : uint8_t {
    kParent = 0,
    kAdd = 1,
    kSubtract = 2,
    kRule = 3,
    kDefault = 4,
    kPerProperty = 5,
    kCountUp = 6,
};

uint32_t Pick(uint8_t mode, uint32_t parent, uint32_t rule, uint32_t def) {
    switch (mode) {
        case kAdd:
            return parent + rule;
        case kSubtract:
            return parent - rule;
        case kRule:
            return rule;
        case kDefault:
            return def;
        default:
            return parent;
    }
}

// Colours take no sums: the rule's, the default or the parent's.
uint32_t PickColor(uint8_t mode, uint32_t parent, uint32_t rule, uint32_t def) {
    return mode == kRule ? rule : mode == kDefault ? def : parent;
}

// The bits of mask from the parent, the rule or the defaults; the others stay the parent's.
uint32_t PickBits(uint8_t mode, uint32_t parent, uint32_t rule, uint32_t def, uint32_t mask) {
    uint32_t from = PickColor(mode, parent, rule, def);
    return (parent & ~mask) | (from & mask);
}

int8_t PickSize(uint8_t mode, int8_t parent, uint8_t step, int8_t def) {
    int32_t twice = 2 * static_cast<int32_t>(step);
    switch (mode) {
        case kAdd:
            return TextStyle::ClampSize(parent + twice);
        case kSubtract:
            return TextStyle::ClampSize(parent - twice);
        case kRule:
            return TextStyle::ClampSize(twice);
        case kDefault:
            return def;
        default:
            return parent;
    }
}

uint32_t PickLength(uint8_t mode, uint32_t& parent, uint32_t rule, uint32_t def) {
    switch (mode) {
        case kAdd:
            return Length::Combine(parent, rule, 1);
        case kSubtract:
            return Length::Combine(parent, rule, -1);
        case kRule:
            return rule;
        case kDefault:
            return def;
        case kCountUp: {
            uint32_t value = parent;
            parent = Length::Combine(parent, rule, 1);
            return value;
        }
        default:
            return parent;
    }
}

void ComputeText(const TextStyle& def, const TextStyle& parent, const StyleRule& rule,
                 TextStyle& out) {
    const uint8_t* m = rule.modes;
    out = parent;  // the language and the link target stay the parent's
    out.size = PickSize(m[2], parent.size, rule.sizeStep, def.size);
    static const uint8_t kBits[4] = {kStyleBold, kStyleItalic, kStyleUnderline, kStyleStrike};
    uint32_t style = parent.style;
    for (int i = 0; i < 4; ++i) style = PickBits(m[3 + i], style, rule.style, def.style, kBits[i]);
    style = PickBits(m[7], style, rule.style, def.style, kStyleVerticalMask);
    out.style = static_cast<uint8_t>(style);
    out.face = static_cast<uint8_t>(Pick(m[8], parent.face, rule.face, def.face));
    out.color = PickColor(m[9], parent.color, rule.color, def.color);
    out.background = PickColor(m[10], parent.background, rule.background, def.background);
}

void CopyBox(const RenderState& from, RenderState& out) {
    for (int i = 0; i < kLengthCount; ++i) out.lengths[i] = from.lengths[i];
    out.alignment = from.alignment;
    out.listBits = from.listBits;
    out.boxFlags = from.boxFlags;
    out.blockBackground = from.blockBackground;
    out.borderColor = from.borderColor;
}

void ComputeBox(const RenderState& def, RenderState& parent, const StyleRule& rule,
                RenderState& out) {
    const uint8_t* m = rule.modes;
    CopyBox(parent, out);
    for (int i = 0; i < kLengthCount; ++i)
        out.lengths[i] = PickLength(m[11 + i], parent.lengths[i], rule.lengths[i], def.lengths[i]);
    out.alignment = Pick(m[16], parent.alignment, rule.alignment, def.alignment);
    // Byte 17 the list kind; byte 18 every other bit of the rule's list word.
    uint32_t list = PickBits(m[17], parent.listBits, rule.listBits, def.listBits, 3u);
    out.listBits = PickBits(m[18], list, rule.listBits, def.listBits, ~3u);
    out.blockBackground =
        PickColor(m[20], parent.blockBackground, rule.blockBackground, def.blockBackground);
    out.borderColor = PickColor(m[20], parent.borderColor, rule.borderColor, def.borderColor);
    out.boxFlags = PickBits(m[20], parent.boxFlags, rule.boxFlags, def.boxFlags, kBoxBorder);
    // Preformatted text stays so in every block inside it.
    out.boxFlags |= (parent.boxFlags | rule.boxFlags) & kBoxPreformatted;
}

// Each of red, green and blue halved; "no colour" stays no colour.
uint32_t HalfColor(uint32_t c) {
    if (Color::IsNone(c)) return c;
    return (c >> 1) & 0x7F7F7Fu;
}

// FACE is trimmed and cut at the first ','.
void CleanFaceName(String& face) {
    face.Trim(true, true);
    int32_t comma = 0;
    if (face.FindChar(u',', comma)) {
        face.AssignSub(face, 0, comma);
        face.Trim(true, true);
    }
}

void ApplyFont(TokenSource& source, const DocumentDefaults& defaults, RenderState& r,
               bool& textChanged) {
    String face;
    if (source.GetAttributeText(kAttrFace, face) && defaults.fontResolver) {
        CleanFaceName(face);
        uint8_t n = face.IsEmpty() ? 0 : defaults.fontResolver->ResolveFace(face);
        if (n != 0) {
            r.text.face = n;
            textChanged = true;
        }
    }
    uint32_t v = 0;
    if (source.GetAttributeValue(kAttrSize, v)) {
        if (v & AttributeValue::kRelativeNumber) {
            // A signed step count; anything past the 7-bit range is as far as it goes.
            int32_t steps = AttributeValue::RelativeNumber(v);
            if (steps > 63) steps = 63;
            if (steps < -64) steps = -64;
            r.text.size = TextStyle::ClampSize(r.text.size + 2 * steps);
            textChanged = true;
        } else if (v >= 1 && v <= 7) {
            r.text.size = TextStyle::ClampSize((static_cast<int32_t>(v) - 3) * 2);
            textChanged = true;
        }
    }
    if (source.GetAttributeValue(kAttrBgColor, v)) {
        r.text.background = v;
        textChanged = true;
    }
}

void ApplyInline(TokenSource& source, const DocumentDefaults& defaults, uint32_t id, RenderState& r,
                 bool& textChanged) {
    uint32_t v = 0;
    bool hasColor = source.GetAttributeValue(kAttrColor, v);
    if (hasColor) {
        r.text.color = v;
        textChanged = true;
    }
    if (id == kTagA) {
        RefPtr<LinkTarget> link(r.text.link.Get());
        LinkTarget::FromElement(source, link);
        if (link.Get() != r.text.link.Get()) textChanged = true;
        r.text.link = link;
        if (r.text.link && !hasColor) {
            r.text.color = defaults.linkColor;
            uint32_t nu = 0;
            if (defaults.underlineLinks && !source.GetAttributeValue(kAttrFvtNu, nu))
                r.text.style |= kStyleUnderline;
            else
                r.text.style &= static_cast<uint8_t>(~kStyleUnderline);
            textChanged = true;
        }
    } else if (id == kTagFont) {
        ApplyFont(source, defaults, r, textChanged);
    }
}

void ApplyBlock(TokenSource& source, const DocumentDefaults& defaults, uint32_t id,
                const RenderState& parent, RenderState& r, bool& isBlock, bool& boxChanged) {
    uint32_t v = 0;
    if (source.GetAttributeValue(kAttrWidth, v)) {
        r.lengths[kWidth] = v;
        boxChanged = true;
    }
    if (source.GetAttributeValue(kAttrHeight, v)) {
        r.lengths[kHeight] = v;
        if (id == kTagBr) {
            r.lengths[kFifthLength] = 0;
            r.breakKind = 2;
        }
        boxChanged = true;
    } else if (id == kTagP) {
        r.lengths[kHeight] = Length::Make(6, Length::kAbsolute);
    }
    if (r.display == kDisplayBlock) {
        if (source.GetAttributeValue(kAttrAlign, v)) {
            r.alignment = v;
            boxChanged = true;
        }
        if (source.GetAttributeValue(kAttrBgColor, v)) {
            r.blockBackground = v;
            if (v != parent.blockBackground) r.boxFlags |= kBoxOwnBackground;
            boxChanged = true;
        }
        if (source.GetAttributeValue(kAttrBorder, v)) {
            r.boxFlags |= kBoxBorder | kBoxOwnBackground;
            r.borderColor =
                source.GetAttributeValue(kAttrBorderColor, v) ? v : HalfColor(r.blockBackground);
            boxChanged = true;
        }
        if (!Length::IsSet(r.lengths[kWidth]) && !(id == kTagP && r.alignment != 3))
            r.lengths[kWidth] = 0;
        if (id == kTagLi) {
            String text;
            uint32_t start = 0;
            if (parent.ListKind() == 2 && source.GetAttributeText(kAttrValue, text)) {
                text.Trim(true, true);
                if (!text.ParseUnsigned(10, start) || start > 0xFFFF) start = 0;
            }
            r.SetListStart(static_cast<uint16_t>(start));
        }
    }
    if (defaults.blockRules) {
        if (id == kTagHr) {
            r.breakKind = 1;
            r.level = 1;
            isBlock = true;
        } else if (id == kTagH1) {
            r.breakKind = 1;
        }
    }
}

// A link target of the element's own for its TITLE: one shared with the parent (or anyone
// else) is copied, never changed.
void ApplyTitle(TokenSource& source, RenderState& r, bool& textChanged) {
    String title;
    if (!source.GetAttributeText(kAttrTitle, title)) return;
    LinkTarget* link = r.text.link.Get();
    if (!link || link->RefCount() > 1) {
        LinkTarget* own = new (std::nothrow) LinkTarget();
        if (!own) return;
        if (link && !own->Assign(*link)) {
            own->Release();
            return;
        }
        r.text.link = RefPtr<LinkTarget>::Adopt(own);
        link = own;
    }
    link->secondText = title;
    String name;
    if (source.GetAttributeText(kAttrName, name)) link->name = name;
    textChanged = true;
}

}  // namespace

int8_t TextStyle::ClampSize(int32_t size) {
    if (size < kMinSize) return kMinSize;
    if (size > kMaxSize) return kMaxSize;
    return static_cast<int8_t>(size);
}

bool TextStyle::operator==(const TextStyle& o) const {
    if (size != o.size || style != o.style || face != o.face || color != o.color ||
        background != o.background || language != o.language)
        return false;
    if (link.Get() == o.link.Get()) return true;
    return link && o.link && link->Equals(*o.link);
}

bool RenderState::operator==(const RenderState& o) const {
    for (int i = 0; i < kLengthCount; ++i)
        if (lengths[i] != o.lengths[i]) return false;
    return display == o.display && breakKind == o.breakKind && level == o.level && text == o.text &&
           alignment == o.alignment && listBits == o.listBits && boxFlags == o.boxFlags &&
           blockBackground == o.blockBackground && borderColor == o.borderColor &&
           cellBackground == o.cellBackground;
}

void ComputeTextStyle(const DocumentDefaults& defaults, RenderState& parent, const StyleRule& rule,
                      RenderState& out, bool& isBlock, bool& textChanged, bool& boxChanged) {
    const RenderState& def = defaults.style;
    isBlock = rule.breakKind != 0 || rule.level != 0;
    out.display = rule.display;
    out.breakKind = rule.breakKind;
    out.level = rule.level;

    switch (rule.modes[0]) {
        case kDefault:
            out.text = def.text;
            textChanged = true;
            break;
        case kPerProperty:
            ComputeText(def.text, parent.text, rule, out.text);
            textChanged = true;
            break;
        default:
            out.text = parent.text;
            textChanged = false;
            break;
    }
    switch (rule.modes[1]) {
        case kDefault:
            CopyBox(def, out);
            boxChanged = true;
            break;
        case kPerProperty:
            ComputeBox(def, parent, rule, out);
            boxChanged = true;
            break;
        default:
            CopyBox(parent, out);
            boxChanged = false;
            break;
    }
    out.boxFlags &= ~static_cast<uint32_t>(kBoxOwnBackground);
    out.text.language = parent.text.language;
    out.cellBackground =
        PickColor(rule.modes[21], parent.cellBackground, rule.cellBackground, def.cellBackground);
}

bool RenderState::FromElement(TokenSource& source, const DocumentDefaults& defaults,
                              RenderState& parent, RenderState& out, bool& isBlock,
                              bool& textChanged, bool& boxChanged, bool& linkChanged) {
    AttributeValue::Install();
    isBlock = textChanged = boxChanged = linkChanged = false;
    bool isEnd = false, isEmpty = false;
    uint32_t id = source.GetTag(isEnd, isEmpty);
    const StyleRule* rule = StyleRules::Find(id);
    if (!rule) {
        if (&out != &parent) out = parent;
        return false;
    }
    // Computed aside: out may be the parent itself.
    RenderState r;
    ComputeTextStyle(defaults, parent, *rule, r, isBlock, textChanged, boxChanged);
    uint32_t v = 0;
    switch (r.display) {
        case kDisplayInline:
            ApplyInline(source, defaults, id, r, textChanged);
            break;
        case kDisplayBlock:
        case kDisplayBreak:
            ApplyBlock(source, defaults, id, parent, r, isBlock, boxChanged);
            break;
        case kDisplayRow:
        case kDisplayCell:
            if (source.GetAttributeValue(kAttrAlign, v)) {
                r.alignment = v;
                boxChanged = true;
            }
            [[fallthrough]];
        case kDisplaySection:
            if (source.GetAttributeValue(kAttrBgColor, v)) {
                r.cellBackground = v;
                boxChanged = true;
            }
            break;
        default:
            break;
    }
    if (source.GetAttributeValue(kAttrLang, v)) {
        r.text.language = v;
        textChanged = true;
    }
    ApplyTitle(source, r, textChanged);
    linkChanged = r.text.link.Get() != parent.text.link.Get();
    out = std::move(r);
    return true;
}
