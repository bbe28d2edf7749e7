#include "shell_ui/small_dialogs.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "core/platform_helpers.h"
#include "core/resources.h"
#include "database/resource.h"
#include "layout/page_layout.h"
#include "layout/searcher.h"
#include "platform/gdi.h"
#include "reader/book_document_controller.h"
#include "reader/document_controller.h"
#include "reader/reader_controller.h"
#include "shell_ui/dialog_helpers.h"
#include "shell_ui/reader_menu_bars.h"

namespace {

constexpr uint32_t kCloseString = 5191;
constexpr uint32_t kNotFoundString = 5404;
constexpr uint32_t kResultsString = 5405;
constexpr uint32_t kOfString = 5201;

// The find button's text per direction, and the directions' own names.
constexpr uint32_t kFindButtonTexts[] = {5318, 5319, 5043, 5320};
constexpr uint32_t kDirectionTexts[] = {5216, 5400, 5394, 5217};

bool SetActiveCaptionColour(HDC dc) {
    SetTextColor(dc, GetSysColor(COLOR_ACTIVECAPTION));
    return true;
}

int32_t ControlId(HWND control) {
    return control ? GetDlgCtrlID(control) : 0;
}

// The book Find searches and Go to page moves in: the one whose text or cover shows (from the
// cover, the text found or the page chosen is shown on its page).
BookDocumentController* SearchedBook(ReaderController* controller) {
    if (BookDocumentController* book = ShownTextPage(controller)) return book;
    DocumentController* document = controller ? controller->GetDocumentController() : nullptr;
    auto* book = dynamic_cast<BookDocumentController*>(document);
    if (!book || !book->Page().Layout() || !book->CurrentLocation()) return nullptr;
    return book->CurrentView() == BookDocumentController::kCoverView ? book : nullptr;
}

}  // namespace

// ControllerDialogState.

int32_t ControllerDialogState::CurrentPage() {
    DocumentController* document = controller_ ? controller_->GetDocumentController() : nullptr;
    if (!document) return 0;
    // The layout behind a cover keeps a page, but none shows.
    const BookDocumentController* book = SearchedBook(controller_);
    if (book && book->CurrentView() == BookDocumentController::kCoverView) return 0;
    return document->GetPageNumber();
}

uint32_t ControllerDialogState::GetVolume() {
    return controller_ ? (controller_->Player().GetVolume() & 0xFFFF) : 0;
}

void ControllerDialogState::SetVolume(uint32_t volume) {
    if (controller_) controller_->Player().SetVolume(volume);
}

bool ControllerDialogState::HasDocument() {
    return controller_ && controller_->GetCurrentLocation() != nullptr;
}

void ControllerDialogState::ClearCurrentBlockMarks() {
    // The page's marks are built again at their next use, with what the text entry changed.
    if (BookDocumentController* book = ShownTextPage(controller_))
        if (PageLayout* layout = book->Page().Layout()) layout->ClearCurrentBlockMarks();
}

int64_t ControllerDialogState::PageStart() {
    DocumentController* document = controller_ ? controller_->GetDocumentController() : nullptr;
    return document ? document->GetPageStart() : -1;
}

int32_t ControllerDialogState::PageCount() {
    BookDocumentController* book = SearchedBook(controller_);
    return book ? static_cast<int32_t>(book->Page().Layout()->PageCount()) : 0;
}

bool ControllerDialogState::GoToPage(int32_t page) {
    // From the cover the page chosen replaces it.
    BookDocumentController* book = SearchedBook(controller_);
    return book && page >= 1 && book->GoToPage(static_cast<uint32_t>(page));
}

bool ControllerDialogState::ShowCover() {
    BookDocumentController* book = SearchedBook(controller_);
    if (!book || !book->OpenLocation(String(u"$cover"), false, true)) return false;
    book->Invalidate(true);
    return book->CurrentView() == BookDocumentController::kCoverView;
}

