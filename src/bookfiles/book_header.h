// Record 0 of a book: the 16-byte prefix, the FOLV header after it and its EXTH block; and of a
// PalmDOC database: the prefix alone.
#pragma once

#include <cstdint>
#include <vector>

#include "bookfiles/byte_order.h"

class PalmDatabase;

// The header's "none" value for record references and table fields.
constexpr std::uint32_t kBookNone = 0xFFFFFFFF;

// Checks record 0 of a database against its type and creator. Outputs: level (the header
// version for FOLV books, 1 or 0 for PalmDOC), type (-1 when not given), and the position of
// the FOLV header inside record 0 (-1 when there is none). Any output may be null.
bool CheckBookHeader(const PalmDatabase* database, const std::uint8_t* record0,
                     std::uint32_t length, std::int32_t* level, std::int32_t* type,
                     std::int32_t* headerPosition);

// The record of the book's first image, 65535 when there is none or the header is refused.
std::uint32_t ReadBookHeaderWord(const PalmDatabase* database);

// Every field of record 0 that the reader uses. Header fields that lie beyond the header's
// length (or beyond record 0) read as absent.
struct BookHeader {
    static constexpr int kTableFields = 10;

    // Prefix.
    std::uint32_t compression = 0;
    std::uint32_t textLength = 0;
    std::uint32_t textRecordCount = 0;
    std::uint32_t recordSize = 0;
    std::uint32_t encryption = 0;

    // FOLV header; `isFolv` false for PalmDOC databases.
    bool isFolv = false;
    std::uint32_t headerLength = 0;  // as declared
    std::uint32_t usableLength = 0;  // the part that lies inside record 0
    std::int32_t type = -1;
    std::uint32_t codePage = 0;
    std::uint32_t uniqueId = kBookNone;
    std::uint32_t version = 0;
    std::uint32_t tables[kTableFields] = {kBookNone, kBookNone, kBookNone, kBookNone, kBookNone,
                                          kBookNone, kBookNone, kBookNone, kBookNone, kBookNone};
    std::uint32_t fullNameOffset = kBookNone;
    std::uint32_t fullNameLength = 0;
    std::uint32_t locale = 0;
    std::uint32_t inputLanguage = kBookNone;
    std::uint32_t outputLanguage = kBookNone;
    std::uint32_t minimumVersion = 0;
    std::uint32_t flags = 0;
    std::uint32_t huffRecord = 0;
    std::uint32_t huffRecordCount = 0;
    std::uint32_t targetRecord = 0;
    std::uint32_t targetRecordCount = 0;
    std::uint32_t firstResource = kBookNone;
    std::uint32_t lastResource = kBookNone;
    std::uint32_t framesetRecord = kBookNone;
    std::uint32_t trailingFlags = 0;
    std::uint32_t framesetShift = 0;
    std::uint32_t framesetRecordCount = 0;

    static constexpr std::uint32_t kFlagExth = 0x1;
    static constexpr std::uint32_t kFlagNoReadingPosition = 0x8;

    // Reads the prefix, and the FOLV header when `folv` is set. False when record 0 is too
    // short for the prefix, or a FOLV header lacks its tag.
    bool Parse(ByteSpan record0, bool folv);
    // The full name's bytes when they lie inside record 0.
    bool FullName(ByteSpan record0, ByteSpan* name) const;
};

// One metadata record of the EXTH block.
struct ExthRecord {
    std::uint32_t type = 0;
    ByteSpan data;
};

// The EXTH block that follows the FOLV header when its flag says so. Records that run past the
// block or record 0 end the reading; what was read before is kept. False when there is no block.
bool ReadExth(ByteSpan record0, const BookHeader& header, std::vector<ExthRecord>* records);
// The first record of a type, or null.
const ExthRecord* FindExth(const std::vector<ExthRecord>& records, std::uint32_t type);
// A 4-byte number record; false when absent or of another length.
bool ExthNumber(const std::vector<ExthRecord>& records, std::uint32_t type, std::uint32_t* value);

// Appends an EXTH block holding the records, padded to a multiple of 4.
void WriteExth(const std::vector<ExthRecord>& records, std::vector<std::uint8_t>* out);

namespace Exth {
constexpr std::uint32_t kAuthor = 100;
constexpr std::uint32_t kText101 = 101;
constexpr std::uint32_t kText103 = 103;
constexpr std::uint32_t kText105 = 105;
constexpr std::uint32_t kCoverOffset = 201;
constexpr std::uint32_t kThumbnailOffset = 202;
constexpr std::uint32_t kFakeCover = 203;
}  // namespace Exth
