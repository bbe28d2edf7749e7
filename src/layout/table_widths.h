// Column widths and row heights of one table: the grid that COLSPAN and ROWSPAN make, every
// column's minimum and wanted width, the table's width and its share-out over the columns,
// then the same over rows. Widths carry bit 30 (kAuto) when the markup gave none: the value is
// then only a preference. Sums and comparisons use the value without that bit.
//
// The object keeps its own copy of each cell's inputs and results (not pointers into a
// block's records, which move when the block changes); the layout copies results back by the
// cell's record index.
#pragma once

#include <cstdint>

#include "core/segmented_array.h"

// The widths of a table's columns or the heights of its rows (or their borders), one per
// column or row, each with the kAuto bit when it is only a preference.
class TableSizeArray {
public:
    static constexpr uint32_t kAuto = 0x40000000u;
    static constexpr uint32_t kValueMask = 0xBFFFFFFFu;

    bool Reserve(int32_t n) { return values_.Reserve(n); }
    // Its index, or -1 when memory runs out.
    int32_t Append(uint32_t value) { return values_.Append(value); }
    // Element i, the count raised to i + 1; null on failure.
    uint32_t* At(int32_t i) { return values_.At(i); }
    uint32_t Get(int32_t i) const {
        const uint32_t* p = values_.Get(i);
        return p ? *p : 0;
    }
    int32_t Count() const { return values_.Count(); }
    bool CopyFrom(const TableSizeArray& o) { return values_.Copy(o.values_); }
    void MoveFrom(TableSizeArray& o) { values_.Move(o.values_); }
    void Clear() { values_.Clear(); }

private:
    SegArray<uint32_t, 4> values_;
};

// Sums without the auto bit, in 64 bits, saturated to 32.
int32_t SumWidths(const TableSizeArray& a);
int32_t SumWidthsN(const TableSizeArray& a, int32_t n);
int32_t ClampTableWidth(int32_t value, bool isAuto, int32_t maximum, int32_t minimum);
// Shares total over n columns. Every width is at least 0; a fixed column gets at least its
// minimum. False when memory runs out.
bool DistributeColumnWidths(int32_t total, const TableSizeArray& minimum,
                            const TableSizeArray& wanted, TableSizeArray& out, int32_t n);

// The minimum and wanted widths of a table's columns and the borders beside them, as the
// column pass gives them. Measured once from a table's first rows, they size the columns of
// every part of the table, whichever rows a page holds.
struct TableColumnMeasure {
    TableSizeArray minimum;
    TableSizeArray wanted;
    TableSizeArray borders;  // one more than the columns

    int32_t Columns() const { return minimum.Count(); }
};

struct TableCell {
    // Inputs.
    uint32_t width = 0x40000000u;   // Length, or kAbsent
    uint32_t height = 0x40000000u;  // Length, or kAbsent
    int32_t paddingLeft = 0;
    int32_t paddingRight = 0;
    int32_t paddingTop = 0;
    int32_t paddingBottom = 0;
    int32_t minContent = 0;   // widest unbreakable item
    int32_t wantContent = 0;  // widest line without wrapping
    int32_t keepWhole = 0;    // NOWRAP: the width its lines want unbroken, while there is room
    int32_t contentHeight = 0;
    int32_t borders[4] = {};  // left, right, top, bottom, × 16
    uint32_t colSpan = 1;
    uint32_t rowSpan = 1;
    int32_t record = -1;  // the cell record's index in its block
    bool spansTable = false;  // takes every column the other rows make (a caption)
    // Results.
    int32_t row = 0;  // row entry it was added in
    int32_t gridColumn = 0;
    int32_t gridRow = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t cellWidth = 0;
    int32_t cellHeight = 0;
};

class TableWidths {
public:
    // Limits on untrusted spans and grids: beyond them the table is not laid out.
    static constexpr uint32_t kMaxColSpan = 1000;
    static constexpr uint32_t kMaxRowSpan = 65534;
    static constexpr int64_t kMaxGridSlots = 1 << 20;

    // Starts a row; the cells added next belong to it.
    bool AddRow();
    // Appends a cell to the current row (a first cell without a row starts one).
    bool AddCell(const TableCell& cell);
    // Takes the last cell back (a row that is retried on the next page).
    void PopCell();
    // Takes the last row and its cells back.
    void PopRow();
    // Computes the grid; false for an empty or oversize grid.
    bool Finish();

    int32_t CellCount() const { return cells_.Count(); }
    int32_t RowCount() const { return rowCount_; }
    TableCell* Cell(int32_t i) { return cells_.Get(i); }
    int32_t Columns() const { return columns_; }
    int32_t Rows() const { return rows_; }

    bool ComputeGrid(int32_t& columns, int32_t& rows);
    bool ComputeColumnWidths(TableSizeArray& minimum, TableSizeArray& wanted,
                             TableSizeArray& borders, int32_t base, int32_t available);
    // Table width for a column of the given width (tableWidth: the table's WIDTH Length or
    // kAbsent); places every cell horizontally. The width may exceed the column: the table is
    // then scrollable.
    bool LayoutWidth(uint32_t tableWidth, int32_t& width, int32_t base, int32_t available);
    bool ComputeRowHeights(TableSizeArray& minimum, TableSizeArray& borders, int32_t base,
                           int32_t available);
    // Table height; places every cell vertically.
    bool LayoutHeight(uint32_t tableHeight, int32_t& height, int32_t base, int32_t available);
    // The column pass over the cells added, once the grid is computed.
    bool MeasureColumns(TableColumnMeasure& out, int32_t base, int32_t available);
    // LayoutWidth takes the columns' widths from `measure` (not owned; null: from the cells
    // added); columns it does not reach are measured from the cells.
    void UseColumnMeasure(const TableColumnMeasure* measure) { measure_ = measure; }
    const TableSizeArray& ColumnWidths() const { return columnWidths_; }
    const TableSizeArray& RowHeights() const { return rowHeights_; }

private:
    // Puts the measured columns' widths and borders in place of those of the cells added.
    bool TakeMeasuredColumns(const TableColumnMeasure& measure, TableSizeArray& minimum,
                             TableSizeArray& wanted);

    SegArray<TableCell, 4> cells_;
    SegArray<int32_t, 4> rowStarts_;  // first cell of each row entry
    int32_t rowCount_ = 0;
    int32_t columns_ = 0;
    int32_t rows_ = 0;
    TableSizeArray columnWidths_;
    TableSizeArray columnBorders_;
    TableSizeArray rowHeights_;
    TableSizeArray rowBorders_;
    const TableColumnMeasure* measure_ = nullptr;
};

// The 16-colour palette and the small parsers of attribute texts.
int32_t PaletteIndexOfColour(uint32_t colour);
uint32_t PaletteColour(int32_t index);
bool HexDigitValue(char16_t c, uint32_t& value);
// Decimal digits only; false for none, a non-digit or a value past 32 bits.
bool ParseDecimal(const char16_t* p, int32_t n, uint32_t& value);
void TrimWhitespace(const char16_t*& p, int32_t& n, bool left, bool right);
