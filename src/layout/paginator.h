// The paginator: which pages are known and which are laid out. It keeps the record of the first
// page and up to kMaxRecords more (one per known page start, each with what is needed to resume
// layout there), the two slots that hold laid-out pages, the stamps that tell which record and
// slot were used last, the current page, and the last page once it is known. It moves between
// pages by the steps of page_step.h, forward by laying pages out from a known start and back by
// finding the page that ends where the current one starts.
//
// Laying one page out is the layout's (PageLayout, which owns the paginator): the paginator asks
// it to start a page at a position, to fill a slot from a record, for the column geometry and
// the text's length and sections, and to show or hide a page. It tells the layout's listener
// nothing itself: the layout's operations do that after a move.
//
// Threading: GUI thread only, like the layout.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <vector>

#include "core/byte_stream.h"
#include "document/markup/element_stack.h"
#include "graphics/widgets/area.h"
#include "layout/annotation_cursor.h"
#include "layout/block_contents.h"
#include "layout/page_step.h"

class PageLayout;

// The scroll offsets of one scrollable table of a page, keyed by the table's text position.
struct TableScrollEntry {
    uint32_t position = 0;
    int32_t x = 0;
    int32_t y = 0;
    // Scrolling (table_scroll.h): the selected flag, the offsets saved before a key scroll and
    // the largest offsets (negative: that axis does not scroll).
    uint8_t selected = 0;
    int32_t savedX = 0;
    int32_t savedY = 0;
    int32_t largestX = -1;
    int32_t largestY = -1;
};

// One known page start, with what is needed to resume layout there.
struct PageRecord {
    static constexpr uint32_t kNone = 0xFFFFFFFFu;
    uint32_t pageNumber = 1;
    // The steps PageDown takes through the page once it is laid out: one, and one more for each
    // further view of its tables larger than their room (the page after it is numbered that
    // many on, and each step shows its own number).
    uint32_t steps = 1;
    uint32_t start = 0;
    // The link: the page this one was reached from and the step that led here (1 or 2; the
    // first page's record holds the negative step back to the page after it).
    uint32_t linkOrigin = 0;
    int32_t linkStep = 0;
    uint32_t end = kNone;
    // When the record was last returned by a look-up (the paginator's counter).
    uint32_t useStamp = 0;
    // The token source's scan state after the last token read into the block; empty: start
    // the source at `start`.
    ByteStream scanState;
    // Open elements at the scan state.
    ElementStack elements;
    // The state was rebuilt from a stretch before the page (a far jump), not read from the
    // first page: checkpoints taken from it are marked so.
    bool rebuilt = false;
    // Style and block style in force at the page start.
    PositionRecord style;
    BoxRecord blockStyle;
    // Items read before the page start that belong to it (the rest of a block).
    std::unique_ptr<BlockContents> block;
    int32_t markIndex = -1;
    // A page found going back ends where the page after it starts, even when more would fit:
    // its layout stops before the first line at or after this position (kNone: no stop).
    uint32_t stopAt = kNone;
    // The page before ends with a forced page break: this page starts where paging forward
    // starts one, and a page found going back is never cut from it.
    bool afterBreak = false;
    // The colour of the page, the scroll offsets of its tables, and whether the record holds a
    // page (records are kept in a fixed array).
    uint32_t colour = kNone;
    std::vector<TableScrollEntry> tables;
    bool used = false;

    // Deep copy; false when memory runs out.
    bool CopyFrom(const PageRecord& other);
    // The same copy but for the block carried over, which is left as it was.
    bool CopyAllButBlock(const PageRecord& other);
    // Back to an unused record; a move that leaves the other reset; the start the record's
    // link leads to from (position, step), or kNone.
    void Reset();
    bool IsUsed() const { return used; }
    void MoveFrom(PageRecord& other);
    uint32_t Follow(uint32_t position, int32_t step) const;
};

