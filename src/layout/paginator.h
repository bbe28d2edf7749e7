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
    // How far right its last drawing moved the table's text (text runs keep where they were
    // drawn).
    int32_t drawnShiftX = 0;
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
    // Holds a picture (not a table's row: a table is no line of words either).
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
    // The page that ends exactly at the target (its page number one below `pageNumber`), with
    // the page after it stored; the pages the search went through are kept for the next
    // steps back.
    bool LayoutPageEndingAt(uint32_t target, uint32_t pageNumber, PageRecord*& out);
    // Test hook: off, the page ending at a position is found without its shortcuts (which
    // must find the same page).
    void SetQuickSearch(bool on) {
        quickSearch_ = on;
        knownLines_.clear();
    }
    bool QuickSearch() const { return quickSearch_; }
    // Lines known from earlier searches, and the pages shown one after another, are measured
    // at the old settings.
    void ForgetKnownLines() {
        knownLines_.clear();
        trail_.clear();
        trailOldest_ = 0;
        forwardPages_.clear();
        tallTables_.clear();
    }
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

    // --- Maintenance -----------------------------------------------------------------------
    // Every laid-out page and every record but the current one dropped; ends and links
    // forgotten (they were measured at the old size).
    void DropLaidOut();
    bool FreeMemory();
    void DropRecordsExcept(uint32_t position, bool& keptCurrent);
    bool CheckInvariants() const;

