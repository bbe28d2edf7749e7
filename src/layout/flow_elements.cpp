// Tokens become block items: text runs, spaces and break marks, element boxes and style
// changes, inline boxes for pictures and rules, and table, row and cell records.
#include <memory>

#include "bookfiles/document_source.h"
#include "core/char_props.h"
#include "document/markup/attribute_value.h"
#include "document/markup/html_tokenizer.h"
#include "document/markup/keyword_tree.h"
#include "document/markup/length.h"
#include "document/markup/markup_tags.h"
#include "document/markup/token_source.h"
#include "graphics/core/graphics_context.h"
#include "layout/inline_objects.h"
#include "layout/page_layout.h"
#include "layout/table_widths.h"

namespace {

enum FlowTag : uint32_t {
    kMeta = 3,
    kLink = 4,
    kHr = 33,
    kTable = 44,
    kTr = 45,
    kTd = 46,
    kTh = 47,
    kScript = 49,
    kImg = 50,
    kReference = 64,
    kMetadata = 65,
    kGuide = 67,
    kLogHost = 68,
    kMap = 76,
    kArea = 77,
    kForm = 81,
    kInput = 82,
    kButton = 83,
    kSelect = 84,
    kTextArea = 87,
    kLabel = 88,
    kStyle = 115,
    kCaption = kTagCaption,
    kDcTitle = 118,
    kDcLanguage = 119,
    kPageBreak = 121,
    kFeedFirst = 150,
    kFeedLast = 205,
};

constexpr uint32_t kAttrSrc = 56;
constexpr uint32_t kAttrLogAs = 72;

// Break codes of an element's start and end (1 block end, 2 line break, 3 page break, 4 table
// end, 5 row end, 6 cell end; 0 none), from its display kind and break rule.
uint32_t BreakCode(uint32_t id, const RenderState& s, bool isEnd, bool inTable) {
    if (id == kTagBr) return isEnd ? 0 : 2;
    if (id == kTable) return isEnd ? 4 : 1;
    if (id == kTr) return isEnd && inTable ? 5 : 0;
    if (id == kTd || id == kTh || id == kCaption) return isEnd && inTable ? 6 : 0;
    if (!isEnd && s.breakKind == 3) return 3;
    if (s.display == kDisplayBlock || s.display == kDisplaySection || s.breakKind != 0)
        return 1;
    return 0;
}

uint32_t ClampSpan(uint32_t v, uint32_t max) {
    if (v == 0) return 1;
    return v > max ? max : v;
}

// WIDTH and HEIGHT of pictures: only absolute, non-negative pixel counts; anything else
// counts as not given.
bool PictureLength(TokenSource& source, uint32_t id, int32_t& out) {
    uint32_t v = 0;
    if (!source.GetAttributeValue(id, v)) return false;
    if (Length::Unit(v) != Length::kAbsolute || (v & (Length::kNotSet | Length::kNegative)))
        return false;
    int32_t n = Length::Value(v);
    if (n <= 0) return false;
    out = n;
    return true;
}

}  // namespace

const RenderState& PageLayout::CurrentState() const {
    const RenderState* top = elements_.GetRecordAtDepth(0);
    return top ? *top : settings_.defaults.style;
}

void PageLayout::StyleOf(const RenderState& state, PositionRecord& out) const {
    out.size = state.text.size;
    out.style = state.text.style;
    out.face = state.text.face;
    out.color = state.text.color;
    out.background = state.text.background;
    out.language = state.text.language;
    out.link = state.text.link;
}

void PageLayout::BoxOf(const RenderState& state, BoxRecord& out) const {
    out = BoxRecord{};
    out.leftMargin = state.lengths[kLeftMargin];
    // A block's WIDTH is its first-line indent, its HEIGHT the space above it.
    out.firstIndent = state.lengths[kWidth];
    out.spaceBefore = state.lengths[kHeight];
    out.spaceAfter = state.lengths[kFifthLength];
    out.alignment = state.alignment;
    if (state.boxFlags & kBoxBorder) out.flags |= BoxRecord::kFramed;
    if (state.boxFlags & kBoxPreformatted) out.flags |= BoxRecord::kPreformatted;
}

