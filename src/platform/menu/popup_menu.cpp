// Pop-up menus on screen: TrackPopupMenuEx draws the menu at the point, one level at a time (a
// pop-up item opens its sub-menu in place), and takes the choice from the answer queue or the
// pen.
#include <algorithm>
#include <string>

#include "platform/controls/controls_internal.h"
#include "platform/dialog/answers.h"
#include "platform/last_error.h"
#include "platform/menu/menu.h"
#include "platform/shell/shell.h"
#include "platform/window/keys.h"

namespace {

using namespace fvt::ctl;

struct Tracking {
    HMENU shown = nullptr;
    int highlight = -1;  // the item the direction keys are on
    UINT chosen = 0;
    bool done = false;
};

bool Selectable(const fvt::MenuItemView& item) {
    return !(item.type & MFT_SEPARATOR) && !(item.state & MF_GRAYED);
}

// Opens the item's sub-menu in place, or chooses it.
void Take(HWND hwnd, Tracking* t, const fvt::MenuItemView& item);

// The direction keys, Enter and Escape, taken from the loop while the menu tracks.
bool MenuKey(HWND hwnd, Tracking* t, WPARAM vk) {
    auto items = fvt::MenuItems(t->shown);
    int n = static_cast<int>(items.size());
    if (vk == VK_ESCAPE || vk == VK_LEFT) {
        t->done = true;
        return true;
    }
    if (vk == VK_UP || vk == VK_DOWN) {
        int step = vk == VK_DOWN ? 1 : -1;
        for (int k = 1; k <= n; ++k) {
            int i = ((t->highlight < 0 && step < 0 ? n : t->highlight) + step * k + 2 * n) % n;
            if (Selectable(items[static_cast<size_t>(i)])) {
                t->highlight = i;
                break;
            }
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        return true;
    }
    if (vk == VK_RETURN || vk == VK_RIGHT) {
        if (t->highlight >= 0 && t->highlight < n) Take(hwnd, t, items[static_cast<size_t>(t->highlight)]);
        return true;
    }
    return false;
}

int ItemHeight(const fvt::MenuItemView& item) {
    return item.type & MFT_SEPARATOR ? Px(6) : Px(18);
}

SIZE MenuSize(HMENU menu) {
    SIZE s{Px(60), Px(4)};
    FontDC measure(nullptr, nullptr);
    for (auto& item : fvt::MenuItems(menu)) {
        s.cy += ItemHeight(item);
        s.cx = std::max<LONG>(s.cx, TextWidth(measure.dc(), item.text) + Px(30));
    }
    return s;
}

int ItemAt(HMENU menu, int y) {
    int top = Px(2);
    auto items = fvt::MenuItems(menu);
    for (size_t i = 0; i < items.size(); ++i) {
        int h = ItemHeight(items[i]);
        if (y >= top && y < top + h) return static_cast<int>(i);
        top += h;
    }
    return -1;
}

LRESULT MenuProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* t = reinterpret_cast<Tracking*>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
    if (!t) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
        case WM_PAINT: {
            Painter p(hwnd, nullptr);
            if (!p.dc()) return 0;
            RECT r = p.client();
            PaintPanel(p.dc(), r);
            int top = Px(2);
            int index = -1;
            for (auto& item : fvt::MenuItems(t->shown)) {
                ++index;
                int h = ItemHeight(item);
                if (item.type & MFT_SEPARATOR) {
                    Fill(p.dc(), RECT{r.left + Px(4), top + h / 2, r.right - Px(4), top + h / 2 + 1},
                         RGB(128, 128, 128));
                } else {
                    bool lit = index == t->highlight;
                    if (lit) Fill(p.dc(), RECT{r.left + 1, top, r.right - 1, top + h}, RGB(0, 0, 128));
                    COLORREF ink = (item.state & MF_GRAYED) ? RGB(160, 160, 160)
                                   : lit                    ? RGB(255, 255, 255)
                                                            : RGB(0, 0, 0);
                    RECT text{r.left + Px(14), top, r.right - Px(12), top + h};
                    Text(p.dc(), item.text, text, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS, ink);
                    if (item.state & MF_CHECKED)
                        Text(p.dc(), (item.type & MFT_RADIOCHECK) ? u"\u2022" : u"\u2713",
                             RECT{r.left + Px(3), top, r.left + Px(14), top + h},
                             DT_SINGLELINE | DT_VCENTER, ink);
                    if (item.subMenu)
                        Text(p.dc(), u"\u25BA", RECT{r.right - Px(12), top, r.right - Px(2), top + h},
                             DT_SINGLELINE | DT_VCENTER, ink);
                }
                top += h;
            }
            return 0;
        }
        case WM_LBUTTONUP: {
            RECT r;
            GetClientRect(hwnd, &r);
            POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            if (!PtInRect(&r, pt)) {
                t->done = true;  // a tap outside dismisses the menu
                return 0;
            }
            int i = ItemAt(t->shown, pt.y);
            auto items = fvt::MenuItems(t->shown);
            if (i < 0 || (items[static_cast<size_t>(i)].type & MFT_SEPARATOR) ||
                (items[static_cast<size_t>(i)].state & MF_GRAYED))
                return 0;
            Take(hwnd, t, items[static_cast<size_t>(i)]);
            return 0;
        }
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

void Take(HWND hwnd, Tracking* t, const fvt::MenuItemView& item) {
    if (item.subMenu) {
        t->shown = item.subMenu;
        t->highlight = -1;
        auto inner = fvt::MenuItems(t->shown);
        for (size_t i = 0; i < inner.size() && t->highlight < 0; ++i)
            if (Selectable(inner[i])) t->highlight = static_cast<int>(i);
        SIZE s = MenuSize(t->shown);
        SetWindowPos(hwnd, nullptr, 0, 0, s.cx, s.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(hwnd, nullptr, TRUE);
        return;
    }
    t->chosen = item.id;
    t->done = true;
}

// The item `id` when the user could choose it: enabled, a command, anywhere in the tree.
bool Choosable(HMENU menu, UINT id, int depth = 0) {
    if (depth > 8) return false;
    for (auto& item : fvt::MenuItems(menu)) {
        if (item.type & MFT_SEPARATOR || (item.state & MF_GRAYED)) continue;
        if (item.subMenu) {
            if (Choosable(item.subMenu, id, depth + 1)) return true;
        } else if (item.id == id) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, const void*) {
    if (fvt::MenuItems(menu).empty() && GetMenuItemCount(menu) < 0) return FALSE;
    fvt::ctl::RegisterLayerClass(u"FvtPopupMenu", MenuProc);
    Tracking t;
    t.shown = menu;
    SIZE s = MenuSize(menu);
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (flags & TPM_RIGHTALIGN) x -= s.cx;
    if (flags & TPM_CENTERALIGN) x -= s.cx / 2;
    if (flags & TPM_BOTTOMALIGN) y -= s.cy;
    if (flags & TPM_VCENTERALIGN) y -= s.cy / 2;
    x = std::clamp<int>(x, 0, std::max<int>(0, screen.right - s.cx));
    y = std::clamp<int>(y, 0, std::max<int>(0, screen.bottom - s.cy));
    HWND hwnd = CreateWindowExW(WS_EX_TOPMOST, u"FvtPopupMenu", u"", WS_POPUP, x, y, s.cx, s.cy,
                                owner, nullptr, nullptr, nullptr);
    if (!hwnd) return FALSE;
    SetWindowLongPtrW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(&t));
    ShowWindow(hwnd, SW_SHOWNA);
    SetCapture(hwnd);
    fvt::RunAnsweredLoop(nullptr, [&] { return t.done || !IsWindow(hwnd); }, [&] {
        UpdateWindow(hwnd);
        fvt::Answer a;
        if (fvt::TakeAnswer(a)) {
            if (a.action) a.action(hwnd);
            if (a.value < 0) return;  // the action did what the user would
            t.chosen = a.value > 0 && Choosable(menu, static_cast<UINT>(a.value))
                           ? static_cast<UINT>(a.value)
                           : 0;
            t.done = true;
        } else if (!fvt::AnswersFromUser()) {
            t.done = true;
        }
    }, [&](MSG& msg) { return IsWindow(hwnd) && MenuKey(hwnd, &t, msg.wParam); });
    if (GetCapture() == hwnd) ReleaseCapture();
    if (IsWindow(hwnd)) {
        SetWindowLongPtrW(hwnd, GWL_USERDATA, 0);
        DestroyWindow(hwnd);
    }
    fvt::AppendShellLog("menu " + std::to_string(GetMenuItemCount(menu)) + " items => " +
                        std::to_string(t.chosen));
    if (flags & TPM_RETURNCMD) return static_cast<BOOL>(t.chosen);
    if (t.chosen && owner && !(flags & TPM_NONOTIFY))
        PostMessageW(owner, WM_COMMAND, MAKEWPARAM(t.chosen, 0), 0);
    return TRUE;
}
