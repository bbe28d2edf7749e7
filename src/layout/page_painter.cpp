// Drawing a laid-out page on the layout's canvas (see page_painter.h).
#include "layout/page_painter.h"

#include <algorithm>

#include "bookfiles/annotation_file.h"
#include "core/color.h"
#include "document/sources/layout_services.h"
#include "graphics/core/node.h"
#include "layout/hyphenation.h"
#include "layout/inline_objects.h"
#include "layout/page_canvas.h"
#include "layout/page_drawing.h"
#include "layout/page_layout.h"
#include "layout/table_scroll.h"
#include "layout/table_views.h"
#include "paths/app_paths.h"

namespace {

constexpr uint32_t kCornerFill = Color::Pack(148, 156, 169);
constexpr uint32_t kCornerOutline = Color::Pack(0, 0, 0);

// Opens the drawing bracket for one scope and closes it on every path.
class CanvasScope {
public:
    explicit CanvasScope(PageCanvas* canvas)
        : canvas_(canvas && canvas->Begin() ? canvas : nullptr) {}
    ~CanvasScope() {
        if (canvas_) canvas_->End();
    }
    CanvasScope(const CanvasScope&) = delete;
    CanvasScope& operator=(const CanvasScope&) = delete;
    bool Ok() const { return canvas_ != nullptr; }

private:
    PageCanvas* canvas_;
};

// A colour that shows over the page: set, and not the page's own.
bool Shows(uint32_t colour, uint32_t pageBackground) {
    return !Color::IsNone(colour) && !Color::SameRgb(colour, pageBackground);
}

// What a run shows: its text without soft hyphens (a line broken at one draws the hyphen mark
// the break added).
const String& ShownText(const String& text, String& scratch) {
    const char16_t* p = text.Data();
    const char16_t* end = p + text.Length();
    if (std::find(p, end, Hyphenation::kSoftHyphen) == end) return text;
    scratch.Release();
    for (; p < end; ++p)
        if (*p != Hyphenation::kSoftHyphen) scratch.AppendChar(*p);
    return scratch;
}

// The bytes of a style that choose its font: its size step, flags and face.
uint32_t StyleFontKey(const PositionRecord& style) {
    return static_cast<uint32_t>(static_cast<uint8_t>(style.size)) |
           static_cast<uint32_t>(style.style & 0x0F) << 8 | static_cast<uint32_t>(style.face) << 16;
}

}  // namespace

uint32_t PagePainter::DefaultTextColour() const {
    const uint32_t body = bodyTextColour_;
    return body != kNone && !Color::IsNone(body) ? body : textColour_;
}

uint32_t PagePainter::TextColour() const {
    return TextColour(drawStyle_);
}

uint32_t PagePainter::TextColour(const PositionRecord& style) const {
    return Color::IsNone(style.color) ? DefaultTextColour() : style.color;
}

void PagePainter::ApplyDrawStyle(const PositionRecord& style) {
    drawStyle_ = style;
    SetRunFont(style);
}

uint32_t PagePainter::PageBackground(const PageSlot& slot) const {
    auto named = [](uint32_t c) { return c != kNone && !Color::IsNone(c); };
    if (slot.record && named(slot.record->colour)) return slot.record->colour;
    return named(bodyColour_) ? bodyColour_ : backgroundColour_;
}

bool PagePainter::DrawPage(PageSlot* held) {
    CanvasScope scope(canvas_);
    if (!scope.Ok()) return false;
    if (!held) {
        canvas_->FillRect(layout_.Viewport(), backgroundColour_);
        return false;
    }
    PageSlot& slot = *held;
    uint32_t background = PageBackground(slot);
    slot.cornerBookmark = -1;
    shownFontSize_ = -1;
    ApplyDrawStyle(slot.record->style);
    canvas_->FillRect(layout_.Viewport(), background);
    PrepareHighlights(slot, false);
    DrawItems(slot, background);
    DrawMarkBox(slot.openMark);
    slot.openMark = MarkBox{};
    DrawBookmarkCorner(slot);
    slot.drawn = true;
    // The current mark goes on last: it is drawn by inverting what is under it.
    int32_t mark = slot.record->markIndex;
    if (mark >= 0 && layout_.EnsureMarks(slot) && mark < slot.marks.Count())
        if (Area* a = slot.marks.At(mark); a && !ControlMark::Of(*a)) canvas_->DrawArea(*a, true);
    return true;
}

