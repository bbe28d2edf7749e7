// The window manager's state, shared by its source files (windows, keys, shell, backends).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/gdi/region.h"
#include "platform/window/window.h"

namespace fvt::win {

struct ThreadQueue;

struct SentMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
    bool done = false;
    std::shared_ptr<ThreadQueue> sender;
};

struct ThreadQueue {
    DWORD threadId = 0;
    std::condition_variable cv;
    std::deque<std::shared_ptr<SentMessage>> sent;
    std::deque<MSG> posted;
    std::deque<MSG> input;
    bool alive = true;
    bool quit = false;
    int quitCode = 0;
    int inSend = 0;  // > 0 while handling a message sent from another thread
    HWND active = nullptr;
    HWND focus = nullptr;
    MSG last{};  // the last message retrieved (GetMessagePos/Time)
    // The thread sleeps in the display's own wait (input from the window system), which a
    // condition variable cannot end: whatever is queued for it wakes the display too.
    bool waitingInDisplay = false;
};

// Tells a queue's thread that something came for it; lock held.
void Wake(ThreadQueue& q);

// A display back end's turn (its events, showing the screen), taken before the thread waits.
void SetIdleHook(std::function<bool()> hook);

// A display back end that can sleep in its window system's own wait: `wait(ms)` returns when
// input came, `wake()` was called (from any thread) or ms passed (-1: no limit). The calling
// thread's queue then sleeps there instead of looking at the display every 16 ms.
void SetDisplayWait(std::function<void(int)> wait, std::function<void()> wake);

struct WindowClass {
    std::u16string name;
    WNDCLASSW wc{};
};

struct Timer {
    UINT elapse = 0;
    std::uint64_t due = 0;
    TIMERPROC proc = nullptr;
    std::uint64_t order = 0;  // set order: equal due times fire in it
};

struct Window {
    HWND handle = nullptr;
    bool desktop = false;
    bool chrome = false;
    bool remote = false;      // stands for a window of another process (remoteClass)
    std::string remoteClass;  // the shell's own windows (task bar, input panel): never activated
    std::shared_ptr<WindowClass> cls;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::u16string text;
    Window* parent = nullptr;  // the desktop for top-level windows
    HWND owner = nullptr;
    std::vector<Window*> children;  // front = top of the z-order
    RECT rect{};                    // in the parent's client coordinates
    LONG_PTR userData = 0;
    LONG_PTR id = 0;
    std::vector<std::uint8_t> extra;
    std::shared_ptr<ThreadQueue> queue;
    gdi::RectList update;  // client coordinates
    bool erase = false;
    bool destroying = false;
    bool created = false;  // WM_CREATE returned
    bool redraw = true;
    std::map<UINT_PTR, Timer> timers;
};

// One lock guards every window, class and queue; it is never held while a window procedure runs.
std::mutex& Lock();
Window* Find(HWND handle);  // lock held; null for destroyed, stale or foreign handles
Window* Desktop();          // lock held
std::shared_ptr<ThreadQueue> CurrentQueue();
RECT ScreenRect(const Window* w);  // lock held
bool IsShown(const Window* w);     // lock held: it and every ancestor visible
gdi::RectList VisibleRegion(const Window* w);
// Marks what lies under `screen` as needing paint, in every window and the desktop.
void ExposeScreen(const gdi::RectList& screen);                    // lock held
void RepaintDesktopNow();                                          // lock not held
void PostToQueue(ThreadQueue& queue, const MSG& msg, bool input);  // lock held
std::uint64_t NextOrder();
HWND FindWindowLocal(LPCWSTR className, LPCWSTR windowName);
HWND WindowAt(POINT screen);
HWND CaptureWindow();
// Calls the window procedure on this thread (0 for gone windows); lock not held.
LRESULT CallProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Calls f on each window in tree order (a window before its children, front to back) until it
// returns true, which it then returns; lock held.
template <class F>
bool AnyWindowIn(Window* w, F& f) {
    if (!w->desktop && f(w)) return true;
    for (Window* child : w->children)
        if (AnyWindowIn(child, f)) return true;
    return false;
}
template <class F>
bool AnyWindow(F&& f) {
    return AnyWindowIn(Desktop(), f);
}

// The shell follows a reopened device (screen size) and makes its bars before the first window.
void SyncDevice();
void EnsureChrome();
bool PostInput(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, POINT pt);

// Another process's windows on the same device.
void StartInstanceServer();
HWND FindRemoteWindow(LPCWSTR className);
bool HeldElsewhere();
Window* NewProxyWindow();  // lock held
bool RemoteForeground(const std::string& cls);
// Sends to another process's window of the class and waits for its answer, at most `limitMs`
// (0: as long as it takes); false with ERROR_TIMEOUT when none came.
bool RemoteSend(const std::string& cls, UINT message, WPARAM wParam, LPARAM lParam, UINT limitMs,
                LRESULT& result);
// Sends to a window of any thread or process, as SendMessageW does, waiting at most `limitMs`
// (0: as long as it takes); false when no answer came (ERROR_TIMEOUT) or there is no window.
bool Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT limitMs, LRESULT& result);

// Hooks the other parts of the layer fill in.
void OnWindowDestroyed(HWND window);    // keys and shell drop their records; lock not held
void NoteKeyRetrieved(const MSG& msg);  // key state follows retrieved input; lock held
// A key sent on its way before the menu, box or dialog now in front opened goes to that one
// instead, as the key is taken from the queue; lock held.
void RouteKeyAtRetrieval(const ThreadQueue& queue, MSG& msg);
void PaintDesktopRegion(const gdi::RectList& region);  // lock not held

}  // namespace fvt::win
