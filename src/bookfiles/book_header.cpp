#include "bookfiles/book_header.h"

#include "bookfiles/palm_database.h"

namespace {

constexpr std::uint32_t kBook = FourCC("BOOK");
constexpr std::uint32_t kFolv = FourCC("FOLV");
constexpr std::uint32_t kText = FourCC("TEXt");
constexpr std::uint32_t kRead = FourCC("REAd");

}  // namespace

bool CheckBookHeader(const PalmDatabase* database, const std::uint8_t* record0,
                     std::uint32_t length, std::int32_t* level, std::int32_t* type,
                     std::int32_t* headerPosition) {
    std::int32_t outLevel = 0, outType = -1, outPosition = -1;
    bool ok = false;
    ByteSpan r{record0, record0 ? length : 0};
    if (database && database->GetType() == kBook && database->GetCreator() == kFolv) {
        if (r.size < 40) {
            ok = true;
        } else if (r.TagAt(16, "FOLV")) {
            outType = static_cast<std::int32_t>(r.U32At(24));
            outPosition = 16;
            ok = true;
            if (r.U32At(20) >= 24) {
                std::uint32_t headerLength = r.U32At(20);
                std::uint32_t version = r.U32At(36);
                outLevel = static_cast<std::int32_t>(version > 0x7FFFFFFF ? 0x7FFFFFFF : version);
                if (version < 2 || (version >= 3 && headerLength < 116) ||
                    (version >= 4 && headerLength < 208) || (version >= 6 && headerLength < 228)) {
                    ok = false;
                }
            } else {
                outLevel = 2;
            }
        }
    } else if (database && database->GetType() == kText && database->GetCreator() == kRead) {
        if (r.size > 166 && r.data[150] == 14) {
            outType = 2;
            outLevel = 1;
            ok = true;
        } else if (r.size >= 14) {
            ok = true;
            if (r.U16At(12) == 1) {
                outType = 2;
                outLevel = 1;
            } else {
                outType = 3;
                outLevel = 0;
            }
        }
    }
    if (level) *level = outLevel;
    if (type) *type = outType;
    if (headerPosition) *headerPosition = outPosition;
    return ok;
}

bool BookHeader::Parse(ByteSpan r, bool folv) {
    *this = BookHeader();
    if (r.size < 16) return false;
    compression = r.U16At(0);
    textLength = r.U32At(4);
    textRecordCount = r.U16At(8);
    recordSize = r.U16At(10);
    encryption = r.U16At(12);
    if (!folv) return true;
    if (!r.TagAt(16, "FOLV")) return false;
    isFolv = true;
    headerLength = r.U32At(20);
    std::uint32_t room = r.size - 16;
    usableLength = headerLength < room ? headerLength : room;
    // A header field at offset h is present when it lies wholly inside the usable header.
    auto field = [&](std::uint32_t h, std::uint32_t absent) {
        return h + 4 <= usableLength ? r.U32At(16 + h) : absent;
    };
    type = static_cast<std::int32_t>(field(8, kBookNone));
    codePage = field(12, 0);
    uniqueId = field(16, kBookNone);
    version = field(20, 2);
    for (int i = 0; i < kTableFields; ++i) tables[i] = field(24 + 4 * i, kBookNone);
    fullNameOffset = field(68, kBookNone);
    fullNameLength = field(72, 0);
    locale = field(76, 0);
    inputLanguage = field(80, kBookNone);
    outputLanguage = field(84, kBookNone);
    minimumVersion = field(88, 0);
    flags = field(92, 0);
    huffRecord = field(96, 0);
    huffRecordCount = field(100, 0);
    targetRecord = field(104, 0);
    targetRecordCount = field(108, 0);
    firstResource = field(148, kBookNone);
    lastResource = field(152, kBookNone);
    framesetRecord = field(176, kBookNone);
    trailingFlags = field(180, 0);
    framesetShift = field(184, 0);
    framesetRecordCount = field(188, 0);
    return true;
}

