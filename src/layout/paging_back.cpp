// Paging back: the page before a position, and the page that ends exactly at one.

#include "layout/paginator.h"

#include <algorithm>

#include "bookfiles/document_source.h"
#include "document/markup/html_tokenizer.h"
#include "layout/page_layout.h"

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
                out.push_back({PageRecord::kNone, l->y - columnTop, l->y + l->height - columnTop,
                               true, true});
                waiting = true;
            }
        } else if (kind == kItemTable) {
            const TableRecord* t = contents.Table(tables++);
            if (depth == 0) {
                if (waiting) out.pop_back();
                waiting = false;
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
    }
    if (depth > 0) table.End(out);
    if (waiting) out.pop_back();
}

// Where the table read view by view stands that the page laid out in `contents` ends right
// below, or kNone: the table lies on the page whole (from its first row to its end), is only
// wider than its view, and nothing but blank lines follows it before the target. Paging
// forward's page from the table, stopped at the target, would hold the table alone.
uint32_t WholeWideTableEndingPage(BlockContents& contents, uint32_t target) {
    constexpr uint32_t kNone = PageRecord::kNone;
    int32_t tables = 0, marks = 0, depth = 0;
    bool viewed = false, open = false;  // open: a viewed table whose end is not met yet
    const TableRecord* t = nullptr;
    uint32_t tableAt = kNone, tableStart = 0;
    for (int32_t i = 0; i < contents.Count(); ++i) {
        const BlockItem* item = contents.ItemAt(i);
        const uint32_t kind = item->kind;
        if (item->HasPosition() && item->Position() >= target) break;
        if (kind == kItemTable) {
            const TableRecord* r = contents.Table(tables++);
            if (depth++ > 0) continue;
            // Another table after the one read view by view.
            if (viewed) return kNone;
            t = r;
            tableAt = item->HasPosition() ? item->Position() : kNone;
            if (!t || tableAt == kNone) return kNone;
            if (t->content.height > t->box.height) return kNone;
            open = t->content.width > t->box.width;
            if (!open) continue;
            viewed = true;
            tableStart = t->start;
        } else if (kind == kItemRow && depth == 1 && open && t) {
            // A table continued from the page before starts with its next row.
            if (!item->HasPosition() || item->Position() <= tableAt) return kNone;
            t = nullptr;
        } else if (kind == kItemFlowMark) {
            const FlowMark* m = contents.Mark(marks++);
            if (m->type != kMarkTableEnd || depth == 0 || --depth > 0 || !open) continue;
            // Where paging cut the table, the rest of it follows its end as a table of its own.
            if (i + 1 < contents.Count() && contents.ItemAt(i + 1)->kind == kItemTable &&
                contents.Table(tables) && contents.Table(tables)->start == tableStart)
                return kNone;
            open = false;
        } else if (depth == 0 && viewed && (kind == kItemTextRun || kind == kItemInlineBox)) {
            return kNone;  // words or a picture below the table
        }
    }
    return viewed && !open ? tableAt : kNone;
}

// Whether the page from the line before a page laid out in `contents` (which reaches the
// target) would fall short of it; false when that cannot be told without laying it out.
bool EarlierLineFallsShort(BlockContents& contents, int32_t columnTop, int32_t columnHeight,
                           uint32_t target, const LineSpan& earlier, std::vector<LineSpan>& lines) {
    if (!earlier.plain) return false;
    TopLevelLines(contents, columnTop, lines);
    int32_t need = -1;
    for (const LineSpan& l : lines) {
        if (l.start == PageRecord::kNone || !l.plain) return false;
        if (l.start < target) need = l.bottom;
    }
    return need >= 0 && static_cast<int64_t>(need) + (earlier.bottom - earlier.top) > columnHeight;
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

constexpr int32_t kEndingSearchAttempts = 4;
// How many pages' worth of text (by the estimate) End lays out from the start.
constexpr int64_t kEndFromStartPages = 48;
constexpr int32_t kEndingSearchTries = 4;
constexpr int32_t kEndingChainPages = 512;
// How many of the pages a search went through are kept as records: the next PageUps start
// from them. The page found and the page after it need records of their own too.
constexpr size_t kChainKept = Paginator::kMaxRecords - 3;
// A page holding a table larger than its view is sought among the pages paging forward from the
// first shows: run up to from the lowest start, or from the latest page kept of an earlier such
// run before it. One page in kForwardPageEvery of a run is kept, so that a later run starts a
// few pages before its target: a run from the lowest start is made once. At most
// kForwardPagesKept are kept: when they are all taken every other one goes, so that the kept
// pages still reach over the whole text, further apart.
constexpr int32_t kForwardPageEvery = 16;
constexpr size_t kForwardPagesKept = 256;

}  // namespace

bool Paginator::LayoutSlotTop(PageRecord& record, PageSlot& slot, int32_t fill,
                              PageRecord& follower, bool& moreText) {
    const int32_t saved = layout_.fillLimit_;
    // A probe says nothing of the last page: what is known of it stays.
    const uint32_t lastNumber = lastNumber_, lastStart = lastStart_, lastSteps = lastSteps_,
                   end = record.end, steps = record.steps;
    layout_.fillLimit_ = fill;
    bool ok = LayoutSlot(record, slot, false, follower, moreText);
    layout_.fillLimit_ = saved;
    lastNumber_ = lastNumber;
    lastStart_ = lastStart;
    lastSteps_ = lastSteps;
    record.end = end;
    record.steps = steps;
    return ok;
}

// Lays out the top of `page` down to a little past the target, as many lines as the page
// before's density gives with a margin. It stands for the whole page when it ends after the
// target and every line before the target is plain (words and spaces lay out alike whatever the
// room below them): the whole page then places the same lines and more, so it holds the target
// without ending on it. linesHere gets the lines probed.
bool Paginator::ProbeTop(PageSlot& slot, PageRecord& page, const PageRecord& before,
                         const std::vector<PageLineSpan>& linesBefore, uint32_t target,
                         std::vector<PageLineSpan>& linesHere) {
    const int64_t chars = static_cast<int64_t>(page.start) - before.start;
    const int64_t n = static_cast<int64_t>(linesBefore.size());
    const int64_t lineHeight = (linesBefore.back().bottom - linesBefore.front().top) / n;
    // The page holding the end of the text is the last one: it is always laid out whole.
    if (chars <= 0 || lineHeight < 1 || target <= page.start || target >= layout_.TextLength())
        return false;
    const int64_t lines = (static_cast<int64_t>(target - page.start) * n * 5) / (chars * 4) + 2;
    const int64_t fill = linesBefore.front().top + lines * lineHeight;
    if (fill >= layout_.columns_[0].height) return false;
    PageRecord ahead;
    bool aheadMore = false;
    // Not stopped at the target: the probe has to show a line after it.
    const uint32_t stop = page.stopAt;
    page.stopAt = kNone;
    bool ok = LayoutSlotTop(page, slot, static_cast<int32_t>(fill), ahead, aheadMore);
    page.stopAt = stop;
    if (!ok || !aheadMore || ahead.start <= target) return false;
    TopLevelLines(slot.contents, layout_.columns_[0].y, linesHere);
    for (const LineSpan& l : linesHere) {
        if (l.start >= target) break;
        if (!l.plain) return false;
    }
    return !linesHere.empty();
}

