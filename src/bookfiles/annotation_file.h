// The side file of a book ("<book>.fvt", type "BPAR", creator "FOLV"): the reading position,
// book id, times, audio position, form state, rating, open count, title, author and reading
// lists (record 0 "BPAR" and its sub-records), and the annotations ("BKMK" records, kept sorted
// by their range so that a page's annotations are found in one pass). A side file names the
// book it belongs to (its file name, after the main record's fields), so that two books of one base name
// ("a.txt", "a.html") never share one: the second gets "<book file name>.fvt".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bookfiles/record_store.h"
#include "core/ref_counted.h"

class AnnotationFile;
class FolderListing;

class AnnotationFileOwner {
public:
    virtual ~AnnotationFileOwner() = default;
    virtual void OnAnnotationFileClosed(AnnotationFile* file) = 0;
};

// Walks the annotations whose range meets [rangeStart, rangeEnd], in side-file order.
struct BookmarkIterator {
    std::uint32_t kindMask = 0;  // 0: every kind
    std::uint32_t rangeStart = 0;
    std::uint32_t rangeEnd = 0xFFFFFFFF;
    std::int32_t current = -1;
};

class AnnotationFile : public RecordStoreBase, public RefCounted {
public:
    // Kinds (bits 0-5 of the kind word).
    static constexpr std::uint32_t kBookmark = 1, kNote = 2, kHighlight = 4, kDrawing = 8,
                                   kModification = 16, kLink = 32;
    static constexpr std::uint32_t kFormatVersion = 1;
    static constexpr std::uint32_t kMainSize = 84;
    static constexpr std::uint32_t kBookmarkSize = 48;

    AnnotationFile() = default;
    // The last reference closes the file (writing it back) and tells the owner.
    ~AnnotationFile() override {
        if (Close() != 0) NoteUnsaved();
    }

    // The book's side file: "<folder>\<name without extension>.fvt", or, when that one belongs
    // to another book, "<folder>\<name with extension>.fvt". A file that names no book (made
    // before side files named their book) is taken unless `ownOnly`. False when no path can be
    // formed or both names are another book's; `exists` (may be null) tells whether the file
    // is there. With a listing, the two names are looked up there rather than on the device.
    static bool PathForBook(const std::string& bookPath, std::string* out,
                            bool* exists = nullptr, bool ownOnly = false,
                            FolderListing* listing = nullptr);
    // Deletes the side file at `path`; false when that failed.
    static bool Delete(const std::string& path);

    // Opens the book's side file: 0 or an error code. Not readOnly, create makes a missing file
    // (and sets a damaged one aside); the database name is the book's (at most 31 bytes).
    int OpenOrCreate(const std::string& bookPath, const char* bookDatabaseName,
                     std::size_t nameLength, bool readOnly, bool create, bool writeDefaults,
                     bool ownOnly = false, FolderListing* listing = nullptr);
    int OpenExisting(const std::string& bookPath, bool readOnly, FolderListing* listing = nullptr);
    // After OpenOrCreate refused the book's side file for its version (a newer reader's, or a
    // damaged version word): the file is kept aside as a damaged one is, a new one takes what
    // is whole of it, and the copy kept is told as TakeDamagedAside does. 0 or an error code.
    int ReplaceUnusable(const std::string& bookPath, const char* bookDatabaseName,
                        std::size_t nameLength, bool ownOnly = false);
    // For a book whose side file cannot be opened for writing (a read-only folder or device, a
    // folder or an unreadable file at its name): a copy in memory of the side file on disk (a
    // new one when there is none or it cannot be read) that keeps the reader's notes for the
    // rest of the run. Its changes are told, when flushed or closed, as a save the device
    // refused (fvt::NoteUnsavedFile). 0 or an error code.
    int OpenInMemoryFor(const std::string& bookPath, const char* bookDatabaseName,
                        std::size_t nameLength);
    [[nodiscard]] int Flush() override;
    [[nodiscard]] int Close() override;
    bool InitialiseNew() override;

    void SetOwner(AnnotationFileOwner* owner) { owner_ = owner; }
    // Whom the open file names: 0 no book, 1 this book, 2 another book.
    int OwnerKind() const;
    // Writes this book's name into a file that names no book; false on failure.
    bool Claim();
    const std::string& BookPath() const { return bookPath_; }

