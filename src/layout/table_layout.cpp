// Tables in the page flow: rows are measured, the columns sized, the fitting rows laid out
// again at their final widths and placed; a table taller than what is left is cut after the
// last row that fits and continues on the next page.
#include "core/platform_helpers.h"
#include "document/markup/keyword_tree.h"
#include "document/markup/length.h"
#include "layout/inline_objects.h"
#include "layout/page_layout.h"
#include "layout/table_widths.h"

namespace {

// Cells are laid out in boxes this tall: room never stops them, the rows decide.
constexpr int32_t kCellBoxHeight = 0x3FFFFFF;

// A cell without CELLPADDING keeps a pixel of a normal screen on each side; a dense screen
// draws the text twice as large, and one of its pixels would leave the columns' words touching.
int32_t DefaultCellPadding() {
    return IsHighResolution() ? 2 : 1;
}

int32_t CellPadding(uint32_t padding, int32_t base) {
    if (padding == TableRecord::kNoPadding || !Length::IsSet(padding)) return DefaultCellPadding();
    int32_t v = Length::Resolve(padding, base, 0);
    if (v < 0) return 0;
    return v > 1000 ? 1000 : v;
}

// Decrements the table depth when the table's layout ends, whatever the way out.
struct DepthGuard {
    int32_t& depth;
    explicit DepthGuard(int32_t& d) : depth(d) { ++depth; }
    ~DepthGuard() { --depth; }
};

// Whether a table whose first row does not fit in the room left below the lines already
// placed starts the next page. A row that fits a page does, rather than be cut off at this
// page's foot. A row taller than a whole page is read through its view a view at a time: it
// stays only where that view is three quarters of the column or more; a strip of a line or two
// at a page's foot would be read a strip at a time, so it too starts the next page, where the
// whole column shows it.
bool StartsNextPage(int32_t rowHeight, int32_t room, int32_t columnHeight) {
    if (rowHeight <= columnHeight) return true;
    return int64_t{room} * 4 < int64_t{columnHeight} * 3;
}

}  // namespace

void PageLayout::MeasureCell(const BlockCursor& from, const BlockCursor& to, int32_t cellX,
                             int32_t& minContent, int32_t& wantContent) {
    minContent = wantContent = 0;
    // A rule takes whatever width its line has (while measuring, the column's): its line asks
    // the cell for no width of its own.
    int32_t lineWidth = 0;
    bool lineHasRule = false;
    // A word whose pieces differ in style ("<i>Returns</i>:") is several runs with nothing but
    // style changes between them: no space, no break opportunity, so a line keeps them together
    // and the cell needs them whole.
    int32_t wordWidth = 0;
    auto closeLine = [&] {
        if (!lineHasRule && lineWidth > wantContent) wantContent = lineWidth;
        lineWidth = 0;
        lineHasRule = false;
    };
    for (BlockCursor c = from; c.position < to.position; c.Next()) {
        const uint32_t kind = c.Kind();
        if (kind != kItemTextRun && kind != kItemStyleChange) wordWidth = 0;
        switch (kind) {
            case kItemLine: {
                closeLine();
                const LineRecord* l = block_->Line(c.counts[kItemLine]);
                int32_t w = (l->x - cellX) + (l->available - l->freeWidth) + l->rightIndent;
                if (l->height > 0) lineWidth = w;
                break;
            }
            case kItemTextRun: {
                wordWidth += block_->Run(c.counts[kItemTextRun])->width;
                if (wordWidth > minContent) minContent = wordWidth;
                break;
            }
            case kItemInlineBox: {
                const InlineBox* b = block_->Object(c.counts[kItemInlineBox]);
                if (dynamic_cast<HorizontalRule*>(b->object.Get())) {
                    lineHasRule = true;
                    break;
                }
                int32_t w = b->rect.width + 2 * b->hspace;
                if (b->object && w > minContent) minContent = w;
                break;
            }
            case kItemTable: {
                const TableRecord* t = block_->Table(c.counts[kItemTable]);
                if (t->content.width > minContent) minContent = t->content.width;
                if (t->content.width > wantContent) wantContent = t->content.width;
                break;
            }
            default:
                break;
        }
    }
    closeLine();
    if (minContent > wantContent) wantContent = minContent;
}

