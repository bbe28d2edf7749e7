// Page drawing: the page background, lines with their alignment and justification, text runs,
// hyphens and underlined spaces, inline objects in two passes and the bookmark corner. Drawing
// reads the laid-out page and never changes the layout; it records only where runs and objects
// went, for hit-testing.
#include "layout/page_drawing.h"

#include <algorithm>

#include "bookfiles/annotation_file.h"
#include "core/color.h"
#include "document/sources/layout_services.h"
#include "layout/page_canvas.h"
#include "layout/page_layout.h"
#include "library/paths/app_paths.h"

namespace PageDrawing {

uint32_t LineAlignment(uint32_t own, uint32_t fallback, bool continues, bool framed) {
    uint32_t mode = own ? own : fallback;
    if (!continues && mode == kAlignJustify) mode = kAlignLeft;
    if (!continues && mode == kAlignPoetry && framed) mode = kAlignLeft;
    if (!framed && mode == kAlignPoetry) mode = kAlignRight;
    return mode;
}

int32_t AlignmentOffset(uint32_t mode, int32_t freeWidth) {
    if (freeWidth <= 0) return 0;
    if (mode == kAlignRight) return freeWidth;
    if (mode == kAlignCenter) return freeWidth / 2;
    return 0;
}

int32_t NextJustifyShare(int32_t freeWidth, int32_t gaps, int32_t& carry) {
    if (gaps <= 0 || freeWidth <= 0) return 0;
    int32_t total = freeWidth + carry;
    int32_t share = total / gaps;
    carry = total - share * gaps;
    return share;
}

int32_t FontSize(int32_t base, int32_t step) {
    // Nested size steps add up; a page font stays within what can be drawn.
    return std::clamp(base + step, 4, 127);
}

}  // namespace PageDrawing

namespace {

constexpr uint32_t kCornerFill = Color::Pack(148, 156, 169);
constexpr uint32_t kCornerOutline = Color::Pack(0, 0, 0);

// Opens the drawing bracket for one scope and closes it on every path.
class DrawScope {
public:
    explicit DrawScope(PageCanvas* canvas)
        : canvas_(canvas && canvas->Begin() ? canvas : nullptr) {}
    ~DrawScope() {
        if (canvas_) canvas_->End();
    }
    DrawScope(const DrawScope&) = delete;
    DrawScope& operator=(const DrawScope&) = delete;
    bool Ok() const { return canvas_ != nullptr; }

private:
    PageCanvas* canvas_;
};

// Whether a word follows on the line after item `from` (so that the space before it is a gap).
bool RunFollows(const BlockContents& c, int32_t from, int32_t end) {
    for (int32_t j = from + 1; j < end; ++j) {
        uint32_t kind = c.ItemAt(j)->kind;
        if (kind == kItemTextRun || kind == kItemInlineBox) return true;
    }
    return false;
}

int32_t LineGroupEnd(const BlockContents& c, int32_t index) {
    int32_t j = index + 1;
    while (j < c.Count()) {
        uint32_t kind = c.ItemAt(j)->kind;
        if (kind == kItemLine || kind == kItemTable) break;
        ++j;
    }
    return j;
}

}  // namespace

uint32_t PageLayout::TextColour() const {
    return Color::IsNone(drawStyle_.color) ? textColour_ : drawStyle_.color;
}

int32_t PageLayout::StyleFontSize(const PositionRecord& style) const {
    return PageDrawing::FontSize(settings_.baseFontSize, style.size);
}

void PageLayout::ApplyDrawStyle(const PositionRecord& style) {
    drawStyle_ = style;
    CanvasFont font;
    font.size = StyleFontSize(style);
    font.flags = static_cast<uint8_t>(style.style & 0x0F);
    font.face = style.face ? style.face : settings_.defaults.style.text.face;
    canvas_->SetFont(font);
}

Rect PageLayout::CornerRect() const {
    int32_t side = UiMetrics::Get(paths_, 10);
    int32_t inset = UiMetrics::Get(paths_, 11);
    return Rect{viewport_.x + viewport_.width - inset - side, viewport_.y + inset, side, side};
}

bool PageLayout::PaintCurrentPage(bool fill) {
    if (current_ == kNone) return false;
    if (SlotOf(current_) < 0 && !LayoutPageAt(current_, false)) {
        bool keptCurrent = false;
        DropRecordsExcept(current_, keptCurrent);
        if (!LayoutPageAt(current_, false)) {
            DrawPage(fill, current_);  // the background at least
            return false;
        }
    }
    bool drawn = DrawPage(fill, current_);
    SetPageVisibility(current_, kPageShown);
    return drawn;
}