    // The main record: each Get has a default when unset, each Set returns 0 or non-zero.
    bool GetReadingPosition(std::uint32_t* word, std::uint32_t* position,
                            std::vector<std::uint8_t>* state) const;
    int SetReadingPosition(std::uint32_t word, std::uint32_t position, const void* state,
                           std::uint32_t length);
    std::uint32_t GetBookId() const { return Main(24, 0xFFFFFFFF); }
    int SetBookId(std::uint32_t id) { return SetMain(24, id); }
    std::uint32_t GetReadingTime() const { return Main(28, 0); }
    int SetReadingTime(std::uint32_t minutes) { return SetMain(28, minutes); }
    bool GetFormState(std::vector<std::uint8_t>* out) const { return State(32, out); }
    int SetFormState(const void* bytes, std::uint32_t length);
    bool GetAudioPosition(std::uint32_t* a, std::uint32_t* b,
                          std::vector<std::uint8_t>* state) const;
    int SetAudioPosition(std::uint32_t a, std::uint32_t b, const void* state,
                         std::uint32_t length);
    bool GetAudioLast() const { return (Main(48, 0) & 1) != 0; }
    int SetAudioLast(bool on) { return SetMain(48, on ? 1 : 0); }
    std::uint32_t GetRating() const { return Main(52, 0); }
    int SetRating(std::uint32_t rating) { return SetMain(52, rating); }
    std::uint32_t GetOpenCount() const { return Main(76, 0); }
    int SetOpenCount(std::uint32_t count) { return SetMain(76, count); }

    // Title, author and reading lists (names joined by U+0000): null when absent.
    const char16_t* GetTitle(std::uint32_t* length) const;
    const char16_t* GetAuthor(std::uint32_t* length) const;
    const char16_t* GetCategories(std::uint32_t* length) const;
    int SetTitle(const char16_t* text, std::uint32_t length);
    int SetAuthor(const char16_t* text, std::uint32_t length);
    int SetCategories(const char16_t* text, std::uint32_t length);

    // Annotations, by index (valid until the next insert or delete).
    std::uint32_t GetBookmarkKind(std::int32_t index) const;
    int GetBookmarkRange(std::int32_t index, std::uint32_t* start, std::uint32_t* end,
                         std::uint32_t* a, std::uint32_t* b, std::uint32_t* style) const;
    std::uint32_t GetBookmarkTime(std::int32_t index) const;
    // A new annotation in range order; its index, or -1.
    std::int32_t AddBookmark(std::uint32_t kind, std::uint32_t start, std::uint32_t end,
                             std::uint32_t a, std::uint32_t b, std::uint32_t style,
                             std::uint32_t minutes);
    int SetBookmarkKind(std::int32_t index, std::uint32_t kind);
    int SetBookmarkStyle(std::int32_t index, std::uint32_t style);
    const char16_t* GetBookmarkText(std::int32_t index, std::uint32_t* length) const;
    int SetBookmarkText(std::int32_t index, const char16_t* text, std::uint32_t length);
    const char16_t* GetBookmarkNote(std::int32_t index, std::uint32_t* length) const;
    int SetBookmarkNote(std::int32_t index, const char16_t* text, std::uint32_t length);
    const char16_t* GetBookmarkUrl(std::int32_t index, std::uint32_t* length) const;
    int SetBookmarkUrl(std::int32_t index, const char16_t* text, std::uint32_t length);
    bool GetBookmarkState(std::int32_t index, std::vector<std::uint8_t>* out) const;
    int SetBookmarkState(std::int32_t index, const void* bytes, std::uint32_t length);
    std::int32_t GetLinkedBookmark(std::int32_t index) const;
    int SetLinkedBookmark(std::int32_t index, std::int32_t linked);
    bool DeleteBookmark(std::int32_t index);
    bool DeleteAllBookmarks();
    // Empties the file for another book: annotations, positions and states go; title, author,
    // reading lists, rating and open count stay.
    bool Reset();
    // For a book that changed: the annotations, and the reading position, that no longer fall
    // inside a text of `length` positions go; the rest stays.
    bool KeepWithin(std::uint32_t length);
    // Renames the file on disk "<path>.book-changed" (then "...2" and on) for a book that
    // changed since it was written; the store in memory is kept and its next write makes a
    // fresh file. False (nothing renamed) when it cannot be done.
    bool SetAsideForChangedBook();
    // Where the last SetAsideForChangedBook put the old file, once (then empty).
    std::string TakeChangedAside();
    // For a book that is again the one a side file kept aside for a change was made for (that
    // file's book id is `key` or `swappedKey`): this file, with what was made since, is kept
    // aside in its turn, the old one comes back under this file's name, and the annotations
    // made since are added to it where they do not meet one of their kind. False (nothing
    // changed) when there is no such file or it cannot be taken back.
    bool TakeBackKeptAside(std::uint32_t key, std::uint32_t swappedKey);
    // Where the file taken back had been kept, once (then empty).
    std::string TakeTakenBack();
    // Where the last open kept a side file aside that could not be read whole (its whole
    // records kept in the new file), or one that named a book not beside it; once (then
    // empty). `named` (may be null) tells which of the two.
    std::string TakeDamagedAside(bool* named = nullptr);
    // Whether the last open took over the records of a file that named another book (its
    // annotations are this book's only when its book id says so).
    bool TookAnotherNamesFile() const { return tookAnotherName_; }
    std::uint32_t BookmarkCount() const;

