// Keys and the pen, from the backend to the windows.
//
// Routing of a key press (vk, down then up), in this order:
//  1. A key registered with RegisterHotKey (with the modifiers held now) gives two WM_HOTKEY to
//     its window: one on the way down, one on the way up (MOD_KEYUP set in LOWORD(lParam)).
//     HIWORD(lParam) is the key. The program acts on the first and ignores the second.
//  2. A key the active menu bar overrides with notify (Back, the soft keys) gives two WM_HOTKEY
//     to the bar's owner, the same way.
//  3. Hardware buttons (0xC1-0xCF) give WM_KEYDOWN/WM_KEYUP as well, even when registered as hot
//     keys (the program runs a button's action on its key-up): to the window associated with the
//     key by SHSetAppKeyWndAssoc, else to the focus window.
//  4. The soft keys (F1, F2) that no bar overrides press the left and right button of the bar in
//     front (WM_KEYDOWN/WM_KEYUP to the bar).
//  5. Every other key goes to the focus window (else the active window) as WM_KEYDOWN/WM_KEYUP.
// While a pop-up menu, a message box or a modal dialog runs, it owns the keys: no bar overrides
// them, hot keys of windows behind it do not fire, and a key whose target lies outside it goes to
// it.
// WM_KEYUP carries bit 30 (previously down) and bit 31; a repeated WM_KEYDOWN carries bit 30.
// GetKeyState follows the key messages as they are retrieved; GetAsyncKeyState the keys now.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "platform/last_error.h"
#include "platform/window/keys.h"
#include "platform/window/window_internal.h"
#include "platform/window/window_layer.h"

namespace fvt {
HWND MenuBarForKeys(HWND keyOwner);
bool FocusInModelessDialog();
bool FocusInListEdit();
}