void PageLayout::RejoinCutWords(BlockCursor c) {
    int32_t head = -1;  // the run a cut tail would join: the last run, past hyphens and lines
    for (int32_t depth = 1; depth > 0 && !c.AtEnd();) {
        const uint32_t kind = c.Kind();
        if (kind == kItemTextRun) {
            TextRun* run = block_->Run(c.counts[kItemTextRun]);
            if (run->cutTail && head >= 0) {
                TextRun* to = block_->Run(head);
                if (to->text.Append(run->text)) {
                    to->width += run->width;
                    block_->RemoveAt(c);
                    continue;
                }
            }
            head = c.counts[kItemTextRun];
        } else if (kind == kItemFlowMark) {
            const uint32_t type = block_->Mark(c.counts[kItemFlowMark])->type;
            if (type == kMarkHyphen) {
                block_->RemoveAt(c);  // shown only where the word was cut
                continue;
            }
            if (type == kMarkTableEnd) --depth;
            if (type == kMarkTextEnd) break;
            head = -1;
        } else if (kind != kItemLine) {
            if (kind == kItemTable) ++depth;
            head = -1;
        }
        c.Next();
    }
}

void PageLayout::ShiftItems(const BlockCursor& from, const BlockCursor& to, int32_t dy) {
    if (dy == 0) return;
    for (BlockCursor c = from; c.position < to.position; c.Next()) {
        switch (c.Kind()) {
            case kItemLine: block_->Line(c.counts[kItemLine])->y += dy; break;
            case kItemTextRun: block_->Run(c.counts[kItemTextRun])->y += dy; break;
            case kItemInlineBox: {
                InlineBox* b = block_->Object(c.counts[kItemInlineBox]);
                b->rect.y += dy;
                if (b->object) b->object->SetRect(b->rect, 0);
                break;
            }
            case kItemTable: block_->Table(c.counts[kItemTable])->box.y += dy; break;
            case kItemCell: block_->Cell(c.counts[kItemCell])->rect.y += dy; break;
            default: break;
        }
    }
}

// The cursor stands where a cell's content ends: the next cell or row, or the table's or the
// text's end.
bool PageLayout::AtCellBoundary(BlockCursor& c) {
    if (!EnsureItem(c)) return true;
    uint32_t kind = c.Kind();
    if (kind == kItemCell || kind == kItemRow) return true;
    if (kind != kItemFlowMark) return false;
    uint32_t type = block_->Mark(c.counts[kItemFlowMark])->type;
    return type == kMarkCellEnd || type == kMarkRowEnd || type == kMarkTableEnd ||
           type == kMarkTextEnd;
}

