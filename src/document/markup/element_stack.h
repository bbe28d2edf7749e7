// The open elements of the page being laid out: one packed entry per element (tag, position,
// converted attributes), the attribute texts, and the element's RenderState. Saved with every
// page start and rebuilt from the saved form, which comes back from the book's side file and
// is checked like any other file data.
//
// Entry words: first = markup id | length in words << 16 | text attribute count << 24; then
// the position; then per text-valued attribute one word (id | text index << 16), per other
// attribute that converts two words (id | 0xFFFF0000, value); last = the first word again, so
// the stack walks both ways. An entry is addressed by the offset of its first word.
#pragma once

#include <cstdint>

#include "core/code_pages.h"
#include "core/segmented_array.h"
#include "core/string.h"
#include "document/markup/render_state.h"
#include "document/markup/token_source.h"

class ByteStream;
struct DocumentDefaults;

class ElementStack {
public:
    static constexpr uint32_t kMaxEntryWords = 255;
    // Deeper elements are refused: the word offsets and text indexes stay within 16 bits.
    static constexpr uint32_t kMaxEntries = 256;
    static constexpr uint32_t kCodePage = CodePages::kUtf16;

    ElementStack();
    ElementStack(const ElementStack&) = delete;
    ElementStack& operator=(const ElementStack&) = delete;
    ElementStack(ElementStack&& other) noexcept;
    ElementStack& operator=(ElementStack&& other) noexcept;

    // The current tag of the source: a start tag appends an entry with its attributes, texts and
    // the given record; an empty element (by its flag or the tag table) or a tag that is no
    // known element is not pushed, nor popped by its end tag; an end tag pops the top entry. False
    // when memory runs out (the stack unchanged), and when the entry does not fit: a start tag
    // with more attributes than 255 words hold keeps those that fit; one past the depth limit
    // is counted instead, and its end tag pops nothing.
    bool Push(TokenSource& source, const RenderState& state);
    // Whether a start tag of the element makes an entry (and its end tag pops one).
    static bool Holds(uint32_t id);
    // Drops the top entry, its texts and its record; nothing on an empty stack.
    void Pop();
    // The same, except that a bottom entry of the tag rootId stays. True when one was dropped.
    bool PopUnlessRoot(uint32_t rootId);
    bool IsEmpty() const { return records_.Count() == 0; }
    void Clear();
    void Swap(ElementStack& other);
    // Copies the other stack; false when memory runs out (then unchanged).
    bool Assign(const ElementStack& other);
    // The same copy made in this stack's own storage, kept for reuse; false when memory runs
    // out, and then the stack is left empty.
    bool AssignInPlace(const ElementStack& other);
    // Same entries, texts and records (link targets compared by value).
    bool Equals(const ElementStack& other) const;
    // Names the entries as they are now (their tags, positions and attributes; a record changed
    // in place through GetRecordAtDepth keeps it): every push, pop, clear or copy gives the stack
    // a number no stack had before, a swap or move takes the entries' number with them. An answer
    // worked out from the entries holds while the number is the same. Never 0.
    uint64_t Version() const { return version_; }

    uint32_t Count() const { return static_cast<uint32_t>(records_.Count()); }
    uint32_t WordCount() const { return static_cast<uint32_t>(words_.Count()); }
    uint32_t TextCount() const { return static_cast<uint32_t>(texts_.Count()); }
    uint32_t WordAt(uint32_t i) const {
        const uint32_t* w = words_.Get(static_cast<int32_t>(i));
        return w ? *w : 0;
    }
    const String* TextAt(uint32_t i) const { return texts_.Get(static_cast<int32_t>(i)); }

