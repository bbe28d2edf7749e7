#include "shell_ui/list_window.h"

#include <algorithm>
#include <cstring>

#include "core/letter_order.h"
#include "core/resources.h"
#include "platform/kernel/modules.h"
#include "platform/kernel/system_info.h"
#include "shell_ui/dialog_helpers.h"

namespace {

constexpr const WCHAR* kHostClass = u"FAKE";
constexpr uint32_t kEmptyListText = 5222;
// The most of a row's width the sort value beside the title may take, in percent.
constexpr LONG kSortValueShare = 40;
constexpr DWORD kListStyle = WS_CHILD | WS_BORDER | WS_VSCROLL | LVS_REPORT | LVS_SINGLESEL |
                             LVS_SHOWSELALWAYS | LVS_NOCOLUMNHEADER;
constexpr DWORD kExStyle = LVS_EX_FULLROWSELECT | LVS_EX_ONECLICKACTIVATE | LVS_EX_NOHSCROLL;

// True when the OS is 4.20 or later, or says nothing.
bool IsNewShell() {
    OSVERSIONINFOW v{};
    v.dwOSVersionInfoSize = sizeof(v);
    if (!GetVersionExW(&v)) return true;
    return v.dwMajorVersion > 4 || (v.dwMajorVersion == 4 && v.dwMinorVersion >= 20);
}

void CopyBounded(char16_t* to, const char16_t* from) {
    int32_t i = 0;
    for (; from && from[i] && i < TitleStrip::kMaxText; ++i) to[i] = from[i];
    to[i] = 0;
}

}  // namespace

ListWindow::~ListWindow() {
    if (sortMenu) DestroyMenu(sortMenu);
    if (filterMenu) DestroyMenu(filterMenu);
    if (contextMenu) DestroyMenu(contextMenu);
    if (list && IsWindow(list)) {
        // The list goes before the fonts it draws with; its notices must not reach this object.
        if (previousListProc)
            SetWindowLongPtrW(list, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(previousListProc));
        SetWindowLongPtrW(list, GWL_USERDATA, 0);
    }
    if (host && IsWindow(host)) {
        SetWindowLongPtrW(host, GWL_USERDATA, 0);
        DestroyWindow(host);
    }
    if (boldFont) DeleteObject(boldFont);
    if (normalFont) DeleteObject(normalFont);
}

void ListWindow::Init(HWND parentWindow, uint32_t base, bool withThumbnails) {
    parent = parentWindow;
    commandBase = base;
    thumbnails = withThumbnails ? 1 : 0;
}

bool ListWindow::CreateListView() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &ListWindow::HostProc;
    wc.hInstance = instance;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kHostClass;
    RegisterClassW(&wc);  // already there after the first list window
    HWND made = CreateWindowExW(0, kHostClass, nullptr, WS_CHILD, 0, 0, 0, 0, parent, nullptr,
                                instance, this);
    if (!made) return false;
    list = CreateWindowExW(0, WC_LISTVIEWW, nullptr, kListStyle, 0, 0, 0, 0, host,
                           reinterpret_cast<HMENU>(static_cast<UINT_PTR>(commandBase)), instance,
                           nullptr);
    if (!list) return false;
    HIMAGELIST images = thumbnails && largeImages ? largeImages : smallImages;
    if (images) SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
    DWORD ex = IsNewShell() ? (kExStyle | LVS_EX_GRADIENT) : kExStyle;
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(ex));
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.cx = 100;
    column.pszText = const_cast<LPWSTR>(u"");
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    SetWindowLongPtrW(list, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
    previousListProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(list, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&ListWindow::ListProc)));
    if (normalFont) SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(normalFont), 0);
    return true;
}

void ListWindow::SetFonts(const char16_t* face) {
    if (boldFont) DeleteObject(boldFont);
    if (normalFont) DeleteObject(normalFont);
    normalFont = CreateUiFont(parent, 0, face, false);
    boldFont = CreateUiFont(parent, 0, face, true);
    if (list) SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(normalFont), TRUE);
}

