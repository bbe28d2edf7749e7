// Paging back: the page that ends exactly where a page starts (PageUp), and the page before a
// position (a line up).
//
// Every page the reader shows is laid out forward from its start, so the page before a target is
// the page whose forward layout ends exactly at the target. It is, in this order:
// - the page shown before the target at these settings (the page map), laid out again;
// - the page paging forward shows before it from the nearest start known below it: the pages
//   laid out forward from there, whose lines (the grid) are kept for the next PageUps;
// - the start among the grid's lines whose page ends at the target and holds the most: picked
//   from the lines' heights and checked by laying it out, so the page is as full as the screen
//   allows and the pages before it are found the same way;
// - where no start ends there (the target follows the first page, a forced page break or a
//   section's start by less than a page, or a line too tall to share a page), the page from the
//   nearest start that reaches past it, stopped at the target: the one short page where paging
//   back meets a place paging forward starts from.
// Each search lays out at most from the nearest known start before the target, and never more
// than kBackwardReach positions back when the document offers a break position there.

#include "layout/paginator.h"

#include <algorithm>

#include "bookfiles/document_source.h"
#include "layout/page_layout.h"

namespace {
using LineSpan = PageLineSpan;

// The rows of a top-level table, each a line of its page: a page going back may start at any
// of them, as paging forward cut the table between rows. A table cut inside a row (a row taller
// than its view) or with a cell spanning rows stays one line.
struct TableRowSpans {
    std::vector<LineSpan> rows;
    LineSpan whole{};
    bool cuttable = false;
    bool rowOpen = false;  // the last row's top is not known yet