// From a page that starts before the target, pages are laid out forward until one holds the
// target or ends there. One that ends there is the answer. Otherwise the page before the
// target starts on a line of the page before that one: the line is picked from the measured
// heights, and the page is cut there and laid out to check that it reaches the target.
Paginator::EndingSearch Paginator::SearchPageEndingAt(PageSlot& slot, PageRecord& page,
                                                      uint32_t target, bool atLowest,
                                                      PageRecord& accepted, PageRecord& follower,
                                                      bool& moreText, bool& laidOut,
                                                      std::vector<PageRecord>& chain) {
    laidOut = false;
    PageRecord before, next;
    std::vector<LineSpan> linesBefore, linesHere;
    bool hasBefore = false, hardBefore = false, more = false;
    // The page holding the target probed only down to a little past it (its lines are all
    // that the cut needs); it is laid out whole only when it is itself the answer.
    bool probed = false;
    // Where the known page probed ends (its following page is not laid out).
    uint32_t knownEnd = kNone;
    const int32_t top = layout_.columns_[0].y;
    // Every page is laid out stopping at the target: the one that holds it then ends there,
    // and needs no second layout when it is the answer. One that ends at the target without
    // being stopped ends there of itself.
    bool stopped = false;
    // The page before starts right after a forced page break. It is cut from like any other:
    // what is left of its chapter then lands at the break, where the page paging forward shows
    // is shown instead (LayoutPageEndingAt).
    bool beforeAfterBreak = false;
    int32_t guard = 0;
    for (; guard < kEndingChainPages; ++guard) {
        slot.record = &page;
        page.stopAt = target < layout_.TextLength() ? target : kNone;
        // A page an earlier search laid out whole, whose following page is stored: its lines
        // are known. One that ends before the target is passed over; one that holds it stands
        // for its layout as a probe does (it is laid out only when it is the answer).
        const KnownLines* known = nullptr;
        const PageRecord* knownNext = nullptr;
        if (quickSearch_ && !layout_.content_ && layout_.columnCount_ == 1 && page.tables.empty() &&
            page.start < target)
            known = FindKnownLines(page.start);
        if (known && hasBefore && !hardBefore && linesBefore.size() >= 2 && known->end > target &&
            !known->lines.empty()) {
            linesHere = known->lines;
            knownEnd = known->end;
            probed = true;
            break;
        }
        if (known) {
            for (const PageRecord& r : records_)
                if (r.IsUsed() && r.linkOrigin == page.start &&
                    r.linkStep == StepValue(PageStepCode::kNextPage))
                    knownNext = &r;
            if (!knownNext || knownNext->start != known->end) known = nullptr;
        }
        bool fromKnown = false;
        if (known && !ReachesTarget(*knownNext, target) && next.CopyFrom(*knownNext)) {
            next.used = true;
            next.tables.clear();
            more = true;
            stopped = false;
            page.end = known->end;
            linesBefore = known->lines;
            fromKnown = true;
        } else {
            if (hasBefore && quickSearch_ && layout_.columnCount_ == 1 && !hardBefore &&
                linesBefore.size() >= 2 &&
                ProbeTop(slot, page, before, linesBefore, target, linesHere)) {
                probed = true;
                break;
            }
            if (!LayoutSlot(page, slot, false, next, more)) return kEndingFailed;
            stopped = layout_.stopHit_;
            if (!more || ReachesTarget(next, target)) break;
            TopLevelLines(slot.contents, top, linesBefore);
        }
        // The first page of the search may be a known page: whether it follows a break is
        // recorded with it.
        beforeAfterBreak = hasBefore ? hardBefore : page.afterBreak;
        hardBefore =
            fromKnown ? known->endsWithBreak : PageLayout::EndsWithTypeZeroMark(slot.contents);
        if (!fromKnown && !stopped) RememberLines(page.start, next.start, hardBefore, linesBefore);
        if (forwardPagesOnly_) KeepTrail(page.start, next.start);
        if (hasBefore) {
            if (chain.size() >= kChainKept) chain.erase(chain.begin());
            chain.emplace_back();
            chain.back().MoveFrom(before);
        }
        before.MoveFrom(page);
        hasBefore = true;
        page.MoveFrom(next);
        slot.record = nullptr;
    }
    if (guard == kEndingChainPages) return kEndingFailed;
    // Which page the slot shows: the chain's last one, until a cut is laid out there.
    bool slotHoldsPage = !probed, slotHoldsGood = false;
    auto accept = [&](PageRecord& r, PageRecord& f, bool m) {
        laidOut = &r == &page ? slotHoldsPage : slotHoldsGood;
        // The page the one found was cut from (or that ends where it starts) ends the chain.
        if (hasBefore && before.IsUsed() && before.end != kNone) {
            if (chain.size() >= kChainKept) chain.erase(chain.begin());
            chain.emplace_back();
            chain.back().MoveFrom(before);
        }
        accepted.MoveFrom(r);
        follower.MoveFrom(f);
        moreText = m;
        slot.record = nullptr;
        return kEndingFound;
    };
    // The probed page when it is the answer after all.
    auto acceptPage = [&]() {
        if (probed) {
            slot.record = &page;
            page.stopAt = target < layout_.TextLength() ? target : kNone;
            if (!LayoutSlot(page, slot, false, next, more)) {
                slot.record = nullptr;
                return kEndingFailed;
            }
            slotHoldsPage = true;
        }
        return accept(page, next, more);
    };
    // The last page of the text is filled upward from the page before it (a page found going
    // back from it is then full too), unless it follows a forced break; so is the last page
    // of a chapter that ends in a forced page break.
    const bool atEnd = target >= layout_.TextLength();
    const bool atBreak = !probed && PageLayout::EndsWithTypeZeroMark(slot.contents);
    // One that ends there with room left at its foot (what starts at the target, a picture or a
    // table's row, did not fit below it) is filled upward from the page before it instead.
    const bool roomLeft = !probed && hasBefore && !forwardPagesOnly_ &&
                          RoomLeftAtFoot(static_cast<int32_t>(slot.contentHeight));
    if (!probed && !stopped && !roomLeft &&
        ((more && ReachesTarget(next, target) && !atBreak) ||
         (!more && page.end == target && !atEnd)))
        return accept(page, next, more);
    if (!hasBefore) return atLowest ? accept(page, next, more) : kEndingFurtherBack;
    // The page holds the target: it shows no gap, but may repeat up to a page; a page cut
    // from the one before ends nearer.
    if (!probed) TopLevelLines(slot.contents, top, linesHere);
    // Pages of one line (a picture, a table cut inside a row) are not cut: a search finds the
    // page holding the target from one page back, and a chain of pages laid out ahead would
    // cost more than it saves (a page that continues a table lays out slower than one started
    // afresh).
    if (!hardBefore && !beforeAfterBreak) chainSeeds_ = linesBefore.size() >= 2;
    if (layout_.columnCount_ != 1 || hardBefore || linesBefore.size() < 2 || linesHere.empty() ||
        forwardPagesOnly_)
        return acceptPage();
    // The first line to try: the page from it has room for the lines before the target but
    // for blank lines right before it, which a page stopped at the target leaves out. Blank
    // lines of markup are written on purpose (a listing's): the page has room for them too.
    const bool keepBlank = dynamic_cast<HtmlTokenizer*>(layout_.source_) != nullptr;
    // A picture's line that holds the target (the picture starts the page after, its
    // paragraph opened before it) is no line of the page.
    int32_t need = linesHere.front().bottom;
    for (size_t k = 0; k < linesHere.size(); ++k) {
        const LineSpan& l = linesHere[k];
        const uint32_t after = k + 1 < linesHere.size() ? linesHere[k + 1].start
                               : probed                 ? knownEnd
                               : more                   ? next.start
                                                        : layout_.TextLength();
        if (l.start < target && (keepBlank || !l.blank) && (!l.picture || after <= target))
            need = l.bottom;
    }
    const int32_t threshold = linesBefore.back().bottom + need - layout_.columns_[0].height;
    int32_t i = 1;
    while (i < static_cast<int32_t>(linesBefore.size()) && linesBefore[i].top < threshold) ++i;
    // A picture (a line not of words) is tried too: at a page's top it loses the room above
    // it, and paging forward starts a page at a picture that does not fit below the lines
    // before it.
    if (i > 1 && linesBefore[i - 1].picture) --i;
    if (i >= static_cast<int32_t>(linesBefore.size())) return acceptPage();

    PageRecord good, goodFollower;
    std::vector<LineSpan> linesCandidate;
    bool hasGood = false, goodMore = false;
    // Lines known to start a page that falls short of the target, and that reaches it.
    int32_t shortAt = 0, goodAt = static_cast<int32_t>(linesBefore.size());
    for (int32_t tries = 0; tries < kEndingSearchTries; ++tries) {
        PageRecord cut, candidate, after;
        bool cutMore = false, candidateMore = false;
        if (!cut.CopyFrom(before)) break;
        cut.used = true;
        slot.record = &cut;
        slotHoldsPage = slotHoldsGood = false;
        // A picture's line is cut through its middle: the picture does not fit there, and the
        // page from it starts where paging forward starts one at a picture that did not fit
        // (after the opening of its paragraph, with no room above it).
        const LineSpan& from = linesBefore[i];
        if (!LayoutSlotCapped(cut, slot,
                              from.top + (from.picture ? (from.bottom - from.top) / 2 : 0),
                              candidate, cutMore) ||
            !cutMore || candidate.start <= before.start || candidate.start > page.start)
            break;
        candidate.linkOrigin = kNone;
        candidate.linkStep = 0;
        candidate.stopAt = target < layout_.TextLength() ? target : kNone;
        slot.record = &candidate;
        if (!LayoutSlot(candidate, slot, false, after, candidateMore)) break;
        const bool candidateStopped = layout_.stopHit_;
        slot.record = nullptr;
        uint32_t end = candidateMore ? after.start : layout_.TextLength();
        const bool reaches = candidateMore ? ReachesTarget(after, target) : end >= target;
        slotHoldsGood = reaches;
        if (reaches) {
            good.MoveFrom(candidate);
            goodFollower.MoveFrom(after);
            goodMore = candidateMore;
            hasGood = true;
            goodAt = i;
            // An earlier line may end nearer the target without falling short of it.
            if (!candidateStopped && end <= target) break;
            // Unless that line and this page's lines are plain: then the page from it is this
            // one a line lower, and falls short when its last line before the target no
            // longer fits. Found so, it needs no layout of its own.
            if (i > shortAt + 1 &&
                EarlierLineFallsShort(slot.contents, top, layout_.columns_[0].height, target,
                                      linesBefore[i - 1], linesCandidate))
                shortAt = i - 1;
        } else {
            shortAt = i;
        }
        i = hasGood ? goodAt - 1 : shortAt + 1;
        if (i <= shortAt || i >= goodAt) break;
    }
    slot.record = nullptr;
    if (hasGood) return accept(good, goodFollower, goodMore);
    return acceptPage();
}