    // Walking by entry offset; -1 for none. (The top, its id and its record are read for every
    // token laid out: inline.)
    int32_t TopOffset() const {
        int32_t w = words_.Count();
        if (w == 0) return -1;
        return w - static_cast<int32_t>(LengthOf(WordAt(static_cast<uint32_t>(w - 1))));
    }
    int32_t NextOffset(int32_t offset) const;      // the entry above
    int32_t PreviousOffset(int32_t offset) const;  // the entry below
    int32_t OffsetAtDepth(uint32_t depth) const;   // depth levels below the top
    // The nearest entry of that tag at or below from (the top when from is -1).
    int32_t FindTag(uint32_t id, int32_t from = -1) const;
    uint16_t ReadU16At(int32_t offset) const {  // the markup id
        return ValidOffset(offset) ? static_cast<uint16_t>(IdOf(WordAt(static_cast<uint32_t>(offset))))
                                   : 0;
    }
    uint32_t ReadU32At(int32_t offset) const;  // the position
    RenderState* GetRecordAtDepth(uint32_t depth) {
        if (depth >= Count()) return nullptr;
        return records_.Get(static_cast<int32_t>(Count() - 1 - depth));
    }
    const RenderState* GetRecordAtDepth(uint32_t depth) const {
        if (depth >= Count()) return nullptr;
        return records_.Get(static_cast<int32_t>(Count() - 1 - depth));
    }

    bool FindAttribute(int32_t offset, uint32_t id, uint32_t& value) const;
    bool FindAttributeText(int32_t offset, uint32_t id, String& out) const;
    uint32_t AttributeCount(int32_t offset) const;

    // Word count, the words, text count, text bytes, code page, the UTF-16 characters
    // (little-endian, the code page's order) padded to 4 bytes, then each text's length;
    // numbers big-endian. False when the stream could not grow.
    bool Save(ByteStream& stream) const;
    // Reads what Save wrote and rebuilds every record from the defaults up. False on anything
    // short, inconsistent or unknown; the stack and the stream's read position are then as
    // they were.
    bool Restore(ByteStream& stream, const DocumentDefaults& defaults);

private:
    // An entry's first word: its markup id and its length in words.
    static uint32_t IdOf(uint32_t word) { return word & 0xFFFF; }
    static uint32_t LengthOf(uint32_t word) { return (word >> 16) & 0xFF; }
    bool ValidOffset(int32_t offset) const { return offset >= 0 && offset < words_.Count(); }
    uint32_t EntryLength(int32_t offset) const;
    bool RebuildRecords(const DocumentDefaults& defaults);
    static uint64_t NextVersion();
    void Changed() { version_ = NextVersion(); }

    SegArray<uint32_t, 6> words_;
    SegArray<String, 4> texts_;
    SegArray<RenderState, 3> records_;
    uint32_t refused_ = 0;  // start tags past the depth limit whose end tags are to come
    uint64_t version_ = NextVersion();
};

// A token source over one stored entry, so that the style computation runs over it exactly
// as over the tag it came from. Only the tag, its position and its attributes answer.
class ElementStackIterator : public TokenSource {
public:
    ElementStackIterator(const ElementStack& owner, int32_t offset)
        : owner_(owner), offset_(offset) {}

    bool GetPosition(uint32_t& position) override;
    uint32_t GetTag(bool& isEnd, bool& isEmpty) override;
    uint32_t AttributeCount() override { return owner_.AttributeCount(offset_); }
    const AttributeItem* Attribute(uint32_t) override { return nullptr; }
    bool GetAttributeText(uint32_t id, String& out) override {
        return owner_.FindAttributeText(offset_, id, out);
    }
    bool GetAttributeValue(uint32_t id, uint32_t& value) override {
        return owner_.FindAttribute(offset_, id, value);
    }
    // A stored entry keeps an attribute either converted or as its text.
    bool HasAttribute(uint32_t id) override {
        uint32_t value = 0;
        String text;
        return owner_.FindAttribute(offset_, id, value) ||
               owner_.FindAttributeText(offset_, id, text);
    }
    bool Start(uint32_t, bool) override { return false; }
    void SetPosition(uint32_t) override {}
    bool Attach(DocumentSource*, uint32_t) override { return false; }
    void ReleaseBuffers() override {}
    uint32_t NextToken() override { return kTokenEnd; }
    uint32_t LastTokenKind() override { return kTokenTag; }
    const String& Text() override { return empty_; }
    DocumentSource* Source() override { return nullptr; }
    uint32_t SourceMode() override { return 0; }
    bool SaveState(ByteStream&) override { return false; }
    bool RestoreState(ByteStream&) override { return false; }

private:
    const ElementStack& owner_;
    int32_t offset_;
    String empty_;
};