    void Begin(const TableRecord& t, uint32_t start, int32_t columnTop) {
        rows.clear();
        whole = {start, t.box.y - columnTop, t.box.Bottom() - columnTop, false};
        cuttable = t.content.height <= t.box.height;
        rowOpen = false;
    }
    void Row(uint32_t position) {
        rows.push_back({position, 0, 0, false});
        rowOpen = true;
    }
    void Cell(const CellRecord& cell, uint32_t position, int32_t columnTop) {
        if (rows.empty()) Row(position);
        if (cell.rowSpan > 1) cuttable = false;
        LineSpan& row = rows.back();
        const int32_t top = cell.rect.y - columnTop, bottom = cell.rect.Bottom() - columnTop;
        if (rowOpen || top < row.top) row.top = top;
        if (rowOpen || bottom > row.bottom) row.bottom = bottom;
        rowOpen = false;
    }
    // The table's lines, each row's from its top to the next one's.
    void End(std::vector<LineSpan>& out) {
        if (whole.start == PageRecord::kNone && !rows.empty()) whole.start = rows.front().start;
        bool ok = cuttable && rows.size() >= 2 && !rowOpen;
        for (const LineSpan& r : rows) ok = ok && r.start != PageRecord::kNone && r.bottom > r.top;
        if (!ok) {
            out.push_back(whole);
            return;
        }
        for (size_t i = 0; i + 1 < rows.size(); ++i) rows[i].bottom = rows[i + 1].top;
        rows.back().bottom = whole.bottom;
        rows.front().top = whole.top;
        out.insert(out.end(), rows.begin(), rows.end());
    }
};

void TopLevelLines(BlockContents& contents, int32_t columnTop, std::vector<LineSpan>& out) {
    out.clear();
    // One indexed pass (the search walks every page it lays out): the counts of lines, tables,
    // cells and marks passed index their records.
    int32_t lines = 0, tables = 0, cells = 0, marks = 0;
    int32_t depth = 0;
    bool waiting = false;
    // An empty line (a block's end alone) begins where the next line would begin a page:
    // paging forward starts a page at its first item.
    bool emptyWaiting = false;
    uint32_t emptyStart = PageRecord::kNone;
    TableRowSpans table;
    const int32_t count = contents.Count();
    for (int32_t i = 0; i < count; ++i) {
        const BlockItem* item = contents.ItemAt(i);
        const uint32_t kind = item->kind;
        // A line shows something besides breaks and spaces.
        if (depth == 0 && !out.empty() && kind != kItemLine && kind != kItemStyleChange &&
            kind != kItemFlowMark)
            out.back().blank = false;
        if (kind == kItemLine) {
            const LineRecord* l = contents.Line(lines++);
            if (depth == 0 && l->height > 0) {
                if (waiting) out.pop_back();
                out.push_back(
                    {emptyStart, l->y - columnTop, l->y + l->height - columnTop, true, true});
                waiting = emptyStart == PageRecord::kNone;
                emptyStart = PageRecord::kNone;
                emptyWaiting = false;
            } else if (depth == 0 && !waiting && emptyStart == PageRecord::kNone) {
                emptyWaiting = true;
            }
        } else if (kind == kItemTable) {
            const TableRecord* t = contents.Table(tables++);
            if (depth == 0) {
                if (waiting) out.pop_back();
                waiting = false;
                emptyWaiting = false;
                emptyStart = PageRecord::kNone;
                table.Begin(*t, item->HasPosition() ? item->Position() : PageRecord::kNone,
                            columnTop);
            }
            ++depth;
            continue;
        } else if (kind == kItemRow) {
            if (depth == 1 && item->HasPosition()) table.Row(item->Position());
        } else if (kind == kItemCell) {
            const CellRecord* cell = contents.Cell(cells++);
            if (depth == 1 && cell && item->HasPosition())
                table.Cell(*cell, item->Position(), columnTop);
        } else if (kind == kItemFlowMark) {
            const uint32_t type = contents.Mark(marks++)->type;
            if (!out.empty() && type == kMarkPageBreak) out.back().plain = false;
            if (depth == 0 && !out.empty() && type != kMarkLineBreak && type != kMarkSpace)
                out.back().blank = false;
            if (depth > 0 && type == kMarkTableEnd && --depth == 0) table.End(out);
        } else if (kind == kItemInlineBox && depth == 0 && !out.empty()) {
            out.back().plain = false;
            out.back().picture = true;
        }
        if (waiting && item->HasPosition()) {
            out.back().start = item->Position();
            waiting = false;
        }
        if (emptyWaiting && item->HasPosition()) {
            emptyStart = item->Position();
            emptyWaiting = false;
        }
    }
    if (depth > 0) table.End(out);
    if (waiting) out.pop_back();
}

// Whether the following page's start reaches the target: at or after it, or before it with only
// items that show nothing between (boxes, style changes, spaces, block ends). A page that ends
// at a line that did not fit and one cut short above that line start on either side of them.
bool ReachesTarget(const PageRecord& next, uint32_t target) {
    if (next.start >= target) return true;
    if (!next.block) return false;
    BlockContents& b = *next.block;
    int32_t marks = 0;
    for (int32_t i = 0; i < b.Count(); ++i) {
        const BlockItem* item = b.ItemAt(i);
        if (item->HasPosition() && item->Position() >= target) return true;
        if (item->kind == kItemFlowMark) {
            const uint32_t type = b.Mark(marks++)->type;
            if (type != kMarkSpace && type != kMarkBlockEnd) return false;
        } else if (item->kind != kItemBox && item->kind != kItemBoxAttribute &&
                   item->kind != kItemStyleChange) {
            return false;
        }
    }
    return false;
}

// How many layouts check the starts picked from the lines' heights before the search settles on
// a page stopped at the target.
constexpr int32_t kStartChecks = 4;
// How many times the grid is extended back to hold a screenful of lines before a target.
constexpr int32_t kGridExtensions = 3;
// A grid longer than this is begun anew rather than extended.
constexpr size_t kMaxGridLines = 16384;
// How many pages' worth of text (by the estimate) End lays out from the start.
constexpr int64_t kEndFromStartPages = 48;

// The record of the page after a page laid out (`next`) taken as a page start of its own:
// nothing links it to the page it came from yet, and it is numbered when it is stored.
bool TakeAsStart(PageRecord& next, PageRecord& record) {
    record.Reset();
    record.MoveFrom(next);
    record.used = true;
    record.pageNumber = PageRecord::kNone;
    record.linkOrigin = PageRecord::kNone;
    record.linkStep = 0;
    record.stopAt = PageRecord::kNone;
    record.markIndex = -1;
    return true;
}

}  // namespace

// --- The page map -------------------------------------------------------------------------------

void Paginator::NotePage(uint32_t start, uint32_t end, bool stopped) {
    if (start == kNone || end == kNone || end <= start) return;
    auto at = std::lower_bound(map_.begin(), map_.end(), start,
                               [](const KnownPage& k, uint32_t s) { return k.start < s; });
    if (at != map_.end() && at->start == start) {
        if (at->end != end) at->number = kNone;
        at->end = end;
        at->stopped = stopped;
        return;
    }
    if (map_.size() >= kMaxKnownPages) {
        // The page farthest from this one goes.
        const bool dropFront =
            start - map_.front().start > map_.back().start - start || start > map_.back().start;
        const size_t index = static_cast<size_t>(at - map_.begin());
        if (dropFront) {
            map_.erase(map_.begin());
            at = map_.begin() + static_cast<std::ptrdiff_t>(index == 0 ? 0 : index - 1);
        } else {
            map_.pop_back();
            at = map_.begin() + static_cast<std::ptrdiff_t>(std::min(index, map_.size()));
        }
    }
    map_.insert(at, KnownPage{start, end, kNone, stopped});
}

const Paginator::KnownPage* Paginator::KnownPageAt(uint32_t start) const {
    auto at = std::lower_bound(map_.begin(), map_.end(), start,
                               [](const KnownPage& k, uint32_t s) { return k.start < s; });
    return at != map_.end() && at->start == start ? &*at : nullptr;
}

