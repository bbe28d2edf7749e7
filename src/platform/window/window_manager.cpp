// Windows: classes, the tree and z-order, placement, focus, activation, capture and painting.
#include <algorithm>
#include <atomic>
#include <cstring>

#include <unistd.h>

#include "platform/kernel/device.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/kernel_sync.h"
#include "platform/kernel/system_info.h"
#include "platform/last_error.h"
#include "platform/window/window_internal.h"

namespace fvt::win {
namespace {

// The window table is never destroyed: the single-instance server's thread may still look a
// window up for another process while this one runs its static destructors at exit.
std::mutex& g_lock = *new std::mutex;
// Slot i holds handle generation g_gens[i].
std::vector<std::unique_ptr<Window>>& g_slots = *new std::vector<std::unique_ptr<Window>>;
std::vector<std::uint32_t>& g_gens = *new std::vector<std::uint32_t>;
std::vector<std::shared_ptr<WindowClass>>& g_classes =
    *new std::vector<std::shared_ptr<WindowClass>>;
std::atomic<std::uint64_t> g_order{0};
HWND g_capture = nullptr;
HWND g_foreground = nullptr;

HWND MakeHandle(size_t slot, std::uint32_t gen) {
    return reinterpret_cast<HWND>((static_cast<std::uintptr_t>(gen) << 16) | (slot + 1));
}

std::u16string Lower(LPCWSTR s) {
    std::u16string out;
    if (!s) return out;
    for (; *s; ++s) out.push_back(*s >= u'A' && *s <= u'Z' ? static_cast<char16_t>(*s + 32) : *s);
    return out;
}

bool IsAtom(LPCWSTR name) {
    return reinterpret_cast<std::uintptr_t>(name) < 0x10000;
}

std::shared_ptr<WindowClass> FindClass(LPCWSTR name) {
    if (!name || IsAtom(name)) {
        auto atom = reinterpret_cast<std::uintptr_t>(name);
        if (atom == 0 || atom > g_classes.size()) return nullptr;
        return g_classes[atom - 1];
    }
    std::u16string key = Lower(name);
    for (auto& c : g_classes)
        if (c && c->name == key) return c;
    return nullptr;
}

Window* NewWindow() {
    size_t slot = 0;
    while (slot < g_slots.size() && g_slots[slot]) ++slot;
    if (slot >= 0xFFFF) return nullptr;
    if (slot == g_slots.size()) {
        g_slots.emplace_back();
        g_gens.push_back(0);
    }
    g_gens[slot] = (g_gens[slot] + 1) & 0x7FFF;
    if (g_gens[slot] == 0) g_gens[slot] = 1;
    g_slots[slot] = std::make_unique<Window>();
    g_slots[slot]->handle = MakeHandle(slot, g_gens[slot]);
    return g_slots[slot].get();
}

void FreeWindow(Window* w) {
    auto v = reinterpret_cast<std::uintptr_t>(w->handle);
    g_slots[(v & 0xFFFF) - 1].reset();
}

void Unlink(Window* w) {
    if (!w->parent) return;
    auto& list = w->parent->children;
    list.erase(std::remove(list.begin(), list.end(), w), list.end());
}

// Inserts at the top of its siblings, below topmost ones unless it is topmost itself.
void LinkTop(Window* w) {
    auto& list = w->parent->children;
    auto at = list.begin();
    if (!(w->exStyle & WS_EX_TOPMOST))
        while (at != list.end() && ((*at)->exStyle & WS_EX_TOPMOST)) ++at;
    list.insert(at, w);
}

void CollectTree(Window* w, std::vector<HWND>& out) {
    out.push_back(w->handle);
    for (Window* c : w->children) CollectTree(c, out);
}

}  // namespace

LRESULT CallProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc;
    {
        std::lock_guard<std::mutex> l(g_lock);
        Window* w = Find(hwnd);
        if (!w || w->desktop) return 0;
        proc = w->proc;
    }
    return proc ? proc(hwnd, msg, wParam, lParam) : DefWindowProcW(hwnd, msg, wParam, lParam);
}

namespace {

bool OnOwnThread(const Window* w) {
    return w->queue && w->queue->threadId == GetCurrentThreadId();
}

void InvalidateLocked(Window* w, const RECT* rect, bool erase) {
    RECT client{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    RECT r = rect ? gdi::Intersect(*rect, client) : client;
    if (gdi::Empty(r)) return;
    // Mostly a window painted since it was last made invalid: its update starts again as r.
    if (w->update.empty())
        w->update.assign(1, r);
    else
        w->update = gdi::Union(w->update, gdi::RectList{r});
    if (erase) w->erase = true;
}

// Screen area covered by a window and everything drawn inside it.
gdi::RectList ShownArea(const Window* w) {
    if (!IsShown(w)) return {};
    RECT r = ScreenRect(w);
    for (const Window* p = w->parent; p && !p->desktop; p = p->parent)
        r = gdi::Intersect(r, ScreenRect(p));
    if (gdi::Empty(r)) return {};
    return gdi::RectList{r};
}

void SendSize(HWND hwnd) {
    RECT r;
    if (!GetClientRect(hwnd, &r)) return;
    SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(r.right, r.bottom));
}

HWND TopLevelOf(HWND hwnd) {
    std::lock_guard<std::mutex> l(g_lock);
    Window* w = Find(hwnd);
    while (w && w->parent && !w->parent->desktop) w = w->parent;
    return w ? w->handle : nullptr;
}

}  // namespace

std::mutex& Lock() {
    return g_lock;
}

std::uint64_t NextOrder() {
    return ++g_order;
}

