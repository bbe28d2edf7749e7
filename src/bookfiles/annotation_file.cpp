#include "bookfiles/annotation_file.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>

#include "bookfiles/database_file.h"
#include "bookfiles/palm_database.h"
#include "core/charset.h"
#include "core/file.h"
#include "platform/storage/files.h"

namespace {

constexpr std::uint32_t kBkmk = FourCC("BKMK");
constexpr std::uint32_t kData = FourCC("DATA");
constexpr std::uint32_t kKindMask = 63;
constexpr std::uint32_t kBpar = FourCC("BPAR");
// After the main record's fields: the length in bytes and the UTF-16 little-endian file name
// of the book the side file belongs to.
constexpr std::uint32_t kOwnerField = AnnotationFile::kMainSize;

// Sub-record words of an annotation.
constexpr std::uint32_t kTextField = 28, kNoteField = 32, kLinkField = 36, kStateField = 40;
constexpr std::uint32_t kSubFields[] = {kTextField, kNoteField, kLinkField, kStateField};
// Sub-record words of the main record.
constexpr std::uint32_t kMainDataFields[] = {12, 32, 44};

std::uint32_t Tag(const char* t) {
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(t[0])) << 24) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(t[1])) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(t[2])) << 8) |
           static_cast<unsigned char>(t[3]);
}

}  // namespace