namespace {

using namespace fvt::win;

struct HotKey {
    HWND window;
    int id;
    UINT modifiers;
    UINT vk;
};

struct Override {
    HWND owner;
    UINT vk;
    bool notify;
    HWND bar;  // the bar that set it; none: any
};

// An override holds unless a bar other than its own is shown in front.
bool OverrideHolds(const Override& o, HWND frontBar) {
    return !o.bar || !frontBar || o.bar == frontBar;
}

std::array<BYTE, 256> g_state{};   // as retrieved: 0x80 down, 1 toggled
std::array<BYTE, 256> g_async{};   // as injected
// The characters the backend gave with key presses, each found again by the tag its WM_KEYDOWN
// carries in the scan-code bits: a quick second press of the same key (Shift+1, then 1) keeps
// its own character.
std::array<WCHAR, 256> g_typed{};
unsigned g_nextTyped = 0;
std::vector<HotKey> g_hotKeys;
std::vector<Override> g_overrides;
std::array<HWND, 256> g_appKeys{};
std::vector<HWND> g_keyOwners;             // modal menus, boxes and dialogs, innermost last
std::array<bool, 256> g_takenFunctions{};  // keys whose system function a program took
POINT g_pen{0, 0};
HWND g_penWindow = nullptr;

bool IsButton(UINT vk) {
    return vk >= 0xC1 && vk <= 0xCF;
}

UINT HeldModifiers() {
    UINT m = 0;
    if (g_async[VK_SHIFT] & 0x80) m |= MOD_SHIFT;
    if (g_async[VK_CONTROL] & 0x80) m |= MOD_CONTROL;
    if (g_async[VK_MENU] & 0x80) m |= MOD_ALT;
    return m;
}

// `w` is `owner`, lies inside it or is owned by it (lock held).
bool WithinLocked(Window* w, HWND owner) {
    for (int depth = 0; w && depth < 64; ++depth) {
        if (w->handle == owner) return true;
        w = w->parent && !w->parent->desktop ? w->parent : Find(w->owner);
    }
    return false;
}

// The innermost modal window still alive (lock held).
HWND KeyOwnerLocked() {
    while (!g_keyOwners.empty() && !Find(g_keyOwners.back())) g_keyOwners.pop_back();
    return g_keyOwners.empty() ? nullptr : g_keyOwners.back();
}

bool Within(HWND window, HWND owner) {
    std::lock_guard<std::mutex> l(Lock());
    Window* w = Find(window);
    return w && WithinLocked(w, owner);
}

HWND FocusTarget() {
    // The driver runs on the window thread; focus is that thread's.
    HWND focus = GetFocus();
    return focus ? focus : GetActiveWindow();
}

void SetDown(std::array<BYTE, 256>& table, UINT vk, bool down) {
    auto set = [&](UINT k) {
        if (down) {
            if (!(table[k] & 0x80)) table[k] ^= 1;
            table[k] |= 0x80;
        } else {
            table[k] &= ~0x80;
        }
    };
    set(vk & 0xFF);
    if (vk == VK_LCONTROL || vk == VK_RCONTROL) set(VK_CONTROL);
    if (vk == VK_LSHIFT || vk == VK_RSHIFT) set(VK_SHIFT);
}

// The bar in front, which an override of vk that a bar set needs; found (a walk over the bars)
// only when there is such an override, as any other holds whatever bar is in front.
HWND FrontBarFor(UINT vk) {
    bool needed = false;
    {
        std::lock_guard<std::mutex> l(Lock());
        for (const Override& o : g_overrides) needed = needed || (o.vk == vk && o.bar);
    }
    return needed ? fvt::MenuBarForKeys(nullptr) : nullptr;
}

void KeyEvent(UINT vk, bool down, WCHAR character) {
    vk &= 0xFF;
    bool wasDown;
    UINT mods;
    HWND hotWindow = nullptr, overrideOwner = nullptr, assoc = nullptr, keyOwner = nullptr;
    int hotId = 0;
    // Escape in a modeless dialog (Find) is its Cancel, as in a modal one; in a list's in-place
    // edit it is the edit's, which cancels it.
    const bool dialogEscape =
        vk == VK_ESCAPE && (fvt::FocusInModelessDialog() || fvt::FocusInListEdit());
    const HWND frontBar = FrontBarFor(vk);
    {
        std::lock_guard<std::mutex> l(Lock());
        wasDown = (g_async[vk] & 0x80) != 0;
        if (!down && !wasDown) return;  // an up without a down is noise
        mods = HeldModifiers();
        keyOwner = KeyOwnerLocked();
        auto reachable = [&](HWND window) {
            Window* w = Find(window);
            return w && (!keyOwner || WithinLocked(w, keyOwner));
        };
        for (const HotKey& h : g_hotKeys) {
            UINT want = h.modifiers & (MOD_ALT | MOD_CONTROL | MOD_SHIFT);
            if (h.vk == vk && want == (mods & ~(vk == VK_SHIFT ? MOD_SHIFT : 0u)) &&
                reachable(h.window)) {
                hotWindow = h.window;
                hotId = h.id;
                break;
            }
        }
        // A modal menu, box or dialog takes its own keys as keys: Escape is its Cancel, not the
        // Back key a bar hands to its owner.
        if (!hotWindow && !keyOwner && !dialogEscape)
            for (const Override& o : g_overrides)
                if (o.vk == vk && o.notify && Find(o.owner) && OverrideHolds(o, frontBar)) {
                    overrideOwner = o.owner;
                    break;
                }
        if (reachable(g_appKeys[vk])) assoc = g_appKeys[vk];
        SetDown(g_async, vk, down);
    }
    POINT pt = g_pen;
    LPARAM keyBits = 1 | (wasDown ? kKeyPreviousDown : 0) | (down ? 0 : kKeyTransitionUp);
    if (down && character) {
        std::lock_guard<std::mutex> l(Lock());
        g_nextTyped = g_nextTyped % 255 + 1;
        g_typed[g_nextTyped] = character;
        keyBits |= static_cast<LPARAM>(g_nextTyped) << 16;
    }
    LPARAM hotBits = MAKELPARAM(mods | (down ? 0 : MOD_KEYUP), vk);
    // A held key repeating gives no second pair of hot keys.
    if (hotWindow) {
        if (down != wasDown)
            PostInput(hotWindow, WM_HOTKEY, static_cast<WPARAM>(hotId), hotBits, pt);
        if (!IsButton(vk)) return;
    } else if (overrideOwner) {
        if (down != wasDown) PostInput(overrideOwner, WM_HOTKEY, vk, hotBits, pt);
        return;
    }
    HWND target = assoc ? assoc : FocusTarget();
    if (keyOwner && !Within(target, keyOwner)) target = keyOwner;
    // A soft key presses its button on the bar in front, unless a menu or box has the keys.
    if ((vk == VK_F1 || vk == VK_F2) && !hotWindow) {
        HWND bar = fvt::MenuBarForKeys(keyOwner);
        if (bar) target = bar;
    }
    if (!target) return;
    PostInput(target, down ? WM_KEYDOWN : WM_KEYUP, vk, keyBits, pt);
}

WCHAR CharacterOf(UINT vk) {
    bool shift = (g_state[VK_SHIFT] & 0x80) != 0;
    bool ctrl = (g_state[VK_CONTROL] & 0x80) != 0;
    if (vk >= 'A' && vk <= 'Z') {
        if (ctrl) return static_cast<WCHAR>(vk - 'A' + 1);
        return static_cast<WCHAR>(shift ? vk : vk + 32);
    }
    if (vk >= '0' && vk <= '9') return static_cast<WCHAR>(vk);
    switch (vk) {
        case VK_SPACE:
            return u' ';
        case VK_RETURN:
            return u'\r';
        case VK_TAB:
            return u'\t';
        case VK_BACK:
            return 8;
        case VK_ESCAPE:
            return 27;
        case VK_F8:
            return u'*';
        case VK_F9:
            return u'#';
        case VK_OEM_MINUS:
            return u'-';
        case VK_OEM_PLUS:
            return u'+';
    }
    return 0;
}

// A pen down on an inactive top-level window of this thread activates it first, so the
// window hears WM_ACTIVATE before the pen message. Disabled windows (owners of a modal loop)
// and the shell's own strips are never activated.
void ActivateUnderPen(POINT p) {
    HWND under = WindowFromPoint(p);
    auto queue = fvt::win::CurrentQueue();
    HWND top = nullptr;
    {
        std::lock_guard<std::mutex> l(fvt::win::Lock());
        fvt::win::Window* w = fvt::win::Find(under);
        while (w && w->parent && !w->parent->desktop) w = w->parent;
        if (!w || w->desktop || w->chrome || w->remote || w->destroying) return;
        if (!fvt::win::IsShown(w) || (w->style & WS_DISABLED)) return;
        if (w->queue != queue) return;
        top = w->handle;
    }
    if (GetActiveWindow() != top) SetActiveWindow(top);
}

void Pen(UINT message, int x, int y) {
    HWND target;
    {
        std::lock_guard<std::mutex> l(Lock());
        g_pen = POINT{x, y};
    }
    target = GetCapture();
    if (!target && message == WM_LBUTTONDOWN) ActivateUnderPen(POINT{x, y});
    if (!target) target = message == WM_LBUTTONDOWN ? WindowFromPoint(POINT{x, y}) : g_penWindow;
    if (!target) target = WindowFromPoint(POINT{x, y});
    if (message == WM_LBUTTONDOWN) g_penWindow = target;
    if (message == WM_LBUTTONUP) g_penWindow = nullptr;
    if (!target || !IsWindowEnabled(target)) return;
    POINT client{x, y};
    ScreenToClient(target, &client);
    WPARAM keys = message == WM_LBUTTONUP ? 0 : 1;  // MK_LBUTTON while the pen is down
    PostInput(target, message, keys, MAKELPARAM(client.x, client.y), POINT{x, y});
}

}  // namespace