void PagePainter::PrepareHighlights(PageSlot& slot, bool makeLinks) {
    slot.walking = false;
    slot.openMark = MarkBox{};
    AnnotationFile* annotations = layout_.Annotations();
    if (!annotations) return;
    uint32_t first = 0, last = 0;
    if (!slot.contents.GetRange(first, last)) return;
    slot.walk.Start(annotations, first);
    if (slot.walk.current < 0) return;
    slot.walking = true;
    slot.walk.Advance(first, makeLinks);
}

void PagePainter::DrawItems(PageSlot& slot, uint32_t background) {
    BlockContents& c = slot.contents;
    int32_t counts[kItemKindCount] = {};
    const TableRecord* table = nullptr;
    uint32_t tablePosition = 0;
    drawShift_ = Point{0, 0};
    drawnTableDepth_ = 0;
    tableClip_ = nullptr;
    objectClips_.assign(static_cast<size_t>(std::max(0, c.KindCount(kItemInlineBox))), Rect{});
    int32_t i = 0;
    while (i < c.Count()) {
        uint32_t kind = c.ItemAt(i)->kind;
        if (kind == kItemLine) {
            i = DrawLine(slot, i, counts, background);
            continue;
        }
        int32_t k = counts[kind]++;
        switch (kind) {
            case kItemStyleChange:
                if (const PositionRecord* style = c.Style(k)) ApplyDrawStyle(*style);
                break;
            case kItemTable:
                if (TableRecord* t = c.Table(k)) {
                    if (drawnTableDepth_ == 0) {
                        table = t;
                        tablePosition = c.ItemAt(i)->Position();
                        EnterTable(slot, *t, tablePosition);
                    }
                    ++drawnTableDepth_;
                }
                break;
            case kItemCell:
                if (const CellRecord* cell = c.Cell(k)) DrawCell(slot, *cell, table);
                break;
            case kItemFlowMark: {
                const FlowMark* m = c.Mark(k);
                if (m && m->type == kMarkTableEnd && drawnTableDepth_ > 0 &&
                    --drawnTableDepth_ == 0) {
                    canvas_->SetClip(nullptr);
                    drawShift_ = Point{0, 0};
                    tableClip_ = nullptr;
                    if (table) DrawTableScroller(slot, *table, tablePosition);
                    table = nullptr;
                }
                break;
            }
            case kItemInlineBox:
                NoteObjectClip(k);
                break;
            default:
                // Other items left at the top level (a break kept after the last line) draw
                // nothing and must not cost the page its pictures.
                break;
        }
        ++i;
    }
    if (drawnTableDepth_ > 0) canvas_->SetClip(nullptr);
    drawShift_ = Point{0, 0};
    drawnTableDepth_ = 0;
    tableClip_ = nullptr;
    if (DrawObjects(slot, 0, background)) DrawObjects(slot, 1, background);
}

void PagePainter::EnterTable(PageSlot& slot, TableRecord& table, uint32_t position) {
    if (!TableScroll::IsScrollable(table) || !slot.record) return;
    // The page keeps each scrollable table's offsets, found by the table's position.
    TableScrollEntry* entry = nullptr;
    for (TableScrollEntry& e : slot.record->tables)
        if (e.position == position) entry = &e;
    if (!entry) {
        slot.record->tables.push_back(TableScrollEntry{position, 0, 0});
        entry = &slot.record->tables.back();
    }
    // The content shows in the view between the arrow columns; scrolling stops where the
    // content's far edge meets the view's.
    Rect left, right;
    layout_.TableScrollRects(table.box, tableView_, left, right);
    const Rect& view = tableView_;
    TableScroll::SetTableExtent(
        *entry, Size{table.content.width - view.width, table.content.height - view.height}, false);
    // Nor does it show left of its first view: what lies there is no word (a column's inset).
    const int32_t largest = std::max(0, table.content.width - view.width);
    const int32_t first = std::min(TableScroll::FirstView(layout_, slot, position).x, largest);
    entry->x = std::clamp(entry->x, first, largest);
    entry->y = TableScroll::VerticalOffsetWithin(entry->y, table.content.height, view.height);
    drawShift_ = Point{view.x - table.box.x - entry->x, view.y - table.box.y - entry->y};
    canvas_->SetClip(&tableView_);
    tableClip_ = &tableView_;
}