bool PageLayout::WalkTableRows(TableWidths& widths, const TableRecord& table,
                               BlockCursor& cursor, int32_t maxRows, int32_t heightLimit,
                               bool measure, int32_t tableX, int32_t width, int32_t& rowsDone,
                               bool& tableEnded, SegArray<BlockCursor, 4>* ranges) {
    const int32_t base = fonts_.BaseSize();
    const int32_t pad = CellPadding(table.cellPadding, base);
    const int32_t border = table.attributes.border > 0 ? 16 : 0;
    // Cells are measured in the column the table stands in (a nested table's is its cell), as
    // the final pass lays them out in it: never wider than where their lines will go.
    const int32_t available = width > 0 ? width : 1;
    int32_t row = -1;
    int32_t cellIndex = 0;  // among the cells of the walk, in order
    int64_t height = 0;
    int32_t rowTallest = 0;
    rowsDone = 0;
    tableEnded = false;
    BlockCursor c = cursor;
    BlockCursor rowStart = c;
    for (;;) {
        if (!EnsureItem(c)) return false;
        uint32_t kind = c.Kind();
        if (kind == kItemRow || (kind == kItemCell && row < 0)) {
            BlockCursor here = c;
            if (row >= 0) {
                height += rowTallest;
                ++rowsDone;
                // The first row always stays; later rows only while they fit, and not past
                // the page's stop.
                const bool full = rowsDone >= maxRows || (measure && height > heightLimit);
                const bool stop = measure && tableDepth_ == 1 && stopAt_ != kNone &&
                                  block_->PositionAt(here) >= stopAt_;
                if (stop && !full) stopHit_ = true;
                if (full || stop) {
                    rowStart = here;  // the cut comes before this row
                    break;
                }
            }
            ++row;
            rowTallest = 0;
            rowStart = here;
            if (measure && !widths.AddRow()) return false;
            if (kind == kItemRow) c.Next();
            continue;
        }
        if (kind == kItemCell) {
            CellRecord* rec = block_->Cell(c.counts[kItemCell]);
            int32_t record = c.counts[kItemCell];
            c.Next();
            int32_t x = 0, w = available - 2 * pad;
            if (!measure) {
                TableCell* tc = widths.Cell(cellIndex);
                if (!tc || tc->record != record) return false;
                x = tableX + tc->x + pad;
                w = tc->cellWidth - 2 * pad;
            }
            if (w < 1) w = 1;
            ColumnBox box;
            box.Set(Rect{x, 0, w, kCellBoxHeight});
            BlockCursor from = c;
            bool firstLine = true;
            PositionRecord keepStyle = lineStyle_;
            BoxRecord keepBox = next_->blockStyle;
            // The cell's lines leave their style to the next page's record; the page after
            // the table starts in the style around it (a heading cell's bold stayed on).
            PositionRecord keepNextStyle = next_->style;
            if (!ColumnLoop(box, c, firstLine, false)) return false;
            // Whatever stopped the loop short of the cell's end (a column marked full), the
            // rest of the cell's content is laid out in the cell too, never passed over.
            for (int32_t guard = 0; guard < kMaxEmptyReads && !AtCellBoundary(c); ++guard) {
                int32_t before = c.position;
                box.full = false;
                if (!ColumnLoop(box, c, firstLine, false)) return false;
                if (c.position == before) break;
            }
            ApplyStyle(keepStyle);
            next_->blockStyle = keepBox;
            next_->style = keepNextStyle;
            int32_t contentHeight = box.Bottom();
            if (measure) {
                TableCell cell;
                cell.width = rec->attributes.width;
                cell.height = rec->attributes.height;
                cell.paddingLeft = cell.paddingRight = cell.paddingTop = cell.paddingBottom = pad;
                MeasureCell(from, c, x, cell.minContent, cell.wantContent);
                if (rec->nowrap) cell.keepWhole = cell.wantContent;
                cell.spansTable = rec->spansTable;
                cell.contentHeight = contentHeight;
                // A caption is a title over the table, not one of its framed cells.
                for (int32_t& b : cell.borders) b = rec->spansTable ? 0 : border;
                cell.colSpan = rec->colSpan;
                cell.rowSpan = rec->rowSpan;
                cell.record = record;
                if (!widths.AddCell(cell)) return false;
            } else {
                widths.Cell(cellIndex)->contentHeight = contentHeight;
                rec->contentHeight = contentHeight;
                if (ranges && (ranges->Append(from) < 0 || ranges->Append(c) < 0)) return false;
            }
            if (rec->rowSpan <= 1 && contentHeight + 2 * pad > rowTallest)
                rowTallest = contentHeight + 2 * pad;
            ++cellIndex;
            // The cell's own end mark closes it.
            if (c.Kind() == kItemFlowMark && block_->Mark(c.counts[kItemFlowMark])->type == kMarkCellEnd)
                c.Next();
            continue;
        }
        if (kind == kItemFlowMark) {
            uint32_t type = block_->Mark(c.counts[kItemFlowMark])->type;
            if (type == kMarkTableEnd || type == kMarkTextEnd) {
                if (row >= 0) ++rowsDone;
                tableEnded = true;
                rowStart = c;
                break;
            }
            c.Next();
            continue;
        }
        if (kind == kItemLine) {
            block_->RemoveAt(c);
            continue;
        }
        // Anything between cells is not shown.
        c.Next();
    }
    cursor = rowStart;
    return true;
}