bool ControllerDialogState::Search(const String& text, bool wholeWord, bool matchCase,
                                   FindDirection& direction, int64_t& start, int64_t& end,
                                   int64_t& hit) {
    BookDocumentController* book = SearchedBook(controller_);
    Resource* document = book ? book->Document() : nullptr;
    std::unique_ptr<Searcher> searcher(document ? document->CreateSearcher() : nullptr);
    if (!searcher || start < 0 || start > UINT32_MAX || end > UINT32_MAX) return false;
    auto from = static_cast<uint32_t>(start);
    // -1 reads as the document's end.
    uint32_t to = end < 0 ? UINT32_MAX : static_cast<uint32_t>(end);
    uint32_t found = 0;
    auto mode = static_cast<uint32_t>(direction);
    if (searcher->Search(text, from, to, found, wholeWord, !matchCase, mode) != kSearchFound) return false;
    direction = static_cast<FindDirection>(mode);
    start = from;
    end = to;
    hit = found;
    return true;
}

bool ControllerDialogState::GoToPosition(int64_t position) {
    BookDocumentController* book = ShownTextPage(controller_);
    return book && position >= 0 && position <= UINT32_MAX &&
           book->GoToPosition(static_cast<uint32_t>(position));
}

bool ControllerDialogState::ShowFound(int64_t start, int64_t end) {
    BookDocumentController* book = SearchedBook(controller_);
    return book && start >= 0 && start < end && end <= UINT32_MAX &&
           book->ShowFoundText(static_cast<uint32_t>(start), static_cast<uint32_t>(end));
}

// FindDialog.

FindDialog::FindDialog(ReaderDialogState* state, ReaderMenuBar* lastSearch)
    : state_(state), bar_(lastSearch) {
    template_ = 184;
    title_ = 5381;
    modeless_ = true;
}

FindDialog::~FindDialog() {
    if (regular_) DeleteObject(regular_);
}

void FindDialog::OnInit() {
    if (regular_) DeleteObject(regular_);
    regular_ = CreateUiFont(window_);
    hasDocument_ = state_->HasDocument();
    if (!hasDocument_) return;
    for (int32_t id : {static_cast<int32_t>(kOkKey), kOptionsLabel, kMatchCaseItem, kWholeWordItem, kDirectionItem, kTextItem})
        SetItemFont(font_, id);
    SetItemFont(regular_, kOptionsToggle);
    SetItemFont(regular_, kCloseButton);
    SetItemTextRes(kOkKey, 5043);
    SetItemTextRes(kOptionsLabel, 5135);
    SetItemTextRes(kMatchCaseItem, 5391);
    SetItemTextRes(kWholeWordItem, 5317);
    SetItemTextRes(kOptionsToggle, 5441);
    SetItemTextRes(kCloseButton, kCloseString);
    SendItemMessage(kDirectionItem, LB_RESETCONTENT, 0, 0);
    for (uint32_t id : kDirectionTexts) ListAdd(kDirectionItem, ResString(id));
    if (bar_) SetItemText(kTextItem, bar_->LastSearch());
    // Reopened, the box says whether the options it shows are there.
    SetChecked(kOptionsToggle, optionsShown_);
    ShowOptions(optionsShown_);
    InputPanel::Show(true);
    int64_t start = state_->PageStart();
    if (start < 0 || start != shownStart_) position_ = start < 0 ? 0 : start + 1;
    // The direction chosen last time stays.
    SetDirection(direction_);
    UpdateFindButton();
    RunLayout();
}

FindDirection FindDialog::Direction() {
    // The last direction outlives the window, which closes after each search.
    if (!window_) return direction_;
    int32_t selected = ListGetSel(kDirectionItem);
    if (selected < 0 || selected > 3) return FindDirection::kNext;
    return static_cast<FindDirection>(selected);
}

void FindDialog::SetDirection(FindDirection direction) {
    direction_ = direction;
    ListSetSel(kDirectionItem, static_cast<int32_t>(direction));
    int32_t selected = ListGetSel(kDirectionItem);
    SetItemTextRes(kOkKey, selected >= 0 && selected <= 3 ? kFindButtonTexts[selected] : 5136);
    FitFindButton();
}