// A line of a laid-out page outside any table (a table counts as one line): where its text
// starts and its top and bottom below the column top.
struct PageLineSpan {
    uint32_t start;
    int32_t top;
    int32_t bottom;
    // Words and spaces only: no picture, table or page break, so the line is as tall and
    // breaks the same wherever on a page it lies.
    bool plain;
    // Nothing but a line break (and spaces): a page stopped at the line after it ends above
    // it.
    bool blank = false;
    // It holds a picture (an inline object outside any table).
    bool picture = false;
};

// One laid-out page.
struct PageSlot {
    PageRecord* record = nullptr;
    BlockContents contents;
    BlockCursor cursor;
    int32_t contentHeight = 0;
    uint8_t state = 0;  // 0 never shown, 1 shown, 2 hidden
    void Reset();

    // Pagination, drawing and marks.
    PageRecord scratch;  // the record of a page laid out only to find its end
    bool drawn = false;
    int32_t cornerBookmark = -1;  // the bookmark shown in the corner
    int32_t lateObject = -1;      // the first object drawn in the late pass
    AreaArray marks;
    bool marksBuilt = false;
    // The walk over the annotations while the page is drawn, and the note mark still open.
    AnnotationCursor walk;
    bool walking = false;
    MarkBox openMark;
    // The views PageDown shows of the page's tables larger than their view (table_views.h),
    // worked out once for each layout of the page: each table's text position and its views
    // in reading order.
    struct TableViewList {
        uint32_t position = 0;
        std::vector<Point> views;
    };
    std::vector<TableViewList> tableViews;
    bool tableViewsKnown = false;
    bool IsFree() const { return record == nullptr; }
};

// Records of pages starting at the lines of pages laid out (PageLayout::SetLineStartSink), in
// storage used again: a walk leaves one at every line and keeps few. The open elements are
// held apart from the record, one copy for the lines they do not change between.
struct LineStartRecords {
    static constexpr size_t kMaxSpare = 128;
    struct Entry {
        std::unique_ptr<PageRecord> record;  // its own elements left empty
        std::shared_ptr<const ElementStack> elements;
        uint32_t Start() const { return record->start; }
    };
    std::vector<Entry> records;
    std::vector<std::unique_ptr<PageRecord>> spare;
    // A record to fill (spare storage, else new); null when memory runs out.
    PageRecord* Open();
    // The record opened last goes to the end of `records`, with a copy of the elements (the
    // last one made when they have not changed since); false when memory runs out.
    bool Commit(const ElementStack& elements);
    void Release(Entry entry);
    void Clear();

private:
    std::shared_ptr<const ElementStack> lastElements_;
    uint64_t lastVersion_ = 0;
};

enum PageVisibility : uint8_t { kPageNeverShown = 0, kPageShown = 1, kPageHidden = 2 };

class Paginator {
public:
    static constexpr uint32_t kNone = PageRecord::kNone;
    static constexpr int32_t kMaxRecords = 8;
    // How far back from a position the page before it is looked for from a fresh record when
    // no known page start is nearer.
    static constexpr uint32_t kBackwardReach = 4096;
    // How many pages back from its target a search for the page ending there starts when it
    // knows no page to start from: the pages it goes through are kept for the next PageUps.
    static constexpr int64_t kChainSeedPages = 4;

    explicit Paginator(PageLayout& layout) : layout_(layout) {}
    Paginator(const Paginator&) = delete;
    Paginator& operator=(const Paginator&) = delete;

