// The laid-out contents of one block of a page: one ordered index of items in reading order,
// each with a kind and the document position where it starts, and the items' own data in one
// array per kind. The n-th index entry of kind k is element n of kind k's array, so the arrays
// keep the index's relative order. Every growing operation leaves the contents as they were
// when memory runs out.
//
// Item records hold plain values (kinds 0 to 6) or counted references (text runs share their
// String; style changes their link target; boxes their inline object): removing an item
// releases what it holds.
#pragma once

#include <cstdint>

#include "core/gap_array.h"
#include "core/geometry.h"
#include "core/segmented_array.h"
#include "core/string.h"
#include "document/markup/link_target.h"
#include "document/sources/layout_services.h"

class TokenSource;

// Item kinds of the index (numbers are stored in saved blocks and must not change).
enum ItemKind : uint32_t {
    kItemBox = 0,           // block-level element: margins, indents, flags
    kItemBoxAttribute = 1,  // an element's alignment and continuation word
    kItemFlowMark = 2,      // break, space, hyphen, end of text
    kItemLine = 3,          // one laid-out line
    kItemTable = 4,
    kItemRow = 5,
    kItemCell = 6,
    kItemTextRun = 7,
    kItemStyleChange = 8,
    kItemInlineBox = 9,
    kItemKindCount = 10,
};

// FlowMark types (the layout's break codes).
enum FlowMarkKind : uint32_t {
    kMarkPageBreak = 0,
    kMarkLineBreak = 1,
    kMarkBlockEnd = 2,
    kMarkTableEnd = 3,
    kMarkRowEnd = 4,
    kMarkCellEnd = 5,
    kMarkSpace = 6,  // width: the space's width, 0 for a break opportunity
    kMarkHyphen = 7,
    kMarkTextEnd = 8,
};

// Index entry: bit 31 of value set when the item has no position of its own.
struct BlockItem {
    static constexpr uint32_t kNoPosition = 0x80000000u;
    static constexpr uint32_t kPositionMask = 0x7FFFFFFFu;
    uint32_t value = 0;
    uint32_t kind = 0;
    uint32_t Position() const { return value & kPositionMask; }
    bool HasPosition() const { return (value & kNoPosition) == 0; }
};

struct FlowMark {
    uint32_t type = 0;   // FlowMarkKind
    int32_t width = 0;   // spaces and hyphens: pixels
    uint8_t option = 0;  // the break's option byte
    uint8_t flags = 0;   // bit 0: the end of a list-item element
};

// Kind 0: the box of a block-level element. Lengths are packed `Length` words.
struct BoxRecord {
    static constexpr uint8_t kFirstLineIndent = 0x01;  // the first-line indent applies
    static constexpr uint8_t kFramed = 0x02;
    static constexpr uint8_t kTopEdge = 0x04;  // with kFramed: the line gets a top edge
    static constexpr uint8_t kPreformatted = 0x08;  // words are never hyphenated
    uint32_t leftMargin = 0;
    uint32_t rightMargin = 0;
    uint32_t firstIndent = 0;
    uint32_t spaceBefore = 0;
    uint32_t spaceAfter = 0;
    uint32_t alignment = 0;
    uint8_t flags = 0;
};

// Kind 1.
struct BoxAttribute {
    uint32_t alignment = 0;
    uint32_t continuation = 0;  // recorded in the block's continuation word when not 0
    uint8_t isStart = 0;
};

// Kind 3: one laid-out line.
struct LineRecord {
    static constexpr uint8_t kEndsAtLineBreak = 0x01;
    static constexpr uint8_t kContinues = 0x02;  // did not end at a break item: justified
    static constexpr uint8_t kTopEdge = 0x04;
    static constexpr uint8_t kBottomEdge = 0x08;
    static constexpr uint8_t kHidden = 0x10;  // nothing but blanks
    static constexpr uint8_t kFramed = 0x20;  // in a bordered block: edges drawn
    int32_t x = 0;
    int32_t y = 0;
    int32_t height = 0;
    int32_t width = 0;      // the column width it was laid out in
    int32_t available = 0;  // the width between the indents
    int32_t freeWidth = 0;  // room left, for alignment
    int32_t spaceCount = 0;
    uint32_t alignment = 0;
    int32_t leftIndent = 0;
    int32_t rightIndent = 0;
    int32_t extraAbove = 0;
    int32_t extraBelow = 0;
    int32_t baseline = 0;
    int32_t textTop = 0;
    int32_t textBottom = 0;
    uint8_t flags = 0;
};