void Paginator::StoreChain(std::vector<PageRecord>& chain, uint32_t foundStart) {
    const PageRecord* found = FindPageRecord(foundStart, PageStepCode::kSamePage);
    uint32_t number = found ? found->pageNumber : 2;
    for (size_t i = chain.size(); i-- > 0;) {
        PageRecord& r = chain[i];
        number = number > r.steps + 1 ? number - r.steps : 2;
        if (!r.IsUsed() || r.start <= first_.start || r.start >= foundStart || r.end == kNone ||
            r.end <= r.start)
            continue;
        bool stored = false;
        for (const PageRecord& k : records_) stored |= k.IsUsed() && k.start == r.start;
        if (stored) continue;
        r.stopAt = kNone;
        r.markIndex = -1;
        r.tables.clear();
        r.pageNumber = number;
        r.useStamp = NextStamp();
        if (!StoreRecord(r)) break;
    }
    // When records run out the pages after the one found go first (paging on back needs the
    // ones before it), and of those before it the earliest.
    std::vector<PageRecord*> before;
    for (PageRecord& r : records_)
        if (r.IsUsed() && r.start < foundStart) before.push_back(&r);
    std::sort(before.begin(), before.end(),
              [](const PageRecord* a, const PageRecord* b) { return a->start < b->start; });
    for (PageRecord* r : before) r->useStamp = NextStamp();
}

const Paginator::KnownLines* Paginator::FindKnownLines(uint32_t start) const {
    for (const KnownLines& k : knownLines_)
        if (k.start == start && k.columnWidth == layout_.columns_[0].width &&
            k.columnHeight == layout_.columns_[0].height)
            return &k;
    return nullptr;
}

void Paginator::RememberLines(uint32_t start, uint32_t end, bool endsWithBreak,
                              const std::vector<PageLineSpan>& lines) {
    for (const KnownLines& k : knownLines_)
        if (k.start == start) return;
    if (knownLines_.size() >= kMaxKnownLines) knownLines_.erase(knownLines_.begin());
    KnownLines k;
    k.start = start;
    k.end = end;
    k.endsWithBreak = endsWithBreak;
    k.columnWidth = layout_.columns_[0].width;
    k.columnHeight = layout_.columns_[0].height;
    k.lines = lines;
    knownLines_.push_back(std::move(k));
}

bool Paginator::RoomLeftAtFoot(int32_t bottom) const {
    const int32_t room = layout_.columns_[0].height - bottom;
    return room >= 2 * std::max(1, static_cast<int32_t>(layout_.settings_.baseFontSize));
}

bool Paginator::EndsWithRoomLeft(uint32_t start) const {
    const KnownLines* known = FindKnownLines(start);
    return known && !known->lines.empty() && !known->endsWithBreak &&
           RoomLeftAtFoot(known->lines.back().bottom);
}

const PageRecord* Paginator::SeedBefore(uint32_t target, uint32_t from) {
    const PageRecord* best = nullptr;
    // The last page, and the last page of a chapter that ends in a forced page break, are
    // filled from the page before them: the search starts before the page paging forward
    // ends there.
    const uint32_t endBefore = FillsUpward(target) ? target - 1 : target;
    auto consider = [&](const PageRecord& r) {
        if (!r.IsUsed() || r.end == kNone || r.start < from || r.start >= target ||
            r.end > endBefore || r.end <= r.start)
            return;
        // A page that ends at the target with room left at its foot (the picture or row at the
        // target did not fit below it) is no answer: the page ending there is filled upward
        // from the page before it.
        if (r.end == target && EndsWithRoomLeft(r.start)) return;
        if (!best || r.start > best->start) best = &r;
    };
    if (firstKnown_) consider(first_);
    for (const PageRecord& r : records_) consider(r);
    return best;
}

// The lowest start a page ending at the target can have: its section's start (the first
// page's, when the section before is one that pages cross), or a break the document reports
// within a page's estimate before it.
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