// (Every word and space selects it: inline in this file's callers, its only ones.)
[[gnu::always_inline]] inline void PageLayout::SelectTokenFont() {
    const TextStyle& t = CurrentState().text;
    fonts_.Select(t.size, t.style, t.face);
}

bool PageLayout::ReadToken(BlockContents& block) {
    if (!source_) return false;
    if (source_ == markup_) return ReadTokenFrom(*markup_, block);
    return ReadTokenFrom(*source_, block);
}

template <typename Tokens>
[[gnu::always_inline]] inline bool PageLayout::ReadTokenFrom(Tokens& source, BlockContents& block) {
    // Text read in pieces (a word joined across a character reference, "&lt;b&gt;") stands
    // where its first piece does: a part of it cut off at a line end stands inside it.
    uint32_t first = kNone;
    for (int32_t i = 0; i < kMaxEmptyReads; ++i) {
        uint32_t position = 0;
        source.GetPosition(position);
        uint32_t kind = source.NextToken();
        ++tokensRead_;
        // After a comment the token starts past it: a page starting inside the word then
        // starts inside the word, not inside the comment.
        source.TokenStart(position);
        if (first == kNone) first = position;
        if (kind == kTokenContinue) continue;
        const bool text = kind == kTokenText || kind == kTokenNonJoiner;
        return LayoutToken(source, block, text ? first : position);
    }
    return false;
}

// The HEAD's text (a TITLE) is the page's name, never its content; the HEAD of a page with
// no BODY is laid out with the rest. A block element opened inside an unclosed HEAD is body
// content again.
bool PageLayout::FindInHead() const {
    headVersion_ = elements_.Version();
    inHead_ = false;
    for (int32_t at = elements_.TopOffset(); at >= 0; at = elements_.PreviousOffset(at)) {
        uint32_t id = elements_.ReadU16At(at);
        if (id == kTagHead || id == kTagTitle) return inHead_ = true;
        if (MarkupTags::Class(id) != 0) break;
    }
    return inHead_;
}

// (Its one caller reads every token of a book: inline there.)
template <typename Tokens>
[[gnu::always_inline]] inline bool PageLayout::LayoutToken(Tokens& source, BlockContents& block,
                                                           uint32_t position) {
    bool ok = true;
    const uint32_t kind = source.LastTokenKind();
    const bool text = kind == kTokenText || kind == kTokenNonJoiner || kind == kTokenSpace;
    switch (text && InHead() ? kTokenContinue : kind) {
        case kTokenEnd: ok = AddEndMark(block, position); break;
        case kTokenText: ok = AddText(source, block, position, false); break;
        case kTokenNonJoiner: ok = AddText(source, block, position, true); break;
        case kTokenSpace: ok = AddSpace(block, position); break;
        case kTokenTag: ok = HandleTag(block, position); break;
        default: break;
    }
    uint32_t after = 0;
    if (ok && source.LastTokenKind() != kTokenEnd && source.GetPosition(after))
        block.SetEndPosition(after);
    return ok;
}

uint32_t PageLayout::TextLength() {
    DocumentSource* doc = source_ ? source_->Source() : nullptr;
    return doc ? doc->GetLength() : 0;
}

bool PageLayout::AddEndMark(BlockContents& block, uint32_t position) {
    uint32_t length = TextLength();
    block.SetEndPosition(length > position ? length : position);
    FlowMark m;
    m.type = kMarkTextEnd;
    m.option = 1;
    textEnded_ = true;
    return block.Append(m, block.EndPosition());
}

