#include "library/library.h"

#include <algorithm>
#include <string>

#include "bookfiles/annotation_file.h"
#include "bookfiles/configuration_store.h"
#include "core/char_props.h"
#include "core/file.h"
#include "library/library_cache.h"
#include "library/library_scan.h"
#include "library/library_text.h"
#include "paths/app_paths.h"
#include "paths/kept_checkpoints_file.h"
#include "platform/storage/files.h"

namespace {

using library_text::Wide;

Text FromWide(const char16_t* chars, uint32_t n) {
    Text t;
    t.FromWide(chars, static_cast<int32_t>(n));
    return t;
}

bool StartsWith(const Text& path, const Text& prefix) {
    return path.Equals(prefix, true, false);
}

template <typename T>
void RemoveBySwap(std::vector<T>& v, const T& item) {
    auto it = std::find(v.begin(), v.end(), item);
    if (it == v.end()) return;
    std::iter_swap(it, v.end() - 1);
    v.pop_back();
}

bool FlushConfiguration(ConfigurationStore* store) {
    return store->Flush() == 0;
}

}  // namespace

Text NormaliseLocationPath(const Text& path) {
    std::u16string w = Wide(path);
    if (!w.empty() && w.back() == u'\\') w.pop_back();
    w.push_back(u'\\');
    return FromWide(w.data(), static_cast<uint32_t>(w.size()));
}

Library::Library(LibraryHost* owner) : owner_(owner) {}

Library::~Library() {
    Text cache;
    const AppPaths* paths = Paths();
    if (!SaveCache() && paths && cacheMerged_ && paths->CacheFile(cache))
        fvt::NoteUnsavedFile(library_text::Wide(cache));
}

uint32_t Library::PathHash(const Text& path) {
    // FNV-1a over the case-folded characters, its bytes folded into the low one.
    TextReader reader(path);
    uint32_t c, h = 2166136261u;
    while (reader.Next(c)) {
        if (c < 0x10000) c = CharProps::ToLower(static_cast<char16_t>(c));
        h = (h ^ c) * 16777619u;
    }
    return h ^ ((h >> 8) & 0xFF) ^ ((h >> 16) & 0xFF) ^ (h >> 24);
}

void Library::Bucket(LibraryBook* book) {
    const uint32_t hash = PathHash(book->GetPath());
    buckets_[BucketOf(hash)].push_back(BucketEntry{book, hash});
}

void Library::Unbucket(LibraryBook* book) {
    std::vector<BucketEntry>& bucket = buckets_[BucketOf(book->GetPath())];
    auto it = std::find_if(bucket.begin(), bucket.end(),
                           [book](const BucketEntry& e) { return e.book == book; });
    if (it == bucket.end()) return;
    std::iter_swap(it, bucket.end() - 1);
    bucket.pop_back();
}

void Library::EnsureLocations() {
    if (locations_.empty()) Storage::FindBookFolders(*this);
}

void Library::ClearLocations() {
    locations_.clear();
}

bool Library::AddLocation(const Text& path, const Text& displayName, bool removable) {
    LibraryLocation location;
    location.path = NormaliseLocationPath(path);
    location.name = LibraryBook::ToUtf16(displayName);
    location.removable = removable ? 1 : 0;
    locations_.push_back(location);
    return true;
}

bool Library::GetLocation(int32_t i, LibraryLocation& out) const {
    if (i < 0 || i >= GetLocationCount()) return false;
    out = locations_[static_cast<size_t>(i)];
    return true;
}

int32_t Library::FindLocationOf(const Text& path) const {
    int32_t n = GetLocationCount();
    // Cards first: a card inside the main-memory tree wins over main memory.
    for (int32_t i = 1; i < n; ++i)
        if (StartsWith(path, locations_[static_cast<size_t>(i)].path)) return i;
    if (n > 0 && StartsWith(path, locations_[0].path)) return 0;
    return -1;
}