    void StartIterator(BookmarkIterator* it, std::uint32_t kindMask, std::uint32_t rangeStart,
                       std::uint32_t rangeEnd) const;
    // The next annotation's index; -1 at the end, -2 when the file is not open.
    std::int32_t FindNext(BookmarkIterator* it) const;
    bool FindFirstInRange(std::uint32_t start, std::uint32_t end, std::int32_t* out) const;

    // Whether every record of the open file is whole, references and kinds included.
    bool IsWhole() const override;

protected:
    const char* StoreType() const override { return "BPAR"; }
    int Validate() override;
    std::string NewStoreName() const override { return databaseName_; }
    std::uint32_t Salvage(const std::vector<std::uint8_t>& damaged) override;

private:
    bool IsBookmark(std::int32_t index) const;
    // Where an annotation of that range goes to keep the annotations in range order.
    std::uint32_t PlaceFor(std::uint32_t start, std::uint32_t end) const;
    // Adds the whole annotations among `records` with the texts, notes, state and links they
    // name; with `unlessColliding`, one that meets an annotation of its kind already in the
    // file stays out. The records added; `equal` (may be null) counts the records of those left
    // out for one equal to them already in the file.
    std::uint32_t AddWholeAnnotations(const std::vector<RecordStoreFiles::WholeRecord>& records,
                                      bool unlessColliding, std::uint32_t* equal = nullptr);
    std::uint32_t Main(std::uint32_t offset, std::uint32_t fallback) const;
    int SetMain(std::uint32_t offset, std::uint32_t value);
    bool State(std::uint32_t field, std::vector<std::uint8_t>* out) const;
    int SetText(const char* tag, const char16_t* text, std::uint32_t length);
    const char16_t* BookmarkSubText(std::int32_t index, std::uint32_t field, const char* tag,
                                    std::uint32_t* length) const;
    int SetBookmarkSub(std::int32_t index, std::uint32_t field, const char* tag,
                       const void* bytes, std::uint32_t length);
    // Stores UTF-16 text as a bookmark's sub-record, low byte first.
    int SetBookmarkSubText(std::int32_t index, std::uint32_t field, const char* tag,
                           const char16_t* text, std::uint32_t length);

    // A flush or close of a copy in memory with changes: the save that could not be made.
    void NoteIfUnsaved();

    AnnotationFileOwner* owner_ = nullptr;
    std::string unsavedPath_;  // the file a copy in memory stands for
    std::string bookPath_;
    // A side file at `path` naming a book that is not beside it is kept aside (its records
    // salvaged by the open that follows); false when it is none such or cannot be moved.
    bool SetAsideStrayFile(const std::string& path, bool fullName);

    std::string changedAside_;
    std::string takenBack_;
    std::string damagedAside_;
    bool damagedNamed_ = false;
    bool tookAnotherName_ = false;
    std::string databaseName_;
};
