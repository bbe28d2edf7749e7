// Pagination on demand and the page cache. The engine never paginates a whole document: it knows
// the first page's start, the starts reached by stepping from a known page and far starts
// reached by estimate. It keeps at most 8 page records besides the first one and at most two
// laid-out pages (slots).
//
// Invariants (CheckInvariants): at most 8 stored records; a slot's record is the first record,
// a stored record or the slot's own scratch record; the current page has a record.
//
// Progress: every page that is not the end of the text ends strictly after its start. A page
// layout that does not advance fails the move instead of looping.
//
// Listener calls: nothing of the engine's own state is read after OnPageChanged returns, so the
// listener may start another move from it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/byte_stream.h"
#include "core/geometry.h"
#include "core/random.h"
#include "document/markup/element_stack.h"
#include "document/markup/render_state.h"
#include "graphics/widgets/area.h"
#include "layout/block_contents.h"

class AnnotationFile;
class AppPaths;
class BookLayoutTraits;
class PageCanvas;
class DocumentSource;
class PageLayout;
class TokenSource;

// The scroll offsets of one scrollable table of a page, keyed by the table's text position.
struct TableScrollEntry {
    uint32_t position = 0;
    int32_t x = 0;
    int32_t y = 0;
};

// One known page start and the state needed to resume layout there.
struct PageRecord {
    static constexpr uint32_t kNone = 0xFFFFFFFFu;

    uint32_t pageNumber = kNone;
    uint32_t start = kNone;
    uint32_t linkOrigin = kNone;
    int32_t linkStep = 0;
    uint32_t end = kNone;
    uint32_t useStamp = 0;
    ByteStream scanState;
    ElementStack stack;
    PositionRecord position;
    std::unique_ptr<BlockContents> block;  // the block continuing from the previous page
    uint32_t continuation = 0;
    uint32_t colour = kNone;
    std::vector<TableScrollEntry> tables;
    uint32_t markIndex = kNone;

    void Reset();
    bool IsUsed() const { return start != kNone; }
    // A full copy; false when memory runs out.
    bool CopyFrom(const PageRecord& other);
    // Takes the other's contents; the other is left reset.
    void MoveFrom(PageRecord& other);
    // Follows this record's link: the target start, or kNone.
    uint32_t Follow(uint32_t position, int32_t step) const;
};

enum PageVisibility : uint8_t { kPageNeverShown = 0, kPageShown = 1, kPageHidden = 2 };

// One laid-out page.
struct PageSlot {
    PageRecord* record = nullptr;  // null: free
    PageRecord scratch;            // the record of a scratch layout
    BlockContents contents;
    uint32_t contentHeight = 0;
    uint8_t state = kPageNeverShown;
    uint32_t markIndex = PageRecord::kNone;
    bool endsWithBreak = false;  // the last item is a page-break mark
    bool drawn = false;
    int32_t cornerBookmark = -1;  // the bookmark shown in the corner
    AreaArray marks;
    bool marksBuilt = false;
    int32_t lateObject = -1;      // the first object drawn in the late pass

    void Reset();
    bool IsFree() const { return record == nullptr; }
};

class PageLayoutListener {
public:
    virtual void OnRelayout() {}
    virtual void OnPageChanged(const PageRecord* /*record*/) {}
    virtual void OnPageShown(bool /*wasHidden*/) {}
    virtual void OnPageHiding() {}

protected:
    ~PageLayoutListener() = default;
};

// The engine's form list (forms and frames sit above the layout and implement it): saved
// control values go into the controls of a page's new marks.
class PageFormList {
public:
    virtual void RestoreValues(AreaArray& marks) = 0;

protected:
    ~PageFormList() = default;
};

// Where regions of a page start and end, for the region walker: links, or a text range.
class RegionStrategy {
public:
    virtual ~RegionStrategy() = default;
    // Whether a region starts or ends at item `index` (its index among its kind: kindIndex).
    virtual void Step(BlockContents& contents, int32_t index, int32_t kindIndex, bool& starts,
                      bool& ends) = 0;
    // A region is open from the first item when it starts at this position.
    virtual bool StartsAt(uint32_t position) = 0;
    // Completes a region's area; false drops it.
    virtual bool Finish(Area& area) = 0;
};