// The bold font when the button's text fits in it, else the regular one.
void FindDialog::FitFindButton() {
    HWND button = GetItem(kOkKey);
    if (!button || !font_) return;
    String text;
    GetWindowString(button, text);
    RECT r{};
    GetClientRect(button, &r);
    HDC dc = GetDC(button);
    if (!dc) return;
    HGDIOBJ old = SelectObject(dc, font_);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.Data(), text.Length(), &size);
    SelectObject(dc, old);
    ReleaseDC(button, dc);
    SetItemFont(size.cx + 2 * fvt::DialogEdgeInset() > r.right - r.left && regular_ ? regular_ : font_,
                kOkKey);
}

void FindDialog::UpdateFindButton() {
    String text;
    EnableItem(kOkKey, GetItemText(kTextItem, text));
}

void FindDialog::ShowOptions(bool shown) {
    optionsShown_ = shown;
    // The direction list's up-down goes with it.
    for (int32_t id : {kOptionsLabel, kDirectionItem, kDirectionSpinner, kMatchCaseItem, kWholeWordItem})
        ShowItem(id, shown);
}

void FindDialog::OnCommand(WPARAM wParam, LPARAM) {
    int32_t id = LOWORD(wParam);
    UINT code = HIWORD(wParam);
    if (id == kOptionsToggle && code == BN_CLICKED) {
        ShowOptions(!optionsShown_);
    } else if (id == kCloseButton && code == BN_CLICKED) {
        End(0);
    } else if (id == kDirectionItem && code == LBN_SELCHANGE) {
        SetDirection(Direction());
    }
}

void FindDialog::OnEditChanged(int32_t id) {
    if (id == kTextItem) UpdateFindButton();
}

bool FindDialog::OnOk() {
    InputPanel::Show(false);
    // Without a document there is nothing to search.
    if (!hasDocument_ || !state_->HasDocument()) return true;
    String text;
    GetItemText(kTextItem, text, kTextLimit);
    if (bar_) bar_->SetLastSearch(text);
    if (text.IsEmpty()) return true;
    FindDirection direction = Direction();
    bool forward = direction == FindDirection::kFirst || direction == FindDirection::kNext;
    int64_t start = forward ? position_ : 0;
    int64_t end = forward ? -1 : position_;
    int64_t hit = 0;
    if (state_->Search(text, IsChecked(kWholeWordItem), IsChecked(kMatchCaseItem), direction, start, end, hit)) {
        SetDirection(direction);
        bool movedForward = direction == FindDirection::kFirst || direction == FindDirection::kNext;
        position_ = movedForward ? start : end;
        shownStart_ = state_->ShowFound(hit, hit + text.Length()) ? state_->PageStart() : -1;
    } else {
        MessageBoxRes(window_, kResultsString, kNotFoundString, MB_ICONINFORMATION);
        if (direction == FindDirection::kPrevious)
            SetDirection(FindDirection::kLast);
        else if (direction == FindDirection::kNext)
            SetDirection(FindDirection::kFirst);
    }
    return true;
}