const Paginator::KnownPage* Paginator::KnownPageEndingAt(uint32_t end) const {
    auto at = std::lower_bound(map_.begin(), map_.end(), end,
                               [](const KnownPage& k, uint32_t s) { return k.start < s; });
    // Pages ending there start shortly before it: the fullest one (the earliest start) wins, one
    // laid out whole before one stopped there.
    const KnownPage* best = nullptr;
    for (int32_t n = 0; at != map_.begin() && n < 64; ++n) {
        --at;
        if (at->end != end) continue;
        if (!best || best->stopped || !at->stopped) best = &*at;
    }
    return best;
}

const Paginator::KnownPage* Paginator::KnownPageBefore(uint32_t position) const {
    auto at = std::lower_bound(map_.begin(), map_.end(), position,
                               [](const KnownPage& k, uint32_t s) { return k.start < s; });
    return at == map_.begin() ? nullptr : &*std::prev(at);
}

void Paginator::NoteBreakStart(uint32_t start) {
    auto at = std::lower_bound(breakStarts_.begin(), breakStarts_.end(), start);
    if (at != breakStarts_.end() && *at == start) return;
    if (breakStarts_.size() >= kMaxKnownPages) return;
    breakStarts_.insert(at, start);
}

bool Paginator::IsFixedStart(uint32_t start, int64_t lower) const {
    return (firstKnown_ && start <= first_.start) || static_cast<int64_t>(start) <= lower ||
           std::binary_search(breakStarts_.begin(), breakStarts_.end(), start);
}

uint32_t Paginator::TrailedBefore(uint32_t start) const {
    const KnownPage* k = KnownPageEndingAt(start);
    return k ? k->start : kNone;
}

void Paginator::KeepTrail(uint32_t before, uint32_t start) {
    if (before == kNone || start == kNone || before >= start) return;
    NotePage(before, start, KeptStop(before) == start);
}

std::vector<Paginator::TrailEntry> Paginator::TrailUpTo(uint32_t start, size_t count) const {
    std::vector<TrailEntry> up;
    for (uint32_t before = TrailedBefore(start); before != kNone && up.size() < count;
         before = TrailedBefore(start)) {
        up.push_back({before, start});
        start = before;
    }
    return up;
}

void Paginator::ForgetKnownLines() {
    map_.clear();
    breakStarts_.clear();
    ForgetGrid();
    ForgetCount();
}

// --- Laying pages out for a search
// ----------------------------------------------------------------

bool Paginator::LayOutAside(PageRecord& record, PageSlot& slot, PageRecord& follower, bool& more) {
    // A search says nothing of the last page: what is known of it stays.
    const uint32_t lastNumber = lastNumber_, lastStart = lastStart_, lastSteps = lastSteps_;
    const bool wasProbing = probing_;
    probing_ = true;
    const bool ok = LayoutSlot(record, slot, false, follower, more);
    probing_ = wasProbing;
    lastNumber_ = lastNumber;
    lastStart_ = lastStart;
    lastSteps_ = lastSteps;
    layout_.ReleaseSourceBuffers();
    return ok;
}

bool Paginator::StartRecordAt(uint32_t start, PageRecord& record) {
    record.Reset();
    const PageRecord* known = nullptr;
    if (firstKnown_ && start == first_.start) known = &first_;
    for (const PageRecord& r : records_)
        if (!known && r.IsUsed() && r.start == start) known = &r;
    for (const PageRecord& r : gridPages_)
        if (!known && r.IsUsed() && r.start == start) known = &r;
    if (!known && layout_.StartsAtTabs(start)) {
        // Read afresh there, a listing's TABs give other blanks: the page is cut from a page of
        // the walk that holds its line.
        auto line = std::lower_bound(grid_.begin(), grid_.end(), start,
                                     [](const GridLine& l, uint32_t s) { return l.start < s; });
        if (line != grid_.end() && line->start == start && !line->pageTop &&
            StartLineRecord(static_cast<int32_t>(line - grid_.begin()), record, false))
            return true;
        // Else the page shown before it, laid out again, leaves it as it was shown.
        const KnownPage* before = KnownPageEndingAt(start);
        PageRecord page, next;
        PageSlot aside;
        bool more = false;
        if (before && !before->stopped && tabDepth_ < kMaxTabDepth) {
            ++tabDepth_;
            const bool ok = StartRecordAt(before->start, page);
            --tabDepth_;
            if (!ok || !LayOutAside(page, aside, next, more) || !more || next.start != start)
                before = nullptr;
        } else {
            before = nullptr;
        }
        aside.record = nullptr;
        if (before) return TakeAsStart(next, record);
    }
    if (known) {
        // Carried over as paging forward reached it, with nothing replayed.
        record.used = record.CopyFrom(*known);
        record.tables.clear();
        record.markIndex = -1;
    } else {
        record.pageNumber = kNone;
        if (!layout_.LayoutPageFrom(start, record, false)) record.Reset();
    }
    record.stopAt = kNone;
    return record.IsUsed();
}