namespace fvt::win {

void NoteKeyRetrieved(const MSG& msg) {
    if (msg.message == WM_KEYDOWN) SetDown(g_state, static_cast<UINT>(msg.wParam), true);
    if (msg.message == WM_KEYUP) SetDown(g_state, static_cast<UINT>(msg.wParam), false);
}

void RouteKeyAtRetrieval(const ThreadQueue& queue, MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_KEYUP && msg.message != WM_HOTKEY) return;
    HWND owner = KeyOwnerLocked();
    if (!owner) return;
    Window* to = Find(msg.hwnd);
    // A soft key on its way to a bar was pressed for the bar in front when it was routed.
    if (to && (to->chrome || WithinLocked(to, owner))) return;
    if (msg.message == WM_HOTKEY) {
        // Only a bar's override (its id is the key) turns back into the key it was; a hot key a
        // window registered stays that window's.
        const UINT vk = HIWORD(static_cast<DWORD_PTR>(msg.lParam));
        bool overridden = false;
        for (const Override& o : g_overrides)
            overridden = overridden || (o.owner == msg.hwnd && o.vk == vk && o.notify);
        if (msg.wParam != vk || !overridden) return;
        const bool up = (LOWORD(static_cast<DWORD_PTR>(msg.lParam)) & MOD_KEYUP) != 0;
        msg.message = up ? WM_KEYUP : WM_KEYDOWN;
        msg.wParam = vk;
        msg.lParam = 1 | (up ? kKeyPreviousDown | kKeyTransitionUp : 0);
    }
    Window* focus = Find(queue.focus);
    msg.hwnd = focus && WithinLocked(focus, owner) ? queue.focus : owner;
}