namespace {

std::string FileNameOf(const std::string& path) {
    std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::u16string Utf16Of(const std::string& text) {
    std::u16string out(text.size() + 1, u'\0');
    std::int32_t units = Utf8::DecodeToUtf16(reinterpret_cast<const std::uint8_t*>(text.data()),
                                             text.size(), out.data(), out.size());
    out.resize(units < 0 ? 0 : static_cast<std::size_t>(units));
    return out;
}

char16_t Folded(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

// Device names are matched without case. `stored` is UTF-16 little-endian bytes.
bool SameName(const std::uint8_t* stored, std::uint32_t bytes, const std::u16string& name) {
    if (bytes != name.size() * 2) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        char16_t c = static_cast<char16_t>(stored[2 * i] | (stored[2 * i + 1] << 8));
        if (Folded(c) != Folded(name[i])) return false;
    }
    return true;
}

// Whom a main record names: 0 no book, 1 the book `name`, 2 another book.
int OwnerOfMain(const std::uint8_t* main, std::size_t size, const std::u16string& name) {
    if (size < kOwnerField + 4) return 0;
    std::uint32_t length = BigEndian::U32(main + kOwnerField);
    if (length == 0 || length > size - kOwnerField - 4) return 0;
    return SameName(main + kOwnerField + 4, length, name) ? 1 : 2;
}

// Whom the side file at `path` names, read from its bytes without loading it (0 also when it
// is no readable side file).
int OwnerOfFile(const std::string& path, const std::u16string& name) {
    DatabaseFile::Mapping file;
    if (file.Open(path.c_str()) != 0) return 0;
    const std::uint8_t* d = file.Data();
    std::size_t size = file.Size();
    if (!d || size < 86 || BigEndian::U16(d + 76) == 0) return 0;
    std::size_t at = BigEndian::U32(d + 78);
    if (at > size || size - at < 8 || BigEndian::U32(d + at) != kBpar) return 0;
    std::size_t length = BigEndian::U32(d + at + 4);
    if (length > size - at - 8) return 0;
    return OwnerOfMain(d + at + 8, length, name);
}

// The book name stored in the side file at `path` (empty when none can be read).
std::u16string StoredOwner(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    if (DatabaseFile::ReadAll(path.c_str(), &bytes) != 0) return {};
    const std::uint32_t tags[] = {kBpar};
    std::vector<RecordStoreFiles::WholeRecord> records =
        RecordStoreFiles::WholeRecords(bytes.data(), bytes.size(), tags, 1);
    if (records.empty()) return {};
    const std::vector<std::uint8_t>& main = records.front().data;
    if (main.size() < kOwnerField + 4) return {};
    std::uint32_t length = BigEndian::U32(main.data() + kOwnerField);
    if (length == 0 || length % 2 || length > main.size() - kOwnerField - 4) return {};
    std::u16string name(length / 2, u'\0');
    for (std::size_t i = 0; i < name.size(); ++i)
        name[i] = static_cast<char16_t>(main[kOwnerField + 4 + 2 * i] |
                                        (main[kOwnerField + 5 + 2 * i] << 8));
    return name;
}

// The salvaged records by reference and tag, so that a salvage looks each one up at once.
class WholeIndex {
public:
    explicit WholeIndex(const std::vector<RecordStoreFiles::WholeRecord>& records) {
        byKey_.reserve(records.size());
        // The first of a repeated reference and tag wins, as a search from the start finds.
        for (const RecordStoreFiles::WholeRecord& r : records)
            byKey_.emplace(Key(r.ref, r.tag), &r);
    }
    // The salvaged record of `tag` that `ref` names; null for none.
    const RecordStoreFiles::WholeRecord* Find(std::uint32_t ref, std::uint32_t tag) const {
        if (ref == RecordStoreBase::kNoRef) return nullptr;
        auto it = byKey_.find(Key(ref, tag));
        return it == byKey_.end() ? nullptr : it->second;
    }

private:
    static std::uint64_t Key(std::uint32_t ref, std::uint32_t tag) {
        return static_cast<std::uint64_t>(ref) << 32 | tag;
    }
    std::unordered_map<std::uint64_t, const RecordStoreFiles::WholeRecord*> byKey_;
};

// The big-endian word at `at` of a record's bytes; 0 where it would run past their end.
std::uint32_t WordAt(const std::vector<std::uint8_t>& d, std::uint32_t at) {
    return d.size() >= at + 4 ? BigEndian::U32(d.data() + at) : 0u;
}

std::string Utf8Of(const std::u16string& text) {
    std::string out(text.size() * 3 + 1, '\0');
    std::int32_t n = Utf8::EncodeFromUtf16(text.data(), text.size(),
                                           reinterpret_cast<std::uint8_t*>(out.data()),
                                           out.size());
    out.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
    return out;
}

}  // namespace

bool AnnotationFile::PathForBook(const std::string& bookPath, std::string* out, bool* exists,
                                 bool ownOnly, FolderListing* listing) {
    if (exists) *exists = false;
    std::size_t slash = bookPath.find_last_of("\\/");
    std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (nameStart >= bookPath.size()) return false;
    std::size_t dot = bookPath.find_last_of('.');
    std::string stem = dot != std::string::npos && dot > nameStart ? bookPath.substr(0, dot)
                                                                    : bookPath;
    // The first name is the one side files always had: stored annotations are found there.
    std::string names[2] = {stem + ".fvt", bookPath + ".fvt"};
    int count = names[0] == names[1] ? 1 : 2;
    if (names[0] == bookPath) return false;  // never take the book itself for its side file
    std::u16string book = Utf16Of(FileNameOf(bookPath));
    bool present[2] = {false, false};
    int owner[2] = {0, 0};
    for (int i = 0; i < count; ++i) {
        present[i] = listing ? listing->ContainsUtf8(names[i]) : DatabaseFile::Exists(names[i].c_str());
        if (present[i]) owner[i] = OwnerOfFile(names[i], book);
    }
    int pick = -1;
    for (int i = 0; i < count && pick < 0; ++i)
        if (present[i] && owner[i] == 1) pick = i;
    for (int i = 0; i < count && pick < 0 && !ownOnly; ++i)
        if (present[i] && owner[i] == 0) pick = i;
    for (int i = 0; i < count && pick < 0; ++i)
        if (!present[i]) pick = i;
    if (pick < 0) return false;
    *out = names[pick];
    if (exists) *exists = present[pick];
    return true;
}

bool AnnotationFile::Delete(const std::string& path) {
    if (path.empty()) return false;
    DatabaseFile::RemoveLeftover(path.c_str());
    return DatabaseFile::Remove(path.c_str());
}

int AnnotationFile::OpenOrCreate(const std::string& bookPath, const char* bookDatabaseName,
                                 std::size_t nameLength, bool readOnly, bool create, bool,
                                 bool ownOnly, FolderListing* listing) {
    std::string path;
    unsavedPath_.clear();
    damagedAside_.clear();
    damagedNamed_ = false;
    tookAnotherName_ = false;
    pendingSalvage_.clear();
    bookPath_ = bookPath;
    if (create && !readOnly && !listing) {
        // A side file under this book's names that names a book not beside it is no other
        // book's: it is kept aside, and what it holds goes into this book's new file.
        std::size_t slash = bookPath.find_last_of("\\/");
        std::size_t dot = bookPath.find_last_of('.');
        bool stemmed = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
        const std::string base = stemmed ? bookPath.substr(0, dot) + ".fvt" : std::string();
        if (!SetAsideStrayFile(bookPath + ".fvt", true) && !base.empty() && base != bookPath)
            SetAsideStrayFile(base, false);
    }
    if (!PathForBook(bookPath, &path, nullptr, ownOnly, listing)) {
        pendingSalvage_.clear();
        return 11;
    }
    databaseName_.assign(bookDatabaseName ? bookDatabaseName : "",
                         bookDatabaseName ? std::min<std::size_t>(nameLength, 31) : 0);
    std::size_t zero = databaseName_.find('\0');
    if (zero != std::string::npos) databaseName_.resize(zero);
    std::string stray;
    stray.swap(damagedAside_);
    const int rc = Open(path.c_str(), readOnly, create);
    pendingSalvage_.clear();
    if (!stray.empty()) {
        damagedAside_ = stray;
        setAside_ = stray;
    } else if (!SetAsidePath().empty()) {
        damagedAside_ = SetAsidePath();
    }
    return rc;
}

bool AnnotationFile::SetAsideStrayFile(const std::string& path, bool fullName) {
    if (!DatabaseFile::Exists(path.c_str())) return false;
    const std::u16string own = Utf16Of(FileNameOf(bookPath_));
    const std::u16string named = StoredOwner(path);
    if (named.empty() || own.empty()) return false;
    std::vector<std::uint8_t> bytes(named.size() * 2);
    for (std::size_t i = 0; i < named.size(); ++i) {
        bytes[2 * i] = static_cast<std::uint8_t>(named[i]);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(named[i] >> 8);
    }
    if (SameName(bytes.data(), static_cast<std::uint32_t>(bytes.size()), own)) return false;
    // Under the base name, the file of another book beside this one is that book's.
    if (!fullName) {
        const std::string name = Utf8Of(named);
        if (name.empty() || name.find_first_of("\\/") != std::string::npos) return false;
        std::size_t slash = path.find_last_of("\\/");
        const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        if (DatabaseFile::Exists((folder + name).c_str())) return false;
    }
    std::vector<std::uint8_t> whole;
    if (DatabaseFile::ReadAll(path.c_str(), &whole) != 0) return false;
    std::string aside = RecordStoreFiles::SetAside(path);
    if (aside.empty()) return false;
    pendingSalvage_.swap(whole);
    damagedAside_ = aside;
    damagedNamed_ = tookAnotherName_ = true;
    return true;
}

std::string AnnotationFile::TakeDamagedAside(bool* named) {
    if (named) *named = damagedNamed_;
    std::string out;
    out.swap(damagedAside_);
    damagedNamed_ = false;
    return out;
}

std::uint32_t AnnotationFile::Salvage(const std::vector<std::uint8_t>& damaged) {
    using RecordStoreFiles::WholeRecord;
    const std::uint32_t kText = Tag("TEXT"), kNote = Tag("NOTE"), kLink = Tag("LINK");
    const std::uint32_t kTitl = Tag("TITL"), kAuth = Tag("AUTH"), kCate = Tag("CATE");
    const std::uint32_t tags[] = {kBpar, kBkmk, kData, kText, kNote, kLink, kTitl, kAuth, kCate};
    std::vector<WholeRecord> records = RecordStoreFiles::WholeRecords(
        damaged.data(), damaged.size(), tags, sizeof tags / sizeof tags[0]);
    const WholeIndex index(records);
    std::uint32_t kept = 0;
    // The main record's fields (this book's name stays as the new file has it).
    for (const WholeRecord& r : records) {
        if (r.tag != kBpar || r.data.size() < 8) continue;
        const std::uint32_t version = WordAt(r.data, 0);
        if (version == 0 || version > kFormatVersion) continue;
        ByteSpan d;
        if (!GetData(0, &d)) break;
        std::vector<std::uint8_t> main(d.data, d.data + d.size);
        const std::size_t n = std::min<std::size_t>(r.data.size(), kMainSize);
        std::copy(r.data.begin(), r.data.begin() + static_cast<std::ptrdiff_t>(n), main.begin());
        for (std::uint32_t field : kMainDataFields) BigEndian::PutU32(main.data() + field, kNoRef);
        if (!ReplaceData(0, main.data(), static_cast<std::uint32_t>(main.size()))) break;
        ++kept;
        for (std::uint32_t field : kMainDataFields)
            if (const WholeRecord* sub = index.Find(WordAt(r.data, field), kData))
                kept += WriteSubRecord(0, field, kData, sub->data.data(),
                                       static_cast<std::uint32_t>(sub->data.size()));
        break;
    }
    // Title, author and reading lists: the first whole one of each.
    for (std::uint32_t tag : {kTitl, kAuth, kCate}) {
        for (const WholeRecord& r : records) {
            if (r.tag != tag) continue;
            kept += WriteRecord(tag, r.data.data(), static_cast<std::uint32_t>(r.data.size())) >= 0;
            break;
        }
    }
    return kept + AddWholeAnnotations(records, false);
}

std::uint32_t AnnotationFile::AddWholeAnnotations(
    const std::vector<RecordStoreFiles::WholeRecord>& records, bool unlessColliding,
    std::uint32_t* equal) {
    using RecordStoreFiles::WholeRecord;
    const std::uint32_t kText = Tag("TEXT"), kNote = Tag("NOTE"), kLink = Tag("LINK");
    const WholeIndex index(records);
    // Whether an annotation of that kind already meets the range.
    auto collides = [&](const std::vector<std::uint8_t>& d) {
        const std::uint32_t kind = WordAt(d, 0) & kKindMask, start = WordAt(d, 4),
                            end = WordAt(d, 8);
        for (std::uint32_t i = 1; i < RecordCount(); ++i) {
            if (!IsBookmark(static_cast<std::int32_t>(i))) continue;
            if ((ReadU32(i, 0) & kKindMask) != kind) continue;
            const std::uint32_t s2 = ReadU32(i, 4), e2 = ReadU32(i, 8);
            if (s2 == start || (start < e2 && s2 < end)) return true;
        }
        return false;
    };
    const std::uint32_t subTags[] = {kText, kNote, kLink, kData};
    // Whether the file holds an annotation equal to `r`: its kind, range, texts, note and state.
    // The records of `r` it stands for, else 0.
    auto twin = [&](const WholeRecord& r) -> std::uint32_t {
        const std::uint32_t kind = WordAt(r.data, 0) & kKindMask, start = WordAt(r.data, 4),
                            end = WordAt(r.data, 8);
        for (std::uint32_t i = 1; i < RecordCount(); ++i) {
            if (!IsBookmark(static_cast<std::int32_t>(i))) continue;
            if ((ReadU32(i, 0) & kKindMask) != kind || ReadU32(i, 4) != start ||
                ReadU32(i, 8) != end)
                continue;
            std::uint32_t count = 1;
            bool same = true;
            for (int k = 0; k < 4 && same; ++k) {
                const std::uint32_t ours = WordAt(r.data, kSubFields[k]);
                const WholeRecord* sub = index.Find(ours, subTags[k]);
                const std::uint32_t ref = ReadU32(i, kSubFields[k]);
                const std::int32_t at = ref == kNoRef ? -1 : Resolve(ref, subTags[k]);
                ByteSpan d;
                const bool has = at >= 0 && GetData(static_cast<std::uint32_t>(at), &d);
                if (!sub) {
                    same = ours == kNoRef && !has;
                    continue;
                }
                same = has && d.size == sub->data.size() &&
                       std::equal(sub->data.begin(), sub->data.end(), d.data);
                ++count;
            }
            if (same) return count;
        }
        return 0;
    };
    std::uint32_t kept = 0, same = 0;
    // The annotations in range order, each with the texts and state it names.
    std::vector<const WholeRecord*> marks;
    for (const WholeRecord& r : records)
        if (r.tag == kBkmk && r.data.size() >= kBookmarkSize && (WordAt(r.data, 0) & kKindMask))
            marks.push_back(&r);
    std::stable_sort(marks.begin(), marks.end(), [&](const WholeRecord* a, const WholeRecord* b) {
        const std::uint32_t sa = WordAt(a->data, 4), sb = WordAt(b->data, 4);
        return sa != sb ? sa < sb : WordAt(a->data, 8) < WordAt(b->data, 8);
    });
    std::vector<std::pair<std::uint32_t, std::uint32_t>> newRefs;  // old ref, new ref
    // Into a file with no annotation yet, the annotations in range order each go after the
    // last: all of them first, then their texts and states, each file record placed once.
    bool appendAll = !unlessColliding;
    for (std::uint32_t i = 1; appendAll && i < RecordCount(); ++i)
        appendAll = !IsBookmark(static_cast<std::int32_t>(i));
    if (appendAll) {
        std::vector<std::uint32_t> placed;  // new references, as newRefs has them
        placed.reserve(marks.size());
        for (const WholeRecord* r : marks) {
            std::vector<std::uint8_t> d = r->data;
            BigEndian::PutU32(d.data() + 24, kNoRef);
            for (std::uint32_t field : kSubFields) BigEndian::PutU32(d.data() + field, kNoRef);
            const std::int32_t at = WriteRecord(kBkmk, d.data(), static_cast<std::uint32_t>(d.size()));
            placed.push_back(at < 0 ? kNoRef : RefOf(static_cast<std::uint32_t>(at)));
            newRefs.emplace_back(r->ref, placed.back());
            kept += at >= 0;
        }
        for (std::size_t i = 0; i < marks.size(); ++i) {
            if (placed[i] == kNoRef) continue;
            for (int k = 0; k < 4; ++k) {
                const WholeRecord* sub = index.Find(WordAt(marks[i]->data, kSubFields[k]), subTags[k]);
                const std::int32_t now = sub ? Resolve(placed[i], kBkmk) : -1;
                if (now >= 0)
                    kept += WriteSubRecord(static_cast<std::uint32_t>(now), kSubFields[k],
                                           subTags[k], sub->data.data(),
                                           static_cast<std::uint32_t>(sub->data.size()));
            }
        }
    }
    for (const WholeRecord* r : marks) {
        if (appendAll) break;
        std::vector<std::uint8_t> d = r->data;
        BigEndian::PutU32(d.data() + 24, kNoRef);
        for (std::uint32_t field : kSubFields) BigEndian::PutU32(d.data() + field, kNoRef);
        const std::int32_t at =
            unlessColliding && collides(d)
                ? -1
                : WriteRecord(kBkmk, d.data(), static_cast<std::uint32_t>(d.size()),
                              PlaceFor(WordAt(d, 4), WordAt(d, 8)));
        if (at < 0) {
            if (equal) same += twin(*r);
            newRefs.emplace_back(r->ref, kNoRef);
            continue;
        }
        ++kept;
        const std::uint32_t ref = RefOf(static_cast<std::uint32_t>(at));
        newRefs.emplace_back(r->ref, ref);
        for (int k = 0; k < 4; ++k) {
            const WholeRecord* sub = index.Find(WordAt(r->data, kSubFields[k]), subTags[k]);
            const std::int32_t now = Resolve(ref, kBkmk);
            if (sub && now >= 0)
                kept += WriteSubRecord(static_cast<std::uint32_t>(now), kSubFields[k], subTags[k],
                                       sub->data.data(),
                                       static_cast<std::uint32_t>(sub->data.size()));
        }
    }
    // Links between annotations, through their new references: the first annotation of an
    // old reference that was kept.
    std::unordered_map<std::uint32_t, std::uint32_t> renamed;
    for (const auto& [from, to] : newRefs)
        if (to != kNoRef) renamed.emplace(from, to);
    for (std::size_t i = 0; i < marks.size() && i < newRefs.size(); ++i) {
        const std::uint32_t linked = WordAt(marks[i]->data, 24);
        if (linked == kNoRef || newRefs[i].second == kNoRef) continue;
        auto to = renamed.find(linked);
        if (to == renamed.end()) continue;
        const std::int32_t now = Resolve(newRefs[i].second, kBkmk);
        if (now >= 0) WriteU32(static_cast<std::uint32_t>(now), 24, to->second);
    }
    if (equal) *equal = same;
    return kept;
}


int AnnotationFile::ReplaceUnusable(const std::string& bookPath, const char* bookDatabaseName,
                                    std::size_t nameLength, bool ownOnly) {
    // Never replaced in place: the new file is made whole before this one is set aside, and
    // the file stays whole under the name told.
    remakeNewer_ = true;
    const int rc = OpenOrCreate(bookPath, bookDatabaseName, nameLength, false, true, true, ownOnly);
    remakeNewer_ = false;
    if (rc != 0) return rc;
    damagedNamed_ = false;
    return damagedAside_.empty() ? 13 : 0;
}

int AnnotationFile::OpenExisting(const std::string& bookPath, bool readOnly,
                                 FolderListing* listing) {
    return OpenOrCreate(bookPath, nullptr, 0, readOnly, false, false, false, listing);
}

int AnnotationFile::OpenInMemoryFor(const std::string& bookPath, const char* bookDatabaseName,
                                    std::size_t nameLength) {
    std::vector<std::uint8_t> copy;
    const int existing = OpenOrCreate(bookPath, bookDatabaseName, nameLength, 1, 0, 0);
    // A newer reader's side file stays as it is: nothing is made in its place.
    if (existing == 13) return 13;
    if (existing == 0 && Database()) Database()->Serialize(&copy);
    std::string path;
    int rc = 1;
    if (existing == 10 && PathForBook(bookPath, &path) &&
        DatabaseFile::ReadAll(path.c_str(), &copy) == 0) {
        // A damaged file that cannot be set aside: what is whole of it, for this run.
        rc = OpenSalvaged(copy.data(), copy.size());
        copy.clear();
    } else {
        rc = OpenInMemory(copy.empty() ? nullptr : copy.data(), copy.size(), false);
    }
    if (rc != 0 && !copy.empty()) rc = OpenInMemory(nullptr, 0, false);
    if (rc != 0) return rc;
    bookPath_ = bookPath;
    databaseName_.assign(bookDatabaseName ? bookDatabaseName : "",
                         bookDatabaseName ? std::min<std::size_t>(nameLength, 31) : 0);
    std::size_t zero = databaseName_.find('\0');
    if (zero != std::string::npos) databaseName_.resize(zero);
    // The file on disk this copy stands for: its changes are a save that could not be made.
    unsavedPath_ = PathForBook(bookPath, &path) ? path : bookPath;
    return 0;
}

void AnnotationFile::NoteIfUnsaved() {
    if (!dirty_ || unsavedPath_.empty()) return;
    fvt::NoteUnsavedFile(Utf16Of(unsavedPath_));
}

int AnnotationFile::Flush() {
    NoteIfUnsaved();
    return RecordStoreBase::Flush();
}

int AnnotationFile::Close() {
    bool wasOpen = IsOpen();
    NoteIfUnsaved();
    int rc = RecordStoreBase::Close();
    if (wasOpen && owner_) owner_->OnAnnotationFileClosed(this);
    return rc;
}

bool AnnotationFile::InitialiseNew() {
    std::uint8_t main[kMainSize] = {};
    BigEndian::PutU32(main, kFormatVersion);
    BigEndian::PutU32(main + 24, 0xFFFFFFFF);
    if (WriteRecord(Tag("BPAR"), main, kMainSize, 0) != 0) return false;
    // A new file is its book's from the start.
    return bookPath_.empty() || Claim();
}

int AnnotationFile::OwnerKind() const {
    ByteSpan d;
    if (!IsOpen() || TagOf(0) != kBpar || !GetData(0, &d)) return 0;
    return OwnerOfMain(d.data, d.size, Utf16Of(FileNameOf(bookPath_)));
}

bool AnnotationFile::Claim() {
    if (!IsOpen() || IsReadOnly() || bookPath_.empty()) return false;
    int owner = OwnerKind();
    if (owner != 0) return owner == 1;
    ByteSpan d;
    if (TagOf(0) != kBpar || !GetData(0, &d)) return false;
    std::u16string name = Utf16Of(FileNameOf(bookPath_));
    if (name.empty()) return false;
    std::vector<std::uint8_t> main(d.data, d.data + std::min<std::size_t>(d.size, kMainSize));
    main.resize(kOwnerField + 4 + name.size() * 2, 0);
    BigEndian::PutU32(main.data() + kOwnerField, static_cast<std::uint32_t>(name.size() * 2));
    for (std::size_t k = 0; k < name.size(); ++k) {
        main[kOwnerField + 4 + 2 * k] = static_cast<std::uint8_t>(name[k]);
        main[kOwnerField + 5 + 2 * k] = static_cast<std::uint8_t>(name[k] >> 8);
    }
    return ReplaceData(0, main.data(), static_cast<std::uint32_t>(main.size()));
}

int AnnotationFile::Validate() {
    ByteSpan d;
    if (TagOf(0) != Tag("BPAR") || !GetData(0, &d) || d.size < 4) return 10;
    std::uint32_t version = d.U32At(0);
    if (version == 0) return 10;
    if (version > kFormatVersion) return 13;
    // An older, shorter main record grows to the current size; missing fields read as unset.
    if (d.size < kMainSize && !readOnly_) {
        std::vector<std::uint8_t> grown(d.data, d.data + d.size);
        grown.resize(kMainSize, 0);
        if (d.size < 28) BigEndian::PutU32(grown.data() + 24, 0xFFFFFFFF);
        if (!ReplaceData(0, grown.data(), kMainSize)) return 10;
    }
    return 0;
}

bool AnnotationFile::IsWhole() const {
    // Every record one of ours and whole: anything else is damage (a misplaced record, a
    // changed tag) that would read as a gap.
    const std::uint32_t known[] = {kBpar, kBkmk, kData, Tag("TEXT"), Tag("NOTE"), Tag("LINK"),
                                   Tag("TITL"), Tag("AUTH"), Tag("CATE")};
    // A newer version's file may hold records of kinds this one does not know.
    if (ReadU32(0, 0, 0) > kFormatVersion) return true;
    for (std::uint32_t i = 1; i < RecordCount(); ++i) {
        ByteSpan r;
        if (!GetData(i, &r)) return false;
        const std::uint32_t tag = BigEndian::U32(r.data - 8);
        if (std::find(std::begin(known), std::end(known), tag) == std::end(known)) return false;
        if (tag != kBkmk) continue;
        if (r.size < kBookmarkSize || (r.U32At(0) & kKindMask) == 0) return false;
        // A text, note, link or state it names that is not there: a damaged reference.
        const std::uint32_t subTags[] = {Tag("TEXT"), Tag("NOTE"), Tag("LINK"), kData};
        for (int k = 0; k < 4; ++k) {
            const std::uint32_t ref = r.U32At(kSubFields[k]);
            if (ref != kNoRef && Resolve(ref, subTags[k]) < 0) return false;
        }
    }
    return true;
}

std::uint32_t AnnotationFile::Main(std::uint32_t offset, std::uint32_t fallback) const {
    return ReadU32(0, offset, fallback);
}

int AnnotationFile::SetMain(std::uint32_t offset, std::uint32_t value) {
    return IsOpen() && WriteU32(0, offset, value) ? 0 : 1;
}

bool AnnotationFile::State(std::uint32_t field, std::vector<std::uint8_t>* out) const {
    out->clear();
    ByteSpan d;
    // Streams are sequences of words; anything else is damage and reads as absent.
    if (!ReadSubRecord(0, field, kData, &d) || d.size % 4 != 0) return false;
    out->assign(d.data, d.data + d.size);
    return true;
}

bool AnnotationFile::GetReadingPosition(std::uint32_t* word, std::uint32_t* position,
                                        std::vector<std::uint8_t>* state) const {
    if (!IsOpen()) return false;
    *word = Main(4, 0);
    *position = Main(8, 0);
    if (state) State(12, state);
    return *word != 0 || *position != 0;
}

int AnnotationFile::SetReadingPosition(std::uint32_t word, std::uint32_t position,
                                       const void* state, std::uint32_t length) {
    if (SetMain(4, word) || SetMain(8, position)) return 1;
    return WriteSubRecord(0, 12, kData, state, state ? length : 0) ? 0 : 1;
}

int AnnotationFile::SetFormState(const void* bytes, std::uint32_t length) {
    return IsOpen() && WriteSubRecord(0, 32, kData, bytes, bytes ? length : 0) ? 0 : 1;
}

bool AnnotationFile::GetAudioPosition(std::uint32_t* a, std::uint32_t* b,
                                      std::vector<std::uint8_t>* state) const {
    if (!IsOpen()) return false;
    *a = Main(36, 0);
    *b = Main(40, 0);
    if (state) State(44, state);
    return *a != 0 || *b != 0;
}

int AnnotationFile::SetAudioPosition(std::uint32_t a, std::uint32_t b, const void* state,
                                     std::uint32_t length) {
    if (SetMain(36, a) || SetMain(40, b)) return 1;
    return WriteSubRecord(0, 44, kData, state, state ? length : 0) ? 0 : 1;
}

const char16_t* AnnotationFile::GetTitle(std::uint32_t* length) const {
    return ReadTextRecord(FindRecord(Tag("TITL")), length);
}
const char16_t* AnnotationFile::GetAuthor(std::uint32_t* length) const {
    return ReadTextRecord(FindRecord(Tag("AUTH")), length);
}
const char16_t* AnnotationFile::GetCategories(std::uint32_t* length) const {
    return ReadTextRecord(FindRecord(Tag("CATE")), length);
}
int AnnotationFile::SetTitle(const char16_t* text, std::uint32_t length) {
    return SetText("TITL", text, length);
}
int AnnotationFile::SetAuthor(const char16_t* text, std::uint32_t length) {
    return SetText("AUTH", text, length);
}
int AnnotationFile::SetCategories(const char16_t* text, std::uint32_t length) {
    return SetText("CATE", text, length);
}

int AnnotationFile::SetText(const char* tag, const char16_t* text, std::uint32_t length) {
    if (!IsOpen() || IsReadOnly() || (length && !text) || length > 0x100000) return 1;
    std::int32_t i = FindRecord(Tag(tag));
    std::vector<std::uint8_t> bytes(length * 2);
    for (std::uint32_t k = 0; k < length; ++k) {  // UTF-16 little-endian
        bytes[2 * k] = static_cast<std::uint8_t>(text[k]);
        bytes[2 * k + 1] = static_cast<std::uint8_t>(text[k] >> 8);
    }
    if (i >= 0) return ReplaceData(static_cast<std::uint32_t>(i), bytes.data(), length * 2) ? 0 : 1;
    return WriteRecord(Tag(tag), bytes.data(), length * 2) >= 0 ? 0 : 1;
}

// Annotations.

bool AnnotationFile::IsBookmark(std::int32_t index) const {
    ByteSpan d;
    return index > 0 && TagOf(static_cast<std::uint32_t>(index)) == kBkmk &&
           GetData(static_cast<std::uint32_t>(index), &d) && d.size >= kBookmarkSize;
}

std::uint32_t AnnotationFile::BookmarkCount() const {
    std::uint32_t n = 0;
    for (std::uint32_t i = 1; i < RecordCount(); ++i) n += IsBookmark(static_cast<std::int32_t>(i));
    return n;
}

std::uint32_t AnnotationFile::GetBookmarkKind(std::int32_t index) const {
    return IsBookmark(index) ? ReadU32(static_cast<std::uint32_t>(index), 0) : 0;
}

int AnnotationFile::GetBookmarkRange(std::int32_t index, std::uint32_t* start, std::uint32_t* end,
                                     std::uint32_t* a, std::uint32_t* b,
                                     std::uint32_t* style) const {
    if (!IsBookmark(index)) return 1;
    std::uint32_t i = static_cast<std::uint32_t>(index);
    if (start) *start = ReadU32(i, 4);
    if (end) *end = ReadU32(i, 8);
    if (a) *a = ReadU32(i, 12);
    if (b) *b = ReadU32(i, 16);
    if (style) *style = ReadU32(i, 20);
    return 0;
}

std::uint32_t AnnotationFile::GetBookmarkTime(std::int32_t index) const {
    return IsBookmark(index) ? ReadU32(static_cast<std::uint32_t>(index), 44) : 0;
}

std::int32_t AnnotationFile::AddBookmark(std::uint32_t kind, std::uint32_t start,
                                         std::uint32_t end, std::uint32_t a, std::uint32_t b,
                                         std::uint32_t style, std::uint32_t minutes) {
    if (!IsOpen() || IsReadOnly()) return -1;
    if (end < start) std::swap(start, end);
    const std::uint32_t at = PlaceFor(start, end);
    std::uint8_t d[kBookmarkSize] = {};
    BigEndian::PutU32(d, kind);
    BigEndian::PutU32(d + 4, start);
    BigEndian::PutU32(d + 8, end);
    BigEndian::PutU32(d + 12, a);
    BigEndian::PutU32(d + 16, b);
    BigEndian::PutU32(d + 20, style);
    BigEndian::PutU32(d + 44, minutes);
    return WriteRecord(kBkmk, d, kBookmarkSize, at);
}

std::uint32_t AnnotationFile::PlaceFor(std::uint32_t start, std::uint32_t end) const {
    // Before the first annotation with a greater range; after the last one otherwise.
    std::uint32_t at = 0xFFFF;
    std::int32_t last = -1;
    for (std::uint32_t i = 1; i < RecordCount(); ++i) {
        if (!IsBookmark(static_cast<std::int32_t>(i))) continue;
        std::uint32_t s = ReadU32(i, 4), e = ReadU32(i, 8);
        if (s > start || (s == start && e > end)) {
            at = i;
            break;
        }
        last = static_cast<std::int32_t>(i);
    }
    if (at == 0xFFFF && last >= 0) at = static_cast<std::uint32_t>(last) + 1;
    return at >= RecordCount() ? 0xFFFF : at;
}

int AnnotationFile::SetBookmarkKind(std::int32_t index, std::uint32_t kind) {
    return IsBookmark(index) && WriteU32(static_cast<std::uint32_t>(index), 0, kind) ? 0 : 1;
}

int AnnotationFile::SetBookmarkStyle(std::int32_t index, std::uint32_t style) {
    return IsBookmark(index) && WriteU32(static_cast<std::uint32_t>(index), 20, style) ? 0 : 1;
}

const char16_t* AnnotationFile::BookmarkSubText(std::int32_t index, std::uint32_t field,
                                                const char* tag, std::uint32_t* length) const {
    if (length) *length = 0;
    if (!IsBookmark(index)) return nullptr;
    return ReadSubText(static_cast<std::uint32_t>(index), field, Tag(tag), length);
}

int AnnotationFile::SetBookmarkSub(std::int32_t index, std::uint32_t field, const char* tag,
                                   const void* bytes, std::uint32_t length) {
    if (!IsBookmark(index) || (length && !bytes)) return 1;
    return WriteSubRecord(static_cast<std::uint32_t>(index), field, Tag(tag), bytes, length) ? 0
                                                                                            : 1;
}

namespace {
std::vector<std::uint8_t> Utf16LeBytes(const char16_t* text, std::uint32_t length) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length) * 2);
    for (std::uint32_t k = 0; k < length; ++k) {
        bytes[2 * k] = static_cast<std::uint8_t>(text[k]);
        bytes[2 * k + 1] = static_cast<std::uint8_t>(text[k] >> 8);
    }
    return bytes;
}
}  // namespace

