#include "layout/paginator.h"

#include <algorithm>
#include <optional>

#include "bookfiles/document_source.h"
#include "document/markup/token_source.h"
#include "graphics/core/node.h"
#include "layout/page_layout.h"

// --- PageRecord and PageSlot ---------------------------------------------------------------

bool PageRecord::CopyFrom(const PageRecord& other) {
    if (this == &other) return true;
    if (!CopyAllButBlock(other)) return false;
    if (other.block) {
        if (!block) block.reset(new (std::nothrow) BlockContents());
        if (!block || !block->AssignFrom(*other.block)) return false;
    } else {
        block.reset();
    }
    return true;
}

bool PageRecord::CopyAllButBlock(const PageRecord& other) {
    if (this == &other) return true;
    // Copied into the storage this record already has: a record is mostly overwritten by the
    // one of the page before, page after page.
    if (!scanState.CopyFrom(other.scanState) || !elements.AssignInPlace(other.elements))
        return false;
    pageNumber = other.pageNumber;
    steps = other.steps;
    start = other.start;
    linkOrigin = other.linkOrigin;
    linkStep = other.linkStep;
    end = other.end;
    useStamp = other.useStamp;
    style = other.style;
    blockStyle = other.blockStyle;
    markIndex = other.markIndex;
    stopAt = other.stopAt;
    afterBreak = other.afterBreak;
    rebuilt = other.rebuilt;
    return true;
}

void PageSlot::Reset() {
    record = nullptr;
    contents.Clear();
    tableViews.clear();
    tableViewsKnown = false;
    cursor.Init(&contents, true);
    contentHeight = 0;
    state = 0;
}

void PageRecord::Reset() {
    pageNumber = kNone;
    steps = 1;
    start = kNone;
    linkOrigin = kNone;
    linkStep = 0;
    end = kNone;
    useStamp = 0;
    scanState.Clear();
    elements.Clear();
    style = PositionRecord{};
    blockStyle = BoxRecord{};
    block.reset();
    markIndex = -1;
    stopAt = kNone;
    afterBreak = false;
    rebuilt = false;
    colour = kNone;
    tables.clear();
    used = false;
}

void PageRecord::MoveFrom(PageRecord& other) {
    if (this == &other) return;
    pageNumber = other.pageNumber;
    steps = other.steps;
    start = other.start;
    linkOrigin = other.linkOrigin;
    linkStep = other.linkStep;
    end = other.end;
    useStamp = other.useStamp;
    scanState = std::move(other.scanState);
    elements = std::move(other.elements);
    style = other.style;
    blockStyle = other.blockStyle;
    block = std::move(other.block);
    markIndex = other.markIndex;
    stopAt = other.stopAt;
    afterBreak = other.afterBreak;
    rebuilt = other.rebuilt;
    colour = other.colour;
    tables = std::move(other.tables);
    used = other.used;
    other.Reset();
}

uint32_t PageRecord::Follow(uint32_t p, int32_t step) const {
    if (!used) return kNone;
    if (step == 0) return p == start ? start : kNone;
    if (linkStep == 0 || linkOrigin == kNone) return kNone;
    if (p == linkOrigin && step == linkStep) return start;
    if (p == start && step == -linkStep) return linkOrigin;
    return kNone;
}

void Paginator::ResetSlot(PageSlot& slot) {
    slot.Reset();
    slot.scratch.Reset();
    slot.drawn = false;
    slot.cornerBookmark = -1;
    slot.lateObject = -1;
    slot.marks.Clear();
    slot.marksBuilt = false;
}

// --- Records ---------------------------------------------------------------------------------

PageRecord* Paginator::CurrentRecord() {
    if (current_ == kNone) return nullptr;
    if (firstKnown_ && current_ == first_.start) return &first_;
    for (PageRecord& r : records_)
        if (r.IsUsed() && r.start == current_) return &r;
    return nullptr;
}

const PageRecord* Paginator::CurrentRecord() const {
    return const_cast<Paginator*>(this)->CurrentRecord();
}

int32_t Paginator::StoredRecordCount() const {
    int32_t n = 0;
    for (const PageRecord& r : records_) n += r.IsUsed() ? 1 : 0;
    return n;
}