// Regions of the text under one link each; the area carries the link.
class LinkRegionStrategy : public RegionStrategy {
public:
    void Step(BlockContents& contents, int32_t index, int32_t kindIndex, bool& starts,
              bool& ends) override;
    bool StartsAt(uint32_t) override { return false; }
    bool Finish(Area& area) override;

private:
    LinkTarget* current_ = nullptr;
    RefPtr<LinkTarget> region_;
};

// One region over the positions [start, end), for a selection outline.
class RangeRegionStrategy : public RegionStrategy {
public:
    RangeRegionStrategy(uint32_t start, uint32_t end) : start_(start), end_(end) {}
    void Step(BlockContents& contents, int32_t index, int32_t kindIndex, bool& starts,
              bool& ends) override;
    bool StartsAt(uint32_t position) override { return position >= start_ && position < end_; }
    bool Finish(Area& area) override { return !area.IsEmpty(); }

private:
    uint32_t start_;
    uint32_t end_;
    bool begun_ = false;
};

// Laying out one page's contents, the block and line layout's part: the page of `record` goes
// into `slot` (its contents, content height and break flag); `follower` gets the start state of
// the following page and moreText tells whether there is one (its start must lie after the
// record's). The token source is positioned by PageLayout::RestoreScanState (record).
class PageContentLayout {
public:
    virtual bool LayoutIntoSlot(PageLayout& layout, PageRecord& record, PageSlot& slot,
                                bool singleStep, PageRecord& follower, bool& moreText) = 0;
    // One replayed token: the element stack and styles of the record follow it.
    virtual bool ReplayToken(PageLayout& layout, PageRecord& record);
    // A restored element stack holds an open table: its layout state is rebuilt (true when
    // there is nothing to rebuild).
    virtual bool RebuildTableState(PageLayout& layout, PageRecord& record);

protected:
    ~PageContentLayout() = default;
};

class PageLayout {
public:
    static constexpr uint32_t kNone = PageRecord::kNone;
    static constexpr int32_t kMaxRecords = 8;
    static constexpr uint32_t kBackwardReach = 4096;
    static constexpr uint32_t kCheckpointSpacing = 32768;
    static constexpr uint32_t kStateMagic = 0x45425653u;  // "EBVS"
    static constexpr uint32_t kStateVersion = 4;

    // traits: a book's answers (kept, not owned); null for text and HTML files.
    explicit PageLayout(BookLayoutTraits* traits = nullptr);
    PageLayout(const PageLayout&) = delete;
    PageLayout& operator=(const PageLayout&) = delete;
    virtual ~PageLayout();

    // Starts a page at `target` and fills in `record`.
    virtual bool LayoutPageFrom(uint32_t target, PageRecord& record, bool align);
    virtual bool SourceFlag();
    // The identity of the document, kNone without one.
    virtual uint32_t DocumentKey();

    // Set-up.
    void SetSource(TokenSource* source);
    void Clear();
    void SetContentLayout(PageContentLayout* content) { content_ = content; }
    bool SetAnnotations(AnnotationFile* file);
    void SetListener(PageLayoutListener* listener);
    void Configure(const RenderState& settings, int8_t baseFontSize);
    void SetViewport(const Rect& rect);
    void SetColumnCount(uint32_t n);
    void SetMargins(int32_t left, int32_t top, int32_t right, int32_t bottom, bool fixed);
    bool Start();
    uint32_t CurrentDocumentKey();

    // Navigation: true on success; on failure the old page stays current.
    bool GoToPage(uint32_t n);
    bool GoToPosition(uint32_t position, int32_t step, uint32_t mark = 255);
    bool MoveToPosition(uint32_t position, int32_t step, uint32_t mark = 255);
    bool AdvanceToPosition(uint32_t rangeStart, uint32_t rangeEnd);
    bool GoToPositionAsPageStart(uint32_t position);
    bool GoToPageContaining(uint32_t position);
    bool CanStep(int32_t step);
    bool SameSection(uint32_t a, uint32_t b);