bool ListWindow::InsertItem(ListItem* item) {
    if (!list || !item) return false;
    LVITEMW row{};
    row.mask = LVIF_IMAGE | LVIF_PARAM;
    row.iImage = item->iconIndex;
    row.lParam = reinterpret_cast<LPARAM>(item);
    return SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row)) >= 0;
}

void ListWindow::DeleteAllItems() {
    if (list) SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    previousSelection = nullptr;
}

void ListWindow::DeleteItem(int32_t index) {
    if (!list) return;
    if (GetItemData(index) == previousSelection) previousSelection = nullptr;
    SendMessageW(list, LVM_DELETEITEM, static_cast<WPARAM>(index), 0);
}

int32_t ListWindow::GetItemCount() const {
    return list ? static_cast<int32_t>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) : 0;
}

int32_t ListWindow::GetSelectedIndex() const {
    if (!list) return -1;
    return static_cast<int32_t>(
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

ListItem* ListWindow::GetSelectedData() const { return GetItemData(GetSelectedIndex()); }

ListItem* ListWindow::GetItemData(int32_t index) const {
    if (!list || index < 0) return nullptr;
    LVITEMW row{};
    row.mask = LVIF_PARAM;
    row.iItem = index;
    if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&row))) return nullptr;
    return reinterpret_cast<ListItem*>(row.lParam);
}

int32_t ListWindow::FindItem(ListItem* item) const {
    if (!list || !item) return -1;
    LVFINDINFOW find{};
    find.flags = LVFI_PARAM;
    find.lParam = reinterpret_cast<LPARAM>(item);
    return static_cast<int32_t>(SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1),
                                             reinterpret_cast<LPARAM>(&find)));
}

RECT ListWindow::ItemRect(int32_t index, int part) const {
    RECT r{part, 0, 0, 0};
    if (!list || index < 0 ||
        !SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r)))
        return RECT{0, 0, 0, 0};
    return r;
}

RECT ListWindow::GetItemRect(int32_t index) const { return ItemRect(index, LVIR_LABEL); }
RECT ListWindow::GetItemIconRect(int32_t index) const { return ItemRect(index, LVIR_ICON); }
RECT ListWindow::GetItemBounds(int32_t index) const { return ItemRect(index, LVIR_BOUNDS); }

bool ListWindow::SelectIndex(int32_t index) {
    if (!list || index < 0 || index >= GetItemCount()) return false;
    SetFocus(list);
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    // One selected row, whatever the control keeps on its own.
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&state));
    SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
    OnSelectionChanged(GetItemData(index));
    return true;
}

bool ListWindow::SelectByData(ListItem* item) {
    if (GetItemCount() == 0) return false;
    // Only the final row is selected, so the selection notice runs once.
    int32_t index = FindItem(item);
    SelectIndex(index >= 0 ? index : 0);
    return true;
}

int ListWindow::SortCallback(LPARAM a, LPARAM b, LPARAM context) {
    auto* self = reinterpret_cast<ListWindow*>(context);
    auto* x = reinterpret_cast<ListItem*>(a);
    auto* y = reinterpret_cast<ListItem*>(b);
    if (!x || !y) return 0;
    int c = x->Compare(y, self->sortKey, 1);
    return self->sortAscending ? c : -c;
}

void ListWindow::Sort(uint32_t key, bool ascending) {
    sortKey = key;
    sortAscending = ascending;
    if (GetItemCount() == 0) return;
    SendMessageW(list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(this),
                 reinterpret_cast<LPARAM>(&ListWindow::SortCallback));
    int32_t selected = GetSelectedIndex();
    if (visible && selected >= 0)
        SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(selected), FALSE);
}