namespace {
// The width of a control's text in the font given.
int32_t TextWidthIn(HWND control, HFONT font) {
    if (!control) return 0;
    String label;
    GetWindowString(control, label);
    HDC dc = GetDC(control);
    if (!dc) return 0;
    HGDIOBJ old = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    SIZE size{};
    GetTextExtentPoint32W(dc, label.Data(), label.Length(), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size.cx;
}
}  // namespace

void FindDialog::OnLayout(int32_t, int32_t, int32_t right, int32_t) {
    // The find button's text is long in some languages ("Rechercher le précédent"): Close
    // keeps what its own text needs and the find button takes the rest of the row.
    RECT find = GetItemRect(window_, kOkKey);
    RECT close = GetItemRect(window_, kCloseButton);
    const int32_t edge = right - fvt::DialogEdgeInset();
    int32_t closeWidth = close.right - close.left;
    if (HWND button = GetItem(kCloseButton)) {
        String label;
        GetWindowString(button, label);
        if (HDC dc = GetDC(button)) {
            HGDIOBJ old = SelectObject(dc, regular_ ? static_cast<HGDIOBJ>(regular_)
                                                    : GetStockObject(SYSTEM_FONT));
            SIZE size{};
            GetTextExtentPoint32W(dc, label.Data(), label.Length(), &size);
            SelectObject(dc, old);
            ReleaseDC(button, dc);
            closeWidth = size.cx + size.cy;
        }
    }
    int32_t split = std::max<int32_t>(find.left + (edge - find.left) / 2, edge - closeWidth);
    // A find label longer than its half ("Rechercher le suivant") takes room from Close, down to
    // what Close's own label needs, so that both keep a margin inside their frames (the find
    // label a dialog's edge inset on either side, clear of its frame to the eye).
    const int32_t margin = fvt::DialogEdgeInset() + 2;
    const int32_t findNeed = TextWidthIn(GetItem(kOkKey), regular_) + 2 * fvt::DialogEdgeInset();
    const int32_t closeNeed = TextWidthIn(GetItem(kCloseButton), regular_) + margin;
    if (find.left + findNeed + 2 > split)
        split = std::min<int32_t>(find.left + findNeed + 2, edge - closeNeed - 2);
    MoveWindowTo(GetItem(kOkKey), find.left, find.top, split - 2, find.bottom);
    MoveWindowTo(GetItem(kCloseButton), split + 2, close.top, edge, close.bottom);
    RECT text = GetItemRect(window_, kTextItem);
    MoveWindowTo(GetItem(kTextItem), text.left, text.top, edge, text.bottom);
    FitFindButton();
}

bool FindDialog::OnStaticColour(HDC dc, HWND control) {
    int32_t id = ControlId(control);
    return (id == kOptionsToggle || id == kCloseButton) && SetActiveCaptionColour(dc);
}

// GoToPageDialog.

GoToPageDialog::GoToPageDialog(ReaderDialogState* state, int32_t pagesPerStep)
    : state_(state), step_(pagesPerStep < 1 ? 1 : pagesPerStep) {
    template_ = 185;
    title_ = 5386;
}

GoToPageDialog::~GoToPageDialog() {
    if (regular_) DeleteObject(regular_);
}

bool GoToPageDialog::Run(HWND owner, ReaderController* controller, bool leaveFullScreen) {
    // Without a laid-out page there is no page to go to.
    if (state_->PageCount() < 1) return false;
    bool ok = DialogPage::Run(owner, controller, leaveFullScreen);
    // Cancel puts the reader back where it was, when the dialog moved it.
    if (!ok && readerPage_ != startPage_) {
        if (startPage_ >= 1)
            state_->GoToPage(startPage_);
        else
            state_->ShowCover();
    }
    return ok;
}

void GoToPageDialog::OnInit() {
    if (regular_) DeleteObject(regular_);
    regular_ = CreateUiFont(window_);
    count_ = state_->PageCount();
    const int32_t current = state_->CurrentPage();
    page_ = current;
    if (page_ > count_) page_ = count_;
    if (page_ < 1) page_ = 1;
    // Opened on the cover, no page shows yet: any page chosen moves the reader, and Cancel
    // shows the cover again.
    startPage_ = current >= 1 ? page_ : 0;
    readerPage_ = startPage_;
    String of = ResString(kOfString);
    of.AppendChar(u' ');
    of.AppendUnsigned(static_cast<uint32_t>(count_), 10);
    SetItemText(1079, of);
    SetItemTextRes(1076, 5397);
    String last;
    last.AppendUnsigned(static_cast<uint32_t>(count_), 10);
    SetItemText(kLastLabel, last);
    SetItemText(kFirstLabel, String(u"1"));
    SetItemTextRes(kCancelKey, kCloseString);
    int32_t steps = (count_ - 1) / step_ + 1;
    SendItemMessage(kSlider, TBM_SETRANGE, TRUE, MAKELPARAM(1, steps));
    updating_ = true;
    SetItemInt(kNumberItem, static_cast<uint32_t>(page_));
    updating_ = false;
    SetPage(page_, false, false);
}

void GoToPageDialog::SetPage(int32_t page, bool updateField, bool move) {
    // Only a change moves the reader (a field notice may repeat the same number).
    if (ShowPage(page, updateField)) move = true;
    if (move) MoveReader();
}

bool GoToPageDialog::ShowPage(int32_t page, bool updateField) {
    if (page > count_) page = count_;
    if (page < 1) page = 1;
    const bool changed = page != page_;
    page_ = page;
    if (updateField) {
        updating_ = true;
        SetItemInt(kNumberItem, static_cast<uint32_t>(page));
        updating_ = false;
    }
    String title = ResString(title_);
    title.AppendChar(u' ');
    title.AppendUnsigned(static_cast<uint32_t>(page), 10);
    title.AppendChar(u' ');
    title.Append(ResString(kOfString));
    title.AppendChar(u' ');
    title.AppendUnsigned(static_cast<uint32_t>(count_), 10);
    SetItemText(kTitleItem, title);
    SendItemMessage(kSlider, TBM_SETPOS, TRUE, (page - 1) / step_ + 1);
    return changed;
}

void GoToPageDialog::MoveReader() {
    if (state_->GoToPage(page_)) readerPage_ = page_;
}

void GoToPageDialog::FollowPage() {
    if (readerPage_ != page_) MoveReader();
}

void GoToPageDialog::FollowPageWhenTypingPauses() {
    MSG waiting;
    if (!PeekMessageW(&waiting, nullptr, WM_KEYDOWN, WM_CHAR, PM_NOREMOVE)) {
        FollowPage();
        return;
    }
    // Each number passed on the way to the one being typed would be a jump of its own: the keys
    // already waiting are read first (the timer's message comes after them), then the reader
    // follows the number they make.
    if (!SetTimer(window_, kFollowTimer, 0, nullptr)) FollowPage();
}

void GoToPageDialog::OnEditChanged(int32_t id) {
    if (id != kNumberItem || updating_) return;
    bool ok = false;
    int32_t value = GetItemInt(kNumberItem, &ok);
    if (!ok) return;
    // The reader follows the number as it is typed, kept within the book; the field itself is
    // left as typed (rewriting it under the caret would turn "0" then "5" into "15"). The title
    // line shows the number at once.
    ShowPage(value, false);
    FollowPageWhenTypingPauses();
}

void GoToPageDialog::OnHScroll(WPARAM, LPARAM lParam) {
    if (ControlId(reinterpret_cast<HWND>(lParam)) != kSlider) return;
    auto s = static_cast<int32_t>(SendItemMessage(kSlider, TBM_GETPOS, 0, 0));
    int64_t page = static_cast<int64_t>(s - 1) * step_ + 1;
    if (page < 1 || page > count_) return;
    SetPage(static_cast<int32_t>(page), true, false);
}

RECT GoToPageDialog::LabelRect(int32_t id) {
    RECT r = GetItemRect(window_, id);
    HWND label = GetItem(id);
    if (!label) return r;
    String text;
    GetWindowString(label, text);
    HDC dc = GetDC(label);
    if (!dc) return r;
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.Data(), text.Length(), &size);
    if (old) SelectObject(dc, old);
    ReleaseDC(label, dc);
    // The right label's text is flush with its right edge.
    if (id == kLastLabel)
        r.left = r.right - size.cx;
    else
        r.right = r.left + size.cx;
    return r;
}