// Starts a search for the page ending at the target `back` positions before it (`attempt`
// searches were made before): from the first page or the section's start at the lower bound,
// else from a known page that ends before the target, else from a page started at the estimate
// (at its paragraph's start). atLowest tells that no search further back would start
// elsewhere; estimated gets the start of a page started at an estimate.
bool Paginator::StartEndingSearch(PageRecord& page, uint32_t t0, int64_t lower, int64_t back,
                                  int32_t attempt, bool& atLowest, uint32_t& estimated) {
    const int64_t firstStart = first_.start;
    int64_t q = static_cast<int64_t>(t0) - back;
    atLowest = q <= lower || attempt + 1 == kEndingSearchAttempts;
    bool ok;
    if (q <= lower) {
        if (lower <= firstStart) {
            ok = page.CopyFrom(first_);
            page.used = ok;
        } else {
            ok = layout_.LayoutPageFrom(static_cast<uint32_t>(lower), page, false);
        }
    } else if (const PageRecord* seed =
                   SeedBefore(t0, static_cast<uint32_t>(std::max<int64_t>(lower, q - back)))) {
        // A known page that ends before the target: its lines wrap as paging forward
        // wraps them, and nothing is replayed.
        ok = page.CopyFrom(*seed);
        page.used = ok;
        page.stopAt = kNone;
        // One that ends at the target is the answer when every search further back would
        // start from it again (the latest known page is taken each time, until the lower
        // bound is reached).
        const int64_t widest = back << (kEndingSearchAttempts - 1 - attempt);
        if (seed->end == t0 && static_cast<int64_t>(t0) - widest > lower) atLowest = true;
    } else {
        ok = StartAtEstimate(page, static_cast<uint32_t>(q), t0, lower);
        estimated = ok ? page.start : kNone;
    }
    return ok;
}

bool Paginator::StartAtEstimate(PageRecord& page, uint32_t q, uint32_t t0, int64_t lower,
                                bool* paragraphFromLower) {
    bool ok = layout_.LayoutPageFrom(q, page, true);
    if (ok && page.start >= t0) {
        page.Reset();
        ok = layout_.LayoutPageFrom(q, page, false);
    }
    // Lines wrap as they do from their paragraph's start only: a candidate inside a paragraph
    // starts there instead, so that the page found starts on a line that paging forward shows.
    // (A paragraph of marked-up terms holds far more positions than its words: the reach is at
    // least the one paging back has.)
    const int64_t reach = std::max<int64_t>(3 * layout_.CharsPerPageEstimate(), kBackwardReach);
    const uint32_t para = ok ? layout_.ParagraphStart(page, static_cast<uint32_t>(reach)) : kNone;
    if (paragraphFromLower) *paragraphFromLower = para != kNone && para <= lower;
    if (para != kNone && para > lower && para < page.start) {
        page.Reset();
        layout_.paragraphStart_ = true;
        ok = layout_.LayoutPageFrom(para, page, false);
        layout_.paragraphStart_ = false;
    }
    return ok;
}

bool Paginator::StartRunUp(PageRecord& page, uint32_t target, int64_t lower) {
    if (const PageRecord* kept = ForwardPageBefore(target, lower)) {
        page.used = page.CopyFrom(*kept);
        page.stopAt = kNone;
    } else {
        bool atLowest = false;
        uint32_t estimated = kNone;
        if (!StartEndingSearch(page, target, lower, static_cast<int64_t>(target) - lower + 1, 0,
                               atLowest, estimated))
            return false;
    }
    return page.IsUsed() && RunForwardTo(page, target);
}

bool Paginator::RunForwardTo(PageRecord& page, uint32_t before) {
    PageRecord previous, next;
    bool hasPrevious = false;
    for (int32_t n = 1; page.start < before; ++n) {
        if (n % kForwardPageEvery == 0) KeepForwardPage(page);
        PageSlot aside;
        aside.record = &page;
        bool more = false;
        page.stopAt = kNone;
        const bool ok = LayoutSlotTop(page, aside, layout_.fillLimit_, next, more);
        aside.record = nullptr;
        if (!ok) return false;
        if (!more || next.start >= before || next.start <= page.start) break;
        KeepTrail(page.start, next.start);
        previous.MoveFrom(page);
        hasPrevious = true;
        page.MoveFrom(next);
    }
    // The search starts a page earlier, so that the page holding `before` is kept as the one
    // after it.
    if (hasPrevious) page.MoveFrom(previous);
    return true;
}

void Paginator::KeepForwardPage(const PageRecord& page) {
    if (forwardPages_.size() >= kForwardPagesKept) {
        size_t kept = 0;
        for (size_t i = 0; i < forwardPages_.size(); i += 2, ++kept)
            if (kept != i) forwardPages_[kept].MoveFrom(forwardPages_[i]);
        forwardPages_.resize(kept);
    }
    auto at = std::lower_bound(forwardPages_.begin(), forwardPages_.end(), page.start,
                               [](const PageRecord& r, uint32_t start) { return r.start < start; });
    if (at != forwardPages_.end() && at->start == page.start) return;
    at = forwardPages_.emplace(at);
    if (!at->CopyFrom(page)) {
        forwardPages_.erase(at);
        return;
    }
    at->used = true;
    at->stopAt = kNone;
}

const PageRecord* Paginator::ForwardPageBefore(uint32_t before, int64_t lower) const {
    const PageRecord* found = nullptr;
    for (const PageRecord& r : forwardPages_) {
        if (r.start >= before) break;
        if (static_cast<int64_t>(r.start) >= lower) found = &r;
    }
    return found;
}

// How many pages before a start at TABs are laid out again at most to reach one that reads the
// same afresh.
constexpr size_t kTabbedPagesBack = 16;

const PageRecord* Paginator::ForwardPageAt(uint32_t start) const {
    auto at = std::lower_bound(forwardPages_.begin(), forwardPages_.end(), start,
                               [](const PageRecord& r, uint32_t s) { return r.start < s; });
    return at != forwardPages_.end() && at->start == start ? &*at : nullptr;
}

bool Paginator::LayoutAsPageAfterTrailed(uint32_t start, PageRecord& page) {
    if (!layout_.StartsAtTabs(start)) return false;
    // The starts of the pages shown before it, back to a page still known or one that reads
    // the same afresh.
    std::vector<uint32_t> starts{start};
    const PageRecord* known = nullptr;
    while (!known && starts.size() <= kTabbedPagesBack) {
        const uint32_t earlier = TrailedBefore(starts.back());
        if (earlier == kNone || earlier >= starts.back()) return false;
        starts.push_back(earlier);
        known = FindPageRecord(earlier, PageStepCode::kSamePage);
        if (!known) known = ForwardPageAt(earlier);
        if (!layout_.StartsAtTabs(earlier)) break;
    }
    PageRecord previous, next;
    if (known) {
        previous.used = previous.CopyFrom(*known);
        previous.tables.clear();
        previous.stopAt = kNone;
    } else {
        previous.used = layout_.LayoutPageFrom(starts.back(), previous, false) &&
                        previous.start == starts.back();
    }
    if (!previous.IsUsed()) return false;
    // Each page after it as paging forward lays it out, kept for the PageUps that follow.
    for (size_t k = starts.size() - 1; k-- > 0;) {
        PageSlot aside;
        bool more = false;
        const bool ok = LayoutSlot(previous, aside, false, next, more);
        ResetSlot(aside);
        if (!ok || !more || next.start != starts[k]) return false;
        if (k > 0) KeepForwardPage(next);
        previous.MoveFrom(next);
    }
    page.MoveFrom(previous);
    page.pageNumber = kNone;
    return page.IsUsed();
}

