#include "shell_ui/dialog_page.h"

#include <algorithm>
#include <string>
#include <vector>

#include "core/platform_helpers.h"
#include "core/resources.h"
#include "graphics/core/drawing_surface.h"
#include "platform/gdi.h"
#include "platform/resources/device_resources.h"
#include "platform/window/keys.h"
#include "reader/reader_controller.h"
#include "reader/reader_host.h"
#include "reader/reader_settings.h"
#include "shell_ui/dialog_helpers.h"

namespace {

constexpr int32_t kCaptionLimit = 50;
// The title line's bold font is the interface font's size; a title too long for it may go
// down to the smallest size still read at a glance (7 points: the French "Add / Remove reading
// lists" needs it on the large screen).
constexpr int32_t kTitlePoints = 11;
constexpr int32_t kSmallestTitlePoints = 7;
constexpr uint32_t kOkString = 5012;
constexpr const char16_t* kProductCaption = u"Folivant Reader";

std::vector<HWND>& DialogStack() {
    static auto* stack = new std::vector<HWND>;
    return *stack;
}

void Forget(HWND window) {
    auto& stack = DialogStack();
    stack.erase(std::remove(stack.begin(), stack.end(), window), stack.end());
}

ReaderShell*& Shell() {
    static ReaderShell* shell = nullptr;
    return shell;
}

uint32_t& SheetTitleId() {
    static uint32_t id = 0;
    return id;
}

int32_t OsVersionNumber() {
    uint32_t major = 0, minor = 0;
    if (!GetOsVersion(major, minor)) return 0;
    return static_cast<int32_t>(major * 100 + minor);
}

HWND CaptionWindow(ReaderController* controller, HWND owner) {
    if (controller && controller->GetDrawingSurface() && controller->GetDrawingSurface()->Window())
        return controller->GetDrawingSurface()->Window();
    return owner;
}

// Saves a window's caption (at most 50 characters) and shows the product's instead.
struct CaptionSwap {
    HWND window = nullptr;
    std::u16string saved;
    void Take(HWND w) {
        window = w;
        if (!w) return;
        char16_t buffer[kCaptionLimit + 1] = {};
        GetWindowTextW(w, buffer, kCaptionLimit + 1);
        saved = buffer;
        SetWindowTextW(w, kProductCaption);
    }
    void Restore() {
        if (window && IsWindow(window)) SetWindowTextW(window, saved.c_str());
    }
};

// A modal dialog takes the focus from the drawing surface's widgets, so that no focused widget
// keeps its focus box or takes keys meanwhile; they get it back when the surface window is
// focused again afterwards (else its next focus notice gives it back).
struct SurfaceFocus {
    NodeRef surface;
    void Take(ReaderController* controller) {
        DrawingSurface* s = controller ? controller->GetDrawingSurface() : nullptr;
        if (!s) return;
        surface.Set(s);
        s->ClearFocus();
    }
    void GiveBack() {
        auto* s = static_cast<DrawingSurface*>(surface.Get());
        if (s && s->Window() && GetFocus() == s->Window()) s->RestoreFocus(nullptr);
        surface.Reset();
    }
};

}  // namespace

// DialogPage.

DialogPage::DialogPage() = default;

DialogPage::~DialogPage() {
    if (window_ && IsWindow(window_)) {
        // No operation of this page may run while it is being destroyed.
        SetWindowLongPtrW(window_, DWL_USER, 0);
        HWND window = window_;
        Forget();
        if (modeless_) DestroyWindow(window);
    }
    bar_.Destroy();
    if (font_) DeleteObject(font_);
    if (titleFont_) DeleteObject(titleFont_);
}

void DialogPage::SetShell(ReaderShell* shell) {
    Shell() = shell;
}

HWND DialogPage::CurrentDialog() {
    auto& stack = DialogStack();
    while (!stack.empty() && !IsWindow(stack.back())) stack.pop_back();
    return stack.empty() ? nullptr : stack.back();
}

size_t DialogPage::OpenDialogCount() {
    CurrentDialog();
    return DialogStack().size();
}

void DialogPage::ReactivateModeless() {
    HWND window = CurrentDialog();
    if (!window) return;
    EnableWindow(window, TRUE);
    SetForegroundWindow(window);
    SetActiveWindow(window);
    SetFocus(window);
}