[[gnu::always_inline]] inline bool PageLayout::AddSpace(BlockContents& block, uint32_t position) {
    SelectTokenFont();
    FlowMark m;
    m.type = kMarkSpace;
    m.width = fonts_.SpaceWidth();
    return block.Append(m, position);
}

template <typename Tokens>
[[gnu::always_inline]] inline bool PageLayout::AddText(Tokens& source, BlockContents& block,
                                                       uint32_t position, bool trailingBreak) {
    const String& text = source.Text();
    FlowMark gap;
    gap.type = kMarkSpace;
    gap.width = 0;
    if (!text.IsEmpty()) {
        char16_t c = text[0];
        bool cjk = CharProps::IsCjk(c);
        if (cjk || c == 0x200C) {
            if (!block.Append(gap, position)) return false;
        }
        if (c != 0x200C) {
            TextRun run;
            run.text = text;
            SelectTokenFont();
            Size size;
            fonts_.Measure(text.Data(), text.Length(), size);
            run.width = size.width;
            run.height = size.height;
            if (!block.Append(std::move(run), position)) return false;
        }
    }
    if (!trailingBreak) return true;
    // An empty text with a trailing break gives only the break opportunity.
    uint32_t after = 0;
    if (!source.GetPosition(after) || after <= position) after = position + 1;
    return block.Append(gap, after);
}

bool PageLayout::AddBreakMark(uint32_t id, const RenderState& element, bool isEnd,
                              BlockContents& block, uint32_t position) {
    FlowMark m;
    m.option = 1;
    // Only a row's or a cell's end asks whether a table is open (a search of the element stack).
    const bool inTable = (id == kTr || id == kTd || id == kTh || id == kCaption) &&
                         (tableDepth_ > 0 || elements_.FindTag(kTable) >= 0);
    switch (BreakCode(id, element, isEnd, inTable)) {
        case 1:
            m.type = kMarkBlockEnd;
            m.option = element.level == 2 ? 0 : 1;
            break;
        case 2: m.type = kMarkLineBreak; break;
        case 3: m.type = kMarkPageBreak; break;  // passed over at the top of a column
        case 4: m.type = kMarkTableEnd; break;
        case 5: m.type = kMarkRowEnd; break;
        case 6: m.type = kMarkCellEnd; break;
        default: return true;
    }
    if (isEnd && element.level == 1) m.flags |= 1;
    if (!block.Append(m, position)) return false;
    // A caption is a row of its own: its cell's end ends the row too.
    if (id == kCaption && m.type == kMarkCellEnd) {
        FlowMark row;
        row.option = 1;
        row.type = kMarkRowEnd;
        return block.Append(row, position);
    }
    return true;
}