bool Paginator::StartLineRecord(int32_t line, PageRecord& record, bool afresh) {
    const uint32_t start = grid_[line].start;
    int32_t top = line;
    while (top > 0 && !grid_[top].pageTop) --top;
    // A markup text is read again from a checkpoint to start a page anywhere; a plain text
    // starts there at once, but on a line wrapped inside the blanks that line up a listing's
    // columns (read afresh from there, its TABs would give other blanks).
    const PageRecord* page = nullptr;
    for (const PageRecord& r : gridPages_)
        if (top != line && r.IsUsed() && r.start == grid_[top].start &&
            (!layout_.StartsAnywhereAtOnce() || layout_.StartsAtTabs(start)))
            page = &r;
    if (const LineStartRecords::Entry* kept = top != line ? LineStartAt(start) : nullptr;
        kept && (!layout_.StartsAnywhereAtOnce() || layout_.StartsAtTabs(start))) {
        record.Reset();
        if (record.CopyFrom(*kept->record) && record.elements.Assign(*kept->elements)) {
            record.used = true;
            return true;
        }
        record.Reset();
    }
    if (page) {
        // The walk's page cut just above the line: the page after the cut starts there as
        // paging forward would start it, with nothing replayed.
        PageRecord cut, next;
        PageSlot aside;
        bool more = false;
        cut.used = cut.CopyFrom(*page);
        cut.stopAt = kNone;
        // (A page cut short leaves what is known of the last page, and notes no page.)
        const bool ok = cut.used && LayoutSlotCapped(cut, aside, grid_[line].top, next, more);
        aside.record = nullptr;
        layout_.ReleaseSourceBuffers();
        // (A cut that starts elsewhere than the line, before what shows nothing, is not
        // taken: the page is started at the line itself, as from any other page.)
        if (ok && more && next.start == start) return TakeAsStart(next, record);
    }
    return afresh && StartRecordAt(start, record);
}

bool Paginator::EndsAt(const PageRecord& follower, bool more, uint32_t target) const {
    if (!more) return target >= layout_.TextLength();
    return follower.start == target || (follower.start < target && ReachesTarget(follower, target));
}

bool Paginator::EndsAt(const PageSlot& slot, const PageRecord& follower, bool more,
                       uint32_t target) const {
    if (EndsAt(follower, more, target)) return true;
    if (!more || follower.start < target) return false;
    // The page's last items from the target on show nothing (a paragraph's box and breaks that
    // paging forward puts at the top of the page after it instead).
    for (int32_t i = slot.contents.Count() - 1; i >= 0; --i) {
        const BlockItem* item = slot.contents.ItemAt(i);
        if (!item->HasPosition()) continue;
        if (item->Position() < target) return true;
        if (item->kind == kItemTextRun || item->kind == kItemInlineBox || item->kind == kItemTable)
            return false;
    }
    return true;
}

// --- The grid: the lines paging forward lays out before a target
// ------------------------------------

void Paginator::ForgetGrid() {
    grid_.clear();
    gridPages_.clear();
    lineStarts_.Clear();
    walkSlot_.Reset();
    gridFrom_ = gridTo_ = kNone;
}

void Paginator::KeepGridPage(PageRecord& page) {
    for (const PageRecord& r : gridPages_)
        if (r.start == page.start) return;
    if (gridPages_.size() >= kMaxGridPages) gridPages_.pop_front();
    PageRecord kept;
    kept.MoveFrom(page);
    kept.used = true;
    kept.tables.clear();
    kept.stopAt = kNone;
    gridPages_.push_back(std::move(kept));
}

bool Paginator::WalkForward(PageRecord& page, uint32_t until, std::vector<GridLine>& lines,
                            uint32_t& reached, bool keepLineStarts) {
    std::vector<LineSpan> spans;
    const int32_t columnTop = layout_.Column(0).y;
    for (int32_t guard = 0; guard < 100000; ++guard) {
        // One slot for the walk's pages: its storage serves page after page.
        PageSlot& aside = walkSlot_;
        PageRecord next;
        bool more = false;
        page.stopAt = kNone;
        // (A markup text's page starts inside a walk's page from the record its layout left
        // at the line; a plain text starts there at once.)
        const size_t kept = lineStarts_.records.size();
        const bool keepStarts =
            keepLineStarts && quickSearch_ && !layout_.StartsAnywhereAtOnce();
        if (keepStarts) layout_.SetLineStartSink(&lineStarts_);
        const bool ok = LayOutAside(page, aside, next, more);
        layout_.SetLineStartSink(nullptr);
        aside.record = nullptr;
        if (!ok) return false;
        TopLevelLines(aside.contents, columnTop, spans);
        if (keepStarts) KeepLineStarts(kept, spans);
        bool top = true;
        for (const LineSpan& l : spans) {
            const uint32_t s = top ? page.start : l.start;
            if (s == kNone || (!lines.empty() && s <= lines.back().start)) continue;
            lines.push_back({s, l.top, l.bottom, top, !top && l.blank});
            top = false;
        }
        reached = more ? next.start : layout_.TextLength();
        const uint32_t start = page.start;
        // Kept (moved, as laying it out left it) for starting pages inside it.
        KeepGridPage(page);
        if (!more || next.start <= start || next.start >= until) return true;
        page.Reset();
        page.MoveFrom(next);
        page.used = true;
    }
    return false;
}