bool BookHeader::FullName(ByteSpan r, ByteSpan* name) const {
    *name = ByteSpan{};
    if (!isFolv || fullNameOffset == kBookNone || !r.Holds(fullNameOffset, fullNameLength)) {
        return false;
    }
    *name = ByteSpan{r.data + fullNameOffset, fullNameLength};
    return true;
}

std::uint32_t ReadBookHeaderWord(const PalmDatabase* database) {
    if (!database) return 0xFFFF;
    std::uint32_t length = 0;
    const std::uint8_t* data = database->GetRecord(0, &length);
    std::int32_t position = -1;
    if (!data || !CheckBookHeader(database, data, length, nullptr, nullptr, &position))
        return 0xFFFF;
    BookHeader header;
    if (!header.Parse(ByteSpan{data, length}, position >= 0)) return 0xFFFF;
    std::uint32_t first = header.firstResource;
    if (first == kBookNone) {
        // Books without the field (and PalmDOC) keep their images right after the text;
        // a header that says "none" has none.
        if (header.isFolv && header.usableLength >= 152) return 0xFFFF;
        first = header.textRecordCount + 1;
    }
    if (first == 0 || first >= database->GetRecordCount() || first > 0xFFFF) return 0xFFFF;
    return first;
}

bool ReadExth(ByteSpan r, const BookHeader& header, std::vector<ExthRecord>* records) {
    records->clear();
    if (!header.isFolv || !(header.flags & BookHeader::kFlagExth)) return false;
    std::uint64_t start64 = 16ull + header.headerLength;
    if (start64 > r.size) return false;
    std::uint32_t start = static_cast<std::uint32_t>(start64);
    if (!r.TagAt(start, "EXTH")) return false;
    std::uint32_t blockLength = r.U32At(start + 4);
    std::uint32_t count = r.U32At(start + 8);
    if (blockLength < 12) return false;
    std::uint32_t blockEnd = r.size - start < blockLength ? r.size : start + blockLength;
    std::uint32_t at = start + 12;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (at > blockEnd || blockEnd - at < 8) break;
        std::uint32_t type = r.U32At(at);
        std::uint32_t length = r.U32At(at + 4);
        if (length < 8 || length > blockEnd - at) break;
        records->push_back(ExthRecord{type, ByteSpan{r.data + at + 8, length - 8}});
        at += length;
    }
    return true;
}

const ExthRecord* FindExth(const std::vector<ExthRecord>& records, std::uint32_t type) {
    for (const ExthRecord& record : records) {
        if (record.type == type) return &record;
    }
    return nullptr;
}

bool ExthNumber(const std::vector<ExthRecord>& records, std::uint32_t type, std::uint32_t* value) {
    const ExthRecord* record = FindExth(records, type);
    if (!record || record->data.size != 4) return false;
    *value = BigEndian::U32(record->data.data);
    return true;
}

void WriteExth(const std::vector<ExthRecord>& records, std::vector<std::uint8_t>* out) {
    std::size_t start = out->size();
    out->resize(start + 12);
    std::uint8_t head[8];
    for (const ExthRecord& record : records) {
        BigEndian::PutU32(head, record.type);
        BigEndian::PutU32(head + 4, record.data.size + 8);
        out->insert(out->end(), head, head + 8);
        if (record.data.size)
            out->insert(out->end(), record.data.data, record.data.data + record.data.size);
    }
    while ((out->size() - start) % 4) out->push_back(0);
    std::uint8_t* block = out->data() + start;
    block[0] = 'E';
    block[1] = 'X';
    block[2] = 'T';
    block[3] = 'H';
    BigEndian::PutU32(block + 4, static_cast<std::uint32_t>(out->size() - start));
    BigEndian::PutU32(block + 8, static_cast<std::uint32_t>(records.size()));
}
