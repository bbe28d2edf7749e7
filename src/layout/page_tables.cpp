// The page's scrollable tables, as the document controller moves and selects them.
#include "layout/page_drawing.h"
#include "layout/page_layout.h"
#include "layout/table_scroll.h"
#include "layout/table_views.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

namespace {

std::vector<TableScrollEntry>* CurrentTables(PageSlot* slot) {
    return slot && slot->record ? &slot->record->tables : nullptr;
}

}  // namespace

void PageLayout::ResetTableCells() {
    if (std::vector<TableScrollEntry>* tables = CurrentTables(CurrentPageSlot()))
        TableScroll::ResetTableCells(*tables);
}

bool PageLayout::ScrollTables(Point step, uint32_t which) {
    std::vector<TableScrollEntry>* tables = CurrentTables(CurrentPageSlot());
    return tables && TableScroll::ScrollTables(*tables, step, which);
}

bool PageLayout::SelectTable(uint32_t id) {
    std::vector<TableScrollEntry>* tables = CurrentTables(CurrentPageSlot());
    if (!tables) return false;
    std::vector<uint32_t> changed;
    TableScroll::SelectTable(*tables, id, changed);
    return !changed.empty();
}

bool PageLayout::TableAt(Point p, uint32_t& id, bool& found) {
    id = 0;
    found = false;
    PageSlot* slot = CurrentPageSlot();
    std::vector<TableScrollEntry>* tables = CurrentTables(slot);
    if (!tables) return false;
    BlockContents& c = slot->contents;
    int32_t k = 0;
    for (int32_t i = 0; i < c.Count(); ++i) {
        if (c.ItemAt(i)->kind != kItemTable) continue;
        const TableRecord* t = c.Table(k++);
        Rect view, left, right;
        if (!t || !TableScrollRects(t->box, view, left, right) || !Rect::Contains(view, p))
            continue;
        TableScrollEntry* e = TableScroll::FindEntry(*tables, c.ItemAt(i)->Position());
        // Only a drawn scrollable table has an entry; a table that fits has nothing to scroll.
        if (!e) continue;
        id = e->position;
        found = true;
        return e->selected != 0;
    }
    return false;
}