bool Paginator::WalkStartBefore(uint32_t target, int64_t lower, PageRecord& page,
                                bool toParagraph) {
    // A grid begun or extended back holds the stretch allowed before its target.
    const uint32_t reach = kBackwardReach;
    // The nearest start known below the target: the first page, a stored record, a page shown.
    uint32_t best = first_.start;
    for (const PageRecord& r : records_)
        if (r.IsUsed() && r.start < target && r.start > best) best = r.start;
    if (const KnownPage* k = KnownPageBefore(target); k && k->start > best) best = k->start;
    if (static_cast<int64_t>(best) < lower && lower < target) best = static_cast<uint32_t>(lower);
    if (target - best <= reach) return StartRecordAt(best, page);
    // Too far back: a break the document offers within reach, else the start of the paragraph
    // that holds the position that far back (lines wrap from there as paging forward wraps
    // them).
    const uint32_t lo = std::max(best, target - reach);
    DocumentSource* doc = layout_.Document();
    const int32_t br = doc ? doc->SearchRange(lo, target, true) : -1;
    if (br >= 0 && static_cast<uint32_t>(br) >= lo && static_cast<uint32_t>(br) < target) {
        NoteBreakStart(static_cast<uint32_t>(br));
        return StartRecordAt(static_cast<uint32_t>(br), page);
    }
    page.Reset();
    page.pageNumber = kNone;
    if (!layout_.LayoutPageFrom(lo, page, true)) return false;
    if (page.start >= target) {
        // A token longer than the reach (a long listing) holds the target: the page starts
        // inside it.
        page.Reset();
        page.pageNumber = kNone;
        if (!layout_.LayoutPageFrom(lo, page, false)) return false;
    }
    // (A grid extended back only needs lines: its first paragraph, farthest from the target,
    // may wrap otherwise, and is not read again for its start.)
    const uint32_t para = toParagraph ? layout_.ParagraphStart(page, kBackwardReach) : kNone;
    if (para != kNone && para > best && para < page.start) {
        PageRecord from;
        from.pageNumber = kNone;
        if (layout_.LayoutPageFromParagraph(para, from)) {
            page.Reset();
            page.MoveFrom(from);
            page.used = true;
        }
    }
    page.stopAt = kNone;
    return page.IsUsed() && page.start < target;
}

int64_t Paginator::GridHeightBefore(uint32_t target) const {
    int64_t height = 0;
    for (size_t i = 0; i < grid_.size() && grid_[i].start < target; ++i) {
        const bool last =
            i + 1 == grid_.size() || grid_[i + 1].start >= target || grid_[i + 1].pageTop;
        height += last ? grid_[i].bottom - grid_[i].top : grid_[i + 1].top - grid_[i].top;
    }
    return height;
}

bool Paginator::ExtendGridBack(int64_t lower) {
    const uint32_t to = gridFrom_;
    PageRecord page;
    if (!WalkStartBefore(to, lower, page, false) || page.start >= to) return false;
    const uint32_t from = page.start;
    std::vector<GridLine> lines;
    uint32_t reached = kNone;
    // Paging back goes on past the walk before: the pages going back through this stretch
    // start from the records its lines leave. (The first walk before a target, after a jump,
    // serves one PageUp for certain: its pages are cut instead.)
    if (!WalkForward(page, to, lines, reached, true)) return false;
    std::erase_if(lines, [to](const GridLine& l) { return l.start >= to; });
    if (lines.empty()) return false;
    grid_.insert(grid_.begin(), lines.begin(), lines.end());
    gridFrom_ = from;
    return true;
}

bool Paginator::GridBefore(uint32_t target, int64_t lower) {
    const bool usable = !grid_.empty() && quickSearch_ && gridFrom_ < target && gridTo_ != kNone &&
                        target <= gridTo_ && grid_.size() < kMaxGridLines;
    if (!usable) {
        ForgetGrid();
        PageRecord page;
        if (!WalkStartBefore(target, lower, page) || page.start >= target) return false;
        const uint32_t from = page.start;
        uint32_t reached = kNone;
        if (!WalkForward(page, target, grid_, reached) || grid_.empty()) {
            ForgetGrid();
            return false;
        }
        gridFrom_ = from;
        gridTo_ = reached;
    }
    // A screenful of lines before the target, or every line from a place pages start at.
    const int64_t room = static_cast<int64_t>(layout_.Column(0).height) * layout_.ColumnCount();
    for (int32_t n = 0;
         n < kGridExtensions && !IsFixedStart(gridFrom_, lower) && GridHeightBefore(target) <= room;
         ++n)
        if (!ExtendGridBack(lower)) break;
    return true;
}