int32_t Library::FindLocationByPath(const Text& path, bool removableOnly) const {
    for (size_t i = 0; i < locations_.size(); ++i) {
        if (removableOnly && !locations_[i].removable) continue;
        if (locations_[i].path.EqualsDefault(path)) return static_cast<int32_t>(i);
    }
    return -1;
}

void Library::PlaceInLocation(LibraryBook* book, bool countBytes) {
    if (locations_.empty()) return;
    int32_t i = FindLocationOf(book->GetPath());
    book->SetLocation(i);
    if (i < 0) {
        book->SetPresent(false);
        return;
    }
    if (countBytes) locations_[static_cast<size_t>(i)].bookBytes += book->GetFileSize();
}

void Library::InsertBook(LibraryBook* book) {
    book->SetOwner(this);
    books_.emplace_back(book);
    if (book->HasLanguagePair()) dictionaries_.push_back(book);
    Bucket(book);
    PlaceInLocation(book, true);
}

void Library::Unlink(LibraryBook* book) {
    Unbucket(book);
    RemoveBySwap(dictionaries_, book);
}

LibraryBook* Library::GetEntry(int32_t i) const {
    if (i < 0 || i >= GetEntryCount()) return nullptr;
    return books_[static_cast<size_t>(i)].get();
}

bool Library::CheckInvariants() const {
    size_t inBuckets = 0;
    for (const auto& bucket : buckets_) inBuckets += bucket.size();
    if (inBuckets != books_.size()) return false;
    size_t withPair = 0;
    for (const auto& book : books_) {
        const uint32_t hash = PathHash(book->GetPath());
        const auto& bucket = buckets_[BucketOf(hash)];
        if (std::count_if(bucket.begin(), bucket.end(), [&](const BucketEntry& e) {
                return e.book == book.get() && e.hash == hash;
            }) != 1)
            return false;
        if (book->GetOwner() != this) return false;
        if (book->GetLocation() < -1 || book->GetLocation() >= GetLocationCount()) return false;
        if (book->GetLocation() == -1 && book->IsPresent() && !locations_.empty()) return false;
        if (book->HasLanguagePair()) {
            ++withPair;
            if (std::find(dictionaries_.begin(), dictionaries_.end(), book.get()) ==
                dictionaries_.end())
                return false;
        }
    }
    if (withPair != dictionaries_.size()) return false;
    return locations_.empty() || !locations_[0].removable;
}

bool Library::FindBookByPath(const Text& path, LibraryBook** out) const {
    const uint32_t hash = PathHash(path);
    const std::vector<BucketEntry>& bucket = buckets_[BucketOf(hash)];
    for (auto it = bucket.rbegin(); it != bucket.rend(); ++it) {
        if (it->hash == hash && it->book->GetPath().EqualsDefault(path)) {
            if (out) *out = it->book;
            return true;
        }
    }
    if (out) *out = nullptr;
    return false;
}

bool Library::FindBookByName(const String& databaseName, String& path) {
    LibraryIterator it;
    it.Init(this, kAllTypesMin, kAllTypesMax, -1);
    for (LibraryBook* book = it.First(); book; book = it.Next()) {
        if (book->GetDatabaseName().CompareWith(databaseName) == 0)
            return book->GetPath().ToWide(path);
    }
    return false;
}

bool Library::FindBookOfDocument(const Text& path) {
    LibraryBook* book = nullptr;
    if (!FindBookByPath(path, &book)) return false;
    return book->LoadSideFileInfo();
}

void Library::NoteSideFileSaved(const Text& path) {
    LibraryBook* book = nullptr;
    if (!FindBookByPath(path, &book)) return;
    Text side;
    bool exists = false;
    if (!book->SideFilePath(side, &exists) || !exists) return;
    if (uint32_t t = FileTimeUnixSeconds(side)) book->SetSideFileTime(t);
}

