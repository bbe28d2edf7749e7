#include "layout/table_widths.h"

#include <algorithm>

#include "document/markup/length.h"

namespace {

constexpr uint32_t kAuto = TableSizeArray::kAuto;

int32_t ValueOf(uint32_t w) {
    return static_cast<int32_t>(w & TableSizeArray::kValueMask);
}

bool IsAuto(uint32_t w) {
    return (w & kAuto) != 0;
}

int32_t Saturate(int64_t v) {
    if (v > 0x3FFFFFFF) return 0x3FFFFFFF;
    if (v < -0x3FFFFFFF) return -0x3FFFFFFF;
    return static_cast<int32_t>(v);
}

uint32_t Pack(int32_t value, bool isAuto) {
    if (value < 0) value = 0;
    if (value > 0x3FFFFFFF) value = 0x3FFFFFFF;
    return static_cast<uint32_t>(value) | (isAuto ? kAuto : 0);
}

int32_t Resolve(uint32_t length, int32_t base, int32_t total) {
    if (!Length::IsSet(length)) return 0;
    int32_t v = Length::Resolve(length, base, total);
    return v < 0 ? 0 : v;
}

}  // namespace

int32_t SumWidthsN(const TableSizeArray& a, int32_t n) {
    int64_t sum = 0;
    for (int32_t i = 0; i < n && i < a.Count(); ++i) sum += ValueOf(a.Get(i));
    return Saturate(sum);
}

int32_t SumWidths(const TableSizeArray& a) {
    return SumWidthsN(a, a.Count());
}

int32_t ClampTableWidth(int32_t value, bool isAuto, int32_t maximum, int32_t minimum) {
    if (maximum > value) return value > minimum ? value : minimum;
    if (isAuto) return maximum;
    return value;
}

bool DistributeColumnWidths(int32_t total, const TableSizeArray& minimum,
                            const TableSizeArray& wanted, TableSizeArray& out, int32_t n) {
    out.Clear();
    if (n <= 0) return true;
    if (!out.Reserve(n) || !out.At(n - 1)) return false;
    if (total < 0) total = 0;
    if (total == SumWidthsN(minimum, n)) {
        for (int32_t i = 0; i < n; ++i) *out.At(i) = static_cast<uint32_t>(ValueOf(minimum.Get(i)));
        return true;
    }
    // 0: decided; 1: auto, still undecided.
    SegArray<uint8_t, 4> undecided;
    if (!undecided.At(n - 1)) return false;
    int64_t fixedSum = 0, autoWanted = 0, autoMinimum = 0;
    int32_t fixedCount = 0;
    for (int32_t i = 0; i < n; ++i) {
        uint32_t w = wanted.Get(i);
        int32_t mn = ValueOf(minimum.Get(i));
        if (!IsAuto(w)) {
            // A fixed column never gets less than its content needs.
            int32_t v = ValueOf(w) > mn ? ValueOf(w) : mn;
            *out.At(i) = static_cast<uint32_t>(v);
            fixedSum += v;
            ++fixedCount;
        } else {
            undecided[i] = 1;
            autoWanted += ValueOf(w);
            autoMinimum += mn;
        }
    }
    if (fixedSum <= total && autoWanted != 0) {
        int64_t extra = total - autoMinimum - fixedSum;
        int64_t room = total - fixedSum;
        int64_t stretch = 0;
        for (int32_t i = 0; i < n; ++i) {
            if (!undecided[i]) continue;
            int64_t w = ValueOf(wanted.Get(i));
            int64_t mn = ValueOf(minimum.Get(i));
            if (mn + w * extra / autoWanted < w) {
                room -= mn;
                stretch += w;
            } else {
                *out.At(i) = static_cast<uint32_t>(w);
                fixedSum += w;
                room -= w;
                undecided[i] = 0;
            }
        }
        for (int32_t i = 0; i < n; ++i) {
            if (!undecided[i]) continue;
            int64_t w = ValueOf(wanted.Get(i));
            int64_t mn = ValueOf(minimum.Get(i));
            int64_t v = mn + (stretch > 0 && room > 0 ? w * room / stretch : 0);
            *out.At(i) = static_cast<uint32_t>(Saturate(v));
            fixedSum += Saturate(v);
            undecided[i] = 0;
        }
    }
    // Columns the share-out left undecided (fixed widths over the total, or nothing wanted)
    // take their minimum.
    for (int32_t i = 0; i < n; ++i) {
        if (!undecided[i]) continue;
        int32_t mn = ValueOf(minimum.Get(i));
        *out.At(i) = static_cast<uint32_t>(mn);
        fixedSum += mn;
    }
    int64_t left = total - fixedSum;
    int32_t autoCount = n - fixedCount;
    if (left > 0) {
        if (autoCount > 0) {
            int64_t each = left / autoCount;
            int32_t last = -1;
            for (int32_t i = 0; i < n; ++i) {
                if (!IsAuto(wanted.Get(i))) continue;
                *out.At(i) = static_cast<uint32_t>(Saturate(*out.At(i) + each));
                last = i;
            }
            *out.At(last) = static_cast<uint32_t>(Saturate(*out.At(last) + left - each * autoCount));
        } else {
            int64_t each = left > n ? left / n : 0;
            for (int32_t i = 0; i < n; ++i)
                *out.At(i) = static_cast<uint32_t>(Saturate(*out.At(i) + each));
            *out.At(n - 1) = static_cast<uint32_t>(Saturate(*out.At(n - 1) + left - each * n));
        }
    }
    // A total below what the columns need leaves the table wider than asked, never a
    // column below 0.
    return true;
}

