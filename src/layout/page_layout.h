// The page layout engine: one page is filled column by column, line by line, from the block
// that continues from the previous page and from the token stream, and tables are laid out row
// by row in the flow. The pagination above (page records kept, far pages, drawing) calls
// LayoutIntoSlot and receives the record of the following page.
//
// Progress: every line consumes at least one item and every page ends strictly after it
// starts, unless the text has ended; LayoutIntoSlot fails rather than return a page that
// consumed nothing.
//
// Threading: GUI thread only. The token source, graphics context, book and log are not owned.
#pragma once

#include <cstdint>
#include <memory>

#include "core/byte_stream.h"
#include "core/geometry.h"
#include "document/markup/element_stack.h"
#include "document/markup/render_state.h"
#include "layout/block_contents.h"
#include "layout/layout_fonts.h"
#include "layout/line_breaking.h"

class BookLayoutTraits;
class GraphicsContext;
class ImageDataOpener;
class Location;
class Resource;
class SortedRecordDatabase;
class TableWidths;
class TokenSource;

// One known page start, with what is needed to resume layout there.
struct PageRecord {
    static constexpr uint32_t kNone = 0xFFFFFFFFu;
    uint32_t pageNumber = 1;
    uint32_t start = 0;
    uint32_t linkOrigin = 0;
    int32_t linkStep = 0;
    uint32_t end = kNone;
    uint32_t useStamp = 0;
    // The token source's scan state after the last token read into the block; empty: start
    // the source at `start`.
    ByteStream scanState;
    // Open elements at the scan state.
    ElementStack elements;
    // Style and block style in force at the page start.
    PositionRecord style;
    BoxRecord blockStyle;
    // Items read before the page start that belong to it (the rest of a block).
    std::unique_ptr<BlockContents> block;
    int32_t markIndex = -1;

    // Deep copy; false when memory runs out.
    bool CopyFrom(const PageRecord& other);
};

// One laid-out page.
struct PageSlot {
    PageRecord* record = nullptr;
    BlockContents contents;
    BlockCursor cursor;
    int32_t contentHeight = 0;
    uint8_t state = 0;  // 0 never shown, 1 shown, 2 hidden
    void Reset();
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
    void SetSource(TokenSource* source) { source_ = source; }
    TokenSource* Source() const { return source_; }
    void SetGraphics(GraphicsContext* gc) { fonts_.Attach(gc); }
    void Configure(const LayoutSettings& settings);
    const LayoutSettings& Settings() const { return settings_; }
    // Up to kMaxColumns column rectangles.
    void SetColumns(const Rect* columns, int count);
    int ColumnCount() const { return columnCount_; }
    const Rect& Column(int i) const { return columns_[i]; }
    virtual bool SourceFlag();
    virtual uint32_t DocumentKey();

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

    // The number of characters behind the token source.
    uint32_t TextLength();
    // Whether a position lies in the same section (pages do not cross sections).
    bool SameSection(uint32_t a, uint32_t b);

    // Test hook: the number of tokens read so far.
    uint64_t TokensRead() const { return tokensRead_; }

private:
    friend class PageLayoutInternals;
    struct LineState;
    struct TableState;

    // Flow elements.
    bool ReadToken(BlockContents& block);
    bool LayoutToken(BlockContents& block, uint32_t position);
    bool AddEndMark(BlockContents& block, uint32_t position);
    bool AddSpace(BlockContents& block, uint32_t position);
    bool AddText(BlockContents& block, uint32_t position, bool trailingBreak);
    bool AddBreakMark(uint32_t id, const RenderState& element, bool isEnd,
                      BlockContents& block, uint32_t position);
    bool HandleTag(BlockContents& block, uint32_t position);
    bool LayoutElement(BlockContents& block, uint32_t id, bool isEnd, const RenderState& state,
                       uint32_t position);
    bool LayoutImage(BlockContents& block, bool isRule, uint32_t position);
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
    bool EnsureItem(BlockCursor& cursor);
    void ApplyStyle(const PositionRecord& style);
    void DropLeadingSpaces(BlockCursor& cursor);
    // Nothing but marks, boxes and styles before the end of the text.
    bool OnlyTextEndFollows(BlockCursor cursor);
    bool FlushPageEnd(BlockCursor& cursor);
    void PlaceLineItems(BlockCursor from, const BlockCursor& to, const LineRecord& line);

    // Tables.
    bool LayoutTable(ColumnBox& column, BlockCursor& cursor, bool& goOn, bool& firstLine,
                     bool& progress);
    bool SkipTable(BlockCursor& cursor);
    bool WalkTableRows(TableWidths& widths, const TableRecord& table, BlockCursor& cursor,
                       int32_t maxRows, int32_t heightLimit, bool measure, int32_t tableX,
                       int32_t& rowsDone, bool& tableEnded, SegArray<BlockCursor, 4>* ranges);
    void MeasureCell(const BlockCursor& from, const BlockCursor& to, int32_t cellX,
                     int32_t& minContent, int32_t& wantContent);
    void ShiftItems(const BlockCursor& from, const BlockCursor& to, int32_t dy);

    BookLayoutTraits* traits_;
    TokenSource* source_ = nullptr;
    LayoutFonts fonts_;
    LayoutSettings settings_;
    Rect columns_[kMaxColumns] = {};
    int columnCount_ = 1;

    ElementStack elements_;
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
};
