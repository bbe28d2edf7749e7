// Soft-key menu bars in the bottom strip.
#include "platform/menu/menu_bar.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/controls/controls_internal.h"
#include "platform/dialog/answers.h"
#include "platform/resources/device_resources.h"
#include "platform/shell/shell.h"
#include "platform/window/keys.h"
#include "platform/window/window_internal.h"

namespace {

using namespace fvt::ctl;

struct Button {
    int id = 0;
    std::u16string text;
    bool enabled = true;
    HMENU popup = nullptr;
};

struct Bar {
    HWND owner = nullptr;
    HMENU menu = nullptr;  // owned: destroyed with the bar
    std::vector<Button> buttons;
};

std::mutex& BarLock() {
    static auto* m = new std::mutex;
    return *m;
}
std::vector<HWND>& Shown() {  // bars in the order last shown
    static auto* v = new std::vector<HWND>;
    return *v;
}
std::vector<HWND>& All() {  // every bar alive, shown or hidden
    static auto* v = new std::vector<HWND>;
    return *v;
}

// The bottom strip of the screen as it is now: the bar's place in every orientation.
RECT BottomStrip() {
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    return RECT{0, h - fvt::MenuBarHeight(), w, h};
}

Bar* BarOf(HWND hwnd) {
    return reinterpret_cast<Bar*>(GetWindowLongPtrW(hwnd, 0));
}

RECT ButtonRect(HWND hwnd, const Bar* bar, size_t i) {
    RECT r;
    GetClientRect(hwnd, &r);
    size_t n = std::max<size_t>(bar->buttons.size(), 2);
    int w = (r.right - r.left) / static_cast<int>(n);
    // Two buttons sit at the two ends; more share the width.
    return RECT{r.left + static_cast<int>(i) * w, r.top, r.left + static_cast<int>(i + 1) * w, r.bottom};
}

void Press(HWND hwnd, Bar* bar, size_t i) {
    if (i >= bar->buttons.size() || !bar->buttons[i].enabled) return;
    Button b = bar->buttons[i];
    HWND owner = bar->owner;
    if (!b.popup) {
        PostMessageW(owner, WM_COMMAND, MAKEWPARAM(b.id, 0), 0);
        return;
    }
    SendMessageW(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(b.popup), 0);
    if (!IsWindow(hwnd)) return;
    RECT r = ButtonRect(hwnd, bar, i);
    POINT corner{i == 0 ? r.left : r.right, r.top};
    ClientToScreen(hwnd, &corner);
    UINT chosen = static_cast<UINT>(TrackPopupMenuEx(
        b.popup, TPM_RETURNCMD | TPM_BOTTOMALIGN | (i == 0 ? TPM_LEFTALIGN : TPM_RIGHTALIGN),
        corner.x, corner.y, owner, nullptr));
    if (chosen) PostMessageW(owner, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
}

int FindButton(const Bar* bar, int id) {
    for (size_t i = 0; i < bar->buttons.size(); ++i)
        if (bar->buttons[i].id == id) return static_cast<int>(i);
    return -1;
}

LRESULT BarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Bar* bar = BarOf(hwnd);
    if (!bar) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
        case WM_DESTROY: {
            {
                std::lock_guard<std::mutex> l(BarLock());
                auto& v = Shown();
                v.erase(std::remove(v.begin(), v.end(), hwnd), v.end());
                auto& all = All();
                all.erase(std::remove(all.begin(), all.end(), hwnd), all.end());
            }
            fvt::ClearKeyOverrides(bar->owner);
            if (bar->menu) DestroyMenu(bar->menu);
            SetWindowLongPtrW(hwnd, 0, 0);
            delete bar;
            return 0;
        }
        case WM_SHOWWINDOW: {
            std::lock_guard<std::mutex> l(BarLock());
            auto& v = Shown();
            v.erase(std::remove(v.begin(), v.end(), hwnd), v.end());
            if (wParam) v.push_back(hwnd);
            return 0;
        }
        case WM_PAINT: {
            Painter p(hwnd, nullptr);
            if (!p.dc()) return 0;
            Fill(p.dc(), p.client(), RGB(0, 32, 96));
            for (size_t i = 0; i < bar->buttons.size(); ++i) {
                RECT r = ButtonRect(hwnd, bar, i);
                COLORREF ink = bar->buttons[i].enabled ? RGB(255, 255, 255) : RGB(128, 128, 160);
                Text(p.dc(), bar->buttons[i].text, r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS, ink);
                if (i > 0) Fill(p.dc(), RECT{r.left, r.top + Px(4), r.left + 1, r.bottom - Px(4)}, RGB(128, 128, 160));
            }
            return 0;
        }
        case WM_KEYDOWN:
            // The soft keys: F1 the left button, F2 the right one (once per press).
            if ((wParam == VK_F1 || wParam == VK_F2) && !(lParam & kKeyPreviousDown)) {
                size_t i = wParam == VK_F1 ? 0 : bar->buttons.size() - 1;
                if (!bar->buttons.empty()) Press(hwnd, bar, i);
            }
            return 0;
        case WM_LBUTTONUP: {
            POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            for (size_t i = 0; i < bar->buttons.size(); ++i) {
                RECT r = ButtonRect(hwnd, bar, i);
                if (PtInRect(&r, pt)) {
                    Press(hwnd, bar, i);
                    break;
                }
            }
            return 0;
        }
        case SHCMBM_GETMENU:
            return reinterpret_cast<LRESULT>(bar->menu);
        case SHCMBM_GETSUBMENU: {
            int i = FindButton(bar, static_cast<int>(lParam));
            return i < 0 ? 0 : reinterpret_cast<LRESULT>(bar->buttons[static_cast<size_t>(i)].popup);
        }
        case SHCMBM_OVERRIDEKEY: {
            DWORD mask = LOWORD(static_cast<DWORD_PTR>(lParam));
            DWORD value = HIWORD(static_cast<DWORD_PTR>(lParam));
            if (mask & (SHMBOF_NODEFAULT | SHMBOF_NOTIFY))
                fvt::SetKeyOverride(bar->owner, static_cast<UINT>(wParam),
                                    (mask & SHMBOF_NOTIFY) && (value & SHMBOF_NOTIFY), hwnd);
            return TRUE;
        }
        case TB_BUTTONCOUNT:
            return static_cast<LRESULT>(bar->buttons.size());
        case TB_ISBUTTONENABLED: {
            int i = FindButton(bar, static_cast<int>(wParam));
            return i >= 0 && bar->buttons[static_cast<size_t>(i)].enabled;
        }
        case TB_ENABLEBUTTON: {
            int i = FindButton(bar, static_cast<int>(wParam));
            if (i < 0) return FALSE;
            bool enabled = LOWORD(static_cast<DWORD_PTR>(lParam)) != 0;
            bool& state = bar->buttons[static_cast<size_t>(i)].enabled;
            // The reader sets its bar after every page turn: the same state repaints nothing.
            if (state != enabled) InvalidateRect(hwnd, nullptr, TRUE);
            state = enabled;
            return TRUE;
        }
        case TB_DELETEBUTTON: {
            size_t i = static_cast<size_t>(wParam);
            if (i >= bar->buttons.size()) return FALSE;
            bar->buttons.erase(bar->buttons.begin() + static_cast<std::ptrdiff_t>(i));
            InvalidateRect(hwnd, nullptr, TRUE);
            return TRUE;
        }
        case TB_INSERTBUTTONW: {
            auto* b = reinterpret_cast<const TBBUTTON*>(lParam);
            if (!b) return FALSE;
            size_t at = std::min(static_cast<size_t>(wParam), bar->buttons.size());
            Button added;
            added.id = b->idCommand;
            added.enabled = (b->fsState & TBSTATE_ENABLED) != 0;
            if (b->iString > 0xFFFF) added.text = reinterpret_cast<LPCWSTR>(b->iString);
            bar->buttons.insert(bar->buttons.begin() + static_cast<std::ptrdiff_t>(at), added);
            InvalidateRect(hwnd, nullptr, TRUE);
            return TRUE;
        }
        case TB_GETBUTTONINFOW:
        case TB_SETBUTTONINFOW: {
            auto* info = reinterpret_cast<TBBUTTONINFOW*>(lParam);
            int i = FindButton(bar, static_cast<int>(wParam));
            if (!info || info->cbSize != sizeof(TBBUTTONINFOW) || i < 0) return -1;
            Button& b = bar->buttons[static_cast<size_t>(i)];
            if (msg == TB_GETBUTTONINFOW) {
                if (info->dwMask & TBIF_COMMAND) info->idCommand = b.id;
                if (info->dwMask & TBIF_STATE) info->fsState = b.enabled ? TBSTATE_ENABLED : 0;
                if (info->dwMask & TBIF_STYLE) info->fsStyle = b.popup ? TBSTYLE_DROPDOWN : TBSTYLE_BUTTON;
                if (info->dwMask & TBIF_LPARAM) info->lParam = reinterpret_cast<DWORD_PTR>(b.popup);
                if ((info->dwMask & TBIF_TEXT) && info->pszText && info->cchText > 0) {
                    size_t n = std::min(b.text.size(), static_cast<size_t>(info->cchText - 1));
                    std::copy(b.text.begin(), b.text.begin() + static_cast<std::ptrdiff_t>(n), info->pszText);
                    info->pszText[n] = 0;
                }
                return i;
            }
            const Button before = b;
            if (info->dwMask & TBIF_TEXT) b.text = info->pszText ? info->pszText : u"";
            if (info->dwMask & TBIF_STATE) b.enabled = (info->fsState & TBSTATE_ENABLED) != 0;
            if (info->dwMask & TBIF_COMMAND) b.id = info->idCommand;
            if (info->dwMask & TBIF_LPARAM) b.popup = reinterpret_cast<HMENU>(info->lParam);
            if (b.text != before.text || b.enabled != before.enabled || b.id != before.id ||
                b.popup != before.popup)
                InvalidateRect(hwnd, nullptr, TRUE);
            return TRUE;
        }
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

extern "C" BOOL SHCreateMenuBar(SHMENUBARINFO* info) {
    fvt::ctl::RegisterLayerClass(u"menu_worker", BarProc, static_cast<int>(sizeof(void*)));
    if (!info || info->cbSize != sizeof(SHMENUBARINFO) || !IsWindow(info->hwndParent))
        return FALSE;
    HMENU menu = nullptr;
    if (!(info->dwFlags & SHCMBF_EMPTYBAR)) {
        menu = (info->dwFlags & SHCMBF_HMENU)
                   ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(info->nToolBarId))
                   : LoadMenuW(info->hInstRes, MAKEINTRESOURCEW(static_cast<WORD>(info->nToolBarId)));
        if (!menu) return FALSE;
    }
    auto* bar = new Bar;
    bar->owner = info->hwndParent;
    bar->menu = (info->dwFlags & SHCMBF_HMENU) ? nullptr : menu;
    for (auto& item : fvt::MenuItems(menu)) {
        if (item.type & MFT_SEPARATOR) continue;
        bar->buttons.push_back(Button{static_cast<int>(item.id), item.text,
                                      !(item.state & MF_GRAYED), item.subMenu});
    }
    RECT strip = BottomStrip();
    HWND hwnd = CreateWindowExW(WS_EX_TOPMOST, u"menu_worker", u"", WS_POPUP, strip.left, strip.top,
                                strip.right - strip.left, strip.bottom - strip.top, nullptr,
                                nullptr, nullptr, nullptr);
    if (!hwnd) {
        if (bar->menu) DestroyMenu(bar->menu);
        delete bar;
        return FALSE;
    }
    {
        // Part of the shell: never activated, never given the focus.
        std::lock_guard<std::mutex> l(fvt::win::Lock());
        if (fvt::win::Window* win = fvt::win::Find(hwnd)) win->chrome = true;
    }
    SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(bar));
    {
        std::lock_guard<std::mutex> l(BarLock());
        All().push_back(hwnd);
    }
    if (!(info->dwFlags & SHCMBF_HIDDEN)) ShowWindow(hwnd, SW_SHOWNA);
    info->hwndMB = hwnd;
    return TRUE;
}