// --- The search
// -----------------------------------------------------------------------------------

bool Paginator::RetracePageBefore(PageSlot& slot, uint32_t target, PageRecord& found,
                                  PageRecord& follower, bool& more) {
    uint32_t start = kNone;
    bool stopped = false;
    if (const PageRecord* r = FindPageRecord(target, PageStepCode::kPageEndingHere)) {
        start = r->start;
        stopped = r->stopAt == target;
    } else if (const KnownPage* k = KnownPageEndingAt(target)) {
        start = k->start;
        stopped = k->stopped;
    }
    if (start == kNone || start >= target) return false;
    if (!StartRecordAt(start, found)) return false;
    found.stopAt = stopped ? target : kNone;
    if (LayOutAside(found, slot, follower, more) && EndsAt(slot, follower, more, target))
        return true;
    ResetSlot(slot);
    found.Reset();
    return false;
}

int32_t Paginator::FitBefore(int32_t lo, int32_t m) const {
    const int64_t room = static_cast<int64_t>(layout_.Column(0).height) * layout_.ColumnCount();
    int64_t used = grid_[m].bottom - grid_[m].top;
    int32_t i = m;
    while (i > lo) {
        const GridLine& before = grid_[i - 1];
        // Where the lines come from two pages of the walk, the line's own height stands for the
        // room between them.
        const int64_t advance =
            grid_[i].pageTop ? before.bottom - before.top : grid_[i].top - before.top;
        if (used + advance > room) break;
        used += advance;
        --i;
    }
    return i;
}

int64_t Paginator::RoomBelow(const PageSlot& slot) const {
    // The content height counts one pixel past the tallest column.
    return static_cast<int64_t>(layout_.Column(0).height) - (slot.contentHeight - 1);
}

int64_t Paginator::Advance(int32_t line) const {
    const GridLine& l = grid_[line];
    const bool last = line + 1 == static_cast<int32_t>(grid_.size()) || grid_[line + 1].pageTop;
    return last ? l.bottom - l.top : grid_[line + 1].top - l.top;
}

bool Paginator::SearchPageEndingAt(PageSlot& slot, uint32_t target, PageRecord& found,
                                   PageRecord& follower, bool& more, int32_t depth) {
    const int64_t lower = LowestPageStart(target);
    if (!GridBefore(target, lower)) return false;
    // The grid's lines before the target, from the latest place pages start at.
    auto after = std::lower_bound(grid_.begin(), grid_.end(), target,
                                  [](const GridLine& l, uint32_t t) { return l.start < t; });
    const int32_t m = static_cast<int32_t>(after - grid_.begin()) - 1;
    if (m < 0) return false;
    int32_t lo = 0;
    for (int32_t j = m; j >= 0; --j) {
        if (static_cast<int64_t>(grid_[j].start) < lower) {
            lo = j + 1;
            break;
        }
        if (grid_[j].pageTop && IsFixedStart(grid_[j].start, lower)) {
            lo = j;
            break;
        }
    }
    if (lo > m) return false;
    if (depth == 0) KeepExpectedStarts(target, lo);

    auto layOut = [&](int32_t i, uint32_t stop) {
        ResetSlot(slot);
        if (!StartLineRecord(i, found) || found.start >= target) return false;
        found.stopAt = stop;
        return LayOutAside(found, slot, follower, more);
    };
    auto endOf = [&]() { return more ? follower.start : layout_.TextLength(); };

    // The start whose page ends at the target and holds the most: from the lines' heights,
    // checked by laying it out. A page from an earlier start ends earlier. (Blank lines are
    // passed over: paging forward starts no page on one. Blank lines right before the target
    // take no room: paging forward drops them at a page's end.)
    auto startable = [&](int32_t j, int32_t step) {
        while (j >= lo && j <= m && grid_[j].blank) j += step;
        return j;
    };
    int32_t last = m;
    while (last > lo && grid_[last].blank) --last;
    int32_t i = startable(FitBefore(lo, last), 1);
    if (i > m) i = startable(m, -1);
    int32_t over = -1, under = -1;
    for (int32_t check = 0; check < kStartChecks && i >= lo && i <= m; ++check) {
        if (!layOut(i, kNone)) break;
        if (EndsAt(slot, follower, more, target)) {
            // The earliest start that ends there: an earlier line is tried only while the page
            // laid out leaves room for it at its foot (the line that did not fit there still
            // does not), and never below a start that fell short.
            for (int32_t e = startable(i - 1, -1);
                 e >= lo && (under < 0 || e > under) && RoomBelow(slot) >= Advance(e);
                 e = startable(e - 1, -1)) {
                if (!layOut(e, kNone) || !EndsAt(slot, follower, more, target))
                    return layOut(i, kNone) && EndsAt(slot, follower, more, target);
                i = e;
            }
            return true;
        }
        int32_t next;
        if (endOf() > target) {
            over = over < 0 ? i : std::min(over, i);
            next = startable(i - 1, -1);
        } else {
            under = std::max(under, i);
            next = startable(i + 1, 1);
        }
        if (next < lo || next > m || (over >= 0 && next >= over) || (under >= 0 && next <= under))
            break;
        i = next;
    }
    // The page paging forward shows before the target, when the grid ends a page there.
    const bool gridEnds = (after != grid_.end() && after->start == target && after->pageTop) ||
                          (after == grid_.end() && gridTo_ == target);
    if (gridEnds) {
        int32_t p = m;
        while (p > lo && !grid_[p].pageTop) --p;
        if (grid_[p].pageTop && layOut(p, kNone) && EndsAt(slot, follower, more, target))
            return true;
    }
    // No start ends exactly there: the earliest that reaches past it, stopped at the target
    // (the page of the grid that holds the target when none was seen).
    if (over < 0) {
        over = m;
        while (over > lo && !grid_[over].pageTop) --over;
    }
    bool cut = layOut(over, target);
    if (cut && more && follower.start <= found.start) cut = false;
    if (!cut && over == lo && grid_[lo].pageTop && grid_[lo].start > first_.start &&
        grid_[lo].start < target && depth == 0) {
        // Nothing shows before the target on the page from that start (the target is where its
        // first line's words begin): the page before is the one ending at that start.
        return SearchPageEndingAt(slot, grid_[lo].start, found, follower, more, 1) &&
               EndsAt(slot, follower, more, target);
    }
    return cut && (EndsAt(slot, follower, more, target) || endOf() > target);
}