bool PageLayout::HandleTag(BlockContents& block, uint32_t position) {
    bool isEnd = false, isEmpty = false;
    uint32_t id = source_->GetTag(isEnd, isEmpty);
    if (isEnd && (id == kTagHtml || id == kTagBody)) {
        elements_.PopUnlessRoot(kTagHtml);
        return true;
    }
    RenderState before = CurrentState();
    RenderState element;
    bool isBlock = false, textChanged = false, boxChanged = false, linkChanged = false;
    uint32_t depth = elements_.Count();
    // Tags without a style rule copy their parent's state: they make no breaks of their own.
    bool hasRule = StyleRules::Find(id) != nullptr;
    if (!isEnd) {
        RenderState parent = before;
        hasRule = RenderState::FromElement(*source_, settings_.defaults, parent, element,
                                           isBlock, textChanged, boxChanged, linkChanged);
        // A refused push (too deep) leaves the stack as it was; the element still lays out.
        elements_.Push(*source_, element);
    } else {
        const RenderState* top = elements_.GetRecordAtDepth(0);
        element = top ? *top : settings_.defaults.style;
        elements_.Push(*source_, element);
    }
    bool pushed = elements_.Count() > depth;
    bool popped = elements_.Count() < depth;

    if (hasRule && !AddBreakMark(id, element, isEnd, block, position)) return false;
    if (MarkupTags::IsClass2or13or14or17(id)) {
        if (!LayoutElement(block, id, isEnd, element, position)) return false;
    } else if (id == kTable || id == kTr || id == kTd || id == kTh || id == kCaption) {
        if (!LayoutTableTag(block, id, isEnd, element, before, position)) return false;
    }
    if (hasRule && !isEnd && (isEmpty || MarkupTags::IsEmpty(id)) && !pushed &&
        !AddBreakMark(id, element, true, block, position))
        return false;

    const RenderState& now = CurrentState();
    // A block element's box starts with it, its parent's comes back after it.
    if (hasRule &&
        ((pushed && (isBlock || boxChanged) && element.display != kDisplayInline) ||
         (popped && element.display != kDisplayInline && element.display != kDisplayCell &&
          element.display != kDisplayRow))) {
        BoxRecord box;
        BoxOf(now, box);
        if (pushed) box.flags |= BoxRecord::kFirstLineIndent;
        if (!block.Append(box, position, popped)) return false;
    }
    if (!(now.text == before.text)) {
        PositionRecord style;
        StyleOf(now, style);
        if (!block.Append(style, position, true)) return false;
    }
    String items;
    if (!isEnd && settings_.log && source_->GetAttributeText(kAttrLogAs, items)) {
        InlineBox box;
        box.alignment = 3;
        box.flags = InlineBox::kAlignmentGiven;
        box.width = box.height = 0;
        box.hspace = box.vspace = 0;
        box.object = RefPtr<InlineObject>::Adopt(new LogItemObject(items, settings_.log));
        if (!block.Append(box, position)) return false;
    }
    return true;
}

PageLayout::StackEffect PageLayout::ReplayedEffect(uint32_t id, bool isEnd, bool isEmpty) {
    // HTML's and BODY's end tags close what is open above the root; an empty element is not
    // pushed; a tag the stack does not hold neither pushes nor pops.
    if (isEnd && (id == kTagHtml || id == kTagBody)) return StackEffect::kPopUnlessRoot;
    if (isEmpty || !ElementStack::Holds(id)) return StackEffect::kNone;
    return isEnd ? StackEffect::kPop : StackEffect::kPush;
}

bool PageLayout::ReplayTag(TokenSource& tag, ElementStack& stack) {
    bool isEnd = false, isEmpty = false;
    const uint32_t id = tag.GetTag(isEnd, isEmpty);
    switch (ReplayedEffect(id, isEnd, isEmpty)) {
        case StackEffect::kNone:
            return true;
        case StackEffect::kPopUnlessRoot:
            stack.PopUnlessRoot(kTagHtml);
            return true;
        case StackEffect::kPop:
            // It takes no state; an element the stack refused (too deep) is not popped.
            return stack.Push(tag, settings_.defaults.style);
        case StackEffect::kPush:
            break;
    }
    const RenderState* top = stack.GetRecordAtDepth(0);
    RenderState element = top ? *top : settings_.defaults.style;
    RenderState parent = element;
    bool isBlock = false, textChanged = false, boxChanged = false, linkChanged = false;
    RenderState::FromElement(tag, settings_.defaults, parent, element, isBlock, textChanged,
                             boxChanged, linkChanged);
    return stack.Push(tag, element);
}