// The attributes every table, row and cell record starts with.
struct BoxAttributes {
    static constexpr uint32_t kAbsent = 0x40000000u;
    static constexpr uint32_t kNoColour = 0xFFFFFFFFu;
    uint32_t background = kNoColour;
    uint32_t width = kAbsent;   // Length
    uint32_t height = kAbsent;  // Length
    uint32_t border = 0;
    uint32_t borderColour = kNoColour;  // BORDERCOLOR
};

// Kind 4.
struct TableRecord {
    static constexpr uint32_t kNoPadding = 0x40000001u;
    BoxAttributes attributes;
    uint32_t cellPadding = kNoPadding;
    uint32_t alignment = 0;
    Rect box{};                // placed box: the visible part
    Size content{};            // the whole table
    int32_t columnWidth = 0;   // the width it was placed in
    int32_t visibleHeight = 0;
    uint32_t rows = 0;         // rows laid out on this page
    // Where the TABLE element starts (its start tag's end), also in the record of a part
    // continued on a later page; kNone when not known.
    uint32_t start = 0xFFFFFFFFu;
};

// Kind 5.
struct RowRecord {
    BoxAttributes attributes;
    int32_t firstCell = 0;  // in the table widths' cell list
    int32_t cellCount = 0;
    int32_t rowIndex = 0;
    int32_t rowSpan = 1;
    int32_t y = 0;
    int32_t height = 0;
};

// Kind 6. Borders are stored multiplied by 16.
struct CellRecord {
    BoxAttributes attributes;
    uint32_t colSpan = 1;
    uint32_t rowSpan = 1;
    int32_t paddingLeft = 0;
    int32_t paddingRight = 0;
    int32_t paddingTop = 0;
    int32_t paddingBottom = 0;
    int32_t minContent = 0;   // widest unbreakable content
    int32_t wantContent = 0;  // widest line when nothing wraps
    int32_t borders[4] = {};  // left, right, top, bottom, × 16
    int32_t gridColumn = 0;
    int32_t gridRow = 0;
    uint32_t valign = 0;  // 0 top, 1 middle, 2 bottom
    Rect rect{};
    int32_t contentHeight = 0;
    bool nowrap = false;      // NOWRAP: its lines unbroken while the table has the room
    bool spansTable = false;  // a CAPTION's cell: across every column of its table
};

// Kind 7. x and y are the run's place once its line is laid out (y the baseline).
struct TextRun {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    String text;
    // The rest of a word a split cut at a line's end (the word's part before it is the text
    // run before, past a hyphen mark and a line at most).
    bool cutTail = false;
};

// Kind 8: the text style in force from here on (the text record of the element's style).
struct PositionRecord {
    int8_t size = 0;    // steps around the default size
    uint8_t style = 0;  // bold, italic, underline, strike; bits 4-7 the vertical position
    uint8_t face = 0;
    uint32_t color = 0;
    uint32_t background = 0;
    uint32_t language = 0;
    RefPtr<LinkTarget> link;

    bool SameFont(const PositionRecord& o) const {
        return size == o.size && (style & 0x03) == (o.style & 0x03) && face == o.face;
    }
};

