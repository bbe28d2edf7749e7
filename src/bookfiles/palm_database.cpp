#include "bookfiles/palm_database.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <unordered_set>

#include "bookfiles/book_error.h"
#include "bookfiles/byte_order.h"
#include "bookfiles/database_file.h"
#include "core/text.h"

namespace {

struct OpenMode {
    std::uint32_t flags;
    bool write;
    bool create;      // create the file when it is missing
    bool startEmpty;  // ignore any content; the file is replaced when written
    bool matchCodes;  // an existing file must have the given type and creator
};

// The one table of open flags; see the header for who uses which.
constexpr OpenMode kOpenModes[] = {
    {41, false, false, false, false}, {297, false, false, false, true},
    {11, true, false, false, false},  {23, true, true, false, false},
    {15, true, true, false, false},   {151, true, true, true, false},
    {791, true, true, true, true},
};

const std::uint8_t kEmptyRecord[1] = {0};

// Seconds since 1904-01-01, the Palm epoch.
std::uint32_t PalmNow() {
    return static_cast<std::uint32_t>(std::time(nullptr) + 2082844800LL);
}

void SetError(int* error, int code) {
    if (error) *error = code;
}

struct RecordEntry {
    std::uint32_t offset;
    std::uint32_t end;
    std::uint8_t attributes;
    std::uint32_t uniqueId;
};

// Checks the header and record list; fills the entries. 0 or error 10.
int ParseList(const std::uint8_t* bytes, std::size_t size, std::vector<RecordEntry>* entries) {
    if (size < PalmDatabase::kHeaderSize || size > 0xFFFFFFFFu) return kBookCorrupt;
    std::uint32_t count = BigEndian::U16(bytes + 76);
    if (BigEndian::U32(bytes + 72) != 0) return kBookCorrupt;
    std::uint64_t listEnd = PalmDatabase::kHeaderSize + std::uint64_t(count) * 8;
    if (listEnd > size) return kBookCorrupt;
    entries->resize(count);
    std::uint32_t previous = static_cast<std::uint32_t>(listEnd);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* p = bytes + PalmDatabase::kHeaderSize + 8 * i;
        std::uint32_t offset = BigEndian::U32(p);
        if (offset < previous || offset > size) return kBookCorrupt;
        (*entries)[i] = {offset, 0, p[4],
                         (std::uint32_t(p[5]) << 16) | (std::uint32_t(p[6]) << 8) | p[7]};
        previous = offset;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        (*entries)[i].end =
            i + 1 < count ? (*entries)[i + 1].offset : static_cast<std::uint32_t>(size);
    }
    return 0;
}

// Read-only: over a file mapping, or over bytes the caller keeps.
class MappedPalmDatabase final : public PalmDatabase {
public:
    int Load(const std::uint8_t* bytes, std::size_t size) {
        int rc = ParseList(bytes, size, &entries_);
        if (rc) return rc;
        bytes_ = bytes;
        SetHeader(bytes);
        return 0;
    }
    int LoadFile(const char* path) {
        int rc = mapping_.Open(path);
        if (rc) return rc;
        path_ = path;
        fromFile_ = true;
        return Load(mapping_.Data(), mapping_.Size());
    }

    bool Close() override {
        mapping_.Close();
        entries_.clear();
        bytes_ = nullptr;
        return true;
    }
    // A database opened for reading is never deleted through it.
    bool Destroy() override {
        Close();
        return false;
    }
    bool IsReadOnly() const override { return true; }
    std::uint32_t GetRecordCount() const override {
        return static_cast<std::uint32_t>(entries_.size());
    }
    const std::uint8_t* GetRecord(std::uint32_t index, std::uint32_t* length) const override {
        if (index >= entries_.size()) {
            if (length) *length = 0;
            return nullptr;
        }
        const RecordEntry& e = entries_[index];
        if (length) *length = e.end - e.offset;
        return e.end > e.offset ? bytes_ + e.offset : kEmptyRecord;
    }
    std::uint32_t GetUniqueId(std::uint32_t index) const override {
        return index < entries_.size() ? entries_[index].uniqueId : 0;
    }
    std::uint8_t GetRecordAttributes(std::uint32_t index) const override {
        return index < entries_.size() ? entries_[index].attributes : 0;
    }
    bool WantsBusyNotice() const override { return fromFile_; }
    bool IsHeld() const override { return fromFile_; }

private:
    DatabaseFile::Mapping mapping_;
    const std::uint8_t* bytes_ = nullptr;
    std::vector<RecordEntry> entries_;
    bool fromFile_ = false;
};

