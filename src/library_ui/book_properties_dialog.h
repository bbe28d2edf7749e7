// The book Properties sheet of the library view: the Properties page (texts, cover, rating) and
// the Reading list page (the global lists, checked where the book holds them).
#pragma once

#include <string>
#include <vector>

#include "library_ui/empty_list_text.h"
#include "library_ui/library_dialogs.h"
#include "reader/menu_items.h"
#include "shell_ui/dialog_page.h"

class Library;
class LibraryRow;

class BookPropertiesDialog : public DialogPage {
public:
    static constexpr int32_t kStars = 1023;
    static constexpr int32_t kCover = 1024;
    static constexpr int32_t kTitle = 1006;
    static constexpr uint32_t kStarIcon = 127;
    static constexpr uint32_t kEmptyStarIcon = 140;
    static constexpr uint32_t kReadingListItem = 1097;

    explicit BookPropertiesDialog(LibraryRow* row);
    ~BookPropertiesDialog() override;
    uint32_t Rating() const { return rating_.Rating(); }

protected:
    void OnInit() override;
    bool OnOk() override;
    void OnPaint(HDC dc) override;
    void OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnKeyDown(WPARAM wParam, LPARAM lParam) override;
    void OnPointer(int32_t x, int32_t y, bool down) override;

private:
    RECT ItemRect(int32_t id) const;
    void CloseUpEmptyRows(const std::vector<int32_t>& emptyValues);
    void CloseUpCoverSpace();

    LibraryRow* row_;
    RatingEditor rating_;
    HICON star_ = nullptr;
    HICON emptyStar_ = nullptr;
    int32_t iconSize_ = 16;
};

class ReadingListDialog : public DialogPage {
public:
    static constexpr int32_t kList = 4557;
    static constexpr int32_t kCreate = MenuItem::kEditLists;

    ReadingListDialog(LibraryRow* row, Library* library);
    ~ReadingListDialog() override;

protected:
    void OnInit() override;
    bool OnOk() override;
    void OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnEndLabelEdit(WPARAM id, LPARAM lParam) override;
    bool OnStaticColour(HDC dc, HWND control) override;

private:
    std::vector<ReadingListRow> Shown();

    LibraryRow* row_;
    Library* library_;
    // "There is no reading list" while the list has no row.
    EmptyListText emptyText_;
};

// Properties, then Reading list; the sheet owns and deletes both pages.
class BookPropertiesSheet : public PropertySheet {
public:
    BookPropertiesSheet(LibraryRow* row, Library* library);

    BookPropertiesDialog* const properties;
    ReadingListDialog* const readingList;
};
