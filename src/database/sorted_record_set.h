// Rows a list pop-up shows and restores: two texts, two 16-bit numbers and a link each, kept in
// the order added (a restore re-adds them in saved order and relies on the row numbers).
#pragma once

#include <cstdint>
#include <vector>

#include "database/record_set.h"

class SortedRecordSet : public OrdinalRecordSet {
public:
    struct Row {
        String first;
        String second;
        uint16_t firstNumber = 0;
        uint16_t secondNumber = 0;
    };

    SortedRecordSet() = default;

    // Appends a row; its link (if any) is kept by the subclass that knows link targets.
    bool AddRow(const Row& row);
    int32_t RowCount() const { return static_cast<int32_t>(rows_.size()); }
    const Row* RowAt(int32_t i) const {
        return i >= 0 && i < RowCount() ? &rows_[static_cast<size_t>(i)] : nullptr;
    }
    uint16_t GetFirstNumber(int32_t i) const { return RowAt(i) ? RowAt(i)->firstNumber : 0; }
    uint16_t GetSecondNumber(int32_t i) const { return RowAt(i) ? RowAt(i)->secondNumber : 0; }
    // A stable sort by the first text, for creators that want one.
    void SortByFirstText();

    uint32_t Count() override { return static_cast<uint32_t>(rows_.size()); }
    // The first text; the label is the second.
    bool GetDisplayText(const RecordPosition& pos, String& out) override;
    bool GetText(const RecordPosition& pos, String& out) override;
    bool GetShortId(const RecordPosition& pos, String& out) override;
    // second << 16 | first, the packing of the pop-up's saved state.
    uint32_t GetIcon(const RecordPosition& pos) override;

protected:
    ~SortedRecordSet() override = default;
    // Rows moved by SortByFirstText: old index of each new row, so that a subclass can move
    // what it keeps beside them.
    virtual void RowsReordered(const std::vector<size_t>& order) { (void)order; }

private:
    std::vector<Row> rows_;
};
