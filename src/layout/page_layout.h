// The page layout engine: one page is filled column by column, line by line, from the block
// that continues from the previous page and from the token stream, and tables are laid out row
// by row in the flow. The paginator (paginator.h: page records, slots, steps, paging back)
// calls LayoutIntoSlot and receives the record of the following page; the painter
// (page_painter.h) draws a laid-out page. The layout owns both and keeps the operations the
// rest of the program calls, forwarding to them.
//
// Progress: every line consumes at least one item and every page ends strictly after it
// starts, unless the text has ended; LayoutIntoSlot fails rather than return a page that
// consumed nothing.
//
// Threading: GUI thread only. The token source, graphics context, book and log are not owned.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/byte_stream.h"
#include "core/geometry.h"
#include "core/random.h"
#include "document/markup/element_stack.h"
#include "document/markup/render_state.h"
#include "document_upper/forms/focus_order.h"
#include "graphics/widgets/area.h"
#include "layout/annotation_cursor.h"
#include "layout/block_contents.h"
#include "layout/layout_fonts.h"
#include "layout/line_breaking.h"
#include "layout/page_painter.h"
#include "layout/page_step.h"
#include "layout/paginator.h"
#include "layout/replay_checkpoints.h"
#include "layout/table_widths.h"
#include "layout/text_census.h"
#include "media/image/icon_image.h"

class AnnotationFile;
class AppPaths;
class BookLayoutTraits;
class DisplayLink;
class DocumentSource;
class DrawingSurface;
class PageCanvas;
class PageLayout;
class GraphicsContext;
class HtmlTokenizer;
class ImageDataOpener;
class Location;
class Node;
class Resource;
class SortedRecordDatabase;
class TokenSource;

class PageLayoutListener {
public:
    virtual void OnRelayout() {}
    virtual void OnPageChanged(const PageRecord* /*record*/) {}
    virtual void OnPageShown(bool /*wasHidden*/) {}
    virtual void OnPageHiding() {}

protected:
    ~PageLayoutListener() = default;
};

// What the layout tells its form list about a form control element it meets.
struct FormControlRequest {
    static constexpr int32_t kDefaultWidth = 128;
    uint32_t position = 0;  // the control element's
    uint32_t documentKey = 0;
    // The enclosing FORM element when it has a NAME: the name, a token source over the
    // element's stored attributes and its position. Null name: the form is found by the
    // control's position; failing that, a FORM without NAME (`unnamedForm`, over its
    // attributes) is named after its position.
    const String* formName = nullptr;
    TokenSource* formElement = nullptr;
    TokenSource* unnamedForm = nullptr;
    uint32_t formPosition = 0;
    // Where the form's controls live: the surface that draws the page (drop-down lists open
    // over it) and the node their nodes go under.
    DrawingSurface* surface = nullptr;
    Node* controlParent = nullptr;
    // The text style in force: size (negative: pixels), flags, face.
    const uint8_t* style3 = nullptr;
    int32_t defaultWidth = kDefaultWidth;
};

// The engine's form list (the forms sit below the layout; LayoutFormList in
// layout/layout_forms.h is the one over the window's FormList): saved control values go into
// the controls of a page's new marks.
class PageFormList {
public:
    virtual void RestoreValues(AreaArray& marks) = 0;
    // The control for the form element the source is on, with a reference for the caller;
    // null places nothing. A control built from an element with content (SELECT) leaves the
    // source on the element's end tag.
    virtual InlineObject* BuildControl(TokenSource& source, const FormControlRequest& request) = 0;

protected:
    ~PageFormList() = default;
};

// The second link of a mark made for a native form control: the control, which shows,
// hides and takes the focus itself (such marks are never drawn by the page).
class ControlMark : public FocusOrderedLink {
public:
    explicit ControlMark(InlineObject* control) : control_(control) {}
    bool HasValue() const override { return false; }
    uint32_t Value() const override { return 0; }
    // A control takes the focus in its form's order: the form's and its own script handles.
    bool GetOrderKeys(uint32_t& first, uint32_t& second) override {
        first = second = 0;
        return control_ && control_->GetScriptHandles(first, second);
    }
    InlineObject* Control() const { return control_.Get(); }
    // The control of a mark; null for any other mark.
    static InlineObject* Of(const Area& area);

private:
    RefPtr<InlineObject> control_;
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
    // The link of the reader's own annotation mark open at the next item (null: none).
    virtual void NoteAnnotationLink(LinkTarget* /*link*/) {}
    // Whether a region may start among the block's items at all, where no annotation leads
    // one there: false lets a walk that has nothing else to find be skipped.
    virtual bool MayStart(const BlockContents& /*contents*/) const { return true; }
};