const TableColumnMeasure* PageLayout::ColumnMeasure(const TableRecord& table, int32_t width,
                                                     TableWidths* read) {
    if (tableDepth_ != 1 || table.start == TableRecord{}.start) return nullptr;
    auto found = tableMeasures_.find(table.start);
    if (found != tableMeasures_.end() && found->second->width == width)
        return &found->second->columns;
    std::unique_ptr<MeasuredTable> measured(new (std::nothrow) MeasuredTable());
    if (!measured) return nullptr;
    const bool ok = read ? read->MeasureColumns(measured->columns, fonts_.BaseSize(), width)
                         : MeasureTableRows(table.start, width, measured->columns);
    if (!ok) return nullptr;
    measured->width = width;
    std::unique_ptr<MeasuredTable>& kept = tableMeasures_[table.start];
    kept = std::move(measured);
    return &kept->columns;
}

bool PageLayout::MeasureTableRows(uint32_t tableStart, int32_t width, TableColumnMeasure& out) {
    ByteStream scan;
    if (!source_->SaveState(scan)) return false;
    // The state before the TABLE tag, as reading from the first page has it there; the rows are
    // read again from there into a block of their own, whatever this page holds of them.
    PageRecord before;
    bool ok = Replay(tableStart, before, false, true) && before.start < tableStart;
    BlockContents rowsRead;
    BlockContents* keepBlock = block_;
    const PositionRecord keepStyle = lineStyle_;
    const bool keepEnded = textEnded_;
    const bool keepForm = formFlag_;
    const uint32_t keepStop = stopAt_;
    const bool keepHit = stopHit_;
    const uint32_t keepStart = next_->start;
    elements_.Swap(before.elements);
    block_ = &rowsRead;
    stopAt_ = kNone;
    if (ok) {
        ApplyStyle(before.style);
        ok = RestoreScanState(before) && MeasureRowsRead(tableStart, width, out);
    }
    elements_.Swap(before.elements);
    block_ = keepBlock;
    ApplyStyle(keepStyle);
    textEnded_ = keepEnded;
    formFlag_ = keepForm;
    stopAt_ = keepStop;
    stopHit_ = keepHit;
    next_->start = keepStart;
    // The page goes on reading where it was.
    return scan.SetReadPosition(0) && source_->RestoreState(scan) && ok;
}

bool PageLayout::MeasureRowsRead(uint32_t tableStart, int32_t width, TableColumnMeasure& out) {
    // The table's tag read again makes its record; the style changes before it apply.
    BlockCursor rows;
    rows.Init(block_, true);
    for (int32_t guard = 0;; ++guard) {
        if (guard >= kMaxEmptyReads || !EnsureItem(rows)) return false;
        const uint32_t kind = rows.Kind();
        if (kind == kItemTable) break;
        if (kind == kItemStyleChange) ApplyStyle(*block_->Style(rows.counts[kItemStyleChange]));
        rows.Next();
    }
    const TableRecord table = *block_->Table(rows.counts[kItemTable]);
    if (table.start != tableStart) return false;
    rows.Next();
    TableWidths widths;
    int32_t rowsDone = 0;
    bool ended = false;
    return WalkTableRows(widths, table, rows, kMeasuredRows, columns_[0].height, true, 0, width,
                         rowsDone, ended, nullptr) &&
           rowsDone > 0 && widths.Finish() && widths.MeasureColumns(out, fonts_.BaseSize(), width);
}