void GoToPageDialog::OnPointer(int32_t x, int32_t y, bool released) {
    if (!released) return;
    POINT p{x, y};
    for (int32_t id : {kFirstLabel, kLastLabel}) {
        RECT r = LabelRect(id);
        if (!PtInRect(&r, p)) continue;
        SetPage(id == kFirstLabel ? 1 : count_, true, false);
        End(1);
        return;
    }
}

void GoToPageDialog::OnLayout(int32_t left, int32_t, int32_t right, int32_t) {
    // Kept off the screen's edges as the template's controls are, at either resolution.
    const int32_t inset = fvt::DialogEdgeInset();
    left += inset;
    right -= inset;
    RECT button = GetItemRect(window_, kCancelKey);
    int32_t width = button.right - button.left;
    MoveWindowTo(GetItem(kCancelKey), right - width, button.top, right, button.bottom);
    RECT first = GetItemRect(window_, kFirstLabel);
    MoveWindowTo(GetItem(kFirstLabel), left, first.top, left + (first.right - first.left), first.bottom);
    RECT last = GetItemRect(window_, kLastLabel);
    MoveWindowTo(GetItem(kLastLabel), right - (last.right - last.left), last.top, right, last.bottom);
    RECT slider = GetItemRect(window_, kSlider);
    MoveWindowTo(GetItem(kSlider), left, slider.top, right, slider.bottom);
}

