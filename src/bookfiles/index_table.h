// Index tables inside books: a header record ("INDX", kind 0) followed by data records ("INDX",
// kind 1) whose entries are sorted keys with tagged numbers, an "IDXT" offset list per record, a
// "TAGX" layout of the tag data, and optional ORDT (sort weights), LIGT (ligatures), SPL
// (spelling alphabet) and text records. Every read is bounded by the record it lies in; a
// malformed entry is unreadable, never a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bookfiles/byte_order.h"
#include "core/code_pages.h"

class PalmDatabase;

// (data record 1..R, entry in that record); (-1, -1) none.
struct IndexPosition {
    std::uint32_t record = 0xFFFFFFFF;
    std::uint32_t entry = 0xFFFFFFFF;
    bool operator==(const IndexPosition& o) const {
        return record == o.record && entry == o.entry;
    }
    bool IsNone() const { return record == 0xFFFFFFFF; }
};

namespace Keys {
// Byte order, the shorter key first when one is a prefix of the other.
int CompareBytes(const std::uint8_t* a, std::size_t aLength, const std::uint8_t* b,
                 std::size_t bLength);
// Key bytes of a UTF-16 text in a table's code page (UTF-16 keys are big-endian).
bool Encode(std::uint32_t codePage, const char16_t* chars, std::size_t length,
            std::string* out);
bool Decode(std::uint32_t codePage, const std::uint8_t* bytes, std::size_t length,
            std::u16string* out);
}  // namespace Keys

// The order keys are sorted in: bytes, or (flag bit 0) ligature expansion and sort weights.
class IndexKeyOrder {
public:
    std::uint32_t codePage = CodePages::kWindows1252;
    std::uint32_t flags = 0;  // bit 0 weights, bit 1 keys are case-folded
    std::vector<std::uint16_t> weights;
    struct Ligature {
        std::uint16_t ligature, first, second;
    };
    std::vector<Ligature> ligatures;

    int Compare(const std::uint8_t* a, std::size_t aLength, const std::uint8_t* b,
                std::size_t bLength, bool foldCase) const;
    // What weighted keys sort by: the characters' weights, ligatures expanded and characters
    // of weight 0 dropped.
    void Weigh(const std::uint8_t* key, std::size_t length, bool foldCase,
               std::vector<std::uint32_t>* out) const;
};

class IndexTable {
public:
    static constexpr std::uint32_t kModeFoldCase = 0x2;
    static constexpr std::uint32_t kModeNearest = 0x10;

    IndexTable() = default;
    // Opens the table whose header is record `table` of the database. False when the header,
    // directory or a data record's frame is malformed.
    bool Open(PalmDatabase* database, std::uint32_t table);
    bool IsOpen() const { return database_ != nullptr; }

    std::uint32_t GetTableId() const { return table_; }
    std::uint32_t GetEntryCount() const { return entryCount_; }
    std::uint32_t GetCodePage() const { return order_.codePage; }
    // Low 16 bits of the table's language; the low 10 are the primary language.
    std::uint32_t GetLanguage() const { return language_; }
    bool GetName(std::u16string* out) const;
    PalmDatabase* GetDatabase() const { return database_; }
    const IndexKeyOrder& Order() const { return order_; }

    // Positions and entry numbers. EntryFromPosition: -1 none, -2 before the first entry.
    std::int32_t EntryFromPosition(IndexPosition position) const;
    bool PositionFromEntry(std::uint32_t entry, IndexPosition* out) const;
    IndexPosition First() const;
    // Moves by `step` entries; 0 when done, non-zero (position kept) past either end.
    int StepEntry(IndexPosition* position, int step) const;
    bool LocateEntry(IndexPosition* position, int step) const { return StepEntry(position, step) == 0; }

    // The entry's bytes (key length, key, control bytes, tag data), bounded by the next entry.
    bool GetEntryBytes(IndexPosition position, ByteSpan* out) const;
    bool GetEntryKeyBytes(IndexPosition position, ByteSpan* out) const;
    bool GetEntryKey(IndexPosition position, std::u16string* out) const;
    // A text stored in the table's text records: (table-relative record, offset) -> u16 byte
    // length + bytes in the key code page.
    bool GetEntryText(std::uint32_t record, std::uint32_t offset, std::u16string* out) const;