// Regions of the text under one link each; the area carries the link.
class LinkRegionStrategy : public RegionStrategy {
public:
    // `startLink`: the link of the style the block starts in (a link carried over from the
    // page before), or null.
    explicit LinkRegionStrategy(LinkTarget* startLink = nullptr) : styleLink_(startLink) {}
    void Step(BlockContents& contents, int32_t index, int32_t kindIndex, bool& starts,
              bool& ends) override;
    bool StartsAt(uint32_t) override { return false; }
    bool Finish(Area& area) override;
    void NoteAnnotationLink(LinkTarget* link) override { markLink_ = link; }
    // Only a style that carries a link starts one, the one the block starts in too.
    bool MayStart(const BlockContents& contents) const override;
    // The link of text in a style under an annotation mark: the style's own, else the mark's.
    // A style link that leads nowhere (only a title) gives way to the mark's: the reader's
    // own link over a book's titled words is followed.
    static LinkTarget* TakeRegionLink(LinkTarget* markLink, LinkTarget* styleLink) {
        if (markLink && (!styleLink || styleLink->kind == kLinkTitleOnly)) return markLink;
        return styleLink;
    }

private:
    LinkTarget* current_ = nullptr;
    LinkTarget* styleLink_ = nullptr;
    LinkTarget* markLink_ = nullptr;
    RefPtr<LinkTarget> region_;
    // The link of the region a step ended, finished right after the step: where one link's
    // text runs straight into another's, region_ already holds the next one.
    RefPtr<LinkTarget> ended_;
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

// A stand-in for the block and line layout (tests and tools): the page of `record` goes into
// `slot`; `follower` gets the start state of the following page and moreText tells whether there
// is one (its start must lie after the record's). The token source is positioned by
// PageLayout::RestoreScanState (record).
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

// Lets the reader pick another face for a kind of content (set by the reader; optional).
class FontSizeAdjuster {
public:
    // The face to use instead of `face` for a resource of this child kind and value.
    virtual uint8_t AdjustFace(uint8_t face, uint32_t childKind, uint32_t value) = 0;

protected:
    ~FontSizeAdjuster() = default;
};

// What the layout is configured with.
struct LayoutSettings {
    DocumentDefaults defaults;
    int32_t baseFontSize = 12;    // pixels; also the base unit of multiples
    int32_t lineSpacing = 0;      // quarters of the text height
    bool showRules = true;        // horizontal rules are laid out
    uint32_t screenClass = 1;     // 0 small, 1 normal, 2 large: picks LORECINDEX or HIRECINDEX
    Resource* book = nullptr;     // image records
    const Location* location = nullptr;  // the document's, for relative picture sources
    ImageDataOpener* opener = nullptr;
    SortedRecordDatabase* log = nullptr;
    IconHost icons;  // the program's icons ("oeb:fvt_iconlib$id" pictures), sized for the screen
    // The face of text that names none (the reader's display profile); 0: face 1. Resolved when
    // text is measured and drawn, so a new profile needs no more than a relayout.
    uint8_t textFace = 0;
    // The reader's page colours: text that names no colour, and the page behind it. Taken at
    // draw time, so a change shows at once.
    uint32_t pageText = 0;
    uint32_t pageBackground = 0xFFFFFF;
    // The alignment of a line that names none (1 left, 4 justified: the reader's "Full justify
    // text"). Taken at draw time, as the colours are.
    uint32_t defaultAlignment = 1;
};

class PageLayout {
public:
    static constexpr int kMaxColumns = 4;
    // Guards against a token source that never delivers.
    static constexpr int32_t kMaxEmptyReads = 1 << 20;
    // Tables nested deeper are laid out as plain items. Every level lays its cells out twice
    // (measuring, then at the final widths), so the cost doubles with each.
    static constexpr int32_t kMaxTableDepth = 5;

    explicit PageLayout(BookLayoutTraits* traits = nullptr);
    virtual ~PageLayout();
    PageLayout(const PageLayout&) = delete;
    PageLayout& operator=(const PageLayout&) = delete;

    // Set-up.
    // Stores the source and forgets every page of the old one.
    void SetSource(TokenSource* source);
    TokenSource* Source() const { return source_; }
    void SetGraphics(GraphicsContext* gc) {
        fonts_.Attach(gc);
        pager_.ForgetKnownLines();
        ForgetTableMeasures();
    }
    void Configure(const LayoutSettings& settings);
    // The reader's link colour and whether links are underlined, over what Configure gave; the
    // next layout uses them.
    void SetLinkColour(uint32_t colour) { settings_.defaults.linkColor = colour; }
    void SetUnderlineLinks(bool underline) { settings_.defaults.underlineLinks = underline; }
    // The content resource (not owned) and the adjuster asked at Configure (not owned).
    void SetResource(Resource* resource) { resource_ = resource; }
    void SetFontSizeAdjuster(FontSizeAdjuster* adjuster) { adjuster_ = adjuster; }
    const LayoutSettings& Settings() const { return settings_; }
    // Up to kMaxColumns column rectangles.
    void SetColumns(const Rect* columns, int count);
    int ColumnCount() const { return columnCount_; }
    const Rect& Column(int i) const { return columns_[i]; }
    // How far down the first column a page is filled: its height, or less while only the top
    // of a page is probed (lengths and pictures still measure against the height).
    int32_t FirstColumnFill() const {
        return fillLimit_ < columns_[0].height ? fillLimit_ : columns_[0].height;
    }
    virtual bool SourceFlag();
    virtual uint32_t DocumentKey();
    // True when the key follows the document's content (see BookLayoutTraits).
    bool KeyFollowsContent();
    // Starts a page at `target` and fills in `record`.
    virtual bool LayoutPageFrom(uint32_t target, PageRecord& record, bool align);

    // Page and block layout. Lays the page of slot.record into the slot; next receives the
    // record of the following page (its start equal to this page's end). False when nothing
    // could be laid out: the slot is then empty.
    bool LayoutIntoSlot(PageSlot& slot, PageRecord& next, bool& moreText, bool singleStep);

    // How far down the page's columns a position lies, 0 to 255 (255 at the block's end); false
    // when the position lies before the block or beyond its end.
    bool PositionFraction(BlockContents& contents, uint32_t position, uint32_t& fraction);
    // The page's block ends with a page break.
    static bool EndsWithTypeZeroMark(BlockContents& contents);
    // Measures a record's saved block again after a change of fonts or sizes: spaces that have
    // a width, text runs, and objects that follow the font.
    void RemeasureRecord(PageRecord& record);
    // Every stored record (the first page's too), inside one drawing bracket.
    void RemeasureRecords();

    // The number of characters behind the token source.
    uint32_t TextLength();
    // Whether a position lies in the same section (pages do not cross sections).
    bool SameSection(uint32_t a, uint32_t b);