bool DialogPage::Run(HWND owner, ReaderController* controller, bool leaveFullScreen) {
    controller_ = controller;
    CaptionSwap caption;
    if (!modeless_) caption.Take(CaptionWindow(controller, owner));
    owner_ = owner;
    ReaderSettings* settings = controller ? controller->GetSettings() : nullptr;
    leftFullScreen_ = false;
    if (leaveFullScreen && settings && settings->fullScreen && Shell())
        leftFullScreen_ = Shell()->SetFullScreen(false);
    bool result = false;
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(template_ & 0xFFFF), MAKEINTRESOURCEW(RT_DIALOG));
    auto* dialog = found ? static_cast<LPCDLGTEMPLATEW>(LockResource(LoadResource(nullptr, found))) : nullptr;
    if (modeless_) {
        HWND window = dialog ? CreateDialogIndirectParamW(nullptr, dialog, owner, Procedure,
                                                          reinterpret_cast<LPARAM>(this))
                             : nullptr;
        // A modeless page puts the bar and full screen back when its window goes.
        if (window) return true;
        Restore();
        return false;
    }
    SurfaceFocus focus;
    if (dialog) {
        focus.Take(controller);
        result = DialogBoxIndirectParamW(nullptr, dialog, owner, Procedure, reinterpret_cast<LPARAM>(this)) > 0;
    }
    Restore();
    InputPanel::Show(false);
    caption.Restore();
    focus.GiveBack();
    return result;
}

void DialogPage::Restore() {
    if (!embedded_ || leftFullScreen_) bar_.Show(false);
    if (leftFullScreen_ && Shell()) Shell()->SetFullScreen(true);
    leftFullScreen_ = false;
}

void DialogPage::Forget() {
    ::Forget(window_);
}

void DialogPage::End(INT_PTR result) {
    if (!window_) return;
    Forget();
    if (modeless_)
        DestroyWindow(window_);
    else
        EndDialog(window_, result);
}

bool DialogPage::SwitchToPage(int32_t page) {
    if (!window_ || page < 0 || !OnOk()) return false;
    pageSwitch_ = page;
    End(1);
    return true;
}

int32_t DialogPage::TakePageSwitch() {
    int32_t page = pageSwitch_;
    pageSwitch_ = -1;
    return page;
}

void DialogPage::RunLayout() {
    RECT r{};
    if (!window_ || !GetClientRect(window_, &r)) return;
    // A long title (French) takes the whole width.
    if (HWND title = GetItem(kTitleItem)) {
        RECT t = GetItemRect(window_, kTitleItem);
        if (r.right - 2 > t.right) MoveWindowTo(title, t.left, t.top, r.right - 2, t.bottom);
        FitTitle();
    }
    OnLayout(r.left, r.top, r.right, r.bottom);
}

// The title is one line: one too long for the page's bold font (a French title on the large
// screen, whose font grows a little more than the page) takes a smaller bold font rather than
// lose its last words.
void DialogPage::FitTitle() {
    HWND title = GetItem(kTitleItem);
    if (!title || !font_) return;
    WCHAR text[256] = {};
    const int length = GetWindowTextW(title, text, 256);
    const RECT t = GetItemRect(window_, kTitleItem);
    HDC dc = GetDC(title);
    if (!dc) return;
    auto fits = [&](HFONT font) {
        HGDIOBJ old = SelectObject(dc, font);
        RECT need{0, 0, 0, 0};
        DrawTextW(dc, text, length, &need, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        SelectObject(dc, old);
        return need.right - need.left <= t.right - t.left;
    };
    HFONT chosen = nullptr;
    if (length > 0 && !fits(font_)) {
        for (int32_t points = kTitlePoints - 1; points >= kSmallestTitlePoints && !chosen;
             --points) {
            HFONT smaller = CreateUiFont(window_, points, nullptr, true);
            if (smaller && (fits(smaller) || points == kSmallestTitlePoints))
                chosen = smaller;
            else if (smaller)
                DeleteObject(smaller);
        }
    }
    ReleaseDC(title, dc);
    SetItemFont(chosen ? chosen : font_, kTitleItem);
    if (titleFont_) DeleteObject(titleFont_);
    titleFont_ = chosen;
}

INT_PTR DialogPage::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* page = reinterpret_cast<DialogPage*>(lParam);
        return page && page->InitDialog(window) ? 1 : 0;
    }
    auto* page = reinterpret_cast<DialogPage*>(GetWindowLongPtrW(window, DWL_USER));
    if (!page) return 0;
    if (message == WM_DESTROY) {
        page->Forget();
        SetWindowLongPtrW(window, DWL_USER, 0);
        page->window_ = nullptr;
        if (page->modeless_) {
            // What a modal run does on its return, a modeless page does when it goes.
            page->Restore();
            InputPanel::Show(false);
        }
        return 0;
    }
    return page->Dispatch(message, wParam, lParam);
}