bool PageLayout::LayoutElement(BlockContents& block, uint32_t id, bool isEnd,
                               const RenderState& /*state*/, uint32_t position) {
    switch (id) {
        case kMeta:
        case kLink:
        case kReference:
        case kMetadata:
        case kGuide:
        case kLogHost:
        case kArea:
        case kDcTitle:
        case kDcLanguage:
        case kPageBreak:
            return true;
        case kHr:
            if (isEnd || !settings_.showRules || !SourceFlag()) return true;
            return LayoutImage(block, true, position);
        case kImg:
            if (isEnd) return true;
            return LayoutImage(block, false, position);
        case kScript:
        case kMap:
        case kButton:
        case kStyle:
            if (!isEnd) {
                source_->SkipElement();
                // The skipped element's end tag never comes: its entry goes now.
                bool e = false, m = false;
                if (source_->GetTag(e, m) == id && elements_.FindTag(id) == elements_.TopOffset())
                    elements_.Pop();
            }
            return true;
        case kForm:
            if (!isEnd) formFlag_ = true;
            return true;
        case kInput:
        case kSelect:
        case kTextArea:
            if (isEnd) return true;
            return LayoutFormControl(block, position);
        case kLabel:
            return true;  // a label's text flows as text; it has no control of its own
        default:
            if (id >= kFeedFirst && id <= kFeedLast) return true;
            return false;
    }
}

bool PageLayout::LayoutImage(BlockContents& block, bool isRule, uint32_t position) {
    InlineBox box;
    box.hspace = box.vspace = 1;
    if (isRule) {
        box.alignment = 1;
        box.flags |= InlineBox::kAlignmentGiven;
    } else {
        GetElementAlignment(box, *source_);
    }
    int32_t wantW = 0, wantH = 0;
    bool hasW = PictureLength(*source_, kAttrWidth, wantW);
    bool hasH = PictureLength(*source_, kAttrHeight, wantH);
    uint32_t v = 0;
    if (source_->GetAttributeValue(kAttrBorder, v) && v == 0) box.hspace = box.vspace = 0;
    if (source_->GetAttributeValue(kAttrHSpace, v)) box.hspace = v > 1000 ? 1000 : static_cast<int32_t>(v);
    if (source_->GetAttributeValue(kAttrVSpace, v)) box.vspace = v > 1000 ? 1000 : static_cast<int32_t>(v);

    InlineObject* object = nullptr;
    if (isRule) {
        HorizontalRule* rule = new HorizontalRule();
        if (source_->GetAttributeValue(kAttrColor, v)) rule->SetColour(v);
        uint32_t width = 0;
        if (source_->GetAttributeValue(kAttrWidth, width) && Length::IsSet(width))
            rule->SetWidth(width);
        object = rule;
        hasW = hasH = false;
    } else {
        String src;
        source_->GetAttributeText(kAttrSrc, src);
        int32_t record = -1;
        uint32_t n = 0;
        if (source_->GetAttributeValue(kAttrRecIndex, n) && n <= 0xFFFF) record = static_cast<int32_t>(n);
        if (settings_.screenClass == 0 && source_->GetAttributeValue(kAttrLoRecIndex, n) && n <= 0xFFFF)
            record = static_cast<int32_t>(n);
        if (settings_.screenClass == 2 && source_->GetAttributeValue(kAttrHiRecIndex, n) && n <= 0xFFFF)
            record = static_cast<int32_t>(n);
        bool bmpName = src.Length() >= 3 && (src[0] | 0x20) == u'b' && (src[1] | 0x20) == u'm' &&
                       (src[2] | 0x20) == u'p';
        if (!bmpName && record < 0) {
            if (!src.IsEmpty())
                object = ImageObject::FromLocation(settings_.opener, src, settings_.location, -1,
                                                   &settings_.icons);
        } else if (record >= 0) {
            object = ImageObject::FromRecord(settings_.book, settings_.location, record);
        }
    }
    if (!object) return true;  // a picture that cannot be opened places nothing
    box.object = RefPtr<InlineObject>::Adopt(object);
    Size natural;
    uint8_t flag = 0;
    if (object->MeasureSimple(natural, flag)) {
        // A picture's pixels, and its WIDTH and HEIGHT, are the page's at 96 dpi, as the text's
        // sizes are: a denser screen shows it larger by the same ratio. The program's icons
        // come in the screen's size already.
        const ImageObject* image = isRule ? nullptr : dynamic_cast<ImageObject*>(object);
        if (image && !image->Icon() && fonts_.Context()) {
            const GraphicsContext& gc = *fonts_.Context();
            natural = Size{gc.ScaleForDpi(natural.width), gc.ScaleForDpi(natural.height)};
            if (hasW) wantW = gc.ScaleForDpi(wantW);
            if (hasH) wantH = gc.ScaleForDpi(wantH);
        }
        if (hasW && wantW > natural.width) hasW = false;
        if (hasH && wantH > natural.height) hasH = false;
        if (!isRule && hasW != hasH && natural.width > 0 && natural.height > 0) {
            if (hasW) {
                wantH = static_cast<int32_t>(static_cast<int64_t>(natural.height) * wantW / natural.width);
                hasH = true;
            } else {
                wantW = static_cast<int32_t>(static_cast<int64_t>(natural.width) * wantH / natural.height);
                hasW = true;
            }
            if (wantW < 1) wantW = 1;
            if (wantH < 1) wantH = 1;
            object->SetDisplay(Size{wantW, wantH}, false);
        }
        if (!hasW) wantW = natural.width;
        if (!hasH) wantH = natural.height;
        if (flag & 1) box.flags |= InlineBox::kScalable;
    }
    box.width = wantW;
    box.height = wantH;
    return block.Append(box, position);
}