    // Pagination (page_layout.cpp; the records and slots are the paginator's). Set-up:
    void Clear();
    void SetContentLayout(PageContentLayout* content) { content_ = content; }
    DocumentSource* Document() const;
    // Attaches the book's side file, checking that it is this book's. False when it is not
    // (then nothing is attached and the file is left as it is) or cannot be made so.
    bool SetAnnotations(AnnotationFile* file);
    AnnotationFile* Annotations() const { return annotations_; }
    // Where the log hosts met while the first page is sought go (not owned); emptied when
    // given and collecting.
    void SetMetadataList(SortedRecordDatabase* list);
    void SetCollectMetadata(bool collect) { collectMetadata_ = collect; }
    void SetListener(PageLayoutListener* listener);
    void SetViewport(const Rect& rect);
    void SetColumnCount(uint32_t n);
    void SetMargins(int32_t left, int32_t top, int32_t right, int32_t bottom, bool fixed);
    bool Start();
    // Lays the current page out into a slot unless one holds it (the book's first page is laid
    // out when the book opens, not by the paint that first shows it); false when it cannot be.
    bool LayOutCurrentPage();
    uint32_t CurrentDocumentKey();

    // Navigation: true on success; on failure the old page stays current.
    bool GoToPage(uint32_t n);
    bool GoToPosition(uint32_t position, PageStepCode step, PageMarkIndex mark = kNoPageMark);
    bool MoveToPosition(uint32_t position, PageStepCode step, PageMarkIndex mark = kNoPageMark);
    bool AdvanceToPosition(uint32_t rangeStart, uint32_t rangeEnd);
    // `number`: the page's number when the caller knows it (the same page laid out anew keeps
    // the number it had); kNone estimates it from the position.
    bool GoToPositionAsPageStart(uint32_t position, uint32_t number = kNone);
    // The page `step` away, moved on to the first of its lines at or below y (from the
    // viewport's top): the page then starts there.
    bool StepPage(ViewOffset y, PageStepCode step);
    bool GoToPageContaining(uint32_t position);
    // Find's page: the page that holds the position, reached by paging on from a page met
    // before (or from a little before the position), starting a line before the position's
    // line when that is the page's first.
    bool GoToFoundText(uint32_t position);
    bool CanStep(PageStepCode step) { return pager_.CanStep(step); }

    // Queries.
    uint32_t CurrentPageStart() const;
    uint32_t CurrentPageNumber() const;
    uint32_t PageStartRelative(int32_t k) { return pager_.PageStartRelative(k); }
    uint32_t CurrentPageLength() const;
    // Where the current page ends, laying it out when that is not known yet; kNone when it
    // cannot be laid out.
    uint32_t CurrentPageEnd();
    // The part of the view the current page's lines take: the top of the first and the bottom
    // of the last, from the view's top. False when the page is not laid out or has no line.
    bool CurrentPageTextSpan(int32_t& top, int32_t& bottom) const;
    uint32_t FirstPageStart() const { return pager_.FirstKnown() ? pager_.First().start : kNone; }
    uint32_t PageCount();
    bool CurrentPageEndsWithBreak();
    // A page's worth of shown characters at the first column's size and the base font size.
    uint32_t CharsPerPageEstimate() const;
    // Page numbers by estimate, from the text after the first page's start (markup: what its
    // tags and hidden elements leave and the lines its blocks start, see TextCensus; other
    // text: its positions).
    uint32_t EstimatePageNumber(uint32_t position) const;
    // Where the text after the first page's start has shown n - 1 pages' worth: monotonic, at
    // or past the text's length for a page past its end.
    uint32_t PositionOfPage(uint32_t n) const;
    // Where the line holding the position starts, as paging forward from its paragraph's start
    // wraps it (a page reached by estimate starts there, never inside a word); a nearby token
    // start when the paragraph begins too far back, or a table's row.
    uint32_t LineStartHolding(uint32_t position);
    int32_t ColumnGap() const;
    int32_t FindColumn(const Rect& rect, Rect& out) const;
    int32_t ComputeColumns();
    bool IsLastPageKnown() const { return pager_.IsLastPageKnown(); }

    // The saved page state ("EBVS" block).
    bool SaveCurrentPageState(uint32_t& pageNumber, uint32_t& pageStart, ByteStream& stream);
    bool RestorePageState(uint32_t pageNumber, uint32_t pageStart, ByteStream& stream);

    // Maintenance.
    void Relayout();
    void Invalidate(uint32_t flags);
    bool FreeMemory() { return pager_.FreeMemory(); }
    void DropRecordsExcept(uint32_t position, bool& keptCurrent) {
        pager_.DropRecordsExcept(position, keptCurrent);
    }
    void ReleaseSlot(int32_t slot) { pager_.ReleaseSlot(slot); }
    void SetPageVisibility(uint32_t start, uint8_t state);
    void ShowCurrentPage() { SetPageVisibility(pager_.Current(), kPageShown); }

    // Drawing (the canvas is not owned; paths give the interface sizes, null the desktop's).
    void SetCanvas(PageCanvas* canvas) { painter_.SetCanvas(canvas); }
    PageCanvas* Canvas() const { return painter_.Canvas(); }
    void SetPaths(const AppPaths* paths) { paths_ = paths; }
    void SetPageColours(uint32_t text, uint32_t background) {
        painter_.SetPageColours(text, background);
    }
    bool PaintCurrentPage(bool fill);
    // Draws the page at start (kNone: the current page); false when it has no slot (the
    // viewport is then filled with the background).
    bool DrawPage(bool fill, uint32_t start = kNone);
    bool PrerenderAhead() { return LayoutNextPage(); }
    // Whether laying out ahead would do anything: the next page is not laid out yet and the
    // current one is not the last.
    bool CanStepForward() { return pager_.CanStepForward(); }
    // The height the current page needs at this width (size: width and the most height),
    // margins included; the viewport takes that size.
    Size FitHeightToContent(Size size);
    Rect CornerRect() const;
    int32_t StyleFontSize(const PositionRecord& style) const;
    // The face text without one of its own is drawn in (0: face 1).
    uint8_t DefaultFace() const {
        return settings_.defaults.style.text.face ? settings_.defaults.style.text.face
                                                  : settings_.textFace;
    }
    // The fonts text is measured in (a run cut at a scrolled table's side is measured again).
    LayoutFonts& Fonts() { return fonts_; }
    const Rect& Viewport() const { return viewport_; }
    const AppPaths* Paths() const { return paths_; }
    // The gap left of the first column: half the side margins.
    int32_t SideMarginGap() const { return (marginLeft_ + marginRight_) / 2; }
    // Where a note's mark goes: with style bit 5 a bar in the gap left of the column holding
    // the point (narrow or wide), else a small square at the point. False outside the columns.
    bool MarkerRect(uint32_t style, Point at, const LineRecord& line, bool narrow,
                    Rect& out) const {
        return painter_.MarkerRect(style, at, line, narrow, out);
    }