private:
    static void ResetSlot(PageSlot& slot);

    // Paging back.
    enum EndingSearch { kEndingFound, kEndingFurtherBack, kEndingFailed };
    // laidOut: the slot's contents are the accepted page's layout (it was laid out last).
    // chain: the pages the search went through before the one holding the target, in order,
    // each ending where the next starts (for the next searches to start from).
    EndingSearch SearchPageEndingAt(PageSlot& slot, PageRecord& page, uint32_t target,
                                    bool atLowest, PageRecord& accepted, PageRecord& follower,
                                    bool& moreText, bool& laidOut, std::vector<PageRecord>& chain);
    // The lines of a page a search laid out whole (not stopped), while the layout settings
    // stay: a later search that passes over the same page reads its lines from here instead
    // of laying it out again.
    struct KnownLines {
        uint32_t start = 0;
        uint32_t end = 0;
        bool endsWithBreak = false;
        int32_t columnWidth = 0;
        int32_t columnHeight = 0;
        std::vector<PageLineSpan> lines;
    };
    static constexpr size_t kMaxKnownLines = 12;
    const KnownLines* FindKnownLines(uint32_t start) const;
    void RememberLines(uint32_t start, uint32_t end, bool endsWithBreak,
                       const std::vector<PageLineSpan>& lines);
    // Stores the pages a search went through before the page found (out), numbered back from
    // it, and keeps every known page before it over the pages after it when records run out.
    void StoreChain(std::vector<PageRecord>& chain, uint32_t foundStart);
    int64_t LowestPageStart(uint32_t target);
    // Whether the page ending at the target is filled upward from the page before it rather
    // than taken as the page paging forward ends there: at the end of the text, and at a page
    // that follows a forced page break.
    bool FillsUpward(uint32_t target) const;
    // Whether a page starts where paging forward always starts one: after a forced page break,
    // at its section's start (`lower`), or where the first page ends (the first page is shown
    // as paging forward shows it).
    bool StartsAtFixedBoundary(const PageRecord& page, int64_t lower) const;
    // Whether the page before `page` (the one shown before it, else the page of the search's
    // `chain` that ends where it starts) holds a table read view by view or starts with a
    // picture taller than half the screen, and `page` does not go on with such a table up to
    // the target: going back, that page is the one paging forward shows, so `page` starts
    // where paging forward starts it.
    bool FollowsPageShownWhole(const PageRecord& page, uint32_t target,
                               const std::vector<PageRecord>& chain);
    // Whether the page `found` (ending at `target`) starts inside the page `picture` (one
    // starting with a picture taller than half the screen) and holds less than half the
    // screen; then `after` is the page that follows `picture`.
    bool PageAfterTallPicture(const PageRecord& picture, const PageRecord& found,
                              uint32_t target, PageRecord& after);
    // Lays the page out into slot s as paging forward does (no stop); true, with the page after
    // it in `follower`, when that shows lines at or after the target (it is fuller than the
    // page ending there) and, with shortOf above 0, its lines before the target end above that
    // height; else the slot is released.
    bool LayoutForwardPage(PageRecord& page, int32_t s, uint32_t target, int32_t shortOf,
                           PageRecord& follower, bool& moreText);
    // The page starting at `start` as the page shown before it (TrailedBefore) leaves it, for a
    // start that reads differently afresh (StartsAtTabs): the pages before it are laid out
    // again from the nearest one known or starting elsewhere; false otherwise.
    bool LayoutAsPageAfterTrailed(uint32_t start, PageRecord& page);
    // The page kept from a forward run (KeepForwardPage) that starts there, if any.
    const PageRecord* ForwardPageAt(uint32_t start) const;
    // The page shown before the target's page (TrailedBefore), laid out into the slot
    // stopping at the target; false when none is known or it no longer reaches the target.
    bool RetracePageBefore(PageSlot& slot, uint32_t target, PageRecord& accepted,
                           PageRecord& follower, bool& moreText);
    bool StartEndingSearch(PageRecord& page, uint32_t target, int64_t lower, int64_t back,
                           int32_t attempt, bool& atLowest, uint32_t& estimated);
    // A page started at the estimate `q` for a search for the page ending at t0, moved back to
    // its paragraph's start when that lies above `lower` (paragraphFromLower: it does not).
    bool StartAtEstimate(PageRecord& page, uint32_t q, uint32_t t0, int64_t lower,
                         bool* paragraphFromLower = nullptr);
    // Where a search among the pages paging forward shows starts: the page before the one
    // holding the target, run up to from the latest kept forward page before it or from the
    // lowest start.
    bool StartRunUp(PageRecord& page, uint32_t target, int64_t lower);
    // From `page` (one paging forward shows), the pages after it laid out aside up to the one
    // holding `before`; `page` gets the page before that one (or stays). Every few pages one is
    // kept (KeepForwardPage), and each is kept as the page before the next (KeepTrail).
    bool RunForwardTo(PageRecord& page, uint32_t before);
    // Pages paging forward from the first shows, in start order: a later run up to a table
    // starts from the latest before it instead of the first page.
    std::vector<PageRecord> forwardPages_;
    struct TableHeight {
        uint32_t start;
        bool tall;
    };
    static constexpr size_t kMaxTallTables = 64;
    std::vector<TableHeight> tallTables_;
    void KeepForwardPage(const PageRecord& page);
    // The latest kept forward page starting at or after `lower` and before `before`; null when
    // none.
    const PageRecord* ForwardPageBefore(uint32_t before, int64_t lower) const;
    bool ProbeTop(PageSlot& slot, PageRecord& page, const PageRecord& before,
                  const std::vector<PageLineSpan>& linesBefore, uint32_t target,
                  std::vector<PageLineSpan>& linesHere);
    // The known page (stored, or the first) that ends at or before the target and starts
    // latest, not before `from`; null when none.
    const PageRecord* SeedBefore(uint32_t target, uint32_t from);
    // Whether the page at `start`, as an earlier search laid it out whole, leaves room for two
    // more lines of the base font at its foot (not at a forced break).
    bool EndsWithRoomLeft(uint32_t start) const;
    // Whether a page whose lines end at `bottom` (from the column's top) has room for two more
    // lines of the base font below them.
    bool RoomLeftAtFoot(int32_t bottom) const;
    // The top of a page only, filled down to `fill` (lengths and pictures still measure against
    // the whole column); the record's end and the known last page are left as they were.
    bool LayoutSlotTop(PageRecord& record, PageSlot& slot, int32_t fill, PageRecord& follower,
                       bool& moreText);

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

    // Paging back.
    std::vector<KnownLines> knownLines_;
    static constexpr size_t kMaxKeptStops = 512;
    void ForgetStop(uint32_t start);
    std::vector<KeptStopEntry> keptStops_;
    // Page starts and the start of the page shown before each (KeepTrail), at most kMaxTrail
    // (a run up to a table far into a manual keeps every page it passes, and PageUp over them
    // shows those pages again); trailHighest_ is at least every start there (paging forward
    // keeps starts past all of them, which need no search).
    static constexpr size_t kMaxTrail = 8 * kMaxKeptStops;
    std::vector<TrailEntry> trail_;
    size_t trailOldest_ = 0;  // once the trail is full, the index of its oldest entry
    uint32_t trailHighest_ = 0;
    void ForgetTrail() {
        trail_.clear();
        trailOldest_ = 0;
        trailHighest_ = 0;
        forwardPages_.clear();
        tallTables_.clear();
    }
    // Whether a search with no known page to start from starts a few pages back (the last
    // search could cut its page from the lines of the page before).
    bool chainSeeds_ = true;
    // Off (tests): the page before a target is found only the long way (no probe of the page
    // holding it, no nearby checkpoints), to compare the two.
    bool quickSearch_ = true;
    // A search among the pages paging forward shows (a run of pages before the target): the page
    // holding the target is taken as it is, stopped there, and each page passed is kept as the
    // one before the page after it (KeepTrail).
    bool forwardPagesOnly_ = false;
    // Whether the page, laid out in `slot` when given (else laid out aside), holds a table
    // larger than its view (wider, or a row taller), read view by view, starting before the
    // target.
    bool HoldsViewedTable(const PageRecord& page, uint32_t target, PageSlot* slot);
    // Whether the page found, or the page after it, starts inside a table taller than a page
    // (cut between rows however it is paged): paging forward groups its rows into pages from
    // where the table starts, and pages going back have to group them so too.
    bool CrossesTallTable(const PageRecord& page, const PageRecord* follower);
    // Whether a page laid out from the table at `tableStart` (where its start tag ends) ends
    // inside it; known answers are kept (tallTables_) until the layout changes.
    bool TallerThanAPage(uint32_t tableStart);
    // The page ending at the target searched for again among the pages paging forward shows
    // from a run of pages before it (StartRunUp); false (the page found before stays) when that
    // fails, and with keepFull when that page starts later than the one found before and fills
    // less than half the column.
    bool SearchForwardPagesEndingAt(PageSlot& slot, uint32_t target, int64_t lower, bool keepFull,
                                    PageRecord& accepted, PageRecord& follower, bool& moreText,
                                    bool& laidOut, std::vector<PageRecord>& chain);
};