// ---- TableWidths --------------------------------------------------------------------------

bool TableWidths::AddRow() {
    if (rowStarts_.Append(cells_.Count()) < 0) return false;
    ++rowCount_;
    return true;
}

bool TableWidths::AddCell(const TableCell& cell) {
    if (rowCount_ == 0 && !AddRow()) return false;
    TableCell c = cell;
    c.row = rowCount_ - 1;
    if (c.colSpan < 1) c.colSpan = 1;
    if (c.rowSpan < 1) c.rowSpan = 1;
    if (c.colSpan > kMaxColSpan) c.colSpan = kMaxColSpan;
    if (c.rowSpan > kMaxRowSpan) c.rowSpan = kMaxRowSpan;
    return cells_.Append(c) >= 0;
}

void TableWidths::PopCell() {
    if (cells_.Count() > 0) cells_.Remove(cells_.Count() - 1, 1);
}

void TableWidths::PopRow() {
    if (rowCount_ == 0) return;
    int32_t first = *rowStarts_.Get(rowCount_ - 1);
    if (cells_.Count() > first) cells_.Remove(first, cells_.Count() - first);
    rowStarts_.Remove(rowCount_ - 1, 1);
    --rowCount_;
}

bool TableWidths::Finish() {
    int32_t c = 0, r = 0;
    return ComputeGrid(c, r);
}

bool TableWidths::ComputeGrid(int32_t& columns, int32_t& rows) {
    columns = rows = 0;
    columns_ = rows_ = 0;
    if (rowCount_ == 0 || cells_.Count() == 0) return false;
    // Per column, the first grid row no longer taken by a cell from a row above.
    SegArray<int32_t, 6> freeFrom;
    int64_t widest = 0;
    for (int32_t i = 0; i < cells_.Count(); ++i) {
        TableCell& cell = *cells_.Get(i);
        int32_t row = cell.row;
        if (static_cast<int64_t>(cell.rowSpan) > rowCount_ - row)
            cell.rowSpan = static_cast<uint32_t>(rowCount_ - row);
        bool firstInRow = i == 0 || cells_.Get(i - 1)->row != row;
        int32_t col = firstInRow ? 0 : cells_.Get(i - 1)->gridColumn +
                                           static_cast<int32_t>(cells_.Get(i - 1)->colSpan);
        while (col < freeFrom.Count() && *freeFrom.Get(col) > row) ++col;
        int64_t end = static_cast<int64_t>(col) + cell.colSpan;
        if (end * rowCount_ > kMaxGridSlots) return false;
        if (!freeFrom.At(static_cast<int32_t>(end - 1))) return false;
        for (int32_t k = col; k < end; ++k) *freeFrom.Get(k) = row + static_cast<int32_t>(cell.rowSpan);
        cell.gridColumn = col;
        cell.gridRow = row;
        if (end > widest) widest = end;
    }
    // A caption's cell, alone in its row, reaches across the columns the rows make.
    for (int32_t i = 0; i < cells_.Count(); ++i) {
        TableCell& cell = *cells_.Get(i);
        if (cell.spansTable && cell.gridColumn + static_cast<int64_t>(cell.colSpan) < widest)
            cell.colSpan = static_cast<uint32_t>(widest - cell.gridColumn);
    }
    columns_ = static_cast<int32_t>(widest);
    rows_ = rowCount_;
    columns = columns_;
    rows = rows_;
    return columns_ > 0 && rows_ > 0;
}

