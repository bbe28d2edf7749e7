#include "document/markup/linked_record_set.h"

#include <new>

bool LinkedRecordSet::AddRow(const Row& row, LinkTarget* link) {
    size_t index = static_cast<size_t>(RowCount());
    try {
        links_.resize(index + 1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!SortedRecordSet::AddRow(row)) {
        links_.resize(index);
        return false;
    }
    links_[index] = RefPtr<LinkTarget>(link);
    return true;
}

LinkTarget* LinkedRecordSet::GetLinkTarget(const RecordPosition& pos) {
    if (!pos.IsRow() || pos.value >= links_.size() || pos.value >= Count()) return nullptr;
    LinkTarget* link = links_[pos.value].Get();
    if (link) link->AddRef();
    return link;
}

void LinkedRecordSet::RowsReordered(const std::vector<size_t>& order) {
    std::vector<RefPtr<LinkTarget>> moved;
    try {
        moved.resize(order.size());
    } catch (const std::bad_alloc&) {
        // Links cannot follow the rows: dropping them beats leaving them on the wrong rows.
        links_.clear();
        return;
    }
    for (size_t i = 0; i < order.size(); ++i)
        if (order[i] < links_.size()) moved[i] = std::move(links_[order[i]]);
    links_.swap(moved);
}