int32_t Paginator::SlotOf(uint32_t start) const {
    for (int32_t i = 0; i < 2; ++i)
        if (slots_[i].record && slots_[i].record->start == start) return i;
    return -1;
}

PageRecord* Paginator::FindPageRecord(uint32_t position, PageStepCode code) {
    // Three steps in a row are three single steps, each from the page the one before reached.
    if (code == PageStepCode::kThreeSingleSteps || code == PageStepCode::kThreePagesBefore) {
        const PageStepCode single = code == PageStepCode::kThreeSingleSteps
                                        ? PageStepCode::kSingleStep
                                        : PageStepCode::kPageBefore;
        PageRecord* r = nullptr;
        uint32_t p = position;
        for (int i = 0; i < 3; ++i) {
            r = FindPageRecord(p, single);
            if (!r) return nullptr;
            p = r->start;
        }
        return r;
    }
    // A record's link keeps the step as its number.
    const int32_t step = StepValue(code);
    PageRecord* found = nullptr;
    if (firstKnown_ && !IsForwardStep(code) && position <= first_.start) {
        found = &first_;
    } else {
        if (firstKnown_ && position < first_.start) position = first_.start;
        uint32_t target = firstKnown_ ? first_.Follow(position, step) : kNone;
        for (int32_t i = 0; target == kNone && i < kMaxRecords; ++i)
            target = records_[i].Follow(position, step);
        if (target == kNone) return nullptr;
        if (firstKnown_ && target == first_.start) {
            found = &first_;
        } else {
            for (PageRecord& r : records_)
                if (r.IsUsed() && r.start == target) found = &r;
        }
    }
    if (found) found->useStamp = NextStamp();
    return found;
}

PageRecord* Paginator::StoreRecord(PageRecord& record) {
    if (!record.IsUsed()) return nullptr;
    if (firstKnown_ && record.start <= first_.start) return &first_;
    if (record.pageNumber == 1) record.pageNumber = 2;  // only the first page is page 1
    if (firstKnown_ && record.linkOrigin == first_.start && record.linkStep > 0) {
        first_.linkOrigin = record.start;
        first_.linkStep = -record.linkStep;
    }
    PageRecord* dest = nullptr;
    for (PageRecord& r : records_)
        if (r.IsUsed() && r.start == record.start) dest = &r;
    if (!dest)
        for (PageRecord& r : records_)
            if (!r.IsUsed()) {
                dest = &r;
                break;
            }
    if (!dest) {
        // The least recently returned record goes, but never the current page nor one that a
        // slot holds: losing those would leave the page shown without a record.
        for (PageRecord& r : records_) {
            if (r.start == current_ || SlotOf(r.start) >= 0) continue;
            if (!dest || r.useStamp < dest->useStamp) dest = &r;
        }
        if (!dest) return nullptr;
    }
    if (dest == &record) return dest;
    // A page found going back keeps its stop when paging forward reaches it again: forward
    // then shows the pages backward showed.
    const uint32_t stop = dest->IsUsed() && dest->start == record.start ? dest->stopAt : kNone;
    for (int32_t i = 0; i < 2; ++i)
        if (slots_[i].record == dest) ReleaseSlot(i);
    // One page follows a page by a given step: a record that another link led to from the
    // same page loses its link (a page found going back ends earlier than the page paging
    // forward had reached from there).
    if (record.linkStep != 0 && record.linkOrigin != kNone) {
        for (PageRecord& r : records_) {
            if (&r == dest || !r.IsUsed() || r.linkOrigin != record.linkOrigin ||
                r.linkStep != record.linkStep)
                continue;
            r.linkOrigin = kNone;
            r.linkStep = 0;
        }
    }
    std::unique_ptr<BlockContents> replaced = std::move(dest->block);
    dest->MoveFrom(record);
    KeepSpareBlock(std::move(replaced));
    if (dest->stopAt == kNone) dest->stopAt = stop != kNone ? stop : KeptStop(dest->start);
    KeepStop(dest->start, dest->stopAt);
    for (PageSlot& s : slots_)
        if (s.record == &record) s.record = dest;
    return dest;
}

