// One catalogue entry: the library's record of a book file, what the library window lists,
// sorts and filters, and what the properties and reading-list dialogs edit.
//
// Reading an entry never creates a side file: the side file is opened existing-only to read
// from it, and made only when something is written (rating, title, author, reading lists). A
// book that is open shares its side file with the reader (the host hands it out), so that there
// is one writer per book.
#pragma once

#include <cstdint>
#include <string>

#include "core/containers.h"
#include "core/ref_counted.h"
#include "core/string.h"
#include "core/text.h"

class AnnotationFile;
class BookReleaser;
class FolderListing;
class Library;

class LibraryBook {
public:
    static constexpr int32_t kTypeText = 701;
    static constexpr int32_t kTypeHtml = 702;
    static constexpr int32_t kTypeUnknownBook = 2;
    static constexpr uint16_t kNoLanguagePair = 0xFFFF;
    static constexpr uint16_t kNoImage = 0xFFFF;
    static constexpr uint32_t kUnknownId = 0xFFFFFFFF;
    static constexpr uint32_t kMaxRating = 5;

    LibraryBook(Library* owner, const Text& path);
    LibraryBook(const LibraryBook&) = default;
    LibraryBook& operator=(const LibraryBook&) = default;

    // Plain fields.
    const Text& GetPath() const { return path_; }
    bool SetPath(const Text& path);
    const Text& GetTitle() const { return title_; }
    // save off: stored in the entry only. save on: written to the side file first (made when
    // missing); the entry changes only when that write succeeded.
    bool SetTitle(const Text& title, bool save);
    const Text& GetAuthor() const { return author_; }
    void SetAuthorField(const Text& author) {
        author_ = ToUtf16(author);
        authorKey_.clear();
    }
    // Written to the side file first, as SetTitle with save.
    bool SetAuthor(const Text& author);
    int32_t GetType() const { return type_; }
    void SetType(int32_t type) { type_ = type; }
    uint16_t GetLanguagePair() const { return languagePair_; }
    void SetLanguagePair(uint16_t pair) { languagePair_ = pair; }
    uint8_t GetInputLanguage() const { return static_cast<uint8_t>(languagePair_ >> 8); }
    uint8_t GetOutputLanguage() const { return static_cast<uint8_t>(languagePair_ & 0xFF); }
    // Neither 0 nor 0xFFFF: a dictionary.
    bool HasLanguagePair() const { return languagePair_ != 0 && languagePair_ != kNoLanguagePair; }
    const String& GetDatabaseName() const { return databaseName_; }
    void SetDatabaseName(const String& name) { databaseName_ = name; }
    uint32_t GetSideFileTime() const { return sideFileTime_; }
    void SetSideFileTime(uint32_t t) { sideFileTime_ = t; }
    uint32_t GetFileTime() const { return fileTime_; }
    void SetFileTime(uint32_t t) { fileTime_ = t; }
    uint32_t GetFileSize() const { return fileSize_; }
    void SetFileSize(uint32_t size) { fileSize_ = size; }
    uint32_t GetCreated() const { return created_; }
    void SetCreated(uint32_t t) { created_ = t; }
    uint32_t GetLastRead() const { return lastRead_; }
    void SetLastRead(uint32_t t) { lastRead_ = t; }
    uint32_t GetRating() const { return rating_; }
    // Written to the side file (made when missing); false, and the entry unchanged, when the
    // side file cannot be opened or written, or the rating is above 5.
    bool SetRating(uint32_t rating);
    void SetRatingField(uint32_t rating) { rating_ = rating; }
    int32_t GetLocation() const { return location_; }
    void SetLocation(int32_t location) { location_ = location; }
    bool IsOpenable() const { return openable_ != 0; }
    void SetOpenable(bool on) { openable_ = on ? 1 : 0; }
    uint32_t GetUniqueId() const { return uniqueId_; }
    void SetUniqueId(uint32_t id) { uniqueId_ = id; }
    const Text& GetSpare() const { return spare_; }
    void SetSpare(const Text& spare) { spare_ = spare; }
    uint16_t GetCoverOffset() const { return coverOffset_; }
    void SetCoverOffset(uint16_t offset) { coverOffset_ = offset; }
    uint16_t GetThumbnailOffset() const { return thumbnailOffset_; }
    void SetThumbnailOffset(uint16_t offset) { thumbnailOffset_ = offset; }
    bool HasFakeCover() const { return fakeCover_ != 0; }
    void SetFakeCover(bool on) { fakeCover_ = on ? 1 : 0; }
    bool IsPresent() const { return present_ != 0; }
    void SetPresent(bool on) { present_ = on ? 1 : 0; }
    Library* GetOwner() const { return owner_; }
    void SetOwner(Library* owner) { owner_ = owner; }