// Kind 9: an inline object's box.
struct InlineBox {
    static constexpr uint8_t kAlignmentGiven = 0x01;  // also: placed as a line of its own
    static constexpr uint8_t kScalable = 0x02;
    static constexpr uint8_t kFontDependent = 0x04;
    Rect rect{};        // placed rectangle, spacing excluded
    int32_t shownShift = 0;  // how far down a scrolled table's drawing has moved rect.y
    int32_t width = 0;  // display size
    int32_t height = 0;
    int32_t hspace = 1;
    int32_t vspace = 1;
    uint8_t flags = 0;
    int32_t descent = 0;
    uint32_t alignment = 3;  // 0 top, 1 middle, 2 bottom, 3 baseline, 4 text-top, 9, 10
    RefPtr<InlineObject> object;
};

class BlockContents;

// A place among a block's items: the index position and, per kind, how many items of that
// kind lie before it. Valid while the block is not changed by anything but this cursor's
// own operations.
struct BlockCursor {
    BlockContents* block = nullptr;
    int32_t position = 0;
    int32_t counts[kItemKindCount] = {};

    void Init(BlockContents* contents, bool atStart);
    inline bool AtEnd() const;
    inline uint32_t Kind() const;  // kItemKindCount at the end
    inline void Next();
    // Next for an item whose kind the caller has just read (the line filler's items).
    void Step(uint32_t kind) {
        if (kind >= kItemKindCount) return;
        ++counts[kind];
        ++position;
    }
    void Back();
    bool operator==(const BlockCursor& o) const { return block == o.block && position == o.position; }
};

class BlockContents {
public:
    BlockContents();
    BlockContents(const BlockContents&) = delete;
    BlockContents& operator=(const BlockContents&) = delete;

    int32_t Count() const { return index_.Count(); }
    int32_t KindCount(uint32_t kind) const;
    const BlockItem* ItemAt(int32_t i) const { return index_.Get(i); }

    uint32_t EndPosition() const { return end_; }
    void SetEndPosition(uint32_t p) {
        end_ = p;
        Changed();
    }
    // Moves on with every change of the items or the end position, to a value no block had
    // before: cursors kept from an earlier look at the block are good while it stays.
    uint64_t Serial() const { return serial_; }
    uint32_t Continuation() const { return continuation_; }
    void SetContinuation(uint32_t v) { continuation_ = v; }

    void Clear();
    void Compact();
    bool CopyFrom(const BlockContents& other);
    // The same copy made in this block's own storage, which it keeps for reuse; when memory
    // runs out the block is left empty (false).
    bool AssignFrom(const BlockContents& other);
    void MoveFrom(BlockContents& other);

    // Appends at the end; false (nothing added) when memory runs out.
    bool Append(const BoxRecord& item, uint32_t position, bool noPosition = false);
    bool Append(const BoxAttribute& item, uint32_t position, bool noPosition = false);
    bool Append(const FlowMark& item, uint32_t position, bool noPosition = false);
    bool Append(const LineRecord& item, uint32_t position, bool noPosition = false);
    bool Append(const TableRecord& item, uint32_t position, bool noPosition = false);
    bool Append(const RowRecord& item, uint32_t position, bool noPosition = false);
    bool Append(const CellRecord& item, uint32_t position, bool noPosition = false);
    bool Append(const TextRun& item, uint32_t position, bool noPosition = false);
    // The run moved in (its text not counted again); lost when memory runs out.
    bool Append(TextRun&& item, uint32_t position, bool noPosition = false);
    bool Append(const PositionRecord& item, uint32_t position, bool noPosition = false);
    bool Append(const InlineBox& item, uint32_t position, bool noPosition = false);

    // Inserts before the cursor's item; the cursor then stands on the new item.
    template <typename T>
    bool Insert(BlockCursor& cursor, const T& item, uint32_t position, bool noPosition = false);

    // Removes the item at the cursor; the cursor then stands on the item that followed.
    void RemoveAt(const BlockCursor& cursor);
    // Removes the items from `from` up to (not including) `to`.
    void RemoveRange(const BlockCursor& from, const BlockCursor& to);
    // Room in every array for the items between the cursors.
    bool Reserve(const BlockCursor& from, const BlockCursor& to);

