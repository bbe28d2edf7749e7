#include "bookfiles/record_store.h"

#include <algorithm>
#include <cstdint>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

#include "bookfiles/database_file.h"
#include "bookfiles/palm_database.h"
#include "core/charset.h"
#include "platform/storage/files.h"

namespace {

std::u16string Wide(const std::string& path) {
    std::u16string out(path.size() + 1, u'\0');
    std::int32_t units = Utf8::DecodeToUtf16(reinterpret_cast<const std::uint8_t*>(path.data()),
                                             path.size(), out.data(), out.size());
    out.resize(units < 0 ? 0 : static_cast<std::size_t>(units));
    return out;
}

std::uint32_t Padded(std::uint32_t n) {
    return (n + 3) & ~3u;
}

}  // namespace

std::string RecordStoreFiles::SetAside(const std::string& path, const char* why) {
    for (int n = 1; n < 100; ++n) {
        std::string to = path + why + (n == 1 ? std::string() : std::to_string(n));
        if (Exists(to)) continue;
        std::u16string from = Wide(path), target = Wide(to);
        if (!from.empty() && !target.empty() && MoveFileExW(from.c_str(), target.c_str(), 0))
            return to;
        return std::string();
    }
    return std::string();
}

std::string RecordStoreFiles::LastSetAside(const std::string& path, const char* why) {
    std::string last;
    for (int n = 1; n < 100; ++n) {
        std::string name = path + why + (n == 1 ? std::string() : std::to_string(n));
        if (!Exists(name)) break;
        last = name;
    }
    return last;
}

bool RecordStoreFiles::Rename(const std::string& from, const std::string& to) {
    std::u16string a = Wide(from), b = Wide(to);
    return !a.empty() && !b.empty() && MoveFileExW(a.c_str(), b.c_str(), 0);
}

void RecordStoreFiles::StepForTesting(const char* step) {
    // A crash at a named point of a write, for the tests of what the next start finds.
    const char* at = std::getenv("FOLIVANT_TEST_KILL_AT");
    if (at && std::strcmp(at, step) == 0) std::raise(SIGKILL);
}

bool RecordStoreFiles::Exists(const std::string& path) {
    return DatabaseFile::Exists(path.c_str());
}

std::vector<RecordStoreFiles::WholeRecord> RecordStoreFiles::WholeRecords(
    const std::uint8_t* bytes, std::size_t size, const std::uint32_t* tags,
    std::size_t tagCount) {
    std::vector<WholeRecord> out;
    if (!bytes || size < PalmDatabase::kHeaderSize + 8 || size > 0xFFFFFFF0u) return out;
    const std::size_t listMax = (size - PalmDatabase::kHeaderSize) / 8;
    const std::size_t count = std::min<std::size_t>(BigEndian::U16(bytes + 76), listMax);
    const std::size_t first = PalmDatabase::kHeaderSize + count * 8;
    std::unordered_set<std::size_t> taken;
    // The record at `at` when it is one of ours and whole: its end, else 0.
    auto whole = [&](std::size_t at, std::uint32_t ref) -> std::size_t {
        if (at < first || at > size - 8) return 0;
        if (taken.count(at)) return 0;
        const std::uint32_t tag = BigEndian::U32(bytes + at);
        if (std::find(tags, tags + tagCount, tag) == tags + tagCount) return 0;
        const std::uint32_t length = BigEndian::U32(bytes + at + 4);
        if (length > size - at - 8) return 0;
        WholeRecord r;
        r.ref = ref;
        r.tag = tag;
        r.data.assign(bytes + at + 8, bytes + at + 8 + length);
        out.push_back(std::move(r));
        taken.insert(at);
        return at + 8 + Padded(length);
    };
    std::size_t expected = first + 2;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = bytes + PalmDatabase::kHeaderSize + 8 * i;
        const std::uint32_t ref =
            (std::uint32_t(entry[5]) << 16) | (std::uint32_t(entry[6]) << 8) | entry[7];
        std::size_t end = whole(BigEndian::U32(entry), ref);
        if (!end) end = whole(expected, ref);
        if (end) expected = end;
    }
    return out;
}

RecordStoreBase::~RecordStoreBase() = default;

std::string RecordStoreBase::NewStoreName() const {
    std::size_t slash = path_.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path_ : path_.substr(slash + 1);
    if (name.size() > 31) name.resize(31);
    return name;
}

int RecordStoreBase::OpenDefault(const char* path, bool create) {
    return Open(path, false, create);
}