namespace {

// A scrollable table of the page as its views are worked out: its lines and their words in the
// table's content coordinates, and what its views look through.
struct TableLines {
    uint32_t position = 0;
    const TableRecord* table = nullptr;
    std::vector<TableViews::Line> lines;
    TableViews::Frame frame;
};

// The word of a table that holds a text position (the last run starting at or before it, when
// that run is a table's): which table, the word, and its line.
struct WordAt {
    uint32_t position = 0xFFFFFFFFu;
    size_t table = 0;
    bool found = false;
    TableViews::Word word;
    int32_t top = 0;
};

// Where the drawing puts the words of a line, whatever was drawn last: from the line's x moved
// by its alignment (the reader's default when it names none), each gap between words of a
// justified line widened by its share of the free width. The views are worked out on the words
// as they show, so that a justified word reaching the cell's side is not cut by a view that its
// unjustified place fitted in.
class LinePen {
public:
    LinePen(const PageLayout& layout, const BlockContents& c, int32_t index, const LineRecord& line,
            int32_t marks) {
        const uint32_t mode = PageDrawing::LineAlignment(
            line.alignment, layout.Settings().defaultAlignment,
            (line.flags & LineRecord::kContinues) != 0, (line.flags & LineRecord::kFramed) != 0);
        justify_ = mode == PageDrawing::kAlignJustify || mode == PageDrawing::kAlignPoetry;
        free_ = line.freeWidth;
        x_ = line.x + PageDrawing::AlignmentOffset(mode, line.freeWidth);
        if (justify_) CountGaps(c, index, marks);
    }
    // A word, or an object with its spacing, `width` wide: where it starts.
    int32_t Word(int32_t width) {
        const int32_t at = x_;
        x_ += width;
        afterSpace_ = false;
        return at;
    }
    void Hyphen(int32_t width) { x_ += width; }
    // A space at item j: a gap between words of a justified line takes its share.
    void Space(const FlowMark& m, int32_t j) {
        if (afterSpace_) return;
        int32_t width = m.width;
        if (justify_ && m.width > 0 && j < lastWord_)
            width += PageDrawing::NextJustifyShare(free_, gaps_, carry_);
        x_ += width;
        afterSpace_ = true;
    }

private:
    // The gaps between words the free width is shared over, and the last word: a space that
    // opens the line or follows another is no gap, nor one after the last word.
    void CountGaps(const BlockContents& c, int32_t index, int32_t marks) {
        int32_t gaps = 0;
        bool afterSpace = true;
        lastWord_ = index;
        for (int32_t j = index + 1; j < c.Count(); ++j) {
            const uint32_t kind = c.ItemAt(j)->kind;
            if (kind == kItemLine || kind == kItemTable || kind == kItemRow || kind == kItemCell)
                break;
            if (kind == kItemTextRun || kind == kItemInlineBox) {
                afterSpace = false;
                lastWord_ = j;
                gaps_ = gaps;
            } else if (kind == kItemFlowMark) {
                const FlowMark* m = c.Mark(marks++);
                if (m && m->type == kMarkTableEnd) break;
                const bool space = m && m->type == kMarkSpace;
                if (space && m->width > 0 && !afterSpace) ++gaps;
                afterSpace = space;
            }
        }
    }
    bool justify_ = false;
    int32_t free_ = 0;
    int32_t x_ = 0;
    int32_t gaps_ = 0;
    int32_t carry_ = 0;
    int32_t lastWord_ = 0;
    bool afterSpace_ = true;
};

// The page's scrollable tables (outermost ones), their lines and words.
void CollectTableLines(PageLayout& layout, PageSlot& slot, std::vector<TableLines>& out,
                       WordAt* at = nullptr) {
    BlockContents& c = slot.contents;
    int32_t counts[kItemKindCount] = {};
    int32_t depth = 0;
    std::vector<int32_t> cells;  // the left edge of the open cell at each depth
    std::optional<LinePen> pen;  // the line the words met belong to
    bool lineOpen = false;       // that line shows: its words are taken
    TableLines* table = nullptr;
    for (int32_t i = 0; i < c.Count(); ++i) {
        uint32_t kind = c.ItemAt(i)->kind;
        int32_t k = counts[kind]++;
        // Text past the position found ends the search; text before it outside the tables
        // (or in no line shown) holds it rather than a table.
        if (at && kind == kItemTextRun && c.ItemAt(i)->HasPosition() &&
            c.ItemAt(i)->Position() <= at->position)
            at->found = false;
        if (kind == kItemTable) {
            cells.push_back(0);
            pen.reset();
            if (depth++ > 0) continue;
            table = &out.emplace_back();
            lineOpen = false;
            table->position = c.ItemAt(i)->Position();
            table->table = c.Table(k);
            if (!table->table) continue;
            Rect view, left, right;
            layout.TableScrollRects(table->table->box, view, left, right);
            const Size content = table->table->content;
            table->frame =
                TableViews::Frame{view.width, table->table->box.height, content.width - view.width,
                                  content.height - table->table->box.height};
        } else if (kind == kItemFlowMark) {
            const FlowMark* m = c.Mark(k);
            if (m && m->type == kMarkTableEnd && depth > 0) {
                --depth;
                cells.pop_back();
                pen.reset();
            } else if (m && pen && m->type == kMarkSpace) {
                pen->Space(*m, i);
            } else if (m && pen && m->type == kMarkHyphen) {
                pen->Hyphen(m->width);
            }
        } else if (depth > 0 && table && table->table) {
            const Rect& box = table->table->box;
            if (kind == kItemCell || kind == kItemRow) {
                pen.reset();
                const CellRecord* cell = kind == kItemCell ? c.Cell(k) : nullptr;
                if (cell) cells.back() = cell->rect.x - box.x;
            } else if (kind == kItemLine) {
                const LineRecord* line = c.Line(k);
                pen.reset();
                lineOpen = line && line->height > 0;
                if (!line) continue;
                pen.emplace(layout, c, i, *line, counts[kItemFlowMark]);
                if (!lineOpen) continue;
                const int32_t top = line->y - box.y;
                table->lines.push_back(TableViews::Line{top, top + line->height, {}, {}});
            } else if (kind == kItemTextRun && pen) {
                const TextRun* run = c.Run(k);
                if (!run) continue;
                const int32_t left = pen->Word(run->width) - box.x;
                if (!lineOpen || run->width <= 0) continue;
                table->lines.back().words.push_back(
                    TableViews::Word{left, left + run->width, cells});
                if (at && c.ItemAt(i)->HasPosition() && c.ItemAt(i)->Position() <= at->position) {
                    at->found = true;
                    at->table = out.size() - 1;
                    at->word = table->lines.back().words.back();
                    at->top = table->lines.back().top;
                }
            } else if (kind == kItemInlineBox && pen) {
                const InlineBox* b = c.Object(k);
                // A box given no room takes none.
                if (!b || !b->object || (b->rect.width == 0 && b->rect.height == 0)) continue;
                const int32_t left = pen->Word(b->rect.width + 2 * b->hspace) + b->hspace - box.x;
                if (!lineOpen || b->rect.width <= 0) continue;
                table->lines.back().objects.push_back(
                    TableViews::Word{left, left + b->rect.width, cells});
            }
        }
    }
}

// A table PageDown pages through: one larger than its box, whose offsets its drawing keeps.
bool HasViews(const TableLines& t) {
    return t.table && t.table->box.height > 0 && TableScroll::IsScrollable(*t.table);
}

// The steps PageDown has taken through a table's views to reach the offset: the views before
// it or at it, less the first (an offset between two views, scrolled by hand, counts as the one
// before it).
uint32_t StepsTaken(const std::vector<Point>& views, Point at) {
    uint32_t n = 0;
    for (Point v : views) n += v.x < at.x || (v.x == at.x && v.y <= at.y);
    return n > 0 ? n - 1 : 0;
}

// The views of a laid-out page's scrollable tables, worked out at the first need after its
// layout (the page's drawing asks for a table's first view, PageDown for the next one).
const std::vector<PageSlot::TableViewList>& ViewsOf(PageLayout& layout, PageSlot& slot) {
    if (slot.tableViewsKnown) return slot.tableViews;
    slot.tableViews.clear();
    slot.tableViewsKnown = true;
    if (slot.contents.KindCount(kItemTable) == 0) return slot.tableViews;  // most pages
    std::vector<TableLines> tables;
    CollectTableLines(layout, slot, tables);
    for (const TableLines& t : tables)
        if (HasViews(t))
            slot.tableViews.push_back({t.position, TableViews::ViewSequence(t.lines, t.frame)});
    return slot.tableViews;
}

}  // namespace

