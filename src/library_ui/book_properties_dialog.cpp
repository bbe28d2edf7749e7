#include "library_ui/book_properties_dialog.h"

#include <algorithm>
#include <vector>

#include "core/resources.h"
#include "library/library.h"
#include "library_ui/library_view.h"
#include "library_ui/reading_lists_dialog.h"
#include "platform/shell/shell.h"
#include "platform/window/keys.h"
#include "shell_ui/dialog_helpers.h"

namespace {

// Label item, string: each label reads its string followed by ":".
constexpr uint32_t kLabels[][2] = {{1012, 5281}, {1013, 5122}, {1015, 5137},
                                   {1016, 5283}, {1017, 5282}, {1020, 5443}};
constexpr uint32_t kNoListText = 5430;

std::u16string Wide(const Text& t) {
    const char16_t* w = t.WideCStr();
    return w ? std::u16string(w) : std::u16string();
}

String ToString(const std::u16string& s) { return String(s.data(), static_cast<int32_t>(s.size())); }

}  // namespace

// ---- Properties page ----

BookPropertiesDialog::BookPropertiesDialog(LibraryRow* row)
    : row_(row), rating_(row && row->book ? row->book->GetRating() : 0) {
    template_ = 136;
    menu_ = 7413;
    title_ = 5448;
}

BookPropertiesDialog::~BookPropertiesDialog() {
    if (star_) DestroyIcon(star_);
    if (emptyStar_) DestroyIcon(emptyStar_);
}

void BookPropertiesDialog::OnInit() {
    // The star strip and the cover are painted by the page in these items' places.
    ShowItem(kStars, false);
    ShowItem(kCover, false);
    star_ = LoadIconScaled(kStarIcon, &iconSize_);
    emptyStar_ = LoadIconScaled(kEmptyStarIcon);
    for (const auto& label : kLabels) {
        const char16_t* s = LoadResString(label[1]);
        SetItemText(static_cast<int32_t>(label[0]), ToString(std::u16string(s ? s : u"") + u":"));
    }
    if (!row_ || !row_->book) return;
    static constexpr std::pair<int32_t, uint32_t> kValues[] = {
        {1006, LibraryRow::kTitle}, {1007, LibraryRow::kAuthor}, {1008, LibraryRow::kSize},
        {1010, LibraryRow::kDate},  {1009, LibraryRow::kLastRead}};
    std::vector<int32_t> empty;
    for (const auto& value : kValues) {
        Text text;
        row_->GetText(text, value.second);
        const std::u16string shown = Wide(text);
        SetItemText(value.first, ToString(shown));
        if (shown.find_first_not_of(u' ') == std::u16string::npos) empty.push_back(value.first);
    }
    SetItemText(1021, ToString(Wide(row_->book->GetPath())));
    CloseUpEmptyRows(empty);
    const RECT cover = ItemRect(kCover);
    if (!row_->GetCover(cover.right - cover.left, cover.bottom - cover.top)) CloseUpCoverSpace();
}

// Without a thumbnail the title takes the cover's place and the rows move up under it: the
// cover's empty square read as a picture that failed to load.
void BookPropertiesDialog::CloseUpCoverSpace() {
    const RECT cover = ItemRect(kCover);
    const RECT title = ItemRect(kTitle);
    HWND titleItem = GetItem(kTitle);
    if (!titleItem) return;
    RECT need{cover.left, title.top, title.right, title.top};
    if (HDC dc = GetDC(titleItem)) {
        HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(titleItem, WM_GETFONT, 0, 0));
        HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
        Text shown;
        row_->GetText(shown, LibraryRow::kTitle);
        const std::u16string text = Wide(shown);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &need,
                  DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
        if (old) SelectObject(dc, old);
        ReleaseDC(titleItem, dc);
    }
    const int32_t bottom = std::min<int32_t>(title.bottom, std::max<int32_t>(need.bottom, title.top + 1));
    MoveWindowTo(titleItem, cover.left, title.top, title.right, bottom);
    const int32_t shift = std::max<int32_t>(cover.bottom, title.bottom) - bottom;
    if (shift <= 0) return;
    // Every item below the title moves up by the room the cover left.
    for (int32_t id : {1012, 1007, 1013, static_cast<int32_t>(kStars), 1015, 1008, 1017, 1010,
                       1016, 1009, 1020, 1021}) {
        const RECT r = ItemRect(id);
        if (r.top >= title.bottom) MoveWindowTo(GetItem(id), r.left, r.top - shift, r.right, r.bottom - shift);
    }
}