bool GoToPageDialog::OnOk() {
    bool ok = false;
    int32_t value = GetItemInt(kNumberItem, &ok);
    if (!ok) value = page_;
    SetPage(value, false, true);
    return true;
}

void GoToPageDialog::OnCommand(WPARAM, LPARAM) {}

void GoToPageDialog::OnTimer(UINT_PTR id) {
    if (id != kFollowTimer) return;
    KillTimer(window_, kFollowTimer);
    FollowPage();
}

bool GoToPageDialog::OnStaticColour(HDC dc, HWND control) {
    int32_t id = ControlId(control);
    return (id == kFirstLabel || id == kLastLabel || id == static_cast<int32_t>(kCancelKey)) &&
           SetActiveCaptionColour(dc);
}

// VolumeDialog.

VolumeDialog::VolumeDialog(ReaderDialogState* state) : state_(state) {
    template_ = 243;
    title_ = 5280;
}

VolumeDialog::~VolumeDialog() {
    if (regular_) DeleteObject(regular_);
}

int32_t VolumeDialog::PositionForVolume(uint32_t volume) {
    double share = static_cast<double>(volume & 0xFFFF) / 65535.0;
    return static_cast<int32_t>(kRange * share * share);
}

uint32_t VolumeDialog::VolumeForPosition(int32_t position) {
    if (position <= 0) return 0;
    double v = 65535.0 * std::sqrt(static_cast<double>(position) / kRange);
    if (v < 1.0 || v > 65535.0) return 0;
    return static_cast<uint32_t>(v);
}

void VolumeDialog::OnInit() {
    if (regular_) DeleteObject(regular_);
    regular_ = CreateUiFont(window_);
    SetItemFont(regular_, kCancelKey);
    SetItemTextRes(kCancelKey, kCloseString);
    volume_ = state_->GetVolume() & 0xFFFF;
    SendItemMessage(kSlider, TBM_SETRANGE, TRUE, MAKELPARAM(0, kRange));
    // An arrow moves the slider by a sixteenth, PageUp and PageDown by a quarter: steps a person
    // hears.
    SendItemMessage(kSlider, TBM_SETLINESIZE, 0, kRange / 16);
    SendItemMessage(kSlider, TBM_SETPAGESIZE, 0, kRange / 4);
    SendItemMessage(kSlider, TBM_SETPOS, TRUE, PositionForVolume(volume_));
    SetFocus(GetItem(kSlider));
    OnSettingChange();
}