bool Paginator::RetracePageBefore(PageSlot& slot, uint32_t target, PageRecord& accepted,
                                  PageRecord& follower, bool& moreText) {
    const uint32_t before = TrailedBefore(target);
    if (before == kNone || before >= target) return false;
    PageRecord& page = slot.scratch;
    page.Reset();
    // Its record when it is still kept (exactly as paging forward left it), else laid out
    // afresh from its start (or as the page after the one shown before it, for a start that
    // reads differently afresh).
    if (const PageRecord* known = FindPageRecord(before, PageStepCode::kSamePage)) {
        page.used = page.CopyFrom(*known);
        page.tables.clear();
    } else if (!LayoutAsPageAfterTrailed(before, page)) {
        page.pageNumber = kNone;
        page.used = layout_.LayoutPageFrom(before, page, false) && page.start == before;
    }
    if (!page.IsUsed()) return false;
    // Whatever fits after the target belongs to the page after it.
    page.stopAt = target;
    PageRecord next;
    bool more = false;
    const bool reaches =
        LayoutSlot(page, slot, false, next, more) && more && ReachesTarget(next, target);
    slot.record = nullptr;
    if (!reaches) {
        ResetSlot(slot);
        page.Reset();
        return false;
    }
    accepted.MoveFrom(page);
    follower.MoveFrom(next);
    moreText = more;
    return true;
}

bool Paginator::FillsUpward(uint32_t target) const {
    if (target >= layout_.TextLength()) return true;
    for (const PageRecord& r : records_)
        if (r.IsUsed() && r.start == target && r.afterBreak) return true;
    return false;
}

bool Paginator::StartsAtFixedBoundary(const PageRecord& page, int64_t lower) const {
    if (page.start <= first_.start) return false;
    return page.afterBreak || page.start == lower ||
           (first_.end != kNone && page.start == first_.end);
}

bool Paginator::LayoutLinesAside(PageRecord& page, PageSlot& aside, PageRecord& next,
                                 bool& more, std::vector<LineSpan>& lines) {
    aside.record = &page;
    const bool ok = LayoutSlotTop(page, aside, layout_.fillLimit_, next, more);
    aside.record = nullptr;
    if (ok) TopLevelLines(aside.contents, layout_.columns_[0].y, lines);
    return ok;
}

bool Paginator::FollowsPageShownWhole(const PageRecord& page, uint32_t target,
                                      const std::vector<PageRecord>& chain) {
    // The page before: the one shown before it, else the one the search passed that ends
    // where it starts.
    PageRecord before;
    const uint32_t trailed = TrailedBefore(page.start);
    const PageRecord* known = trailed != kNone && trailed < page.start
                                  ? FindPageRecord(trailed, PageStepCode::kSamePage)
                                  : nullptr;
    for (const PageRecord& r : chain)
        if (!known && r.IsUsed() && r.end == page.start && r.start < page.start) known = &r;
    if (known) {
        before.used = before.CopyFrom(*known);
    } else if (trailed != kNone && trailed < page.start) {
        before.pageNumber = kNone;
        before.used = layout_.LayoutPageFrom(trailed, before, false) && before.start == trailed;
    }
    if (!before.IsUsed()) return false;
    before.tables.clear();
    before.stopAt = kNone;
    PageSlot aside;
    PageRecord next;
    bool more = false;
    std::vector<LineSpan> lines;
    if (!LayoutLinesAside(before, aside, next, more, lines)) return false;
    // A picture taller than half the screen on it (at its top, where it did not fit below the
    // lines before it, or below a line or two that introduce it): going back, the page is
    // shown whole, as paging forward shows it.
    const int32_t half = layout_.columns_[0].height / 2;
    const bool tall = std::any_of(lines.begin(), lines.end(), [&](const LineSpan& l) {
        return !l.plain && l.bottom - l.top > half;
    });
    // A page that goes on with a table (its next rows) is cut as any other.
    return (tall || HoldsViewedTable(before, page.start, &aside)) &&
           !HoldsViewedTable(page, target, nullptr);
}

bool Paginator::PageAfterTallPicture(const PageRecord& picture, const PageRecord& found,
                                     uint32_t target, PageRecord& after) {
    const uint32_t inside = found.start;
    if (!picture.IsUsed() || picture.end == kNone || inside <= picture.start ||
        inside >= picture.end)
        return false;
    // The page starts with the picture (paging forward starts one there too).
    const int32_t half = layout_.columns_[0].height / 2;
    auto tallFirst = [half](const std::vector<LineSpan>& lines) {
        return !lines.empty() && lines.front().picture &&
               lines.front().bottom - lines.front().top > half;
    };
    // Its lines, when the search kept them, tell without laying it out again.
    if (const KnownLines* known = FindKnownLines(picture.start); known && !tallFirst(known->lines))
        return false;
    PageRecord page;
    page.used = page.CopyFrom(picture);
    if (!page.IsUsed()) return false;
    page.tables.clear();
    page.stopAt = kNone;
    PageSlot aside;
    PageRecord next;
    bool more = false;
    std::vector<LineSpan> lines;
    if (!LayoutLinesAside(page, aside, next, more, lines) || !more) return false;
    if (!tallFirst(lines)) return false;
    if (next.start <= inside) return false;
    after.MoveFrom(next);
    // Only a page that would hold less than half the screen up to the target is given up.
    PageRecord shown;
    shown.used = shown.CopyFrom(found);
    if (!shown.IsUsed()) return false;
    shown.tables.clear();
    shown.stopAt = target;
    aside.record = &shown;
    const bool ok = LayoutSlotTop(shown, aside, layout_.fillLimit_, next, more) &&
                    static_cast<int32_t>(aside.contentHeight) < half;
    aside.record = nullptr;
    if (!ok) after.Reset();
    return ok;
}

bool Paginator::LinesOfPage(const PageRecord& page, std::vector<LineSpan>& lines) {
    if (const KnownLines* known = FindKnownLines(page.start); known && known->end == page.end) {
        lines = known->lines;
        return true;
    }
    PageRecord copy;
    copy.used = copy.CopyFrom(page);
    if (!copy.IsUsed()) return false;
    copy.tables.clear();
    copy.stopAt = kNone;
    PageSlot aside;
    PageRecord next;
    bool more = false;
    return LayoutLinesAside(copy, aside, next, more, lines);
}

