#include "database/sorted_record_set.h"

#include <algorithm>
#include <new>
#include <numeric>

bool SortedRecordSet::AddRow(const Row& row) {
    try {
        rows_.push_back(row);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void SortedRecordSet::SortByFirstText() {
    std::vector<size_t> order(rows_.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return rows_[a].first < rows_[b].first; });
    std::vector<Row> sorted;
    sorted.reserve(rows_.size());
    for (size_t i : order) sorted.push_back(rows_[i]);
    rows_.swap(sorted);
    RowsReordered(order);
}

bool SortedRecordSet::GetDisplayText(const RecordPosition& pos, String& out) {
    if (!ValidRow(pos)) return false;
    out.Assign(rows_[pos.value].first);
    return true;
}

bool SortedRecordSet::GetText(const RecordPosition& pos, String& out) {
    return GetDisplayText(pos, out);
}

bool SortedRecordSet::GetShortId(const RecordPosition& pos, String& out) {
    if (!ValidRow(pos)) return false;
    out.Assign(rows_[pos.value].second);
    return !out.IsEmpty();
}

uint32_t SortedRecordSet::GetIcon(const RecordPosition& pos) {
    if (!ValidRow(pos)) return 0;
    const Row& r = rows_[pos.value];
    return static_cast<uint32_t>(r.secondNumber) << 16 | r.firstNumber;
}