int RecordStoreBase::Open(const char* path, bool readOnly, bool create) {
    Close();
    setAside_.clear();
    salvaged_ = 0;
    std::vector<std::uint8_t> salvage;
    salvage.swap(pendingSalvage_);
    if (!path || !*path) return 11;
    path_ = path;
    readOnly_ = readOnly;
    const char* type = StoreType();
    int error = 0;
    if (readOnly_) {
        // Read into memory: the store's texts are handed out as aligned UTF-16 units.
        std::vector<std::uint8_t> bytes;
        error = DatabaseFile::ReadAll(path, &bytes);
        if (error) return error;
        db_.reset(PalmDatabase::LoadInMemory(bytes.data(), bytes.size(), &error));
        if (!db_) return error ? error : 10;
    } else {
        // A write cut short by a crash left its temporary file; the store itself is whole.
        DatabaseFile::RemoveLeftover(path);
        const std::string made = path_ + kSalvagedEnding;
        if (RecordStoreFiles::Exists(made)) {
            DatabaseFile::RemoveLeftover(made.c_str());
            DatabaseFile::Remove(made.c_str());
        }
        // A salvage cut short after setting the damaged file aside: it is made again from there.
        if (create && !RecordStoreFiles::Exists(path_)) {
            const std::string aside = RecordStoreFiles::LastSetAside(path_);
            if (!aside.empty()) {
                if (salvage.empty() && DatabaseFile::ReadAll(aside.c_str(), &salvage) != 0)
                    salvage.clear();
                pendingSalvage_.swap(salvage);
                return Remake(aside, false);
            }
        }
        db_.reset(PalmDatabase::Open(path, create ? 23 : 11, "FOLV", type, &error));
        if (!db_ && error != 10) return error ? error : 14;
    }
    bool fresh = false;
    int invalid = 0;
    if (!db_) {
        invalid = 10;
    } else if (db_->GetType() != PalmCode(type) || db_->GetCreator() != PalmCode("FOLV")) {
        // Even an empty database of another kind is someone else's file: set aside, not taken.
        invalid = 1;
    } else if (db_->GetRecordCount() == 0 && !readOnly_ && create) {
        fresh = true;
    } else {
        // Before Validate, which may upgrade the store in memory: a damaged file is set aside
        // as it is on the disk.
        invalid = create && !readOnly_ && !IsWhole() ? 10 : Validate();
    }
    if (invalid == 13 && !remakeNewer_) {  // a newer version's store: neither used nor replaced
        db_.reset();
        return 13;
    }
    if (invalid) {
        if (readOnly_ || !create) {
            db_.reset();
            return invalid;
        }
        db_.reset();
        // A damaged store of ours: what is still whole of it goes into the new one.
        if ((invalid == 10 || invalid == 13) && DatabaseFile::ReadAll(path, &salvage) != 0)
            salvage.clear();
        pendingSalvage_.swap(salvage);
        return Remake(path_, true);
    }
    if (fresh) return MakeFresh(salvage) ? 0 : 14;
    return 0;
}

bool RecordStoreBase::MakeFresh(const std::vector<std::uint8_t>& salvage) {
    while (db_->GetRecordCount() > 0) db_->DeleteRecord(db_->GetRecordCount() - 1);
    std::string name = NewStoreName();
    db_->SetName(name.data(), name.size());
    if (!InitialiseNew()) {
        db_.reset();
        return false;
    }
    if (!salvage.empty()) salvaged_ = Salvage(salvage);
    if (Flush() != 0) {
        db_.reset();
        return false;
    }
    return true;
}

int RecordStoreBase::Remake(const std::string& from, bool setAside) {
    // The new store is written whole beside the old file before that is set aside, and takes
    // its name last: a crash at any point leaves the old file under one name or the other.
    std::vector<std::uint8_t> salvage;
    salvage.swap(pendingSalvage_);
    const std::string made = path_ + kSalvagedEnding;
    int error = 0;
    db_.reset(PalmDatabase::Open(made.c_str(), 23, "FOLV", StoreType(), &error));
    if (!db_) return error ? error : 14;
    if (!MakeFresh(salvage)) {
        DatabaseFile::Remove(made.c_str());
        return 14;
    }
    db_.reset();
    RecordStoreFiles::StepForTesting("salvage-written");
    setAside_ = setAside ? RecordStoreFiles::SetAside(path_) : from;
    if (setAside_.empty()) {  // never overwrite what could not be kept
        DatabaseFile::Remove(made.c_str());
        salvaged_ = 0;
        return 14;
    }
    RecordStoreFiles::StepForTesting("salvage-set-aside");
    if (!RecordStoreFiles::Rename(made, path_)) return 14;
    db_.reset(PalmDatabase::Open(path_.c_str(), 11, "FOLV", StoreType(), &error));
    if (!db_) return error ? error : 14;
    return 0;
}

