// The list view, in its report form (the only one the program uses): rows of columns, small
// images, check boxes as state images, single or multiple selection, label editing, custom draw
// and tap and hold. The other view styles draw as a report without columns.
#include <algorithm>
#include <deque>
#include <cstring>

#include "platform/controls/controls_internal.h"
#include "platform/dialog/dialog.h"
#include "platform/shell/shell.h"
#include "platform/window/keys.h"

namespace fvt::ctl {

namespace {

constexpr UINT_PTR kHoldTimer = 0x4C56;  // 'LV'
constexpr UINT kHoldMs = 500;

struct Row {
    std::vector<std::u16string> texts{u""};
    int image = -1;
    LPARAM param = 0;
    UINT state = 0;
};

struct ListViewState : Common {
    // A deque: the list windows insert every row at the top, which a vector would make cost the
    // whole list each time.
    std::deque<Row> rows;
    std::vector<int> widths;
    DWORD ex = 0;
    HIMAGELIST small = nullptr;
    HIMAGELIST stateImages = nullptr;
    int top = 0;
    // The line height of the font the rows were last measured with.
    HFONT measuredFont = nullptr;
    int fontLine = 0;
    COLORREF back = RGB(255, 255, 255);
    COLORREF text = RGB(0, 0, 0);
    COLORREF textBack = RGB(255, 255, 255);
    // The pen: the row it went down on, whether the hold fired.
    bool penDown = false;
    bool held = false;
    int penRow = -1;
    POINT penAt{};
    HWND edit = nullptr;
    int editRow = -1;
    // A pen on the scroll bar scrolls and never touches a row; on the thumb it drags it, kept at
    // the same offset under the pen.
    bool onScrollBar = false;
    bool draggingThumb = false;
    int thumbGrip = 0;
};

DWORD Style(HWND hwnd) {
    return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
}

// A row holds a line of the list's font whole, with a pixel to spare above and below (a bold
// face may stand a pixel taller), and its icon.
int RowHeight(ListViewState* s) {
    if (s->font != s->measuredFont || s->fontLine < 0) {
        s->measuredFont = s->font;
        s->fontLine = 0;
        if (HDC dc = s->font ? CreateCompatibleDC(nullptr) : nullptr) {
            HGDIOBJ old = SelectObject(dc, s->font);
            TEXTMETRICW tm{};
            if (GetTextMetricsW(dc, &tm)) s->fontLine = tm.tmHeight;
            SelectObject(dc, old);
            DeleteDC(dc);
        }
    }
    int h = std::max(Px(18), s->fontLine + Px(2));
    int iw = 0, ih = 0;
    if (s->small && ImageList_GetIconSize(s->small, &iw, &ih)) h = std::max(h, ih + Px(2));
    return h;
}

int Count(ListViewState* s) {
    return static_cast<int>(s->rows.size());
}

bool Valid(ListViewState* s, int i) {
    return i >= 0 && i < Count(s);
}

RECT RowRect(HWND hwnd, ListViewState* s, int i) {
    RECT r;
    GetClientRect(hwnd, &r);
    int h = RowHeight(s);
    return RECT{r.left, r.top + (i - s->top) * h, r.right, r.top + (i - s->top + 1) * h};
}

int PerPage(HWND hwnd, ListViewState* s) {
    RECT r;
    GetClientRect(hwnd, &r);
    return std::max<int>(1, (r.bottom - r.top) / RowHeight(s));
}

int StateImageWidth(ListViewState* s) {
    return (s->ex & LVS_EX_CHECKBOXES) ? Px(16) : 0;
}

int ImageWidth(ListViewState* s) {
    int iw = 0, ih = 0;
    return s->small && ImageList_GetIconSize(s->small, &iw, &ih) ? iw + Px(2) : 0;
}

// Changes a row's state as the user or LVM_SETITEMSTATE does, with LVN_ITEMCHANGING (a non-zero
// answer refuses the change) and LVN_ITEMCHANGED.
bool SetState(HWND hwnd, ListViewState* s, int i, UINT state, UINT mask) {
    if (!Valid(s, i)) return false;
    UINT old = s->rows[static_cast<size_t>(i)].state;
    UINT now = (old & ~mask) | (state & mask);
    if (now == old) return true;
    NMLISTVIEW n{};
    n.iItem = i;
    n.uNewState = now;
    n.uOldState = old;
    n.uChanged = LVIF_STATE;
    n.lParam = s->rows[static_cast<size_t>(i)].param;
    if (Notify(hwnd, &n.hdr, LVN_ITEMCHANGING) != 0) return false;
    if (!IsWindow(hwnd) || !Valid(s, i)) return false;
    s->rows[static_cast<size_t>(i)].state = now;
    InvalidateRect(hwnd, nullptr, TRUE);
    Notify(hwnd, &n.hdr, LVN_ITEMCHANGED);
    return true;
}

// Selects and focuses one row, clearing the others (single selection, or a plain tap).
void SelectOnly(HWND hwnd, ListViewState* s, int i) {
    for (int k = 0; k < Count(s); ++k)
        if (k != i && (s->rows[static_cast<size_t>(k)].state & (LVIS_SELECTED | LVIS_FOCUSED)))
            SetState(hwnd, s, k, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (Valid(s, i)) SetState(hwnd, s, i, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void EnsureVisible(HWND hwnd, ListViewState* s, int i) {
    if (!Valid(s, i)) return;
    int page = PerPage(hwnd, s);
    if (i < s->top) s->top = i;
    if (i >= s->top + page) s->top = i - page + 1;
    InvalidateRect(hwnd, nullptr, TRUE);
}

int HitRow(HWND hwnd, ListViewState* s, POINT pt) {
    RECT r;
    GetClientRect(hwnd, &r);
    if (!PtInRect(&r, pt)) return -1;
    int i = s->top + (pt.y - r.top) / RowHeight(s);
    return Valid(s, i) ? i : -1;
}

int Column(ListViewState* s, int sub, int clientWidth, int& left) {
    left = 0;
    if (s->widths.empty()) return clientWidth;
    for (int k = 0; k < sub && k < static_cast<int>(s->widths.size()); ++k) left += s->widths[k];
    return sub < static_cast<int>(s->widths.size()) ? s->widths[static_cast<size_t>(sub)] : 0;
}

void FillItem(ListViewState* s, int i, LVITEMW* item) {
    const Row& row = s->rows[static_cast<size_t>(i)];
    if (item->mask & LVIF_TEXT) {
        size_t sub = static_cast<size_t>(std::max(0, item->iSubItem));
        std::u16string t = sub < row.texts.size() ? row.texts[sub] : u"";
        if (item->pszText && item->cchTextMax > 0) {
            size_t n = std::min(t.size(), static_cast<size_t>(item->cchTextMax - 1));
            std::copy(t.begin(), t.begin() + static_cast<std::ptrdiff_t>(n), item->pszText);
            item->pszText[n] = 0;
        }
    }
    if (item->mask & LVIF_IMAGE) item->iImage = row.image;
    if (item->mask & LVIF_PARAM) item->lParam = row.param;
    if (item->mask & LVIF_STATE) item->state = row.state & item->stateMask;
}

void SetText(Row& row, int sub, LPCWSTR text) {
    if (sub < 0 || sub > 255) return;
    if (row.texts.size() <= static_cast<size_t>(sub)) row.texts.resize(static_cast<size_t>(sub) + 1);
    row.texts[static_cast<size_t>(sub)] = text ? text : u"";
}

bool SetItem(HWND hwnd, ListViewState* s, const LVITEMW* item) {
    if (!item || !Valid(s, item->iItem)) return false;
    Row& row = s->rows[static_cast<size_t>(item->iItem)];
    if (item->mask & LVIF_TEXT) SetText(row, item->iSubItem, item->pszText);
    if (item->iSubItem == 0) {
        if (item->mask & LVIF_IMAGE) row.image = item->iImage;
        if (item->mask & LVIF_PARAM) row.param = item->lParam;
    }
    InvalidateRect(hwnd, nullptr, TRUE);
    if ((item->mask & LVIF_STATE) && item->iSubItem == 0)
        return SetState(hwnd, s, item->iItem, item->state, item->stateMask);
    return true;
}

LRESULT Custom(HWND hwnd, NMLVCUSTOMDRAW& cd, DWORD stage) {
    cd.nmcd.dwDrawStage = stage;
    return Notify(hwnd, &cd.nmcd.hdr, NM_CUSTOMDRAW);
}

// A list longer than its page shows a vertical scroll bar at its right edge, where owners
// that size their column to the client less the bar's width leave room for it.
struct ScrollBar {
    RECT track{};
    int thumbTop = 0;
    int thumbHeight = 0;
    int travel = 0;  // pixels the thumb can move
    int last = 1;    // the last top row
};

bool GetScrollBar(HWND hwnd, ListViewState* s, ScrollBar& bar) {
    RECT client;
    GetClientRect(hwnd, &client);
    const int page = PerPage(hwnd, s);
    const int count = Count(s);
    const int width = GetSystemMetrics(SM_CXVSCROLL);
    const int height = client.bottom - client.top;
    if (count <= page || width <= 0 || client.right - client.left <= width || height <= 0)
        return false;
    bar.track = RECT{client.right - width, client.top, client.right, client.bottom};
    bar.thumbHeight = std::max(Px(8), height * page / count);
    bar.travel = std::max(0, height - bar.thumbHeight);
    bar.last = std::max(1, count - page);
    bar.thumbTop = client.top + bar.travel * std::min(s->top, bar.last) / bar.last;
    return true;
}

// Moves the page to start at `top` (kept within the list); the selection stays where it is.
void ScrollTo(HWND hwnd, ListViewState* s, int top) {
    const int most = std::max(0, Count(s) - PerPage(hwnd, s));
    top = std::clamp(top, 0, most);
    if (top == s->top) return;
    s->top = top;
    InvalidateRect(hwnd, nullptr, TRUE);
}

void PaintScrollBar(HWND hwnd, ListViewState* s, HDC dc) {
    ScrollBar bar;
    if (!GetScrollBar(hwnd, s, bar)) return;
    const RECT& track = bar.track;
    Fill(dc, track, RGB(224, 224, 224));
    Fill(dc, RECT{track.left, track.top, track.left + 1, track.bottom}, RGB(160, 160, 160));
    Fill(dc,
         RECT{track.left + Px(2), bar.thumbTop + Px(1), track.right - Px(1),
              bar.thumbTop + bar.thumbHeight - Px(1)},
         RGB(128, 128, 128));
}

// The pen on the scroll bar: above or below the thumb pages, on it starts a drag.
void PenOnScrollBar(HWND hwnd, ListViewState* s, const ScrollBar& bar, POINT pt) {
    const int page = PerPage(hwnd, s);
    if (pt.y < bar.thumbTop) {
        ScrollTo(hwnd, s, s->top - page);
    } else if (pt.y >= bar.thumbTop + bar.thumbHeight) {
        ScrollTo(hwnd, s, s->top + page);
    } else {
        s->draggingThumb = true;
        s->thumbGrip = pt.y - bar.thumbTop;
    }
}

void DragThumb(HWND hwnd, ListViewState* s, POINT pt) {
    ScrollBar bar;
    if (!GetScrollBar(hwnd, s, bar) || bar.travel <= 0) return;
    const int offset = pt.y - s->thumbGrip - bar.track.top;
    // The nearest row to where the thumb stands.
    ScrollTo(hwnd, s, (offset * bar.last + bar.travel / 2) / bar.travel);
}

void Paint(HWND hwnd, ListViewState* s) {
    Painter p(hwnd, s->font);
    if (!p.dc()) return;
    RECT client = p.client();
    Fill(p.dc(), client, s->back);
    NMLVCUSTOMDRAW cd{};
    cd.nmcd.hdc = p.dc();
    cd.nmcd.rc = client;
    LRESULT want = Custom(hwnd, cd, CDDS_PREPAINT);
    bool perItem = (want & CDRF_NOTIFYITEMDRAW) != 0;
    int columns = std::max<int>(1, static_cast<int>(s->widths.size()));
    int width = client.right - client.left;
    // A list that keeps its selection shown without the focus marks it in the button face,
    // as a whole row like the focused mark, so that it does not read as the focused one.
    const bool focused = GetFocus() == hwnd;
    const bool focus = focused || (Style(hwnd) & LVS_SHOWSELALWAYS);
    const COLORREF markBack = focused ? RGB(0, 0, 128) : GetSysColor(COLOR_BTNFACE);
    const COLORREF markInk = focused ? RGB(255, 255, 255) : RGB(0, 0, 0);
    for (int i = s->top; i < Count(s); ++i) {
        RECT rowRect = RowRect(hwnd, s, i);
        if (rowRect.top >= client.bottom) break;
        if (!IsWindow(hwnd) || i >= Count(s)) return;  // a notice may have changed the list
        const Row row = s->rows[static_cast<size_t>(i)];
        bool selected = (row.state & LVIS_SELECTED) && focus;
        cd.nmcd.rc = rowRect;
        cd.nmcd.dwItemSpec = static_cast<DWORD_PTR>(i);
        cd.nmcd.uItemState = ((row.state & LVIS_SELECTED) ? CDIS_SELECTED : 0u) |
                             ((row.state & LVIS_FOCUSED) ? CDIS_FOCUS : 0u);
        cd.nmcd.lItemlParam = row.param;
        cd.clrText = selected ? markInk : s->text;
        cd.clrTextBk = selected ? markBack : s->textBack;
        cd.iSubItem = 0;
        LRESULT itemWant = perItem ? Custom(hwnd, cd, CDDS_ITEMPREPAINT) : CDRF_DODEFAULT;
        if (itemWant & CDRF_SKIPDEFAULT) continue;
        for (int c = 0; c < columns; ++c) {
            int left = 0;
            int w = Column(s, c, width, left);
            RECT cell{client.left + left, rowRect.top, client.left + left + w, rowRect.bottom};
            cd.iSubItem = c;
            cd.nmcd.rc = cell;
            LRESULT subWant = CDRF_DODEFAULT;
            if (itemWant & CDRF_NOTIFYSUBITEMDRAW)
                subWant = Custom(hwnd, cd, CDDS_ITEMPREPAINT | CDDS_SUBITEM);
            if (!(subWant & CDRF_SKIPDEFAULT)) {
                bool full = (s->ex & LVS_EX_FULLROWSELECT) || c == 0;
                COLORREF bk = selected && full ? markBack : cd.clrTextBk;
                if (bk != s->back) Fill(p.dc(), cell, bk);
                int x = cell.left + Px(2);
                if (c == 0 && (s->ex & LVS_EX_CHECKBOXES)) {
                    int box = Px(11);
                    RECT b{x, cell.top + (cell.bottom - cell.top - box) / 2, x + box, 0};
                    b.bottom = b.top + box;
                    Fill(p.dc(), b, RGB(255, 255, 255));
                    Frame(p.dc(), b, RGB(0, 0, 0));
                    if (((row.state & LVIS_STATEIMAGEMASK) >> 12) == 2)
                        Fill(p.dc(), RECT{b.left + Px(3), b.top + Px(3), b.right - Px(3), b.bottom - Px(3)},
                             RGB(0, 0, 0));
                    x += StateImageWidth(s);
                }
                if ((c == 0 || (s->ex & LVS_EX_SUBITEMIMAGES)) && s->small && row.image >= 0 && c == 0) {
                    int iw = 0, ih = 0;
                    ImageList_GetIconSize(s->small, &iw, &ih);
                    ImageList_Draw(s->small, row.image, p.dc(), x,
                                   cell.top + (cell.bottom - cell.top - ih) / 2, 0);
                    x += ImageWidth(s);
                }
                std::u16string t = static_cast<size_t>(c) < row.texts.size() ? row.texts[static_cast<size_t>(c)] : u"";
                COLORREF ink = selected && full ? markInk : cd.clrText;
                Text(p.dc(), t, RECT{x, cell.top, cell.right - Px(2), cell.bottom},
                     DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS, ink);
            }
            if (subWant & CDRF_NOTIFYPOSTPAINT)
                Custom(hwnd, cd, CDDS_ITEMPOSTPAINT | CDDS_SUBITEM);
            if (!IsWindow(hwnd)) return;
        }
        if (itemWant & CDRF_NOTIFYPOSTPAINT) {
            cd.nmcd.rc = rowRect;
            Custom(hwnd, cd, CDDS_ITEMPOSTPAINT);
        }
        if (s->ex & LVS_EX_GRIDLINES)
            Fill(p.dc(), RECT{rowRect.left, rowRect.bottom - 1, rowRect.right, rowRect.bottom},
                 RGB(192, 192, 192));
    }
    PaintScrollBar(hwnd, s, p.dc());
    if (Style(hwnd) & WS_BORDER) Frame(p.dc(), client, RGB(0, 0, 0));
    if (want & CDRF_NOTIFYPOSTPAINT) {
        cd.nmcd.rc = client;
        Custom(hwnd, cd, CDDS_POSTPAINT);
    }
}

// Ends a label edit: the parent gets the new text, or none when cancelled, and a non-zero
// answer keeps it.
void EndEdit(HWND hwnd, ListViewState* s, bool keep) {
    HWND edit = s->edit;
    int row = s->editRow;
    if (!edit) return;
    s->edit = nullptr;
    s->editRow = -1;
    std::u16string text = WindowText(edit);
    DestroyWindow(edit);
    // Scrolled past its end for the input panel, the list comes back to its last screenful.
    const int most = std::max(0, Count(s) - PerPage(hwnd, s));
    if (s->top > most) {
        s->top = most;
        InvalidateRect(hwnd, nullptr, TRUE);
    }
    if (!Valid(s, row)) return;
    NMLVDISPINFOW info{};
    info.item.mask = LVIF_TEXT;
    info.item.iItem = row;
    info.item.pszText = keep ? text.data() : nullptr;
    info.item.cchTextMax = static_cast<int>(text.size() + 1);
    info.item.lParam = s->rows[static_cast<size_t>(row)].param;
    LRESULT accept = Notify(hwnd, &info.hdr, LVN_ENDLABELEDITW);
    if (keep && accept && IsWindow(hwnd) && Valid(s, row)) {
        s->rows[static_cast<size_t>(row)].texts[0] = text;
        InvalidateRect(hwnd, nullptr, TRUE);
    }
    SetFocus(hwnd);
}

// The edit box of a label edit reports Enter and Escape to the list view.
LRESULT CALLBACK_EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
WNDPROC g_editProc = nullptr;

LRESULT CALLBACK_EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND list = GetParent(hwnd);
    auto* s = list ? State<ListViewState>(list) : nullptr;
    if (s && s->edit == hwnd) {
        if (msg == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE)) {
            EndEdit(list, s, wParam == VK_RETURN);
            return 0;
        }
        if (msg == WM_CHAR && (wParam == u'\r' || wParam == 0x1B)) return 0;
        // Enter and Escape end the edit, not the dialog around the list.
        if (msg == WM_GETDLGCODE) return DLGC_WANTALLKEYS;
        if (msg == WM_KILLFOCUS) {
            LRESULT r = CallWindowProcW(g_editProc, hwnd, msg, wParam, lParam);
            EndEdit(list, s, true);
            return r;
        }
    }
    return CallWindowProcW(g_editProc ? g_editProc : DefWindowProcW, hwnd, msg, wParam, lParam);
}

HWND BeginEdit(HWND hwnd, ListViewState* s, int i) {
    if (!Valid(s, i)) return nullptr;
    if (s->edit) EndEdit(hwnd, s, true);
    NMLVDISPINFOW info{};
    info.item.mask = LVIF_TEXT;
    info.item.iItem = i;
    info.item.lParam = s->rows[static_cast<size_t>(i)].param;
    if (Notify(hwnd, &info.hdr, LVN_BEGINLABELEDITW) != 0 || !IsWindow(hwnd) || !Valid(s, i))
        return nullptr;
    EnsureVisible(hwnd, s, i);
    // With the input panel up the row comes above it, the list's last rows too (the rows past
    // the end are under the panel), so that the person sees what they type.
    SIPINFO sip{};
    sip.cbSize = sizeof(sip);
    if (SipGetInfo(&sip) && (sip.fdwFlags & SIPF_ON)) {
        POINT origin{0, 0};
        ClientToScreen(hwnd, &origin);
        const int fit = std::max(1, (sip.rcVisibleDesktop.bottom - origin.y) / RowHeight(s));
        if (i >= s->top + fit) {
            s->top = i - fit + 1;
            InvalidateRect(hwnd, nullptr, TRUE);
        }
    }
    RECT r = RowRect(hwnd, s, i);
    int left = StateImageWidth(s) + ImageWidth(s);
    int w = s->widths.empty() ? r.right - r.left : s->widths[0];
    HWND edit = CreateWindowExW(0, WC_EDIT, s->rows[static_cast<size_t>(i)].texts[0].c_str(),
                                WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, left, r.top,
                                std::max(Px(40), w - left), r.bottom - r.top, hwnd, nullptr,
                                nullptr, nullptr);
    if (!edit) return nullptr;
    auto previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(edit, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&CALLBACK_EditProc)));
    if (!g_editProc) g_editProc = previous;
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(s->font), 0);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    s->edit = edit;
    s->editRow = i;
    SetFocus(edit);
    return edit;
}