void Paginator::KeepSpareBlock(std::unique_ptr<BlockContents> block) {
    // The rest of a paragraph is what a page mostly carries over; a larger block (a listing
    // or a table cut at a page's end) is let go with its storage.
    constexpr int32_t kMaxSpareItems = 1024;
    if (!block || spareBlock_ || block->Count() > kMaxSpareItems) return;
    block->Clear();
    spareBlock_ = std::move(block);
}

PageRecord* Paginator::EnsureRecord(uint32_t pageNumber, uint32_t start, bool align) {
    if (PageRecord* r = FindPageRecord(start, PageStepCode::kSamePage)) return r;
    PageRecord fresh;
    fresh.pageNumber = pageNumber;
    if (!layout_.LayoutPageFrom(start, fresh, align)) return nullptr;
    if (PageRecord* r = FindPageRecord(fresh.start, PageStepCode::kSamePage)) return r;
    fresh.useStamp = NextStamp();
    return StoreRecord(fresh);
}

void Paginator::RememberLast(const PageRecord& record) {
    lastNumber_ = record.pageNumber;
    lastStart_ = record.start;
    lastSteps_ = std::max<uint32_t>(1, record.steps);
}

PageRecord* Paginator::RecordHoldingStep(uint32_t n) {
    auto holds = [n](const PageRecord& r) {
        return r.steps > 1 && r.pageNumber != kNone && r.pageNumber <= n &&
               n - r.pageNumber < r.steps;
    };
    const PageRecord* found = firstKnown_ && holds(first_) ? &first_ : nullptr;
    for (const PageRecord& r : records_)
        if (!found && r.IsUsed() && holds(r)) found = &r;
    return found ? FindPageRecord(found->start, PageStepCode::kSamePage) : nullptr;
}

// --- Laying pages into slots -------------------------------------------------------------------

bool Paginator::LayoutSlot(PageRecord& record, PageSlot& slot, bool singleStep,
                           PageRecord& follower, bool& moreText) {
    if (!layout_.HasSource()) return false;
    slot.record = &record;
    slot.tableViews.clear();
    slot.tableViewsKnown = false;
    follower.Reset();
    moreText = false;
    // The next page's start carries the rest of the block over in the spare storage.
    if (!layout_.HasContentLayout()) follower.block = std::move(spareBlock_);
    const bool ok = layout_.ComposePage(record, slot, singleStep, follower, moreText);
    if (!ok) return false;
    if (moreText) {
        // A page that does not advance would make every move that steps over it loop.
        if (follower.start == kNone || follower.start <= record.start) return false;
        follower.used = true;
        record.end = follower.start;
        follower.pageNumber = singleStep ? (record.pageNumber == 1 ? 2 : record.pageNumber)
                                         : record.pageNumber + record.steps;
        follower.linkOrigin = record.start;
        follower.linkStep =
            StepValue(singleStep ? PageStepCode::kSingleStep : PageStepCode::kNextPage);
        follower.markIndex = -1;
        follower.stopAt = kNone;
        follower.afterBreak = PageLayout::EndsWithTypeZeroMark(slot.contents);
        follower.tables.clear();
        follower.steps = 1;  // known once it is laid out
        follower.colour = kNone;
        if (lastNumber_ != kNone && follower.pageNumber > lastNumber_)
            lastNumber_ = lastStart_ = kNone;
    } else {
        record.end = layout_.TextLength();
    }
    // A page shown or laid out ahead of the page shown (not a line down, a page cut short nor
    // a search's probe) is known to end there.
    if (moreText && follower.afterBreak) NoteBreakStart(follower.start);
    if (!singleStep && !probing_ && layout_.FillsWholeColumn())
        NotePage(record.start, record.end, layout_.StopHit());
    return true;
}

int32_t Paginator::ChooseSlot() {
    int32_t chosen = 0;
    if (!slots_[0].IsFree()) {
        if (slots_[1].IsFree())
            chosen = 1;
        else if (slots_[0].record->start == current_ || slots_[1].record->start == current_)
            // The page shown keeps its slot: laying out ahead or a scratch page never takes it.
            chosen = slots_[0].record->start == current_ ? 1 : 0;
        else
            chosen = slots_[1].record->useStamp < slots_[0].record->useStamp ? 1 : 0;
    }
    ReleaseSlot(chosen);
    return chosen;
}