namespace fvt {

void CloseMenuBarsOf(HWND owner) {
    std::vector<HWND> bars;
    {
        std::lock_guard<std::mutex> l(BarLock());
        bars = Shown();
    }
    for (HWND bar : bars) {
        Bar* b = IsWindow(bar) ? BarOf(bar) : nullptr;
        // Posted: the owner is being destroyed, perhaps on the bar's own thread.
        if (b && b->owner == owner) {
            ShowWindow(bar, SW_HIDE);
            PostMessageW(bar, WM_CLOSE, 0, 0);
        }
    }
}

void PlaceMenuBars() {
    std::vector<HWND> bars;
    {
        std::lock_guard<std::mutex> l(BarLock());
        bars = All();
    }
    RECT strip = BottomStrip();
    for (HWND bar : bars)
        if (IsWindow(bar))
            SetWindowPos(bar, nullptr, strip.left, strip.top, strip.right - strip.left,
                         strip.bottom - strip.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND ActiveMenuBar() {
    HWND active = GetActiveWindow();
    std::vector<HWND> shown;
    {
        std::lock_guard<std::mutex> l(BarLock());
        shown = Shown();
    }
    for (auto it = shown.rbegin(); it != shown.rend(); ++it) {
        Bar* bar = IsWindow(*it) ? BarOf(*it) : nullptr;
        if (!bar || !IsWindowVisible(*it) || !IsWindow(bar->owner)) continue;
        for (HWND w = active; w; w = GetWindow(w, GW_OWNER))
            if (w == bar->owner) return *it;
    }
    for (auto it = shown.rbegin(); it != shown.rend(); ++it) {
        Bar* bar = IsWindow(*it) ? BarOf(*it) : nullptr;
        if (bar && IsWindowVisible(*it) && IsWindow(bar->owner)) return *it;
    }
    return nullptr;
}

HWND MenuBarForKeys(HWND keyOwner) {
    HWND hwnd = ActiveMenuBar();
    Bar* bar = hwnd ? BarOf(hwnd) : nullptr;
    if (!bar) return nullptr;
    if (!keyOwner) return hwnd;
    // A dialog's own bar takes its soft keys; a menu or a box has none.
    for (HWND w = bar->owner; w; w = GetParent(w) ? GetParent(w) : GetWindow(w, GW_OWNER))
        if (w == keyOwner) return hwnd;
    return nullptr;
}

bool PressMenuBarButton(int index) {
    HWND hwnd = ActiveMenuBar();
    Bar* bar = hwnd ? BarOf(hwnd) : nullptr;
    if (!bar || index < 0 || static_cast<size_t>(index) >= bar->buttons.size()) return false;
    Press(hwnd, bar, static_cast<size_t>(index));
    return true;
}

bool ChooseMenuBarItem(UINT item) {
    HWND hwnd = ActiveMenuBar();
    Bar* bar = hwnd ? BarOf(hwnd) : nullptr;
    if (!bar) return false;
    for (size_t i = 0; i < bar->buttons.size(); ++i) {
        const Button& b = bar->buttons[i];
        if (!b.popup && static_cast<UINT>(b.id) == item) {
            Press(hwnd, bar, i);
            return true;
        }
    }
    for (size_t i = 0; i < bar->buttons.size(); ++i) {
        HMENU popup = bar->buttons[i].popup;
        if (!popup) continue;
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID;
        if (GetMenuItemInfoW(popup, item, FALSE, &info)) {
            QueueAnswerFirst(Answer{static_cast<int>(item), {}, {}});
            Press(hwnd, bar, i);
            return true;
        }
    }
    return false;
}

}  // namespace fvt