bool PageLayout::LayoutTable(ColumnBox& column, BlockCursor& cursor, bool& goOn,
                             bool& firstLine, bool& progress) {
    goOn = false;
    progress = true;
    if (tableDepth_ >= kMaxTableDepth) return false;
    DepthGuard depth(tableDepth_);
    const int32_t base = fonts_.BaseSize();
    BlockCursor tableAt = cursor;
    int32_t tableIndex = tableAt.counts[kItemTable];
    TableRecord table = *block_->Table(tableIndex);
    BlockCursor rows = tableAt;
    rows.Next();

    if (tableDepth_ == 1) nestedMeasures_.clear();
    const bool nested = tableDepth_ > 1 && table.start != TableRecord{}.start;
    // Measuring: the rows that may fit, at the column's width, their words whole as the text
    // has them (not as a layout before this one cut them), so that the table measures the same
    // wherever the page it is on began.
    RejoinCutWords(rows);
    TableWidths widths;
    int32_t room = column.Remaining();
    int32_t fitting = 0;
    bool tableEnded = false;
    BlockCursor stop = rows;
    auto kept = nested ? nestedMeasures_.find(table.start) : nestedMeasures_.end();
    bool fromKept = kept != nestedMeasures_.end();
    if (fromKept) {
        // Measured by an earlier walk of the tables around it.
        for (const TableCell& cell : kept->second.cells) {
            while (widths.RowCount() <= cell.row)
                if (!widths.AddRow()) return false;
            if (!widths.AddCell(cell)) return false;
        }
        while (widths.RowCount() < kept->second.rows)
            if (!widths.AddRow()) return false;
        fitting = kept->second.fitting;
        tableEnded = kept->second.ended;
    } else {
        if (!WalkTableRows(widths, table, stop, 0x7FFFFFFF, room, true, 0, column.width, fitting,
                           tableEnded, nullptr))
            return false;
        // A nested table's room is its cell's, which never stops it: kept whole.
        if (nested && tableEnded) {
            NestedMeasure m;
            for (int32_t i = 0; i < widths.CellCount(); ++i) m.cells.push_back(*widths.Cell(i));
            m.rows = widths.RowCount();
            m.fitting = fitting;
            m.ended = tableEnded;
            nestedMeasures_[table.start] = std::move(m);
        }
    }
    if (fitting < 1 || !widths.Finish()) {
        return false;
    }
    // A table of one row read whole from its start here (a page laid out in a table) is
    // measured from this walk: the rows the measure would read again are the same.
    const bool readWhole = tableEnded && fitting == 1 &&
                           block_->PositionAt(tableAt) <= table.start;
    widths.UseColumnMeasure(ColumnMeasure(table, column.width, readWhole ? &widths : nullptr));

    int32_t tableWidth = 0, tableHeight = 0;
    int32_t tableX = 0, tableY = 0;
    SegArray<BlockCursor, 4> ranges;
    for (;;) {
        if (!widths.LayoutWidth(table.attributes.width, tableWidth, base, column.width))
            return false;
        LineRecord place;
        column.PlaceLine(place, 0);
        tableX = place.x;
        tableY = place.y;
        if (tableWidth < column.width) {
            int32_t diff = column.width - tableWidth;
            if (table.alignment == 2) tableX += diff;
            if (table.alignment == 3) tableX += diff / 2;  // the odd pixel goes to the right
        }
        // Final pass over the fitting rows at their widths (words a pass at other widths cut
        // whole again).
        RejoinCutWords(rows);
        BlockCursor walk = rows;
        int32_t done = 0;
        bool ended = false;
        ranges.Clear();
        if (!WalkTableRows(widths, table, walk, fitting, 0x7FFFFFFF, false, tableX, column.width,
                           done, ended, &ranges)) {
            if (!fromKept) return false;
            // Its cells are not where they were when it was measured: measured again here.
            fromKept = false;
            nestedMeasures_.erase(table.start);
            widths = TableWidths();
            RejoinCutWords(rows);
            stop = rows;
            if (!WalkTableRows(widths, table, stop, 0x7FFFFFFF, room, true, 0, column.width,
                               fitting, tableEnded, nullptr) ||
                fitting < 1 || !widths.Finish())
                return false;
            widths.UseColumnMeasure(nullptr);
            continue;
        }
        if (!widths.LayoutHeight(table.attributes.height, tableHeight, base, column.height))
            return false;
        stop = walk;
        if (done < fitting) fitting = done;
        tableEnded = tableEnded && done >= widths.RowCount();
        if (fitting <= 1 || tableHeight <= room) break;
        // Taller at its final widths than measured: one row fewer.
        widths.PopRow();
        --fitting;
        tableEnded = false;
        if (!widths.Finish()) return false;
    }

    if (tableHeight > room && tableDepth_ == 1 && !firstLine &&
        StartsNextPage(tableHeight, room, column.height)) {
        progress = false;
        column.MarkFull();
        return true;
    }
    // Cells in place: rows stacked from the table's top, content aligned in each cell.
    for (int32_t i = 0; i < widths.CellCount(); ++i) {
        TableCell* tc = widths.Cell(i);
        CellRecord* rec = block_->Cell(tc->record);
        if (!rec) continue;
        rec->rect = Rect{tableX + tc->x, tableY + tc->y, tc->cellWidth, tc->cellHeight};
        rec->gridColumn = tc->gridColumn;
        rec->gridRow = tc->gridRow;
        // Drawing frames the cell with these.
        for (int b = 0; b < 4; ++b) rec->borders[b] = tc->borders[b];
        int32_t inner = tc->cellHeight - tc->paddingTop - tc->paddingBottom - tc->contentHeight;
        int32_t dy = tableY + tc->y + tc->paddingTop;
        if (rec->valign == 1 && inner > 0) dy += inner / 2;
        if (rec->valign == 2 && inner > 0) dy += inner;
        BlockCursor* from = ranges.Get(2 * i);
        BlockCursor* to = ranges.Get(2 * i + 1);
        if (from && to) ShiftItems(*from, *to, dy);
    }
    int32_t visible = tableHeight < room ? tableHeight : (room > 0 ? room : 0);
    TableRecord* rec = block_->Table(tableIndex);
    rec->box = Rect{tableX, tableY, tableWidth < column.width ? tableWidth : column.width, visible};
    rec->content = Size{tableWidth, tableHeight};
    rec->columnWidth = column.width;
    rec->visibleHeight = visible;
    rec->rows = static_cast<uint32_t>(fitting);
    column.pending[0] = visible;
    column.Advance(0);
    firstLine = false;
    // Its rows show: a forced page break after them starts the next page, wherever the page
    // began.
    if (visible > 0) column.shown = true;

    if (tableEnded) {
        // Past the table's end mark: the flow goes on below it.
        if (stop.Kind() == kItemFlowMark &&
            block_->Mark(stop.counts[kItemFlowMark])->type == kMarkTableEnd)
            stop.Next();
        cursor = stop;
        // A table read view by view across: what follows it is read once, on the page after
        // its last view, not beside each of its views.
        if (tableDepth_ == 1 && tableWidth > column.width && !OnlyTextEndFollows(stop)) {
            column.MarkFull();
            return true;
        }
        goOn = true;
        return true;
    }
    // Cut before the first row that does not fit: this page's part ends with a table end,
    // and the rest begins the next page as a continued table.
    FlowMark end;
    end.type = kMarkTableEnd;
    end.option = 1;
    uint32_t at = block_->PositionAt(stop);
    if (!block_->Insert(stop, end, at, true)) return false;
    stop.Next();
    TableRecord copy = table;
    if (!block_->Insert(stop, copy, at, true)) return false;
    cursor = stop;
    column.MarkFull();
    return true;
}