bool Paginator::LayoutPageAt(uint32_t position, bool scratch, int32_t* slotOut) {
    if (!scratch) {
        int32_t s = SlotOf(position);
        if (s >= 0) {
            if (slotOut) *slotOut = s;
            return true;
        }
    }
    PageRecord* record = FindPageRecord(position, PageStepCode::kSamePage);
    if (!record) return false;
    int32_t s = ChooseSlot();
    PageSlot& slot = slots_[s];
    slot.record = record;
    // The follower kept from the page before, unless a page is being laid out already.
    std::optional<PageRecord> aside;
    if (followerBusy_) aside.emplace();
    PageRecord& follower = aside ? *aside : follower_;
    const bool wasBusy = followerBusy_;
    followerBusy_ = true;
    const bool laidOut = LayoutAndStore(*record, slot, s, scratch, follower);
    followerBusy_ = wasBusy;
    if (laidOut && slotOut) *slotOut = SlotOf(position);
    return laidOut;
}

bool Paginator::LayoutAndStore(PageRecord& record, PageSlot& slot, int32_t s, bool scratch,
                               PageRecord& follower) {
    bool more = false;
    if (!LayoutSlot(record, slot, scratch, follower, more)) {
        ReleaseSlot(s);
        return false;
    }
    if (!more) {
        RememberLast(record);
    } else {
        follower.useStamp = NextStamp();
        StoreRecord(follower);
    }
    layout_.ReleaseSourceBuffers();
    return true;
}

PageRecord* Paginator::LayoutFollower(uint32_t from) {
    if (!LayoutPageAt(from, false)) return nullptr;
    if (PageRecord* next = FindPageRecord(from, PageStepCode::kNextPage)) return next;
    // Held laid out while its follower's record went (records ran out): laid out again aside,
    // so that the page shown keeps its slot.
    PageRecord* held = SlotOf(from) >= 0 ? FindPageRecord(from, PageStepCode::kSamePage) : nullptr;
    if (!held || lastStart_ == from) return nullptr;
    PageSlot aside;
    PageRecord follower;
    bool more = false;
    const bool ok = LayoutSlot(*held, aside, false, follower, more);
    layout_.ReleaseSourceBuffers();
    if (!ok || !more) return nullptr;
    follower.useStamp = NextStamp();
    if (!StoreRecord(follower)) return nullptr;
    return FindPageRecord(from, PageStepCode::kNextPage);
}

bool Paginator::LayoutNextPage() {
    PageRecord* cur = CurrentRecord();
    if (!cur) return false;
    uint32_t start = cur->start;
    PageRecord* next = FindPageRecord(start, PageStepCode::kNextPage);
    if (!next) {
        if (!LayoutPageAt(start, false)) return false;
        next = FindPageRecord(start, PageStepCode::kNextPage);
        if (!next) return false;
    }
    return LayoutPageAt(next->start, false);
}

bool Paginator::LayoutSlotCapped(PageRecord& record, PageSlot& slot, int32_t height,
                                 PageRecord& follower, bool& moreText) {
    // Only the room is cut: what the page lays out (a picture above all) measures against the
    // whole column, as on a page paging forward shows. What is known of the last page and of
    // the record's end stays: a page cut short is no page paging forward shows.
    const int32_t saved = layout_.FillLimit();
    const uint32_t lastNumber = lastNumber_, lastStart = lastStart_, lastSteps = lastSteps_,
                   end = record.end, steps = record.steps;
    layout_.SetFillLimit(std::min(saved, height));
    const bool ok = LayoutSlot(record, slot, false, follower, moreText);
    layout_.SetFillLimit(saved);
    lastNumber_ = lastNumber;
    lastStart_ = lastStart;
    lastSteps_ = lastSteps;
    record.end = end;
    record.steps = steps;
    return ok;
}

// --- Steps ------------------------------------------------------------------------------------