bool Paginator::StoreFound(int32_t s, uint32_t target, uint32_t after, PageRecord& found,
                           PageRecord& follower, bool more, PageRecord*& out) {
    PageSlot& slot = slots_[s];
    const uint32_t stop = found.stopAt;
    if (found.start <= first_.start) {
        // The first page, stopped where the page after it starts when paging back meets it
        // there: the slot holds that layout.
        first_.stopAt = stop;
        first_.end = found.end;
        first_.steps = found.steps;
        slot.record = &first_;
        out = &first_;
    } else {
        // Its last step is numbered just before the page after it.
        found.pageNumber = after == kNone || after <= found.steps + 1 ? 2 : after - found.steps;
        found.markIndex = -1;
        found.useStamp = NextStamp();
        found.linkOrigin = kNone;
        found.linkStep = 0;
        out = StoreRecord(found);
        if (!out) {
            ReleaseSlot(s);
            return false;
        }
        out->stopAt = stop;
    }
    if (stop != kNone)
        KeepStop(out->start, stop);
    else
        ForgetStop(out->start);
    PageRecord* at = more && follower.start != target && target < layout_.TextLength()
                         ? FindPageRecord(target, PageStepCode::kSamePage)
                         : nullptr;
    if (at && at != out) {
        // It ends where only what shows nothing lies before the target: the page after it is
        // the page at the target (the one paging back came from).
        const uint32_t start = out->start;
        out->end = target;
        at->linkOrigin = start;
        at->linkStep = StepValue(PageStepCode::kNextPage);
        NotePage(start, target, stop != kNone);
        out = FindPageRecord(start, PageStepCode::kSamePage);
    } else if (more) {
        const uint32_t start = out->start;
        follower.markIndex = -1;
        follower.pageNumber = out->pageNumber + out->steps;
        follower.linkOrigin = start;
        follower.linkStep = StepValue(PageStepCode::kNextPage);
        follower.useStamp = NextStamp();
        StoreRecord(follower);
        out = FindPageRecord(start, PageStepCode::kSamePage);
    } else {
        RememberLast(*out);
    }
    (void)target;
    return out != nullptr;
}

bool Paginator::LayoutPageEndingAt(uint32_t target, uint32_t pageNumber, PageRecord*& out) {
    out = nullptr;
    if (!firstKnown_ && !layout_.LayoutFirstPage()) return false;
    if (target <= first_.start) return false;
    const int32_t s = ChooseSlot();
    PageSlot& slot = slots_[s];
    PageRecord found, follower;
    bool more = false;
    if (!RetracePageBefore(slot, target, found, follower, more) &&
        !SearchPageEndingAt(slot, target, found, follower, more)) {
        ReleaseSlot(s);
        return false;
    }
    return StoreFound(s, target, pageNumber, found, follower, more, out);
}

