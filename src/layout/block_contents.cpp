#include "layout/block_contents.h"

#include <atomic>

#include "document/markup/attribute_value.h"
#include "document/markup/token_source.h"

template <typename F>
void BlockContents::WithArray(uint32_t kind, F&& f) {
    switch (static_cast<ItemKind>(kind)) {
        case kItemBox: f(boxes_); break;
        case kItemBoxAttribute: f(attributes_); break;
        case kItemFlowMark: f(marks_); break;
        case kItemLine: f(lines_); break;
        case kItemTable: f(tables_); break;
        case kItemRow: f(rows_); break;
        case kItemCell: f(cells_); break;
        case kItemTextRun: f(runs_); break;
        case kItemStyleChange: f(styles_); break;
        case kItemInlineBox: f(objects_); break;
        case kItemKindCount: break;
    }
}

template <typename F>
void BlockContents::ForEachArray(F&& f) {
    for (uint32_t k = 0; k < kItemKindCount; ++k) WithArray(k, [&](auto& a) { f(k, a); });
}

BlockContents::BlockContents() = default;

uint64_t BlockContents::FirstSerial() {
    // Each block counts from a base of its own, so two blocks (one made where another was
    // freed) never show the same serial.
    static std::atomic<uint64_t> blocks{0};
    return (blocks.fetch_add(1, std::memory_order_relaxed) + 1) << 32;
}

int32_t BlockContents::KindCount(uint32_t kind) const {
    int32_t n = 0;
    const_cast<BlockContents*>(this)->WithArray(kind, [&](auto& a) { n = a.Count(); });
    return n;
}

void BlockContents::Clear() {
    Changed();
    index_.Clear();
    ForEachArray([](uint32_t, auto& a) { a.Clear(); });
    end_ = 0;
    continuation_ = 0;
}

void BlockContents::Compact() {
    index_.FreeUnusedBlocks();
    ForEachArray([](uint32_t, auto& a) { a.FreeUnusedBlocks(); });
}

bool BlockContents::CopyFrom(const BlockContents& other) {
    if (this == &other) return true;
    BlockContents copy;
    BlockCursor from, to;
    from.Init(const_cast<BlockContents*>(&other), true);
    to.Init(const_cast<BlockContents*>(&other), false);
    if (!copy.CopyRange(other, 0, other.Count(), from.counts, to.counts)) return false;
    copy.end_ = other.end_;
    copy.continuation_ = other.continuation_;
    MoveFrom(copy);
    return true;
}

bool BlockContents::AssignFrom(const BlockContents& other) {
    if (this == &other) return true;
    Clear();
    BlockCursor from;
    from.Init(const_cast<BlockContents*>(&other), true);
    if (!CopyRange(other, 0, other.Count(), from.counts, from.counts)) {
        Clear();
        return false;
    }
    end_ = other.end_;
    continuation_ = other.continuation_;
    return true;
}

void BlockContents::MoveFrom(BlockContents& other) {
    if (this == &other) return;
    Changed();
    other.Changed();
    index_.Move(other.index_);
    boxes_.Move(other.boxes_);
    attributes_.Move(other.attributes_);
    marks_.Move(other.marks_);
    lines_.Move(other.lines_);
    tables_.Move(other.tables_);
    rows_.Move(other.rows_);
    cells_.Move(other.cells_);
    runs_.Move(other.runs_);
    styles_.Move(other.styles_);
    objects_.Move(other.objects_);
    end_ = other.end_;
    continuation_ = other.continuation_;
    other.end_ = 0;
    other.continuation_ = 0;
}

bool BlockContents::AppendIndex(uint32_t kind, uint32_t position, bool noPosition) {
    BlockItem entry{(position & BlockItem::kPositionMask) | (noPosition ? BlockItem::kNoPosition : 0),
                    kind};
    Changed();
    return index_.Append(entry) >= 0;
}

namespace {
template <typename A, typename T>
bool AppendTo(A& array, const T& item) {
    return array.Append(item) >= 0;
}
}  // namespace

#define FVT_APPEND(Type, array)                                                          \
    bool BlockContents::Append(const Type& item, uint32_t position, bool noPosition) {   \
        if (!AppendIndex(KindOf<Type>::value, position, noPosition)) return false;        \
        if (AppendTo(array, item)) return true;                                           \
        index_.Remove(index_.Count() - 1, 1);                                             \
        return false;                                                                     \
    }
FVT_APPEND(BoxRecord, boxes_)
FVT_APPEND(BoxAttribute, attributes_)
FVT_APPEND(FlowMark, marks_)
FVT_APPEND(LineRecord, lines_)
FVT_APPEND(TableRecord, tables_)
FVT_APPEND(RowRecord, rows_)
FVT_APPEND(CellRecord, cells_)
FVT_APPEND(TextRun, runs_)
FVT_APPEND(PositionRecord, styles_)
FVT_APPEND(InlineBox, objects_)
#undef FVT_APPEND