    // Marks of the current page: built after it is drawn, kept until the slot is released.
    void SetFormList(PageFormList* forms) { forms_ = forms; }
    // The surface form controls open their pop-ups over and the node their nodes go under.
    void SetControlContext(DrawingSurface* surface, Node* parent) {
        controlSurface_ = surface;
        controlParent_ = parent;
    }
    bool EnsureMarks(PageSlot& slot);
    bool BuildRegions(PageSlot& slot, AreaArray& out, RegionStrategy& strategy, int32_t from,
                      int32_t to, bool makeControls);
    bool ShowTip(PageSlot& slot, const Rect& area, const String& text, uint32_t number);
    // The tip of the current page's current mark: the words of the page it covers, each line
    // piece's in turn, one space between words and pieces; `where` gets the mark's bounds.
    // False when no mark is current or it covers no text.
    bool BuildAreaTip(String& text, Rect& where);
    // A scrollable table's marks: its arrows, linked to scroll it by a step either way.
    static constexpr int32_t kTableScrollStep = 40;
    bool MoveTable(PageSlot& slot, const Rect& view, uint32_t id);
    bool TableArrowRects(const Rect& view, Rect& left, Rect& right) const;
    // A scrollable table's view inside its box and the arrow columns beside the view, so that
    // the arrows never cover the table's text. Without the arrow icons the view is the box and
    // the arrows sit at its sides.
    bool TableScrollRects(const Rect& box, Rect& view, Rect& left, Rect& right);
    // A note's marker: an area linked to the annotation (note link 25, 71).
    static bool AddMarkArea(AreaArray& out, int32_t annotation, const Rect& rect);
    // A line piece's rectangle; inside a scrollable table moved down by dy (its content's
    // vertical shift) and cut to the table's view. False when nothing is left.
    static bool LineSegmentRect(const LineRecord& line, int32_t from, int32_t to, Rect& out,
                                const Rect* clip = nullptr, int32_t dy = 0);
    bool GetCurrentBlockMarks(AreaArray*& out);
    PageSlot* CurrentPageSlot();
    void ClearCurrentBlockMarks();
    // The scrollable tables of the drawn current page (their entries are made by drawing).
    // Before a key scroll the saved offsets take the current ones.
    void ResetTableCells();
    // Moves the selected tables (every one when none is selected), or the table `which`, by the
    // step within their content; true when one moved. The caller redraws the page.
    bool ScrollTables(Point step, uint32_t which = 0xFFFFFFFEu);
    // A page turn through a table larger than its view (table_views.h): forward, the first
    // table with a view left shows its next view (down its column, or the next column across
    // from its top); back, the last table moved shows the view before. True when one moved
    // (the page is then not turned, so nothing of the table is passed over). The caller
    // redraws the page.
    bool PageThroughTables(int32_t direction);
    // Whether PageThroughTables would move a table.
    bool CanPageThroughTables(int32_t direction);
    // Shows the views of the current page's tables larger than their view that `step`
    // PageDowns reach from the page's top (0: their first views; kNone: their last, as a page
    // reached going back shows them, paging back retracing paging forward).
    void ShowTableViews(uint32_t step);
    // Shows the view of the current page's table larger than its view that reads the text at
    // the position (Find's match); false when no table of the page holds it.
    bool ShowTableViewHolding(uint32_t position);
    // The PageDowns taken through the current page's tables since its top (0 at their first
    // views), and the number shown for the current page: its own number and those steps (each
    // view of a large table counts as a page, so the page after it is numbered past them).
    uint32_t CurrentPageStep();
    uint32_t ShownPageNumber();
    // Toggles a table's selection (0xFFFFFFFF: all, to the opposite of the first one's); true
    // when one changed, and the page is to be drawn again for its frame.
    bool SelectTable(uint32_t id);
    // The table whose view holds the point: found tells whether there is one; the result is
    // its selected flag.
    bool TableAt(Point p, uint32_t& id, bool& found);
    void SetCurrentMark(uint32_t n, bool remember, bool notify);
    uint32_t CurrentMarkIndex();
    void RestoreRememberedMark();
    // A mark carrying a native control: its control takes the focus (on) or gives it up.
    void ToggleMarkControl(bool on, const Area& mark);
    // The node that takes the focus back when a mark without a control becomes current (the
    // page view, whose drawing surface a native control may be holding it for); not owned, and
    // dropped with the layout by its owner.
    void SetFocusNode(Node* node) { focusNode_ = node; }
    // The display surface of the drawing surface the page is shown on (not owned; may be null).
    void SetDisplay(DisplayLink* display) { display_ = display; }
    DisplayLink* Display() const { return display_; }
    Node* FocusNode() const { return focusNode_; }