void PagePainter::NoteObjectClip(int32_t k, const InlineBox* box) {
    if (!tableClip_ || k < 0 || static_cast<size_t>(k) >= objectClips_.size()) return;
    // A control shows as far as the view holds it, and takes taps there.
    const bool control = box && box->object && box->object->IsControl();
    objectClips_[k] = lineCut_ && !control ? lineCutClip_ : *tableClip_;
}

void PagePainter::DrawTableScroller(PageSlot& slot, const TableRecord& table, uint32_t position) {
    if (!TableScroll::IsScrollable(table) || !slot.record) return;
    const TableScrollEntry* entry = nullptr;
    for (const TableScrollEntry& e : slot.record->tables)
        if (e.position == position) entry = &e;
    if (!entry) return;
    Rect v, left, right;
    if (!layout_.TableScrollRects(table.box, v, left, right)) return;
    if (entry->selected && v.width > 0 && v.height > 0) FrameRect(v, TableScroll::kSelectedFrame);
    // The arrows say which way more of the table lies; they sit over the arrow marks, beside
    // the view.
    bool showLeft = entry->x > TableScroll::FirstView(layout_, slot, position).x;
    bool showRight = entry->x < std::max(0, table.content.width - v.width);
    if (showLeft) DrawIconColumn(left, TableScroll::TableIcons::kLeftArrow);
    if (showRight) DrawIconColumn(right, TableScroll::TableIcons::kRightArrow);
}

void PagePainter::DrawIconColumn(const Rect& column, uint16_t icon) {
    Size size;
    if (!canvas_->IconSize(icon, size) || size.width <= 0 || size.height <= 0) return;
    std::vector<int32_t> tops;
    TableScroll::IconColumnPlaces(column, size.height, TableScroll::kMaxIcons, tops);
    int32_t x = column.x + (column.width - size.width) / 2;
    for (int32_t top : tops)
        canvas_->DrawIcon(icon, Rect{x, top, size.width, size.height}, &column);
}

void PagePainter::FrameRect(const Rect& r, uint32_t colour) {
    int32_t x1 = r.x + r.width - 1, y1 = r.y + r.height - 1;
    canvas_->DrawLine(Point{r.x, r.y}, Point{x1, r.y}, colour);
    canvas_->DrawLine(Point{x1, r.y}, Point{x1, y1}, colour);
    canvas_->DrawLine(Point{x1, y1}, Point{r.x, y1}, colour);
    canvas_->DrawLine(Point{r.x, y1}, Point{r.x, r.y}, colour);
}

void PagePainter::DrawCell(PageSlot& /*slot*/, const CellRecord& cell, const TableRecord* table) {
    auto isNone = [](uint32_t c) { return c == BoxAttributes::kNoColour || Color::IsNone(c); };
    uint32_t fill = cell.attributes.background;
    if (isNone(fill) && table) fill = table->attributes.background;
    Rect r = cell.rect;
    r.x += drawShift_.x;
    r.y += drawShift_.y;
    // One horizontal and one vertical border width, in whole pixels.
    int32_t bx = cell.borders[0] >> 4;
    int32_t by = cell.borders[2] >> 4;
    bool framed = by >= 1;
    if (framed) r = Rect{r.x - bx, r.y - by, r.width + 2 * bx, r.height + 2 * by};
    if (r.width <= 0 || r.height <= 0) return;
    if (!isNone(fill)) canvas_->FillRect(r, fill);
    // A bordered cell is framed in its BORDERCOLOR, else its table's, else the text colour;
    // another is outlined in its background.
    uint32_t border = cell.attributes.borderColour;
    if (isNone(border) && table) border = table->attributes.borderColour;
    if (isNone(border)) border = TextColour();
    uint32_t edge = framed ? border : fill;
    if (!framed && isNone(fill)) return;
    int32_t x1 = r.x + r.width - 1, y1 = r.y + r.height - 1;
    canvas_->DrawLine(Point{r.x, r.y}, Point{x1, r.y}, edge);
    canvas_->DrawLine(Point{x1, r.y}, Point{x1, y1}, edge);
    canvas_->DrawLine(Point{x1, y1}, Point{r.x, y1}, edge);
    canvas_->DrawLine(Point{r.x, y1}, Point{r.x, r.y}, edge);
}

uint32_t PagePainter::ShownBackground(const PositionRecord& style, uint32_t fallback) const {
    // The document's own default background is the page's: only a colour of the run's own
    // shows.
    uint32_t b = style.background;
    if (Color::IsNone(b) || b == layout_.Settings().defaults.style.text.background) return fallback;
    return b;
}