bool PageLayout::LayoutFormControl(BlockContents& block, uint32_t position) {
    bool isEnd = false, isEmpty = false;
    uint32_t id = source_->GetTag(isEnd, isEmpty);
    // An element with content (SELECT, TEXTAREA) was pushed just now. Its content belongs to
    // the control: the form builder reads it through the end tag, which then never reaches
    // the element stack, so the entry goes here or every later end tag would close the
    // wrong element.
    int32_t top = elements_.TopOffset();
    uint32_t after = 0;
    source_->GetPosition(after);
    bool pushed =
        !isEnd && top >= 0 && elements_.ReadU16At(top) == id && elements_.ReadU32At(top) == after;
    auto closeElement = [&]() {
        if (!pushed) return;
        bool e = false, m = false;
        if (source_->LastTokenKind() == kTokenTag && source_->GetTag(e, m) == id && !e)
            source_->SkipElement();
        if (source_->LastTokenKind() == kTokenTag && source_->GetTag(e, m) == id && e &&
            elements_.TopOffset() == top)
            elements_.Pop();
    };
    if (!forms_) {
        closeElement();  // no form: the element and its content are passed over
        return true;
    }
    InlineBox box;
    box.hspace = box.vspace = 1;
    GetElementAlignment(box, *source_);

    FormControlRequest request;
    request.position = position;
    request.documentKey = CurrentDocumentKey();
    // A named FORM around the control finds (or makes) its form by name, else the form is
    // found by the control's position.
    String formName;
    int32_t form = elements_.FindTag(kForm);
    std::unique_ptr<ElementStackIterator> formElement;
    if (form >= 0) {
        formElement = std::make_unique<ElementStackIterator>(elements_, form);
        if (elements_.FindAttributeText(form, kAttrName, formName) && !formName.IsEmpty()) {
            request.formName = &formName;
            request.formElement = formElement.get();
        } else {
            request.unnamedForm = formElement.get();
        }
        request.formPosition = elements_.ReadU32At(form);
    }
    request.surface = controlSurface_;
    request.controlParent = controlParent_;
    PositionRecord style;
    StyleOf(CurrentState(), style);
    int32_t em = StyleFontSize(style);
    uint8_t style3[3] = {
        static_cast<uint8_t>(static_cast<int8_t>(-(em > 127 ? 127 : em))),
        static_cast<uint8_t>((style.style & (FontStyle::kBold | FontStyle::kItalic)) |
                             FontStyle::kPlain),
        style.face ? style.face : DefaultFace()};
    request.style3 = style3;

    InlineObject* control = forms_->BuildControl(*source_, request);
    // The element's content is the control's, never text of the page.
    closeElement();
    if (!control) return true;  // no form or no control for this element: nothing is placed
    box.object = RefPtr<InlineObject>::Adopt(control);
    // Measured with the control's own font; the layout's font is selected again after.
    Size size{request.defaultWidth, 0};
    uint8_t flagA = 0, flagB = 0;
    uint32_t baseline = 0;
    Size minimum;
    bool measured = control->Measure(size, flagA, fonts_.Context(), flagB, baseline, minimum);
    SelectTokenFont();
    if (!measured) return false;
    if (flagA & 1) box.flags |= InlineBox::kScalable;
    box.width = size.width < 1 ? 1 : size.width;
    box.height = size.height < 1 ? 1 : size.height;
    // The part below the text's baseline.
    box.descent =
        baseline > static_cast<uint32_t>(box.height) ? box.height : static_cast<int32_t>(baseline);
    return block.Append(box, position);
}

