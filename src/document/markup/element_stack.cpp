#include "document/markup/element_stack.h"

#include <atomic>
#include <new>
#include <utility>

#include "core/byte_stream.h"
#include "document/markup/attribute_value.h"
#include "document/markup/keyword_tree.h"
#include "document/markup/markup_tags.h"

namespace {

constexpr uint32_t kConverted = 0xFFFF0000u;
constexpr uint32_t kMaxTexts = 0xFFFF;  // a text index of 0xFFFF would read as a converted value

// Attributes whose presence is their meaning ("<form fvt:persistent>").
bool IsPresenceFlag(uint32_t id) {
    return id == kAttrAutoSubmit || id == kAttrPersistent;
}

uint32_t TextsOf(uint32_t word) {
    return word >> 24;
}
bool IsConverted(uint32_t word) {
    return (word & kConverted) == kConverted;
}

template <typename T, int S>
void Truncate(SegArray<T, S>& a, int32_t count) {
    if (a.Count() > count) a.Remove(count, a.Count() - count);
}

}  // namespace

// A known element that has content.
bool ElementStack::Holds(uint32_t id) {
    return id >= 1 && id <= MarkupTags::kMaxId && MarkupTags::IsElement(id) &&
           !MarkupTags::IsEmpty(id);
}

ElementStack::ElementStack() {
    AttributeValue::Install();
}