void PagePainter::SetRunFont(const PositionRecord& style) {
    // Within a page the same style bytes give the same font: most words change nothing.
    const uint32_t key = StyleFontKey(style);
    if (shownFontSize_ >= 0 && key == shownStyleKey_) return;
    CanvasFont font;
    font.size = layout_.StyleFontSize(style);
    font.flags = static_cast<uint8_t>(style.style & 0x0F);
    font.face = style.face ? style.face : layout_.DefaultFace();
    shownStyleKey_ = key;
    // A heading's end changes the size alone: comparing the flags only kept its larger font.
    if (font.size == shownFontSize_ && font.flags == shownFontFlags_ && font.face == shownFontFace_)
        return;
    FlushText();
    shownFontSize_ = font.size;
    shownFontFlags_ = font.flags;
    shownFontFace_ = font.face;
    canvas_->SetFont(font);
}

void PagePainter::DrawLineFrame(const LineRecord& line, uint32_t lineBackground,
                                uint32_t background) {
    // The line's x already holds its left indent; the frame and bands start at the column.
    int32_t x = line.x - line.leftIndent + drawShift_.x, y = line.y + drawShift_.y;
    bool banded = !Color::IsNone(lineBackground) && !Color::SameRgb(lineBackground, background);
    if (banded && line.extraAbove > 0)
        canvas_->FillRect(Rect{x, y, line.width, line.extraAbove}, lineBackground);
    if (banded && line.extraBelow > 0)
        canvas_->FillRect(Rect{x, y + line.height - line.extraBelow, line.width, line.extraBelow},
                          lineBackground);
    if (!(line.flags & LineRecord::kFramed)) return;
    // The layout kept two pixels inside each indent for the frame.
    int32_t left = x + std::max(0, line.leftIndent - 2);
    int32_t right = x + line.width - std::max(0, line.rightIndent - 2) - 1;
    int32_t bottom = y + line.height - 1;
    uint32_t colour = TextColour();
    canvas_->DrawLine(Point{left, y}, Point{left, bottom}, colour);
    canvas_->DrawLine(Point{right, y}, Point{right, bottom}, colour);
    if (line.flags & LineRecord::kTopEdge)
        canvas_->DrawLine(Point{left, y}, Point{right, y}, colour);
    if (line.flags & LineRecord::kBottomEdge)
        canvas_->DrawLine(Point{left, bottom}, Point{right, bottom}, colour);
}

// One line as it is walked: backgrounds, then contents.
struct PagePainter::LineWalk {
    const LineRecord* line = nullptr;
    int32_t index = 0;
    int32_t end = 0;
    int32_t lastWord = 0;  // a space before this item is followed by a word
    bool justify = false;
    bool hidden = false;
    bool stylesFill = false;  // a style in the line shows a background of its own
    int32_t gaps = 0;
    int32_t startX = 0;
    int32_t top = 0;
    int32_t inner = 0;
    int32_t baseline = 0;
    PageDrawing::LineBand band;  // for placing objects the layout left to the drawing
    uint32_t lineBackground = 0;
    uint32_t pageBackground = 0;
};