int ListWindow::CompareItems(ListItem* a, ListItem* b, uint32_t key, bool ascending) {
    Text x, y;
    a->GetText(x, key);
    b->GetText(y, key);
    int c = CompareByLetters(x, y);
    return ascending ? c : -c;
}

void ListWindow::SetRedraw(bool on, bool invalidate) {
    if (!list) return;
    SendMessageW(list, WM_SETREDRAW, on ? TRUE : FALSE, 0);
    if (on && invalidate) InvalidateRect(list, nullptr, TRUE);
}

void ListWindow::CheckRadioByCommand(HMENU menu, uint32_t command, uint32_t count) {
    if (!menu || count == 0) return;
    uint32_t wanted = command & 0xFFFF;
    for (uint32_t i = 0; i < count; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_TYPE;
        if (!GetMenuItemInfoW(menu, i, TRUE, &info)) continue;
        if ((info.fType & MFT_SEPARATOR) || info.wID != wanted) continue;
        CheckMenuRadioItem(menu, 0, count - 1, i, MF_BYPOSITION);
        return;
    }
    if (wanted != 0) return;
    for (uint32_t i = 0; i < count; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_TYPE | MIIM_STATE;
        if (!GetMenuItemInfoW(menu, i, TRUE, &info) || (info.fType & MFT_SEPARATOR)) continue;
        info.fMask = MIIM_TYPE | MIIM_STATE;
        info.fType &= ~MFT_RADIOCHECK;
        info.fState &= ~MFS_CHECKED;
        info.dwTypeData = nullptr;
        // Keep the item's text: ask only for the state bits.
        MENUITEMINFOW state{};
        state.cbSize = sizeof(state);
        state.fMask = MIIM_STATE;
        state.fState = info.fState;
        SetMenuItemInfoW(menu, i, TRUE, &state);
    }
}

void ListWindow::CheckMenuCommand(uint32_t command) {
    if (filterMenu)
        CheckRadioByCommand(filterMenu, command, filterMenuCount);
    else if (sortMenu)
        CheckRadioByCommand(sortMenu, command, sortMenuCount);
}

bool ListWindow::OnMenuCommand(uint32_t command, LRESULT& result) {
    result = 0;
    HMENU popup = nullptr;
    if (command == commandBase + kFilterButton) popup = filterMenu;
    if (command == commandBase + kSortButton) popup = sortMenu;
    if (popup) {
        RECT r{};
        GetWindowRect(host, &r);
        TrackPopupMenuEx(popup, 0, r.left, r.top, host, nullptr);
        return true;
    }
    CheckMenuCommand(command);
    return false;
}

bool ListWindow::OnPrivateMessage(WPARAM, LPARAM) { return false; }

void ListWindow::FocusIfVisible() {
    if (visible && list && AcceptsFocus()) SetFocus(list);
}

void ListWindow::PostCommand(WPARAM wParam, LPARAM lParam) {
    if (host) PostMessageW(host, kPrivateMessage, wParam, lParam);
}

void ListWindow::Layout(int left, int top, int right, int bottom) {
    if (!host || !list) return;
    MoveWindow(host, left, top, right - left, bottom - top, FALSE);
    SetRedraw(false, false);
    RECT client{};
    GetClientRect(host, &client);
    int width = client.right - client.left;
    MoveWindow(list, 0, 1, width + 1, client.bottom - client.top - 1, FALSE);
    int column = width;
    if (GetItemCount() > static_cast<int32_t>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0)))
        column -= GetSystemMetrics(SM_CXVSCROLL);
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, std::max(column, 0));
    // A shorter list (the screen turned) may leave the selected row below its end: the list
    // scrolls to keep it in full view.
    int32_t selected = GetSelectedIndex();
    if (selected >= 0) SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(selected), FALSE);
    SetRedraw(true, true);
    // The host's own row above the list is painted too, or it keeps what was on the screen.
    InvalidateRect(host, nullptr, TRUE);
}