std::u16string DialogPage::CaptionText(uint32_t id) {
    const char16_t* text = id ? LoadResString(id) : nullptr;
    std::u16string caption = text ? text : u"";
    // Several titles are also menu texts ("Properties..."): a caption names what is open, so the
    // menu's "more follows" dots go.
    if (caption.size() >= 3 && caption.compare(caption.size() - 3, 3, u"...") == 0)
        caption.resize(caption.size() - 3);
    else if (!caption.empty() && caption.back() == u'\u2026')
        caption.pop_back();
    while (!caption.empty() && caption.back() == u' ') caption.pop_back();
    return caption.empty() && text ? std::u16string(text) : caption;
}

bool DialogPage::InitDialog(HWND window) {
    window_ = window;
    if (!(modeless_ && embedded_)) DialogStack().push_back(window);
    SetWindowLongPtrW(window, DWL_USER, reinterpret_cast<LONG_PTR>(this));
    if (!embedded_ || ownBar_) {
        if (bar_.Create(window, menu_ ? menu_ : kDefaultMenu, this)) {
            if (!menu_) bar_.SetButtonText(kOkKey, kOkString);
            bar_.Show(true);
        }
    }
    const std::u16string caption = CaptionText(title_);
    const char16_t* title = title_ && !caption.empty() ? caption.c_str() : nullptr;
    if (title) SetWindowTextW(window, title);
    if (font_) DeleteObject(font_);
    font_ = CreateUiFont(window, 0, nullptr, true);
    if (!embedded_) {
        SHINITDLGINFO info{SHIDIM_FLAGS, window, SHIDIF_SIZEDLGFULLSCREEN};
        SHInitDialog(&info);
    }
    if (title) SetDlgItemTextW(window, kTitleItem, title);
    FitTitle();
    OnInit();
    return true;
}

INT_PTR DialogPage::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            return OnCommandMessage(wParam, lParam);
        case WM_NOTIFY:
            return lParam ? OnNotify(*reinterpret_cast<const NMHDR*>(lParam), lParam) : 0;
        case WM_CTLCOLORSTATIC: {
            auto dc = reinterpret_cast<HDC>(wParam);
            auto control = reinterpret_cast<HWND>(lParam);
            if (GetDlgCtrlID(control) == kTitleItem)
                SetTextColor(dc, GetSysColor(COLOR_ACTIVECAPTION));
            else if (!OnStaticColour(dc, control))
                return 0;
            SetBkColor(dc, GetSysColor(COLOR_STATIC));
            return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
        }
        case WM_PAINT:
            PaintTitleLine();
            return 1;
        case WM_SIZE:
            RunLayout();
            return 0;
        case WM_SETTINGCHANGE:
            OnSettingChange();
            RunLayout();
            return 0;
        case WM_SETFOCUS:
            OnFocus();
            return 0;
        case WM_DRAWITEM:
            OnDrawItem(wParam, lParam);
            return 1;
        case WM_HSCROLL:
            OnHScroll(wParam, lParam);
            return 0;
        case WM_TIMER:
            OnTimer(wParam);
            return 0;
        case WM_KEYDOWN:
            OnKeyDown(wParam, lParam);
            return 0;
        case WM_KEYUP:
            OnKeyUp(wParam, lParam);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
            OnPointer(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam),
                      message == WM_LBUTTONUP || message == WM_RBUTTONUP);
            return 0;
        case WM_HOTKEY:
            // Each press comes twice; the second carries MOD_KEYUP.
            if (!(LOWORD(static_cast<DWORD_PTR>(lParam)) & MOD_KEYUP)) {
                hotKeyDown_ = HIWORD(static_cast<DWORD_PTR>(lParam));
                OnKey(hotKeyDown_);
            } else {
                hotKeyDown_ = 0;
            }
            SHSendBackToFocusWindow(message, wParam, lParam);
            return 1;
        default:
            return 0;
    }
}