    // --- Records ---------------------------------------------------------------------------
    // Every record and slot dropped, nothing known (a new source).
    void Forget();
    // The first page: found by the layout (LayoutFirstPage), which fills the record and marks
    // it known.
    PageRecord& First() { return first_; }
    const PageRecord& First() const { return first_; }
    bool FirstKnown() const { return firstKnown_; }
    void SetFirstKnown(bool known) { firstKnown_ = known; }
    // The stored records (beside the first), used or not, in array order.
    std::span<PageRecord> Records() { return records_; }
    std::span<const PageRecord> Records() const { return records_; }
    int32_t StoredRecordCount() const;
    // The record a step leads to from a position (see PageRecord::Follow; ±3 are three single
    // steps), stamped as used; null when no known record answers.
    PageRecord* FindPageRecord(uint32_t position, PageStepCode step);
    // The stored record (or the first one for a start at or before the first page); null when
    // nothing could be stored. The record passed is moved from.
    PageRecord* StoreRecord(PageRecord& record);
    // The record at `start`, laid out from there and stored when it is not known.
    PageRecord* EnsureRecord(uint32_t pageNumber, uint32_t start, bool align);
    uint32_t NextStamp() { return counter_++; }

    // --- The current page and the last ---------------------------------------------------
    uint32_t Current() const { return current_; }
    void SetCurrent(uint32_t start) { current_ = start; }
    PageRecord* CurrentRecord();
    const PageRecord* CurrentRecord() const;
    // Makes the record current with its mark (kNoPageMark: none) and a new stamp.
    void MakeCurrent(PageRecord* record, PageMarkIndex mark);
    void HideCurrent();
    uint32_t LastNumber() const { return lastNumber_; }
    // The number of the last page's last step (its tables' last views), kNone until known.
    uint32_t LastStepNumber() const {
        return lastNumber_ == kNone ? kNone : lastNumber_ + lastSteps_ - 1;
    }
    uint32_t LastStart() const { return lastStart_; }
    bool IsLastPageKnown() const { return lastNumber_ != kNone; }
    void RememberLast(const PageRecord& record);
    // The known page of more than one step (a large table's views) whose steps hold page n.
    PageRecord* RecordHoldingStep(uint32_t n);
    void ForgetLast() { lastNumber_ = lastStart_ = kNone; }

    // --- Slots -----------------------------------------------------------------------------
    PageSlot& Slot(int32_t i) { return slots_[i & 1]; }
    const PageSlot& Slot(int32_t i) const { return slots_[i & 1]; }
    // The slot holding the page that starts at `start`; -1 when none does.
    int32_t SlotOf(uint32_t start) const;
    // A free slot, or else the one whose page was used less recently (never the current
    // page's), released.
    int32_t ChooseSlot();
    void ReleaseSlot(int32_t i);
    void ReleaseSlots() {
        ReleaseSlot(0);
        ReleaseSlot(1);
    }
    // Lays the page at the position into a slot (a scratch layout keeps the page number), and
    // stores the following page's record or remembers the page as the last.
    bool LayoutPageAt(uint32_t position, bool scratch, int32_t* slotOut = nullptr);
    bool LayoutNextPage();
    // The record of the page after the one at `from`, laid out when it is not known.
    PageRecord* LayoutFollower(uint32_t from);
    // Lays the record's page into the slot; `follower` gets the following page's record,
    // linked to this one, when there is more text.
    bool LayoutSlot(PageRecord& record, PageSlot& slot, bool singleStep, PageRecord& follower,
                    bool& moreText);
    // A page filled only `height` down its first column (what it lays out measures against
    // the whole column): it ends on a line start.
    bool LayoutSlotCapped(PageRecord& record, PageSlot& slot, int32_t height, PageRecord& follower,
                          bool& moreText);

    // --- Steps -----------------------------------------------------------------------------
    bool CanStep(PageStepCode step);
    // Whether laying out ahead would do anything: the next page is not laid out yet and the
    // current one is not the last.
    bool CanStepForward();
    // The page `step` away made current; null (the old page shown again) when there is none.
    PageRecord* MoveToPosition(uint32_t position, PageStepCode step, PageMarkIndex mark);
    // The page `step` away, moved on to its first line at or below y (from the viewport's
    // top); null when the move fails.
    PageRecord* StepPage(ViewOffset y, PageStepCode step);
    // Whole pages forward until the one that reaches the range; `moved` gets it (null when
    // nothing needed to move).
    bool AdvanceToPosition(uint32_t rangeStart, uint32_t rangeEnd, PageRecord*& moved);
    // Makes the record current with every other laid-out page released.
    PageRecord* ShowAsOnlyPage(PageRecord* record);
    uint32_t PageStartRelative(int32_t k);