// A value the book has not got (no author, never read) leaves its row out and the rows below
// move up: a label beside nothing looked unfinished, and the string tables have no "unknown".
void BookPropertiesDialog::CloseUpEmptyRows(const std::vector<int32_t>& emptyValues) {
    // Label and value of each row, top to bottom; the file name's value is the line below it.
    static constexpr int32_t kRows[][2] = {{1012, 1007}, {1013, kStars}, {1015, 1008},
                                           {1017, 1010}, {1016, 1009}, {1020, 1021}};
    constexpr size_t kCount = sizeof(kRows) / sizeof(kRows[0]);
    int32_t shift = 0;
    for (size_t i = 0; i < kCount; ++i) {
        const RECT label = ItemRect(kRows[i][0]);
        if (std::find(emptyValues.begin(), emptyValues.end(), kRows[i][1]) != emptyValues.end()) {
            ShowItem(kRows[i][0], false);
            ShowItem(kRows[i][1], false);
            if (i + 1 < kCount) shift += ItemRect(kRows[i + 1][0]).top - label.top;
            continue;
        }
        if (shift == 0) continue;
        for (int32_t id : kRows[i]) {
            const RECT r = ItemRect(id);
            MoveWindowTo(GetItem(id), r.left, r.top - shift, r.right, r.bottom - shift);
        }
    }
}