uint64_t ElementStack::NextVersion() {
    static std::atomic<uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

ElementStack::ElementStack(ElementStack&& other) noexcept {
    Swap(other);
}

ElementStack& ElementStack::operator=(ElementStack&& other) noexcept {
    if (this != &other) {
        Clear();
        Swap(other);
    }
    return *this;
}

bool ElementStack::Push(TokenSource& source, const RenderState& state) {
    bool isEnd = false, isEmpty = false;
    uint32_t id = source.GetTag(isEnd, isEmpty);
    Changed();
    // Tags the stack never holds (empty by the tag table, unknown, not elements) push nothing,
    // and their end tags pop nothing, whatever flags the source gives them.
    if (isEmpty || !Holds(id)) return true;
    if (isEnd) {
        // The end of a refused element pops nothing; an end tag on an empty stack (HTML's, or
        // any after a short restore) neither.
        if (refused_ > 0)
            --refused_;
        else
            Pop();
        return true;
    }
    if (Count() >= kMaxEntries) {
        ++refused_;
        return false;
    }
    uint32_t entry[kMaxEntryWords];
    const String* texts[kMaxEntryWords];
    uint32_t n = 2, textCount = 0;
    bool fits = true;
    uint64_t seen[4] = {};
    uint32_t position = 0;
    source.GetPosition(position);
    entry[1] = position;
    uint32_t attributes = source.AttributeCount();
    for (uint32_t i = 0; i < attributes && fits; ++i) {
        const AttributeItem* item = source.Attribute(i);
        if (!item || item->id == 0 || item->id >= 256) continue;
        // Only the first of a repeated attribute is ever read back.
        uint64_t bit = uint64_t{1} << (item->id & 63);
        if (seen[item->id >> 6] & bit) continue;
        seen[item->id >> 6] |= bit;
        if (MarkupTags::IsTextValued(item->id)) {
            if (n + 2 > kMaxEntryWords || TextCount() + textCount >= kMaxTexts) {
                fits = false;
                break;
            }
            entry[n++] = item->id | (TextCount() + textCount) << 16;
            texts[textCount++] = &item->value;
        } else {
            uint32_t value = 0;
            // The form flags count by their presence: kept (as 0) even without a "yes".
            if (!AttributeValue::Parse(item->id, *item, value) && !IsPresenceFlag(item->id))
                continue;
            if (n + 3 > kMaxEntryWords) {
                fits = false;
                break;
            }
            entry[n++] = item->id | kConverted;
            entry[n++] = value;
        }
    }
    uint32_t first = id | (n + 1) << 16 | textCount << 24;
    entry[0] = first;
    entry[n++] = first;

    int32_t oldWords = words_.Count(), oldTexts = texts_.Count(), oldRecords = records_.Count();
    bool ok = records_.Append(state) >= 0 && words_.Reserve(oldWords + static_cast<int32_t>(n)) &&
              texts_.Reserve(oldTexts + static_cast<int32_t>(textCount));
    for (uint32_t i = 0; ok && i < n; ++i) ok = words_.Append(entry[i]) >= 0;
    for (uint32_t i = 0; ok && i < textCount; ++i) {
        // A value read from a page is a view of the whole page: kept as it is, the page would
        // stay in memory for as long as the element is open, and in every stack saved from it.
        const String& t = *texts[i];
        if (t.IsSoleHolder()) {
            ok = texts_.Append(t) >= 0;
        } else {
            String own;
            ok = own.AssignChars(t.Data(), t.Length()) && texts_.Append(std::move(own)) >= 0;
        }
    }
    if (!ok) {
        Truncate(words_, oldWords);
        Truncate(texts_, oldTexts);
        Truncate(records_, oldRecords);
        return false;
    }
    return fits;
}

void ElementStack::Pop() {
    int32_t top = TopOffset();
    if (top < 0) return;
    Changed();
    uint32_t first = WordAt(static_cast<uint32_t>(top));
    Truncate(words_, top);
    Truncate(texts_, texts_.Count() - static_cast<int32_t>(TextsOf(first)));
    Truncate(records_, records_.Count() - 1);
}

bool ElementStack::PopUnlessRoot(uint32_t rootId) {
    int32_t top = TopOffset();
    if (top < 0 || (top == 0 && ReadU16At(0) == rootId)) return false;
    Pop();
    return true;
}

void ElementStack::Clear() {
    Changed();
    words_.Clear();
    texts_.Clear();
    records_.Clear();
    refused_ = 0;
}

void ElementStack::Swap(ElementStack& other) {
    if (this == &other) return;
    SegArray<uint32_t, 6> w(std::move(words_));
    words_.Move(other.words_);
    other.words_.Move(w);
    SegArray<String, 4> t(std::move(texts_));
    texts_.Move(other.texts_);
    other.texts_.Move(t);
    SegArray<RenderState, 3> r(std::move(records_));
    records_.Move(other.records_);
    other.records_.Move(r);
    std::swap(refused_, other.refused_);
    std::swap(version_, other.version_);
}

bool ElementStack::AssignInPlace(const ElementStack& other) {
    if (this == &other) return true;
    Changed();
    if (!words_.Copy(other.words_) || !texts_.Copy(other.texts_) ||
        !records_.Copy(other.records_)) {
        Clear();
        return false;
    }
    refused_ = other.refused_;
    return true;
}

bool ElementStack::Assign(const ElementStack& other) {
    if (this == &other) return true;
    ElementStack copy;
    if (!copy.words_.Copy(other.words_) || !copy.texts_.Copy(other.texts_) ||
        !copy.records_.Copy(other.records_))
        return false;
    copy.refused_ = other.refused_;
    Swap(copy);
    return true;
}

bool ElementStack::Equals(const ElementStack& other) const {
    if (WordCount() != other.WordCount() || TextCount() != other.TextCount() ||
        Count() != other.Count())
        return false;
    for (uint32_t i = 0; i < WordCount(); ++i)
        if (WordAt(i) != other.WordAt(i)) return false;
    for (uint32_t i = 0; i < TextCount(); ++i)
        if (*TextAt(i) != *other.TextAt(i)) return false;
    for (int32_t i = 0; i < records_.Count(); ++i)
        if (*records_.Get(i) != *other.records_.Get(i)) return false;
    return true;
}

uint32_t ElementStack::EntryLength(int32_t offset) const {
    return LengthOf(WordAt(static_cast<uint32_t>(offset)));
}

int32_t ElementStack::NextOffset(int32_t offset) const {
    if (!ValidOffset(offset)) return -1;
    int32_t next = offset + static_cast<int32_t>(EntryLength(offset));
    return next < words_.Count() ? next : -1;
}

int32_t ElementStack::PreviousOffset(int32_t offset) const {
    if (!ValidOffset(offset) || offset == 0) return -1;
    return offset - static_cast<int32_t>(LengthOf(WordAt(static_cast<uint32_t>(offset - 1))));
}

int32_t ElementStack::OffsetAtDepth(uint32_t depth) const {
    if (depth >= Count()) return -1;
    int32_t offset = TopOffset();
    for (uint32_t i = 0; i < depth && offset >= 0; ++i) offset = PreviousOffset(offset);
    return offset;
}

int32_t ElementStack::FindTag(uint32_t id, int32_t from) const {
    int32_t offset = from < 0 ? TopOffset() : from;
    if (!ValidOffset(offset)) return -1;
    for (; offset >= 0; offset = PreviousOffset(offset))
        if (ReadU16At(offset) == id) return offset;
    return -1;
}

uint32_t ElementStack::ReadU32At(int32_t offset) const {
    return ValidOffset(offset) ? WordAt(static_cast<uint32_t>(offset) + 1) : 0;
}

bool ElementStack::FindAttribute(int32_t offset, uint32_t id, uint32_t& value) const {
    if (!ValidOffset(offset)) return false;
    uint32_t end = static_cast<uint32_t>(offset) + EntryLength(offset) - 1;
    for (uint32_t i = static_cast<uint32_t>(offset) + 2; i < end;) {
        uint32_t word = WordAt(i);
        if (!IsConverted(word)) {
            ++i;
            continue;
        }
        if (IdOf(word) == id && i + 1 < end) {
            value = WordAt(i + 1);
            return true;
        }
        i += 2;
    }
    return false;
}

bool ElementStack::FindAttributeText(int32_t offset, uint32_t id, String& out) const {
    if (ValidOffset(offset)) {
        uint32_t end = static_cast<uint32_t>(offset) + EntryLength(offset) - 1;
        for (uint32_t i = static_cast<uint32_t>(offset) + 2; i < end;) {
            uint32_t word = WordAt(i);
            if (IsConverted(word)) {
                i += 2;
                continue;
            }
            const String* text = TextAt(word >> 16);
            if (IdOf(word) == id && text) {
                out.Assign(*text);
                return true;
            }
            ++i;
        }
    }
    out.Release();
    return false;
}

uint32_t ElementStack::AttributeCount(int32_t offset) const {
    if (!ValidOffset(offset)) return 0;
    uint32_t count = 0;
    uint32_t end = static_cast<uint32_t>(offset) + EntryLength(offset) - 1;
    for (uint32_t i = static_cast<uint32_t>(offset) + 2; i < end; ++count)
        i += IsConverted(WordAt(i)) ? 2 : 1;
    return count;
}

bool ElementStack::Save(ByteStream& stream) const {
    uint32_t w = WordCount();
    stream.WriteWord32BE(w);
    for (uint32_t i = 0; i < w; ++i) stream.WriteWord32BE(WordAt(i));
    uint32_t s = TextCount();
    uint32_t chars = 0;
    for (uint32_t i = 0; i < s; ++i) chars += static_cast<uint32_t>(TextAt(i)->Length());
    stream.WriteWord32BE(s);
    stream.WriteWord32BE(2 * chars);
    stream.WriteWord32BE(kCodePage);
    for (uint32_t i = 0; i < s; ++i) {
        const String& text = *TextAt(i);
        for (int32_t k = 0; k < text.Length(); ++k) {
            uint8_t le[2] = {static_cast<uint8_t>(text[k]), static_cast<uint8_t>(text[k] >> 8)};
            stream.WriteBytes(le, 2);
        }
    }
    static const uint8_t kZeros[4] = {};
    stream.WriteBytes(kZeros, (4 - (2 * chars) % 4) % 4);
    for (uint32_t i = 0; i < s; ++i)
        stream.WriteWord32BE(static_cast<uint32_t>(TextAt(i)->Length()));
    return stream.Ok();
}

bool ElementStack::Restore(ByteStream& stream, const DocumentDefaults& defaults) {
    uint32_t mark = stream.ReadPosition();
    ElementStack built;
    uint32_t w = 0;
    bool ok = stream.Remaining() >= 4 && stream.ReadWord32BE(w) &&
              w <= kMaxEntries * kMaxEntryWords && w <= stream.Remaining() / 4 &&
              built.words_.Reserve(static_cast<int32_t>(w));
    for (uint32_t i = 0; ok && i < w; ++i) {
        uint32_t word = 0;
        ok = stream.ReadWord32BE(word) && built.words_.Append(word) >= 0;
    }
    // Every entry must chain to the next, hold a stackable tag and well-formed attributes whose
    // texts are numbered in order.
    uint32_t texts = 0, entries = 0;
    for (uint32_t at = 0; ok && at < w; ++entries) {
        uint32_t first = built.WordAt(at);
        uint32_t length = LengthOf(first);
        ok = entries < kMaxEntries && length >= 3 && at + length <= w &&
             built.WordAt(at + length - 1) == first && Holds(IdOf(first));
        uint32_t end = at + length - 1, entryTexts = 0;
        for (uint32_t i = at + 2; ok && i < end;) {
            uint32_t word = built.WordAt(i);
            uint32_t attr = IdOf(word);
            if (IsConverted(word)) {
                ok = i + 2 <= end && attr >= 1 && attr <= MarkupTags::kMaxId &&
                     !MarkupTags::IsTextValued(attr);
                i += 2;
            } else {
                ok = MarkupTags::IsTextValued(attr) && (word >> 16) == texts + entryTexts;
                ++entryTexts;
                ++i;
            }
        }
        ok = ok && entryTexts == TextsOf(first);
        texts += entryTexts;
        at += length;
    }
    uint32_t s = 0, bytes = 0, codePage = 0;
    ok = ok && stream.ReadWord32BE(s) && stream.ReadWord32BE(bytes) &&
         stream.ReadWord32BE(codePage) && s == texts && (s == 0 || codePage == kCodePage) &&
         bytes % 2 == 0;
    uint32_t pad = (4 - bytes % 4) % 4;
    ok = ok && bytes <= stream.Remaining() && pad <= stream.Remaining() - bytes &&
         s <= (stream.Remaining() - bytes - pad) / 4;
    String all;
    uint32_t chars = bytes / 2;
    if (ok && chars > 0) {
        ok = all.Reserve(static_cast<int32_t>(chars)) &&
             all.AppendRepeat(u' ', static_cast<int32_t>(chars));
        char16_t* out = ok ? all.MutableData() : nullptr;
        const uint8_t* in = stream.Data() + stream.ReadPosition();
        ok = out != nullptr;
        for (uint32_t i = 0; ok && i < chars; ++i)
            out[i] = static_cast<char16_t>(in[2 * i] | in[2 * i + 1] << 8);
    }
    for (uint32_t i = 0; ok && i < pad; ++i)
        ok = stream.Data()[stream.ReadPosition() + bytes + i] == 0;
    ok = ok && stream.Skip(bytes + pad) && built.texts_.Reserve(static_cast<int32_t>(s));
    uint32_t used = 0;
    for (uint32_t i = 0; ok && i < s; ++i) {
        uint32_t length = 0;
        ok = stream.ReadWord32BE(length) && length <= chars - used;
        String text;
        if (ok) text.AssignSub(all, static_cast<int32_t>(used), static_cast<int32_t>(length));
        used += length;
        ok = ok && built.texts_.Append(text) >= 0;
    }
    ok = ok && used == chars && built.RebuildRecords(defaults);
    if (!ok) {
        stream.SetReadPosition(mark);
        return false;
    }
    Swap(built);
    return true;
}

bool ElementStack::RebuildRecords(const DocumentDefaults& defaults) {
    RenderState base = defaults.style;
    bool isBlock, textChanged, boxChanged, linkChanged;
    for (int32_t offset = words_.Count() > 0 ? 0 : -1; offset >= 0; offset = NextOffset(offset)) {
        RenderState* parent = records_.Count() > 0 ? records_.Get(records_.Count() - 1) : &base;
        ElementStackIterator entry(*this, offset);
        RenderState state;
        RenderState::FromElement(entry, defaults, *parent, state, isBlock, textChanged, boxChanged,
                                 linkChanged);
        if (records_.Append(state) < 0) return false;
    }
    return true;
}

bool ElementStackIterator::GetPosition(uint32_t& position) {
    position = owner_.ReadU32At(offset_);
    return offset_ >= 0;
}

uint32_t ElementStackIterator::GetTag(bool& isEnd, bool& isEmpty) {
    isEnd = false;
    isEmpty = false;
    return owner_.ReadU16At(offset_);
}