bool PageLayout::DrawPage(bool /*fill*/, uint32_t start) {
    DrawScope scope(canvas_);
    if (!scope.Ok()) return false;
    int32_t s = SlotOf(start == kNone ? current_ : start);
    if (s < 0) {
        canvas_->FillRect(viewport_, backgroundColour_);
        return false;
    }
    PageSlot& slot = slots_[s];
    uint32_t background = slot.record->colour == kNone || Color::IsNone(slot.record->colour)
                              ? backgroundColour_
                              : slot.record->colour;
    slot.cornerBookmark = -1;
    ApplyDrawStyle(slot.record->style);
    canvas_->FillRect(viewport_, background);
    DrawItems(slot, background);
    DrawBookmarkCorner(slot);
    slot.drawn = true;
    // The current mark goes on last: it is drawn by inverting what is under it.
    int32_t mark = slot.record->markIndex;
    if (mark >= 0 && EnsureMarks(slot) && mark < slot.marks.Count())
        if (Area* a = slot.marks.At(mark)) canvas_->DrawArea(*a, true);
    return true;
}

void PageLayout::DrawItems(PageSlot& slot, uint32_t background) {
    BlockContents& c = slot.contents;
    int32_t counts[kItemKindCount] = {};
    int32_t i = 0;
    while (i < c.Count()) {
        uint32_t kind = c.ItemAt(i)->kind;
        if (kind == kItemLine) {
            i = DrawLine(slot, i, counts, background);
            continue;
        }
        // Tables are drawn by the table code; other items left at the top level (a break kept
        // after the last line) draw nothing and must not cost the page its pictures.
        if (kind == kItemStyleChange) {
            if (const PositionRecord* style = c.Style(counts[kind])) ApplyDrawStyle(*style);
        }
        ++counts[kind];
        ++i;
    }
    if (DrawObjects(slot, 0, background)) DrawObjects(slot, 1, background);
}

int32_t PageLayout::DrawLine(PageSlot& slot, int32_t index, int32_t* counts, uint32_t background) {
    BlockContents& c = slot.contents;
    const LineRecord* line = c.Line(counts[kItemLine]++);
    int32_t end = LineGroupEnd(c, index);
    if (!line) return end;
    bool continues = (line->flags & LineRecord::kContinues) != 0;
    uint32_t mode =
        PageDrawing::LineAlignment(line->alignment, defaultAlignment_, continues, false);
    bool justify = mode == PageDrawing::kAlignJustify || mode == PageDrawing::kAlignPoetry;
    int32_t gaps = 0;
    if (justify) {
        int32_t marks = counts[kItemFlowMark];
        bool afterSpace = false;
        for (int32_t j = index + 1; j < end; ++j) {
            uint32_t kind = c.ItemAt(j)->kind;
            if (kind == kItemTextRun || kind == kItemInlineBox) afterSpace = false;
            if (kind != kItemFlowMark) continue;
            const FlowMark* m = c.Mark(marks++);
            bool space = m && m->type == kMarkSpace;
            if (space && m->width > 0 && !afterSpace && RunFollows(c, j, end)) ++gaps;
            afterSpace = space;
        }
    }
    int32_t x = line->x + line->leftIndent + PageDrawing::AlignmentOffset(mode, line->freeWidth);
    // The baseline is measured from the top of the text, below the space kept above the line.
    const int32_t top = line->y + line->extraAbove;
    const int32_t inner = line->height - line->extraAbove - line->extraBelow;
    int32_t baseline = top + (line->baseline ? line->baseline : inner);
    bool hidden = (line->flags & LineRecord::kHidden) != 0;
    int32_t carry = 0;
    bool previousWasSpace = false;
    for (int32_t j = index + 1; j < end; ++j) {
        uint32_t kind = c.ItemAt(j)->kind;
        int32_t k = counts[kind]++;
        switch (kind) {
            case kItemTextRun: {
                TextRun* run = c.Run(k);
                if (!run) break;
                if (!hidden) canvas_->DrawText(run->text, Point{x, baseline}, TextColour());
                run->x = x;
                run->y = baseline;
                x += run->width;
                previousWasSpace = false;
                break;
            }
            case kItemFlowMark: {
                const FlowMark* m = c.Mark(k);
                if (!m) break;
                if (m->type == kMarkHyphen) {
                    static const String kHyphen(u"-", 1);
                    if (!hidden) canvas_->DrawText(kHyphen, Point{x, baseline}, TextColour());
                    x += m->width;
                } else if (m->type == kMarkSpace) {
                    int32_t w = m->width;
                    // Only a gap between words takes a share: not a trailing space, nor the
                    // second of two spaces in a row.
                    if (justify && m->width > 0 && !previousWasSpace && RunFollows(c, j, end))
                        w += PageDrawing::NextJustifyShare(line->freeWidth, gaps, carry);
                    if ((drawStyle_.style & kStyleUnderline) && !hidden && RunFollows(c, j, end))
                        canvas_->DrawUnderline(Point{x, baseline}, w, TextColour());
                    x += w;
                    previousWasSpace = true;
                }
                break;
            }
            case kItemStyleChange:
                if (const PositionRecord* style = c.Style(k)) ApplyDrawStyle(*style);
                break;
            case kItemInlineBox: {
                InlineBox* box = c.Object(k);
                if (!box || (box->flags & InlineBox::kAlignmentGiven)) break;
                box->rect.x = x + box->hspace;
                switch (box->alignment) {
                    case 0:
                        box->rect.y = top + box->vspace;
                        break;
                    case 9:
                        box->rect.y = top + (inner - box->rect.height) / 2;
                        break;
                    case 10:
                        box->rect.y = top + inner - box->rect.height;
                        break;
                    default:
                        box->rect.y = baseline - box->rect.height;
                        break;
                }
                x += box->rect.width + 2 * box->hspace;
                previousWasSpace = false;
                break;
            }
            default:
                break;
        }
    }
    (void)background;
    return end;
}