// --- The page before a position ---------------------------------------------------------------

bool Paginator::FindPageBefore(uint32_t position, PageRecord*& out) {
    out = nullptr;
    if (!firstKnown_ && !layout_.LayoutFirstPage()) return false;
    if (position <= first_.start) return false;
    uint32_t from = kNone;
    if (PageRecord* r = FindPageRecord(position, PageStepCode::kPageEndingHere)) from = r->start;
    if (from == kNone || from >= position) {
        from = first_.start;
        for (const PageRecord& r : records_)
            if (r.IsUsed() && r.start < position && r.start > from) from = r.start;
        if (position - from > kBackwardReach) {
            // Clamped so that an early page does not reach below the first page.
            uint32_t lo = std::max(first_.start, position - kBackwardReach);
            DocumentSource* doc = layout_.Document();
            int32_t br = doc ? doc->SearchRange(lo, position, true) : -1;
            PageRecord fresh;
            bool hasBreak =
                br >= 0 && static_cast<uint32_t>(br) >= lo && static_cast<uint32_t>(br) < position;
            if (!layout_.LayoutPageFrom(hasBreak ? static_cast<uint32_t>(br) : lo, fresh,
                                        !hasBreak))
                return false;
            if (fresh.start >= position) return false;
            from = fresh.start;
            if (!FindPageRecord(from, PageStepCode::kSamePage)) {
                fresh.useStamp = NextStamp();
                if (!StoreRecord(fresh)) return false;
            }
        }
    }
    uint32_t previous = kNone;
    uint32_t at = from;
    for (int32_t guard = 0; at < position && guard < 100000; ++guard) {
        PageRecord* next = FindPageRecord(at, PageStepCode::kNextPage);
        if (!next) {
            if (!LayoutPageAt(at, false)) return false;
            next = FindPageRecord(at, PageStepCode::kNextPage);
        }
        if (!next) {
            // The text ends on this page, so it runs past the position: it is the one before.
            previous = at;
            break;
        }
        if (next->start <= at) return false;
        previous = at;
        at = next->start;
    }
    if (previous == kNone) return false;
    out = FindPageRecord(previous, PageStepCode::kSamePage);
    if (!out) return false;
    if (!layout_.SameSection(out->start, position)) {
        out = nullptr;
        return false;
    }
    return true;
}

// --- Counting from the first page -------------------------------------------------------------

// The lowest start a page ending at the target can have: its section's start (the first page's,
// when the section before is one that pages cross), or a break the document reports within a
// page's estimate before it.
int64_t Paginator::LowestPageStart(uint32_t target) {
    const int64_t firstStart = first_.start;
    const int64_t estimate = layout_.CharsPerPageEstimate();
    int64_t lower = firstStart;
    uint32_t ss = 0, se = 0;
    bool clear = true;
    if (layout_.SectionOf(target, ss, se, clear)) {
        lower = ss;
        uint32_t ps = 0, pe = 0;
        bool pclear = true;
        if (ss > 0 && clear && layout_.SectionOf(ss - 1, ps, pe, pclear) && pclear)
            lower = firstStart;
    }
    if (DocumentSource* doc = layout_.Document()) {
        int64_t lo = std::max<int64_t>(0, static_cast<int64_t>(target) - estimate);
        int32_t br = doc->SearchRange(static_cast<uint32_t>(lo), target + 1, true);
        if (br >= 0 && static_cast<uint32_t>(br) < target) lower = br;
    }
    return std::max(lower, firstStart);
}

bool Paginator::PagedFromFirst() {
    if (!firstKnown_ && !layout_.LayoutFirstPage()) return false;
    const uint32_t length = layout_.TextLength();
    if (length <= first_.start) return false;
    return LowestPageStart(length) <= first_.start &&
           length - first_.start <= kEndFromStartPages * layout_.CharsPerPageEstimate();
}

PageRecord* Paginator::WalkFromFirst(uint32_t n) {
    if (!firstKnown_ && !layout_.LayoutFirstPage()) return nullptr;
    PageRecord* r = &first_;
    // Page n is a step of the page whose steps hold it.
    for (int32_t guard = 0; guard < 100000 && (n == kNone || r->pageNumber + r->steps <= n);
         ++guard) {
        const uint32_t from = r->start;
        const uint32_t number = r->pageNumber;
        if (lastStart_ == from) break;
        PageRecord* next = FindPageRecord(from, PageStepCode::kNextPage);
        if (!next) {
            next = LayoutFollower(from);
            if (lastStart_ == from) break;
        }
        if (!next || next->start <= from) return nullptr;
        // A page stored going back carries an estimated number: here it gets its own.
        next->pageNumber = number + r->steps;
        r = next;
    }
    return FindPageRecord(r->start, PageStepCode::kSamePage);
}