void Activate(HWND hwnd, ListViewState* s, int i, int code, POINT pt) {
    NMITEMACTIVATE n{};
    n.iItem = i;
    n.ptAction = pt;
    if (Valid(s, i)) n.lParam = s->rows[static_cast<size_t>(i)].param;
    Notify(hwnd, &n.hdr, code);
}

LRESULT Message(HWND hwnd, ListViewState* s, UINT msg, WPARAM wParam, LPARAM lParam) {
    int i = static_cast<int>(static_cast<LONG_PTR>(static_cast<int>(wParam)));
    switch (msg) {
        case LVM_SETBKCOLOR:
            s->back = static_cast<COLORREF>(lParam);
            InvalidateRect(hwnd, nullptr, TRUE);
            return TRUE;
        case LVM_SETTEXTCOLOR:
            s->text = static_cast<COLORREF>(lParam);
            return TRUE;
        case LVM_SETTEXTBKCOLOR:
            s->textBack = static_cast<COLORREF>(lParam);
            return TRUE;
        case LVM_GETIMAGELIST:
            return reinterpret_cast<LRESULT>(wParam == LVSIL_STATE ? s->stateImages : s->small);
        case LVM_SETIMAGELIST: {
            HIMAGELIST& slot = wParam == LVSIL_STATE ? s->stateImages : s->small;
            HIMAGELIST old = slot;
            slot = reinterpret_cast<HIMAGELIST>(lParam);
            InvalidateRect(hwnd, nullptr, TRUE);
            return reinterpret_cast<LRESULT>(old);
        }
        case LVM_GETITEMCOUNT:
            return Count(s);
        case LVM_INSERTITEMW: {
            auto* item = reinterpret_cast<const LVITEMW*>(lParam);
            if (!item || item->iSubItem != 0 || item->iItem < 0) return -1;
            int at = std::min(item->iItem, Count(s));
            Row row;
            if (item->mask & LVIF_TEXT) SetText(row, 0, item->pszText);
            if (item->mask & LVIF_IMAGE) row.image = item->iImage;
            if (item->mask & LVIF_PARAM) row.param = item->lParam;
            if (item->mask & LVIF_STATE) row.state = item->state & item->stateMask;
            if ((s->ex & LVS_EX_CHECKBOXES) && !(row.state & LVIS_STATEIMAGEMASK))
                row.state |= INDEXTOSTATEIMAGEMASK(1);
            s->rows.insert(s->rows.begin() + at, row);
            if (s->editRow >= at) ++s->editRow;
            InvalidateRect(hwnd, nullptr, TRUE);
            NMLISTVIEW n{};
            n.iItem = at;
            n.lParam = row.param;
            Notify(hwnd, &n.hdr, LVN_INSERTITEM);
            return at;
        }
        case LVM_DELETEITEM: {
            if (!Valid(s, i)) return FALSE;
            NMLISTVIEW n{};
            n.iItem = i;
            n.lParam = s->rows[static_cast<size_t>(i)].param;
            Notify(hwnd, &n.hdr, LVN_DELETEITEM);
            if (!IsWindow(hwnd) || !Valid(s, i)) return FALSE;
            if (s->editRow == i) EndEdit(hwnd, s, false);
            s->rows.erase(s->rows.begin() + i);
            s->top = std::clamp(s->top, 0, std::max(0, Count(s) - 1));
            InvalidateRect(hwnd, nullptr, TRUE);
            return TRUE;
        }
        case LVM_DELETEALLITEMS: {
            if (s->edit) EndEdit(hwnd, s, false);
            NMLISTVIEW n{};
            n.iItem = -1;
            // A non-zero answer spares the per-item notices.
            if (!Notify(hwnd, &n.hdr, LVN_DELETEALLITEMS)) {
                for (int k = 0; IsWindow(hwnd) && k < Count(s); ++k) {
                    n.iItem = k;
                    n.lParam = s->rows[static_cast<size_t>(k)].param;
                    Notify(hwnd, &n.hdr, LVN_DELETEITEM);
                }
            }
            if (!IsWindow(hwnd)) return FALSE;
            s->rows.clear();
            s->top = 0;
            InvalidateRect(hwnd, nullptr, TRUE);
            return TRUE;
        }
        case LVM_GETNEXTITEM: {
            UINT want = static_cast<UINT>(LOWORD(static_cast<DWORD_PTR>(lParam)));
            for (int k = i < 0 ? 0 : i + 1; k < Count(s); ++k) {
                UINT st = s->rows[static_cast<size_t>(k)].state;
                if (((want & LVNI_SELECTED) && !(st & LVIS_SELECTED)) ||
                    ((want & LVNI_FOCUSED) && !(st & LVIS_FOCUSED)))
                    continue;
                return k;
            }
            return -1;
        }
        case LVM_GETITEMRECT:
        case LVM_GETSUBITEMRECT: {
            auto* r = reinterpret_cast<RECT*>(lParam);
            if (!r || !Valid(s, i)) return FALSE;
            int code = r->left;  // the part asked for comes in the rectangle
            RECT row = RowRect(hwnd, s, i);
            int left = StateImageWidth(s);
            if (code == LVIR_ICON) {
                row.left += left;
                row.right = row.left + ImageWidth(s);
            } else if (code == LVIR_LABEL) {
                row.left += left + ImageWidth(s);
                if (!s->widths.empty()) row.right = std::min<int>(row.right, s->widths[0]);
            }
            *r = row;
            return TRUE;
        }
        case LVM_HITTEST: {
            auto* info = reinterpret_cast<LVHITTESTINFO*>(lParam);
            if (!info) return -1;
            info->iItem = HitRow(hwnd, s, info->pt);
            info->iSubItem = 0;
            info->flags = info->iItem < 0 ? LVHT_NOWHERE
                          : info->pt.x < StateImageWidth(s) ? LVHT_ONITEMSTATEICON
                                                            : LVHT_ONITEMLABEL;
            return info->iItem;
        }
        case LVM_ENSUREVISIBLE:
            if (!Valid(s, i)) return FALSE;
            EnsureVisible(hwnd, s, i);
            return TRUE;
        case LVM_REDRAWITEMS:
            InvalidateRect(hwnd, nullptr, TRUE);
            return TRUE;
        case LVM_GETTOPINDEX:
            return s->top;
        case LVM_GETCOUNTPERPAGE:
            return PerPage(hwnd, s);
        case LVM_SETITEMSTATE: {
            auto* item = reinterpret_cast<const LVITEMW*>(lParam);
            if (!item) return FALSE;
            if (i == -1) {
                bool all = true;
                for (int k = 0; k < Count(s); ++k)
                    all = SetState(hwnd, s, k, item->state, item->stateMask) && all;
                return all;
            }
            // A single-selection list has one selected row: selecting one deselects the other.
            if ((Style(hwnd) & LVS_SINGLESEL) && (item->stateMask & item->state & LVIS_SELECTED))
                for (int k = 0; k < Count(s); ++k)
                    if (k != i && (s->rows[static_cast<size_t>(k)].state & LVIS_SELECTED))
                        SetState(hwnd, s, k, 0, LVIS_SELECTED);
            return SetState(hwnd, s, i, item->state, item->stateMask);
        }
        case LVM_GETITEMSTATE:
            return Valid(s, i) ? s->rows[static_cast<size_t>(i)].state & static_cast<UINT>(lParam) : 0;
        case LVM_GETSELECTEDCOUNT:
            return std::count_if(s->rows.begin(), s->rows.end(),
                                 [](const Row& r) { return (r.state & LVIS_SELECTED) != 0; });
        case LVM_SORTITEMS: {
            auto compare = reinterpret_cast<PFNLVCOMPARE>(lParam);
            if (!compare) return FALSE;
            if (s->edit) EndEdit(hwnd, s, false);
            std::stable_sort(s->rows.begin(), s->rows.end(), [&](const Row& a, const Row& b) {
                return compare(a.param, b.param, static_cast<LPARAM>(wParam)) < 0;
            });
            InvalidateRect(hwnd, nullptr, TRUE);
            return TRUE;
        }
        case LVM_SETEXTENDEDLISTVIEWSTYLE: {
            DWORD old = s->ex;
            DWORD mask = wParam ? static_cast<DWORD>(wParam) : 0xFFFFFFFF;
            s->ex = (s->ex & ~mask) | (static_cast<DWORD>(lParam) & mask);
            if ((s->ex & LVS_EX_CHECKBOXES) && !(old & LVS_EX_CHECKBOXES))
                for (Row& r : s->rows)
                    if (!(r.state & LVIS_STATEIMAGEMASK)) r.state |= INDEXTOSTATEIMAGEMASK(1);
            InvalidateRect(hwnd, nullptr, TRUE);
            return old;
        }
        case LVM_GETEXTENDEDLISTVIEWSTYLE:
            return s->ex;
        case LVM_GETITEMW: {
            auto* item = reinterpret_cast<LVITEMW*>(lParam);
            if (!item || !Valid(s, item->iItem)) return FALSE;
            FillItem(s, item->iItem, item);
            return TRUE;
        }
        case LVM_SETITEMW:
            return SetItem(hwnd, s, reinterpret_cast<const LVITEMW*>(lParam));
        case LVM_GETITEMTEXTW: {
            auto* item = reinterpret_cast<LVITEMW*>(lParam);
            if (!item || !Valid(s, i)) return 0;
            item->mask = LVIF_TEXT;
            FillItem(s, i, item);
            return item->pszText ? static_cast<LRESULT>(std::char_traits<char16_t>::length(item->pszText)) : 0;
        }
        case LVM_SETITEMTEXTW: {
            auto* item = reinterpret_cast<const LVITEMW*>(lParam);
            if (!item || !Valid(s, i)) return FALSE;
            SetText(s->rows[static_cast<size_t>(i)], item->iSubItem, item->pszText);
            InvalidateRect(hwnd, nullptr, TRUE);
            return TRUE;
        }
        case LVM_FINDITEMW: {
            auto* find = reinterpret_cast<const LVFINDINFOW*>(lParam);
            if (!find) return -1;
            for (int k = i < 0 ? 0 : i + 1; k < Count(s); ++k) {
                const Row& r = s->rows[static_cast<size_t>(k)];
                if ((find->flags & LVFI_PARAM) && r.param == find->lParam) return k;
                if ((find->flags & LVFI_STRING) && find->psz && r.texts[0] == find->psz) return k;
            }
            return -1;
        }
        case LVM_GETSTRINGWIDTHW: {
            LPCWSTR text = reinterpret_cast<LPCWSTR>(lParam);
            if (!text) return 0;
            FontDC measure(hwnd, s->font);
            return TextWidth(measure.dc(), text);
        }
        case LVM_INSERTCOLUMNW: {
            auto* col = reinterpret_cast<const LVCOLUMNW*>(lParam);
            if (!col || i < 0) return -1;
            int at = std::min(i, static_cast<int>(s->widths.size()));
            s->widths.insert(s->widths.begin() + at, (col->mask & LVCF_WIDTH) ? col->cx : Px(50));
            InvalidateRect(hwnd, nullptr, TRUE);
            return at;
        }
        case LVM_DELETECOLUMN:
            if (i < 0 || i >= static_cast<int>(s->widths.size())) return FALSE;
            s->widths.erase(s->widths.begin() + i);
            InvalidateRect(hwnd, nullptr, TRUE);
            return TRUE;
        case LVM_GETCOLUMNWIDTH:
            return i >= 0 && i < static_cast<int>(s->widths.size()) ? s->widths[static_cast<size_t>(i)] : 0;
        case LVM_SETCOLUMNWIDTH:
            if (i < 0 || i >= static_cast<int>(s->widths.size())) return FALSE;
            s->widths[static_cast<size_t>(i)] = static_cast<int>(static_cast<short>(LOWORD(static_cast<DWORD_PTR>(lParam))));
            InvalidateRect(hwnd, nullptr, TRUE);
            return TRUE;
        case LVM_SETCOLUMNW:
        case LVM_GETCOLUMNW: {
            auto* col = reinterpret_cast<LVCOLUMNW*>(lParam);
            if (!col || i < 0 || i >= static_cast<int>(s->widths.size())) return FALSE;
            if (col->mask & LVCF_WIDTH) {
                if (msg == LVM_SETCOLUMNW)
                    s->widths[static_cast<size_t>(i)] = col->cx;
                else
                    col->cx = s->widths[static_cast<size_t>(i)];
            }
            return TRUE;
        }
        case LVM_EDITLABELW:
            if (i < 0) {
                if (s->edit) EndEdit(hwnd, s, false);
                return 0;
            }
            return reinterpret_cast<LRESULT>(BeginEdit(hwnd, s, i));
        case LVM_GETEDITCONTROL:
            return reinterpret_cast<LRESULT>(s->edit);
        case LVM_CANCELEDITLABEL:
            EndEdit(hwnd, s, false);
            return 0;
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

void Key(HWND hwnd, ListViewState* s, WPARAM vk) {
    NMLVKEYDOWN k{};
    k.wVKey = static_cast<WORD>(vk);
    Notify(hwnd, &k.hdr, LVN_KEYDOWN);
    if (!IsWindow(hwnd)) return;
    int focused = -1;
    for (int i = 0; i < Count(s); ++i)
        if (s->rows[static_cast<size_t>(i)].state & LVIS_FOCUSED) focused = i;
    const int page = PerPage(hwnd, s);
    // A screenful keeps one row of the screen before.
    const int step = page > 1 ? page - 1 : 1;
    int next = -1;
    switch (vk) {
        case VK_UP:
        case VK_DOWN:
            next = focused < 0 ? 0 : focused + (vk == VK_UP ? -1 : 1);
            break;
        // A screenful at a time, stopping at the ends; without a selected row, from the screen's
        // top row.
        case VK_PRIOR:
            next = focused < 0 ? s->top : std::max(0, focused - step);
            break;
        case VK_NEXT:
            next = std::min(Count(s) - 1, (focused < 0 ? s->top : focused) + step);
            break;
        case VK_HOME:
            next = 0;
            break;
        case VK_END:
            next = Count(s) - 1;
            break;
    }
    if (vk == VK_UP || vk == VK_DOWN || vk == VK_PRIOR || vk == VK_NEXT || vk == VK_HOME ||
        vk == VK_END) {
        if (Valid(s, next) && next != focused) {
            SelectOnly(hwnd, s, next);
            if (IsWindow(hwnd)) EnsureVisible(hwnd, s, next);
        }
    } else if (vk == VK_RETURN) {
        Notify(hwnd, &k.hdr, NM_RETURN);
    } else if (vk == VK_SPACE && (s->ex & LVS_EX_CHECKBOXES) && Valid(s, focused)) {
        UINT st = s->rows[static_cast<size_t>(focused)].state & LVIS_STATEIMAGEMASK;
        SetState(hwnd, s, focused, INDEXTOSTATEIMAGEMASK(st == INDEXTOSTATEIMAGEMASK(2) ? 1 : 2),
                 LVIS_STATEIMAGEMASK);
    }
}

}  // namespace

LRESULT ListViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* s = State<ListViewState>(hwnd);
    LRESULT out = 0;
    // A new font is measured again, even one whose handle a deleted font had.
    if (s && msg == WM_SETFONT) s->measuredFont = nullptr, s->fontLine = -1;
    if (CommonMessage(hwnd, msg, wParam, lParam, s, out)) return out;
    if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
        case WM_PAINT:
            Paint(hwnd, s);
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        case WM_KEYDOWN:
            Key(hwnd, s, wParam);
            return 0;
        case WM_LBUTTONDOWN: {
            if (s->edit) EndEdit(hwnd, s, true);
            SetFocus(hwnd);
            POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ScrollBar bar;
            if (GetScrollBar(hwnd, s, bar) && PtInRect(&bar.track, pt)) {
                s->onScrollBar = true;
                s->penDown = false;
                SetCapture(hwnd);
                PenOnScrollBar(hwnd, s, bar, pt);
                return 0;
            }
            int row = HitRow(hwnd, s, pt);
            s->penDown = true;
            s->held = false;
            s->penRow = row;
            s->penAt = pt;
            SetCapture(hwnd);
            if (row >= 0) {
                if ((s->ex & LVS_EX_CHECKBOXES) && pt.x < StateImageWidth(s)) {
                    UINT st = s->rows[static_cast<size_t>(row)].state & LVIS_STATEIMAGEMASK;
                    SetState(hwnd, s, row,
                             INDEXTOSTATEIMAGEMASK(st == INDEXTOSTATEIMAGEMASK(2) ? 1 : 2),
                             LVIS_STATEIMAGEMASK);
                }
                if (IsWindow(hwnd)) SelectOnly(hwnd, s, row);
            }
            if (IsWindow(hwnd)) SetTimer(hwnd, kHoldTimer, kHoldMs, nullptr);
            return 0;
        }
        case WM_TIMER:
            if (wParam != kHoldTimer) return 0;
            KillTimer(hwnd, kHoldTimer);
            if (s->penDown && !s->held) {
                // Held long enough: the context menu, and no tap on release.
                s->held = true;
                NMRGINFO info{};
                info.ptAction = s->penAt;
                ClientToScreen(hwnd, &info.ptAction);
                info.dwItemSpec = static_cast<DWORD>(s->penRow);
                Notify(hwnd, &info.hdr, GN_CONTEXTMENU);
            }
            return 0;
        case WM_MOUSEMOVE:
            if (s->draggingThumb)
                DragThumb(hwnd, s, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        case WM_MOUSEWHEEL: {
            // The wheel scrolls the rows under it, three a notch; the selection stays.
            const int notches = static_cast<short>(HIWORD(static_cast<DWORD_PTR>(wParam))) / 120;
            ScrollTo(hwnd, s, s->top - 3 * notches);
            return 0;
        }
        case WM_LBUTTONUP: {
            KillTimer(hwnd, kHoldTimer);
            if (s->onScrollBar) {
                if (s->draggingThumb)
                    DragThumb(hwnd, s, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
                s->onScrollBar = s->draggingThumb = false;
                if (GetCapture() == hwnd) ReleaseCapture();
                return 0;
            }
            if (GetCapture() == hwnd) ReleaseCapture();
            bool tap = s->penDown && !s->held;
            s->penDown = false;
            if (!tap) return 0;
            POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            int row = HitRow(hwnd, s, pt);
            Activate(hwnd, s, row, NM_CLICK, pt);
            if (IsWindow(hwnd) && row >= 0 && row == s->penRow && (s->ex & LVS_EX_ONECLICKACTIVATE))
                Activate(hwnd, s, row, LVN_ITEMACTIVATE, pt);
            return 0;
        }
        case WM_LBUTTONDBLCLK: {
            POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            Activate(hwnd, s, HitRow(hwnd, s, pt), NM_DBLCLK, pt);
            return 0;
        }
        case WM_RBUTTONUP: {
            POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            Activate(hwnd, s, HitRow(hwnd, s, pt), NM_RCLICK, pt);
            return 0;
        }
        default:
            return Message(hwnd, s, msg, wParam, lParam);
    }
}

}  // namespace fvt::ctl