// Read-write, every record in memory; written whole on Flush and Close when changed.
class ResidentPalmDatabase final : public PalmDatabase {
public:
    struct Record {
        std::vector<std::uint8_t> bytes;
        std::uint8_t attributes = 0;
        std::uint32_t uniqueId = 0;
    };

    ResidentPalmDatabase(std::uint32_t creator, std::uint32_t type) {
        creator_ = creator;
        type_ = type;
        created_ = modified_ = PalmNow();
    }
    ~ResidentPalmDatabase() override { Close(); }

    int Load(const std::uint8_t* bytes, std::size_t size) {
        std::vector<RecordEntry> entries;
        int rc = ParseList(bytes, size, &entries);
        if (rc) return rc;
        SetHeader(bytes);
        records_.clear();
        records_.resize(entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const RecordEntry& e = entries[i];
            records_[i].bytes.assign(bytes + e.offset, bytes + e.end);
            records_[i].attributes = e.attributes;
            records_[i].uniqueId = e.uniqueId & 0xFFFFFF;
        }
        usedIds_.clear();
        for (const Record& r : records_) usedIds_.insert(r.uniqueId);
        DropIdIndex();
        return 0;
    }
    void SetPath(const char* path) { path_ = path ? path : ""; }
    void MarkDirty() { dirty_ = true; }

    bool Flush() override {
        if (!open_ || !dirty_ || path_.empty()) return open_;
        const std::uint32_t wasModified = modified_, wasNumber = modificationNumber_;
        modified_ = PalmNow();
        ++modificationNumber_;
        std::vector<std::uint8_t> bytes;
        bool written = false;
        if (!Serialize(&bytes) ||
            !DatabaseFile::ReplaceDatabase(path_.c_str(), bytes.data(), bytes.size(), &written)) {
            modified_ = wasModified;
            modificationNumber_ = wasNumber;
            return false;
        }
        if (!written) {
            // The file already says all this: its stamps stay as they are.
            modified_ = wasModified;
            modificationNumber_ = wasNumber;
        }
        dirty_ = false;
        return true;
    }
    bool Close() override {
        if (!open_) return true;
        bool ok = Flush();
        open_ = false;
        records_.clear();
        usedIds_.clear();
        DropIdIndex();
        return ok;
    }
    bool Destroy() override {
        open_ = false;
        records_.clear();
        usedIds_.clear();
        DropIdIndex();
        if (path_.empty() || !DatabaseFile::Exists(path_.c_str())) return true;
        return DatabaseFile::Remove(path_.c_str());
    }
    bool SetName(const char* bytes, std::size_t length) override {
        dirty_ = true;
        return PalmDatabase::SetName(bytes, length);
    }
    bool SetAttributes(std::uint16_t attributes) override {
        dirty_ = true;
        attributes_ = attributes;
        return true;
    }
    bool IsReadOnly() const override { return false; }
    std::uint32_t GetRecordCount() const override {
        return static_cast<std::uint32_t>(records_.size());
    }
    const std::uint8_t* GetRecord(std::uint32_t index, std::uint32_t* length) const override {
        if (index >= records_.size()) {
            if (length) *length = 0;
            return nullptr;
        }
        const Record& r = records_[index];
        if (length) *length = static_cast<std::uint32_t>(r.bytes.size());
        return r.bytes.empty() ? kEmptyRecord : r.bytes.data();
    }
    std::uint32_t GetUniqueId(std::uint32_t index) const override {
        return index < records_.size() ? records_[index].uniqueId : 0;
    }
    std::uint8_t GetRecordAttributes(std::uint32_t index) const override {
        return index < records_.size() ? records_[index].attributes : 0;
    }