void Library::RefreshSideFileInfo() {
    LibraryIterator it;
    it.Init(this, kAllTypesMin, kAllTypesMax, -1);
    for (LibraryBook* book = it.First(); book; book = it.Next()) {
        Text side;
        bool exists = false;
        if (!book->SideFilePath(side, &exists) || !exists) continue;
        if (FileTimeUnixSeconds(side) != book->GetSideFileTime()) book->LoadSideFileInfo();
    }
}

bool Library::Refresh() {
    // Nothing made or removed during a refresh: one listing per folder serves all its books.
    FolderListing listing;
    FolderListing* outer = listing_;
    if (!outer) listing_ = &listing;
    struct Restore {
        FolderListing*& slot;
        FolderListing* value;
        ~Restore() { slot = value; }
    } restore{listing_, outer};
    EnsureLocations();
    MergeCache();
    const AppPaths* paths = Paths();
    for (size_t i = 0; i < locations_.size(); ++i) {
        if (locations_[i].scanned) continue;
        for (auto& book : books_)
            if (book->GetLocation() == static_cast<int32_t>(i)) book->SetPresent(false);
        if (paths) {
            Text root = locations_[i].path;
            ScanBookFolders(paths, this, &root);
        }
        locations_[i].scanned = 1;
    }
    return true;
}

bool Library::Rescan() {
    EnsureLocations();
    for (auto& location : locations_) location.scanned = 0;
    return Refresh();
}

bool Library::AddListener(LibraryListener* listener) {
    if (!listener || std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end())
        return false;
    listeners_.push_back(listener);
    return true;
}

bool Library::RemoveListener(LibraryListener* listener) {
    auto it = std::find(listeners_.begin(), listeners_.end(), listener);
    if (it == listeners_.end()) return false;
    RemoveBySwap(listeners_, listener);
    return true;
}

bool Library::AddLocation(const Text& path, const Text& name) {
    EnsureLocations();
    if (path.IsEmpty()) return false;
    Text root = NormaliseLocationPath(path);
    // A notice naming main memory's folder would make it a card holding every book.
    if (!locations_.empty() && locations_[0].path.EqualsDefault(root)) return false;
    int32_t index = FindLocationByPath(root, true);
    if (index < 0) {
        AddLocation(root, name, true);
        index = GetLocationCount() - 1;
    }
    for (auto& book : books_) {
        if (!StartsWith(book->GetPath(), root)) continue;
        book->SetPresent(false);
        book->SetLocation(index);
    }
    locations_[static_cast<size_t>(index)].scanned = 0;
    Text shownName = locations_[static_cast<size_t>(index)].name;
    std::vector<LibraryListener*> listeners = listeners_;
    for (LibraryListener* l : listeners) l->LocationAdded(root, shownName);
    return true;
}

bool Library::RemoveLocation(const Text& path) {
    if (path.IsEmpty()) return false;
    Text root = NormaliseLocationPath(path);
    int32_t index = FindLocationByPath(root, false);
    if (index < 0) return true;
    // Main memory stays location 0 whatever a notice names.
    if (index == 0) return false;
    locations_.erase(locations_.begin() + index);
    for (auto& book : books_) {
        if (StartsWith(book->GetPath(), root)) {
            book->SetLocation(-1);
            book->SetPresent(false);
        } else if (book->GetLocation() > index) {
            book->SetLocation(book->GetLocation() - 1);
        }
    }
    std::vector<LibraryListener*> listeners = listeners_;
    for (LibraryListener* l : listeners) l->LocationRemoved(root);
    return true;
}

bool Library::OnMediaInserted(const Text& path) {
    EnsureLocations();
    if (path.IsEmpty()) return false;
    Text root = NormaliseLocationPath(path);
    int32_t index = FindLocationByPath(root, false);
    if (index < 0) return false;
    for (auto& book : books_)
        if (book->GetLocation() == index) book->SetPresent(false);
    locations_[static_cast<size_t>(index)].scanned = 0;
    std::vector<LibraryListener*> listeners = listeners_;
    for (LibraryListener* l : listeners) l->MediaInserted(root);
    return true;
}