const std::vector<PageSlot::TableViewList>& PageLayout::TableViewsOf(PageSlot& slot) {
    return ViewsOf(*this, slot);
}

Point TableScroll::FirstView(PageLayout& layout, PageSlot& slot, uint32_t position) {
    for (const PageSlot::TableViewList& t : ViewsOf(layout, slot))
        if (t.position == position && !t.views.empty()) return t.views.front();
    return Point{0, 0};
}

uint32_t PageLayout::PageSteps(PageSlot& slot) {
    uint32_t steps = 1;
    for (const PageSlot::TableViewList& t : TableViewsOf(slot))
        steps += static_cast<uint32_t>(t.views.size()) - 1;
    return steps;
}

uint32_t PageLayout::CurrentPageStep() {
    // Only a page whose tables were drawn or moved has offsets to count; it is laid out.
    const PageRecord* r = pager_.CurrentRecord();
    const int32_t s = r && !r->tables.empty() ? pager_.SlotOf(pager_.Current()) : -1;
    if (s < 0) return 0;
    PageSlot& slot = pager_.Slot(s);
    uint32_t taken = 0;
    for (const PageSlot::TableViewList& t : TableViewsOf(slot))
        if (const TableScrollEntry* e = TableScroll::FindEntry(slot.record->tables, t.position))
            taken += StepsTaken(t.views, Point{e->x, e->y});
    return taken;
}