namespace {

// One pass over columns (widths) or rows (heights): the cells ending in each line of the
// grid contribute; a spanning cell's need beyond the lines it covers is shared out.
struct SpanPass {
    TableSizeArray& minimum;
    TableSizeArray* wanted;

    void Contribute(int32_t index, int32_t span, int32_t cellMin, uint32_t cellWant,
                    int32_t& lineMin, uint32_t& lineWant) {
        int32_t remMin = cellMin;
        int32_t remWant = ValueOf(cellWant);
        if (span > 1) {
            int32_t first = index - (span - 1);
            int32_t autoCount = 0;
            for (int32_t k = first; k < index; ++k) {
                remMin -= ValueOf(minimum.Get(k));
                if (wanted) {
                    remWant -= ValueOf(wanted->Get(k));
                    if (IsAuto(wanted->Get(k))) ++autoCount;
                }
            }
            if (remMin >= 1) {
                remMin -= lineMin;
                if (remMin >= 1) {
                    bool onlyAuto = autoCount > 0 && autoCount < span - 1;
                    int32_t shares = onlyAuto ? autoCount : span;
                    int32_t share = remMin / shares;
                    for (int32_t k = first; k < index && share > 0; ++k) {
                        if (onlyAuto && !IsAuto(wanted->Get(k))) continue;
                        uint32_t* m = minimum.At(k);
                        *m = static_cast<uint32_t>(ValueOf(*m) + share);
                        if (wanted) {
                            uint32_t* w = wanted->At(k);
                            if (ValueOf(*w) < static_cast<int32_t>(*m))
                                *w = Pack(static_cast<int32_t>(*m), IsAuto(*w));
                        }
                        remMin -= share;
                    }
                }
                remMin += lineMin;
            }
            if (remWant < 0) remWant = 0;
        }
        if (remMin > lineMin) lineMin = remMin;
        bool cellAuto = IsAuto(cellWant);
        if (!IsAuto(lineWant)) {
            if (!cellAuto && remWant > ValueOf(lineWant)) lineWant = Pack(remWant, false);
        } else if (!cellAuto) {
            lineWant = Pack(remWant, false);
        } else if (remWant > ValueOf(lineWant)) {
            lineWant = Pack(remWant, true);
        }
    }
};

}  // namespace

namespace {

// The cells that end at each grid line l (1 to lines), in cell order: order[first[l]] up to
// order[first[l + 1]]. One pass over the cells instead of one per line: a table of many rows
// has as many cells, and a walk of every cell for every row grew with their product.
bool CellsByEnd(const SegArray<TableCell, 4>& cells, int32_t lines, bool rows,
                SegArray<int32_t, 6>& first, SegArray<int32_t, 6>& order) {
    if (lines < 0 || !first.At(lines + 1)) return false;
    for (int32_t l = 0; l <= lines + 1; ++l) *first.Get(l) = 0;
    auto endOf = [&](const TableCell& c) {
        return rows ? c.gridRow + static_cast<int32_t>(c.rowSpan)
                    : c.gridColumn + static_cast<int32_t>(c.colSpan);
    };
    int32_t kept = 0;
    for (int32_t i = 0; i < cells.Count(); ++i) {
        int32_t end = endOf(*cells.Get(i));
        if (end < 1 || end > lines) continue;
        ++*first.Get(end);
        ++kept;
    }
    for (int32_t l = 1; l <= lines; ++l) *first.Get(l) += *first.Get(l - 1);
    *first.Get(lines + 1) = kept;
    if (kept > 0 && !order.At(kept - 1)) return false;
    // Filled back to front so that each line keeps its cells in order.
    for (int32_t i = cells.Count() - 1; i >= 0; --i) {
        int32_t end = endOf(*cells.Get(i));
        if (end < 1 || end > lines) continue;
        *order.Get(--*first.Get(end)) = i;
    }
    return true;
}

}  // namespace