int32_t PagePainter::DrawLine(PageSlot& slot, int32_t index, int32_t* counts, uint32_t background) {
    BlockContents& c = slot.contents;
    const LineRecord* line = c.Line(counts[kItemLine]++);
    LineWalk w;
    w.line = line;
    w.index = index;
    w.pageBackground = background;
    w.lineBackground = ShownBackground(drawStyle_, background);
    ScanLine(c, w, counts);
    const int32_t end = w.end;
    if (!line) {
        for (int32_t j = index + 1; j < end; ++j) ++counts[c.ItemAt(j)->kind];
        return end;
    }
    bool continues = (line->flags & LineRecord::kContinues) != 0;
    bool framed = (line->flags & LineRecord::kFramed) != 0;
    uint32_t mode = PageDrawing::LineAlignment(line->alignment, layout_.Settings().defaultAlignment,
                                               continues, framed);
    w.justify = mode == PageDrawing::kAlignJustify || mode == PageDrawing::kAlignPoetry;
    if (!w.justify) w.gaps = 0;
    // The line's x already holds its left indent.
    w.startX = line->x + drawShift_.x + PageDrawing::AlignmentOffset(mode, line->freeWidth);
    // The baseline is measured from the top of the text, below the space kept above the line.
    w.top = line->y + drawShift_.y + line->extraAbove;
    w.inner = line->height - line->extraAbove - line->extraBelow;
    w.baseline = w.top + (line->baseline ? line->baseline : w.inner);
    w.band = PageDrawing::BandOf(*line);
    w.band.baseline = w.baseline - w.top;
    w.hidden = (line->flags & LineRecord::kHidden) != 0;
    // A line a scrolled table's view cuts at its top or foot shows none of its text, only its
    // ground: the view before or after it shows it whole.
    lineCut_ = tableClip_ && TableScroll::LineCutByView(*tableClip_, line->y + drawShift_.y,
                                                        line->height, lineCutClip_);
    w.hidden = w.hidden || lineCut_;
    DrawLineFrame(*line, w.lineBackground, background);

    // Pass 0 fills backgrounds; pass 1 starts again from the same style and annotation state.
    // Pass 1 places the inline boxes as pass 0 does, so a line with nothing to fill is walked
    // once.
    if (!Fills(slot, w)) {
        WalkLine(slot, w, counts, 1);
        lineCut_ = false;
        return end;
    }
    int32_t passCounts[kItemKindCount];
    std::copy(counts, counts + kItemKindCount, passCounts);
    PositionRecord style = drawStyle_;
    AnnotationCursor walk = slot.walk;
    WalkLine(slot, w, passCounts, 0);
    drawStyle_ = style;
    slot.walk = walk;
    WalkLine(slot, w, counts, 1);
    lineCut_ = false;
    return end;
}

void PagePainter::ScanLine(const BlockContents& c, LineWalk& w, const int32_t* counts) const {
    int32_t marks = counts[kItemFlowMark];
    int32_t styles = counts[kItemStyleChange];
    int32_t gaps = 0;
    bool afterSpace = true;  // a space that opens the line is no gap
    w.lastWord = w.index;
    w.gaps = 0;
    const int32_t count = c.Count();
    int32_t j = w.index + 1;
    for (bool ends = false; j < count; ++j) {
        switch (c.ItemAt(j)->kind) {
            case kItemLine:
            case kItemTable:
            case kItemRow:
            case kItemCell:
                ends = true;
                break;
            case kItemTextRun:
            case kItemInlineBox:
                // The spaces counted so far are followed by a word.
                afterSpace = false;
                w.lastWord = j;
                w.gaps = gaps;
                break;
            case kItemFlowMark: {
                const FlowMark* m = c.Mark(marks++);
                if (m && m->type == kMarkTableEnd) {
                    ends = true;
                    break;
                }
                bool space = m && m->type == kMarkSpace;
                if (space && m->width > 0 && !afterSpace) ++gaps;
                afterSpace = space;
                break;
            }
            case kItemStyleChange: {
                const PositionRecord* style = c.Style(styles++);
                if (style && Shows(ShownBackground(*style, w.lineBackground), w.pageBackground))
                    w.stylesFill = true;
                break;
            }
            default:
                break;
        }
        if (ends) break;
    }
    w.end = j;
}

bool PagePainter::Fills(const PageSlot& slot, const LineWalk& w) const {
    // A highlight or a note's mark may tint any run.
    return slot.walking || Shows(w.lineBackground, w.pageBackground) || w.stylesFill;
}

