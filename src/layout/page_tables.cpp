// The page's scrollable tables, as the document controller moves and selects them.
#include "layout/page_layout.h"
#include "layout/table_scroll.h"

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
        if (!t || !Rect::Contains(t->box, p)) continue;
        TableScrollEntry* e = TableScroll::FindEntry(*tables, c.ItemAt(i)->Position());
        // Only a drawn scrollable table has an entry; a table that fits has nothing to scroll.
        if (!e) continue;
        id = e->position;
        found = true;
        return e->selected != 0;
    }
    return false;
}
