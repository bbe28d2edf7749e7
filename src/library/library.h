// The catalogue of every book file the reader knows on the device: one entry (LibraryBook) per
// file, grouped under storage locations (main memory and each storage card). It keeps itself in
// step with the file system (folder scans, storage-card notices, the cache of the previous run),
// answers the library window, resolves books by database name, finds dictionaries and keeps the
// global reading lists.
//
// Nothing is lost when cards come and go: the entries of a card that goes stay in the
// catalogue (absent, under no location) and are re-homed when it comes back; side files are
// never deleted or replaced except with the book they belong to.
//
// GUI thread only. Listeners are called after the catalogue has changed and must not add or
// remove locations from inside the call.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/containers.h"
#include "core/string.h"
#include "core/text.h"
#include "library/library_book.h"
#include "paths/storage.h"

class FolderListing;
class AnnotationFile;
class AppPaths;
class ConfigurationStore;
class PalmDatabase;

// What the catalogue needs of the object that embeds it (the document loader, a layer below):
// the application's paths, the side file of a book that is open, and a trial open of a book.
class LibraryHost {
public:
    // Null when there are none (then nothing is scanned, merged or saved).
    virtual const AppPaths* Paths() const = 0;
    // The side file an open book holds, with a new reference; null when the book is not open.
    virtual AnnotationFile* FindOpenSideFile(const Text& bookPath) = 0;
    // Opens the book as the reader would (without messages) and lets it go; true when a
    // document came back.
    virtual bool TestOpenBook(const Text& bookPath, uint8_t flag) = 0;

protected:
    ~LibraryHost() = default;
};

// Told when locations change (the library view refills itself).
class LibraryListener {
public:
    virtual void LocationAdded(const Text& path, const Text& name) = 0;
    virtual void LocationRemoved(const Text& path) = 0;
    virtual void MediaInserted(const Text& path) = 0;
    virtual void MediaRemoved(const Text& path) = 0;

protected:
    ~LibraryListener() = default;
};

struct LibraryLocation {
    Text path;  // exactly one trailing backslash
    Text name;
    uint8_t removable = 0;
    uint32_t bookBytes = 0;  // sizes of the entries inserted under it
    uint8_t scanned = 0;
};

class Library final : public LocationList {
public:
    static constexpr int kBucketCount = 256;
    static constexpr int32_t kAllTypesMin = 0;
    static constexpr int32_t kAllTypesMax = 767;
    // FindDictionaries modes: bilingual only, monolingual only.
    static constexpr uint32_t kModeBilingual = 46;
    static constexpr uint32_t kModeMonolingual = 47;

    explicit Library(LibraryHost* owner);
    // Saves the cache (see SaveCache), then frees every entry.
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    void SetConfiguration(ConfigurationStore* configuration) { configuration_ = configuration; }
    ConfigurationStore* GetConfiguration() const { return configuration_; }
    LibraryHost* GetOwner() const { return owner_; }
    const AppPaths* Paths() const { return owner_ ? owner_->Paths() : nullptr; }

    // Builds the locations when there are none, merges the cache once, scans every location not
    // yet scanned. True.
    bool Refresh();
    // While a refresh runs: the listing of the folders it has looked into, which tells the
    // entries' side files apart from missing ones without asking the device per file. Null
    // otherwise.
    FolderListing* Listing() const { return listing_; }
    // Every location scanned again. True.
    bool Rescan();
    // A folder of books that a scan found but could not read (its books are not listed): noted
    // by the scan, taken once by the view that tells the user. False when there is none.
    void NoteUnreadableFolder(const Text& folder) {
        if (unreadable_.IsEmpty()) unreadable_ = folder;
    }
    bool TakeUnreadableFolder(Text& out) {
        if (unreadable_.IsEmpty()) return false;
        out = unreadable_;
        unreadable_.Clear();
        return true;
    }

    // The entry of the file: the known one (present and location refreshed), else a new one
    // from the file's name or header. Null for a file that is not a book (nothing is kept).
    LibraryBook* AddFile(const Text& path, bool checkExists);
    // Type, language pair, names and id of a Palm book from its record 0. False when refused.
    struct HeaderInfo {
        int32_t type = -1;
        uint16_t languagePair = LibraryBook::kNoLanguagePair;
        uint32_t textLength = 0;
        Text databaseName;
        Text fullName;
        uint16_t locale = 0;
        uint32_t dictionaryIndex = 0xFFFFFFFF;
        uint32_t uniqueId = LibraryBook::kUnknownId;
    };
    static bool ReadBookHeader(const PalmDatabase* database, HeaderInfo& out);
    // Author, cover and thumbnail records and the fake-cover flag from the book's EXTH block.
    static bool ReadBookExtras(const PalmDatabase* database, LibraryBook& book);

    // Lookups (paths compared without case).
    bool FindBookByPath(const Text& path, LibraryBook** out) const;
    bool FindBookByName(const String& databaseName, String& path);
    // Re-reads the entry's side-file information; false when there is no entry or side file.
    bool FindBookOfDocument(const Text& path);
    // A book's side file was written: its time is kept so that the next start does not re-read.
    void NoteSideFileSaved(const Text& path);
    void RefreshSideFileInfo();

    bool AddListener(LibraryListener* listener);
    bool RemoveListener(LibraryListener* listener);