bool TableWidths::ComputeColumnWidths(TableSizeArray& minimum, TableSizeArray& wanted,
                                      TableSizeArray& borders, int32_t base, int32_t available) {
    minimum.Clear();
    wanted.Clear();
    borders.Clear();
    if (columns_ <= 0) return false;
    if (!borders.At(columns_)) return false;
    for (int32_t i = 0; i < cells_.Count(); ++i) {
        const TableCell& c = *cells_.Get(i);
        uint32_t* l = borders.At(c.gridColumn);
        if (c.borders[0] / 16 > static_cast<int32_t>(*l)) *l = static_cast<uint32_t>(c.borders[0] / 16);
        uint32_t* r = borders.At(c.gridColumn + static_cast<int32_t>(c.colSpan));
        if (c.borders[1] / 16 > static_cast<int32_t>(*r)) *r = static_cast<uint32_t>(c.borders[1] / 16);
    }
    int32_t room = available - SumWidths(borders);
    if (room < 0) room = 0;
    SpanPass pass{minimum, &wanted};
    SegArray<int32_t, 6> first, order;
    if (!CellsByEnd(cells_, columns_, false, first, order)) return false;
    // Every grid column gets an entry, also one in which no cell ends.
    for (int32_t col = 0; col < columns_; ++col) {
        int32_t lineMin = 0;
        uint32_t lineWant = kAuto;
        for (int32_t k = *first.Get(col + 1); k < *first.Get(col + 2); ++k) {
            const TableCell& c = *cells_.Get(*order.Get(k));
            int64_t padding = static_cast<int64_t>(c.paddingLeft) + c.paddingRight;
            bool isAuto = !Length::IsSet(c.width);
            int32_t resolved = Resolve(c.width, base, room);
            int64_t want = Length::Unit(c.width) == Length::kPercent && !isAuto
                               ? (resolved > padding ? resolved : padding)
                               : padding + resolved;
            int64_t cellMin = static_cast<int64_t>(c.minContent) + padding;
            if (isAuto) {
                int64_t natural = static_cast<int64_t>(c.wantContent) + padding;
                if (natural > want) want = natural;
                if (cellMin > want) want = cellMin;
            } else if (cellMin < want) {
                cellMin = want;
            }
            pass.Contribute(col, static_cast<int32_t>(c.colSpan), Saturate(cellMin),
                            Pack(Saturate(want), isAuto), lineMin, lineWant);
        }
        if (minimum.Append(static_cast<uint32_t>(lineMin)) < 0 || wanted.Append(lineWant) < 0)
            return false;
    }
    // A NOWRAP cell's lines stay whole with the room the columns' minimums leave; past that it
    // wraps as any cell does, so that it never makes a table too wide for its page.
    int64_t spare = static_cast<int64_t>(room) - SumWidths(minimum);
    for (int32_t i = 0; i < cells_.Count() && spare > 0; ++i) {
        const TableCell& c = *cells_.Get(i);
        if (c.keepWhole <= 0 || c.colSpan != 1) continue;
        const int64_t need = static_cast<int64_t>(c.keepWhole) + c.paddingLeft + c.paddingRight;
        uint32_t* mn = minimum.At(c.gridColumn);
        uint32_t* want = wanted.At(c.gridColumn);
        if (!mn || !want || need <= ValueOf(*mn)) continue;
        const int64_t raised = ValueOf(*mn) + std::min(need - ValueOf(*mn), spare);
        spare -= raised - ValueOf(*mn);
        *mn = static_cast<uint32_t>(raised);
        if (ValueOf(*want) < raised) *want = Pack(static_cast<int32_t>(raised), IsAuto(*want));
    }
    return true;
}

