// The list pop-up's rows with a link each: a sorted record set that keeps one link target
// reference per row, moves them with the rows and releases them with the set.
#pragma once

#include <vector>

#include "core/ref_counted.h"
#include "database/sorted_record_set.h"
#include "document/markup/link_target.h"

class LinkedRecordSet : public SortedRecordSet {
public:
    LinkedRecordSet() = default;

    // Appends the row and takes a reference to its link (null for none).
    bool AddRow(const Row& row, LinkTarget* link);
    bool AddRow(const Row& row) { return AddRow(row, nullptr); }
    // The row's link with a new reference for the caller; null for a row without one or a
    // position that is no row.
    LinkTarget* GetLinkTarget(const RecordPosition& pos) override;

protected:
    ~LinkedRecordSet() override = default;
    void RowsReordered(const std::vector<size_t>& order) override;

private:
    // May be shorter than the rows (rows added through the base class have no link).
    std::vector<RefPtr<LinkTarget>> links_;
};
