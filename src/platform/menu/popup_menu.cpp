// Pop-up menus on screen: TrackPopupMenuEx draws the menu at the point and each sub-menu opened
// from it in a window of its own beside its item (to the right, else to the left), every level
// wholly on the screen; the choice comes from the keys, the pen or the answer queue.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/controls/controls_internal.h"
#include "platform/dialog/answers.h"
#include "platform/last_error.h"
#include "platform/menu/menu.h"
#include "platform/menu/menu_bar.h"
#include "platform/shell/shell.h"
#include "platform/window/keys.h"

namespace {

using namespace fvt::ctl;

struct Level {
    HMENU menu = nullptr;
    HWND hwnd = nullptr;
    int highlight = -1;  // the item the direction keys are on
    int scroll = 0;      // how far a menu taller than the screen is scrolled, in pixels
};

struct Tracking {
    std::vector<Level> levels;  // the root first; the last one has the keys
    HWND owner = nullptr;
    UINT chosen = 0;
    bool done = false;
};

bool Selectable(const fvt::MenuItemView& item) {
    return !(item.type & MFT_SEPARATOR) && !(item.state & MF_GRAYED);
}

int ItemHeight(const fvt::MenuItemView& item) {
    return item.type & MFT_SEPARATOR ? Px(6) : Px(18);
}

RECT Screen() {
    return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

// Where menus go: the screen above the soft-key bar when one is shown, so that no menu covers
// the keys it was opened with.
RECT Room() {
    RECT room = Screen();
    HWND bar = fvt::ActiveMenuBar();
    RECT r{};
    if (bar && IsWindowVisible(bar) && GetWindowRect(bar, &r) && r.top > room.top &&
        r.top < room.bottom)
        room.bottom = r.top;
    return room;
}

// Room right of the labels: for the arrows of sub-menus where the menu has any.
int RightMargin(HMENU menu) {
    for (auto& item : fvt::MenuItems(menu))
        if (item.subMenu) return Px(12);
    return Px(4);
}

// As wide as its longest label, but never wider or taller than the screen: a label is cut (with
// an ellipsis) only when the screen itself is too narrow for it.
SIZE MenuSize(HMENU menu) {
    SIZE s{Px(60), Px(4)};
    FontDC measure(nullptr, nullptr);
    const int pad = Px(18) + RightMargin(menu);
    for (auto& item : fvt::MenuItems(menu)) {
        s.cy += ItemHeight(item);
        s.cx = std::max<LONG>(s.cx, TextWidth(measure.dc(), item.text) + pad);
    }
    RECT room = Room();
    s.cx = std::min<LONG>(s.cx, room.right - room.left);
    s.cy = std::min<LONG>(s.cy, room.bottom - room.top);
    return s;
}

int ItemTop(HMENU menu, int index) {
    int top = Px(2);
    auto items = fvt::MenuItems(menu);
    for (int i = 0; i < index && i < static_cast<int>(items.size()); ++i)
        top += ItemHeight(items[static_cast<size_t>(i)]);
    return top;
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

int FirstSelectable(HMENU menu) {
    auto items = fvt::MenuItems(menu);
    for (size_t i = 0; i < items.size(); ++i)
        if (Selectable(items[i])) return static_cast<int>(i);
    return -1;
}

LRESULT MenuProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// A level's window at (x, y), moved so that it lies wholly on the screen above the bar.
HWND OpenWindow(Tracking* t, HMENU menu, int x, int y) {
    SIZE s = MenuSize(menu);
    RECT screen = Room();
    x = std::clamp<int>(x, screen.left, std::max<int>(screen.left, screen.right - s.cx));
    y = std::clamp<int>(y, screen.top, std::max<int>(screen.top, screen.bottom - s.cy));
    HWND hwnd = CreateWindowExW(WS_EX_TOPMOST, u"FvtPopupMenu", u"", WS_POPUP, x, y, s.cx, s.cy,
                                t->owner, nullptr, nullptr, nullptr);
    if (!hwnd) return nullptr;
    SetWindowLongPtrW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(t));
    ShowWindow(hwnd, SW_SHOWNA);
    SetCapture(hwnd);
    return hwnd;
}

void CloseTopLevel(Tracking* t) {
    if (t->levels.empty()) return;
    HWND hwnd = t->levels.back().hwnd;
    t->levels.pop_back();
    if (GetCapture() == hwnd) ReleaseCapture();
    if (IsWindow(hwnd)) {
        SetWindowLongPtrW(hwnd, GWL_USERDATA, 0);
        DestroyWindow(hwnd);
    }
    if (!t->levels.empty() && IsWindow(t->levels.back().hwnd)) SetCapture(t->levels.back().hwnd);
}

// Scrolls a menu taller than its window so that its lit item shows.
void ShowHighlight(Level& level) {
    if (level.highlight < 0 || !level.hwnd) return;
    RECT r{};
    GetClientRect(level.hwnd, &r);
    const int top = ItemTop(level.menu, level.highlight);
    const int bottom = top + ItemHeight(fvt::MenuItems(level.menu)[static_cast<size_t>(level.highlight)]);
    const int height = r.bottom - r.top;
    if (top - Px(2) < level.scroll) level.scroll = std::max(0, top - Px(2));
    if (bottom + Px(2) > level.scroll + height) level.scroll = bottom + Px(2) - height;
}

// Opens the sub-menu of item `index` of the top level beside it: to the right of its parent, or
// to the left when the screen has no room there.
void OpenSubMenu(Tracking* t, int index, HMENU sub) {
    const Level& parent = t->levels.back();
    RECT p;
    GetWindowRect(parent.hwnd, &p);
    SIZE s = MenuSize(sub);
    RECT screen = Room();
    int x = p.right - Px(2);
    int y = p.top + ItemTop(parent.menu, index) - parent.scroll - Px(2);
    if (x + s.cx > screen.right) {
        x = p.left - s.cx + Px(2);
        // Short of room on the left too (beyond the parent's margin), it stays on the left but
        // above or below its parent, covering neither the parent's labels nor cutting its own;
        // with no room there either, it covers a part of its parent.
        if (x < screen.left) {
            x = screen.left;
            if (p.left + Px(12) - screen.left < s.cx) {
                if (p.top - s.cy >= screen.top)
                    y = p.top - s.cy;
                else if (p.bottom + s.cy <= screen.bottom)
                    y = p.bottom;
            }
        }
    }
    Level level;
    level.menu = sub;
    level.highlight = FirstSelectable(sub);
    level.hwnd = OpenWindow(t, sub, x, y);
    if (!level.hwnd) return;
    t->levels.push_back(level);
}

// Opens the item's sub-menu, or chooses it.
void Take(Tracking* t, int index) {
    Level& top = t->levels.back();
    auto items = fvt::MenuItems(top.menu);
    if (index < 0 || index >= static_cast<int>(items.size())) return;
    const fvt::MenuItemView& item = items[static_cast<size_t>(index)];
    if (!Selectable(item)) return;
    top.highlight = index;
    InvalidateRect(top.hwnd, nullptr, TRUE);
    if (item.subMenu) {
        OpenSubMenu(t, index, item.subMenu);
        return;
    }
    t->chosen = item.id;
    t->done = true;
}

// The keys while the menu tracks: Up and Down move the highlight over the items that can be
// chosen, Right and Enter open a sub-menu, Left and Escape close one level, Enter chooses. Every
// other key is taken and does nothing.
bool MenuKey(Tracking* t, WPARAM vk) {
    if (t->levels.empty()) return true;
    Level& top = t->levels.back();
    auto items = fvt::MenuItems(top.menu);
    int n = static_cast<int>(items.size());
    if (vk == VK_ESCAPE || vk == VK_LEFT) {
        if (t->levels.size() > 1)
            CloseTopLevel(t);
        else
            t->done = true;
        return true;
    }
    if ((vk == VK_UP || vk == VK_DOWN) && n > 0) {
        int step = vk == VK_DOWN ? 1 : -1;
        for (int k = 1; k <= n; ++k) {
            int i = ((top.highlight < 0 && step < 0 ? n : top.highlight) + step * k + 2 * n) % n;
            if (Selectable(items[static_cast<size_t>(i)])) {
                top.highlight = i;
                break;
            }
        }
        ShowHighlight(top);
        InvalidateRect(top.hwnd, nullptr, TRUE);
        return true;
    }
    if (vk == VK_RETURN || vk == VK_RIGHT) {
        if (top.highlight >= 0 && top.highlight < n) {
            const fvt::MenuItemView& item = items[static_cast<size_t>(top.highlight)];
            if (item.subMenu || vk == VK_RETURN) Take(t, top.highlight);
        }
        return true;
    }
    return true;
}

void PaintLevel(HWND hwnd, const Level& level) {
    Painter p(hwnd, nullptr);
    if (!p.dc()) return;
    RECT r = p.client();
    PaintPanel(p.dc(), r);
    int top = Px(2) - level.scroll;
    int index = -1;
    const int margin = RightMargin(level.menu);
    for (auto& item : fvt::MenuItems(level.menu)) {
        ++index;
        int h = ItemHeight(item);
        if (item.type & MFT_SEPARATOR) {
            Fill(p.dc(), RECT{r.left + Px(4), top + h / 2, r.right - Px(4), top + h / 2 + 1},
                 RGB(128, 128, 128));
        } else {
            bool lit = index == level.highlight;
            if (lit) Fill(p.dc(), RECT{r.left + 1, top, r.right - 1, top + h}, RGB(0, 0, 128));
            COLORREF ink = (item.state & MF_GRAYED) ? RGB(160, 160, 160)
                           : lit                    ? RGB(255, 255, 255)
                                                    : RGB(0, 0, 0);
            RECT text{r.left + Px(14), top, r.right - margin, top + h};
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
}

LRESULT MenuProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* t = reinterpret_cast<Tracking*>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
    if (!t) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
        case WM_PAINT: {
            for (const Level& level : t->levels)
                if (level.hwnd == hwnd) {
                    PaintLevel(hwnd, level);
                    return 0;
                }
            return DefWindowProcW(hwnd, msg, wParam, lParam);
        }
        case WM_LBUTTONUP: {
            // The pen goes to the newest level (it has the capture): the level under the point,
            // the newest first, takes the tap; levels above it close. A tap outside every level
            // dismisses the menu.
            POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ClientToScreen(hwnd, &pt);
            for (size_t k = t->levels.size(); k-- > 0;) {
                RECT r;
                GetWindowRect(t->levels[k].hwnd, &r);
                if (!PtInRect(&r, pt)) continue;
                while (t->levels.size() > k + 1) CloseTopLevel(t);
                const Level& at = t->levels.back();
                const int i = ItemAt(at.menu, pt.y - r.top + at.scroll);
                if (i >= 0) Take(t, i);
                return 0;
            }
            t->done = true;
            return 0;
        }
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
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
    t.owner = owner;
    SIZE s = MenuSize(menu);
    if (flags & TPM_RIGHTALIGN) x -= s.cx;
    if (flags & TPM_CENTERALIGN) x -= s.cx / 2;
    if (flags & TPM_BOTTOMALIGN) y -= s.cy;
    if (flags & TPM_VCENTERALIGN) y -= s.cy / 2;
    Level root;
    root.menu = menu;
    root.hwnd = OpenWindow(&t, menu, x, y);
    if (!root.hwnd) return FALSE;
    t.levels.push_back(root);
    // The menu has the keys while it tracks: none reaches the window behind it.
    fvt::PushKeyOwner(root.hwnd);
    fvt::RunAnsweredLoop(
        nullptr, [&] { return t.done || t.levels.empty() || !IsWindow(t.levels.front().hwnd); },
        [&] {
            for (const Level& level : t.levels) UpdateWindow(level.hwnd);
            fvt::Answer a;
            if (fvt::TakeAnswer(a)) {
                if (a.action) a.action(t.levels.back().hwnd);
                if (a.value < 0) return;  // the action did what the user would
                t.chosen = a.value > 0 && Choosable(menu, static_cast<UINT>(a.value))
                               ? static_cast<UINT>(a.value)
                               : 0;
                t.done = true;
            } else if (!fvt::AnswersFromUser()) {
                t.done = true;
            }
        },
        [&](MSG& msg) { return !t.levels.empty() && MenuKey(&t, msg.wParam); });
    fvt::PopKeyOwner(root.hwnd);
    while (!t.levels.empty()) CloseTopLevel(&t);
    fvt::AppendShellLog("menu " + std::to_string(GetMenuItemCount(menu)) + " items => " +
                        std::to_string(t.chosen));
    if (flags & TPM_RETURNCMD) return static_cast<BOOL>(t.chosen);
    if (t.chosen && owner && !(flags & TPM_NONOTIFY))
        PostMessageW(owner, WM_COMMAND, MAKEWPARAM(t.chosen, 0), 0);
    return TRUE;
}

std::vector<std::string> fvt::PopupMenuLayoutProblems(HWND menuWindow) {
    std::vector<std::string> problems;
    auto* t = reinterpret_cast<Tracking*>(GetWindowLongPtrW(menuWindow, GWL_USERDATA));
    if (!t) return problems;
    const RECT room = Room();
    FontDC measure(nullptr, nullptr);
    for (const Level& level : t->levels) {
        RECT r{};
        if (!level.hwnd || !GetWindowRect(level.hwnd, &r)) continue;
        if (r.bottom > room.bottom) problems.push_back("a menu runs over the soft-key bar");
        // The labels' room, as PaintLevel gives it.
        const int width = r.right - r.left - Px(14) - RightMargin(level.menu);
        for (const auto& item : fvt::MenuItems(level.menu))
            if (!(item.type & MFT_SEPARATOR) && TextWidth(measure.dc(), item.text) > width)
                problems.push_back("the menu item \"" + LogText(item.text) + "\" is cut");
    }
    return problems;
}