int AnnotationFile::SetBookmarkSubText(std::int32_t index, std::uint32_t field, const char* tag,
                                       const char16_t* text, std::uint32_t length) {
    if (length && !text) return 1;
    std::vector<std::uint8_t> b = Utf16LeBytes(text, length);
    return SetBookmarkSub(index, field, tag, b.data(), length * 2);
}

const char16_t* AnnotationFile::GetBookmarkText(std::int32_t index, std::uint32_t* length) const {
    return BookmarkSubText(index, kTextField, "TEXT", length);
}
int AnnotationFile::SetBookmarkText(std::int32_t index, const char16_t* text,
                                    std::uint32_t length) {
    return SetBookmarkSubText(index, kTextField, "TEXT", text, length);
}
const char16_t* AnnotationFile::GetBookmarkNote(std::int32_t index, std::uint32_t* length) const {
    return BookmarkSubText(index, kNoteField, "NOTE", length);
}
int AnnotationFile::SetBookmarkNote(std::int32_t index, const char16_t* text,
                                    std::uint32_t length) {
    return SetBookmarkSubText(index, kNoteField, "NOTE", text, length);
}
const char16_t* AnnotationFile::GetBookmarkUrl(std::int32_t index, std::uint32_t* length) const {
    return BookmarkSubText(index, kLinkField, "LINK", length);
}
int AnnotationFile::SetBookmarkUrl(std::int32_t index, const char16_t* text,
                                   std::uint32_t length) {
    return SetBookmarkSubText(index, kLinkField, "LINK", text, length);
}
bool AnnotationFile::GetBookmarkState(std::int32_t index, std::vector<std::uint8_t>* out) const {
    out->clear();
    ByteSpan d;
    if (!IsBookmark(index) ||
        !ReadSubRecord(static_cast<std::uint32_t>(index), kStateField, kData, &d)) {
        return false;
    }
    out->assign(d.data, d.data + d.size);
    return true;
}
int AnnotationFile::SetBookmarkState(std::int32_t index, const void* bytes, std::uint32_t length) {
    return SetBookmarkSub(index, kStateField, "DATA", bytes, bytes ? length : 0);
}