RECT BookPropertiesDialog::ItemRect(int32_t id) const {
    RECT r{};
    HWND item = GetItem(id);
    if (!item) return r;
    GetWindowRect(item, &r);
    MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void BookPropertiesDialog::OnPaint(HDC dc) {
    RECT stars = ItemRect(kStars);
    for (uint32_t k = 0; k < RatingEditor::kMaxRating; ++k) {
        HICON icon = k < rating_.Rating() ? star_ : emptyStar_;
        if (icon)
            DrawIconEx(dc, stars.left + static_cast<int>(k) * iconSize_, stars.top, icon, iconSize_,
                       iconSize_, 0, nullptr, DI_NORMAL);
    }
    if (!row_) return;
    RECT cell = ItemRect(kCover);
    HBITMAP cover = row_->GetCover(cell.right - cell.left, cell.bottom - cell.top);
    if (!cover) return;
    HDC memory = CreateCompatibleDC(dc);
    if (!memory) return;
    HGDIOBJ old = SelectObject(memory, cover);
    int x = cell.left + (cell.right - cell.left - row_->CoverWidth()) / 2;
    int y = cell.top + (cell.bottom - cell.top - row_->CoverHeight()) / 2;
    BitBlt(dc, x, y, row_->CoverWidth(), row_->CoverHeight(), memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}

void BookPropertiesDialog::OnCommand(WPARAM wParam, LPARAM) {
    uint32_t id = LOWORD(wParam);
    if (id == kReadingListItem) {
        // The Reading list page follows this one in the sheet.
        SwitchToPage(1);
        return;
    }
    if (rating_.FromMenu(id)) {
        RECT stars = ItemRect(kStars);
        InvalidateRect(Window(), &stars, TRUE);
    }
}

void BookPropertiesDialog::OnKeyDown(WPARAM wParam, LPARAM) {
    int32_t step = wParam == VK_LEFT ? -1 : wParam == VK_RIGHT ? 1 : 0;
    if (step != 0 && rating_.Step(step)) {
        RECT stars = ItemRect(kStars);
        InvalidateRect(Window(), &stars, TRUE);
    }
}

void BookPropertiesDialog::OnPointer(int32_t x, int32_t y, bool down) {
    if (!down) return;
    RECT stars = ItemRect(kStars);
    if (y < stars.top || y >= stars.top + iconSize_) return;
    if (rating_.FromTap(x, stars.left, iconSize_)) InvalidateRect(Window(), &stars, TRUE);
}

bool BookPropertiesDialog::OnOk() {
    // A rating that cannot be written leaves the entry as it was; the dialog still closes.
    if (row_ && row_->book) rating_.Save(*row_->book);
    return true;
}

// ---- Reading list page ----

ReadingListDialog::ReadingListDialog(LibraryRow* row, Library* library) : row_(row), library_(library) {
    template_ = 183;
    menu_ = 7414;
    title_ = 5162;
}

ReadingListDialog::~ReadingListDialog() = default;

void ReadingListDialog::OnInit() {
    PrepareListItem(*this, kList, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    emptyText_.Attach(GetItem(kList), kNoListText);
    if (!library_ || !row_ || !row_->book) return;
    int32_t i = 0;
    for (auto& row : BookReadingLists::Rows(*library_, *row_->book)) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = row.name.data();
        SendItemMessage(kList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        LVITEMW state{};
        state.state = INDEXTOSTATEIMAGEMASK(row.checked ? 2 : 1);
        state.stateMask = LVIS_STATEIMAGEMASK;
        SendItemMessage(kList, LVM_SETITEMSTATE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&state));
        ++i;
    }
    LVITEMW first{};
    first.state = first.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendItemMessage(kList, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&first));
}

std::vector<ReadingListRow> ReadingListDialog::Shown() {
    std::vector<ReadingListRow> rows;
    int32_t count = static_cast<int32_t>(SendItemMessage(kList, LVM_GETITEMCOUNT, 0, 0));
    for (int32_t i = 0; i < count; ++i) {
        char16_t text[256] = {};
        LVITEMW item{};
        item.pszText = text;
        item.cchTextMax = 256;
        SendItemMessage(kList, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        UINT state = static_cast<UINT>(
            SendItemMessage(kList, LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_STATEIMAGEMASK));
        rows.push_back({text, (state >> 12) == 2});
    }
    return rows;
}

void ReadingListDialog::OnCommand(WPARAM wParam, LPARAM) {
    if (LOWORD(wParam) != kCreate) return;
    std::vector<std::u16string> names;
    for (auto& r : Shown()) names.push_back(r.name);
    if (library_)
        for (auto& n : ReadingListNames::GlobalLists(*library_)) names.push_back(n);
    std::u16string name = ReadingListNames::DefaultName(names);
    int32_t row = static_cast<int32_t>(SendItemMessage(kList, LVM_GETITEMCOUNT, 0, 0));
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = name.data();
    row = static_cast<int32_t>(SendItemMessage(kList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    LVITEMW state{};
    state.state = INDEXTOSTATEIMAGEMASK(2) | LVIS_SELECTED | LVIS_FOCUSED;
    state.stateMask = LVIS_STATEIMAGEMASK | LVIS_SELECTED | LVIS_FOCUSED;
    SendItemMessage(kList, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
    SetFocus(GetItem(kList));
    SipShowIM(SIPF_ON);
    SendItemMessage(kList, LVM_EDITLABELW, static_cast<WPARAM>(row), 0);
}

void ReadingListDialog::OnEndLabelEdit(WPARAM, LPARAM lParam) {
    auto* info = reinterpret_cast<NMLVDISPINFOW*>(lParam);
    SipShowIM(SIPF_OFF);
    if (!info) return;
    int32_t row = info->item.iItem;
    bool kept = library_ && row_ && row_->book &&
                BookReadingLists::EndNewRow(*row_->book, *library_, info->item.pszText);
    if (!kept) {
        SendItemMessage(kList, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
        return;
    }
    LVITEMW item{};
    item.pszText = info->item.pszText;
    SendItemMessage(kList, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

bool ReadingListDialog::OnStaticColour(HDC dc, HWND control) {
    if (control != GetItem(kCreate)) return false;
    SetTextColor(dc, RGB(0, 0, 192));
    return true;
}

bool ReadingListDialog::OnOk() {
    // Only OK writes: Cancel and Back leave the book's lists as they were.
    if (row_ && row_->book) BookReadingLists::Commit(*row_->book, Shown());
    return true;
}

// ---- Sheet ----

BookPropertiesSheet::BookPropertiesSheet(LibraryRow* row, Library* library)
    : properties(AddPage(std::make_unique<BookPropertiesDialog>(row))),
      readingList(AddPage(std::make_unique<ReadingListDialog>(row, library))) {
    SetSheetTitle(5448);
}