    // Storage-card notices (paths "\Storage Card", with or without a trailing backslash).
    bool AddLocation(const Text& path, const Text& name);
    bool RemoveLocation(const Text& path);
    bool OnMediaInserted(const Text& path);
    bool OnMediaRemoved(const Text& path);
    int32_t GetLocationCount() const { return static_cast<int32_t>(locations_.size()); }
    bool GetLocation(int32_t i, LibraryLocation& out) const;
    // The sizes of the present entries, in 64 bits (the per-location counters only grow).
    uint64_t GetTotalBookBytes() const;

    // Moves the book (and its side file) into the location's books folder; the entry follows.
    bool MoveBookToLocation(LibraryBook* book, int32_t location, BookReleaser* releaser);
    // Deletes the book file and its side file, and the entry. False (entry kept) when the file
    // could not be deleted, with why in `why` when given.
    bool DeleteBook(LibraryBook* book, BookReleaser* releaser,
                    LibraryBook::DeleteFailure* why = nullptr);

    // Dictionaries: the present entries with a language pair.
    int32_t GetBookCount() const;
    LibraryBook* GetBook(int32_t i) const;
    bool GetBookName(int32_t i, Text& out) const;
    bool GetBookValue(int32_t i, String& out) const;
    bool GetBookString(int32_t i, String& out) const;
    bool GetDictionarySize(int32_t i, uint32_t& out) const;
    bool FindDictionaries(uint32_t a, uint32_t b, uint32_t c, std::vector<int32_t>& out,
                          uint32_t mode) const;

    // Global reading lists (the configuration store's records). False without a store.
    bool FirstCategory(Text& out);
    bool NextCategory(Text& out);
    int32_t GetCategoryCount() const;
    bool GetCategory(int32_t i, Text& out) const;
    bool HasCategory(const Text& name) const;
    bool CreateCategory(const Text& name);
    bool DeleteCategory(const Text& name);
    // False when the new name is empty or taken (MergeCategory joins two lists).
    bool RenameCategory(const Text& oldName, const Text& newName);
    bool MergeCategory(const Text& oldName, const Text& newName);
    // Adds the name to the global lists when missing there (entries registering their lists).
    bool RegisterCategory(const Text& name);

    // Writes the cache file from the entries. Only a catalogue that merged the previous cache
    // writes it (a temporary catalogue would lose what it never read); false when not written.
    [[nodiscard]] bool SaveCache();
    // Reads the cache of the previous run into the catalogue (once per object).
    void MergeCache();

    // Every entry, present or not (the cache writer and tests walk them).
    int32_t GetEntryCount() const { return static_cast<int32_t>(books_.size()); }
    LibraryBook* GetEntry(int32_t i) const;
    // The location the path belongs to (cards first, main memory last), or -1.
    int32_t FindLocationOf(const Text& path) const;
    // What must hold between operations: every entry in the bucket of its path exactly once,
    // the dictionaries exactly the entries with a language pair, location indices in range,
    // main memory first. Tests call it after each step.
    bool CheckInvariants() const;

    // LocationList (Storage::FindBookFolders fills the list through it).
    void ClearLocations() override;
    bool AddLocation(const Text& path, const Text& displayName, bool removable) override;

private:
    friend class LibraryIterator;
    // The hash of a path without case, and its bucket: paths equal but for case share both.
    static uint32_t PathHash(const Text& path);
    static int BucketOf(uint32_t hash) { return static_cast<int>(hash & 0xFF); }
    static int BucketOf(const Text& path) { return BucketOf(PathHash(path)); }
    // Puts the book in the bucket of its path, or takes it out.
    void Bucket(LibraryBook* book);
    void Unbucket(LibraryBook* book);
    void EnsureLocations();
    void InsertBook(LibraryBook* book);
    // A book file that cannot be read is listed by its file name, marked as unopenable.
    LibraryBook* AddUnreadable(const Text& path);
    void Unlink(LibraryBook* book);
    void PlaceInLocation(LibraryBook* book, bool countBytes);
    int32_t FindLocationByPath(const Text& path, bool removableOnly) const;

    LibraryHost* owner_;
    ConfigurationStore* configuration_ = nullptr;
    uint8_t cacheMerged_ = 0;
    FolderListing* listing_ = nullptr;
    Text unreadable_;
    std::vector<std::unique_ptr<LibraryBook>> books_;
    std::vector<LibraryBook*> dictionaries_;
    // An entry of a bucket carries its path's hash: a look-up compares paths only where the
    // hashes agree, whatever the number of books in the bucket.
    struct BucketEntry {
        LibraryBook* book;
        uint32_t hash;
    };
    std::vector<BucketEntry> buckets_[kBucketCount];
    std::vector<LibraryLocation> locations_;
    std::vector<LibraryListener*> listeners_;
    int32_t categoryCursor_ = -1;
};

// Walks the present entries of a type range (signed, inclusive) and a location (-1 any), bucket
// by bucket, the most recently inserted first. The catalogue must not change meanwhile.
class LibraryIterator {
public:
    void Init(const Library* library, int32_t minType, int32_t maxType, int32_t location);
    LibraryBook* First();
    LibraryBook* Next();

private:
    const Library* library_ = nullptr;
    int32_t bucket_ = -1;  // -1 before the start, -2 after the end
    int32_t index_ = 0;    // entries of the bucket still to look at
    int32_t minType_ = 0;
    int32_t maxType_ = 0;
    int32_t location_ = -1;
};

// Normalises a location path: one trailing backslash dropped, then one appended.
Text NormaliseLocationPath(const Text& path);