    // --- Paging back (paging_back.cpp) -----------------------------------------------------
    // A text End pages from its first page (short, in one section): its pages are numbered as
    // paging forward numbers them.
    bool PagedFromFirst();
    // Whole pages forward from the first until page n (kNone: the last; a number past the
    // last gives the last), each numbered one above the page before; null when a layout fails.
    PageRecord* WalkFromFirst(uint32_t n);
    // Numbers a page reached going back from the page numbered `after`: one below it, and near
    // the first page the number paging forward gives, never the number just shown again.
    void NumberPageBefore(PageRecord& page, uint32_t after);
    // The number paging forward from the first page gives the page that starts at (or holds)
    // the position; kNone when that is too far to page.
    uint32_t NumberFromFirst(uint32_t position);
    static constexpr uint32_t kNumberingPages = 48;
    // The page before the position, found by paging forward from the nearest known start.
    bool FindPageBefore(uint32_t position, PageRecord*& out);
    // The page whose forward layout ends exactly at the target (its page number one below
    // `pageNumber`), with the page after it stored; stopped at the target only where no page
    // ends there (see paging_back.cpp).
    bool LayoutPageEndingAt(uint32_t target, uint32_t pageNumber, PageRecord*& out);
    // Test hook: off, every search lays its lines out afresh and nothing shown before is
    // retraced (it must find the same pages).
    void SetQuickSearch(bool on) {
        quickSearch_ = on;
        ForgetGrid();
    }
    bool QuickSearch() const { return quickSearch_; }
    // What is known of the pages was measured at the old settings.
    void ForgetKnownLines();
    // The start of the page shown before the page at `start` (PageDown went from it to this
    // one, or PageUp from this one to it), kept after their records go: PageUp shows again
    // the pages PageDown showed. kNone when not known.
    uint32_t TrailedBefore(uint32_t start) const;
    void KeepTrail(uint32_t before, uint32_t start);
    // Page starts and the start of the page shown before each.
    struct TrailEntry {
        uint32_t before;
        uint32_t start;
    };
    // The pages shown one after another up to the page at `start`, followed back from it
    // (nearest first), at most `count`: what a saved page keeps so that PageUp after reopening
    // shows the pages shown before it.
    std::vector<TrailEntry> TrailUpTo(uint32_t start, size_t count) const;
    // Where a page found going back ends (the start of the page it was found before), kept
    // after its record goes: paging forward over it again shows the pages paging back showed.
    uint32_t KeptStop(uint32_t start) const;
    void KeepStop(uint32_t start, uint32_t stop);
    struct KeptStopEntry {
        uint32_t start;
        uint32_t stop;
    };
    // The kept stops of pages starting after `position`, nearest first, at most `count`.
    std::vector<KeptStopEntry> KeptStopsAfter(uint32_t position, size_t count) const;

    // The pages known at the present settings, compactly: where each starts and where the page
    // laid out (or shown) from there ended. Paging back retraces them; a compact start is not
    // a laid-out page.
    struct KnownPage {
        uint32_t start;
        uint32_t end;
        uint32_t number;  // as paging forward from the first page numbers it; kNone unknown
        bool stopped;     // ended at a stop (a page found going back), not where it fills
    };
    const KnownPage* KnownPageAt(uint32_t start) const;
    size_t KnownPageCount() const { return map_.size(); }

