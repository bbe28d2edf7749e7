// The list box and the drop-down combo box, over one item list. A list box one row high is a
// spinner: it shows the current item, and an up-down beside it steps the selection. The combo
// box drops its list as a pop-up menu of the items.
#include <algorithm>

#include "platform/controls/controls_internal.h"
#include "platform/menu/menu.h"
#include "platform/window/keys.h"

namespace fvt::ctl {

namespace {

std::u16string Lower(std::u16string s) {
    for (auto& c : s)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    return s;
}

LRESULT CopyText(const std::u16string& text, LPARAM lParam) {
    if (lParam) {
        auto* out = reinterpret_cast<LPWSTR>(lParam);
        std::copy(text.begin(), text.end(), out);
        out[text.size()] = 0;
    }
    return static_cast<LRESULT>(text.size());
}

}  // namespace

bool ItemList::Handle(UINT message, WPARAM wParam, LPARAM lParam, bool combo, LRESULT& result) {
    const LRESULT err = -1;
    auto index = static_cast<int>(static_cast<LONG_PTR>(static_cast<int>(wParam)));
    bool valid = index >= 0 && index < Count();
    auto item = [&]() -> ListItem& { return items[static_cast<size_t>(index)]; };
    // Each list-box message and its combo-box twin.
    auto is = [&](UINT listMessage, UINT comboMessage) {
        return message == (combo ? comboMessage : listMessage);
    };
    if (is(LB_ADDSTRING, CB_ADDSTRING) || is(LB_INSERTSTRING, CB_INSERTSTRING)) {
        LPCWSTR text = reinterpret_cast<LPCWSTR>(lParam);
        ListItem added{text ? text : u"", 0, false};
        size_t at = items.size();
        if (is(LB_INSERTSTRING, CB_INSERTSTRING) && index >= 0) {
            if (index > Count()) {
                result = err;
                return true;
            }
            at = static_cast<size_t>(index);
        } else if (sorted) {
            at = static_cast<size_t>(
                std::upper_bound(items.begin(), items.end(), added,
                                 [](const ListItem& a, const ListItem& b) {
                                     return Lower(a.text) < Lower(b.text);
                                 }) -
                items.begin());
        }
        items.insert(items.begin() + static_cast<std::ptrdiff_t>(at), added);
        if (current >= static_cast<int>(at)) ++current;
        result = static_cast<LRESULT>(at);
        return true;
    }
    if (is(LB_DELETESTRING, CB_DELETESTRING)) {
        if (!valid) {
            result = err;
            return true;
        }
        items.erase(items.begin() + index);
        if (current == index)
            current = -1;
        else if (current > index)
            --current;
        result = Count();
        return true;
    }
    if (is(LB_RESETCONTENT, CB_RESETCONTENT)) {
        items.clear();
        current = -1;
        result = 0;
        return true;
    }
    if (is(LB_GETCOUNT, CB_GETCOUNT)) {
        result = Count();
        return true;
    }
    if (is(LB_GETCURSEL, CB_GETCURSEL)) {
        result = current;
        return true;
    }
    if (is(LB_SETCURSEL, CB_SETCURSEL)) {
        // -1 clears the selection (and answers -1 as the platform does).
        for (auto& i : items) i.selected = false;
        current = valid ? index : -1;
        if (valid) item().selected = true;
        result = valid ? index : err;
        return true;
    }
    if (is(LB_GETTEXT, CB_GETLBTEXT)) {
        result = valid ? CopyText(item().text, lParam) : err;
        return true;
    }
    if (is(LB_GETTEXTLEN, CB_GETLBTEXTLEN)) {
        result = valid ? static_cast<LRESULT>(item().text.size()) : err;
        return true;
    }
    if (is(LB_GETITEMDATA, CB_GETITEMDATA)) {
        result = valid ? item().data : err;
        return true;
    }
    if (is(LB_SETITEMDATA, CB_SETITEMDATA)) {
        if (valid) item().data = lParam;
        result = valid ? 0 : err;
        return true;
    }
    if (is(LB_FINDSTRING, CB_FINDSTRING)) {
        LPCWSTR text = reinterpret_cast<LPCWSTR>(lParam);
        std::u16string prefix = Lower(text ? text : u"");
        result = err;
        int n = Count();
        for (int k = 1; k <= n; ++k) {
            int i = (index + k) % n;  // after `index` (-1: from the start), wrapping
            if (Lower(items[static_cast<size_t>(i)].text).rfind(prefix, 0) == 0) {
                result = i;
                break;
            }
        }
        return true;
    }
    return false;
}

namespace {

struct ListBoxState : Common {
    ItemList list;
    int top = 0;
};

int RowHeight(HWND hwnd) {
    (void)hwnd;
    return Px(15);
}

int Rows(HWND hwnd) {
    RECT r;
    GetClientRect(hwnd, &r);
    return std::max<int>(1, (r.bottom - r.top) / RowHeight(hwnd));
}

bool Multi(HWND hwnd) {
    return (GetWindowLongW(hwnd, GWL_STYLE) & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0;
}

void ShowCurrent(HWND hwnd, ListBoxState* s) {
    int rows = Rows(hwnd);
    if (s->list.current >= 0) {
        if (s->list.current < s->top) s->top = s->list.current;
        if (s->list.current >= s->top + rows) s->top = s->list.current - rows + 1;
    }
    s->top = std::clamp(s->top, 0, std::max(0, s->list.Count() - 1));
}

void Choose(HWND hwnd, ListBoxState* s, int index) {
    if (index < 0 || index >= s->list.Count() || index == s->list.current) return;
    LRESULT ignored;
    s->list.Handle(LB_SETCURSEL, static_cast<WPARAM>(index), 0, false, ignored);
    ShowCurrent(hwnd, s);
    InvalidateRect(hwnd, nullptr, TRUE);
    if (GetWindowLongW(hwnd, GWL_STYLE) & LBS_NOTIFY) Command(hwnd, LBN_SELCHANGE);
}

void PaintList(HWND hwnd, ListBoxState* s) {
    Painter p(hwnd, s->font);
    if (!p.dc()) return;
    RECT r = p.client();
    Fill(p.dc(), r, RGB(255, 255, 255));
    int h = RowHeight(hwnd);
    bool spinner = Rows(hwnd) == 1;
    // A spinner with nothing chosen shows nothing: its top row is not a choice.
    const int shown = spinner && s->list.current < 0 ? 0 : s->list.Count();
    for (int i = s->top; i < shown; ++i) {
        RECT row{r.left, r.top + (i - s->top) * h, r.right, r.top + (i - s->top + 1) * h};
        if (row.top >= r.bottom) break;
        const ListItem& item = s->list.items[static_cast<size_t>(i)];
        // A spinner shows its item plainly; a list marks the selection.
        bool marked = !spinner && item.selected;
        if (marked) Fill(p.dc(), row, RGB(0, 0, 128));
        RECT t{row.left + Px(2), row.top, row.right - Px(2), row.bottom};
        Text(p.dc(), item.text, t, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS,
             marked ? RGB(255, 255, 255) : RGB(0, 0, 0));
    }
    if (GetWindowLongW(hwnd, GWL_STYLE) & WS_BORDER) Frame(p.dc(), r, RGB(0, 0, 0));
    if (spinner && GetFocus() == hwnd) Frame(p.dc(), r, RGB(0, 0, 128));
}

}  // namespace

LRESULT ListBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* s = State<ListBoxState>(hwnd);
    LRESULT out = 0;
    if (CommonMessage(hwnd, msg, wParam, lParam, s, out)) return out;
    if (msg == WM_CREATE) {
        s->list.sorted = (GetWindowLongW(hwnd, GWL_STYLE) & LBS_SORT) != 0;
        return 0;
    }
    if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
    LRESULT result = 0;
    if (msg != LB_SETCURSEL && s->list.Handle(msg, wParam, lParam, false, result)) {
        ShowCurrent(hwnd, s);
        InvalidateRect(hwnd, nullptr, TRUE);
        return result;
    }
    switch (msg) {
        case LB_SETCURSEL:
            // Not for multiple-selection lists; the program's own change sends no notice.
            if (Multi(hwnd)) return LB_ERR;
            s->list.Handle(msg, wParam, lParam, false, result);
            ShowCurrent(hwnd, s);
            InvalidateRect(hwnd, nullptr, TRUE);
            return result;
        case LB_SETSEL: {
            if (!Multi(hwnd)) return LB_ERR;
            int index = static_cast<int>(static_cast<LONG_PTR>(lParam));
            if (index < -1 || index >= s->list.Count()) return LB_ERR;
            for (int i = 0; i < s->list.Count(); ++i)
                if (index == -1 || i == index)
                    s->list.items[static_cast<size_t>(i)].selected = wParam != 0;
            InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        }
        case LB_GETSEL: {
            int index = static_cast<int>(wParam);
            if (index < 0 || index >= s->list.Count()) return LB_ERR;
            return s->list.items[static_cast<size_t>(index)].selected ? 1 : 0;
        }
        case LB_GETSELCOUNT: {
            if (!Multi(hwnd)) return LB_ERR;
            return std::count_if(s->list.items.begin(), s->list.items.end(),
                                 [](const ListItem& i) { return i.selected; });
        }
        case LB_GETSELITEMS: {
            if (!Multi(hwnd)) return LB_ERR;
            int* out = reinterpret_cast<int*>(lParam);
            int n = 0;
            for (int i = 0; i < s->list.Count() && n < static_cast<int>(wParam); ++i)
                if (s->list.items[static_cast<size_t>(i)].selected) {
                    if (out) out[n] = i;
                    ++n;
                }
            return n;
        }
        case LB_GETTOPINDEX:
            return s->top;
        case LB_SETTOPINDEX:
            if (static_cast<int>(wParam) < 0 || static_cast<int>(wParam) >= s->list.Count())
                return LB_ERR;
            s->top = static_cast<int>(wParam);
            InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        case LB_GETITEMHEIGHT:
            return RowHeight(hwnd);
        case WM_KEYDOWN:
            if (wParam == VK_UP || wParam == VK_LEFT) Choose(hwnd, s, s->list.current - 1);
            if (wParam == VK_DOWN || wParam == VK_RIGHT)
                Choose(hwnd, s, s->list.current < 0 ? 0 : s->list.current + 1);
            return 0;
        case WM_LBUTTONDOWN: {
            SetFocus(hwnd);
            int index = s->top + GET_Y_LPARAM(lParam) / RowHeight(hwnd);
            if (index >= s->list.Count()) return 0;
            if (Multi(hwnd)) {
                auto& item = s->list.items[static_cast<size_t>(index)];
                item.selected = !item.selected;
                InvalidateRect(hwnd, nullptr, TRUE);
                if (GetWindowLongW(hwnd, GWL_STYLE) & LBS_NOTIFY) Command(hwnd, LBN_SELCHANGE);
                return 0;
            }
            Choose(hwnd, s, index);
            return 0;
        }
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            InvalidateRect(hwnd, nullptr, TRUE);
            if (GetWindowLongW(hwnd, GWL_STYLE) & LBS_NOTIFY)
                Command(hwnd, msg == WM_SETFOCUS ? LBN_SETFOCUS : LBN_KILLFOCUS);
            return 0;
        case WM_PAINT:
            PaintList(hwnd, s);
            return 0;
        default:
            // Anything else, a WM_USER query included, answers 0.
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

namespace {

struct ComboState : Common {
    ItemList list;
    bool dropped = false;
};

void DropDown(HWND hwnd, ComboState* s) {
    if (s->dropped) return;
    Command(hwnd, CBN_DROPDOWN);
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    for (int i = 0; i < s->list.Count(); ++i)
        AppendMenuW(menu, MF_STRING | (i == s->list.current ? MF_CHECKED : 0u),
                    static_cast<UINT_PTR>(i + 1), s->list.items[static_cast<size_t>(i)].text.c_str());
    RECT r;
    GetWindowRect(hwnd, &r);
    s->dropped = true;
    auto chosen = static_cast<int>(TrackPopupMenuEx(menu, TPM_RETURNCMD, r.left, r.bottom, hwnd, nullptr));
    DestroyMenu(menu);
    // The control may be gone when the menu returns.
    if (!IsWindow(hwnd) || State<ComboState>(hwnd) != s) return;
    s->dropped = false;
    Command(hwnd, CBN_CLOSEUP);
    if (chosen > 0 && chosen - 1 != s->list.current) {
        LRESULT ignored;
        s->list.Handle(CB_SETCURSEL, static_cast<WPARAM>(chosen - 1), 0, true, ignored);
        InvalidateRect(hwnd, nullptr, TRUE);
        Command(hwnd, CBN_SELCHANGE);
    }
}

}  // namespace

LRESULT ComboBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* s = State<ComboState>(hwnd);
    LRESULT out = 0;
    if (CommonMessage(hwnd, msg, wParam, lParam, s, out)) return out;
    if (msg == WM_CREATE) {
        s->list.sorted = (GetWindowLongW(hwnd, GWL_STYLE) & CBS_SORT) != 0;
        return 0;
    }
    if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
    LRESULT result = 0;
    if (s->list.Handle(msg, wParam, lParam, true, result)) {
        InvalidateRect(hwnd, nullptr, TRUE);
        return result;
    }
    switch (msg) {
        case CB_GETDROPPEDSTATE:
            return s->dropped;
        case CB_SHOWDROPDOWN:
            if (wParam) DropDown(hwnd, s);
            return TRUE;
        case WM_LBUTTONUP:
            SetFocus(hwnd);
            DropDown(hwnd, s);
            return 0;
        case WM_KEYDOWN: {
            int next = s->list.current + (wParam == VK_DOWN ? 1 : wParam == VK_UP ? -1 : 0);
            if (next != s->list.current && next >= 0 && next < s->list.Count()) {
                s->list.Handle(CB_SETCURSEL, static_cast<WPARAM>(next), 0, true, result);
                InvalidateRect(hwnd, nullptr, TRUE);
                Command(hwnd, CBN_SELCHANGE);
            }
            return 0;
        }
        case WM_PAINT: {
            Painter p(hwnd, s->font);
            if (!p.dc()) return 0;
            RECT r = p.client();
            Fill(p.dc(), r, RGB(255, 255, 255));
            Frame(p.dc(), r, RGB(0, 0, 0));
            int arrow = Px(12);
            RECT a{r.right - arrow, r.top, r.right, r.bottom};
            Frame(p.dc(), a, RGB(0, 0, 0));
            Text(p.dc(), u"\u25BC", a, DT_CENTER | DT_VCENTER | DT_SINGLELINE, RGB(0, 0, 0));
            if (s->list.current >= 0) {
                RECT t{r.left + Px(2), r.top, a.left - Px(2), r.bottom};
                Text(p.dc(), s->list.items[static_cast<size_t>(s->list.current)].text, t,
                     DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS, RGB(0, 0, 0));
            }
            return 0;
        }
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace fvt::ctl