    // Queries.
    uint32_t CurrentPageStart() const;
    uint32_t CurrentPageNumber() const;
    uint32_t PageStartRelative(int32_t k);
    uint32_t CurrentPageLength() const;
    uint32_t FirstPageStart() const { return firstKnown_ ? first_.start : kNone; }
    uint32_t PageCount();
    uint32_t TextLength() const;
    bool CurrentPageEndsWithBreak() const;
    uint32_t CharsPerPageEstimate() const;
    uint32_t EstimatePageNumber(uint32_t position) const;
    uint32_t PositionOfPage(uint32_t n) const;
    int32_t ColumnGap() const;
    int32_t FindColumn(const Rect& rect, Rect& out) const;
    int32_t ComputeColumns();
    const Rect& Column(uint32_t k) const { return columns_[k < 4 ? k : 0]; }
    uint32_t ColumnCount() const { return columnCount_; }
    bool IsLastPageKnown() const { return lastNumber_ != kNone; }

    // The saved page state ("EBVS" block).
    bool SaveCurrentPageState(uint32_t& pageNumber, uint32_t& pageStart, ByteStream& stream);
    bool RestorePageState(uint32_t pageNumber, uint32_t pageStart, ByteStream& stream);

    // Maintenance.
    void Relayout();
    void Invalidate(uint32_t flags);
    bool FreeMemory();
    void DropRecordsExcept(uint32_t position, bool& keptCurrent);
    void ReleaseSlot(int32_t slot);
    void SetPageVisibility(uint32_t start, uint8_t state);
    void ShowCurrentPage() { SetPageVisibility(current_, kPageShown); }

    // Drawing (the canvas is not owned; paths give the interface sizes, null the desktop's).
    void SetCanvas(PageCanvas* canvas) { canvas_ = canvas; }
    void SetPaths(const AppPaths* paths) { paths_ = paths; }
    void SetPageColours(uint32_t text, uint32_t background) {
        textColour_ = text;
        backgroundColour_ = background;
    }
    bool PaintCurrentPage(bool fill);
    // Draws the page at start (kNone: the current page); false when it has no slot.
    bool DrawPage(bool fill, uint32_t start = kNone);
    bool PrerenderAhead() { return LayoutNextPage(); }
    Rect CornerRect() const;
    int32_t StyleFontSize(const TextStyle& style) const;

    // Marks of the current page: built after it is drawn, kept until the slot is released.
    void SetFormList(PageFormList* forms) { forms_ = forms; }
    bool EnsureMarks(PageSlot& slot);
    bool BuildRegions(PageSlot& slot, AreaArray& out, RegionStrategy& strategy, int32_t from,
                      int32_t to, bool makeControls);
    bool ShowTip(PageSlot& slot, const Rect& area, const String& text, uint32_t number);
    static bool LineSegmentRect(const LineRecord& line, int32_t from, int32_t to, Rect& out);
    bool GetCurrentBlockMarks(AreaArray*& out);
    PageSlot* CurrentPageSlot();
    void ClearCurrentBlockMarks();
    void SetCurrentMark(uint32_t n, bool remember, bool notify);
    uint32_t CurrentMarkIndex();
    void RestoreRememberedMark();

    // Cache.
    PageRecord* FindPageRecord(uint32_t position, int32_t step);
    // The stored record (or the first one for a start at or before the first page); null when
    // nothing could be stored. The record passed is moved from.
    PageRecord* StoreRecord(PageRecord& record);
    PageRecord* EnsureRecord(uint32_t pageNumber, uint32_t start, bool align);
    bool LayoutFirstPage();
    bool LayoutPageAt(uint32_t position, bool scratch, int32_t* slotOut = nullptr);
    bool LayoutNextPage();
    bool LayoutPageEndingAt(uint32_t target, uint32_t pageNumber, PageRecord*& out);
    int32_t ChooseSlot();
    // Where a position lies on a laid-out page: 0-255 of the column height, 255 at the end of
    // the block; false when it is not on the page.
    bool PositionFraction(const PageSlot& slot, uint32_t position, uint32_t& fraction) const;