    // --- Counting the pages of a short text (page_count.cpp) --------------------------------
    // A text this long or shorter, in one section, is paged from its first page once.
    static constexpr uint32_t kCountableLength = 1u << 20;
    bool Countable();
    // Test hook: texts longer than this are not counted.
    void SetCountLimit(uint32_t positions) {
        countLimit_ = positions;
        ForgetCount();
    }
    // Counts up to `most` more pages; true once every page is counted (the last page is then
    // known).
    bool CountPages(int32_t most);
    bool Counted() const { return countDone_; }
    struct CountedPage {
        uint32_t start;
        uint32_t number;
        uint32_t steps;
    };
    // The counted page that holds the position, or whose steps hold page n; null until counted.
    const CountedPage* CountedHolding(uint32_t position) const;
    const CountedPage* CountedPageNumbered(uint32_t n) const;
    // The number paging forward gives a page starting at `start`; kNone until counted.
    uint32_t CountedNumber(uint32_t start) const;

    // --- Maintenance -----------------------------------------------------------------------
    // Every laid-out page and every record but the current one dropped; ends and links
    // forgotten (they were measured at the old size).
    void DropLaidOut();
    bool FreeMemory();
    void DropRecordsExcept(uint32_t position, bool& keptCurrent);
    bool CheckInvariants() const;

private:
    static void ResetSlot(PageSlot& slot);

    // Paging back (paging_back.cpp).
    // A line of the pages laid out forward before a target (the grid): where its text starts,
    // its top and bottom below its page's column top, and whether it begins its page.
    struct GridLine {
        uint32_t start;
        int32_t top;
        int32_t bottom;
        bool pageTop;
        // Nothing but a line break: paging forward never starts a page on it.
        bool blank;
    };
    static constexpr size_t kMaxKnownPages = 4096;
    void NotePage(uint32_t start, uint32_t end, bool stopped);
    const KnownPage* KnownPageEndingAt(uint32_t end) const;
    const KnownPage* KnownPageBefore(uint32_t position) const;
    // Starts right after a forced page break: pages from before them end there.
    void NoteBreakStart(uint32_t start);
    // Whether pages start there however they are reached: the first page, the lowest start a
    // page ending at the target can have, or a start after a forced page break.
    bool IsFixedStart(uint32_t start, int64_t lower) const;
    int64_t LowestPageStart(uint32_t target);
    // Lays the record's page out whole as paging forward does, leaving what is known of the
    // last page as it was.
    bool LayOutAside(PageRecord& record, PageSlot& slot, PageRecord& follower, bool& more);
    // The record of a page starting at `start`: a known one copied, else started there.
    bool StartRecordAt(uint32_t start, PageRecord& record);
    // Whether the page laid out ends at the target (the page after it starts there, or only
    // items that show nothing lie between).
    bool EndsAt(const PageRecord& follower, bool more, uint32_t target) const;
    // The same for the page laid out in the slot, whose last items past the target may show
    // nothing.
    bool EndsAt(const PageSlot& slot, const PageRecord& follower, bool more, uint32_t target) const;
    void ForgetGrid();
    // Pages laid out forward from `page` until one ends at or past `until`; their lines go to
    // `lines`, `reached` gets where the last one ends.
    // With keepLineStarts, its layouts leave the records of pages starting at their lines.
    bool WalkForward(PageRecord& page, uint32_t until, std::vector<GridLine>& lines,
                     uint32_t& reached, bool keepLineStarts = false);
    // Where a walk up to the target starts: the nearest known start below it, or a break the
    // document offers or a paragraph's start within kBackwardReach.
    bool WalkStartBefore(uint32_t target, int64_t lower, PageRecord& page, bool toParagraph = true);
    int64_t GridHeightBefore(uint32_t target) const;
    bool ExtendGridBack(int64_t lower);
    // Makes the grid hold the lines before the target: a screenful, or all from a fixed start.
    bool GridBefore(uint32_t target, int64_t lower);
    // The earliest grid line from which the lines up to line m fit on one page (not before lo).
    int32_t FitBefore(int32_t lo, int32_t m) const;
    // The room a laid-out page leaves below its lines; the room grid line `line` takes.
    int64_t RoomBelow(const PageSlot& slot) const;
    int64_t Advance(int32_t line) const;
    // The page shown before the target, laid out again when it still ends there.
    bool RetracePageBefore(PageSlot& slot, uint32_t target, PageRecord& found, PageRecord& follower,
                           bool& more);
    bool SearchPageEndingAt(PageSlot& slot, uint32_t target, PageRecord& found,
                            PageRecord& follower, bool& more, int32_t depth = 0);
    bool StoreFound(int32_t s, uint32_t target, uint32_t after, PageRecord& found,
                    PageRecord& follower, bool more, PageRecord*& out);
    std::vector<KnownPage> map_;
    std::vector<uint32_t> breakStarts_;
    std::vector<GridLine> grid_;
    // The records of the walk's pages (the latest kMaxGridPages): a page from a line of one
    // starts from it cut above the line, with nothing replayed.
    static constexpr size_t kMaxGridPages = 24;
    std::deque<PageRecord> gridPages_;
    // Takes the record over (the page is left reset).
    void KeepGridPage(PageRecord& page);
    // The records of pages starting at the walk's lines, left by its layouts (in start order):
    // a page from one of them starts with nothing laid out again. Those where no page going
    // back is expected to start go back to the spare storage once the walk is done.
    LineStartRecords lineStarts_;
    PageSlot walkSlot_;
    // The walk's page just laid out left records from `from` on: those at its lines below the
    // first are put in start order, the rest go.
    void KeepLineStarts(size_t from, const std::vector<PageLineSpan>& spans);
    // Keeps the records at the lines where pages going back from the target are expected to
    // start (from the lines' heights), and the lines next to them.
    void KeepExpectedStarts(uint32_t target, int32_t lo);
    const LineStartRecords::Entry* LineStartAt(uint32_t start) const;
    // The record of a page starting at grid line `line`.
    // (afresh: else started there from the text, when no page of the walk holds it.)
    bool StartLineRecord(int32_t line, PageRecord& record, bool afresh = true);
    uint32_t gridFrom_ = kNone;
    uint32_t gridTo_ = kNone;
    // A search is laying pages out to look at them: they are not pages shown.
    bool probing_ = false;
    // How many pages before a page starting at TABs are laid out again to start it as shown.
    static constexpr int32_t kMaxTabDepth = 4;
    int32_t tabDepth_ = 0;
    // The count: the pages counted so far, the record of the next one and its number.
    void ForgetCount();
    std::vector<CountedPage> counted_;
    PageRecord count_;
    uint32_t countNumber_ = 1;
    bool countDone_ = false;
    bool countFailed_ = false;
    uint32_t countLimit_ = kCountableLength;