void PagePainter::WalkLine(PageSlot& slot, LineWalk& w, int32_t* counts, int pass) {
    BlockContents& c = slot.contents;
    const LineRecord* line = w.line;
    int32_t x = w.startX;
    int32_t carry = 0;
    // As the layout measured the line: a space that opens it, or follows another, takes no room.
    bool previousWasSpace = true;
    // Pass 0: the run of one background colour that is open, from fillFrom.
    int32_t fillFrom = line->x + drawShift_.x;
    uint32_t fillColour = w.lineBackground;
    // The style the text shows: drawStyle_, or it tinted by the open annotations.
    PositionRecord tinted;
    const PositionRecord* shown = &drawStyle_;
    auto fillTo = [&](int32_t to) {
        if (to > fillFrom && !Color::IsNone(fillColour) &&
            !Color::SameRgb(fillColour, w.pageBackground))
            canvas_->FillRect(Rect{fillFrom, w.top, to - fillFrom, w.inner}, fillColour);
        fillFrom = to;
    };
    // The look of the text from here: the style under the open annotations.
    auto restyle = [&](uint32_t position) {
        if (slot.walking) slot.walk.Advance(position, false);
        if (slot.walking && slot.walk.AnyOpen()) {
            // A tint mixes with the background the run shows, its own or the line's.
            PositionRecord base = drawStyle_;
            base.background = ShownBackground(drawStyle_, w.lineBackground);
            slot.walk.StyleRun(base, w.lineBackground, DefaultTextColour(), tinted);
            shown = &tinted;
        } else
            shown = &drawStyle_;
        uint32_t bg = ShownBackground(*shown, w.lineBackground);
        if (pass == 0 && bg != fillColour) {
            fillTo(x);
            fillColour = bg;
        }
    };
    int32_t lift = 0;  // the last run's shift off the baseline; a hyphen after it shares it
    for (int32_t j = w.index + 1; j < w.end; ++j) {
        const BlockItem* item = c.ItemAt(j);
        uint32_t kind = item->kind;
        int32_t k = counts[kind]++;
        switch (kind) {
            case kItemTextRun: {
                TextRun* run = c.Run(k);
                if (!run) break;
                restyle(item->Position());
                if (pass == 1) {
                    if (slot.walking && slot.walk.MarkOpen() && slot.walk.TakePending()) {
                        uint32_t style = slot.walk.MarkStyle();
                        Rect r;
                        if (MarkerRect(style, Point{x, w.top}, *line, false, r)) {
                            MarkBox next;
                            next.rect = r;
                            next.lineKey = static_cast<uint32_t>(line->y);
                            next.style = style & 0x2F;
                            // Bars beside the column merge down the page; what cannot merge
                            // (a square, or the bar that was open) is drawn now.
                            if (!MarkBox::Collect(slot.openMark, next)) DrawMarkBox(next);
                        }
                    }
                    if (!w.hidden) {
                        String scratch;
                        lift = LayoutFonts::BaselineShift(shown->style, run->height);
                        const String& text = ShownText(run->text, scratch);
                        DrawRun(text, *shown, Point{x, w.baseline + lift}, run->width);
                        if (&text == &scratch) FlushText();  // it does not outlive the run
                    }
                    run->x = x;
                    run->y = w.baseline;
                }
                x += run->width;
                previousWasSpace = false;
                break;
            }
            case kItemFlowMark: {
                const FlowMark* m = c.Mark(k);
                if (!m) break;
                if (m->type == kMarkHyphen) {
                    static const String kHyphen(u"-", 1);
                    if (pass == 1 && !w.hidden && TextShows(x, m->width))
                        QueueText(kHyphen, Point{x, w.baseline + lift}, TextColour(*shown));
                    x += m->width;
                } else if (m->type == kMarkSpace) {
                    // A highlight ends with its last word, not after the space that follows.
                    if (item->HasPosition()) restyle(item->Position());
                    int32_t width = m->width;
                    bool follows = j < w.lastWord;
                    // Only a gap between words takes a share: not a trailing space, nor the
                    // second of two spaces in a row.
                    if (w.justify && m->width > 0 && !previousWasSpace && follows)
                        width += PageDrawing::NextJustifyShare(line->freeWidth, w.gaps, carry);
                    if (previousWasSpace) break;
                    if (pass == 1 && (shown->style & kStyleUnderline) && !w.hidden && follows) {
                        FlushText();
                        canvas_->DrawUnderline(Point{x, w.baseline}, width, TextColour(*shown));
                    }
                    x += width;
                    previousWasSpace = true;
                }
                break;
            }
            case kItemStyleChange:
                if (const PositionRecord* style = c.Style(k)) {
                    drawStyle_ = *style;
                    shown = &drawStyle_;
                    if (pass == 1) SetRunFont(*shown);
                }
                break;
            case kItemInlineBox: {
                InlineBox* box = c.Object(k);
                NoteObjectClip(k, box);
                // As the layout placed the line: a box given no room takes none.
                if (!box || !box->object || (box->rect.width == 0 && box->rect.height == 0)) break;
                // Every box moves along with the line's text (its alignment offset), and takes
                // its room, or the text after it would be drawn over it. A box whose vertical
                // place the layout settled keeps it; any other is placed by the same rule.
                box->rect.x = x + box->hspace;
                x += box->rect.width + 2 * box->hspace;
                previousWasSpace = false;
                if (box->flags & InlineBox::kAlignmentGiven) {
                    // Where the layout put it, moved as a scrolled table moves its text.
                    box->rect.y += drawShift_.y - box->shownShift;
                    box->shownShift = drawShift_.y;
                    break;
                }
                box->rect.y = w.top + PageDrawing::ObjectOffset(box->alignment, box->rect.height,
                                                                box->vspace, box->descent, w.band);
                break;
            }
            default:
                break;
        }
    }
    FlushText();
    if (pass == 0) {
        // What the text covers ends with it; the line's own background goes on to its end.
        fillTo(x);
        fillColour = w.lineBackground;
        fillTo(line->x + drawShift_.x + line->available);
    }
}