bool Paginator::CanStep(PageStepCode code) {
    // Codes past the known ones (a command's number) are not refused here.
    if (code == PageStepCode::kSamePage || !IsKnownStep(code)) return true;
    PageRecord* cur = CurrentRecord();
    if (IsBackwardStep(code)) {
        if (!cur) return false;
        if (firstKnown_ && cur->start <= first_.start) {
            // Whether a section comes before the first page; a cover does not count.
            DocumentSource* doc = layout_.Document();
            return doc && doc->QueryPosition(cur->start, nullptr) > 0;
        }
        uint32_t before = PageStartRelative(StepValue(PageStepCode::kPageBefore));
        if (before == kNone && cur->start == 0) return false;
        return before == kNone || layout_.SameSection(before, cur->start);
    }
    uint32_t next = PageStartRelative(StepValue(PageStepCode::kNextPage));
    return next == kNone || next < layout_.TextLength();
}

// --- Navigation ---------------------------------------------------------------------------------

void Paginator::HideCurrent() {
    if (current_ != kNone) layout_.SetPageVisibility(current_, kPageHidden);
}

void Paginator::MakeCurrent(PageRecord* record, PageMarkIndex mark) {
    current_ = record->start;
    // Counted: every page shown takes the number paging forward gives it.
    if (const uint32_t n = CountedNumber(record->start); n != kNone && record != &first_)
        record->pageNumber = std::max<uint32_t>(2, n);
    record->markIndex = mark == kNoPageMark ? -1 : static_cast<int32_t>(mark);
    record->useStamp = NextStamp();
}

PageRecord* Paginator::MoveToPosition(uint32_t position, PageStepCode code, PageMarkIndex mark) {
    if (!CanStep(code) || !IsKnownStep(code)) return nullptr;
    const bool back = IsBackwardStep(code), on = IsForwardStep(code);
    const PageRecord* from = CurrentRecord();
    const uint32_t fromNumber = from ? from->pageNumber : kNone;
    HideCurrent();
    if (PageRecord* cur = CurrentRecord()) cur->markIndex = -1;
    PageRecord* r = FindPageRecord(position, code);
    if (!r) {
        switch (code) {
            case PageStepCode::kSamePage:
                r = EnsureRecord(kNone, position, false);
                break;
            case PageStepCode::kSingleStep:
                if (LayoutPageAt(position, true)) r = FindPageRecord(position, code);
                break;
            case PageStepCode::kNextPage:
                r = LayoutFollower(position);
                break;
            case PageStepCode::kThreeSingleSteps: {
                uint32_t p = position;
                for (int i = 0; i < 3; ++i) {
                    r = FindPageRecord(p, PageStepCode::kSingleStep);
                    if (!r && LayoutPageAt(p, true))
                        r = FindPageRecord(p, PageStepCode::kSingleStep);
                    if (!r || r->start <= p) {
                        r = nullptr;
                        break;
                    }
                    p = r->start;
                }
                break;
            }
            case PageStepCode::kPageBefore:
            case PageStepCode::kThreePagesBefore:
                if (FindPageBefore(position, r) && code == PageStepCode::kThreePagesBefore) {
                    for (int i = 0; r && i < 2; ++i) {
                        PageRecord* before = nullptr;
                        uint32_t from = r->start;
                        if (!FindPageBefore(from, before)) break;
                        r = before;
                    }
                }
                if (!r) {
                    PageRecord* cur = CurrentRecord();
                    LayoutPageEndingAt(
                        position, cur ? cur->pageNumber : layout_.EstimatePageNumber(position), r);
                }
                break;
            case PageStepCode::kPageEndingHere: {
                PageRecord* cur = CurrentRecord();
                LayoutPageEndingAt(position,
                                   cur ? cur->pageNumber : layout_.EstimatePageNumber(position), r);
                break;
            }
            default:
                break;
        }
    }
    // A move must go the way it was asked to; a page that does not is refused, never looped on.
    if (r && ((on && r->start <= position) || (back && r->start >= position)))
        r = nullptr;
    if (!r) {
        layout_.ShowCurrentPage();
        return nullptr;
    }
    if (back) NumberPageBefore(*r, fromNumber);
    // Pages shown one after the other: PageUp goes back over them as they were shown.
    if (code == PageStepCode::kNextPage) KeepTrail(position, r->start);
    if (code == PageStepCode::kPageEndingHere || code == PageStepCode::kPageBefore)
        KeepTrail(r->start, position);
    MakeCurrent(r, mark);
    layout_.ShowTableViews(back ? kNone : 0);
    return r;
}