    // Cache: the page records and slots are the paginator's (paginator.h).
    PageRecord* FindPageRecord(uint32_t position, PageStepCode step) {
        return pager_.FindPageRecord(position, step);
    }
    // The stored record (or the first one for a start at or before the first page); null when
    // nothing could be stored. The record passed is moved from.
    PageRecord* StoreRecord(PageRecord& record) { return pager_.StoreRecord(record); }
    PageRecord* EnsureRecord(uint32_t pageNumber, uint32_t start, bool align) {
        return pager_.EnsureRecord(pageNumber, start, align);
    }
    bool LayoutFirstPage();
    // BODY's page and text colours, from the BODY tag the source has just read.
    void TakeBodyColours();
    bool LayoutPageAt(uint32_t position, bool scratch, int32_t* slotOut = nullptr) {
        return pager_.LayoutPageAt(position, scratch, slotOut);
    }
    bool LayoutNextPage() { return pager_.LayoutNextPage(); }
    bool LayoutPageEndingAt(uint32_t target, uint32_t pageNumber, PageRecord*& out) {
        return pager_.LayoutPageEndingAt(target, pageNumber, out);
    }
    int32_t ChooseSlot() { return pager_.ChooseSlot(); }

    bool RestoreScanState(const PageRecord& record);
    // The scan state and element stack at the record's start, for a page laid out from it.
    bool StateAtPageStart(const PageRecord& record, ByteStream& scanState,
                          ElementStack& elements);
    // Markup whose page starts outside tables and listings.
    bool OpenMarkupOutsideTables(const PageRecord& record) const;
    // Whether a replayed document's page can be saved with its state as paging forward had it;
    // and that state, read again from a stored page before it, for one that cannot.
    bool KeepsReplayedState(const PageRecord& record);
    // Reads again the tokens of the items the record carries over from the page before (from
    // its start to its scan state), handing each token's kind to `seen`, which stops the
    // reading by answering false. True when all were read and accepted.
    template <class Seen>
    bool ReadCarriedTokens(const PageRecord& record, Seen seen);
    // Whether the carried items end an element open at the page start (the table whose last
    // rows they are): the stack at the scan state has lost it.
    bool CarriedItemsCloseOpenElements(const PageRecord& record);
    bool ReplayedStateAtPageStart(const PageRecord& page, ByteStream& scanState,
                                  ElementStack& elements);
    PageSlot& Slot(int32_t i) { return pager_.Slot(i); }
    const PageRecord& FirstRecord() const { return pager_.First(); }
    int32_t StoredRecordCount() const { return pager_.StoredRecordCount(); }
    bool CheckInvariants() const { return pager_.CheckInvariants(); }
    // The page records and slots, for tests of paging.
    Paginator& Pages() { return pager_; }
    static constexpr uint32_t kNone = PageRecord::kNone;
    static constexpr int32_t kMaxRecords = Paginator::kMaxRecords;
    static constexpr uint32_t kBackwardReach = Paginator::kBackwardReach;
    static constexpr uint32_t kCheckpointSpacing = ReplayCheckpoints::kSpacing;
    static constexpr int32_t kMaxNearbyCheckpoints = ReplayCheckpoints::kMaxNearby;
    // How far before its mark a nearby checkpoint may lie (a token boundary is needed).
    static constexpr uint32_t kNearbyWindow = 128;
    static constexpr uint32_t kStateMagic = 0x45425653u;  // "EBVS"
    static constexpr uint32_t kStateVersion = 4;
    // The same with a page's stop after its tables.
    static constexpr uint32_t kStateVersionWithStop = 5;
    // The same with the stops of the pages after it that paging back found.
    static constexpr uint32_t kStateVersionWithStopsAhead = 6;
    // The same with the starts of the pages shown before it.
    static constexpr uint32_t kStateVersionWithTrail = 7;

    // A book that can start a page anywhere and is longer than kExactLength reads the markup
    // before a far target exactly (from the first page or a checkpoint) only when that start
    // lies within kRebuildStretch of it; otherwise the target's open elements are rebuilt from
    // that stretch before it: its tags are read from the first page's element stack on, so the
    // cost does not grow with the book. That state is what reading from the first page gives
    // whenever no element stays open across the stretch; checkpoints taken on such a reading
    // are marked rebuilt, and an exact reading never starts from one.
    static constexpr uint32_t kExactLength = 1280u << 10;
    static constexpr uint32_t kRebuildStretch = 128u << 10;

    // Checkpoints kept across sessions (the reader keeps them in the device's data folder):
    // the scan state and open elements at positions at least KeptSpacing apart, as reading
    // from the first page builds them or, marked, as a rebuilding stretch built them (a later
    // session then starts from the same ones and shows the same pages). Saving writes the kept
    // ones with those this session's replays added, and answers false when none was added
    // (nothing new to keep). Loading takes all or none: anything short, out of order, past the
    // text or not restorable drops them.
    static constexpr uint32_t kKeptSpacing = ReplayCheckpoints::kKeptSpacing;
    static constexpr uint32_t kMaxKeptCheckpoints = ReplayCheckpoints::kMaxKept;
    bool SaveKeptCheckpoints(ByteStream& out) { return checkpoints_.SaveKept(out, TextLength()); }
    bool LoadKeptCheckpoints(ByteStream& in) {
        return checkpoints_.LoadKept(in, TextLength(), settings_.defaults);
    }
    // Of the kept ones, those marked rebuilt.
    size_t KeptRebuiltCount() const { return checkpoints_.KeptRebuiltCount(); }
    size_t KeptCheckpointCount() const { return checkpoints_.KeptCount(); }

    // Test hook: off, a replay makes the entry of every element it reads (it notes none far
    // from its target), which must build the same open elements.
    static inline bool noteFarElements = true;
    // Test hook: the number of tokens read so far.
    uint64_t TokensRead() const { return tokensRead_; }
    // Benchmark hook: the number of pages (or parts of pages) laid out so far.
    uint64_t PagesLaidOut() const { return pagesLaidOut_; }
    // Test hook: off, the page ending at a position is found without its shortcuts (which
    // must find the same page).
    void SetQuickSearch(bool on) {
        pager_.SetQuickSearch(on);
        checkpoints_.ForgetNearby();
    }

    // A short text's pages are counted a few at a time after each paint (true once they all
    // are), and all at once when a number is needed first.
    bool CountSomePages();
    static constexpr int32_t kCountSlice = 12;
    static constexpr int32_t kCountAtOnce = 1 << 20;