bool PageLayout::DrawObjects(PageSlot& slot, int32_t pass, uint32_t background) {
    BlockContents& c = slot.contents;
    int32_t count = c.KindCount(kItemInlineBox);
    int32_t from = pass == 1 && slot.lateObject >= 0 ? slot.lateObject : 0;
    if (pass == 1 && slot.lateObject < 0) return true;
    bool ok = true;
    if (pass == 0) slot.lateObject = -1;
    for (int32_t k = from; k < count && ok; ++k) {
        InlineBox* box = c.Object(k);
        if (!box || !box->object) continue;
        Rect r = box->rect;
        if ((r.width <= 0 || r.height <= 0) && !(box->flags & InlineBox::kScalable)) continue;
        box->object->SetRect(r, background);
        bool late = box->object->Query2() != 0;
        if (late && pass == 0) {
            if (slot.lateObject < 0) slot.lateObject = k;
            continue;
        }
        if (!late && pass == 1) continue;
        ok = canvas_->DrawObject(box->object.Get(), r, nullptr);
    }
    return ok;
}

void PageLayout::DrawBookmarkCorner(PageSlot& slot) {
    if (!annotations_ || !slot.record) return;
    uint32_t first = slot.record->start, last = slot.record->end;
    uint32_t a = 0, b = 0;
    if (slot.contents.GetRange(a, b)) {
        first = std::min(first, a);
        if (last == kNone) last = b;
    }
    if (last == kNone) return;
    BookmarkIterator it;
    annotations_->StartIterator(&it, 0, first, last);
    for (int32_t i = annotations_->FindNext(&it); i >= 0; i = annotations_->FindNext(&it)) {
        if (annotations_->GetBookmarkKind(i) & 1) {
            slot.cornerBookmark = i;
            break;
        }
    }
    if (slot.cornerBookmark < 0) return;
    Rect r = CornerRect();
    // The triangle above the diagonal, then its outline.
    for (int32_t k = 1; k <= r.width; ++k)
        canvas_->DrawLine(Point{r.x + r.width, r.y + r.height - k},
                          Point{r.x + r.width - k, r.y + r.height - k}, kCornerFill);
    canvas_->DrawLine(Point{r.x, r.y + r.height}, Point{r.x, r.y}, kCornerOutline);
    canvas_->DrawLine(Point{r.x, r.y + r.height}, Point{r.x + r.width, r.y + r.height},
                      kCornerOutline);
    canvas_->DrawLine(Point{r.x, r.y}, Point{r.x + r.width, r.y + r.height}, kCornerOutline);
}