Window* Find(HWND handle) {
    auto v = reinterpret_cast<std::uintptr_t>(handle);
    size_t slot = v & 0xFFFF;
    if (slot == 0 || slot > g_slots.size()) return nullptr;
    Window* w = g_slots[slot - 1].get();
    if (!w || w->handle != handle) return nullptr;
    return w;
}

Window* NewProxyWindow() {
    Window* w = NewWindow();
    if (w) w->remote = true;
    return w;
}

Window* Desktop() {
    static HWND handle = nullptr;
    Window* d = Find(handle);
    if (d) return d;
    d = NewWindow();
    d->desktop = true;
    d->style = WS_VISIBLE;
    auto surface = GdiScreenSurface();
    d->rect = RECT{0, 0, surface ? surface->Width() : 240, surface ? surface->Height() : 320};
    handle = d->handle;
    return d;
}

RECT ScreenRect(const Window* w) {
    RECT r = w->rect;
    for (const Window* p = w->parent; p && !p->desktop; p = p->parent) {
        r.left += p->rect.left;
        r.right += p->rect.left;
        r.top += p->rect.top;
        r.bottom += p->rect.top;
    }
    return r;
}

bool IsShown(const Window* w) {
    for (; w; w = w->parent)
        if (!(w->style & WS_VISIBLE)) return false;
    return true;
}

gdi::RectList VisibleRegion(const Window* w) {
    if (!IsShown(w)) return {};
    if (w->desktop) {
        gdi::RectList region{w->rect};
        for (const Window* c : w->children)
            if (c->style & WS_VISIBLE) gdi::SubtractFrom(region, c->rect);
        return region;
    }
    gdi::RectList region{ScreenRect(w)};
    for (const Window* cur = w; cur->parent; cur = cur->parent) {
        const Window* p = cur->parent;
        for (const Window* s : p->children) {
            if (s == cur) break;
            if (s->style & WS_VISIBLE) gdi::SubtractFrom(region, ScreenRect(s));
        }
        gdi::IntersectWith(region, ScreenRect(p));
    }
    for (const Window* c : w->children)
        if (c->style & WS_VISIBLE) gdi::SubtractFrom(region, ScreenRect(c));
    return region;
}

namespace {
gdi::RectList g_desktopDirty;

void ExposeTree(Window* w, const gdi::RectList& screen) {
    if (!(w->style & WS_VISIBLE)) return;
    if (!w->desktop) {
        gdi::RectList part = gdi::Intersect(VisibleRegion(w), screen);
        if (!part.empty()) {
            RECT s = ScreenRect(w);
            w->update = gdi::Union(w->update, gdi::Offset(part, -s.left, -s.top));
            w->erase = true;
        }
    }
    for (Window* c : w->children) ExposeTree(c, screen);
}
}  // namespace

void ExposeScreen(const gdi::RectList& screen) {
    if (screen.empty()) return;
    Window* d = Desktop();
    gdi::RectList part = gdi::Intersect(VisibleRegion(d), screen);
    if (!part.empty()) g_desktopDirty = gdi::Union(g_desktopDirty, part);
    ExposeTree(d, screen);
    for (auto& slot : g_slots)
        if (slot && slot->queue) Wake(*slot->queue);
}

void RepaintDesktopNow() {
    gdi::RectList dirty;
    {
        std::lock_guard<std::mutex> l(g_lock);
        dirty.swap(g_desktopDirty);
        if (!dirty.empty()) dirty = gdi::Intersect(dirty, VisibleRegion(Desktop()));
    }
    if (!dirty.empty()) PaintDesktopRegion(dirty);
}

}  // namespace fvt::win

using namespace fvt::win;