void Paginator::NumberPageBefore(PageRecord& page, uint32_t after) {
    if (&page == &first_ || after == kNone) return;
    const bool second = first_.end != kNone && page.start == first_.end;
    // Its last step is numbered just before the page after it.
    const uint32_t steps = std::max<uint32_t>(1, page.steps);
    if (page.pageNumber + steps <= after &&
        (page.pageNumber > 2 || (page.pageNumber == 2 && second)))
        return;
    // Numbers counted down from an estimate run out before the first page: near it the page is
    // numbered as paging forward from the first page numbers the page it starts in, farther
    // from it by the estimate of its position (the count goes down from there again).
    uint32_t n = after > steps + 1 ? after - steps : 2;
    if (n == 2 && !second) {
        const uint32_t counted = NumberFromFirst(page.start);
        n = counted != kNone ? counted
                             : std::max<uint32_t>(2, layout_.EstimatePageNumber(page.start));
    }
    page.pageNumber = n;
}

uint32_t Paginator::NumberFromFirst(uint32_t position) {
    const int64_t reach = kNumberingPages * static_cast<int64_t>(layout_.CharsPerPageEstimate());
    if (!firstKnown_ || position <= first_.start || position - first_.start > reach) return kNone;
    // Laid out aside: the pages kept for paging back stay as they are.
    const uint32_t lastNumber = lastNumber_, lastStart = lastStart_, lastSteps = lastSteps_;
    PageRecord page;
    page.used = page.CopyFrom(first_);
    uint32_t number = 1;
    bool found = false;
    for (uint32_t guard = 0; page.used && guard < 4 * kNumberingPages; ++guard) {
        PageSlot aside;
        PageRecord next;
        bool more = false;
        const bool ok = LayoutSlot(page, aside, false, next, more);
        layout_.ReleaseSourceBuffers();
        if (!ok || !more || next.start <= page.start) break;
        if (next.start > position) {
            found = true;
            break;
        }
        number += page.steps;
        page.Reset();
        page.MoveFrom(next);
        page.used = true;
    }
    lastNumber_ = lastNumber;
    lastStart_ = lastStart;
    lastSteps_ = lastSteps;
    if (!found) return kNone;
    // A page starting inside a page paging forward shows comes after it.
    return std::max<uint32_t>(2, page.start < position ? number + page.steps : number);
}

bool Paginator::AdvanceToPosition(uint32_t rangeStart, uint32_t rangeEnd, PageRecord*& moved) {
    moved = nullptr;
    PageRecord* cur = CurrentRecord();
    if (!cur) return false;
    uint32_t start = cur->start;
    if (!LayoutPageAt(start, false)) return false;
    cur = FindPageRecord(start, PageStepCode::kSamePage);
    if (!cur || cur->end == kNone || rangeEnd <= cur->end) return true;
    HideCurrent();
    PageRecord* r = cur;
    for (int32_t guard = 0; guard < 100000; ++guard) {
        if (r->end != kNone && (r->start >= rangeStart || r->end > rangeStart)) break;
        uint32_t from = r->start;
        PageRecord* next = FindPageRecord(from, PageStepCode::kNextPage);
        if (!next && LayoutPageAt(from, false))
            next = FindPageRecord(from, PageStepCode::kNextPage);
        if (!next || next->start <= from) {
            layout_.ShowCurrentPage();
            return false;
        }
        r = next;
        if (r->end == kNone && !LayoutPageAt(r->start, false)) break;
        r = FindPageRecord(r->start, PageStepCode::kSamePage);
        if (!r) return false;
    }
    MakeCurrent(r, kNoPageMark);
    moved = r;
    return true;
}