    // Splits at the cursor into the items before it (first) and from it on (second); either
    // may be this block. first's end becomes second's start. False, nothing moved, when memory
    // runs out. With keepStorage, a first that is this block keeps the storage its items no
    // longer use (it is to be filled again), and second the storage it had (a block used
    // again); else neither keeps storage its items do not use.
    bool SplitAt(const BlockCursor& cursor, BlockContents& first, BlockContents& second,
                 bool keepStorage = false);

    // The items from the cursor on copied into `out` (emptied first), with this block's end and
    // continuation: the block a page cut at the cursor would carry over. False when memory runs
    // out.
    bool CopyTail(const BlockCursor& from, BlockContents& out) const;

    uint32_t PositionAt(const BlockCursor& cursor) const;
    // The position of the first item that has one; else the end position (false when 0).
    bool GetStart(uint32_t& position) const;
    bool GetRange(uint32_t& start, uint32_t& end) const;

    // Item access by per-kind index (the cursor's count for that kind).
    BoxRecord* Box(int32_t i) { return boxes_.Get(i); }
    BoxAttribute* Attribute(int32_t i) { return attributes_.Get(i); }
    FlowMark* Mark(int32_t i) { return marks_.Get(i); }
    LineRecord* Line(int32_t i) { return lines_.Get(i); }
    TableRecord* Table(int32_t i) { return tables_.Get(i); }
    RowRecord* Row(int32_t i) { return rows_.Get(i); }
    CellRecord* Cell(int32_t i) { return cells_.Get(i); }
    TextRun* Run(int32_t i) { return runs_.Get(i); }
    PositionRecord* Style(int32_t i) { return styles_.Get(i); }
    InlineBox* Object(int32_t i) { return objects_.Get(i); }
    const TextRun* Run(int32_t i) const { return runs_.Get(i); }
    const LineRecord* Line(int32_t i) const { return lines_.Get(i); }
    const InlineBox* Object(int32_t i) const { return objects_.Get(i); }
    const FlowMark* Mark(int32_t i) const { return marks_.Get(i); }
    const PositionRecord* Style(int32_t i) const { return styles_.Get(i); }

    // Debug check: every kind array holds as many items as the index names.
    bool CheckInvariants() const;
    // Items and index entries moved so far to make room or close a gap (none are moved one by
    // one behind an insertion): what changes cost, whatever the machine.
    uint64_t MovedItems() const;

private:
    template <typename F>
    void ForEachArray(F&& f);
    // Calls f(array) with the array of that kind.
    template <typename F>
    void WithArray(uint32_t kind, F&& f);
    bool AppendIndex(uint32_t kind, uint32_t position, bool noPosition);
    void Changed() { ++serial_; }
    static uint64_t FirstSerial();
    bool CopyRange(const BlockContents& from, int32_t start, int32_t end, const int32_t* counts,
                   const int32_t* endCounts);
    // SplitAt's items and first's storage; second's storage is SplitAt's.
    bool SplitItems(const BlockCursor& cursor, BlockContents& first, BlockContents& second,
                    bool keepStorage);

    GapArray<BlockItem> index_;
    PooledArray<BoxRecord, 3> boxes_;
    PooledArray<BoxAttribute, 4> attributes_;
    PooledArray<FlowMark, 4> marks_;
    PooledArray<LineRecord, 3> lines_;
    PooledArray<TableRecord, 1> tables_;
    PooledArray<RowRecord, 3> rows_;
    PooledArray<CellRecord, 4> cells_;
    PooledArray<TextRun, 4> runs_;
    PooledArray<PositionRecord, 4> styles_;
    PooledArray<InlineBox, 4> objects_;
    uint32_t end_ = 0;
    uint32_t continuation_ = 0;
    uint64_t serial_ = FirstSerial();

    friend struct BlockArrays;
};

// Inline: every walk over a block's items steps with them.
bool BlockCursor::AtEnd() const {
    return !block || position >= block->Count();
}

uint32_t BlockCursor::Kind() const {
    const BlockItem* item = block ? block->ItemAt(position) : nullptr;
    return item ? item->kind : kItemKindCount;
}