extern "C" {

ATOM RegisterClassW(const WNDCLASSW* wc) {
    if (!wc || !wc->lpszClassName || IsAtom(wc->lpszClassName) || !wc->lpszClassName[0] ||
        wc->cbWndExtra < 0 || wc->cbWndExtra > 1024)
        return fvt::Fail<ATOM>(ERROR_INVALID_PARAMETER, 0);
    std::lock_guard<std::mutex> l(g_lock);
    if (FindClass(wc->lpszClassName)) return fvt::Fail<ATOM>(ERROR_CLASS_ALREADY_EXISTS, 0);
    if (g_classes.size() >= 0xBFFF) return fvt::Fail<ATOM>(ERROR_NOT_ENOUGH_MEMORY, 0);
    auto c = std::make_shared<WindowClass>();
    c->name = Lower(wc->lpszClassName);
    c->wc = *wc;
    c->wc.lpszClassName = nullptr;
    c->wc.lpszMenuName = nullptr;
    g_classes.push_back(c);
    return static_cast<ATOM>(g_classes.size());
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
    std::lock_guard<std::mutex> l(g_lock);
    auto c = FindClass(className);
    if (!c) return fvt::Fail(ERROR_CANNOT_FIND_WND_CLASS, FALSE);
    for (auto& slot : g_slots)
        if (slot && slot->cls == c) return fvt::Fail(ERROR_ACCESS_DENIED, FALSE);
    for (auto& e : g_classes)
        if (e == c) e.reset();
    return TRUE;
}

BOOL GetClassInfoW(HINSTANCE, LPCWSTR className, WNDCLASSW* out) {
    std::lock_guard<std::mutex> l(g_lock);
    auto c = FindClass(className);
    if (!c) return fvt::Fail(ERROR_CANNOT_FIND_WND_CLASS, FALSE);
    if (out) {
        *out = c->wc;
        out->lpszClassName = className;
    }
    return TRUE;
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, void* menu, HINSTANCE instance,
                     LPVOID param) {
    auto queue = CurrentQueue();
    if (!(style & WS_CHILD)) EnsureChrome();
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    HWND hwnd;
    CREATESTRUCTW cs{};
    {
        std::lock_guard<std::mutex> l(g_lock);
        auto cls = FindClass(className);
        if (!cls) return fvt::Fail<HWND>(ERROR_CANNOT_FIND_WND_CLASS, nullptr);
        Window* parentWindow = nullptr;
        if (parent) {
            parentWindow = Find(parent);
            if (!parentWindow) return fvt::Fail<HWND>(ERROR_INVALID_WINDOW_HANDLE, nullptr);
        } else if (style & WS_CHILD) {
            return fvt::Fail<HWND>(ERROR_INVALID_PARAMETER, nullptr);
        }
        Window* d = Desktop();
        Window* w = NewWindow();
        if (!w) return fvt::Fail<HWND>(ERROR_NOT_ENOUGH_MEMORY, nullptr);
        w->cls = cls;
        w->proc = cls->wc.lpfnWndProc;
        w->style = style;
        w->exStyle = exStyle;
        if (windowName) w->text = windowName;
        w->extra.assign(static_cast<size_t>(cls->wc.cbWndExtra), 0);
        w->queue = queue;
        if (style & WS_CHILD) {
            w->parent = parentWindow;
            w->id = reinterpret_cast<LONG_PTR>(menu);
        } else {
            w->parent = d;
            w->owner = parent;
        }
        // Default placement fills the work area, as on the device.
        if (x == CW_USEDEFAULT) {
            x = (style & WS_CHILD) ? 0 : work.left;
            y = (style & WS_CHILD) ? 0 : work.top;
        }
        if (width == CW_USEDEFAULT) {
            width = (style & WS_CHILD) ? 0 : work.right - work.left;
            height = (style & WS_CHILD) ? 0 : work.bottom - work.top;
        }
        width = std::max(0, width);
        height = std::max(0, height);
        w->rect = RECT{x, y, x + width, y + height};
        LinkTop(w);
        hwnd = w->handle;
        cs = CREATESTRUCTW{
            param,      instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
            windowName, className, exStyle};
    }
    if (CallProc(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        return fvt::Fail<HWND>(ERROR_INVALID_PARAMETER, nullptr);
    }
    bool visible;
    {
        std::lock_guard<std::mutex> l(g_lock);
        Window* w = Find(hwnd);
        if (!w || w->destroying) return fvt::Fail<HWND>(ERROR_INVALID_WINDOW_HANDLE, nullptr);
        w->created = true;
        visible = (w->style & WS_VISIBLE) != 0;
        if (visible) {
            w->style &= ~WS_VISIBLE;
        }
    }
    SendSize(hwnd);
    if (visible) ShowWindow(hwnd, SW_SHOW);
    if (!(style & WS_CHILD)) StartInstanceServer();
    return IsWindow(hwnd) ? hwnd : nullptr;
}

BOOL DestroyWindow(HWND hwnd) {
    std::vector<HWND> tree;
    bool wasShown;
    gdi::RectList area;
    HWND top;
    {
        std::lock_guard<std::mutex> l(g_lock);
        Window* w = Find(hwnd);
        if (!w || w->desktop) return fvt::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
        if (!OnOwnThread(w)) return fvt::Fail(ERROR_ACCESS_DENIED, FALSE);
        if (w->destroying) return TRUE;  // already on its way out (destroyed from its WM_DESTROY)
        CollectTree(w, tree);
        for (HWND h : tree) Find(h)->destroying = true;
        wasShown = IsShown(w);
        area = ShownArea(w);
        top = w->parent && w->parent->desktop ? hwnd : nullptr;
    }
    // Hidden first, so nothing paints into the place being given back.
    if (wasShown) {
        std::lock_guard<std::mutex> l(g_lock);
        Window* w = Find(hwnd);
        w->style &= ~WS_VISIBLE;
        ExposeScreen(area);
    }
    // Focus, activation and capture leave the dying windows.
    auto queue = CurrentQueue();
    HWND focus = GetFocus();
    for (HWND h : tree)
        if (focus == h) {
            SetFocus(nullptr);
            break;
        }
    for (HWND h : tree)
        if (g_capture == h) {
            ReleaseCapture();
            break;
        }
    if (top && GetActiveWindow() == top) {
        // The next visible top-level window of this thread becomes active.
        HWND next = nullptr;
        {
            std::lock_guard<std::mutex> l(g_lock);
            for (Window* c : Desktop()->children)
                if (c->handle != top && (c->style & WS_VISIBLE) && !c->destroying && !c->chrome &&
                    c->queue == queue) {
                    next = c->handle;
                    break;
                }
        }
        SetActiveWindow(next);
    }
    // WM_DESTROY to the window, then to its children.
    for (HWND h : tree) CallProc(h, WM_DESTROY, 0, 0);
    for (auto it = tree.rbegin(); it != tree.rend(); ++it) fvt::win::OnWindowDestroyed(*it);
    {
        std::lock_guard<std::mutex> l(g_lock);
        for (auto it = tree.rbegin(); it != tree.rend(); ++it) {
            Window* w = Find(*it);
            if (!w) continue;
            Unlink(w);
            if (w->queue && w->queue->focus == *it) w->queue->focus = nullptr;
            if (w->queue && w->queue->active == *it) w->queue->active = nullptr;
            if (g_foreground == *it) g_foreground = nullptr;
            // Posted messages for it are dropped with it.
            if (w->queue) {
                auto drop = [&](std::deque<MSG>& q) {
                    q.erase(std::remove_if(q.begin(), q.end(),
                                           [&](const MSG& m) { return m.hwnd == *it; }),
                            q.end());
                };
                drop(w->queue->posted);
                drop(w->queue->input);
            }
            FreeWindow(w);
        }
    }
    RepaintDesktopNow();
    return TRUE;
}

BOOL IsWindow(HWND hwnd) {
    std::lock_guard<std::mutex> l(g_lock);
    Window* w = Find(hwnd);
    return w && !w->desktop ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd) {
    std::lock_guard<std::mutex> l(g_lock);
    Window* w = Find(hwnd);
    return w && IsShown(w) ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hwnd) {
    std::lock_guard<std::mutex> l(g_lock);
    Window* w = Find(hwnd);
    return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    bool wasDisabled;
    {
        std::lock_guard<std::mutex> l(g_lock);
        Window* w = Find(hwnd);
        if (!w || w->desktop) return fvt::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
        wasDisabled = (w->style & WS_DISABLED) != 0;
        if (wasDisabled == !enable) return wasDisabled;
        if (enable)
            w->style &= ~WS_DISABLED;
        else
            w->style |= WS_DISABLED;
    }
    if (!enable) {
        HWND focus = GetFocus();
        if (focus && (focus == hwnd || IsChild(hwnd, focus))) SetFocus(nullptr);
    }
    SendMessageW(hwnd, WM_ENABLE, enable ? 1 : 0, 0);
    return wasDisabled;
}

BOOL IsChild(HWND parent, HWND hwnd) {
    std::lock_guard<std::mutex> l(g_lock);
    Window* w = Find(hwnd);
    for (Window* p = w ? w->parent : nullptr; p && !p->desktop; p = p->parent)
        if (p->handle == parent) return TRUE;
    return FALSE;
}

HWND GetParent(HWND hwnd) {
    std::lock_guard<std::mutex> l(g_lock);
    Window* w = Find(hwnd);
    if (!w) return fvt::Fail<HWND>(ERROR_INVALID_WINDOW_HANDLE, nullptr);
    if (w->style & WS_CHILD) return w->parent ? w->parent->handle : nullptr;
    return w->owner;
}

HWND GetDesktopWindow() {
    SyncDevice();
    std::lock_guard<std::mutex> l(g_lock);
    return Desktop()->handle;
}

HWND GetWindow(HWND hwnd, UINT relation) {
    std::lock_guard<std::mutex> l(g_lock);
    Window* w = Find(hwnd);
    if (!w) return fvt::Fail<HWND>(ERROR_INVALID_WINDOW_HANDLE, nullptr);
    if (relation == GW_CHILD) return w->children.empty() ? nullptr : w->children.front()->handle;
    if (relation == GW_OWNER) return (w->style & WS_CHILD) ? nullptr : w->owner;
    if (!w->parent) return nullptr;
    auto& list = w->parent->children;
    auto at = std::find(list.begin(), list.end(), w);
    switch (relation) {
        case GW_HWNDFIRST:
            return list.front()->handle;
        case GW_HWNDLAST:
            return list.back()->handle;
        case GW_HWNDNEXT:
            return at + 1 < list.end() ? (*(at + 1))->handle : nullptr;
        case GW_HWNDPREV:
            return at > list.begin() ? (*(at - 1))->handle : nullptr;
    }
    return nullptr;
}

int GetClassNameW(HWND hwnd, LPWSTR buffer, int size) {
    std::lock_guard<std::mutex> l(g_lock);
    Window* w = Find(hwnd);
    if (!w || !w->cls || !buffer || size <= 0) return fvt::Fail(ERROR_INVALID_WINDOW_HANDLE, 0);
    // Given as registered (lower-cased for the lookup): keep the registered spelling.
    const std::u16string& name = w->cls->name;
    int n = std::min<int>(static_cast<int>(name.size()), size - 1);
    std::memcpy(buffer, name.data(), n * sizeof(WCHAR));
    buffer[n] = 0;
    return n;
}

}  // extern "C"

HWND fvt::win::FindWindowLocal(LPCWSTR className, LPCWSTR windowName) {
    std::lock_guard<std::mutex> l(g_lock);
    std::u16string cls = Lower(className);
    for (Window* w : Desktop()->children) {
        if (w->destroying) continue;
        if (className && !IsAtom(className) && w->cls->name != cls) continue;
        if (windowName && w->text != windowName) continue;
        return w->handle;
    }
    return nullptr;
}

extern "C" {

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
    std::lock_guard<std::mutex> l(g_lock);
    Window* w = Find(hwnd);
    if (!w || !w->queue) return 0;
    if (processId) *processId = static_cast<DWORD>(getpid());
    return w->queue->threadId;
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
    std::lock_guard<std::mutex> l(g_lock);
    Window* w = Find(hwnd);
    if (!w || w->desktop) return fvt::Fail<LONG_PTR>(ERROR_INVALID_WINDOW_HANDLE, 0);
    switch (index) {
        case GWL_WNDPROC:
            return reinterpret_cast<LONG_PTR>(w->proc);
        case GWL_ID:
            return w->id;
        case GWL_STYLE:
            return static_cast<LONG>(w->style);
        case GWL_EXSTYLE:
            return static_cast<LONG>(w->exStyle);
        case GWL_USERDATA:
            return w->userData;
    }
    if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
        // A 4-byte word at the end of the extra bytes still reads.
        if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG) <= w->extra.size()) {
            LONG v;
            std::memcpy(&v, w->extra.data() + index, sizeof(v));
            return v;
        }
        return fvt::Fail<LONG_PTR>(ERROR_INVALID_PARAMETER, 0);
    }
    LONG_PTR v;
    std::memcpy(&v, w->extra.data() + index, sizeof(v));
    return v;
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
    DWORD oldStyle = 0, newStyle = 0;
    LONG_PTR previous = 0;
    {
        std::lock_guard<std::mutex> l(g_lock);
        Window* w = Find(hwnd);
        if (!w || w->desktop) return fvt::Fail<LONG_PTR>(ERROR_INVALID_WINDOW_HANDLE, 0);
        switch (index) {
            case GWL_WNDPROC:
                previous = reinterpret_cast<LONG_PTR>(w->proc);
                if (!value) return fvt::Fail<LONG_PTR>(ERROR_INVALID_PARAMETER, 0);
                w->proc = reinterpret_cast<WNDPROC>(value);
                return previous;
            case GWL_ID:
                previous = w->id;
                w->id = value;
                return previous;
            case GWL_EXSTYLE:
                previous = static_cast<LONG>(w->exStyle);
                w->exStyle = static_cast<DWORD>(value);
                return previous;
            case GWL_USERDATA:
                previous = w->userData;
                w->userData = value;
                return previous;
            case GWL_STYLE:
                oldStyle = w->style;
                newStyle = static_cast<DWORD>(value);
                // The child/top-level kind is fixed at creation.
                newStyle = (newStyle & ~WS_CHILD) | (oldStyle & WS_CHILD);
                previous = static_cast<LONG>(oldStyle);
                break;
            default:
                if (index < 0 || static_cast<size_t>(index) + sizeof(LONG) > w->extra.size())
                    return fvt::Fail<LONG_PTR>(ERROR_INVALID_PARAMETER, 0);
                if (static_cast<size_t>(index) + sizeof(LONG_PTR) <= w->extra.size()) {
                    std::memcpy(&previous, w->extra.data() + index, sizeof(previous));
                    std::memcpy(w->extra.data() + index, &value, sizeof(value));
                } else {
                    LONG p, v = static_cast<LONG>(value);
                    std::memcpy(&p, w->extra.data() + index, sizeof(p));
                    std::memcpy(w->extra.data() + index, &v, sizeof(v));
                    previous = p;
                }
                return previous;
        }
        // Style bits other than visibility and enabling take effect at once.
        w->style =
            (newStyle & ~(WS_VISIBLE | WS_DISABLED)) | (oldStyle & (WS_VISIBLE | WS_DISABLED));
    }
    // Visibility and enabling changed through the style go the usual way, with notices.
    if ((oldStyle ^ newStyle) & WS_VISIBLE)
        ShowWindow(hwnd, (newStyle & WS_VISIBLE) ? SW_SHOWNA : SW_HIDE);
    if ((oldStyle ^ newStyle) & WS_DISABLED) EnableWindow(hwnd, !(newStyle & WS_DISABLED));
    return previous;
}