INT_PTR DialogPage::OnCommandMessage(WPARAM wParam, LPARAM lParam) {
    OnCommand(wParam, lParam);
    if (!window_) return 1;  // the page ended itself
    UINT id = LOWORD(wParam);
    UINT code = HIWORD(wParam);
    if (id == IDOK || id == kOkKey) {
        // A button with id 1 is not the OK command.
        if (lParam && id != kOkKey) return 1;
        if (!OnOk()) return 1;
        End(1);
        return 1;
    }
    if (id == IDCANCEL || id == kCancelKey) {
        End(0);
        return 1;
    }
    if (!editNotices_ || !lParam) return 0;
    auto control = reinterpret_cast<HWND>(lParam);
    if (code == EN_SETFOCUS) {
        if (GetWindowLongPtrW(control, GWL_STYLE) & ES_READONLY) return 0;
        if (IsWindowVisible(window_) && (!embedded_ || modeless_ || GetFocus() == window_))
            InputPanel::Show(true);
    } else if (code == EN_KILLFOCUS) {
        HWND focus = GetFocus();
        if (!embedded_ || (focus != window_ && !IsChild(window_, focus))) InputPanel::Show(false);
    } else if (code == kEditChanged) {
        OnEditChanged(static_cast<int32_t>(id));
    }
    return 0;
}

INT_PTR DialogPage::OnNotify(const NMHDR& header, LPARAM lParam) {
    switch (header.code) {
        case UDN_DELTAPOS:
            OnUpDown(*reinterpret_cast<const NMUPDOWN*>(lParam));
            return 0;
        case LVN_ENDLABELEDITW:
            OnEndLabelEdit(header.idFrom, lParam);
            return 0;
        case LVN_BEGINLABELEDITW:
            return 0;
        case LVN_KEYDOWN: {
            const UINT key = reinterpret_cast<const NMLVKEYDOWN*>(lParam)->wVKey;
            // A hardware button held as the page's hot key came as that already.
            if (key != 0 && (key & 0xFF) == (hotKeyDown_ & 0xFF)) return 0;
            OnKey(key);
            return 0;
        }
        case LVN_ITEMCHANGED:
            OnItemChanged(*reinterpret_cast<const NMLISTVIEW*>(lParam));
            return 0;
        case NM_CLICK:
        case NM_DBLCLK:
            OnRowTapped(*reinterpret_cast<const NMITEMACTIVATE*>(lParam));
            return 0;
        case NM_CUSTOMDRAW: {
            auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(lParam);
            LRESULT answer = CDRF_DODEFAULT;
            DWORD stage = draw->nmcd.dwDrawStage;
            if (stage == CDDS_PREPAINT || stage == CDDS_ITEMPREPAINT) {
                answer = CDRF_NOTIFYITEMDRAW;
            } else if (stage == (CDDS_ITEMPREPAINT | CDDS_SUBITEM)) {
                // Older systems draw report rows without stripes: every second row is tinted.
                bool marked = (draw->nmcd.uItemState & (CDIS_SELECTED | CDIS_FOCUS)) != 0;
                if (OsVersionNumber() < 420 && !marked && draw->nmcd.dwItemSpec % 2 == 0)
                    draw->clrTextBk = 0xFFD7D7;
                answer = CDRF_NOTIFYPOSTPAINT;
            }
            SetWindowLongPtrW(window_, DWL_MSGRESULT, answer);
            return 1;
        }
        default:
            return 0;
    }
}

void DialogPage::PaintTitleLine() {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window_, &paint);
    if (!dc) return;
    RECT client{};
    GetClientRect(window_, &client);
    RECT title = GetItemRect(window_, kTitleItem);
    int width = GetDeviceCaps(dc, LOGPIXELSY) / 96;
    HPEN pen = CreatePen(PS_SOLID, width < 1 ? 1 : width, RGB(0, 0, 0));
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, client.left, title.bottom + 6, nullptr);
    LineTo(dc, client.right, title.bottom + 6);
    SelectObject(dc, old);
    DeleteObject(pen);
    OnPaint(dc);
    EndPaint(window_, &paint);
}

int32_t DialogPage::BelowTitleLine() const {
    if (!window_ || !GetItem(kTitleItem)) return 0;
    RECT title = GetItemRect(window_, kTitleItem);
    HDC dc = GetDC(window_);
    const int width = dc ? std::max(1, GetDeviceCaps(dc, LOGPIXELSY) / 96) : 1;
    if (dc) ReleaseDC(window_, dc);
    return title.bottom + 6 + width;
}

// Item operations.

HWND DialogPage::GetItem(int32_t id) const {
    return window_ ? GetDlgItem(window_, id) : nullptr;
}

