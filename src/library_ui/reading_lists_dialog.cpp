#include "library_ui/reading_lists_dialog.h"

#include "library/library.h"
#include "platform/shell/shell.h"
#include "shell_ui/dialog_helpers.h"

namespace {
constexpr int32_t kNewRow = 1;  // item data of a row not yet made a list
constexpr uint32_t kNoListText = 5430;
}  // namespace

void PrepareListItem(DialogPage& page, int32_t id, DWORD extendedStyle) {
    page.SendItemMessage(id, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(extendedStyle));
    RECT r{};
    GetClientRect(page.GetItem(id), &r);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = r.right - r.left - 1;
    page.SendItemMessage(id, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
}

ReadingListsEditDialog::ReadingListsEditDialog(Library* library)
    : library_(library), editor_(library) {
    template_ = 110;
    menu_ = 509;
    title_ = 5365;
}

void ReadingListsEditDialog::OnInit() {
    PrepareListItem(*this, kList, LVS_EX_FULLROWSELECT);
    emptyText_.Attach(GetItem(kList), kNoListText);
    if (library_) {
        int32_t row = 0;
        for (auto& name : ReadingListNames::GlobalLists(*library_)) {
            LVITEMW item{};
            item.mask = LVIF_TEXT | LVIF_PARAM;
            item.iItem = row++;
            item.pszText = name.data();
            SendItemMessage(kList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        }
    }
    Select(0);
    UpdateItems();
}

int32_t ReadingListsEditDialog::Selected() {
    return static_cast<int32_t>(
        SendItemMessage(kList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

std::u16string ReadingListsEditDialog::RowText(int32_t row) {
    char16_t text[256] = {};
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = 256;
    SendItemMessage(kList, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

void ReadingListsEditDialog::SetRowText(int32_t row, const std::u16string& text) {
    std::u16string copy = text;
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = copy.data();
    SendItemMessage(kList, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void ReadingListsEditDialog::Select(int32_t row) {
    int32_t count = static_cast<int32_t>(SendItemMessage(kList, LVM_GETITEMCOUNT, 0, 0));
    if (count <= 0) return;
    if (row >= count) row = count - 1;
    LVITEMW state{};
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendItemMessage(kList, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
}

void ReadingListsEditDialog::EditRow(int32_t row) {
    if (row < 0) return;
    SetFocus(GetItem(kList));
    SipShowIM(SIPF_ON);
    SendItemMessage(kList, LVM_EDITLABELW, static_cast<WPARAM>(row), 0);
}

void ReadingListsEditDialog::UpdateItems() {
    bool selected = Selected() >= 0;
    Bar().EnableItem(kMenuButton, kModify, selected);
    Bar().EnableItem(kMenuButton, kRemove, selected);
}

void ReadingListsEditDialog::OnItemChanged(const NMLISTVIEW&) { UpdateItems(); }

void ReadingListsEditDialog::OnCommand(WPARAM wParam, LPARAM) {
    switch (LOWORD(wParam)) {
        case kNew: {
            newName_ = editor_.NewName();
            int32_t row = static_cast<int32_t>(SendItemMessage(kList, LVM_GETITEMCOUNT, 0, 0));
            LVITEMW item{};
            item.mask = LVIF_TEXT | LVIF_PARAM;
            item.iItem = row;
            item.pszText = newName_.data();
            item.lParam = kNewRow;
            row = static_cast<int32_t>(
                SendItemMessage(kList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
            Select(row);
            EditRow(row);
            break;
        }
        case kModify:
            EditRow(Selected());
            break;
        case kRemove: {
            int32_t row = Selected();
            if (row < 0) break;
            HWND window = Window();
            auto result = editor_.Remove(RowText(row), [window] {
                return MessageBoxRes(window, 5375, 5321,
                                     MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) == IDOK;
            });
            if (result == ReadingListsEditor::Result::kDropped) {
                SendItemMessage(kList, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
                Select(row);
            }
            UpdateItems();
            break;
        }
        default:
            break;
    }
}

void ReadingListsEditDialog::OnEndLabelEdit(WPARAM, LPARAM lParam) {
    auto* info = reinterpret_cast<NMLVDISPINFOW*>(lParam);
    SipShowIM(SIPF_OFF);
    if (!info || !library_) return;
    int32_t row = info->item.iItem;
    library_->Refresh();
    using Result = ReadingListsEditor::Result;
    if (info->item.lParam == kNewRow) {
        std::u16string fallback = newName_;
        Result result = editor_.EndNewRow(fallback, info->item.pszText);
        if (result == Result::kCreated) {
            LVITEMW item{};
            item.mask = LVIF_PARAM;
            item.iItem = row;
            item.lParam = 0;
            SendItemMessage(kList, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
            std::u16string name = info->item.pszText && *info->item.pszText ? info->item.pszText : fallback;
            SetRowText(row, name);
        } else {
            SendItemMessage(kList, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
        }
    } else {
        std::u16string old = RowText(row);
        HWND window = Window();
        Result result = editor_.EndRename(old, info->item.pszText, [window] {
            return MessageBoxRes(window, 5163, 5243, MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
        });
        if (result == Result::kMerged) SendItemMessage(kList, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
        if (result == Result::kRenamed) SetRowText(row, info->item.pszText);
    }
    UpdateItems();
}