int RecordStoreBase::OpenInMemory(const std::uint8_t* bytes, std::size_t size, bool readOnly) {
    Close();
    setAside_.clear();
    salvaged_ = 0;
    path_.clear();
    readOnly_ = readOnly;
    const char* type = StoreType();
    if (size == 0) {
        if (readOnly_) return 11;
        db_.reset(PalmDatabase::CreateInMemory("FOLV", type));
        std::string name = NewStoreName();
        if (!db_ || !db_->SetName(name.data(), name.size()) || !InitialiseNew()) {
            db_.reset();
            return 12;
        }
        return 0;
    }
    int error = 0;
    db_.reset(PalmDatabase::LoadInMemory(bytes, size, &error));
    if (!db_) return error ? error : 10;
    int invalid = 1;
    if (db_->GetType() == PalmCode(type) && db_->GetCreator() == PalmCode("FOLV"))
        invalid = Validate();
    if (invalid) db_.reset();
    return invalid;
}

int RecordStoreBase::OpenSalvaged(const std::uint8_t* bytes, std::size_t size) {
    const int rc = OpenInMemory(nullptr, 0, false);
    if (rc != 0 || !bytes || size == 0) return rc;
    salvaged_ = Salvage(std::vector<std::uint8_t>(bytes, bytes + size));
    return 0;
}

void RecordStoreBase::NoteUnsaved() const {
    const std::u16string path = Wide(path_);
    if (!path.empty()) fvt::NoteUnsavedFile(path);
}

int RecordStoreBase::Flush() {
    if (!db_ || readOnly_) return db_ ? 0 : 1;
    if (!db_->Flush()) return 1;
    dirty_ = false;
    return 0;
}

int RecordStoreBase::Close() {
    if (!db_) return 0;
    // The database's own Close writes back once; destroying it after that writes nothing more.
    int rc = readOnly_ || db_->Close() ? 0 : 1;
    db_.reset();
    dirty_ = false;
    return rc;
}

std::uint32_t RecordStoreBase::RecordCount() const {
    return db_ ? db_->GetRecordCount() : 0;
}

std::uint32_t RecordStoreBase::TagOf(std::uint32_t index) const {
    ByteSpan d;
    if (!GetData(index, &d)) return 0;
    return BigEndian::U32(d.data - 8);
}

bool RecordStoreBase::GetData(std::uint32_t index, ByteSpan* out) const {
    if (!db_ || index >= db_->GetRecordCount()) return false;
    std::uint32_t length = 0;
    const std::uint8_t* p = db_->GetRecord(index, &length);
    if (!p || length < 8) return false;
    std::uint32_t l = BigEndian::U32(p + 4);
    if (l > length - 8) return false;
    *out = ByteSpan{p + 8, l};
    return true;
}

std::int32_t RecordStoreBase::FindRecord(std::uint32_t tag, std::uint32_t from) const {
    for (std::uint32_t i = from; i < RecordCount(); ++i) {
        if (TagOf(i) == tag) return static_cast<std::int32_t>(i);
    }
    return -1;
}

std::uint32_t RecordStoreBase::ReadU32(std::uint32_t index, std::uint32_t offset,
                                       std::uint32_t fallback) const {
    ByteSpan d;
    return GetData(index, &d) ? d.U32At(offset, fallback) : fallback;
}

bool RecordStoreBase::WriteU32(std::uint32_t index, std::uint32_t offset, std::uint32_t value) {
    ByteSpan d;
    if (!db_ || readOnly_ || !GetData(index, &d) || offset > 0x10000) return false;
    if (d.size < offset + 4) {
        std::vector<std::uint8_t> grown(d.data, d.data + d.size);
        grown.resize(offset + 4, 0);
        BigEndian::PutU32(grown.data() + offset, value);
        return ReplaceData(index, grown.data(), static_cast<std::uint32_t>(grown.size()));
    }
    std::uint8_t b[4];
    BigEndian::PutU32(b, value);
    if (!db_->WriteRecord(index, 8 + offset, b, 4)) return false;
    MarkDirty();
    return true;
}

std::int32_t RecordStoreBase::WriteRecord(std::uint32_t tag, const void* data,
                                          std::uint32_t length, std::uint32_t index) {
    if (!db_ || readOnly_ || length > 0x7FFFFFF0u) return -1;
    std::uint32_t at = 0;
    if (!db_->NewRecord(index, 8 + Padded(length), &at)) return -1;
    std::uint8_t head[8];
    BigEndian::PutU32(head, tag);
    BigEndian::PutU32(head + 4, length);
    if (!db_->WriteRecord(at, 0, head, 8) || (length && !db_->WriteRecord(at, 8, data, length))) {
        db_->DeleteRecord(at);
        return -1;
    }
    MarkDirty();
    return static_cast<std::int32_t>(at);
}