    // --- What the paginator asks of the composer of one page ---------------------------------
    // Lays the record's page into the slot (the content layout's, when one is set); counted.
    bool ComposePage(PageRecord& record, PageSlot& slot, bool singleStep, PageRecord& follower,
                     bool& moreText);
    bool HasSource() const { return source_ != nullptr; }
    bool HasContentLayout() const { return content_ != nullptr; }
    int32_t BaseFontSize() const { return settings_.baseFontSize; }
    // Whether a page starts at any position without reading the text before it (no markup).
    bool StartsAnywhereAtOnce();
    void ReleaseSourceBuffers();
    // The room a page fills down its first column (less than the column for a page cut short).
    int32_t FillLimit() const { return fillLimit_; }
    void SetFillLimit(int32_t limit) { fillLimit_ = limit; }
    // Whether the page laid out last fills its whole column (no shorter fill limit).
    bool FillsWholeColumn() const { return fillLimit_ >= columns_[0].height; }
    // While set, a page laid out leaves here, for each of its lines after its first (in its only
    // column, outside tables), the record of a page starting at that line: what the page cut
    // just above the line leaves for the page after it. A line whose page end would read on
    // leaves none.
    void SetLineStartSink(LineStartRecords* sink) { lineStarts_ = sink; }
    // Whether the page laid out last ended at its record's stop (more would have fit).
    bool StopHit() const { return stopHit_; }
    void NotifyPageHiding() { listener_->OnPageHiding(); }
    // The page started at a paragraph's start (before the start tag that ends there).
    bool LayoutPageFromParagraph(uint32_t paragraph, PageRecord& record);
    // The innermost open block's start before the page's start, within `reach`; kNone when
    // none.
    uint32_t ParagraphStart(const PageRecord& page, uint32_t reach);
    // The section holding the position: its range and whether its flag is clear.
    bool SectionOf(uint32_t position, uint32_t& start, uint32_t& end, bool& flagClear);
    // Whether a page starting at the position starts at a TAB or just after one (see
    // page_replay.cpp).
    bool StartsAtTabs(uint32_t position);

private:
    bool StepTableViews(int32_t direction, bool move);
    // The views of a laid-out page's tables larger than their view, worked out at the first
    // need after its layout.
    const std::vector<PageSlot::TableViewList>& TableViewsOf(PageSlot& slot);
    // The steps PageDown takes through a laid-out page: one, and one more for each further
    // view of its tables.
    uint32_t PageSteps(PageSlot& slot);
    // End's page: the one that ends at the end of the text, as full as the screen allows.
    PageRecord* FullLastPage();
    struct LineState;
    struct TableState;

    // Flow elements.
    bool ReadToken(BlockContents& block);
    // The token steps for one kind of source: called on the markup tokenizer itself, the
    // calls every word makes are direct (and mostly inline) rather than virtual.
    template <typename Tokens>
    bool ReadTokenFrom(Tokens& source, BlockContents& block);
    template <typename Tokens>
    bool LayoutToken(Tokens& source, BlockContents& block, uint32_t position);
    // Asked for every text token: the kept answer is read inline.
    bool InHead() const { return headVersion_ == elements_.Version() ? inHead_ : FindInHead(); }
    bool FindInHead() const;
    bool AddEndMark(BlockContents& block, uint32_t position);
    bool AddSpace(BlockContents& block, uint32_t position);
    template <typename Tokens>
    bool AddText(Tokens& source, BlockContents& block, uint32_t position, bool trailingBreak);
    bool AddBreakMark(uint32_t id, const RenderState& element, bool isEnd,
                      BlockContents& block, uint32_t position);
    bool HandleTag(BlockContents& block, uint32_t position);
    // The tag's entry on a replayed stack, with the state the layout would give it; `tag` is
    // the source standing on it.
    bool ReplayTag(TokenSource& tag, ElementStack& stack);
    // What a tag does to a replayed stack (the rule ReplayTag follows).
    enum class StackEffect { kNone, kPopUnlessRoot, kPop, kPush };
    static StackEffect ReplayedEffect(uint32_t id, bool isEnd, bool isEmpty);
    // The open elements a replay notes far from its target (page_replay.cpp).
    class NotedElements;
    bool LayoutElement(BlockContents& block, uint32_t id, bool isEnd, const RenderState& state,
                       uint32_t position);
    bool LayoutImage(BlockContents& block, bool isRule, uint32_t position);
    bool LayoutFormControl(BlockContents& block, uint32_t position);
    bool LayoutTableTag(BlockContents& block, uint32_t id, bool isEnd, const RenderState& state,
                        const RenderState& outer, uint32_t position);
    void ReadBoxAttributes(BoxAttributes& out);
    const RenderState& CurrentState() const;
    void StyleOf(const RenderState& state, PositionRecord& out) const;
    void BoxOf(const RenderState& state, BoxRecord& out) const;
    void SelectTokenFont();