bool Library::OnMediaRemoved(const Text& path) {
    if (path.IsEmpty()) return false;
    Text root = NormaliseLocationPath(path);
    int32_t index = FindLocationByPath(root, false);
    if (index < 0) return true;
    for (auto& book : books_)
        if (book->GetLocation() == index) book->SetPresent(false);
    std::vector<LibraryListener*> listeners = listeners_;
    for (LibraryListener* l : listeners) l->MediaRemoved(root);
    return true;
}

uint64_t Library::GetTotalBookBytes() const {
    uint64_t total = 0;
    for (const auto& book : books_)
        if (book->IsPresent()) total += book->GetFileSize();
    return total;
}

bool Library::MoveBookToLocation(LibraryBook* book, int32_t location, BookReleaser* releaser) {
    if (!book || location < 0 || location >= GetLocationCount()) return false;
    Text path = book->GetPath();
    if (!Storage::MoveBookToEbooks(path, locations_[static_cast<size_t>(location)].path, releaser))
        return false;
    // The checkpoints kept for the book's far jumps follow it.
    Text kept;
    if (!KeptCheckpointsFile::Move(book->GetPath(), path) && AppPaths::KeptCheckpointsFile(path, kept))
        fvt::NoteUnsavedFile(library_text::Wide(kept));
    // The entry follows its file: new path, new bucket, new location, the file's times.
    Unbucket(book);
    book->SetPath(path);
    Bucket(book);
    book->SetLocation(location);
    locations_[static_cast<size_t>(location)].bookBytes += book->GetFileSize();
    if (uint32_t t = FileTimeUnixSeconds(book->GetPath())) book->SetFileTime(t);
    Text side;
    bool exists = false;
    if (book->SideFilePath(side, &exists) && exists) {
        if (uint32_t t = FileTimeUnixSeconds(side)) book->SetSideFileTime(t);
    }
    return true;
}

bool Library::DeleteBook(LibraryBook* book, BookReleaser* releaser,
                         LibraryBook::DeleteFailure* why) {
    if (!book || !book->DeleteFiles(releaser, why)) return false;
    Unlink(book);
    for (auto it = books_.begin(); it != books_.end(); ++it) {
        if (it->get() != book) continue;
        std::iter_swap(it, books_.end() - 1);
        books_.pop_back();
        break;
    }
    return true;
}

int32_t Library::GetBookCount() const {
    int32_t n = 0;
    for (LibraryBook* book : dictionaries_)
        if (book->IsPresent()) ++n;
    return n;
}

LibraryBook* Library::GetBook(int32_t i) const {
    if (i < 0) return nullptr;
    for (LibraryBook* book : dictionaries_) {
        if (!book->IsPresent()) continue;
        if (i-- == 0) return book;
    }
    return nullptr;
}

bool Library::GetBookName(int32_t i, Text& out) const {
    LibraryBook* book = GetBook(i);
    if (!book) return false;
    out = book->GetTitle();
    return true;
}

bool Library::GetBookValue(int32_t i, String& out) const {
    LibraryBook* book = GetBook(i);
    return book && book->GetPath().ToWide(out);
}

bool Library::GetBookString(int32_t i, String& out) const {
    LibraryBook* book = GetBook(i);
    if (!book) return false;
    out = book->GetDatabaseName();
    return true;
}

bool Library::GetDictionarySize(int32_t i, uint32_t& out) const {
    LibraryBook* book = GetBook(i);
    if (!book || book->GetFileSize() == 0xFFFFFFFF) return false;
    out = book->GetFileSize();
    return true;
}