uint32_t PageLayout::ShownPageNumber() {
    const uint32_t number = CurrentPageNumber();
    return number == kNone ? kNone : number + CurrentPageStep();
}

bool PageLayout::StepTableViews(int32_t direction, bool move) {
    // The slot as it is: its marks are built from the places the page was drawn at, and a
    // table moved now is drawn at its new places first.
    const int32_t s = pager_.Current() == kNone ? -1 : pager_.SlotOf(pager_.Current());
    PageSlot* slot = s < 0 ? nullptr : &pager_.Slot(s);
    std::vector<TableScrollEntry>* entries = CurrentTables(slot);
    if (!entries || entries->empty() || direction == 0) return false;
    std::vector<const PageSlot::TableViewList*> tables;
    for (const PageSlot::TableViewList& t : TableViewsOf(*slot)) tables.push_back(&t);
    // Forward the first table with a view left, back the last one.
    if (direction < 0) std::reverse(tables.begin(), tables.end());
    for (const PageSlot::TableViewList* t : tables) {
        TableScrollEntry* e = TableScroll::FindEntry(*entries, t->position);
        Point to;
        if (!e || !TableViews::StepView(t->views, Point{e->x, e->y}, direction, to)) continue;
        if (move) {
            e->x = e->savedX = to.x;
            e->y = e->savedY = to.y;
        }
        return true;
    }
    return false;
}

bool PageLayout::ShowTableViewHolding(uint32_t position) {
    const int32_t s = pager_.Current() == kNone ? -1 : pager_.SlotOf(pager_.Current());
    if (s < 0) return false;
    PageSlot& slot = pager_.Slot(s);
    if (!slot.record || slot.contents.KindCount(kItemTable) == 0) return false;
    std::vector<TableLines> tables;
    WordAt at;
    at.position = position;
    CollectTableLines(*this, slot, tables, &at);
    if (!at.found || !HasViews(tables[at.table])) return false;
    // The PageDowns from the page's top: the views of the tables before it, then those of
    // its own table up to the one that reads the word.
    uint32_t step = 0;
    for (const PageSlot::TableViewList& t : TableViewsOf(slot)) {
        if (t.position == tables[at.table].position) {
            size_t view = 0;
            if (!TableViews::ViewReading(tables[at.table].lines, tables[at.table].frame, t.views,
                                         at.word, at.top, view))
                return false;
            ShowTableViews(step + static_cast<uint32_t>(view));
            return view > 0 || step > 0;
        }
        step += static_cast<uint32_t>(t.views.size()) - 1;
    }
    return false;
}

bool PageLayout::PageThroughTables(int32_t direction) {
    return StepTableViews(direction, true);
}

bool PageLayout::CanPageThroughTables(int32_t direction) {
    return StepTableViews(direction, false);
}

void PageLayout::ShowTableViews(uint32_t step) {
    PageRecord* r = pager_.CurrentRecord();
    if (!r) return;
    for (TableScrollEntry& e : r->tables) e.x = e.savedX = e.y = e.savedY = 0;
    if (step == 0) return;  // their first views: nothing to lay out for
    int32_t s = -1;
    if (pager_.Current() == kNone || !pager_.LayoutPageAt(pager_.Current(), false, &s) || s < 0)
        return;
    PageSlot& slot = pager_.Slot(s);
    if (!slot.record) return;
    // Forward the first table goes through its views before the next one moves.
    for (const PageSlot::TableViewList& t : TableViewsOf(slot)) {
        const uint32_t taken = std::min<uint32_t>(step, static_cast<uint32_t>(t.views.size()) - 1);
        if (step != kNone) step -= taken;
        TableScrollEntry* e = TableScroll::FindEntry(slot.record->tables, t.position);
        if (!e) {
            slot.record->tables.push_back(TableScrollEntry{t.position, 0, 0});
            e = &slot.record->tables.back();
        }
        e->x = e->savedX = t.views[taken].x;
        e->y = e->savedY = t.views[taken].y;
    }
}