LONG GetWindowLongW(HWND hwnd, int index) {
    return static_cast<LONG>(GetWindowLongPtrW(hwnd, index));
}

LONG SetWindowLongW(HWND hwnd, int index, LONG value) {
    // GWL_USERDATA and GWL_WNDPROC hold pointers on this system: pass them whole.
    return static_cast<LONG>(SetWindowLongPtrW(hwnd, index, value));
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!proc) return 0;
    return proc(hwnd, message, wParam, lParam);
}

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            if (BeginPaint(hwnd, &ps)) EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_ERASEBKGND: {
            HBRUSH brush = nullptr;
            {
                std::lock_guard<std::mutex> l(g_lock);
                Window* w = Find(hwnd);
                if (w && w->cls) brush = w->cls->wc.hbrBackground;
            }
            if (!brush) return 0;
            RECT r;
            GetClientRect(hwnd, &r);
            FillRect(reinterpret_cast<HDC>(wParam), &r, brush);
            return 1;
        }
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE) SetFocus(hwnd);
            return 0;
        case WM_SETTEXT:
            return SetWindowTextW(hwnd, reinterpret_cast<LPCWSTR>(lParam));
        case WM_GETTEXT:
            return GetWindowTextW(hwnd, reinterpret_cast<LPWSTR>(lParam), static_cast<int>(wParam));
        case WM_GETTEXTLENGTH:
            return GetWindowTextLengthW(hwnd);
        case WM_SETREDRAW: {
            std::lock_guard<std::mutex> l(g_lock);
            Window* w = Find(hwnd);
            if (w) w->redraw = wParam != 0;
            return 0;
        }
    }
    return 0;
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
    {
        std::lock_guard<std::mutex> l(g_lock);
        Window* w = Find(hwnd);
        if (!w || w->desktop) return fvt::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
        w->text = text ? text : u"";
        // The task bar shows the caption of the active window.
        if (w->parent && w->parent->desktop && w->queue && w->queue->active == hwnd) {
            auto surface = GdiScreenSurface();
            int h = 26 * fvt::Profile().dpi / 96;
            ExposeScreen(gdi::RectList{RECT{0, 0, surface ? surface->Width() : 0, h}});
        }
    }
    RepaintDesktopNow();
    return TRUE;
}