std::int32_t AnnotationFile::GetLinkedBookmark(std::int32_t index) const {
    if (!IsBookmark(index)) return -1;
    std::int32_t linked = Resolve(ReadU32(static_cast<std::uint32_t>(index), 24), kBkmk);
    return IsBookmark(linked) ? linked : -1;
}

int AnnotationFile::SetLinkedBookmark(std::int32_t index, std::int32_t linked) {
    if (!IsBookmark(index)) return 1;
    std::uint32_t ref = kNoRef;
    if (linked >= 0) {
        if (!IsBookmark(linked)) return 1;
        ref = RefOf(static_cast<std::uint32_t>(linked));
    }
    return WriteU32(static_cast<std::uint32_t>(index), 24, ref) ? 0 : 1;
}

bool AnnotationFile::DeleteBookmark(std::int32_t index) {
    if (!IsBookmark(index) || IsReadOnly()) return false;
    std::uint32_t i = static_cast<std::uint32_t>(index);
    const std::uint32_t subTags[] = {Tag("TEXT"), Tag("NOTE"), Tag("LINK"), kData};
    std::vector<std::uint32_t> doomed;
    for (int k = 0; k < 4; ++k) {
        std::int32_t sub = Resolve(ReadU32(i, kSubFields[k]), subTags[k]);
        if (sub > 0) doomed.push_back(static_cast<std::uint32_t>(sub));
    }
    doomed.push_back(i);
    std::sort(doomed.rbegin(), doomed.rend());
    doomed.erase(std::unique(doomed.begin(), doomed.end()), doomed.end());
    bool ok = true;
    for (std::uint32_t d : doomed) ok = DeleteRecord(d) && ok;
    return ok;
}