bool RecordStoreBase::ReplaceData(std::uint32_t index, const void* data, std::uint32_t length) {
    if (!db_ || readOnly_ || index >= RecordCount() || length > 0x7FFFFFF0u) return false;
    std::uint32_t tag = 0, n = 0;
    const std::uint8_t* p = db_->GetRecord(index, &n);
    if (!p || n < 4) return false;
    tag = BigEndian::U32(p);
    // Copy first: the data may point into the record being resized.
    std::vector<std::uint8_t> bytes(8 + Padded(length), 0);
    BigEndian::PutU32(bytes.data(), tag);
    BigEndian::PutU32(bytes.data() + 4, length);
    if (length) std::memcpy(bytes.data() + 8, data, length);
    if (!db_->ResizeRecord(index, static_cast<std::uint32_t>(bytes.size())) ||
        !db_->WriteRecord(index, 0, bytes.data(), static_cast<std::uint32_t>(bytes.size()))) {
        return false;
    }
    MarkDirty();
    return true;
}

bool RecordStoreBase::DeleteRecord(std::uint32_t index) {
    if (!db_ || readOnly_ || !db_->DeleteRecord(index)) return false;
    MarkDirty();
    return true;
}

std::uint32_t RecordStoreBase::RefOf(std::uint32_t index) const {
    return db_ && index < RecordCount() ? db_->GetUniqueId(index) & 0xFFFFFF : kNoRef;
}

std::int32_t RecordStoreBase::Resolve(std::uint32_t ref, std::uint32_t tag) const {
    if (!db_ || ref == kNoRef || ref > 0xFFFFFF) return -1;
    std::int32_t i = db_->FindByUniqueId(ref);
    if (i < 0 || TagOf(static_cast<std::uint32_t>(i)) != tag) return -1;
    return i;
}

bool RecordStoreBase::WriteSubRecord(std::uint32_t owner, std::uint32_t field, std::uint32_t tag,
                                     const void* data, std::uint32_t length) {
    if (!db_ || readOnly_ || owner >= RecordCount()) return false;
    std::uint32_t ownerRef = RefOf(owner);
    std::int32_t old = Resolve(ReadU32(owner, field), tag);
    if (length == 0) {
        if (!WriteU32(owner, field, kNoRef)) return false;
        if (old >= 0) DeleteRecord(static_cast<std::uint32_t>(old));
        return true;
    }
    if (old >= 0) return ReplaceData(static_cast<std::uint32_t>(old), data, length);
    std::int32_t at = WriteRecord(tag, data, length);
    if (at < 0) return false;
    std::uint32_t ref = RefOf(static_cast<std::uint32_t>(at));
    // Appending does not move the owner, but find it by id to be safe.
    std::int32_t o = db_->FindByUniqueId(ownerRef);
    if (o < 0 || !WriteU32(static_cast<std::uint32_t>(o), field, ref)) {
        DeleteRecord(static_cast<std::uint32_t>(at));
        return false;
    }
    return true;
}

bool RecordStoreBase::ReadSubRecord(std::uint32_t owner, std::uint32_t field, std::uint32_t tag,
                                    ByteSpan* out) const {
    std::int32_t i = Resolve(ReadU32(owner, field), tag);
    return i >= 0 && GetData(static_cast<std::uint32_t>(i), out);
}

const char16_t* RecordStoreBase::ReadTextRecord(std::int32_t index, std::uint32_t* length) const {
    if (length) *length = 0;
    ByteSpan d;
    if (index < 0 || !GetData(static_cast<std::uint32_t>(index), &d) || d.size < 2) return nullptr;
    if (reinterpret_cast<std::uintptr_t>(d.data) % alignof(char16_t) != 0) return nullptr;
    if (length) *length = d.size / 2;
    return reinterpret_cast<const char16_t*>(d.data);
}

const char16_t* RecordStoreBase::ReadSubText(std::uint32_t owner, std::uint32_t field,
                                             std::uint32_t tag, std::uint32_t* length) const {
    if (length) *length = 0;
    return ReadTextRecord(Resolve(ReadU32(owner, field), tag), length);
}

std::int32_t RecordStoreBase::NextCategory(std::int32_t index) const {
    if (index < 0) return -1;
    return FindRecord(FourCC("CATE"), static_cast<std::uint32_t>(index) + 1);
}

const char16_t* RecordStoreBase::ReadCategory(std::int32_t index, std::uint32_t* length) const {
    if (length) *length = 0;
    if (index < 0 || TagOf(static_cast<std::uint32_t>(index)) != FourCC("CATE")) return nullptr;
    return ReadTextRecord(index, length);
}

bool RecordStoreBase::DeleteCategory(std::int32_t index) {
    return index >= 0 && TagOf(static_cast<std::uint32_t>(index)) == FourCC("CATE") &&
           DeleteRecord(static_cast<std::uint32_t>(index));
}