void VolumeDialog::OnSettingChange() {
    // At the bottom of the view window, as high as the slider, above the input panel.
    HWND view = owner_;
    RECT area{};
    if (!view || !GetWindowRect(view, &area)) return;
    RECT slider = GetItemRect(window_, kSlider);
    RECT button = GetItemRect(window_, kCancelKey);
    int32_t height = (button.bottom > slider.bottom ? button.bottom : slider.bottom) + 5;
    int32_t bottom = area.bottom;
    Rect panel;
    if (InputPanel::GetInfo(&panel) && panel.height > 0 && panel.y < bottom) bottom = panel.y;
    MoveWindow(window_, area.left, bottom - height, area.right - area.left, height, TRUE);
}

void VolumeDialog::OnLayout(int32_t left, int32_t, int32_t right, int32_t) {
    const int32_t inset = fvt::DialogEdgeInset();
    RECT button = GetItemRect(window_, kCancelKey);
    int32_t width = button.right - button.left;
    MoveWindowTo(GetItem(kCancelKey), right - inset - width, button.top, right - inset,
                 button.bottom);
    RECT slider = GetItemRect(window_, kSlider);
    MoveWindowTo(GetItem(kSlider), left + inset, slider.top, right - inset, slider.bottom);
}

void VolumeDialog::Apply() {
    auto position = static_cast<int32_t>(SendItemMessage(kSlider, TBM_GETPOS, 0, 0));
    uint32_t volume = VolumeForPosition(position);
    if (volume == 0) return;
    volume_ = volume;
    state_->SetVolume(volume);
}

void VolumeDialog::OnHScroll(WPARAM, LPARAM lParam) {
    if (ControlId(reinterpret_cast<HWND>(lParam)) == kSlider) Apply();
}

void VolumeDialog::OnFocus() {
    SetFocus(GetItem(kSlider));
}

bool VolumeDialog::OnOk() {
    Apply();
    return true;
}

bool VolumeDialog::OnStaticColour(HDC dc, HWND control) {
    return ControlId(control) == static_cast<int32_t>(kCancelKey) && SetActiveCaptionColour(dc);
}

// TextEntryDialog.

TextEntryDialog::TextEntryDialog(ReaderDialogState* state, uint32_t mode, String& text)
    : state_(state), mode_(mode), text_(text) {
    template_ = 189;
    switch (mode) {
        case kNoteMode:
            title_ = kAddNoteTitle;
            break;
        case kModificationMode:
            title_ = kModifyTitle;
            break;
        case kLinkMode:
            title_ = kAddLinkTitle;
            break;
        case kWordMode:
            title_ = kAddWordTitle;
            break;
        default:
            break;
    }
}

void TextEntryDialog::OnInit() {
    MakeMultiLine(kEditItem);
    SetItemText(kEditItem, text_);
    SetFocus(GetItem(kEditItem));
    InputPanel::Show(true);
}

void TextEntryDialog::OnSettingChange() {
    RunLayout();
}

void TextEntryDialog::OnLayout(int32_t, int32_t, int32_t right, int32_t bottom) {
    RECT title = GetItemRect(window_, kTitleItem);
    RECT edit = GetItemRect(window_, kEditItem);
    Rect panel;
    if (InputPanel::GetInfo(&panel) && panel.height > 0) bottom -= panel.height;
    int32_t top = title.bottom + 6 + 11;
    if (bottom < top) bottom = top;
    MoveWindowTo(GetItem(kEditItem), edit.left, top, right, bottom);
}

bool TextEntryDialog::OnOk() {
    String text;
    // The whole text, however long.
    if (GetItemText(kEditItem, text)) {
        text_.Assign(text);
        state_->ClearCurrentBlockMarks();
    } else {
        text_.SetEmpty();
    }
    return true;
}

// MemoryInfoDialog.

MemoryInfoDialog::MemoryInfoDialog(ReaderDialogState* state) : state_(state) {
    template_ = 211;
    title_ = 5082;
}

MemoryInfoDialog::~MemoryInfoDialog() {
    if (images_) ImageList_Destroy(images_);
}

String MemoryInfoDialog::FormatBytes(uint64_t bytes) {
    uint64_t kb = bytes / 1024;
    if (kb > 0xFFFFFFFFu) kb = 0xFFFFFFFFu;
    return FormatSizeOrDuration(static_cast<uint32_t>(kb), SizeOrDurationKind::kKilobytes);
}