bool Library::FindDictionaries(uint32_t a, uint32_t b, uint32_t c, std::vector<int32_t>& out,
                               uint32_t mode) const {
    a &= 0x3FF;
    b &= 0x3FF;
    c &= 0x3FF;
    std::vector<int32_t> same, other;
    size_t before = out.size();
    for (int32_t i = 0;; ++i) {
        LibraryBook* book = GetBook(i);
        if (!book) break;
        uint32_t in = book->GetInputLanguage(), outLang = book->GetOutputLanguage();
        if (in == 0) continue;
        bool modeOk = (mode == kModeBilingual && in != outLang) ||
                      (mode == kModeMonolingual && in == outLang) ||
                      (mode != kModeBilingual && mode != kModeMonolingual);
        bool inOk = in == a || in == b || a == 0;
        if (modeOk && inOk && outLang == c) {
            out.push_back(i);
        } else if (modeOk && inOk) {
            (in == outLang ? same : other).push_back(i);
        }
    }
    out.insert(out.end(), same.begin(), same.end());
    out.insert(out.end(), other.begin(), other.end());
    return out.size() > before;
}

// ---- Global reading lists ------------------------------------------------------------------

bool Library::FirstCategory(Text& out) {
    if (!configuration_) return false;
    categoryCursor_ = configuration_->FirstCategory();
    return GetCategory(0, out);
}

bool Library::NextCategory(Text& out) {
    if (!configuration_ || categoryCursor_ < 0) return false;
    categoryCursor_ = configuration_->NextCategory(categoryCursor_);
    if (categoryCursor_ < 0) return false;
    uint32_t n = 0;
    const char16_t* name = configuration_->ReadCategory(categoryCursor_, &n);
    out = FromWide(name ? name : u"", name ? n : 0);
    return true;
}

int32_t Library::GetCategoryCount() const {
    return configuration_ ? static_cast<int32_t>(configuration_->CategoryCount()) : 0;
}

bool Library::GetCategory(int32_t i, Text& out) const {
    if (!configuration_ || i < 0) return false;
    int32_t record = configuration_->FirstCategory();
    for (int32_t k = 0; k < i && record >= 0; ++k) record = configuration_->NextCategory(record);
    if (record < 0) return false;
    uint32_t n = 0;
    const char16_t* name = configuration_->ReadCategory(record, &n);
    out = FromWide(name ? name : u"", name ? n : 0);
    return true;
}

bool Library::HasCategory(const Text& name) const {
    if (!configuration_) return false;
    std::u16string w = Wide(name);
    return configuration_->FindCategoryRecord(w.data(), static_cast<uint32_t>(w.size())) >= 0;
}

bool Library::CreateCategory(const Text& name) {
    if (!configuration_ || name.IsEmpty() || HasCategory(name)) return false;
    std::u16string w = Wide(name);
    if (configuration_->AddCategoryRecord(w.data(), static_cast<uint32_t>(w.size())) < 0)
        return false;
    return FlushConfiguration(configuration_);
}

bool Library::RegisterCategory(const Text& name) {
    if (!configuration_ || name.IsEmpty()) return false;
    return HasCategory(name) || CreateCategory(name);
}

bool Library::DeleteCategory(const Text& name) {
    if (!configuration_) return false;
    std::u16string w = Wide(name);
    int32_t record = configuration_->FindCategoryRecord(w.data(), static_cast<uint32_t>(w.size()));
    if (record < 0 || !configuration_->DeleteCategory(record)) return false;
    bool ok = FlushConfiguration(configuration_);
    for (auto& book : books_)
        if (book->HasCategory(name)) book->RemoveCategory(name, true);
    return ok;
}

bool Library::RenameCategory(const Text& oldName, const Text& newName) {
    if (!configuration_ || newName.IsEmpty()) return false;
    // Two lists of one name could never be told apart again: that is a merge.
    if (HasCategory(newName)) return false;
    std::u16string oldW = Wide(oldName), newW = Wide(newName);
    int32_t record =
        configuration_->FindCategoryRecord(oldW.data(), static_cast<uint32_t>(oldW.size()));
    if (record < 0) return false;
    if (configuration_->RenameCategoryRecord(record, newW.data(),
                                             static_cast<uint32_t>(newW.size())) != 0)
        return false;
    bool ok = FlushConfiguration(configuration_);
    for (auto& book : books_) {
        if (!book->HasCategory(oldName)) continue;
        book->AddCategory(newName, false);
        book->RemoveCategory(oldName, true);
    }
    return ok;
}