bool TableWidths::MeasureColumns(TableColumnMeasure& out, int32_t base, int32_t available) {
    return ComputeColumnWidths(out.minimum, out.wanted, out.borders, base, available);
}

bool TableWidths::TakeMeasuredColumns(const TableColumnMeasure& measure, TableSizeArray& minimum,
                                      TableSizeArray& wanted) {
    const int32_t n = measure.Columns() < columns_ ? measure.Columns() : columns_;
    for (int32_t c = 0; c < n; ++c) {
        uint32_t* mn = minimum.At(c);
        uint32_t* want = wanted.At(c);
        if (!mn || !want) return false;
        *mn = measure.minimum.Get(c);
        *want = measure.wanted.Get(c);
    }
    for (int32_t c = 0; c <= n && c < measure.borders.Count(); ++c) {
        uint32_t* b = columnBorders_.At(c);
        if (!b) return false;
        *b = measure.borders.Get(c);
    }
    return true;
}

bool TableWidths::LayoutWidth(uint32_t tableWidth, int32_t& width, int32_t base,
                              int32_t available) {
    bool isAuto = !Length::IsSet(tableWidth);
    int32_t tw = isAuto ? available : Resolve(tableWidth, base, available);
    TableSizeArray minimum, wanted;
    if (!ComputeColumnWidths(minimum, wanted, columnBorders_, base, available)) return false;
    if (measure_ && !TakeMeasuredColumns(*measure_, minimum, wanted)) return false;
    int32_t b = SumWidths(columnBorders_);
    int32_t mn = SumWidths(minimum);
    int32_t want = SumWidths(wanted);
    width = ClampTableWidth(tw, isAuto, Saturate(static_cast<int64_t>(b) + want),
                            Saturate(static_cast<int64_t>(b) + mn));
    if (!DistributeColumnWidths(width - b, minimum, wanted, columnWidths_, columns_)) return false;
    // The columns may need more than asked for: the table is as wide as they are.
    int32_t sum = Saturate(static_cast<int64_t>(SumWidths(columnWidths_)) + b);
    if (sum > width) width = sum;
    SegArray<int32_t, 6> left;
    if (!left.At(columns_)) return false;
    int64_t x = 0;
    for (int32_t c = 0; c <= columns_; ++c) {
        x += ValueOf(columnBorders_.Get(c));
        *left.Get(c) = Saturate(x);
        if (c < columns_) x += ValueOf(columnWidths_.Get(c));
    }
    for (int32_t i = 0; i < cells_.Count(); ++i) {
        TableCell& c = *cells_.Get(i);
        int32_t end = c.gridColumn + static_cast<int32_t>(c.colSpan);
        c.x = *left.Get(c.gridColumn);
        c.cellWidth = *left.Get(end) - ValueOf(columnBorders_.Get(end)) - c.x;
        if (c.cellWidth < 0) c.cellWidth = 0;
    }
    return true;
}

bool TableWidths::ComputeRowHeights(TableSizeArray& minimum, TableSizeArray& borders, int32_t base,
                                    int32_t available) {
    minimum.Clear();
    borders.Clear();
    if (rows_ <= 0) return false;
    if (!borders.At(rows_)) return false;
    for (int32_t i = 0; i < cells_.Count(); ++i) {
        const TableCell& c = *cells_.Get(i);
        uint32_t* t = borders.At(c.gridRow);
        if (c.borders[2] / 16 > static_cast<int32_t>(*t)) *t = static_cast<uint32_t>(c.borders[2] / 16);
        uint32_t* b = borders.At(c.gridRow + static_cast<int32_t>(c.rowSpan));
        if (c.borders[3] / 16 > static_cast<int32_t>(*b)) *b = static_cast<uint32_t>(c.borders[3] / 16);
    }
    SpanPass pass{minimum, nullptr};
    SegArray<int32_t, 6> first, order;
    if (!CellsByEnd(cells_, rows_, true, first, order)) return false;
    for (int32_t row = 0; row < rows_; ++row) {
        int32_t lineMin = 0;
        uint32_t lineWant = kAuto;
        for (int32_t k = *first.Get(row + 1); k < *first.Get(row + 2); ++k) {
            const TableCell& c = *cells_.Get(*order.Get(k));
            int64_t h = static_cast<int64_t>(c.contentHeight) + c.paddingTop + c.paddingBottom;
            // A percentage HEIGHT has nothing to refer to here and is left out.
            if (Length::IsSet(c.height) && Length::Unit(c.height) != Length::kPercent) {
                int32_t given = Resolve(c.height, base, available);
                if (given > h) h = given;
            }
            pass.Contribute(row, static_cast<int32_t>(c.rowSpan), Saturate(h), kAuto, lineMin,
                            lineWant);
        }
        if (minimum.Append(static_cast<uint32_t>(lineMin)) < 0) return false;
    }
    return true;
}