bool PagePainter::MarkerRect(uint32_t style, Point at, const LineRecord& line, bool narrow,
                             Rect& out) const {
    out = Rect{};
    int32_t unit = UiMetrics::Get(layout_.Paths(), 9);
    if (style & 0x20) {
        Rect column;
        int32_t k = layout_.FindColumn(Rect{at.x, at.y, 1, 1}, column);
        if (k < 0) return false;
        int32_t gap =
            k == 0 ? layout_.SideMarginGap() : layout_.ColumnGap();
        int32_t width = std::min(narrow ? unit : 3 * unit, gap);
        if (width <= 0) return false;
        out = Rect{column.x - (width + gap + 1) / 2, line.y + drawShift_.y + line.extraAbove, width,
                   line.height - line.extraAbove - line.extraBelow};
        return true;
    }
    int32_t side = UiMetrics::Get(layout_.Paths(), 10);
    out = Rect{at.x, at.y, side, side};
    return side > 0;
}

void PagePainter::DrawMarkBox(const MarkBox& box) {
    if (box.lineKey == 0xFFFFFFFFu || box.rect.width <= 0 || box.rect.height <= 0) return;
    FlushText();
    uint32_t colour = MarkBox::Colour(box.style & 0x0F);
    const Rect& r = box.rect;
    int32_t x1 = r.x + r.width - 1, y1 = r.y + r.height - 1;
    if (MarkBox::IsZigZag(box)) {
        // A zig-zag down the bar, one stroke per width.
        int32_t step = std::max(1, r.width);
        bool right = false;
        for (int32_t y = r.y; y < y1; y += step) {
            int32_t ny = std::min(y1, y + step);
            canvas_->DrawLine(Point{right ? x1 : r.x, y}, Point{right ? r.x : x1, ny}, colour);
            right = !right;
        }
        return;
    }
    canvas_->DrawLine(Point{r.x, r.y}, Point{x1, r.y}, colour);
    canvas_->DrawLine(Point{x1, r.y}, Point{x1, y1}, colour);
    canvas_->DrawLine(Point{x1, y1}, Point{r.x, y1}, colour);
    canvas_->DrawLine(Point{r.x, y1}, Point{r.x, r.y}, colour);
}

bool PagePainter::DrawObjects(PageSlot& slot, int32_t pass, uint32_t background) {
    BlockContents& c = slot.contents;
    int32_t count = c.KindCount(kItemInlineBox);
    int32_t from = pass == 1 && slot.lateObject >= 0 ? slot.lateObject : 0;
    if (pass == 1 && slot.lateObject < 0) return true;
    bool ok = true;
    if (pass == 0) slot.lateObject = -1;
    // A picture that cannot be drawn whole (damaged data) does not keep the later ones from
    // their room: every object is drawn, and the failure is told after them.
    for (int32_t k = from; k < count; ++k) {
        InlineBox* box = c.Object(k);
        if (!box || !box->object) continue;
        Rect r = box->rect;
        if ((r.width <= 0 || r.height <= 0) && !(box->flags & InlineBox::kScalable)) {
            // A LOGAS element's items have no size: they are logged when their page is drawn.
            if (pass == 0)
                if (auto* log = dynamic_cast<LogItemObject*>(box->object.Get()))
                    log->Draw(nullptr, r, nullptr);
            continue;
        }
        box->object->SetRect(r, background);
        bool late = box->object->DrawsLate() != 0;
        if (late && pass == 0) {
            if (slot.lateObject < 0) slot.lateObject = k;
            continue;
        }
        if (!late && pass == 1) continue;
        const Rect* clip = nullptr;
        if (static_cast<size_t>(k) < objectClips_.size() && !objectClips_[k].IsEmpty())
            clip = &objectClips_[k];
        if (clip && box->object->IsControl()) ShowControlIn(slot, *box->object.Get(), r, *clip);
        ok = canvas_->DrawObject(box->object.Get(), r, clip) && ok;
    }
    return ok;
}