bool BlockContents::Append(TextRun&& item, uint32_t position, bool noPosition) {
    if (!AppendIndex(kItemTextRun, position, noPosition)) return false;
    if (runs_.Append(std::move(item)) >= 0) return true;
    index_.Remove(index_.Count() - 1, 1);
    return false;
}

void BlockContents::RemoveAt(const BlockCursor& cursor) {
    const BlockItem* item = index_.Get(cursor.position);
    if (!item) return;
    Changed();
    uint32_t kind = item->kind;
    WithArray(kind, [&](auto& a) { a.Remove(cursor.counts[kind], 1); });
    index_.Remove(cursor.position, 1);
}

void BlockContents::RemoveRange(const BlockCursor& from, const BlockCursor& to) {
    if (to.position <= from.position) return;
    Changed();
    ForEachArray([&](uint32_t k, auto& a) {
        int32_t n = to.counts[k] - from.counts[k];
        if (n > 0) a.Remove(from.counts[k], n);
    });
    index_.Remove(from.position, to.position - from.position);
}

bool BlockContents::Reserve(const BlockCursor& from, const BlockCursor& to) {
    int32_t n = to.position - from.position;
    if (n <= 0) return true;
    if (!index_.Reserve(index_.Count() + n)) return false;
    bool ok = true;
    ForEachArray([&](uint32_t k, auto& a) {
        int32_t m = to.counts[k] - from.counts[k];
        if (ok && m > 0) ok = a.Reserve(a.Count() + m);
    });
    return ok;
}

bool BlockContents::CopyRange(const BlockContents& from, int32_t start, int32_t end,
                              const int32_t* counts, const int32_t* /*endCounts*/) {
    int32_t at[kItemKindCount];
    for (uint32_t k = 0; k < kItemKindCount; ++k) at[k] = counts[k];
    BlockContents& src = const_cast<BlockContents&>(from);
    Changed();
    for (int32_t i = start; i < end; ++i) {
        const BlockItem entry = *from.index_.Get(i);
        if (index_.Append(entry) < 0) return false;
        bool ok = true;
        uint32_t kind = entry.kind;
        src.WithArray(kind, [&](auto& a) {
            auto* item = a.Get(at[kind]);
            ok = item && AppendTo(BlockArrays::Of(*this, item), *item);
        });
        if (!ok) {
            index_.Remove(index_.Count() - 1, 1);
            return false;
        }
        ++at[kind];
    }
    return true;
}

bool BlockContents::SplitAt(const BlockCursor& cursor, BlockContents& first,
                            BlockContents& second, bool keepStorage) {
    if (!SplitItems(cursor, first, second, keepStorage)) return false;
    if (!keepStorage) second.Compact();
    return true;
}

bool BlockContents::SplitItems(const BlockCursor& cursor, BlockContents& first,
                               BlockContents& second, bool keepStorage) {
    if (Count() == 0) {
        uint32_t end = end_;
        first.Clear();
        second.Clear();
        // An empty block still ends where it ended.
        second.end_ = end;
        first.end_ = end;
        return true;
    }
    if (cursor.position <= 0) {
        // The start is read before the move empties the source.
        uint32_t start = 0;
        GetStart(start);
        if (&second != this) second.MoveFrom(*this);
        if (&first != &second) first.Clear();
        first.end_ = start;
        first.Changed();
        return true;
    }
    if (cursor.position >= Count()) {
        if (&first != this) first.MoveFrom(*this);
        return true;
    }
    BlockCursor start;
    start.Init(this, true);
    BlockCursor end;
    end.Init(this, false);
    if (&first == this && &second != this) {
        // The page keeps its items where they are: only the rest is copied, then dropped here.
        // An empty second takes it in the storage it has.
        if (second.Count() == 0) {
            if (!second.CopyRange(*this, cursor.position, Count(), cursor.counts, end.counts)) {
                const uint32_t keptEnd = second.end_, keptContinuation = second.continuation_;
                second.Clear();
                second.end_ = keptEnd;
                second.continuation_ = keptContinuation;
                return false;
            }
        } else {
            BlockContents tail;
            if (!tail.CopyRange(*this, cursor.position, Count(), cursor.counts, end.counts))
                return false;
            second.MoveFrom(tail);
        }
        second.end_ = end_;
        second.continuation_ = continuation_;
        RemoveRange(cursor, end);
        uint32_t tailStart = 0;
        second.GetStart(tailStart);
        end_ = tailStart;
        if (!keepStorage) Compact();
        return true;
    }
    BlockContents head, tail;
    if (!head.CopyRange(*this, 0, cursor.position, start.counts, cursor.counts) ||
        !tail.CopyRange(*this, cursor.position, Count(), cursor.counts, end.counts))
        return false;
    tail.end_ = end_;
    tail.continuation_ = continuation_;
    uint32_t tailStart = 0;
    tail.GetStart(tailStart);
    head.end_ = tailStart;
    head.continuation_ = continuation_;
    first.MoveFrom(head);
    second.MoveFrom(tail);
    first.Compact();
    return true;
}