void DialogPage::SetItemFont(HFONT font, int32_t id) {
    SendItemMessage(id, WM_SETFONT, reinterpret_cast<WPARAM>(font), 1);
}

LRESULT DialogPage::SendItemMessage(int32_t id, UINT message, WPARAM wParam, LPARAM lParam) {
    return window_ ? SendDlgItemMessageW(window_, id, message, wParam, lParam) : 0;
}

bool DialogPage::SetItemText(int32_t id, const String& text) {
    return ::SetItemText(window_, id, text);
}

bool DialogPage::SetItemTextRes(int32_t id, uint32_t stringId) {
    return ::SetItemTextRes(window_, id, stringId);
}

bool DialogPage::SetItemInt(int32_t id, uint32_t value) {
    return window_ && SetDlgItemInt(window_, id, value, FALSE);
}

bool DialogPage::GetItemText(int32_t id, String& out) const {
    ::GetItemText(window_, id, out);
    return !out.IsEmpty();
}

bool DialogPage::GetItemText(int32_t id, String& out, int32_t limit) const {
    GetItemText(id, out);
    if (out.Length() > limit) out.AssignSub(String(out), 0, limit);
    return !out.IsEmpty();
}

int32_t DialogPage::GetItemInt(int32_t id, bool* ok) const {
    BOOL translated = FALSE;
    auto value = static_cast<int32_t>(GetDlgItemInt(window_, id, &translated, TRUE));
    if (ok) *ok = translated != 0;
    return value;
}

int32_t DialogPage::ListAdd(int32_t id, const String& text) {
    if (text.IsEmpty()) return -1;
    std::u16string z = Terminated(text);
    return static_cast<int32_t>(SendItemMessage(id, LB_INSERTSTRING, static_cast<WPARAM>(-1),
                                                reinterpret_cast<LPARAM>(z.c_str())));
}

int32_t DialogPage::ListCount(int32_t id) {
    return static_cast<int32_t>(SendItemMessage(id, LB_GETCOUNT, 0, 0));
}

int32_t DialogPage::ListGetSel(int32_t id) {
    return static_cast<int32_t>(SendItemMessage(id, LB_GETCURSEL, 0, 0));
}

bool DialogPage::ListSetSel(int32_t id, int32_t index) {
    return SendItemMessage(id, LB_SETCURSEL, static_cast<WPARAM>(index), 0) != -1;
}

bool DialogPage::IsChecked(int32_t id) {
    return (SendItemMessage(id, BM_GETSTATE, 0, 0) & 1) != 0;
}

