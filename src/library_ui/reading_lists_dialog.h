// The Add / Remove reading lists dialog of the library view: every global reading list in a
// list with in-place names; New, Modify (rename, or merge into another list) and Remove.
#pragma once

#include "library_ui/empty_list_text.h"
#include "library_ui/library_dialogs.h"
#include "shell_ui/dialog_page.h"

class Library;

// A list item of a page made one column as wide as the list, with the extended style given.
void PrepareListItem(DialogPage& page, int32_t id, DWORD extendedStyle);

class ReadingListsEditDialog : public DialogPage {
public:
    static constexpr int32_t kList = 10055;
    static constexpr uint32_t kNew = 1029;
    static constexpr uint32_t kModify = 1030;
    static constexpr uint32_t kRemove = 1031;
    static constexpr uint32_t kMenuButton = 507;

    explicit ReadingListsEditDialog(Library* library);

protected:
    void OnInit() override;
    void OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnEndLabelEdit(WPARAM id, LPARAM lParam) override;
    void OnItemChanged(const NMLISTVIEW& change) override;

private:
    int32_t Selected();
    std::u16string RowText(int32_t row);
    void SetRowText(int32_t row, const std::u16string& text);
    void Select(int32_t row);
    void EditRow(int32_t row);
    void UpdateItems();

    Library* library_;
    ReadingListsEditor editor_;
    // The name a new row started with; its edit falls back to it.
    std::u16string newName_;
    // "There is no reading list" while there is none, as on a book's Reading list page.
    EmptyListText emptyText_;
};
