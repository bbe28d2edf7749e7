#include "library/library_cache.h"

#include <cstring>
#include <string>

#include "bookfiles/byte_order.h"
#include "bookfiles/database_file.h"
#include "bookfiles/palm_database.h"
#include "core/byte_stream.h"
#include "core/file.h"
#include "library/library.h"
#include "library/library_text.h"
#include "paths/app_paths.h"

namespace {

constexpr uint32_t kOpenChecked = 297;
constexpr uint32_t kHeaderData = 20;
constexpr uint32_t kNameMax = 31;

bool HasTag(const uint8_t* p, const char* tag) {
    return std::memcmp(p, tag, 4) == 0;
}

void PutTagged(std::vector<uint8_t>& record, const char* tag) {
    record.assign(LibraryCache::kHead, 0);
    std::memcpy(record.data(), tag, 4);
}

}  // namespace

int LibraryCache::OpenDefault(const AppPaths& paths) {
    Text file;
    if (!paths.CacheFile(file)) {
        Close();
        return 1;
    }
    return Open(file);
}

void LibraryCache::Close() {
    db_.reset();
    bookCount_ = 0;
    dataRecords_ = 0;
}

bool LibraryCache::Data(uint32_t record, const uint8_t** bytes, uint32_t* length) const {
    if (!db_) return false;
    const uint8_t* p = db_->GetRecord(record, length);
    if (!p) return false;
    *bytes = p;
    return true;
}

int LibraryCache::Open(const Text& file) {
    Close();
    if (file.IsEmpty()) return 1;
    int error = 0;
    db_.reset(PalmDatabase::Open(file, kOpenChecked, "FOLV", "MKCH", &error));
    if (!db_) return 1;
    uint32_t count = db_->GetRecordCount();
    const uint8_t* head = nullptr;
    uint32_t headLength = 0;
    auto fail = [this] {
        Close();
        return 1;
    };
    if (count < 2 || !Data(0, &head, &headLength) || headLength < kHead + kHeaderData ||
        !HasTag(head, "MKCH"))
        return fail();
    uint32_t books = BigEndian::U32(head + 8);
    uint32_t dataRecords = BigEndian::U32(head + 12);
    if (dataRecords != (count % 65536) - 2 || BigEndian::U32(head + 16) != kVersion1 ||
        BigEndian::U32(head + 20) != kVersion2 || BigEndian::U32(head + 24) != kVersion3)
        return fail();
    for (uint32_t r = 2; r < count; ++r) {
        const uint8_t* p = nullptr;
        uint32_t n = 0;
        if (!Data(r, &p, &n) || n < kHead || !HasTag(p, "DATA") ||
            static_cast<uint64_t>(BigEndian::U32(p + 4)) + kHead > n)
            return fail();
    }
    const uint8_t* index = nullptr;
    uint32_t indexLength = 0;
    uint64_t pairBytes = 4ull * books;
    if (!Data(1, &index, &indexLength) || indexLength < kHead || !HasTag(index, "DATA") ||
        BigEndian::U32(index + 4) < pairBytes || kHead + pairBytes > indexLength)
        return fail();
    bookCount_ = books;
    dataRecords_ = dataRecords;
    return 0;
}

const uint8_t* LibraryCache::FindField(uint32_t* length, uint32_t entry, uint32_t offset,
                                       FieldKind kind) const {
    if (length) *length = 0;
    if (!db_ || entry >= bookCount_) return nullptr;
    uint32_t fieldSize = kind == FieldKind::kInte ? 4 : 8;
    if (offset + fieldSize > kEntrySize) return nullptr;
    const uint8_t* index = nullptr;
    uint32_t indexLength = 0;
    if (!Data(1, &index, &indexLength)) return nullptr;
    const uint8_t* pair = index + kHead + 4ull * entry;
    uint32_t record = BigEndian::U16(pair), at = BigEndian::U16(pair + 2);
    const uint8_t* data = nullptr;
    uint32_t dataLength = 0;
    if (record < 2 || record - 2 >= dataRecords_ || !Data(record, &data, &dataLength)) return nullptr;
    if (static_cast<uint64_t>(kHead) + at + kEntrySize > dataLength) return nullptr;
    const uint8_t* book = data + kHead + at;
    if (!HasTag(book, "BOOK")) return nullptr;
    const uint8_t* field = book + offset;
    if (kind == FieldKind::kInte) {
        if (length) *length = 4;
        return field;
    }
    uint32_t stringRecord = BigEndian::U16(field), stringAt = BigEndian::U16(field + 2);
    uint32_t stringLength = BigEndian::U16(field + 4);
    if (BigEndian::U16(field + 6) != 0xFFFF || stringLength == 0) return nullptr;
    if (stringRecord < 2 || stringRecord - 2 >= dataRecords_ ||
        !Data(stringRecord, &data, &dataLength))
        return nullptr;
    if (static_cast<uint64_t>(kHead) + stringAt + stringLength > dataLength) return nullptr;
    if (length) *length = stringLength;
    return data + kHead + stringAt;
}