    // Reading lists of the book (exact, case-sensitive names; no duplicates).
    int32_t GetCategoryCount() const { return categories_.Count(); }
    bool GetCategory(int32_t i, Text& out) const;
    bool HasCategory(const Text& name) const;
    // False when present (or empty); registers the name in the global lists when absent there.
    bool AddCategory(const Text& name, bool save);
    // False when absent; the last name takes its place.
    bool RemoveCategory(const Text& name, bool save);
    bool ClearCategories(bool save);
    // Writes the names, each but the last followed by U+0000, as the side file's list (the side
    // file is made when missing). False when it cannot be opened or written.
    [[nodiscard]] bool SaveCategories();
    // The names from a side file's list text (empty pieces skipped). Not registered globally:
    // a list deleted while a card was out must not come back with the card.
    void LoadCategories(const char16_t* text, uint32_t length);
    // The names joined with U+0000 (none after the last).
    Text JoinCategories() const;

    // Size and times of the book file, then rating, dates, title, author and lists from an
    // existing side file. False when there is none (the file values are still taken).
    bool LoadSideFileInfo();
    // The book's side file with a new reference: the one an open book shares, else opened here
    // (existingOnly: never made). Null when it cannot be had.
    RefPtr<AnnotationFile> OpenSideFile(bool existingOnly);
    // The side file's path and whether it exists (looked up in the listing when one is given).
    bool SideFilePath(Text& out, bool* exists, FolderListing* listing = nullptr) const;
    // Opens the book through the host; openable follows the result. True.
    bool TestOpen(uint8_t flag);
    // Lets the book go wherever it is open, deletes the file, then its side file unless another
    // book of the folder has the same name and so the same side file. True (and absent) when
    // the book file was deleted. Why a delete failed, for the message that says so.
    enum class DeleteFailure { kNone, kInUse, kNotRemoved };
    bool DeleteFiles(BookReleaser* releaser, DeleteFailure* why = nullptr);

    // The title's and the author's sort keys (LetterOrderKey), folded at the first sort and kept
    // until the text changes: a list of thousands compares each many times.
    const std::u32string& TitleOrderKey() const;
    const std::u32string& AuthorOrderKey() const;
    // The two books' paths in the order of their code points (Text::Compare with case), read
    // without decoding: the order of books whose keys are equal.
    static int ComparePaths(const LibraryBook& a, const LibraryBook& b);

    static Text ToUtf16(const Text& text);
    // The path as a device path in UTF-8 (the form side files and databases take).
    std::string PathUtf8() const;

private:
    // Writes through a side file (made when missing): fn is called with it, the file flushed.
    template <typename Fn>
    bool WriteSideFile(Fn fn);

    Text path_;
    Text title_;
    // Empty until asked for (a key is never empty).
    mutable std::u32string titleKey_;
    mutable std::u32string authorKey_;
    int32_t type_ = 0;
    uint16_t languagePair_ = 0;
    String databaseName_;
    uint32_t sideFileTime_ = 0;
    uint32_t fileTime_ = 0;
    Text author_;
    uint32_t fileSize_ = 0;
    uint32_t created_ = 0;
    uint32_t lastRead_ = 0;
    uint32_t rating_ = 0;
    TextSegArray categories_;
    int32_t location_ = 0;
    uint8_t openable_ = 1;
    uint32_t uniqueId_ = kUnknownId;
    Text spare_;
    uint16_t coverOffset_ = kNoImage;
    uint16_t thumbnailOffset_ = kNoImage;
    uint8_t fakeCover_ = 0;
    uint8_t present_ = 1;
    Library* owner_ = nullptr;
};