    PageLayout& layout_;

    PageRecord first_;
    bool firstKnown_ = false;
    PageRecord records_[kMaxRecords];
    // The block of the last record a stored follower replaced, emptied: the next page laid out
    // carries the rest of its block over in this storage instead of a block made anew (paging
    // forward replaces one record a page).
    std::unique_ptr<BlockContents> spareBlock_;
    void KeepSpareBlock(std::unique_ptr<BlockContents> block);
    // The record LayoutPageAt lays the next page's start into before storing it: a stored
    // follower leaves it the storage of the record it replaced (its open elements), used again
    // for the next page.
    PageRecord follower_;
    bool followerBusy_ = false;
    // LayoutPageAt's layout of the record into the slot (numbered s) and the storing of the
    // page after it.
    bool LayoutAndStore(PageRecord& record, PageSlot& slot, int32_t s, bool scratch,
                        PageRecord& follower);
    uint32_t counter_ = 0;
    PageSlot slots_[2];
    uint32_t current_ = kNone;
    uint32_t lastNumber_ = kNone;
    uint32_t lastStart_ = kNone;
    uint32_t lastSteps_ = 1;

    static constexpr size_t kMaxKeptStops = 512;
    void ForgetStop(uint32_t start);
    std::vector<KeptStopEntry> keptStops_;
    // Off (tests): the page before a target is found only the long way.
    bool quickSearch_ = true;
};