bool Library::MergeCategory(const Text& oldName, const Text& newName) {
    if (!configuration_ || !HasCategory(newName) || oldName.Equals(newName, false, true))
        return false;
    std::u16string oldW = Wide(oldName);
    int32_t record =
        configuration_->FindCategoryRecord(oldW.data(), static_cast<uint32_t>(oldW.size()));
    if (record < 0 || !configuration_->DeleteCategory(record)) return false;
    bool ok = FlushConfiguration(configuration_);
    for (auto& book : books_) {
        if (!book->HasCategory(oldName)) continue;
        book->RemoveCategory(oldName, true);
        book->AddCategory(newName, true);
    }
    return ok;
}

// ---- Cache -------------------------------------------------------------------------------------

bool Library::SaveCache() {
    const AppPaths* paths = Paths();
    if (!paths || !cacheMerged_) return false;
    LibraryCache cache;
    return cache.Create(*paths, *this) == 0;
}

void Library::MergeCache() {
    if (cacheMerged_) return;
    cacheMerged_ = 1;
    const AppPaths* paths = Paths();
    if (!paths) return;
    LibraryCache cache;
    if (cache.OpenDefault(*paths) != 0) return;
    bool trust = configuration_ && configuration_->TrustsCache();
    for (uint32_t i = 0; i < cache.GetBookCount(); ++i) {
        std::unique_ptr<LibraryBook> cached = cache.ReadBook(i, this);
        if (!cached) continue;
        if (FindBookByPath(cached->GetPath(), nullptr)) continue;
        // Whether the file is there and when it was written, from one look at it.
        uint32_t t = 0;
        cached->SetPresent(trust || Files::Exists(cached->GetPath(), nullptr, &t));
        if (!trust && cached->IsPresent()) {
            if (t != 0 && t != cached->GetFileTime()) {
                // The file changed since: read it again.
                AddFile(cached->GetPath(), true);
                continue;
            }
        }
        if (cached->IsPresent()) {
            Text side;
            bool exists = false;
            if (cached->SideFilePath(side, &exists, listing_) && exists &&
                FileTimeUnixSeconds(side) != cached->GetSideFileTime()) {
                cached->SetOwner(this);
                cached->LoadSideFileInfo();
            }
        }
        InsertBook(cached.release());
    }
    cache.Close();
    if (trust)
        for (auto& location : locations_) location.scanned = 1;
}

// ---- Iteration -------------------------------------------------------------------------------

void LibraryIterator::Init(const Library* library, int32_t minType, int32_t maxType,
                           int32_t location) {
    library_ = library;
    minType_ = minType;
    maxType_ = maxType;
    location_ = location;
    bucket_ = -1;
    index_ = 0;
}

LibraryBook* LibraryIterator::First() {
    bucket_ = -1;
    index_ = 0;
    return Next();
}

LibraryBook* LibraryIterator::Next() {
    if (!library_ || bucket_ == -2) return nullptr;
    for (;;) {
        while (index_ <= 0) {
            if (++bucket_ >= Library::kBucketCount) {
                bucket_ = -2;
                return nullptr;
            }
            index_ = static_cast<int32_t>(library_->buckets_[bucket_].size());
        }
        LibraryBook* book = library_->buckets_[bucket_][static_cast<size_t>(--index_)].book;
        if (!book->IsPresent()) continue;
        if (book->GetType() < minType_ || book->GetType() > maxType_) continue;
        if (location_ != -1 && book->GetLocation() != location_) continue;
        return book;
    }
}