bool BlockContents::CopyTail(const BlockCursor& from, BlockContents& out) const {
    out.Clear();
    BlockCursor end;
    end.Init(const_cast<BlockContents*>(this), false);
    if (!out.CopyRange(*this, from.position, Count(), from.counts, end.counts)) return false;
    out.end_ = end_;
    out.continuation_ = continuation_;
    return true;
}

uint32_t BlockContents::PositionAt(const BlockCursor& cursor) const {
    const BlockItem* item = index_.Get(cursor.position);
    return item ? item->Position() : end_;
}

bool BlockContents::GetStart(uint32_t& position) const {
    for (int32_t i = 0; i < index_.Count(); ++i) {
        const BlockItem* item = index_.Get(i);
        if (item->HasPosition()) {
            position = item->Position();
            return true;
        }
    }
    position = end_;
    return end_ != 0;
}

bool BlockContents::GetRange(uint32_t& start, uint32_t& end) const {
    end = end_;
    return GetStart(start);
}

uint64_t BlockContents::MovedItems() const {
    uint64_t n = index_.Moved();
    const_cast<BlockContents*>(this)->ForEachArray([&](uint32_t, auto& a) { n += a.Moved(); });
    return n;
}

bool BlockContents::CheckInvariants() const {
    int32_t counts[kItemKindCount] = {};
    for (int32_t i = 0; i < index_.Count(); ++i) {
        uint32_t kind = index_.Get(i)->kind;
        if (kind >= kItemKindCount) return false;
        ++counts[kind];
    }
    for (uint32_t k = 0; k < kItemKindCount; ++k)
        if (counts[k] != KindCount(k)) return false;
    return true;
}

// ---- Cursor -------------------------------------------------------------------------------

void BlockCursor::Init(BlockContents* contents, bool atStart) {
    block = contents;
    for (int32_t& c : counts) c = 0;
    position = 0;
    if (atStart || !contents) return;
    position = contents->Count();
    for (uint32_t k = 0; k < kItemKindCount; ++k) counts[k] = contents->KindCount(k);
}

void BlockCursor::Back() {
    if (!block || position <= 0) return;
    --position;
    --counts[block->ItemAt(position)->kind];
}

// ---- Alignment ----------------------------------------------------------------------------

void GetElementAlignment(InlineBox& box, TokenSource& source) {
    String text;
    if (!source.GetAttributeText(kAttrAlign, text)) {
        box.alignment = 3;
        box.flags |= InlineBox::kAlignmentGiven;
        return;
    }
    uint32_t value = 0;
    if (AttributeValue::Parse(kAttrAlign, text, value)) {
        if (value == 1 || value == 2) {
            box.flags |= InlineBox::kAlignmentGiven;
            box.alignment = 1;
        } else {
            box.alignment = 3;
        }
    } else if (AttributeValue::Parse(kAttrVAlign, text, value)) {
        box.flags |= InlineBox::kAlignmentGiven;
        box.alignment = value;
    } else {
        box.alignment = 3;
    }
    String number;
    uint32_t descent = 0;
    if (box.alignment == 3 && source.GetAttributeText(kAttrDescent, number) &&
        AttributeValue::Parse(kAttrDescent, number, descent) && descent <= 0xFFFF)
        box.descent = static_cast<int32_t>(descent);
}

// ---- Mark boxes ---------------------------------------------------------------------------

bool MarkBox::Mergeable(const MarkBox& a, const MarkBox& b) {
    if (a.lineKey == 0xFFFFFFFFu || b.lineKey == 0xFFFFFFFFu) return true;
    if (a.lineKey != b.lineKey || a.style != b.style) return false;
    return a.rect.x == b.rect.x && a.rect.width == b.rect.width;
}

bool MarkBox::SameLine(const MarkBox& a, const MarkBox& b) {
    return a.lineKey == b.lineKey && a.style == b.style;
}

void MarkBox::Add(MarkBox& a, const MarkBox& b) {
    if (a.lineKey == 0xFFFFFFFFu) {
        a = b;
        return;
    }
    if (b.lineKey == 0xFFFFFFFFu) return;
    Rect::Union(a.rect, b.rect);
}

bool MarkBox::Collect(MarkBox& open, MarkBox& next) {
    if (!IsZigZag(next)) return false;
    if (Mergeable(open, next)) {
        Add(open, next);
        return true;
    }
    MarkBox t = open;
    open = next;
    next = t;
    return false;
}

uint32_t MarkBox::Colour(uint32_t index) {
    static constexpr uint32_t kColours[16] = {
        0x0000FF, 0x0000FF, 0x00FF00, 0xFF0000, 0xFFFF00, 0xFF00FF, 0x00FFFF, 0x000000,
        0xFFFFFF, 0,        0,        0,        0,        0,        0,        0};
    return kColours[index & 15];
}