int GetWindowTextW(HWND hwnd, LPWSTR buffer, int size) {
    std::lock_guard<std::mutex> l(g_lock);
    Window* w = Find(hwnd);
    if (!w || !buffer || size <= 0) return 0;
    int n = std::min<int>(static_cast<int>(w->text.size()), size - 1);
    std::memcpy(buffer, w->text.data(), n * sizeof(WCHAR));
    buffer[n] = 0;
    return n;
}

int GetWindowTextLengthW(HWND hwnd) {
    std::lock_guard<std::mutex> l(g_lock);
    Window* w = Find(hwnd);
    return w ? static_cast<int>(w->text.size()) : 0;
}

BOOL ShowWindow(HWND hwnd, int command) {
    bool show = command != SW_HIDE && command != SW_MINIMIZE;
    bool wasVisible;
    bool topLevel;
    {
        std::lock_guard<std::mutex> l(g_lock);
        Window* w = Find(hwnd);
        if (!w || w->desktop) return fvt::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
        wasVisible = (w->style & WS_VISIBLE) != 0;
        topLevel = w->parent && w->parent->desktop;
        if (wasVisible != show) {
            if (show) {
                w->style |= WS_VISIBLE;
                gdi::RectList area = ShownArea(w);
                ExposeScreen(area);
            } else {
                gdi::RectList area = ShownArea(w);
                w->style &= ~WS_VISIBLE;
                ExposeScreen(area);
            }
        }
    }
    if (wasVisible != show) SendMessageW(hwnd, WM_SHOWWINDOW, show ? 1 : 0, 0);
    if (!show) {
        HWND focus = GetFocus();
        if (focus && (focus == hwnd || IsChild(hwnd, focus))) {
            HWND parent = GetParent(hwnd);
            SetFocus(topLevel ? nullptr : parent);
        }
        if (topLevel && GetActiveWindow() == hwnd) {
            HWND next = nullptr;
            {
                std::lock_guard<std::mutex> l(g_lock);
                Window* w = Find(hwnd);
                for (Window* c : Desktop()->children)
                    if (c != w && (c->style & WS_VISIBLE) && w && c->queue == w->queue &&
                        !c->chrome && !c->destroying) {
                        next = c->handle;
                        break;
                    }
            }
            SetActiveWindow(next);
        }
    } else if (topLevel && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE && !wasVisible) {
        SetActiveWindow(hwnd);
    }
    RepaintDesktopNow();
    return wasVisible ? TRUE : FALSE;
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
    bool moved = false, sized = false;
    HWND activate = nullptr;
    {
        std::lock_guard<std::mutex> l(g_lock);
        Window* w = Find(hwnd);
        if (!w || w->desktop) return fvt::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
        gdi::RectList before = ShownArea(w);
        RECT r = w->rect;
        if (!(flags & SWP_NOMOVE)) {
            moved = x != r.left || y != r.top;
            r = RECT{x, y, x + (r.right - r.left), y + (r.bottom - r.top)};
        }
        if (!(flags & SWP_NOSIZE)) {
            width = std::max(0, width);
            height = std::max(0, height);
            sized = width != r.right - r.left || height != r.bottom - r.top;
            r.right = r.left + width;
            r.bottom = r.top + height;
        }
        bool restack = false;
        if (!(flags & SWP_NOZORDER)) {
            Unlink(w);
            auto& list = w->parent->children;
            if (insertAfter == HWND_TOPMOST) {
                w->exStyle |= WS_EX_TOPMOST;
                list.insert(list.begin(), w);
            } else if (insertAfter == HWND_NOTOPMOST) {
                w->exStyle &= ~WS_EX_TOPMOST;
                LinkTop(w);
            } else if (insertAfter == HWND_TOP) {
                LinkTop(w);
            } else if (insertAfter == HWND_BOTTOM) {
                list.push_back(w);
            } else {
                Window* after = Find(insertAfter);
                auto at = after ? std::find(list.begin(), list.end(), after) : list.end();
                if (at == list.end())
                    LinkTop(w);
                else
                    list.insert(at + 1, w);
            }
            restack = true;
        }
        w->rect = r;
        if (flags & SWP_SHOWWINDOW) w->style |= WS_VISIBLE;
        if (flags & SWP_HIDEWINDOW) w->style &= ~WS_VISIBLE;
        gdi::RectList after = ShownArea(w);
        if (!(flags & SWP_NOREDRAW) || (flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW))) {
            if (moved || sized || restack || (flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW))) {
                ExposeScreen(gdi::Union(before, after));
            }
        }
        if (!(flags & SWP_NOACTIVATE) && w->parent->desktop && (w->style & WS_VISIBLE))
            activate = hwnd;
    }
    if (moved || sized) SendMessageW(hwnd, WM_WINDOWPOSCHANGED, 0, 0);
    if (moved) {
        RECT r;
        {
            std::lock_guard<std::mutex> l(g_lock);
            Window* w = Find(hwnd);
            r = w ? w->rect : RECT{};
        }
        SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(r.left, r.top));
    }
    if (sized) SendSize(hwnd);
    if (activate && GetActiveWindow() != activate) SetActiveWindow(activate);
    RepaintDesktopNow();
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(hwnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    std::lock_guard<std::mutex> l(g_lock);
    Window* w = Find(hwnd);
    if (!w || !rect) return fvt::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
    std::lock_guard<std::mutex> l(g_lock);
    Window* w = Find(hwnd);
    if (!w || !rect) return fvt::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    *rect = w->desktop ? w->rect : ScreenRect(w);
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT* point) {
    std::lock_guard<std::mutex> l(g_lock);
    Window* w = Find(hwnd);
    if (!w || !point) return fvt::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    if (w->desktop) return TRUE;
    RECT r = ScreenRect(w);
    point->x += r.left;
    point->y += r.top;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point) {
    std::lock_guard<std::mutex> l(g_lock);
    Window* w = Find(hwnd);
    if (!w || !point) return fvt::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    if (w->desktop) return TRUE;
    RECT r = ScreenRect(w);
    point->x -= r.left;
    point->y -= r.top;
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
    POINT origin{0, 0}, target{0, 0};
    if (from && !ClientToScreen(from, &origin)) return 0;
    if (to && !ClientToScreen(to, &target)) return 0;
    int dx = origin.x - target.x, dy = origin.y - target.y;
    for (UINT i = 0; points && i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

}  // extern "C"

namespace fvt::win {
namespace {
Window* HitTest(Window* w, POINT p) {
    for (Window* c : w->children) {
        if (!(c->style & WS_VISIBLE)) continue;
        RECT r = ScreenRect(c);
        if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) {
            Window* deeper = HitTest(c, p);
            return deeper ? deeper : c;
        }
    }
    return nullptr;
}
}  // namespace

HWND WindowAt(POINT p) {
    std::lock_guard<std::mutex> l(g_lock);
    Window* w = HitTest(Desktop(), p);
    return w ? w->handle : nullptr;
}

HWND CaptureWindow() {
    std::lock_guard<std::mutex> l(g_lock);
    return Find(g_capture) ? g_capture : nullptr;
}

}  // namespace fvt::win