    bool NewRecord(std::uint32_t index, std::uint32_t size, std::uint32_t* newIndex) override {
        if (!open_ || records_.size() >= 0xFFFF) return false;
        if (index == kAppend || index > records_.size())
            index = static_cast<std::uint32_t>(records_.size());
        Record record;
        bool noted = false;
        try {
            record.bytes.assign(size, 0);
            record.uniqueId = NextUniqueId();
            usedIds_.insert(record.uniqueId);
            noted = true;
            records_.insert(records_.begin() + index, std::move(record));
        } catch (...) {
            if (noted) ForgetId(uniqueIdSeed_);
            return false;
        }
        if (index + 1 == records_.size()) NoteAppended(index);
        else DropIdIndex();
        if (newIndex) *newIndex = index;
        dirty_ = true;
        return true;
    }
    bool ResizeRecord(std::uint32_t index, std::uint32_t size) override {
        if (index >= records_.size()) return false;
        try {
            records_[index].bytes.resize(size, 0);
        } catch (...) {
            return false;
        }
        dirty_ = true;
        return true;
    }
    bool DeleteRecord(std::uint32_t index) override {
        if (index >= records_.size()) return false;
        std::uint32_t id = records_[index].uniqueId;
        records_.erase(records_.begin() + index);
        DropIdIndex();
        ForgetId(id);
        dirty_ = true;
        return true;
    }
    bool WriteRecord(std::uint32_t index, std::uint32_t offset, const void* bytes,
                     std::uint32_t count) override {
        if (index >= records_.size()) return false;
        std::vector<std::uint8_t>& r = records_[index].bytes;
        if (offset > r.size() || count > r.size() - offset) return false;
        if (count) std::memcpy(r.data() + offset, bytes, count);
        dirty_ = true;
        return true;
    }
    std::uint8_t* GetRecordForWrite(std::uint32_t index, std::uint32_t* length) override {
        if (index >= records_.size()) {
            if (length) *length = 0;
            return nullptr;
        }
        std::vector<std::uint8_t>& r = records_[index].bytes;
        if (length) *length = static_cast<std::uint32_t>(r.size());
        return r.empty() ? nullptr : r.data();
    }
    void ReleaseRecord(std::uint32_t, bool dirty) override {
        if (dirty) dirty_ = true;
    }
    std::uint32_t GetRecordCapacity(std::uint32_t index) const override {
        return index < records_.size() ? static_cast<std::uint32_t>(records_[index].bytes.size())
                                       : 0;
    }

private:
    std::uint32_t NextUniqueId() {
        for (;;) {
            uniqueIdSeed_ = (uniqueIdSeed_ + 1) & 0xFFFFFF;
            if (uniqueIdSeed_ == 0) continue;
            if (usedIds_.find(uniqueIdSeed_) == usedIds_.end()) return uniqueIdSeed_;
        }
    }
    void ForgetId(std::uint32_t id) {
        auto it = usedIds_.find(id);
        if (it != usedIds_.end()) usedIds_.erase(it);  // one of them when a file repeats ids
    }

    std::vector<Record> records_;
    // The ids in use, one entry per record, for a new record's id without a walk of the list.
    std::unordered_multiset<std::uint32_t> usedIds_;
    bool open_ = true;
    bool dirty_ = false;
};

}  // namespace

std::uint32_t PalmCode(const char* fourChars) {
    if (!fourChars) return 0;
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        if (!fourChars[i]) return 0;
        v = (v << 8) | static_cast<unsigned char>(fourChars[i]);
    }
    return v;
}

void PalmDatabase::SetHeader(const std::uint8_t* h) {
    std::memcpy(name_, h, 31);
    name_[31] = 0;
    attributes_ = BigEndian::U16(h + 32);
    version_ = BigEndian::U16(h + 34);
    created_ = BigEndian::U32(h + 36);
    modified_ = BigEndian::U32(h + 40);
    backedUp_ = BigEndian::U32(h + 44);
    modificationNumber_ = BigEndian::U32(h + 48);
    type_ = BigEndian::U32(h + 60);
    creator_ = BigEndian::U32(h + 64);
    uniqueIdSeed_ = BigEndian::U32(h + 68) & 0xFFFFFF;
}

bool PalmDatabase::SetName(const char* bytes, std::size_t length) {
    std::memset(name_, 0, sizeof name_);
    if (length > 31) length = 31;
    for (std::size_t i = 0; i < length && bytes[i]; ++i) name_[i] = bytes[i];
    return true;
}

bool PalmDatabase::SetAttributes(std::uint16_t) {
    return false;
}