void MemoryInfoDialog::OnInit() {
    SetItemTextRes(1105, 5350);
    SetItemTextRes(1106, 5433);
    SetItemTextRes(1107, 5434);
    images_ = CreateImageList(2);
    int32_t cardIcon = ImageListAddIcon(images_, 213);
    int32_t memoryIcon = ImageListAddIcon(images_, 212);
    SendItemMessage(kListItem, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images_));
    uint32_t major = 0, minor = 0;
    bool old = GetOsVersion(major, minor) && major * 100 + minor < 420;
    DWORD extended = old ? 0x10000022 : 0x30000022;
    SendItemMessage(kListItem, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    for (int column = 0; column < 3; ++column) {
        LVCOLUMNW c{};
        SendItemMessage(kListItem, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&c));
    }
    uint64_t freeSum = 0;
    int32_t n = state_->StorageCount();
    for (int32_t i = 0, row = 0; i < n; ++i) {
        String name;
        uint64_t freeBytes = 0, totalBytes = 0;
        if (!state_->StorageInfo(i, name, freeBytes, totalBytes)) continue;
        freeSum += freeBytes;
        String cells[3] = {name, FormatBytes(freeBytes), FormatBytes(totalBytes)};
        ReportListAddRow(GetItem(kListItem), row, cells, 3, 0, i == 0 ? memoryIcon : cardIcon);
        ++row;
    }
    String line = ResString(5435);
    line.AppendAscii(" : ");
    line.Append(FormatBytes(freeSum));
    SetItemText(kFreeLine, line);
    uint32_t books = 0;
    uint64_t bookBytes = 0;
    state_->BookTotals(books, bookBytes);
    String used = ResString(5436);
    used.AppendAscii(" : ");
    used.Append(FormatBytes(bookBytes));
    used.AppendAscii(" (");
    used.AppendUnsigned(books, 10);
    used.AppendChar(u' ');
    used.Append(ResString(books == 1 ? 5931 : 5932));
    used.AppendChar(u')');
    SetItemText(kBooksLine, used);
    ReportListSelect(GetItem(kListItem), 0);
    RunLayout();
}

void MemoryInfoDialog::OnLayout(int32_t, int32_t, int32_t right, int32_t bottom) {
    RECT list = GetItemRect(window_, kListItem);
    int32_t width = right - list.left;
    int32_t third = width / 3;
    SendItemMessage(kListItem, LVM_SETCOLUMNWIDTH, 0, width - 2 * third);
    SendItemMessage(kListItem, LVM_SETCOLUMNWIDTH, 1, third);
    SendItemMessage(kListItem, LVM_SETCOLUMNWIDTH, 2, third);
    // The three labels head the list's columns, on one line above it.
    RECT label = GetItemRect(window_, 1105);
    int32_t height = label.bottom - label.top;
    int32_t x = list.left;
    int32_t columns[] = {width - 2 * third, third, third};
    for (int32_t i = 0; i < 3; ++i) {
        MoveWindowTo(GetItem(1105 + i), x, list.top - height - 2, x + columns[i], list.top - 2);
        x += columns[i];
    }
    MoveWindowTo(GetItem(kListItem), list.left, list.top, right, list.bottom);
    // The two total lines may wrap: they share the room under the list.
    RECT freeLine = GetItemRect(window_, kFreeLine);
    int32_t lineTop = freeLine.top;
    int32_t lineHeight = (bottom - lineTop) / 2;
    if (lineHeight > 2 * height + 2) lineHeight = 2 * height + 2;
    if (lineHeight < height) lineHeight = height;
    MoveWindowTo(GetItem(kFreeLine), list.left, lineTop, right, lineTop + lineHeight);
    MoveWindowTo(GetItem(kBooksLine), list.left, lineTop + lineHeight, right, lineTop + 2 * lineHeight);
}