PageRecord* Paginator::StepPage(ViewOffset y, PageStepCode step) {
    PageRecord* cur = CurrentRecord();
    if (!cur || !CanStep(PageStepCode::kNextPage)) return nullptr;
    uint32_t from = cur->start;
    PageRecord* target = FindPageRecord(from, step);
    if (!target && LayoutPageAt(from, step == PageStepCode::kSingleStep))
        target = FindPageRecord(from, step);
    if (!target) return nullptr;
    const uint32_t s = target->start;
    int32_t slot = -1;
    if (!LayoutPageAt(s, false, &slot) || slot < 0) return nullptr;
    // The first line at or below y (from the viewport's top) on the page reached.
    uint32_t line = kNone;
    int32_t lineTop = 0;
    BlockContents& block = slots_[slot].contents;
    BlockCursor c;
    c.Init(&block, true);
    bool waiting = false;
    for (; !c.AtEnd() && line == kNone; c.Next()) {
        const BlockItem* item = block.ItemAt(c.position);
        if (c.Kind() == kItemLine) {
            const LineRecord* l = block.Line(c.counts[kItemLine]);
            waiting = l->height > 0 && l->y - layout_.Viewport().y >= y;
            if (waiting) lineTop = l->y - layout_.Column(0).y;
        }
        if (waiting && item->HasPosition()) line = item->Position();
    }
    HideCurrent();
    PageRecord* r = nullptr;
    if (line != kNone && line == s) {
        r = FindPageRecord(s, PageStepCode::kSamePage);
    } else if (line != kNone && line > s && layout_.ColumnCount() == 1) {
        // The page cut just above that line: the page after the cut starts on it.
        PageRecord cut, follower;
        bool more = false;
        int32_t scratch = ChooseSlot();
        bool copied = cut.CopyFrom(*target);
        cut.used = copied;
        if (copied && LayoutSlotCapped(cut, slots_[scratch], lineTop, follower, more) && more &&
            follower.start > s) {
            follower.linkOrigin = s;
            follower.linkStep = StepValue(PageStepCode::kSingleStep);
            follower.pageNumber = target->pageNumber;
            follower.useStamp = NextStamp();
            r = StoreRecord(follower);
        }
        ReleaseSlot(scratch);
        if (r) r = FindPageRecord(r->start, PageStepCode::kSamePage);
    } else {
        r = FindPageRecord(s, PageStepCode::kNextPage);
        if (!r && LayoutPageAt(s, false)) r = FindPageRecord(s, PageStepCode::kNextPage);
    }
    if (!r) {
        layout_.ShowCurrentPage();
        return nullptr;
    }
    MakeCurrent(r, kNoPageMark);
    return r;
}

bool Paginator::CanStepForward() {
    PageRecord* cur = CurrentRecord();
    if (!cur) return false;
    PageRecord* next = FindPageRecord(cur->start, PageStepCode::kNextPage);
    // Laid out already: nothing is drawn ahead (the surface keeps no second page).
    if (next && SlotOf(next->start) >= 0) return false;
    if (lastStart_ != kNone && cur->start == lastStart_) return false;
    return cur->end == kNone || cur->end < layout_.TextLength();
}

PageRecord* Paginator::ShowAsOnlyPage(PageRecord* r) {
    if (!r) return nullptr;
    HideCurrent();
    uint32_t start = r->start;
    for (int32_t i = 0; i < 2; ++i)
        if (slots_[i].record && slots_[i].record->start != start) ReleaseSlot(i);
    r = FindPageRecord(start, PageStepCode::kSamePage);
    if (!r) return nullptr;
    MakeCurrent(r, kNoPageMark);
    return r;
}

uint32_t Paginator::PageStartRelative(int32_t k) {
    PageRecord* cur = CurrentRecord();
    if (!cur || k < -2 || k > 2) return kNone;
    if (k == 0) return cur->start;
    PageRecord* r = FindPageRecord(cur->start, StepFromValue(k));
    if (r) return r->start;
    if (k == 2) return cur->end;
    return kNone;
}

// --- Maintenance --------------------------------------------------------------------------------