void OnKeysWindowDestroyed(HWND window) {
    std::lock_guard<std::mutex> l(Lock());
    g_hotKeys.erase(std::remove_if(g_hotKeys.begin(), g_hotKeys.end(),
                                   [&](const HotKey& h) { return h.window == window; }),
                    g_hotKeys.end());
    g_overrides.erase(
        std::remove_if(g_overrides.begin(), g_overrides.end(),
                       [&](const Override& o) { return o.owner == window || o.bar == window; }),
        g_overrides.end());
    for (HWND& h : g_appKeys)
        if (h == window) h = nullptr;
    if (g_penWindow == window) g_penWindow = nullptr;
}

void ResetKeys() {
    std::lock_guard<std::mutex> l(Lock());
    g_state.fill(0);
    g_async.fill(0);
    g_typed.fill(0);
    g_hotKeys.clear();
    g_overrides.clear();
    g_appKeys.fill(nullptr);
    g_takenFunctions.fill(false);
    g_keyOwners.clear();
}

}  // namespace fvt::win

extern "C" {

short GetKeyState(int vk) {
    std::lock_guard<std::mutex> l(Lock());
    BYTE s = g_state[vk & 0xFF];
    return static_cast<short>(((s & 0x80) ? 0x8000 : 0) | (s & 1));
}

short GetAsyncKeyState(int vk) {
    std::lock_guard<std::mutex> l(Lock());
    return static_cast<short>((g_async[vk & 0xFF] & 0x80) ? 0x8000 : 0);
}

BOOL RegisterHotKey(HWND window, int id, UINT modifiers, UINT vk) {
    std::lock_guard<std::mutex> l(Lock());
    Window* w = Find(window);
    if (!w || w->desktop) return fvt::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    vk &= 0xFF;
    UINT mods = modifiers & (MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN);
    for (HotKey& h : g_hotKeys) {
        if (h.window == window && h.id == id) {
            h.modifiers = mods;
            h.vk = vk;
            return TRUE;
        }
        if (h.vk == vk && h.modifiers == mods)
            return fvt::Fail(ERROR_HOTKEY_ALREADY_REGISTERED, FALSE);
    }
    g_hotKeys.push_back(HotKey{window, id, mods, vk});
    return TRUE;
}

BOOL UnregisterHotKey(HWND window, int id) {
    std::lock_guard<std::mutex> l(Lock());
    auto it = std::find_if(g_hotKeys.begin(), g_hotKeys.end(),
                           [&](const HotKey& h) { return h.window == window && h.id == id; });
    if (it == g_hotKeys.end()) return fvt::Fail(ERROR_HOTKEY_NOT_REGISTERED, FALSE);
    g_hotKeys.erase(it);
    return TRUE;
}

BOOL UnregisterFunc1(UINT, UINT vk) {
    // The system's own uses of the buttons are not emulated: the key is simply free. That it
    // was taken is kept, so that giving it back can be seen.
    if (vk > 0xFF) return FALSE;
    std::lock_guard<std::mutex> l(Lock());
    g_takenFunctions[vk] = true;
    return TRUE;
}

BOOL SHSetAppKeyWndAssoc(BYTE vk, HWND window) {
    std::lock_guard<std::mutex> l(Lock());
    if (window) {
        Window* w = Find(window);
        if (!w || w->desktop) return fvt::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    }
    g_appKeys[vk] = window;
    return TRUE;
}

BOOL SHSendBackToFocusWindow(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND target = FocusTarget();
    if (!target) return FALSE;
    return PostMessageW(target, message, wParam, lParam);
}

int TranslateAcceleratorW(HWND, HACCEL table, MSG*) {
    // No accelerator tables exist on this system; a null table translates nothing.
    (void)table;
    return 0;
}

BOOL TranslateMessage(const MSG* msg) {
    if (!msg || msg->message != WM_KEYDOWN) return FALSE;
    UINT vk = static_cast<UINT>(msg->wParam) & 0xFF;
    const auto tag = static_cast<size_t>((msg->lParam >> 16) & 0xFF);
    WCHAR c;
    {
        std::lock_guard<std::mutex> l(Lock());
        c = tag ? g_typed[tag] : 0;
        if (tag) g_typed[tag] = 0;
        // A key the backend gave without its character types what the device's keyboard would.
        if (!c) c = CharacterOf(vk);
    }
    if (!c) return FALSE;
    std::lock_guard<std::mutex> l(Lock());
    Window* w = Find(msg->hwnd);
    if (!w || !w->queue) return FALSE;
    // The character comes next, before anything posted earlier.
    MSG m = *msg;
    m.message = WM_CHAR;
    m.wParam = c;
    m.lParam = msg->lParam & ~(kKeyPreviousDown | kKeyTransitionUp | (0xFF << 16));
    m.lParam |= msg->lParam & kKeyPreviousDown;
    w->queue->posted.push_front(m);
    return TRUE;
}

}  // extern "C"