bool Paginator::ShareWithLinesAfterTallPicture(const std::vector<PageRecord>& chain,
                                               const PageRecord& found, uint32_t target,
                                               PageRecord& shared) {
    if (chain.empty()) return false;
    // The page `found` was cut from.
    const PageRecord& holder = chain.back();
    if (!holder.IsUsed() || holder.end == kNone || found.start <= holder.start ||
        found.start >= holder.end)
        return false;
    // The lines of the page before it (ending where it starts), as the search that laid it out
    // kept them: the page holding the picture.
    const int32_t height = layout_.columns_[0].height;
    const int32_t half = height / 2;
    std::vector<LineSpan> lines;
    for (const KnownLines& k : knownLines_)
        if (k.end == holder.start && k.start < holder.start &&
            k.columnWidth == layout_.columns_[0].width && k.columnHeight == height)
            lines = k.lines;
    if (lines.empty()) return false;
    size_t tall = lines.size();
    for (size_t k = 0; k < lines.size(); ++k)
        if (lines[k].picture && lines[k].bottom - lines[k].top > half) tall = k;
    if (tall == lines.size()) return false;
    const int32_t pictureHeight = lines[tall].bottom - lines[tall].top;
    // The room the lines between the picture and `found` take: going back, the page ending
    // where `found` starts holds them alone when the picture does not fit above them.
    int32_t between = tall + 1 < lines.size() ? lines.back().bottom - lines[tall + 1].top : 0;
    if (!LinesOfPage(holder, lines) || lines.empty()) return false;
    int32_t above = -1;
    for (const LineSpan& l : lines)
        if (l.start != kNone && l.start < found.start) above = l.bottom - lines.front().top;
    if (above < 0) return false;
    between += above;
    // (A page of them a line or two more than half the screen still reads as short: the
    // lines are measured without the room above a paragraph's first.)
    const int32_t line = std::max(1, layout_.settings_.baseFontSize);
    if (pictureHeight + between <= height || between >= half + 2 * line) return false;
    // The lines of `found`: those at its top go to the page before it, so that both hold
    // about as much.
    PageRecord page;
    page.used = page.CopyFrom(found);
    if (!page.IsUsed()) return false;
    page.tables.clear();
    page.stopAt = target;
    PageSlot aside;
    PageRecord next;
    bool more = false;
    std::vector<LineSpan> own;
    if (!LayoutLinesAside(page, aside, next, more, own) || own.size() < 2) return false;
    const int32_t top = own.front().top;
    const int32_t bottom = own.back().bottom;
    const int32_t total = between + bottom - top;
    size_t j = 1;
    while (j < own.size() && between + own[j].top - top < total / 2) ++j;
    if (j >= own.size() || !own[j].plain || !own[j - 1].plain || own[j].start == kNone ||
        between + own[j].top - top < half || bottom - own[j].top < half)
        return false;
    // The page from that line, as the page found cut there leaves it.
    page.stopAt = kNone;
    aside.Reset();
    PageRecord candidate;
    aside.record = &page;
    const bool ok = LayoutSlotCapped(page, aside, own[j].top, candidate, more);
    aside.record = nullptr;
    if (!ok || !more || candidate.start <= found.start || candidate.start >= target) return false;
    candidate.linkOrigin = kNone;
    candidate.linkStep = 0;
    candidate.pageNumber = kNone;
    shared.MoveFrom(candidate);
    return true;
}