void ListWindow::Show(bool show) {
    visible = show ? 1 : 0;
    ListItem* selected = GetSelectedData();
    if (host) ShowWindow(host, show ? SW_SHOW : SW_HIDE);
    if (list) ShowWindow(list, show ? SW_SHOW : SW_HIDE);
    RECT r{};
    if (parent) GetClientRect(parent, &r);
    Layout(r.left, r.top, r.right, r.bottom);
    if (selected) SelectByData(selected);
    if (show && list) SetFocus(list);
}

void ListWindow::DrawTitle(ListItem* item, HDC dc, RECT& label) {
    if (!item) return;
    Text text;
    if (sortKey != 0) {
        item->GetText(text, sortKey);
        if (!text.IsEmpty()) {
            HGDIOBJ old = SelectObject(dc, normalFont ? normalFont : GetCurrentObject(dc, OBJ_FONT));
            RECT measure = label;
            DrawTextW(dc, text.WideCStr(), -1, &measure, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
            // The title keeps most of the row: a long value (an author) is cut short instead.
            const LONG room = (label.right - label.left) * kSortValueShare / 100;
            RECT right = label;
            right.left = std::max(label.left, label.right - std::min(room, measure.right - measure.left));
            DrawTextW(dc, text.WideCStr(), -1, &right,
                      DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
            SelectObject(dc, old);
            label.right = right.left - 2;
        }
    }
    item->GetText(text, 0);
    DrawTextW(dc, text.WideCStr(), -1, &label,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void ListWindow::DrawIcon(ListItem*, HDC, const RECT&) {}
bool ListWindow::IsBold(ListItem*) { return false; }
void ListWindow::OnItemActivated(ListItem*, bool, int, int) {}
void ListWindow::OnRightClick(ListItem*) {}
void ListWindow::OnDoubleClick(ListItem*) {}
void ListWindow::OnSelectionChanged(ListItem*) {}
void ListWindow::OnBeginLabelEdit(NMLVDISPINFOW*) {}
void ListWindow::OnEndLabelEdit(NMLVDISPINFOW*) {}

LRESULT ListWindow::CustomDraw(NMLVCUSTOMDRAW* draw) {
    DWORD stage = draw->nmcd.dwDrawStage;
    if (stage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
    if (stage == CDDS_ITEMPREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (stage == CDDS_POSTPAINT) {
        // Drawn in the paint's own context, clipped to what was erased: a partial repaint must
        // not draw the notice again over itself.
        if (GetItemCount() == 0) PaintEmptyText(draw->nmcd.hdc, draw->nmcd.rc);
        return CDRF_DODEFAULT;
    }
    auto index = static_cast<int32_t>(draw->nmcd.dwItemSpec);
    bool selected = (draw->nmcd.uItemState & CDIS_SELECTED) != 0;
    bool focused = (draw->nmcd.uItemState & CDIS_FOCUS) != 0;
    if (stage == (CDDS_ITEMPREPAINT | CDDS_SUBITEM)) {
        if (!IsNewShell() && index % 2 == 0 && !selected && !focused)
            draw->clrTextBk = RGB(215, 215, 255);
        return CDRF_NOTIFYPOSTPAINT;
    }
    if (stage == (CDDS_ITEMPOSTPAINT | CDDS_SUBITEM)) {
        auto* item = reinterpret_cast<ListItem*>(draw->nmcd.lItemlParam);
        HDC dc = draw->nmcd.hdc;
        bool inverse = selected && focused && GetFocus() == list;
        SetTextColor(dc, inverse ? RGB(255, 255, 255) : RGB(0, 0, 0));
        SetBkMode(dc, TRANSPARENT);
        HFONT font = IsBold(item) && boldFont ? boldFont : normalFont;
        HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
        RECT label = GetItemRect(index);
        RECT cell = draw->nmcd.rc;
        // The layer's own text is painted first; cover it before drawing ours, in the colour the
        // layer gave the whole row (the selection without the focus is marked too).
        const bool hasFocus = GetFocus() == list;
        HBRUSH back = CreateSolidBrush(!selected ? RGB(255, 255, 255)
                                       : hasFocus ? RGB(0, 0, 128)
                                                  : GetSysColor(COLOR_BTNFACE));
        RECT wipe{label.left, cell.top, cell.right, cell.bottom};
        FillRect(dc, &wipe, back);
        DeleteObject(back);
        // Right-aligned texts end clear of the border and of the pixel the list reaches past
        // its host.
        RECT client{};
        GetClientRect(list, &client);
        label.right = std::min({label.right, cell.right, client.right - 5});
        DrawTitle(item, dc, label);
        DrawIcon(item, dc, GetItemIconRect(index));
        if (old) SelectObject(dc, old);
    }
    return CDRF_DODEFAULT;
}

bool ListWindow::HandleMessage(NMHDR* notice, LRESULT& result) {
    result = 0;
    if (!notice || notice->hwndFrom != list) return false;
    switch (notice->code) {
        case NM_CUSTOMDRAW:
            result = CustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(notice));
            return true;
        case GN_CONTEXTMENU: {
            auto* info = reinterpret_cast<NMRGINFO*>(notice);
            if (contextMenu && GetSelectedData())
                TrackPopupMenuEx(contextMenu, 0, info->ptAction.x, info->ptAction.y, host, nullptr);
            result = 1;
            return true;
        }
        case LVN_BEGINLABELEDITW:
            OnBeginLabelEdit(reinterpret_cast<NMLVDISPINFOW*>(notice));
            return false;
        case LVN_ENDLABELEDITW:
            OnEndLabelEdit(reinterpret_cast<NMLVDISPINFOW*>(notice));
            return false;
        case LVN_ITEMCHANGING:
            return false;
        case LVN_ITEMCHANGED: {
            auto* change = reinterpret_cast<NMLISTVIEW*>(notice);
            if (change->uNewState != 0 && (change->uNewState & LVIS_SELECTED))
                OnSelectionChanged(GetSelectedData());
            return true;
        }
        case NM_RCLICK:
            OnRightClick(GetSelectedData());
            result = 1;
            return true;
        case NM_DBLCLK:
            OnDoubleClick(GetSelectedData());
            result = 1;
            return true;
        case NM_CLICK:
        case NM_RETURN: {
            ListItem* item = GetSelectedData();
            int x = 0, y = 0;
            bool wasSelected = true;  // Enter acts on the row already selected
            if (notice->code == NM_CLICK) {
                auto* tap = reinterpret_cast<NMITEMACTIVATE*>(notice);
                x = tap->ptAction.x;
                y = tap->ptAction.y;
                wasSelected = clickPending && item && item == previousSelection;
                clickPending = false;
            }
            OnSelectionChanged(item);
            OnItemActivated(item, wasSelected, x, y);
            result = 1;
            return true;
        }
        default:
            return false;
    }
}

void ListWindow::PaintEmptyText(HDC dc, RECT client) {
    Text text;
    LoadResStringTo(kEmptyListText, text);
    auto font = reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0));
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text.WideCStr(), -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (old) SelectObject(dc, old);
}

LRESULT ListWindow::ListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ListWindow*>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
    if (!self || !self->previousListProc) return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == WM_LBUTTONDOWN) {
        // What was selected before this tap: a tap on it is a tap on the selected row.
        self->previousSelection = self->GetSelectedData();
        self->clickPending = true;
    }
    WNDPROC previous = self->previousListProc;
    return CallWindowProcW(previous, hwnd, msg, wParam, lParam);
}

LRESULT ListWindow::HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<ListWindow*>(cs->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(self));
        if (self) self->host = hwnd;
        return 0;
    }
    auto* self = reinterpret_cast<ListWindow*>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
    if (self) {
        LRESULT result = 0;
        switch (msg) {
            case WM_NOTIFY:
                if (self->HandleMessage(reinterpret_cast<NMHDR*>(lParam), result)) return result;
                return 0;
            case WM_COMMAND:
                if (self->OnMenuCommand(static_cast<uint32_t>(wParam), result)) return result;
                return 0;
            case kPrivateMessage:
                self->OnPrivateMessage(wParam, lParam);
                return 0;
            default:
                break;
        }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool TitleStrip::Create(HWND parent, uint32_t id) {
    Destroy();
    // Docked at the top: a status bar sized anew (the screen turning) docks itself again.
    strip = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | CCS_TOP, 0, 0, 0,
                            0, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                            GetModuleHandleW(nullptr), nullptr);
    return strip != nullptr;
}