std::uint32_t PalmDatabase::GetRecordLength(std::uint32_t index) const {
    std::uint32_t length = 0;
    GetRecord(index, &length);
    return length;
}

bool PalmDatabase::ReadRecord(std::uint32_t index, std::uint32_t offset, void* destination,
                              std::uint32_t count, std::uint32_t* got) const {
    if (got) *got = 0;
    std::uint32_t length = 0;
    const std::uint8_t* data = GetRecord(index, &length);
    if (!data || offset > length || (offset == length && count > 0)) return false;
    std::uint32_t n = std::min(count, length - offset);
    if (n) std::memcpy(destination, data + offset, n);
    if (got) *got = n;
    return true;
}

std::int32_t PalmDatabase::FindByUniqueId(std::uint32_t uniqueId) const {
    if (uniqueId == 0) return -1;
    if (!idIndexValid_) {
        std::uint32_t n = GetRecordCount();
        try {
            idIndex_.clear();
            idIndex_.reserve(n);
            // emplace keeps the first record of a repeated id, as a search from the start does.
            for (std::uint32_t i = 0; i < n; ++i) idIndex_.emplace(GetUniqueId(i), i);
            idIndexValid_ = true;
        } catch (...) {
            idIndex_.clear();
            for (std::uint32_t i = 0; i < n; ++i) {
                if (GetUniqueId(i) == uniqueId) return static_cast<std::int32_t>(i);
            }
            return -1;
        }
    }
    auto it = idIndex_.find(uniqueId);
    return it == idIndex_.end() ? -1 : static_cast<std::int32_t>(it->second);
}

void PalmDatabase::NoteAppended(std::uint32_t index) {
    if (!idIndexValid_) return;
    try {
        idIndex_.emplace(GetUniqueId(index), index);
    } catch (...) {
        DropIdIndex();
    }
}

void PalmDatabase::DropIdIndex() {
    idIndexValid_ = false;
    idIndex_.clear();
}

bool PalmDatabase::NewRecord(std::uint32_t, std::uint32_t, std::uint32_t*) {
    return false;
}
bool PalmDatabase::ResizeRecord(std::uint32_t, std::uint32_t) {
    return false;
}
bool PalmDatabase::DeleteRecord(std::uint32_t) {
    return false;
}
bool PalmDatabase::WriteRecord(std::uint32_t, std::uint32_t, const void*, std::uint32_t) {
    return false;
}
std::uint8_t* PalmDatabase::GetRecordForWrite(std::uint32_t, std::uint32_t* length) {
    if (length) *length = 0;
    return nullptr;
}
void PalmDatabase::ReleaseRecord(std::uint32_t, bool) {}
std::uint32_t PalmDatabase::GetRecordCapacity(std::uint32_t index) const {
    return GetRecordLength(index);
}

bool PalmDatabase::Serialize(std::vector<std::uint8_t>* out) const {
    std::uint32_t n = GetRecordCount();
    std::uint64_t total = kHeaderSize + std::uint64_t(n) * 8 + 2;
    for (std::uint32_t i = 0; i < n; ++i) total += GetRecordLength(i);
    if (total > 0xFFFFFFFFu) return false;
    try {
        out->assign(static_cast<std::size_t>(total), 0);
    } catch (...) {
        return false;
    }
    std::uint8_t* h = out->data();
    std::memcpy(h, name_, 31);
    BigEndian::PutU16(h + 32, attributes_);
    BigEndian::PutU16(h + 34, version_);
    BigEndian::PutU32(h + 36, created_);
    BigEndian::PutU32(h + 40, modified_);
    BigEndian::PutU32(h + 44, backedUp_);
    BigEndian::PutU32(h + 48, modificationNumber_);
    BigEndian::PutU32(h + 60, type_);
    BigEndian::PutU32(h + 64, creator_);
    BigEndian::PutU32(h + 68, uniqueIdSeed_);
    BigEndian::PutU16(h + 76, n);
    std::uint32_t offset = kHeaderSize + n * 8 + 2;
    for (std::uint32_t i = 0; i < n; ++i) {
        std::uint8_t* e = h + kHeaderSize + 8 * i;
        std::uint32_t length = 0;
        const std::uint8_t* data = GetRecord(i, &length);
        BigEndian::PutU32(e, offset);
        e[4] = GetRecordAttributes(i);
        std::uint32_t id = GetUniqueId(i);
        e[5] = static_cast<std::uint8_t>(id >> 16);
        e[6] = static_cast<std::uint8_t>(id >> 8);
        e[7] = static_cast<std::uint8_t>(id);
        if (length) std::memcpy(h + offset, data, length);
        offset += length;
    }
    return true;
}