bool AnnotationFile::DeleteAllBookmarks() {
    if (!IsOpen() || IsReadOnly()) return false;
    bool ok = true;
    for (std::uint32_t i = RecordCount(); i-- > 1;) {
        if (i < RecordCount() && IsBookmark(static_cast<std::int32_t>(i)))
            ok = DeleteBookmark(static_cast<std::int32_t>(i)) && ok;
    }
    return ok;
}

bool AnnotationFile::KeepWithin(std::uint32_t length) {
    if (!IsOpen() || IsReadOnly()) return false;
    bool ok = true;
    for (std::uint32_t i = RecordCount(); i-- > 1;) {
        if (i >= RecordCount() || !IsBookmark(static_cast<std::int32_t>(i))) continue;
        std::uint32_t start = 0, end = 0, a = 0, b = 0, style = 0;
        GetBookmarkRange(static_cast<std::int32_t>(i), &start, &end, &a, &b, &style);
        if (start >= length || end > length) ok = DeleteBookmark(static_cast<std::int32_t>(i)) && ok;
    }
    if (Main(8, 0) >= length) {
        for (std::uint32_t field : {4u, 8u}) ok = SetMain(field, 0) == 0 && ok;
        ok = WriteSubRecord(0, 12, kData, nullptr, 0) && ok;
    }
    return ok;
}