bool PageLayout::SkipTable(BlockCursor& cursor) {
    // The table's items stay as plain items; only its record goes, so that it is not tried
    // again.
    if (cursor.Kind() != kItemTable) return true;
    block_->RemoveAt(cursor);
    if (tableDepth_ == 0) return true;
    // Inside a cell (a table nested too deep) its rows, cells and ends go too, each cell's end
    // becoming a line break: the enclosing table would take them for its own, end early, and
    // leave its own ends after it, to make a page of nothing.
    BlockCursor c = cursor;
    for (int32_t depth = 1; depth > 0;) {
        if (!EnsureItem(c)) return false;
        const uint32_t kind = c.Kind();
        if (kind == kItemTable || kind == kItemRow || kind == kItemCell) {
            if (kind == kItemTable) ++depth;
            block_->RemoveAt(c);
            continue;
        }
        if (kind == kItemFlowMark) {
            FlowMark* m = block_->Mark(c.counts[kItemFlowMark]);
            if (m->type == kMarkTextEnd) break;
            if (m->type == kMarkTableEnd || m->type == kMarkRowEnd) {
                if (m->type == kMarkTableEnd) --depth;
                block_->RemoveAt(c);
                continue;
            }
            if (m->type == kMarkCellEnd) *m = FlowMark{kMarkLineBreak};
        }
        c.Next();
    }
    return true;
}