namespace fvt {

void SetKeyOverride(HWND owner, UINT vk, bool notify, HWND bar) {
    std::lock_guard<std::mutex> l(win::Lock());
    // One entry per bar (every bar of a window overrides Back), or per owner without a bar.
    for (auto& o : g_overrides)
        if (o.owner == owner && o.vk == (vk & 0xFF) && o.bar == bar) {
            o.notify = notify;
            return;
        }
    g_overrides.push_back(Override{owner, vk & 0xFF, notify, bar});
}

bool RestoreKeyFunction(UINT vk) {
    if (vk > 0xFF) return false;
    std::lock_guard<std::mutex> l(win::Lock());
    const bool taken = g_takenFunctions[vk];
    g_takenFunctions[vk] = false;
    return taken;
}

bool IsKeyFunctionTaken(UINT vk) {
    if (vk > 0xFF) return false;
    std::lock_guard<std::mutex> l(win::Lock());
    return g_takenFunctions[vk];
}

void PushKeyOwner(HWND window) {
    std::lock_guard<std::mutex> l(win::Lock());
    g_keyOwners.push_back(window);
}

void PopKeyOwner(HWND window) {
    std::lock_guard<std::mutex> l(win::Lock());
    auto it = std::find(g_keyOwners.rbegin(), g_keyOwners.rend(), window);
    if (it != g_keyOwners.rend()) g_keyOwners.erase(std::next(it).base());
}

HWND KeyOwner() {
    std::lock_guard<std::mutex> l(win::Lock());
    return KeyOwnerLocked();
}

void ClearKeyOverrides(HWND owner) {
    std::lock_guard<std::mutex> l(win::Lock());
    g_overrides.erase(std::remove_if(g_overrides.begin(), g_overrides.end(),
                                     [&](const Override& o) { return o.owner == owner; }),
                      g_overrides.end());
}

void PenDown(int x, int y) {
    Pen(WM_LBUTTONDOWN, x, y);
}
void PenMove(int x, int y) {
    Pen(WM_MOUSEMOVE, x, y);
}
void PenUp(int x, int y) {
    Pen(WM_LBUTTONUP, x, y);
}
void Tap(int x, int y) {
    PenDown(x, y);
    PenUp(x, y);
}
void KeyDown(UINT vk, WCHAR character) {
    KeyEvent(vk, true, character);
}
void KeyUp(UINT vk) {
    KeyEvent(vk, false, 0);
}
void Key(UINT vk, WCHAR character) {
    KeyDown(vk, character);
    KeyUp(vk);
}
void Character(WCHAR character) {
    HWND target = FocusTarget();
    if (target) win::PostInput(target, WM_CHAR, character, 1, g_pen);
}
bool Wheel(int x, int y, int notches) {
    HWND under = WindowFromPoint(POINT{x, y});
    WCHAR cls[32] = {};
    if (!under || !GetClassNameW(under, cls, 32)) return false;
    // Any spelling of the list view's class: it is found again without regard to case.
    std::u16string name(cls);
    for (char16_t& c : name)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    if (name != u"syslistview32") return false;
    // A list behind a menu, box or dialog is not the person's to scroll.
    HWND owner = KeyOwner();
    if (owner && !Within(under, owner)) return true;
    win::PostInput(under, WM_MOUSEWHEEL,
                   MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(notches * 120))),
                   MAKELPARAM(x, y), POINT{x, y});
    return true;
}
void HardwareButton(int number) {
    if (number >= 1 && number <= 15) Key(0xC0 + static_cast<UINT>(number));
}
bool PressMenuBarButton(int index);

void SoftKey(int number) {
    if (number != 1 && number != 2) return;
    UINT vk = VK_F1 + static_cast<UINT>(number) - 1;
    bool overridden = false;
    const HWND frontBar = FrontBarFor(vk);
    {
        std::lock_guard<std::mutex> l(win::Lock());
        for (const Override& o : g_overrides)
            overridden = overridden ||
                         (o.vk == vk && win::Find(o.owner) && OverrideHolds(o, frontBar));
    }
    // A soft key the bar does not override presses the bar's button.
    if (!overridden && PressMenuBarButton(number - 1)) return;
    Key(vk);
}

}  // namespace fvt