bool AnnotationFile::SetAsideForChangedBook() {
    if (GetPath().empty()) return false;
    // Written first, so that what is kept aside is what the reader last saw.
    if (dirty_ && Flush() != 0) return false;
    std::string aside = RecordStoreFiles::SetAside(GetPath(), RecordStoreFiles::kBookChanged);
    if (aside.empty()) return false;
    changedAside_ = aside;
    return true;
}

bool AnnotationFile::TakeBackKeptAside(std::uint32_t key, std::uint32_t swappedKey) {
    if (!IsOpen() || IsReadOnly() || GetPath().empty()) return false;
    const std::string path = GetPath();
    std::string kept;
    for (int n = 1; n < 100 && kept.empty(); ++n) {
        const std::string name = path + RecordStoreFiles::kBookChanged +
                                 (n == 1 ? std::string() : std::to_string(n));
        if (!RecordStoreFiles::Exists(name)) continue;
        AnnotationFile probe;
        if (probe.Open(name.c_str(), true, false) != 0) continue;
        const std::uint32_t id = probe.GetBookId();
        if (id == key || id == swappedKey) kept = name;
    }
    if (kept.empty()) return false;
    // What was made since is written first, then kept aside whole as the changed book's.
    if (dirty_ && Flush() != 0) return false;
    std::vector<std::uint8_t> since;
    if (!Database()->Serialize(&since)) return false;
    const std::uint32_t sinceRecords = RecordCount(), sincePlace = Main(12, kNoRef);
    const std::string aside = RecordStoreFiles::SetAside(path, RecordStoreFiles::kBookChanged);
    if (aside.empty()) return false;
    const std::u16string from = Utf16Of(kept), to = Utf16Of(path), back = Utf16Of(aside);
    if (!MoveFileExW(from.c_str(), to.c_str(), 0)) {
        MoveFileExW(back.c_str(), to.c_str(), 0);
        return false;
    }
    // Reopened under the same owner: for whoever holds this file it stays the one file.
    AnnotationFileOwner* owner = owner_;
    owner_ = nullptr;
    int rc = Open(path.c_str(), false, false);
    if (rc != 0) {
        // Put as it was: the file made since under the name, the old one aside again.
        MoveFileExW(to.c_str(), from.c_str(), 0);
        MoveFileExW(back.c_str(), to.c_str(), 0);
        rc = Open(path.c_str(), false, false);
        owner_ = owner;
        return false;
    }
    owner_ = owner;
    const std::uint32_t tags[] = {kBkmk, kData, Tag("TEXT"), Tag("NOTE"), Tag("LINK")};
    const auto records =
        RecordStoreFiles::WholeRecords(since.data(), since.size(), tags, sizeof tags / sizeof tags[0]);
    std::uint32_t equal = 0;
    AddWholeAnnotations(records, true, &equal);
    // The place read to in the meantime is no annotation: the file taken back keeps its own.
    for (const auto& r : records) equal += r.tag == kData && r.ref == sincePlace;
    Claim();
    // The file made since goes only when all it held is in this one as it was (the annotations
    // a changed text kept, or none): else it stays aside whole, so that nothing is lost.
    if (Flush() == 0 && sinceRecords == records.size() + 1 && equal == records.size())
        Delete(aside);
    takenBack_ = kept;
    return true;
}