void PageLayout::ReadBoxAttributes(BoxAttributes& out) {
    out = BoxAttributes{};
    uint32_t v = 0;
    if (source_->GetAttributeValue(kAttrBgColor, v)) out.background = v;
    if (source_->GetAttributeValue(kAttrWidth, v)) out.width = v;
    if (source_->GetAttributeValue(kAttrHeight, v)) out.height = v;
    if (source_->GetAttributeValue(kAttrBorder, v)) out.border = v > 100 ? 100 : v;
    if (source_->GetAttributeValue(kAttrBorderColor, v)) out.borderColour = v;
}

bool PageLayout::LayoutTableTag(BlockContents& block, uint32_t id, bool isEnd,
                                const RenderState& /*state*/, const RenderState& outer,
                                uint32_t position) {
    if (isEnd) return true;
    uint32_t v = 0;
    switch (id) {
        case kTable: {
            TableRecord t;
            ReadBoxAttributes(t.attributes);
            if (source_->GetAttributeValue(kAttrCellPadding, v)) t.cellPadding = v > 1000 ? 1000 : v;
            // Its own ALIGN, else the alignment of the element around it.
            t.alignment = source_->GetAttributeValue(kAttrAlign, v) ? v : outer.alignment;
            // As the element stack keeps it (a continued table's record is made from there).
            if (!source_->GetPosition(t.start)) t.start = TableRecord{}.start;
            return block.Append(t, position);
        }
        case kTr: {
            RowRecord r;
            ReadBoxAttributes(r.attributes);
            return block.Append(r, position);
        }
        case kTd:
        case kTh: {
            CellRecord c;
            ReadBoxAttributes(c.attributes);
            c.colSpan = source_->GetAttributeValue(kAttrColSpan, v)
                            ? ClampSpan(v, TableWidths::kMaxColSpan)
                            : 1;
            c.rowSpan = source_->GetAttributeValue(kAttrRowSpan, v)
                            ? ClampSpan(v, TableWidths::kMaxRowSpan)
                            : 1;
            if (source_->GetAttributeValue(kAttrVAlign, v)) c.valign = v == 1 || v == 9 ? 1 : v == 2 || v == 10 ? 2 : 0;
            // A cell without a colour of its own takes its row's.
            if (!source_->GetAttributeValue(kAttrBgColor, v)) {
                const int32_t row = elements_.FindTag(kTr);
                if (row > elements_.FindTag(kTable) && elements_.FindAttribute(row, kAttrBgColor, v))
                    c.attributes.background = v;
            }
            c.nowrap = source_->HasAttribute(kAttrNowrap);
            return block.Append(c, position);
        }
        case kCaption: {
            // A row of one cell across the table, its text centred by its style.
            RowRecord r;
            if (!block.Append(r, position)) return false;
            CellRecord c;
            c.spansTable = true;
            return block.Append(c, position);
        }
        default:
            return true;
    }
}