    // Block layout.
    bool FillColumn(ColumnBox& column, BlockCursor& cursor, bool& moreText, bool singleStep);
    bool ColumnLoop(ColumnBox& column, BlockCursor& cursor, bool& firstLine, bool singleStep);
    bool LayoutLines(ColumnBox& column, BlockCursor& cursor, bool& goOn, bool& firstLine,
                     bool& progress);
    // The steps of LayoutLines (line_filler.cpp), over the line being filled.
    bool StartLine(LineState& line, const BlockCursor& cursor);
    bool SplitWord(LineState& line, int32_t& room, bool opensLine);
    void ExtendToWordEnd(BlockCursor& end);
    void ApplyStyleAt(const LineState& line, const BlockCursor& c);
    void AddBoxToLine(LineState& line);
    void AddRunToLine(LineState& line);
    void AddObjectToLine(LineState& line, bool firstLine);
    void AddMarkToLine(LineState& line, FlowMark* mark, bool firstLine);
    void FinishLine(LineState& line, BlockCursor& cursor, bool progress, bool& goOn,
                    bool& firstLine);
    // An item at the cursor, reading tokens into the block until there is one (inline: the
    // line filler asks for every item).
    bool EnsureItem(BlockCursor& cursor) {
        for (int32_t i = 0; cursor.AtEnd(); ++i) {
            if (i >= kMaxEmptyReads || !ReadToken(*block_)) return false;
        }
        return true;
    }
    // EnsureItem and the kind of the item it reaches in one look-up; kItemKindCount when
    // no item comes.
    uint32_t EnsureItemKind(BlockCursor& cursor) {
        for (int32_t i = 0;; ++i) {
            const BlockItem* item = cursor.block ? cursor.block->ItemAt(cursor.position) : nullptr;
            if (item) return item->kind;
            if (i >= kMaxEmptyReads || !ReadToken(*block_)) return kItemKindCount;
        }
    }
    // EnsureItem for a cursor `end` ahead of `cursor` over items to be removed.
    bool EnsureItemDropping(BlockCursor& cursor, BlockCursor& end);
    void ApplyStyle(const PositionRecord& style);
    void DropLeadingSpaces(BlockCursor& cursor);
    // After a line that ended at a break item: the boxes, line breaks, spaces and style
    // changes right after it belong to it. Runs of them are cut to the last of each, so that
    // a run of BRs after a paragraph leaves one blank line; cursor is left before what stays.
    void CloseBlockLine(BlockCursor& cursor, uint8_t boxFlags, uint8_t& lineFlags,
                        LineMetrics& metrics);
    // Nothing but marks, boxes and styles before the end of the text.
    bool OnlyTextEndFollows(BlockCursor cursor);
    // What the item at `c` of `b` is to the text after a page's last line: the text's end, an
    // item that makes no page of its own (a box, a style, a blank, a rule closing the text), or
    // something shown.
    enum class TailItem { kTextEnd, kPassed, kShown };
    static TailItem KindAfterLastLine(const BlockContents& b, const BlockCursor& c);
    bool FlushPageEnd(BlockCursor& cursor);
    // The page's stop is reached: what follows the cursor, past what a page end would drop,
    // starts at or after it (outside tables only).
    bool ReachesStop(BlockCursor cursor);
    void PlaceLineItems(BlockCursor from, const BlockCursor& to, const LineRecord& line);

    // Tables.
    bool LayoutTable(ColumnBox& column, BlockCursor& cursor, bool& goOn, bool& firstLine,
                     bool& progress);
    bool SkipTable(BlockCursor& cursor);
    bool AtCellBoundary(BlockCursor& cursor);
    bool WalkTableRows(TableWidths& widths, const TableRecord& table, BlockCursor& cursor,
                       int32_t maxRows, int32_t heightLimit, bool measure, int32_t tableX,
                       int32_t width, int32_t& rowsDone, bool& tableEnded, SegArray<BlockCursor, 4>* ranges);
    void MeasureCell(const BlockCursor& from, const BlockCursor& to, int32_t cellX,
                     int32_t& minContent, int32_t& wantContent);
    void ShiftItems(const BlockCursor& from, const BlockCursor& to, int32_t dy);
    // Joins again, in the table whose rows begin at the cursor, the words an earlier layout of
    // the block cut at its lines' ends (its hyphens go too): among the items already read.
    void RejoinCutWords(BlockCursor rows);
    // The widths of a top-level table's columns, measured once from its first rows (those a
    // whole column holds, at most kMeasuredRows) and kept by the table's start: every page of
    // the table wraps its cells alike, however the page was reached. Null when they cannot be
    // had: the page's own rows are then measured.
    static constexpr int32_t kMeasuredRows = 400;
    // `read`: the widths of a walk of the page's own that read the same rows, measured instead.
    const TableColumnMeasure* ColumnMeasure(const TableRecord& table, int32_t width,
                                            TableWidths* read = nullptr);
    // The rows are read again from the table's start into a block of their own; the source,
    // open elements, style and page stop are left as they were.
    bool MeasureTableRows(uint32_t tableStart, int32_t width, TableColumnMeasure& out);
    bool MeasureRowsRead(uint32_t tableStart, int32_t width, TableColumnMeasure& out);
    void ForgetTableMeasures() { tableMeasures_.clear(); }

    // Replay (page_replay.cpp): where a replay to `reach` begins, a checkpoint (live or kept),
    // the first page, or a fresh start a rebuilding stretch back.
    using Checkpoint = ReplayCheckpoints::Checkpoint;
    using ReplayStart = ReplayCheckpoints::Start;
    // A page may start anywhere (the open elements need not be read from the first page).
    bool StartsAnywhere();
    ReplayStart ChooseReplayStart(uint32_t reach);
    bool BeginReplay(const ReplayStart& start, PageRecord& record, uint32_t& position);

