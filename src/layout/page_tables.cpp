// The page's scrollable tables, as the document controller moves and selects them.
#include "layout/page_layout.h"
#include "layout/table_scroll.h"

#include <algorithm>
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

// The tops and bottoms of a table's lines that show something (a blank line, such as an empty
// paragraph's, is no reason for a turn), relative to the table's box.
struct TableLines {
    uint32_t position = 0;
    const TableRecord* table = nullptr;
    std::vector<std::pair<int32_t, int32_t>> lines;
};

void CollectTableLines(BlockContents& c, std::vector<TableLines>& out) {
    int32_t counts[kItemKindCount] = {};
    int32_t depth = 0;
    // The last line met in a table, kept once a run or an object shows on it.
    std::pair<int32_t, int32_t> line{};
    bool pending = false;
    auto keep = [&] {
        if (pending) out.back().lines.push_back(line);
        pending = false;
    };
    for (int32_t i = 0; i < c.Count(); ++i) {
        uint32_t kind = c.ItemAt(i)->kind;
        int32_t k = counts[kind]++;
        if (kind == kItemTable) {
            if (depth++ == 0) {
                out.emplace_back();
                out.back().position = c.ItemAt(i)->Position();
                out.back().table = c.Table(k);
            }
        } else if (kind == kItemFlowMark) {
            const FlowMark* m = c.Mark(k);
            if (m && m->type == kMarkTableEnd && depth > 0 && --depth == 0) pending = false;
        } else if (kind == kItemLine && depth > 0 && out.back().table) {
            pending = false;
            const LineRecord* l = c.Line(k);
            if (!l || l->height <= 0) continue;
            int32_t top = l->y - out.back().table->box.y;
            line = {top, top + l->height};
            pending = true;
        } else if ((kind == kItemTextRun || kind == kItemInlineBox) && depth > 0) {
            keep();
        }
    }
}

// The offset that brings the first line not wholly shown below the view to its top. The last
// turn too moves by whole lines: it brings the last lines to the top with room left below them
// rather than stop where the content's foot meets the view's and show most of the view again.
bool OffsetForward(const TableLines& t, int32_t y, int32_t view, int32_t& to) {
    bool found = false;
    int32_t next = 0;
    for (const auto& [top, bottom] : t.lines) {
        if (bottom <= y + view || top <= y) continue;
        if (!found || top < next) next = top;
        found = true;
    }
    if (!found) return false;
    // A line taller than the view still leaves its lower part to the next turn.
    to = std::min(next, y + view);
    return to > y;
}

// Back so that the view ends at the first line wholly shown now, starting at a line top: the
// line cut at the top now is shown whole, and a line cut at the new top comes with the next
// turn back.
int32_t OffsetBack(const TableLines& t, int32_t y, int32_t view) {
    int32_t shown = y + view;
    for (const auto& line : t.lines)
        if (line.first >= y) shown = std::min(shown, line.first);
    int32_t least = std::max(0, shown - view);
    int32_t to = y;
    for (const auto& line : t.lines)
        if (line.first < y && line.first >= least) to = std::min(to, line.first);
    if (to == y) to = std::max(0, y - view);
    // With no line above, the view goes back to the table's top.
    for (const auto& line : t.lines)
        if (line.first < to) return to;
    return 0;
}

// The offsets paging forward shows from the table's top, in order.
std::vector<int32_t> ForwardOffsets(const TableLines& t, int32_t view) {
    std::vector<int32_t> offsets{0};
    int32_t to = 0;
    while (offsets.size() < 100000 && OffsetForward(t, offsets.back(), view, to))
        offsets.push_back(to);
    return offsets;
}

}  // namespace

bool PageLayout::PageThroughTables(int32_t direction) {
    PageSlot* slot = CurrentPageSlot();
    std::vector<TableScrollEntry>* entries = CurrentTables(slot);
    if (!entries || entries->empty() || direction == 0) return false;
    std::vector<TableLines> tables;
    CollectTableLines(slot->contents, tables);
    auto step = [&](const TableLines& t) {
        TableScrollEntry* e = TableScroll::FindEntry(*entries, t.position);
        if (!e || !t.table || t.table->box.height <= 0) return false;
        int32_t view = t.table->box.height;
        int32_t to = e->y;
        if (direction > 0) {
            if (e->largestY <= 0 || !OffsetForward(t, e->y, view, to)) return false;
        } else {
            if (e->y <= 0) return false;
            // Back over the views forward showed: the last of them above the one shown.
            to = OffsetBack(t, e->y, view);
            if (e->largestY >= 0) {
                for (int32_t o : ForwardOffsets(t, view))
                    if (o < e->y) to = o;
            }
            if (to >= e->y) return false;
        }
        e->y = to;
        e->savedY = to;
        return true;
    };
    if (direction > 0) {
        for (const TableLines& t : tables)
            if (step(t)) return true;
    } else {
        for (auto it = tables.rbegin(); it != tables.rend(); ++it)
            if (step(*it)) return true;
    }
    return false;
}

void PageLayout::ShowTallTables(bool atEnd) {
    int32_t s = -1;
    if (pager_.Current() == kNone || !pager_.LayoutPageAt(pager_.Current(), false, &s) || s < 0)
        return;
    PageSlot& slot = pager_.Slot(s);
    if (!slot.record) return;
    BlockContents& c = slot.contents;
    if (c.KindCount(kItemTable) == 0) return;  // most pages: nothing to walk for
    int32_t k = 0, depth = 0, marks = 0;
    for (int32_t i = 0; i < c.Count(); ++i) {
        const uint32_t kind = c.ItemAt(i)->kind;
        if (kind == kItemFlowMark) {
            const FlowMark* m = c.Mark(marks++);
            if (m && m->type == kMarkTableEnd && depth > 0) --depth;
            continue;
        }
        if (kind != kItemTable) continue;
        const TableRecord* t = c.Table(k++);
        if (depth++ > 0 || !t || t->content.height <= t->box.height) continue;
        const uint32_t position = c.ItemAt(i)->Position();
        TableScrollEntry* e = TableScroll::FindEntry(slot.record->tables, position);
        if (!e) {
            if (!atEnd) continue;
            slot.record->tables.push_back(TableScrollEntry{position, 0, 0});
            e = &slot.record->tables.back();
        }
        // At the end: the last view paging forward through it shows.
        int32_t to = 0;
        if (atEnd) {
            std::vector<TableLines> lines;
            CollectTableLines(c, lines);
            for (const TableLines& l : lines)
                if (l.position == position) to = ForwardOffsets(l, t->box.height).back();
        }
        e->y = to;
        e->savedY = to;
    }
}