extern "C" {

HWND WindowFromPoint(POINT point) {
    return fvt::win::WindowAt(point);
}

HWND GetFocus() {
    auto q = CurrentQueue();
    std::lock_guard<std::mutex> l(g_lock);
    return Find(q->focus) ? q->focus : nullptr;
}

HWND SetFocus(HWND hwnd) {
    auto q = CurrentQueue();
    HWND old;
    {
        std::lock_guard<std::mutex> l(g_lock);
        old = Find(q->focus) ? q->focus : nullptr;
        if (hwnd) {
            Window* w = Find(hwnd);
            if (!w || w->desktop) return fvt::Fail<HWND>(ERROR_INVALID_WINDOW_HANDLE, nullptr);
            if (w->queue != q) return fvt::Fail<HWND>(ERROR_ACCESS_DENIED, nullptr);
            if (w->destroying) return old;
        }
        if (old == hwnd) return old;
    }
    // The top-level window of the new focus becomes active first (its default handling may
    // move the focus; the requested window gets it after).
    if (hwnd) {
        HWND top = TopLevelOf(hwnd);
        if (top && GetActiveWindow() != top) {
            SetActiveWindow(top);
            std::lock_guard<std::mutex> l(g_lock);
            old = Find(q->focus) ? q->focus : nullptr;
            if (old == hwnd) return old;
        }
    }
    {
        std::lock_guard<std::mutex> l(g_lock);
        q->focus = hwnd;
    }
    if (old) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    {
        std::lock_guard<std::mutex> l(g_lock);
        if (q->focus != hwnd) return old;  // changed again from WM_KILLFOCUS
    }
    if (hwnd) SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND GetActiveWindow() {
    auto q = CurrentQueue();
    std::lock_guard<std::mutex> l(g_lock);
    return Find(q->active) ? q->active : nullptr;
}

HWND SetActiveWindow(HWND hwnd) {
    auto q = CurrentQueue();
    HWND old;
    {
        std::lock_guard<std::mutex> l(g_lock);
        old = Find(q->active) ? q->active : nullptr;
        if (hwnd) {
            Window* w = Find(hwnd);
            if (!w || w->desktop) return fvt::Fail<HWND>(ERROR_INVALID_WINDOW_HANDLE, nullptr);
            while (w->parent && !w->parent->desktop) w = w->parent;
            hwnd = w->handle;
            if (w->chrome) return old;
            if (w->queue != q) return fvt::Fail<HWND>(ERROR_ACCESS_DENIED, nullptr);
        }
        if (old == hwnd) return old;
        q->active = hwnd;
        if (hwnd) {
            g_foreground = hwnd;
            // Activation brings it to the top of its band.
            Window* w = Find(hwnd);
            Unlink(w);
            LinkTop(w);
            gdi::RectList area = ShownArea(w);
            ExposeScreen(area);
        }
        // The task bar shows the new caption.
        auto surface = GdiScreenSurface();
        int h = 26 * fvt::Profile().dpi / 96;
        ExposeScreen(gdi::RectList{RECT{0, 0, surface ? surface->Width() : 0, h}});
    }
    if (old)
        SendMessageW(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(hwnd));
    // Focus inside the old window goes.
    HWND focus = GetFocus();
    if (focus && old && (focus == old || IsChild(old, focus))) {
        std::lock_guard<std::mutex> l(g_lock);
        q->focus = nullptr;
    }
    if (focus && old && (focus == old || IsChild(old, focus)))
        SendMessageW(focus, WM_KILLFOCUS, 0, 0);
    if (hwnd)
        SendMessageW(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), reinterpret_cast<LPARAM>(old));
    RepaintDesktopNow();
    return old;
}

BOOL SetForegroundWindow(HWND hwnd) {
    std::string remote;
    {
        std::lock_guard<std::mutex> l(g_lock);
        Window* w = Find(hwnd);
        if (!w || w->desktop) return fvt::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
        remote = w->remote ? w->remoteClass : std::string();
    }
    if (!remote.empty()) return RemoteForeground(remote) ? TRUE : FALSE;
    {
        std::lock_guard<std::mutex> l(g_lock);
        Window* w = Find(hwnd);
        if (!w || w->desktop) return fvt::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
        if (!OnOwnThread(w)) {
            // Another thread's window: it comes to the top; that thread activates it.
            g_foreground = w->handle;
            Unlink(w);
            LinkTop(w);
            ExposeScreen(ShownArea(w));
            return TRUE;
        }
    }
    SetActiveWindow(hwnd);
    return TRUE;
}

HWND GetForegroundWindow() {
    std::lock_guard<std::mutex> l(g_lock);
    return Find(g_foreground) ? g_foreground : nullptr;
}

HWND SetCapture(HWND hwnd) {
    HWND old;
    {
        std::lock_guard<std::mutex> l(g_lock);
        Window* w = Find(hwnd);
        if (!w || w->desktop) return fvt::Fail<HWND>(ERROR_INVALID_WINDOW_HANDLE, nullptr);
        old = Find(g_capture) ? g_capture : nullptr;
        g_capture = hwnd;
    }
    if (old && old != hwnd) SendMessageW(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return old;
}

BOOL ReleaseCapture() {
    HWND old;
    {
        std::lock_guard<std::mutex> l(g_lock);
        old = Find(g_capture) ? g_capture : nullptr;
        g_capture = nullptr;
    }
    if (old) SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND GetCapture() {
    return fvt::win::CaptureWindow();
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    std::lock_guard<std::mutex> l(g_lock);
    if (!hwnd) {
        // Every window.
        for (auto& slot : g_slots)
            if (slot && !slot->desktop) InvalidateLocked(slot.get(), nullptr, erase);
        ExposeScreen(gdi::RectList{Desktop()->rect});
        return TRUE;
    }
    Window* w = Find(hwnd);
    if (!w || w->desktop) return fvt::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    InvalidateLocked(w, rect, erase != 0);
    if (w->queue) Wake(*w->queue);
    return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
    std::lock_guard<std::mutex> l(g_lock);
    Window* w = Find(hwnd);
    if (!w || w->desktop) return fvt::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    if (!rect) {
        w->update.clear();
        w->erase = false;
    } else {
        w->update = gdi::Subtract(w->update, gdi::RectList{*rect});
    }
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL) {
    std::lock_guard<std::mutex> l(g_lock);
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    RECT b = w->update.empty() ? RECT{0, 0, 0, 0} : gdi::Bounds(w->update);
    if (rect) *rect = b;
    return w->update.empty() ? FALSE : TRUE;
}

BOOL UpdateWindow(HWND hwnd) {
    {
        std::lock_guard<std::mutex> l(g_lock);
        Window* w = Find(hwnd);
        if (!w || w->desktop) return fvt::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
        if (w->update.empty() || !IsShown(w)) return TRUE;
    }
    SendMessageW(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}

namespace {
// vis, in screen coordinates, cut to clip, in those of the client at s; a paint's update is
// mostly one rectangle, which cuts vis in place.
void ClipToClient(gdi::RectList& vis, const gdi::RectList& clip, const RECT& s) {
    if (clip.size() != 1) {
        vis = gdi::Intersect(vis, gdi::Offset(clip, s.left, s.top));
        return;
    }
    const RECT& c = clip.front();
    gdi::IntersectWith(vis, RECT{c.left + s.left, c.top + s.top, c.right + s.left, c.bottom + s.top});
}

HDC MakeWindowDC(HWND hwnd, const gdi::RectList* clipClient, bool* ok) {
    RECT s;
    gdi::RectList vis;
    {
        std::lock_guard<std::mutex> l(g_lock);
        Window* w = Find(hwnd);
        *ok = w != nullptr;
        if (!w) return nullptr;
        s = w->desktop ? w->rect : ScreenRect(w);
        vis = VisibleRegion(w);
        if (clipClient) ClipToClient(vis, *clipClient, s);
    }
    // A paint's DC is given back at its end and kept for the next paint.
    HDC dc = clipClient ? GdiTakeScreenDC() : GdiCreateScreenDC();
    if (!dc) return nullptr;
    GdiSetDCOrigin(dc, s.left, s.top);
    GdiSetDCVisibleRects(dc, vis);
    return dc;
}
}  // namespace

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint) {
    if (!paint) return fvt::Fail<HDC>(ERROR_INVALID_PARAMETER, nullptr);
    gdi::RectList update;
    bool erase;
    {
        std::lock_guard<std::mutex> l(g_lock);
        Window* w = Find(hwnd);
        if (!w || w->desktop) return fvt::Fail<HDC>(ERROR_INVALID_WINDOW_HANDLE, nullptr);
        update.swap(w->update);
        erase = w->erase;
        w->erase = false;
    }
    bool ok;
    HDC dc = MakeWindowDC(hwnd, &update, &ok);
    if (!dc) return nullptr;
    std::memset(paint, 0, sizeof(*paint));
    paint->hdc = dc;
    paint->rcPaint = update.empty() ? RECT{0, 0, 0, 0} : gdi::Bounds(update);
    paint->fErase = erase ? FALSE : TRUE;  // TRUE: the background still needs erasing
    if (erase && !update.empty())
        paint->fErase =
            SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) ? FALSE : TRUE;
    return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
    if (paint && paint->hdc) GdiGiveBackScreenDC(paint->hdc);
    return TRUE;
}

HDC GetDC(HWND hwnd) {
    bool ok = true;
    if (!hwnd) return MakeWindowDC(GetDesktopWindow(), nullptr, &ok);
    HDC dc = MakeWindowDC(hwnd, nullptr, &ok);
    if (!ok) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return dc;
}

HDC GetWindowDC(HWND hwnd) {
    return GetDC(hwnd);
}

int ReleaseDC(HWND, HDC dc) {
    return dc && DeleteDC(dc) ? 1 : 0;
}

int GetSystemMetrics(int index) {
    SyncDevice();
    auto surface = GdiScreenSurface();
    int dpi = fvt::Profile().dpi;
    auto scale = [dpi](int v) { return v * dpi / 96; };
    switch (index) {
        case SM_CXSCREEN:
            return surface ? surface->Width() : 0;
        case SM_CYSCREEN:
            return surface ? surface->Height() : 0;
        case SM_CXVSCROLL:
        case SM_CYHSCROLL:
            return scale(13);
        case SM_CYCAPTION:
        case SM_CYMENU:
            return scale(26);
        case SM_CXBORDER:
        case SM_CYBORDER:
            return 1;
        case SM_CXICON:
        case SM_CYICON:
            return scale(32);
        case SM_CXSMICON:
        case SM_CYSMICON:
            return scale(16);
    }
    return 0;
}

}  // extern "C"


extern "C" HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
    HWND local = fvt::win::FindWindowLocal(className, windowName);
    if (local || windowName) return local;
    return fvt::win::FindRemoteWindow(className);
}

bool fvt::DeviceHeldByAnotherProcess() {
    return fvt::win::HeldElsewhere();
}
