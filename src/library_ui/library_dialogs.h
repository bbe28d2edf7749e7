// The rules of the library's dialogs, apart from their windows: the rating being edited on the
// book's Properties page, the Reading list page's rows and what OK writes, and the Add / Remove
// reading lists dialog's new, rename, merge and remove.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class Library;
class LibraryBook;

namespace ReadingListNames {
// "My Reading list", else that name followed by the smallest number 1, 2, ... not in `taken`
// (names compared exactly, as the catalogue compares lists).
std::u16string DefaultName(const std::vector<std::u16string>& taken);
// The global lists, in catalogue order.
std::vector<std::u16string> GlobalLists(const Library& library);
}  // namespace ReadingListNames

// The Properties page's rating, saved only on OK.
class RatingEditor {
public:
    static constexpr uint32_t kMaxRating = 5;
    // Rating menu items for 0 ("Not rated") to 5.
    static constexpr uint32_t kMenuItems[6] = {1098, 1099, 2000, 2001, 2002, 2003};

    explicit RatingEditor(uint32_t rating) : rating_(rating > kMaxRating ? kMaxRating : rating) {}
    uint32_t Rating() const { return rating_; }
    // False for another command.
    bool FromMenu(uint32_t command);
    // Left and right keys: false (unchanged) when the result would leave 0..5.
    bool Step(int32_t step);
    // A tap at x on a strip of five cells from stripLeft: cell k (from the left) sets k; left
    // of the strip sets 0. False when x is right of the strip.
    bool FromTap(int32_t x, int32_t stripLeft, int32_t iconSize);
    // Writes it to the book's side file and entry; false (entry unchanged) when it cannot.
    bool Save(LibraryBook& book) const;

private:
    uint32_t rating_;
};

// The Reading list page of a book's Properties.
struct ReadingListRow {
    std::u16string name;
    bool checked = false;
};

namespace BookReadingLists {
// A row per global list, checked when the book holds it.
std::vector<ReadingListRow> Rows(const Library& library, const LibraryBook& book);
// OK: adds the checked names and removes the unchecked ones of the rows shown (lists the page
// does not show stay), then writes the side file once. False when it cannot be written.
bool Commit(LibraryBook& book, const std::vector<ReadingListRow>& rows);
// The end of a new row's label edit (null text: cancelled). An empty, cancelled or existing
// name drops the row (false); otherwise the book gets the list, made globally, and saved.
bool EndNewRow(LibraryBook& book, const Library& library, const char16_t* text);
}  // namespace BookReadingLists

// The Add / Remove reading lists dialog.
class ReadingListsEditor {
public:
    enum class Result { kCreated, kDropped, kRenamed, kMerged, kUnchanged, kCancelled, kFailed };

    explicit ReadingListsEditor(Library* library) : library_(library) {}
    std::u16string NewName() const;
    // A new row's edit ended (null: cancelled): its name is the text, or the default name when
    // cancelled or emptied; an existing name drops the row, else the list is made.
    Result EndNewRow(const std::u16string& defaultName, const char16_t* text);
    // An existing row's edit ended. The same text changes nothing; the name of another list
    // asks `confirmMerge` and merges into it; else the list is renamed everywhere.
    Result EndRename(const std::u16string& oldName, const char16_t* text,
                     const std::function<bool()>& confirmMerge);
    // After `confirm` agrees, the list leaves the catalogue and every book.
    Result Remove(const std::u16string& name, const std::function<bool()>& confirm);

private:
    Library* library_;
};