void TitleStrip::SetText(const char16_t* text, size_t keepEnd) {
    CopyBounded(first, text);
    firstKeep = keepEnd;
    if (strip) SendMessageW(strip, SB_SETTEXTW, 0 | SBT_NOBORDERS, reinterpret_cast<LPARAM>(first));
}

void TitleStrip::SetSecondText(const char16_t* text) {
    CopyBounded(second, text);
    if (strip) SendMessageW(strip, SB_SETTEXTW, 1 | SBT_NOBORDERS, reinterpret_cast<LPARAM>(second));
}

void TitleStrip::FitParts() {
    if (!strip || second[0] == 0) return;
    HDC dc = GetDC(strip);
    if (!dc) return;
    auto font = reinterpret_cast<HFONT>(SendMessageW(strip, WM_GETFONT, 0, 0));
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    SIZE size{};
    int fit = 0;
    GetTextExtentExPointW(dc, second, static_cast<int>(std::char_traits<char16_t>::length(second)),
                          0, &fit, nullptr, &size);
    int borders[3] = {0, 0, 0};
    SendMessageW(strip, SB_GETBORDERS, 0, reinterpret_cast<LPARAM>(borders));
    RECT client{};
    GetClientRect(strip, &client);
    int parts[2] = {client.right - 2 * borders[1] - borders[2] - size.cx, -1};
    // The part's text keeps its end: its start is cut to the room left (less the part's inset).
    std::u16string shown = first;
    if (firstKeep > 0 && firstKeep < shown.size()) {
        const int room = parts[0] - 4 * GetDeviceCaps(dc, LOGPIXELSX) / 96;
        const std::u16string tail = shown.substr(shown.size() - firstKeep);
        std::u16string head = shown.substr(0, shown.size() - firstKeep);
        auto width = [dc](const std::u16string& t) {
            SIZE s{};
            int n = 0;
            GetTextExtentExPointW(dc, t.c_str(), static_cast<int>(t.size()), 0, &n, nullptr, &s);
            return static_cast<int>(s.cx);
        };
        if (width(shown) > room) {
            while (!head.empty() && width(head + u"\u2026" + tail) > room) head.pop_back();
            shown = head + u"\u2026" + tail;
        }
    }
    if (old) SelectObject(dc, old);
    ReleaseDC(strip, dc);
    SendMessageW(strip, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
    SendMessageW(strip, SB_SIMPLE, FALSE, 0);
    SendMessageW(strip, SB_SETTEXTW, 0 | SBT_NOBORDERS, reinterpret_cast<LPARAM>(shown.c_str()));
    SendMessageW(strip, SB_SETTEXTW, 1 | SBT_NOBORDERS, reinterpret_cast<LPARAM>(second));
}

int TitleStrip::GetHeight() const {
    if (!strip || !IsWindowVisible(strip)) return 0;
    RECT r{};
    GetClientRect(strip, &r);
    return r.bottom - r.top;
}

void TitleStrip::Show(bool show) {
    if (strip) ShowWindow(strip, show ? SW_SHOW : SW_HIDE);
}

void TitleStrip::Destroy() {
    if (strip && IsWindow(strip)) DestroyWindow(strip);
    strip = nullptr;
}