void BlockCursor::Next() {
    uint32_t kind = Kind();
    if (kind >= kItemKindCount) return;
    ++counts[kind];
    ++position;
}

// Kind of each item type, and its array in a block.
template <typename T>
struct KindOf;

struct BlockArrays {
    static auto& Of(BlockContents& b, const BoxRecord*) { return b.boxes_; }
    static auto& Of(BlockContents& b, const BoxAttribute*) { return b.attributes_; }
    static auto& Of(BlockContents& b, const FlowMark*) { return b.marks_; }
    static auto& Of(BlockContents& b, const LineRecord*) { return b.lines_; }
    static auto& Of(BlockContents& b, const TableRecord*) { return b.tables_; }
    static auto& Of(BlockContents& b, const RowRecord*) { return b.rows_; }
    static auto& Of(BlockContents& b, const CellRecord*) { return b.cells_; }
    static auto& Of(BlockContents& b, const TextRun*) { return b.runs_; }
    static auto& Of(BlockContents& b, const PositionRecord*) { return b.styles_; }
    static auto& Of(BlockContents& b, const InlineBox*) { return b.objects_; }
};

template <> struct KindOf<BoxRecord> { static constexpr uint32_t value = kItemBox; };
template <> struct KindOf<BoxAttribute> { static constexpr uint32_t value = kItemBoxAttribute; };
template <> struct KindOf<FlowMark> { static constexpr uint32_t value = kItemFlowMark; };
template <> struct KindOf<LineRecord> { static constexpr uint32_t value = kItemLine; };
template <> struct KindOf<TableRecord> { static constexpr uint32_t value = kItemTable; };
template <> struct KindOf<RowRecord> { static constexpr uint32_t value = kItemRow; };
template <> struct KindOf<CellRecord> { static constexpr uint32_t value = kItemCell; };
template <> struct KindOf<TextRun> { static constexpr uint32_t value = kItemTextRun; };
template <> struct KindOf<PositionRecord> { static constexpr uint32_t value = kItemStyleChange; };
template <> struct KindOf<InlineBox> { static constexpr uint32_t value = kItemInlineBox; };

template <typename T>
bool BlockContents::Insert(BlockCursor& cursor, const T& item, uint32_t position,
                           bool noPosition) {
    constexpr uint32_t kind = KindOf<T>::value;
    BlockItem entry{(position & BlockItem::kPositionMask) | (noPosition ? BlockItem::kNoPosition : 0),
                    kind};
    if (!index_.Insert(cursor.position, &entry, 1)) return false;
    Changed();
    auto& array = BlockArrays::Of(*this, &item);
    if (!array.Insert(cursor.counts[kind], &item, 1)) {
        index_.Remove(cursor.position, 1);
        return false;
    }
    return true;
}

// The ALIGN (else VALIGN) of the current tag into the box: absent gives alignment 3 with the
// given flag; LEFT and RIGHT 1 with the flag; a VALIGN keyword its value with the flag; any
// other word 3. A DESCENT number is kept with alignment 3.
void GetElementAlignment(InlineBox& box, TokenSource& source);

// Mark rectangles of annotations and their colours.
struct MarkBox {
    Rect rect{};
    uint32_t lineKey = 0xFFFFFFFFu;
    uint32_t style = 0;  // bits 0-3 colour index, bit 5 zig-zag

    static bool Mergeable(const MarkBox& a, const MarkBox& b);
    static bool SameLine(const MarkBox& a, const MarkBox& b);
    static bool IsZigZag(const MarkBox& b) { return (b.style & 0x20) != 0; }
    static void Add(MarkBox& a, const MarkBox& b);
    // Folds next into open when they merge (true); else swaps them (false): the caller draws
    // the box that was open. Nothing for a next without the zig-zag bit (false).
    static bool Collect(MarkBox& open, MarkBox& next);
    // Colour of an index 1 to 15 (0 reads as 1), r | g << 8 | b << 16.
    static uint32_t Colour(uint32_t index);
};