bool LibraryCache::ReadString(uint32_t entry, uint32_t offset, Text& out) const {
    uint32_t n = 0;
    const uint8_t* bytes = FindField(&n, entry, offset, FieldKind::kStri);
    out.Clear();
    return bytes && out.Deserialize(bytes, n);
}

uint32_t LibraryCache::ReadInt(uint32_t entry, uint32_t offset) const {
    const uint8_t* p = FindField(nullptr, entry, offset, FieldKind::kInte);
    return p ? BigEndian::U32(p) : 0xFFFFFFFF;
}

std::unique_ptr<LibraryBook> LibraryCache::ReadBook(uint32_t entry, Library* owner) const {
    if (!FindField(nullptr, entry, 0, FieldKind::kInte)) return nullptr;
    Text path, title, databaseName, author, categories, spare;
    if (!ReadString(entry, kPath, path) || path.IsEmpty() || !ReadString(entry, kTitle, title) ||
        !ReadString(entry, kDatabaseName, databaseName) || !ReadString(entry, kAuthor, author) ||
        !ReadString(entry, kCategories, categories) || !ReadString(entry, kSpare, spare))
        return nullptr;
    uint32_t pair = ReadInt(entry, kLanguagePair), rating = ReadInt(entry, kRating);
    uint32_t cover = ReadInt(entry, kCoverOffset), thumbnail = ReadInt(entry, kThumbnailOffset);
    // Values no writer produces mean a damaged entry.
    if (pair > 0xFFFF || rating > LibraryBook::kMaxRating || cover > 0xFFFF || thumbnail > 0xFFFF)
        return nullptr;
    auto book = std::make_unique<LibraryBook>(owner, path);
    book->SetTitle(title, false);
    book->SetType(static_cast<int32_t>(ReadInt(entry, kType)));
    book->SetLanguagePair(static_cast<uint16_t>(pair));
    String name;
    databaseName.ToWide(name);
    book->SetDatabaseName(name);
    book->SetSideFileTime(ReadInt(entry, kSideFileTime));
    book->SetFileTime(ReadInt(entry, kFileTime));
    book->SetAuthorField(author);
    book->SetFileSize(ReadInt(entry, kFileSize));
    book->SetCreated(ReadInt(entry, kCreated));
    book->SetLastRead(ReadInt(entry, kLastRead));
    book->SetRatingField(rating);
    String lists;
    categories.ToWide(lists);
    book->LoadCategories(lists.Data(), static_cast<uint32_t>(lists.Length()));
    book->SetLocation(static_cast<int32_t>(ReadInt(entry, kLocation)));
    book->SetOpenable(ReadInt(entry, kOpenable) > 0);
    book->SetUniqueId(ReadInt(entry, kUniqueId));
    book->SetSpare(spare);
    book->SetCoverOffset(static_cast<uint16_t>(cover));
    book->SetThumbnailOffset(static_cast<uint16_t>(thumbnail));
    book->SetFakeCover(ReadInt(entry, kFakeCover) > 0);
    book->SetPresent(false);
    return book;
}

// ---- Writing -----------------------------------------------------------------------------------

bool LibraryCache::AppendItem(const uint8_t* bytes, uint32_t n, uint16_t* record,
                              uint16_t* offset) {
    if (n > kMaxRecordData) return false;
    if (out_.empty()) {
        out_.emplace_back();
        PutTagged(out_.back(), "DATA");
    }
    uint32_t at = static_cast<uint32_t>(out_.back().size()) - kHead;
    at = (at + 3) & ~3u;
    if (at + n > kMaxRecordData) {
        // Offsets and record numbers are 16-bit.
        if (out_.size() + 2 > 0xFFFF) return false;
        out_.emplace_back();
        PutTagged(out_.back(), "DATA");
        at = 0;
    }
    std::vector<uint8_t>& data = out_.back();
    data.resize(kHead + at);
    data.insert(data.end(), bytes, bytes + n);
    *record = static_cast<uint16_t>(out_.size() + 1);
    *offset = static_cast<uint16_t>(at);
    return true;
}

bool LibraryCache::WriteString(const Text& text, uint8_t* descriptor) {
    ByteStream bytes;
    if (!text.Serialize(bytes) || bytes.Size() > kMaxRecordData) return false;
    uint16_t record = 0, offset = 0;
    if (!AppendItem(bytes.Data(), bytes.Size(), &record, &offset)) return false;
    BigEndian::PutU16(descriptor, record);
    BigEndian::PutU16(descriptor + 2, offset);
    BigEndian::PutU16(descriptor + 4, bytes.Size());
    BigEndian::PutU16(descriptor + 6, 0xFFFF);
    return true;
}