std::string AnnotationFile::TakeTakenBack() {
    std::string out;
    out.swap(takenBack_);
    return out;
}

std::string AnnotationFile::TakeChangedAside() {
    std::string out;
    out.swap(changedAside_);
    return out;
}

bool AnnotationFile::Reset() {
    if (!DeleteAllBookmarks()) return false;
    bool ok = true;
    for (std::uint32_t field : kMainDataFields) ok = WriteSubRecord(0, field, kData, nullptr, 0) && ok;
    for (std::uint32_t field : {4u, 8u, 28u, 36u, 40u, 48u}) ok = SetMain(field, 0) == 0 && ok;
    return ok;
}

void AnnotationFile::StartIterator(BookmarkIterator* it, std::uint32_t kindMask,
                                   std::uint32_t rangeStart, std::uint32_t rangeEnd) const {
    it->kindMask = kindMask;
    it->rangeStart = rangeStart;
    it->rangeEnd = rangeEnd;
    it->current = 0;  // the main record; annotations follow it
}

std::int32_t AnnotationFile::FindNext(BookmarkIterator* it) const {
    if (!IsOpen()) return -2;
    if (it->current < 0) return -1;
    for (std::uint32_t i = static_cast<std::uint32_t>(it->current) + 1; i < RecordCount(); ++i) {
        ByteSpan d;
        if (TagOf(i) != kBkmk || !GetData(i, &d) || d.size < kBookmarkSize) continue;
        std::uint32_t kind = d.U32At(0), start = d.U32At(4), end = d.U32At(8);
        if (start > it->rangeEnd) break;  // sorted by start: nothing later can meet the range
        if (end < it->rangeStart) continue;
        if (it->kindMask && !(kind & kKindMask & it->kindMask)) continue;
        it->current = static_cast<std::int32_t>(i);
        return it->current;
    }
    it->current = -1;
    return -1;
}

bool AnnotationFile::FindFirstInRange(std::uint32_t start, std::uint32_t end,
                                      std::int32_t* out) const {
    BookmarkIterator it;
    StartIterator(&it, 0, start, end);
    *out = FindNext(&it);
    return *out >= 0;
}