    // For the content layout and tests.
    bool RestoreScanState(const PageRecord& record);
    TokenSource* Source() const { return source_; }
    DocumentSource* Document() const;
    const RenderState& Settings() const { return settings_; }
    int8_t BaseFontSize() const { return baseFontSize_; }
    PageSlot& Slot(int32_t i) { return slots_[i & 1]; }
    const PageRecord& FirstRecord() const { return first_; }
    int32_t StoredRecordCount() const;
    bool CheckInvariants() const;

private:
    struct Checkpoint {
        uint32_t position = 0;
        ByteStream scanState;
        ElementStack stack;
    };

    PageRecord* CurrentRecord();
    const PageRecord* CurrentRecordConst() const;
    int32_t SlotOf(uint32_t start) const;
    bool LayoutIntoSlot(PageRecord& record, PageSlot& slot, bool singleStep, PageRecord& follower,
                        bool& moreText);
    bool Replay(uint32_t target, PageRecord& record);
    void AddCheckpoint(uint32_t position, const PageRecord& record);
    bool FindPageBefore(uint32_t position, PageRecord*& out);
    void MakeCurrent(PageRecord* record, uint32_t mark);
    void HideCurrent();
    uint32_t NextStamp() { return counter_++; }
    void RememberLast(const PageRecord& record);
    bool SectionOf(uint32_t position, uint32_t& start, uint32_t& end, bool& flagClear);
    bool ReadState(PageRecord& record, ByteStream& stream, bool& laidOutFromKey);
    void DrawItems(PageSlot& slot, uint32_t background);
    int32_t DrawLine(PageSlot& slot, int32_t index, int32_t* counts, uint32_t background);
    bool DrawObjects(PageSlot& slot, int32_t pass, uint32_t background);
    void DrawBookmarkCorner(PageSlot& slot);
    bool AddBookmarkTip(PageSlot& slot);
    void DrawScopeForMarks(PageSlot& slot, uint32_t old, uint32_t now);
    static bool AppendArea(AreaArray& out, Area& area);
    void ApplyStyle(const TextStyle& style);
    uint32_t TextColour() const;

    BookLayoutTraits* traits_;
    PageContentLayout* content_ = nullptr;
    struct QuietListener : PageLayoutListener {};
    QuietListener defaultListener_;
    PageLayoutListener* listener_ = &defaultListener_;
    TokenSource* source_ = nullptr;
    AnnotationFile* annotations_ = nullptr;

    Rect viewport_{};
    Rect columns_[4]{};
    uint32_t columnCount_ = 1;
    int32_t marginTop_ = 0, marginLeft_ = 0, marginRight_ = 0, marginBottom_ = 0;
    uint32_t marginMode_ = 0;

    PageCanvas* canvas_ = nullptr;
    PageFormList* forms_ = nullptr;
    const AppPaths* paths_ = nullptr;
    uint32_t textColour_ = 0;
    uint32_t backgroundColour_ = 0xFFFFFF;
    uint32_t defaultAlignment_ = 1;
    TextStyle drawStyle_;

    uint32_t current_ = kNone;
    uint32_t documentKey_ = kNone;
    uint32_t rememberedMark_ = kNone;

    PageRecord first_;
    bool firstKnown_ = false;
    uint32_t lastNumber_ = kNone;
    uint32_t lastStart_ = kNone;

    RenderState settings_;
    bool sourceFlag_ = true;
    int8_t baseFontSize_ = 12;

    PageRecord records_[kMaxRecords];
    uint32_t counter_ = 0;
    PageSlot slots_[2];
    std::vector<Checkpoint> checkpoints_;
    Random random_;
};