void Paginator::Forget() {
    ReleaseSlots();
    for (PageRecord& r : records_) r.Reset();
    firstKnown_ = false;
    first_.Reset();
    counter_ = 0;
    current_ = kNone;
    lastNumber_ = lastStart_ = kNone;
    keptStops_.clear();
    ForgetKnownLines();
}

uint32_t Paginator::KeptStop(uint32_t start) const {
    for (const KeptStopEntry& k : keptStops_)
        if (k.start == start) return k.stop;
    return kNone;
}

void Paginator::KeepStop(uint32_t start, uint32_t stop) {
    if (stop == kNone || stop <= start) return;
    for (KeptStopEntry& k : keptStops_)
        if (k.start == start) {
            k.stop = stop;
            return;
        }
    if (keptStops_.size() >= kMaxKeptStops) keptStops_.erase(keptStops_.begin());
    keptStops_.push_back({start, stop});
}

std::vector<Paginator::KeptStopEntry> Paginator::KeptStopsAfter(uint32_t position,
                                                                size_t count) const {
    std::vector<KeptStopEntry> after;
    for (const KeptStopEntry& k : keptStops_)
        if (k.start > position) after.push_back(k);
    std::sort(after.begin(), after.end(),
              [](const KeptStopEntry& a, const KeptStopEntry& b) { return a.start < b.start; });
    if (after.size() > count) after.resize(count);
    return after;
}

void Paginator::ForgetStop(uint32_t start) {
    std::erase_if(keptStops_, [start](const KeptStopEntry& k) { return k.start == start; });
}

void Paginator::DropLaidOut() {
    ReleaseSlots();
    PageRecord* cur = CurrentRecord();
    if (cur && cur != &first_) {
        if (cur != &records_[0]) records_[0].MoveFrom(*cur);
        cur = &records_[0];
    }
    for (PageRecord& r : records_)
        if (&r != cur) r.Reset();
    // Ends and links were measured at the old size; they are found again.
    keptStops_.clear();
    ForgetKnownLines();
    for (PageRecord* r : {&first_, cur}) {
        if (!r) continue;
        r->end = kNone;
        r->linkOrigin = kNone;
        r->linkStep = 0;
    }
}

bool Paginator::FreeMemory() {
    for (int32_t i = 0; i < 2; ++i) {
        if (!slots_[i].IsFree() && slots_[i].record->start != current_) {
            ReleaseSlot(i);
            return true;
        }
    }
    bool freed = false;
    for (int n = 0; n < 2; ++n) {
        PageRecord* victim = nullptr;
        for (PageRecord& r : records_) {
            if (!r.IsUsed() || r.start == current_) continue;
            if (!victim || r.useStamp < victim->useStamp) victim = &r;
        }
        if (!victim) break;
        victim->Reset();
        freed = true;
    }
    return freed;
}

void Paginator::DropRecordsExcept(uint32_t position, bool& keptCurrent) {
    ReleaseSlot(0);
    ReleaseSlot(1);
    bool atPosition = false;
    for (const PageRecord& r : records_) atPosition |= r.IsUsed() && r.start == position;
    uint32_t keep = atPosition ? position : current_;
    keptCurrent = !atPosition;
    for (PageRecord& r : records_)
        if (r.IsUsed() && r.start != keep) r.Reset();
}

void Paginator::ReleaseSlot(int32_t i) {
    PageSlot& slot = slots_[i & 1];
    if (!slot.IsFree() && slot.state == kPageShown) layout_.NotifyPageHiding();
    ResetSlot(slot);
}

bool Paginator::CheckInvariants() const {
    if (StoredRecordCount() > kMaxRecords) return false;
    for (const PageSlot& s : slots_) {
        if (!s.record) continue;
        bool known = s.record == &first_ || s.record == &s.scratch;
        for (const PageRecord& r : records_) known |= s.record == &r;
        if (!known || !s.record->IsUsed()) return false;
    }
    if (current_ != kNone && !CurrentRecord()) return false;
    for (int32_t i = 0; i < kMaxRecords; ++i)
        for (int32_t j = i + 1; j < kMaxRecords; ++j)
            if (records_[i].IsUsed() && records_[i].start == records_[j].start) return false;
    return true;
}