    // The first entry whose key equals `key` (mode 0x10: the first entry not before it).
    bool Lookup(const char16_t* key, std::size_t length, IndexPosition* out,
                std::uint32_t mode) const;
    bool LookupBytes(const std::uint8_t* key, std::size_t length, IndexPosition* out,
                     std::uint32_t mode) const;

    // Entries within the spelling table's edit distance of `word`, in the order the edits are
    // generated, at most `limit`. 0 when the table has no spelling table.
    static std::size_t FindCandidatesForWord(const IndexTable& table, const char16_t* word,
                                             std::size_t length, std::vector<IndexPosition>* out,
                                             std::size_t limit);

    // The TAGX layout.
    struct TagLayout {
        std::uint8_t tag, perValue, control, mask, shift, allOnes;
    };
    const std::vector<TagLayout>& Tags() const { return tags_; }
    std::uint32_t ControlBytes() const { return controlBytes_; }

private:
    struct DataRecord {
        ByteSpan bytes;
        std::uint32_t first = 0;  // entry number of its first entry
        std::uint32_t count = 0;
        std::uint32_t idxt = 0;  // offset of "IDXT"
        ByteSpan lastKey;
    };
    bool Record(std::uint32_t relative, ByteSpan* out) const;
    int CompareWith(const DataRecord& r, std::uint32_t e, const std::uint8_t* key,
                    std::size_t length, bool foldCase, bool* bad) const;

    PalmDatabase* database_ = nullptr;
    std::uint32_t table_ = 0;
    std::uint32_t entryCount_ = 0;
    std::uint32_t language_ = 0;
    std::uint32_t firstText_ = 0;
    std::uint32_t textCount_ = 0;
    std::string name_;
    IndexKeyOrder order_;
    std::vector<TagLayout> tags_;
    std::uint32_t controlBytes_ = 0;
    std::vector<DataRecord> records_;
    std::vector<std::uint16_t> alphabet_;
    std::uint32_t maxEdits_ = 0;
};

// Reads one entry's tags. Seek decodes the entry; FindTag then ReadNumber read a tag's values.
class IndexEntryReader {
public:
    bool Open(const IndexTable* table);
    bool IsValid() const { return table_ != nullptr && table_->IsOpen(); }
    // 0 when now on that entry, non-zero when it is missing or unreadable.
    int Seek(IndexPosition position);
    // 0 when the entry carries the tag; `count` gets its value count (0 when absent), `values`
    // (may be null) the values. Afterwards ReadNumber reads them in order.
    int FindTag(std::uint32_t tag, std::uint32_t* count, std::vector<std::uint32_t>* values);
    // 0 while a value was read, non-zero when none is left.
    int ReadNumber(std::uint32_t* out);
    // The tags of the entry in turn: 0 and the tag and its count, non-zero after the last.
    int ReadNextTag(std::uint32_t* tag, std::uint32_t* count);
    // A tag whose values are (text record, offset): the text.
    bool ReadTagText(std::uint32_t tag, std::u16string* out);
    // True when the entry at `position` carries `tag` with a first value below the table's
    // entry count; the position then becomes that entry's.
    bool FollowLink(IndexPosition* position, std::uint32_t tag);
    bool FollowLinks25Else22(IndexPosition* position);
    IndexPosition Position() const { return position_; }

private:
    struct Field {
        std::uint32_t tag, first, count;
    };
    const IndexTable* table_ = nullptr;
    IndexPosition position_;
    bool onEntry_ = false;
    std::vector<Field> fields_;
    std::vector<std::uint32_t> values_;
    std::uint32_t next_ = 0, end_ = 0;  // ReadNumber's range in values_
    std::size_t nextField_ = 0;
};

// Display text and key text of entries, through an optional naming table.
class IndexLookup {
public:
    IndexLookup(const IndexTable* table, const IndexTable* naming) : table_(table), naming_(naming) {}
    // The headword: the naming entry linked by tag 5, else the entry's own key.
    bool Resolve(std::u16string* out, IndexPosition position, const char16_t* tableName);
    bool Fetch(std::u16string* out, IndexPosition position);
    bool Find(const char16_t* key, std::size_t length, IndexPosition* out);

private:
    const IndexTable* table_;
    const IndexTable* naming_;
};