    // A page a move reached: the listener hears of it. False when there is none.
    bool ShowMoved(PageRecord* record);
    // beforeTag: a tag that ends at or after the target is not read (element positions are
    // where start tags end).
    bool Replay(uint32_t target, PageRecord& record, bool align, bool beforeTag = false);
    bool ReplayPass(uint32_t target, PageRecord& record, bool align, bool beforeTag,
                    bool keepEvery, bool& again);
    bool LeaveTable(PageRecord& record);
    // The entry of the outermost table open in the elements (its position is where the table
    // starts); -1 when no table is open.
    static int32_t OutermostTableOffset(const ElementStack& stack);
    // Just past the last line end of the text before the position, when it is at most `reach`
    // back; kNone otherwise.
    uint32_t LineStartBefore(uint32_t position, uint32_t reach);
    // Whether a page starting at the position starts at a TAB or just after one (a listing line
    // wrapped inside the blanks that line its columns up starts the page there): read afresh
    // from there, the TABs give other blanks than those the line's wrapping left for the page.
    // LayoutPageFrom starts before the start tag that ends at its target.
    bool paragraphStart_ = false;
    // A record replayed to a row boundary of an open table starts a continued table.
    bool ContinueTable(PageRecord& record);
    void AddCheckpoint(uint32_t position, const PageRecord& record);
    void AddRebuiltCheckpoint(uint32_t position, const PageRecord& record);
    // What a saved page keeps of the paging around it: the stops of the pages after it that
    // paging back found, and the starts of the pages shown before it.
    struct SavedPaging {
        std::vector<Paginator::KeptStopEntry> stopsAhead;
        std::vector<Paginator::TrailEntry> trail;
    };
    bool ReadState(PageRecord& record, ByteStream& stream, bool& laidOutFromKey,
                   SavedPaging& paging);
    // The paging a restored page came with (its start in `restoredStart_`), until the page is
    // first painted: the page may be placed anew before that (the position bar takes its strip
    // once the book is open), and the paging saved holds for that place as it did when saved.
    SavedPaging restored_;
    uint32_t restoredStart_ = kNone;
    int32_t restoredWidth_ = 0;
    void KeepRestoredPaging();
    bool RebuildTableState(PageRecord& record);
    bool AddBookmarkTip(PageSlot& slot);
    bool AddTableMarks(PageSlot& slot);
    static bool AddScriptMark(AreaArray& out, const Rect& rect, const std::u16string& script);
    void DrawScopeForMarks(PageSlot& slot, int32_t old, int32_t now, bool notify);
    static bool AppendArea(AreaArray& out, Area& area);

    // The shown characters of a markup text, counted at the first estimate (page_estimates.cpp);
    // null for other text, or one that cannot be counted.
    TextCensus* Census() const;
    // What a page of markup holds, counted as the census counts: shown characters, and the
    // characters each line a block starts is worth (short blocks leave most of their lines
    // empty).
    uint32_t ShownPerPageEstimate() const;
    uint32_t LineStartWeight() const;
    mutable std::unique_ptr<TextCensus> census_;
    mutable DocumentSource* censusDocument_ = nullptr;

    BookLayoutTraits* traits_;
    TokenSource* source_ = nullptr;
    // source_ when it is the markup tokenizer (set with it; a source put in its place for a
    // while leaves it behind).
    HtmlTokenizer* markup_ = nullptr;
    LayoutFonts fonts_;
    LayoutSettings settings_;
    Rect columns_[kMaxColumns] = {};
    int columnCount_ = 1;
    int32_t fillLimit_ = 0x7FFFFFFF;
    // The stop of the page being laid out (PageRecord::stopAt), and whether it ended the page
    // (more would have fit).
    uint32_t stopAt_ = kNone;
    bool stopHit_ = false;

    ElementStack elements_;
    // InHead's answer for the stack version it was worked out for (0: none yet); every text
    // token asks, and the stack changes at tags only.
    mutable uint64_t headVersion_ = 0;
    mutable bool inHead_ = false;
    LineStartRecords* lineStarts_ = nullptr;
    // The record a page starting at the cursor (a line's start) would start from.
    void KeepLineStart(const BlockCursor& at);
    // Per page being laid out.
    PageRecord* next_ = nullptr;
    BlockContents* block_ = nullptr;
    PositionRecord lineStyle_;
    int32_t lineAscent_ = 0;
    int32_t lineDescent_ = 0;
    bool textEnded_ = false;
    int32_t tableDepth_ = 0;
    bool formFlag_ = false;
    uint64_t tokensRead_ = 0;
    uint64_t pagesLaidOut_ = 0;

    // Pagination, drawing and marks.
    PageContentLayout* content_ = nullptr;
    struct QuietListener : PageLayoutListener {};
    QuietListener defaultListener_;
    PageLayoutListener* listener_ = &defaultListener_;
    AnnotationFile* annotations_ = nullptr;

    Rect viewport_{};
    int32_t marginTop_ = 0, marginLeft_ = 0, marginRight_ = 0, marginBottom_ = 0;
    uint32_t marginMode_ = 0;

    PageFormList* forms_ = nullptr;
    DrawingSurface* controlSurface_ = nullptr;
    Node* controlParent_ = nullptr;
    const AppPaths* paths_ = nullptr;

    uint32_t documentKey_ = kNone;
    uint32_t rememberedMark_ = kNone;
    Node* focusNode_ = nullptr;
    DisplayLink* display_ = nullptr;

    bool sourceFlag_ = true;
    SortedRecordDatabase* metadata_ = nullptr;
    Resource* resource_ = nullptr;
    FontSizeAdjuster* adjuster_ = nullptr;
    bool collectMetadata_ = true;

    // The page records, the slots and paging (paginator.h). Declared here, after what the
    // slots' marks and controls refer to, so that it goes first.
    Paginator pager_{*this};
    PagePainter painter_{*this};
    // Where replays start: those of this session's readings (among them those a replay leaves
    // a page and the backward reach before its target, for the PageUp or LineUp that most
    // often follows a jump) and those kept across sessions.
    ReplayCheckpoints checkpoints_;
    Random random_;
    struct MeasuredTable {
        int32_t width = 0;  // of the column it was measured for
        TableColumnMeasure columns;
    };
    // By the TABLE element's position; forgotten with the pages laid out.
    std::unordered_map<uint32_t, std::unique_ptr<MeasuredTable>> tableMeasures_;
    // A nested table's measuring walk, kept while the outermost table around it is laid out:
    // that walk lays the cells out at the page's width whatever the cell around the table, so
    // each walk of the tables around it (measuring, then at their widths) would repeat it alike.
    struct NestedMeasure {
        std::vector<TableCell> cells;  // as added, with the row entry each was added in
        int32_t rows = 0;
        int32_t fitting = 0;
        bool ended = false;
    };
    std::unordered_map<uint32_t, NestedMeasure> nestedMeasures_;  // by the TABLE's position
};