bool Paginator::LayoutForwardPage(PageRecord& page, int32_t s, uint32_t target, int32_t shortOf,
                                  PageRecord& follower, bool& moreText) {
    PageSlot& slot = slots_[s];
    PageRecord next;
    bool more = false;
    page.stopAt = kNone;
    slot.record = &page;
    if (!LayoutSlot(page, slot, false, next, more)) {
        ReleaseSlot(s);
        return false;
    }
    slot.record = nullptr;
    std::vector<LineSpan> lines;
    TopLevelLines(slot.contents, layout_.columns_[0].y, lines);
    const bool fuller = std::any_of(lines.begin(), lines.end(), [&](const LineSpan& l) {
        return l.start != kNone && l.start >= target && !l.blank;
    });
    // A line the target falls inside (the page after starts past its first position, at its
    // first word) is the first line of the page after, not one before it.
    bool shortBefore = true;
    for (size_t i = 0; i < lines.size() && shortBefore; ++i) {
        const bool holdsTarget = i + 1 < lines.size() && lines[i + 1].start != kNone &&
                                 lines[i + 1].start > target;
        shortBefore = lines[i].start == kNone || lines[i].start >= target || holdsTarget ||
                      lines[i].bottom <= shortOf;
    }
    if (!fuller || (shortOf > 0 && !shortBefore)) {
        ReleaseSlot(s);
        return false;
    }
    follower.MoveFrom(next);
    moreText = more;
    return true;
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

bool Paginator::LayoutPageEndingAt(uint32_t target, uint32_t pageNumber, PageRecord*& out) {
    out = nullptr;
    if (!firstKnown_ && !layout_.LayoutFirstPage()) return false;
    const uint32_t t0 = target;
    const int64_t firstStart = first_.start;
    if (t0 <= first_.start) return false;
    const int64_t estimate = layout_.CharsPerPageEstimate();

    const int64_t lower = LowestPageStart(t0);

    int32_t s = ChooseSlot();
    PageSlot& slot = slots_[s];
    PageRecord accepted, follower;
    std::vector<PageRecord> chain;
    // Where a search started from an estimate: a paragraph's start, not a page's.
    uint32_t estimated = kNone;
    bool more = false, laidOut = false;
    EndingSearch result = kEndingFurtherBack;
    int64_t back = std::max<int64_t>(1, estimate);
    // The last page of a short text is the one paging forward ends on: pages are laid out from
    // the first (or the section's start) to the end. A long text starts from an estimate.
    if (t0 >= layout_.TextLength() && t0 - lower <= kEndFromStartPages * estimate) {
        back = t0 - lower + 1;
    } else if (chainSeeds_ && t0 < layout_.TextLength() &&
               !SeedBefore(t0, static_cast<uint32_t>(std::max<int64_t>(
                                   lower, static_cast<int64_t>(t0) - 2 * back)))) {
        // Nothing known to start from: the search starts a few pages back, and the pages it
        // goes through are kept for the PageUps that follow. The last page (End) is found
        // without them: a jump costs about what opening at the first page does, and the first
        // PageUp from there lays the chain out.
        back *= kChainSeedPages;
    }
    // Room for two more lines of the base font on the page.
    const int32_t room =
        layout_.columns_[0].height - 2 * std::max(1, layout_.settings_.baseFontSize);
    bool fromLowest = false;
    // PageUp shows again the page shown before this one; only a page not shown yet is searched
    // for (the last page is always filled upward).
    bool retraced = false;
    if (t0 < layout_.TextLength() && RetracePageBefore(slot, t0, accepted, follower, more)) {
        result = kEndingFound;
        laidOut = true;
        retraced = true;
    }
    for (int32_t attempt = 0; attempt < kEndingSearchAttempts && result == kEndingFurtherBack;
         ++attempt, back *= 2) {
        PageRecord& page = slot.scratch;
        page.Reset();
        bool atLowest = false;
        uint32_t guessed = kNone;
        const bool ok = StartEndingSearch(page, t0, lower, back, attempt, atLowest, guessed);
        if (!ok) {
            result = kEndingFailed;
            break;
        }
        if (guessed != kNone) estimated = guessed;
        if (page.start >= t0) continue;
        chain.clear();
        result =
            SearchPageEndingAt(slot, page, t0, atLowest, accepted, follower, more, laidOut, chain);
        // A page started at an estimate that holds the target with room to spare began too
        // late: in the markup after the last words (where it can show a tag's remains) or
        // inside the page paging forward shows. The search goes further back, so that the
        // page found is as full as paging forward makes it; when the estimates run out, a
        // text not too long is paged from its lowest start.
        if (result == kEndingFound && laidOut && guessed != kNone && accepted.start == guessed &&
            slot.contentHeight < room) {
            result = kEndingFurtherBack;
            if (attempt + 1 == kEndingSearchAttempts && !fromLowest &&
                t0 - lower <= 4 * kEndFromStartPages * estimate) {
                fromLowest = true;
                back = (t0 - lower + 1) / 2;
                attempt = -1;
            }
        }
    }
    // The page found from an estimate is kept when nothing better was found.
    if (result == kEndingFurtherBack && accepted.IsUsed()) result = kEndingFound;
    // A table larger than its view is read view by view: a table wider than it a page's rows
    // at a time, each view across down those rows before the next; a row taller than it
    // view by view down the row. A page going back that holds one is the page paging forward
    // shows (stopped at the target), so that it holds the same rows as paging forward cut and
    // starts where paging forward started it (not on lines above a tall row). So is a page of
    // a table taller than a page that fits the view (cut between rows): paging forward groups
    // its rows into pages from where the table starts, a page cut going back from its end.
    // Where the target is not where a page paging forward starts (pages going back from a full
    // End), that page cut there can be a strip of a row or two: the page found stays then, as
    // full as the room allows, and the pages above it are found so too up to the table's top
    // (not for a table read view by view: its views show the rows paging forward cut).
    // (A page retraced is one shown before, already cut so.) End's page too, when it holds a
    // table read view by view: filled upward, each of its views would show again the lines
    // above the table that paging forward left on the page before.
    const bool atEnd = t0 >= layout_.TextLength();
    // A page kept as the search filled it upward (next to a wide table) though the page paging
    // forward shows was found: it is not made that page again below.
    bool keptFilled = false;
    if (result == kEndingFound && !retraced) {
        // A page the slot does not hold is laid out aside (once, for both questions below), as
        // a probe is: what is known of the last page stays.
        PageSlot aside;
        PageRecord copy;
        PageSlot* held = laidOut ? &slot : nullptr;
        if (!laidOut) {
            PageRecord next;
            bool asideMore = false;
            copy.used = copy.CopyFrom(accepted);
            aside.record = &copy;
            if (copy.used && LayoutSlotTop(copy, aside, layout_.fillLimit_, next, asideMore))
                held = &aside;
            aside.record = nullptr;
        }
        const bool viewed = held && HoldsViewedTable(accepted, t0, held);
        // A page ending right below such a table, held whole and only wider than its view, with
        // lines above it: when the page paging forward shows, stopped at the target, starts at
        // the table (and so holds it alone), the page as the search filled it upward stays
        // (not End's page, which shows the views paging forward showed).
        const uint32_t wideTable =
            viewed && !atEnd ? WholeWideTableEndingPage(held->contents, t0) : kNone;
        PageRecord filled, filledFollower;
        const bool filledMore = more;
        const bool kept = wideTable != kNone && accepted.start < wideTable &&
                          filled.CopyFrom(accepted) &&
                          (!more || filledFollower.CopyFrom(follower));
        const bool tall =
            !viewed && !atEnd && CrossesTallTable(accepted, more ? &follower : nullptr);
        // The forward search lays its pages out in a slot of its own while the slot holds a
        // page that may be kept: kept, it needs no second layout.
        PageSlot side;
        const bool slotKept = kept && laidOut;
        bool forwardLaidOut = laidOut;
        const bool found = (viewed || tall) && SearchForwardPagesEndingAt(
                                                   slotKept ? side : slot, t0, lower, tall,
                                                   accepted, follower, more, forwardLaidOut, chain);
        if (found) {
            estimated = kNone;
            if (kept && accepted.start >= wideTable) {
                filled.used = true;
                filledFollower.used = filledMore;
                accepted.MoveFrom(filled);
                if (filledMore) follower.MoveFrom(filledFollower);
                more = filledMore;
                laidOut = slotKept;
                keptFilled = true;
                chain.clear();
            } else if (slotKept && forwardLaidOut) {
                // The forward page, laid out aside, goes in the slot (stopped at the target as
                // the search laid it out).
                PageRecord next;
                bool nextMore = false;
                slot.record = &accepted;
                laidOut = LayoutSlot(accepted, slot, false, next, nextMore);
                slot.record = nullptr;
            } else {
                laidOut = forwardLaidOut;
            }
        } else if (viewed || tall) {
            // Where the search failed the page found is laid out again.
            laidOut = false;
        }
    }
    // A slot that does not hold the page found is laid out again when the page is shown.
    if (result != kEndingFound || !laidOut) ReleaseSlot(s);
    if (result != kEndingFound) return false;
    if (!accepted.IsUsed() || accepted.start >= t0 ||
        (more ? !ReachesTarget(follower, t0) : accepted.end != kNone && accepted.end < t0)) {
        if (laidOut) ReleaseSlot(s);
        return false;
    }
    // A page starting inside the first page: the first page is the one before when it
    // reaches the target, else the page after it (in the first page's section only).
    if (static_cast<int64_t>(accepted.start) > firstStart && lower <= firstStart &&
        (first_.end != kNone ||
         static_cast<int64_t>(accepted.start) - firstStart <= 2 * estimate)) {
        PageRecord second;
        bool secondMore = false;
        if (first_.end == kNone) {
            PageSlot probe;
            if (LayoutSlot(first_, probe, false, second, secondMore) && secondMore) {
                second.useStamp = NextStamp();
            } else {
                second.Reset();
            }
        }
        if (first_.end != kNone && accepted.start < first_.end) {
            if (laidOut) ReleaseSlot(s);
            if (first_.end >= t0 || (second.IsUsed() && ReachesTarget(second, t0))) {
                out = &first_;
                first_.useStamp = NextStamp();
                if (second.IsUsed()) StoreRecord(second);
                return true;
            }
            if (!second.IsUsed()) {
                PageRecord* known = FindPageRecord(first_.start, PageStepCode::kNextPage);
                if (known && !second.CopyFrom(*known)) return false;
                if (known) second.used = true;
            }
            if (!second.IsUsed()) {
                // Its record is gone: the first page is laid out again for it.
                PageSlot probe;
                if (!LayoutSlot(first_, probe, false, second, secondMore) || !secondMore)
                    second.Reset();
            }
            // The page after the first, when it reaches the target (it is laid out below,
            // stopping there); else the page found stays.
            PageSlot check;
            PageRecord after;
            bool afterMore = false;
            if (second.IsUsed() && second.start < t0 &&
                LayoutSlot(second, check, false, after, afterMore) &&
                (afterMore ? ReachesTarget(after, t0) : second.end >= t0)) {
                accepted.MoveFrom(second);
                more = true;
                follower.Reset();
            }
            laidOut = false;
        }
    }
    // A page at a fixed boundary that would hold less than paging forward shows from there is
    // shown as paging forward shows it, repeating the first lines of the page after it. So is
    // a page that would hold less than half the screen after a page holding a table read view
    // by view or starting with a picture taller than half the screen (that page ends where
    // paging forward ends it), and so is a page holding a table read view by view that would
    // hold less than half the screen (the last rows of a history table and the few lines
    // below them): each of its views would show a strip. Any other page ends where the page
    // after it starts, so that the pages going back hold every line once.
    bool forwardPage = false;
    // A page that would start inside a page starting with a picture taller than half the
    // screen (its last lines, after the picture) is the page paging forward shows after that
    // one instead, whole: the picture's page is then shown whole before it, as paging forward
    // shows it, not cut to a few lines on either side.
    bool afterPicture = false;
    if (!layout_.content_ && !atEnd && !chain.empty() &&
        layout_.columnCount_ == 1 && !StartsAtFixedBoundary(accepted, lower)) {
        PageRecord after;
        if (PageAfterTallPicture(chain.back(), accepted, t0, after) && after.start < t0) {
            if (laidOut) ReleaseSlot(s);
            accepted.MoveFrom(after);
            follower.Reset();
            more = true;
            laidOut = false;
            afterPicture = true;
        }
    }
    // A page whose page before would hold only the few lines after a picture taller than half
    // the screen (the picture does not fit above them) gives its first lines to that page
    // instead, so that neither is short.
    if (!afterPicture && !retraced && !layout_.content_ && !atEnd &&
        layout_.columnCount_ == 1 && !StartsAtFixedBoundary(accepted, lower)) {
        PageRecord shared;
        if (ShareWithLinesAfterTallPicture(chain, accepted, t0, shared)) {
            if (laidOut) ReleaseSlot(s);
            accepted.MoveFrom(shared);
            follower.Reset();
            more = true;
            laidOut = false;
        }
    }
    if (!layout_.content_ && !atEnd) {
        const int32_t half = layout_.columns_[0].height / 2;
        const bool shortPage = !laidOut || keptFilled ||
                               (more ? follower.start : layout_.TextLength()) > t0 ||
                               slot.contentHeight < half;
        int32_t shortOf = -1;
        if (afterPicture || StartsAtFixedBoundary(accepted, lower))
            shortOf = 0;
        else if (shortPage && (FollowsPageShownWhole(accepted, t0, chain) ||
                               (laidOut && !keptFilled && HoldsViewedTable(accepted, t0, &slot))))
            shortOf = half;
        if (shortOf >= 0) {
            ReleaseSlot(s);
            forwardPage = LayoutForwardPage(accepted, s, t0, shortOf, follower, more);
            laidOut = forwardPage;
        }
    }
    // Any other page found ends where the target page starts: the lines it has room for after
    // that would show twice (a page after a chapter too short to fill it, or one that holds the
    // target).
    if (!forwardPage && static_cast<int64_t>(accepted.start) > firstStart && !layout_.content_ &&
        (!laidOut || (more ? follower.start : layout_.TextLength()) > t0)) {
        ReleaseSlot(s);
        // The last page (End) ends with the text: it is laid out again unstopped.
        accepted.stopAt = atEnd ? kNone : t0;
        PageSlot& cut = slots_[s];
        cut.record = &accepted;
        if (!LayoutSlot(accepted, cut, false, follower, more) ||
            (more ? !ReachesTarget(follower, t0) : !atEnd)) {
            ReleaseSlot(s);
            return false;
        }
        cut.record = nullptr;
        laidOut = true;
    }
    if (static_cast<int64_t>(accepted.start) <= firstStart) {
        out = &first_;
    } else {
        // Its last step is numbered just before the page after it.
        accepted.pageNumber = pageNumber == kNone || pageNumber <= accepted.steps + 1
                                  ? 2
                                  : pageNumber - accepted.steps;
        accepted.markIndex = -1;
        accepted.useStamp = NextStamp();
        accepted.linkOrigin = kNone;
        accepted.linkStep = 0;
        out = StoreRecord(accepted);
        if (!out) {
            if (laidOut) ReleaseSlot(s);
            return false;
        }
        // No stop kept from an earlier search cuts it short when paging forward comes back.
        if (forwardPage) {
            out->stopAt = kNone;
            ForgetStop(out->start);
        }
    }
    if (more) {
        // The page after it: where it ends exactly, the page the search started from.
        uint32_t start = out->start;
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
    // The pages the search went through before the one found: the next PageUps start from
    // them, with nothing replayed and their lines known. The page it started from at an
    // estimate is not kept: paging forward would not start one there, and the page before it
    // could hold no more than a heading (the page before the next one is searched for).
    if (!chain.empty() && chain.front().start == estimated) chain.erase(chain.begin());
    if (out && !chain.empty()) {
        const uint32_t start = out->start;
        StoreChain(chain, start);
        out = FindPageRecord(start, PageStepCode::kSamePage);
    }
    // Kept laid out: showing the page needs no second layout. The first page is shown whole:
    // it was laid out stopping at the target.
    if (laidOut) {
        if (out && out != &first_ && SlotOf(out->start) < 0) {
            slot.record = out;
        } else {
            ReleaseSlot(s);
        }
    }
    return out != nullptr;
}

bool Paginator::CrossesTallTable(const PageRecord& page, const PageRecord* follower) {
    for (const PageRecord* r : {&page, follower}) {
        const int32_t table = r ? PageLayout::OutermostTableOffset(r->elements) : -1;
        if (table >= 0 && TallerThanAPage(r->elements.ReadU32At(table))) return true;
    }
    return false;
}

bool Paginator::TallerThanAPage(uint32_t tableStart) {
    for (const TableHeight& t : tallTables_)
        if (t.start == tableStart) return t.tall;
    PageRecord page, next;
    PageSlot aside;
    bool more = false;
    page.pageNumber = kNone;
    if (!layout_.LayoutPageFrom(tableStart, page, false)) return false;
    aside.record = &page;
    // Laid out aside, as a probe is: what is known of the last page stays.
    const bool ok = LayoutSlotTop(page, aside, layout_.fillLimit_, next, more);
    aside.record = nullptr;
    if (!ok) return false;
    const int32_t table = more ? PageLayout::OutermostTableOffset(next.elements) : -1;
    const bool tall = table >= 0 && next.elements.ReadU32At(table) == tableStart;
    if (tallTables_.size() >= kMaxTallTables) tallTables_.erase(tallTables_.begin());
    tallTables_.push_back({tableStart, tall});
    return tall;
}

bool Paginator::HoldsViewedTable(const PageRecord& page, uint32_t target, PageSlot* slot) {
    PageSlot aside;
    PageRecord copy, next;
    bool more = false;
    if (!slot) {
        if (!copy.CopyFrom(page)) return false;
        copy.used = true;
        aside.record = &copy;
        // Laid out aside, as a probe is: what is known of the last page stays.
        if (!LayoutSlotTop(copy, aside, layout_.fillLimit_, next, more)) return false;
        slot = &aside;
    }
    BlockContents& c = slot->contents;
    for (int32_t i = 0, k = 0; i < c.Count(); ++i) {
        if (c.ItemAt(i)->kind != kItemTable) continue;
        const TableRecord* t = c.Table(k++);
        // A table the page laid out past the target belongs to the page after it.
        if (c.ItemAt(i)->HasPosition() && c.ItemAt(i)->Position() >= target) break;
        if (t && (t->content.width > t->box.width || t->content.height > t->box.height))
            return true;
    }
    return false;
}

bool Paginator::SearchForwardPagesEndingAt(PageSlot& slot, uint32_t target, int64_t lower,
                                           bool keepFull, PageRecord& accepted,
                                           PageRecord& follower, bool& moreText, bool& laidOut,
                                           std::vector<PageRecord>& chain) {
    PageRecord& page = slot.scratch;
    page.Reset();
    if (!StartRunUp(page, target, lower) || page.start >= target) {
        laidOut = false;
        return false;
    }
    PageRecord found, after;
    bool more = false, inSlot = false;
    std::vector<PageRecord> passed;
    forwardPagesOnly_ = true;
    const EndingSearch result =
        SearchPageEndingAt(slot, page, target, true, found, after, more, inSlot, passed);
    forwardPagesOnly_ = false;
    if (result != kEndingFound || !found.IsUsed()) {
        // The slot no longer holds the page found before.
        laidOut = false;
        return false;
    }
    if (keepFull && inSlot && found.start > accepted.start &&
        2 * slot.contentHeight < layout_.columns_[0].height) {
        laidOut = false;
        return false;
    }
    accepted.MoveFrom(found);
    follower.MoveFrom(after);
    moreText = more;
    laidOut = inSlot;
    chain = std::move(passed);
    return true;
}