void DialogPage::SetChecked(int32_t id, bool checked) {
    SendItemMessage(id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void DialogPage::EnableItem(int32_t id, bool enabled) {
    if (HWND item = GetItem(id)) EnableWindow(item, enabled ? TRUE : FALSE);
}

void DialogPage::ShowItem(int32_t id, bool shown) {
    if (HWND item = GetItem(id)) ShowWindow(item, shown ? SW_SHOW : SW_HIDE);
}

void DialogPage::AddItemStyle(int32_t id, DWORD style) {
    if (HWND item = GetItem(id))
        SetWindowLongPtrW(item, GWL_STYLE, GetWindowLongPtrW(item, GWL_STYLE) | static_cast<LONG_PTR>(style));
}

void DialogPage::MakeMultiLine(int32_t id) {
    AddItemStyle(id, WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN);
}

void DialogPage::InvalidateItem(int32_t id) {
    RECT r = GetItemRect(window_, id);
    if (window_) InvalidateRect(window_, &r, TRUE);
}

// PropertySheet.

PropertySheet::PropertySheet() {
    SheetTitleId() = 0;
}

PropertySheet::~PropertySheet() { SheetTitleId() = 0; }

uint32_t PropertySheet::SheetTitle() {
    return SheetTitleId();
}

void PropertySheet::SetSheetTitle(uint32_t stringId) {
    SheetTitleId() = stringId;
}

void PropertySheet::Append(std::unique_ptr<DialogPage> page) {
    if (!page) return;
    page->SetNext(nullptr);
    if (!pages_.empty()) pages_.back()->SetNext(page.get());
    pages_.push_back(std::move(page));
}

bool PropertySheet::RunModal(HWND owner, ReaderController* controller, bool leaveFullScreen) {
    CaptionSwap caption;
    caption.Take(CaptionWindow(controller, owner));
    PropertySheetHost host(FirstPage(), SheetTitleId(), leaveFullScreen);
    SurfaceFocus focus;
    focus.Take(controller);
    bool result = host.Run(owner, controller, leaveFullScreen);
    caption.Restore();
    focus.GiveBack();
    return result;
}

// PropertySheetHost.

PropertySheetHost::PropertySheetHost(DialogPage* first, uint32_t title, bool leaveFullScreen)
    : first_(first), leaveFullScreen_(leaveFullScreen) {
    template_ = 504;
    menu_ = 505;
    title_ = title;
}

PropertySheetHost::~PropertySheetHost() {
    if (listFont_) DeleteObject(listFont_);
}

void PropertySheetHost::OnInit() {
    bar_.SetButtonText(kDoneKey, 5012);
    if (listFont_) DeleteObject(listFont_);
    listFont_ = CreateUiFont(window_, 11, u"Nina", true);
    DWORD extended = OsVersionNumber() < 420 ? 0x10000060 : 0x30000060;
    SendItemMessage(kListItem, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    SetItemFont(listFont_, kListItem);
    for (int column = 0; column < 2; ++column) {
        LVCOLUMNW c{};
        c.mask = 0;
        SendItemMessage(kListItem, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&c));
    }
    int32_t row = 0;
    for (DialogPage* page = first_; page; page = page->Next(), ++row) {
        String cells[2];
        cells[0].AppendUnsigned(static_cast<uint32_t>(row + 1), 10);
        if (page->Title()) {
            const std::u16string title = CaptionText(page->Title());
            cells[1] = String(title.c_str());
        }
        ReportListAddRow(GetItem(kListItem), row, cells, 2, reinterpret_cast<LPARAM>(page), -1);
    }
    SetFocus(GetItem(kListItem));
    SelectRow(0);
    // The columns exist only now: size them.
    RunLayout();
}

DialogPage* PropertySheetHost::PageAt(int32_t row) {
    if (row < 0) return nullptr;
    DialogPage* page = first_;
    for (int32_t i = 0; page && i < row; ++i) page = page->Next();
    return page;
}

int32_t PropertySheetHost::SelectedRow() {
    return static_cast<int32_t>(SendItemMessage(kListItem, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void PropertySheetHost::SelectRow(int32_t row) {
    ReportListSelect(GetItem(kListItem), row);
}

void PropertySheetHost::OnRowTapped(const NMITEMACTIVATE& row) {
    // A row opens its page as a row of the library opens its book: by a tap (a double tap's
    // first tap does it already).
    if (row.hdr.idFrom != kListItem || !PageAt(row.iItem)) return;
    SelectRow(row.iItem);
    OpenPage(row.iItem);
}

void PropertySheetHost::OnKey(UINT key) {
    if (key < '1' || key > '9') return;
    int32_t row = static_cast<int32_t>(key - '1');
    if (!PageAt(row)) return;
    SelectRow(row);
    OpenPage(row);
}

bool PropertySheetHost::OpenPage(int32_t row) {
    DialogPage* page = PageAt(row);
    if (!page) return false;
    bar_.Show(false);
    page->TakePageSwitch();
    page->Run(owner_, Controller(), false);
    // A page may end asking for another page of the sheet (the page of its row opens next).
    for (int32_t next = page->TakePageSwitch(); window_ && PageAt(next); next = page->TakePageSwitch()) {
        SelectRow(next);
        page = PageAt(next);
        page->TakePageSwitch();
        page->Run(owner_, Controller(), false);
    }
    if (!window_) return true;
    bar_.Show(true);
    SetFocus(GetItem(kListItem));
    return true;
}

void PropertySheetHost::OnLayout(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    HWND list = GetItem(kListItem);
    if (!list) return;
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    RECT r = GetItemRect(window_, kListItem);
    MoveWindowTo(list, left, r.top > top ? r.top : top, right, bottom);
    // The number column is 20 pixels on the 96-dpi screen and grows with the dpi, as its font does.
    HDC dc = GetDC(window_);
    const int32_t dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
    if (dc) ReleaseDC(window_, dc);
    const int32_t number = 20 * std::max<int32_t>(dpi, 96) / 96;
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, number);
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 1, (right - left) - number);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
}

void PropertySheetHost::OnCommand(WPARAM wParam, LPARAM) {
    UINT id = LOWORD(wParam);
    if (id == IDOK) {
        OpenPage(SelectedRow());
    } else if (id == kDoneKey) {
        End(1);
    }
}