PalmDatabase* PalmDatabase::Open(const char* path, std::uint32_t flags, const char* creator,
                                 const char* type, int* error) {
    SetError(error, kBookCannotOpen);
    const OpenMode* mode = nullptr;
    for (const OpenMode& m : kOpenModes) {
        if (m.flags == flags) mode = &m;
    }
    if (!mode || !path || !*path) return nullptr;
    std::uint32_t wantCreator = PalmCode(creator);
    std::uint32_t wantType = PalmCode(type);
    auto codesDiffer = [&](const PalmDatabase& db) {
        return mode->matchCodes && ((wantCreator && db.GetCreator() != wantCreator) ||
                                    (wantType && db.GetType() != wantType));
    };

    if (!mode->write) {
        std::unique_ptr<MappedPalmDatabase> db(new (std::nothrow) MappedPalmDatabase);
        if (!db) {
            SetError(error, kBookNoMemory);
            return nullptr;
        }
        int rc = db->LoadFile(path);
        if (rc == 0 && codesDiffer(*db)) rc = kBookBadVersion;
        SetError(error, rc);
        return rc ? nullptr : db.release();
    }

    std::unique_ptr<ResidentPalmDatabase> db(new (std::nothrow)
                                                 ResidentPalmDatabase(wantCreator, wantType));
    if (!db) {
        SetError(error, kBookNoMemory);
        return nullptr;
    }
    db->SetPath(path);
    if (mode->startEmpty) {
        db->MarkDirty();
        SetError(error, 0);
        return db.release();
    }
    std::vector<std::uint8_t> bytes;
    int rc = DatabaseFile::ReadAll(path, &bytes);
    if (rc == kBookNotFound && mode->create) {
        db->MarkDirty();
        SetError(error, 0);
        return db.release();
    }
    if (rc == 0) rc = db->Load(bytes.data(), bytes.size());
    if (rc == 0 && codesDiffer(*db)) rc = kBookBadVersion;
    SetError(error, rc);
    return rc ? nullptr : db.release();
}

PalmDatabase* PalmDatabase::OpenView(const std::uint8_t* bytes, std::size_t size, int* error) {
    std::unique_ptr<MappedPalmDatabase> db(new (std::nothrow) MappedPalmDatabase);
    if (!db) {
        SetError(error, kBookNoMemory);
        return nullptr;
    }
    int rc = bytes ? db->Load(bytes, size) : kBookCorrupt;
    SetError(error, rc);
    return rc ? nullptr : db.release();
}

PalmDatabase* PalmDatabase::CreateInMemory(const char* creator, const char* type) {
    return new (std::nothrow) ResidentPalmDatabase(PalmCode(creator), PalmCode(type));
}

PalmDatabase* PalmDatabase::LoadInMemory(const std::uint8_t* bytes, std::size_t size, int* error) {
    std::unique_ptr<ResidentPalmDatabase> db(new (std::nothrow) ResidentPalmDatabase(0, 0));
    if (!db) {
        SetError(error, kBookNoMemory);
        return nullptr;
    }
    int rc = bytes ? db->Load(bytes, size) : kBookCorrupt;
    SetError(error, rc);
    return rc ? nullptr : db.release();
}

PalmDatabase* PalmDatabase::Open(const Text& path, std::uint32_t flags, const char* creator,
                                 const char* type, int* error) {
    Text utf8(path);
    if (!utf8.ConvertTo(CodePages::kUtf8) || utf8.IsEmpty()) {
        SetError(error, kBookNotFound);
        return nullptr;
    }
    std::string name(reinterpret_cast<const char*>(utf8.Bytes()),
                     static_cast<std::size_t>(utf8.ByteLength()));
    if (name.find('\0') != std::string::npos) {
        SetError(error, kBookNotFound);
        return nullptr;
    }
    return Open(name.c_str(), flags, creator, type, error);
}