inline void PagePainter::QueueText(const String& text, Point baseline, uint32_t colour) {
    if (!queuedText_.empty() && colour != queuedColour_) FlushText();
    queuedColour_ = colour;
    queuedText_.push_back(CanvasText{text.Data(), text.Length(), baseline});
}

void PagePainter::DrawRun(const String& text, const PositionRecord& style, Point baseline,
                          int32_t width) {
    const uint32_t colour = TextColour(style);
    if (TextShows(baseline.x, width)) {
        SetRunFont(style);
        QueueText(text, baseline, colour);
        return;
    }
    FlushText();
    // Cut at a side of a scrolled table's view: the letters that show whole, measured as the
    // layout measured the run.
    const int32_t left = tableClip_->x, right = tableClip_->x + tableClip_->width;
    LayoutFonts& fonts = layout_.Fonts();
    const bool measuring = fonts.Begin();
    fonts.Select(style.size, style.style, style.face);
    int32_t from = -1, to = 0, at = 0, edge = baseline.x;
    for (int32_t k = 0; k < text.Length() && edge < right; ++k) {
        Size prefix{};
        fonts.Measure(text.Data(), k + 1, prefix);
        const int32_t next = baseline.x + prefix.width;
        if (edge >= left && next <= right) {
            if (from < 0) from = k, at = edge;
            to = k + 1;
        }
        edge = next;
    }
    if (measuring) fonts.End();
    if (from < 0) return;
    shownFontSize_ = -1;  // measuring may have changed the font
    SetRunFont(style);
    canvas_->DrawText(String(text.Data() + from, to - from), Point{at, baseline.y}, colour);
}

void PagePainter::FlushText() {
    if (queuedText_.empty()) return;
    canvas_->DrawTexts(queuedText_.data(), static_cast<int32_t>(queuedText_.size()), queuedColour_);
    queuedText_.clear();
}

bool PagePainter::TextShows(int32_t x, int32_t width) const {
    return !tableClip_ || TableViews::WordShows(x, x + width, tableClip_->x, tableClip_->width);
}

void PagePainter::ShowControlIn(PageSlot& slot, InlineObject& control, const Rect& r,
                                const Rect& clip) {
    // A control draws itself over the page: its own drawing and its taps are cut to the view.
    Rect inside;
    const bool meets = Rect::Intersect(r, clip, inside) && !inside.IsEmpty();
    const bool whole = meets && inside.width == r.width && inside.height == r.height;
    const bool shows = whole || (meets && control.ShowPart(&inside));
    if (whole || !shows) control.ShowPart(nullptr);
    if (Node* node = control.GetNode()) node->Show(shows && slot.state == kPageShown);
}

void PagePainter::DrawBookmarkCorner(PageSlot& slot) {
    AnnotationFile* annotations = layout_.Annotations();
    if (!annotations || !slot.record) return;
    uint32_t first = slot.record->start, last = slot.record->end;
    uint32_t a = 0, b = 0;
    if (slot.contents.GetRange(a, b)) {
        first = std::min(first, a);
        if (last == kNone) last = b;
    }
    if (last == kNone) return;
    BookmarkIterator it;
    annotations->StartIterator(&it, 0, first, last);
    for (int32_t i = annotations->FindNext(&it); i >= 0; i = annotations->FindNext(&it)) {
        if (annotations->GetBookmarkKind(i) & 1) {
            slot.cornerBookmark = i;
            break;
        }
    }
    if (slot.cornerBookmark < 0) return;
    Rect r = layout_.CornerRect();
    // The triangle above the diagonal, then its outline.
    for (int32_t k = 1; k <= r.width; ++k)
        canvas_->DrawLine(Point{r.x + r.width, r.y + r.height - k},
                          Point{r.x + r.width - k, r.y + r.height - k}, kCornerFill);
    canvas_->DrawLine(Point{r.x, r.y + r.height}, Point{r.x, r.y}, kCornerOutline);
    canvas_->DrawLine(Point{r.x, r.y + r.height}, Point{r.x + r.width, r.y + r.height},
                      kCornerOutline);
    canvas_->DrawLine(Point{r.x, r.y}, Point{r.x + r.width, r.y + r.height}, kCornerOutline);
}