bool LibraryCache::WriteBook(const LibraryBook& book) {
    uint8_t entry[kEntrySize] = {};
    std::memcpy(entry, "BOOK", 4);
    Text databaseName;
    databaseName.FromString(book.GetDatabaseName());
    if (!WriteString(book.GetPath(), entry + kPath) || !WriteString(book.GetTitle(), entry + kTitle) ||
        !WriteString(databaseName, entry + kDatabaseName) ||
        !WriteString(book.GetAuthor(), entry + kAuthor) ||
        !WriteString(book.JoinCategories(), entry + kCategories) ||
        !WriteString(book.GetSpare(), entry + kSpare))
        return false;
    auto put = [&](uint32_t offset, uint32_t value) { BigEndian::PutU32(entry + offset, value); };
    put(kType, static_cast<uint32_t>(book.GetType()));
    put(kLanguagePair, book.GetLanguagePair());
    put(kSideFileTime, book.GetSideFileTime());
    put(kFileTime, book.GetFileTime());
    put(kFileSize, book.GetFileSize());
    put(kCreated, book.GetCreated());
    put(kLastRead, book.GetLastRead());
    put(kRating, book.GetRating());
    put(kLocation, static_cast<uint32_t>(book.GetLocation()));
    put(kOpenable, book.IsOpenable() ? 1 : 0);
    put(kUniqueId, book.GetUniqueId());
    put(kCoverOffset, book.GetCoverOffset());
    put(kThumbnailOffset, book.GetThumbnailOffset());
    put(kFakeCover, book.HasFakeCover() ? 1 : 0);
    uint16_t record = 0, offset = 0;
    if (!AppendItem(entry, kEntrySize, &record, &offset)) return false;
    uint8_t pair[4];
    BigEndian::PutU16(pair, record);
    BigEndian::PutU16(pair + 2, offset);
    index_.insert(index_.end(), pair, pair + 4);
    ++written_;
    return true;
}

bool LibraryCache::ShouldWrite(const LibraryBook& book) {
    if (book.GetType() < Library::kAllTypesMin || book.GetType() > Library::kAllTypesMax)
        return false;
    if (book.IsPresent()) return true;
    // Gone from a folder that is still there: the book was deleted. A folder out of sight
    // belongs to a card that is away.
    Text folder(book.GetPath());
    folder.ToBackslashes(false);
    return !folder.IsEmpty() && !Folders::Exists(folder);
}

int LibraryCache::Create(const AppPaths& paths, const Library& library) {
    Text file;
    if (!paths.CacheFile(file)) return 1;
    return CreateAt(file, library);
}

int LibraryCache::CreateAt(const Text& file, const Library& library) {
    Close();
    out_.clear();
    index_.clear();
    written_ = 0;
    std::string path = library_text::Utf8Path(file);
    if (path.empty()) return 1;
    for (int32_t i = 0; i < library.GetEntryCount(); ++i) {
        const LibraryBook* book = library.GetEntry(i);
        if (ShouldWrite(*book) && !WriteBook(*book)) return 1;
    }

    std::unique_ptr<PalmDatabase> db(PalmDatabase::CreateInMemory("FOLV", "MKCH"));
    if (!db) return 1;
    size_t slash = path.find_last_of('\\');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() > kNameMax) name.resize(kNameMax);
    if (!db->SetName(name.data(), name.size())) return 1;

    // The header counts what was actually written, so an empty library gives a valid cache.
    std::vector<uint8_t> header;
    PutTagged(header, "MKCH");
    header.resize(kHead + kHeaderData);
    BigEndian::PutU32(header.data() + 4, kHeaderData);
    BigEndian::PutU32(header.data() + 8, written_);
    BigEndian::PutU32(header.data() + 12, static_cast<uint32_t>(out_.size()));
    BigEndian::PutU32(header.data() + 16, kVersion1);
    BigEndian::PutU32(header.data() + 20, kVersion2);
    BigEndian::PutU32(header.data() + 24, kVersion3);
    std::vector<uint8_t> index;
    PutTagged(index, "DATA");
    BigEndian::PutU32(index.data() + 4, static_cast<uint32_t>(index_.size()));
    index.insert(index.end(), index_.begin(), index_.end());
    for (auto& record : out_)
        BigEndian::PutU32(record.data() + 4, static_cast<uint32_t>(record.size()) - kHead);

    auto add = [&](const std::vector<uint8_t>& bytes) {
        uint32_t at = 0;
        return db->NewRecord(PalmDatabase::kAppend, static_cast<uint32_t>(bytes.size()), &at) &&
               db->WriteRecord(at, 0, bytes.data(), static_cast<uint32_t>(bytes.size()));
    };
    if (!add(header) || !add(index)) return 1;
    for (const auto& record : out_)
        if (!add(record)) return 1;
    std::vector<uint8_t> bytes;
    if (!db->Serialize(&bytes)) return 1;
    out_.clear();
    index_.clear();
    return DatabaseFile::ReplaceDatabase(path.c_str(), bytes.data(), bytes.size()) ? 0 : 1;
}