bool TableWidths::LayoutHeight(uint32_t tableHeight, int32_t& height, int32_t base,
                               int32_t available) {
    if (!ComputeRowHeights(rowHeights_, rowBorders_, base, available)) return false;
    int64_t total = static_cast<int64_t>(SumWidths(rowHeights_)) + SumWidths(rowBorders_);
    if (Length::IsSet(tableHeight) && Length::Unit(tableHeight) != Length::kPercent) {
        int32_t given = Resolve(tableHeight, base, available);
        if (given > total) {
            uint32_t* last = rowHeights_.At(rows_ - 1);
            *last = static_cast<uint32_t>(Saturate(*last + (given - total)));
            total = given;
        }
    }
    height = Saturate(total);
    SegArray<int32_t, 6> top;
    if (!top.At(rows_)) return false;
    int64_t y = 0;
    for (int32_t r = 0; r <= rows_; ++r) {
        y += ValueOf(rowBorders_.Get(r));
        *top.Get(r) = Saturate(y);
        if (r < rows_) y += ValueOf(rowHeights_.Get(r));
    }
    for (int32_t i = 0; i < cells_.Count(); ++i) {
        TableCell& c = *cells_.Get(i);
        int32_t end = c.gridRow + static_cast<int32_t>(c.rowSpan);
        c.y = *top.Get(c.gridRow);
        c.cellHeight = *top.Get(end) - ValueOf(rowBorders_.Get(end)) - c.y;
        if (c.cellHeight < 0) c.cellHeight = 0;
    }
    return true;
}

// ---- Palette and parsers ------------------------------------------------------------------

namespace {
constexpr uint32_t kPalette[16] = {
    0x000000, 0xC0C0C0, 0x808080, 0xFFFFFF, 0x000080, 0x0000FF, 0x800080, 0xFF00FF,
    0x008000, 0x00FF00, 0x008080, 0x00FFFF, 0x800000, 0xFF0000, 0x808000, 0xFFFF00};
}  // namespace

int32_t PaletteIndexOfColour(uint32_t colour) {
    for (int32_t i = 0; i < 16; ++i)
        if (kPalette[i] == colour) return i;
    return -1;
}

uint32_t PaletteColour(int32_t index) {
    return index >= 0 && index < 16 ? kPalette[index] : 0;
}

bool HexDigitValue(char16_t c, uint32_t& value) {
    if (c >= u'0' && c <= u'9') {
        value = c - u'0';
    } else if (c >= u'A' && c <= u'F') {
        value = c - u'A' + 10;
    } else if (c >= u'a' && c <= u'f') {
        value = c - u'a' + 10;
    } else {
        return false;
    }
    return true;
}

bool ParseDecimal(const char16_t* p, int32_t n, uint32_t& value) {
    if (!p || n <= 0) return false;
    uint64_t v = 0;
    for (int32_t i = 0; i < n; ++i) {
        if (p[i] < u'0' || p[i] > u'9') return false;
        v = v * 10 + (p[i] - u'0');
        if (v > 0xFFFFFFFFu) return false;
    }
    value = static_cast<uint32_t>(v);
    return true;
}

void TrimWhitespace(const char16_t*& p, int32_t& n, bool left, bool right) {
    auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
    if (left)
        while (n > 0 && blank(*p)) {
            ++p;
            --n;
        }
    if (right)
        while (n > 0 && blank(p[n - 1])) --n;
}
