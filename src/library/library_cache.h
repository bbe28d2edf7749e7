// The library cache "FolivantCache.fvt": every catalogue entry written into a Palm database
// (type "MKCH", creator "FOLV") so that a start need not read every book's header again.
//
// Record 0 "MKCH" holds the BOOK count, the number of data records and the version words 5, 3,
// 582; record 1 "DATA" one (record, offset) pair per entry; records 2 and later "DATA" hold the
// 116-byte BOOK entries and their strings, each item on a 4-byte boundary and never across two
// records. Every record is a tag, a big-endian length and the data.
//
// Writing builds the whole file in memory and replaces the old one through a temporary file
// and a rename: a failure at any step leaves the previous cache whole. Reading trusts nothing:
// every index pair and string descriptor is checked against the records' real sizes, and a
// cache whose header or index does not hold is refused whole (the library is then scanned).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/text.h"

class AppPaths;
class Library;
class LibraryBook;
class PalmDatabase;

class LibraryCache {
public:
    static constexpr uint32_t kEntrySize = 116;
    static constexpr uint32_t kHead = 8;
    // The most data a record holds: offsets and lengths are 16-bit.
    static constexpr uint32_t kMaxRecordData = 0xFFF0;
    static constexpr uint32_t kVersion1 = 5, kVersion2 = 3, kVersion3 = 582;

    // Where each field of an entry lives.
    enum Field : uint32_t {
        kPath = 4,
        kTitle = 12,
        kType = 20,
        kLanguagePair = 24,
        kDatabaseName = 28,
        kSideFileTime = 36,
        kFileTime = 40,
        kAuthor = 44,
        kFileSize = 52,
        kCreated = 56,
        kLastRead = 60,
        kRating = 64,
        kCategories = 68,
        kLocation = 76,
        kOpenable = 80,
        kReserved1 = 84,
        kReserved2 = 88,
        kUniqueId = 92,
        kSpare = 96,
        kCoverOffset = 104,
        kThumbnailOffset = 108,
        kFakeCover = 112,
    };
    enum class FieldKind { kInte, kStri };

    LibraryCache() = default;
    ~LibraryCache() { Close(); }
    LibraryCache(const LibraryCache&) = delete;
    LibraryCache& operator=(const LibraryCache&) = delete;

    // 0 when the cache is valid, 1 otherwise (nothing is kept open then).
    int OpenDefault(const AppPaths& paths);
    int Open(const Text& file);
    void Close();
    uint32_t GetBookCount() const { return bookCount_; }

    // Writes the cache of the catalogue: 0 when written, 1 on failure (the old file is kept).
    int Create(const AppPaths& paths, const Library& library);
    int CreateAt(const Text& file, const Library& library);
    // Whether an entry goes into the cache: books of every type range entry that is present,
    // and absent ones whose folder is out of sight (a card that is away), which must come back
    // with their card.
    static bool ShouldWrite(const LibraryBook& book);

    // The field's bytes (4 for an INTE, the string's bytes for a STRI); null on any mismatch.
    const uint8_t* FindField(uint32_t* length, uint32_t entry, uint32_t offset,
                             FieldKind kind) const;
    bool ReadString(uint32_t entry, uint32_t offset, Text& out) const;
    // All bits set when missing.
    uint32_t ReadInt(uint32_t entry, uint32_t offset) const;
    // A new entry (absent, owned by owner) or null when any field is missing or out of range.
    std::unique_ptr<LibraryBook> ReadBook(uint32_t entry, Library* owner) const;

    // Appends an entry to the cache being written; false when it cannot be stored.
    bool WriteBook(const LibraryBook& book);

private:
    bool Data(uint32_t record, const uint8_t** bytes, uint32_t* length) const;
    bool AppendItem(const uint8_t* bytes, uint32_t n, uint16_t* record, uint16_t* offset);
    bool WriteString(const Text& text, uint8_t* descriptor);

    std::unique_ptr<PalmDatabase> db_;
    uint32_t bookCount_ = 0;
    uint32_t dataRecords_ = 0;

    // The cache being written: the data records' bytes (head included) and the index.
    std::vector<std::vector<uint8_t>> out_;
    std::vector<uint8_t> index_;
    uint32_t written_ = 0;
};
