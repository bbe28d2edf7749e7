// The per-thread message queue, sending across threads, posting from any thread, and timers.
#include <algorithm>
#include <chrono>
#include <thread>
#include <unordered_map>

#include "platform/audio/wave_out.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/kernel_sync.h"
#include "platform/last_error.h"
#include "platform/window/window_internal.h"
#include "platform/window/window_layer.h"

namespace fvt::win {
namespace {

constexpr size_t kMaxPosted = 10000;
std::unordered_map<DWORD, std::weak_ptr<ThreadQueue>> g_queues;

// The queue lives as long as its thread; when the thread ends, senders waiting on it get 0.
struct QueueOwner {
    std::shared_ptr<ThreadQueue> queue;
    ~QueueOwner() {
        if (!queue) return;
        std::lock_guard<std::mutex> l(Lock());
        queue->alive = false;
        for (auto& m : queue->sent) {
            m->done = true;
            m->result = 0;
            if (m->sender) Wake(*m->sender);
        }
        queue->sent.clear();
        queue->posted.clear();
        queue->input.clear();
        g_queues.erase(queue->threadId);
    }
};
thread_local QueueOwner t_queue;

bool Matches(const MSG& m, HWND filter, UINT min, UINT max) {
    if (filter && m.hwnd != filter) return false;
    if (min == 0 && max == 0) return true;
    return m.message >= min && m.message <= max;
}

bool InRange(UINT message, UINT min, UINT max) {
    return (min == 0 && max == 0) || (message >= min && message <= max);
}

// Handles one message sent from another thread; lock held on entry and exit.
void HandleSent(std::unique_lock<std::mutex>& lock, ThreadQueue& q) {
    auto m = q.sent.front();
    q.sent.pop_front();
    ++q.inSend;
    lock.unlock();
    LRESULT result = CallProc(m->hwnd, m->message, m->wParam, m->lParam);
    lock.lock();
    --q.inSend;
    m->result = result;
    m->done = true;
    if (m->sender) Wake(*m->sender);
}

MSG Make(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG m{};
    m.hwnd = hwnd;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = GetTickCount();
    return m;
}

// The next due timer of the thread's windows (filtered), or null.
Window* DueTimer(ThreadQueue& q, HWND filter, std::uint64_t now, UINT_PTR& id,
                 std::uint64_t* nextDue) {
    Window* best = nullptr;
    std::uint64_t bestDue = 0, bestOrder = 0;
    AnyWindow([&](Window* w) {
        if (w->queue.get() != &q || w->destroying) return false;
        if (filter && w->handle != filter) return false;
        for (auto& [tid, t] : w->timers) {
            if (nextDue && (*nextDue == 0 || t.due < *nextDue)) *nextDue = t.due;
            if (t.due > now) continue;
            if (!best || t.due < bestDue || (t.due == bestDue && t.order < bestOrder)) {
                best = w;
                bestDue = t.due;
                bestOrder = t.order;
                id = tid;
            }
        }
        return false;
    });
    return best;
}

// The first window in tree order with something to paint (filtered), or null.
Window* NeedsPaint(ThreadQueue& q, HWND filter) {
    Window* found = nullptr;
    AnyWindow([&](Window* w) {
        if (w->queue.get() != &q || w->destroying || w->update.empty()) return false;
        if (filter && w->handle != filter) return false;
        if (!IsShown(w)) return false;
        found = w;
        return true;
    });
    return found;
}

// A display backend's turn (events, showing the screen) while the thread would wait.
std::function<bool()>& IdleHook() {
    static auto* hook = new std::function<bool()>;
    return *hook;
}

// A display that can sleep until its window system has input (`wait`, given the milliseconds
// to the next timer, -1 for none) and be woken from another thread (`wake`). Only the thread
// that set it sleeps there; without it a thread with a display looks at it every 16 ms.
struct DisplayWait {
    std::function<void(int)> wait;
    std::function<void()> wake;
    DWORD thread = 0;
};
DisplayWait& DisplayWaitHooks() {
    static auto* hooks = new DisplayWait;
    return *hooks;
}

bool Fetch(MSG* out, HWND filter, UINT min, UINT max, bool remove, bool wait) {
    auto q = CurrentQueue();
    std::unique_lock<std::mutex> lock(Lock());
    bool hookRan = false;
    for (;;) {
        if (!q->sent.empty()) {
            HandleSent(lock, *q);
            continue;
        }
        for (auto it = q->posted.begin(); it != q->posted.end(); ++it) {
            if (!Matches(*it, filter, min, max)) continue;
            *out = *it;
            if (remove) q->posted.erase(it);
            q->last = *out;
            return true;
        }
        if (q->quit) {
            *out = Make(nullptr, WM_QUIT, static_cast<WPARAM>(q->quitCode), 0);
            if (remove) q->quit = false;
            return true;
        }
        for (auto it = q->input.begin(); it != q->input.end(); ++it) {
            RouteKeyAtRetrieval(*q, *it);
            if (!Matches(*it, filter, min, max)) continue;
            *out = *it;
            if (remove) {
                q->input.erase(it);
                NoteKeyRetrieved(*out);
            }
            q->last = *out;
            return true;
        }
        if (InRange(WM_PAINT, min, max)) {
            if (Window* w = NeedsPaint(*q, filter)) {
                *out = Make(w->handle, WM_PAINT, 0, 0);
                return true;
            }
        }
        std::uint64_t now = fvt::NowTicks();
        std::uint64_t nextDue = 0;
        if (InRange(WM_TIMER, min, max)) {
            UINT_PTR id = 0;
            if (Window* w = DueTimer(*q, filter, now, id, &nextDue)) {
                Timer& t = w->timers[id];
                *out = Make(w->handle, WM_TIMER, id, reinterpret_cast<LPARAM>(t.proc));
                if (remove) {
                    t.due = now + t.elapse;
                    t.order = NextOrder();
                }
                q->last = *out;
                return true;
            }
        }
        if (!wait) return false;
        bool hooked = static_cast<bool>(IdleHook());
        if (hooked && !hookRan) {
            hookRan = true;
            lock.unlock();
            IdleHook()();
            lock.lock();
            continue;
        }
        hookRan = false;
        DisplayWait& display = DisplayWaitHooks();
        const bool displayWaits =
            hooked && display.wait && display.wake && display.thread == q->threadId;
        if (displayWaits && (nextDue == 0 || !fvt::IsVirtualClock())) {
            // Asleep until input, a post, a paint asked for or the next timer: an idle reader
            // costs nothing.
            const int ms = nextDue == 0 ? -1
                                        : static_cast<int>(std::min<std::uint64_t>(
                                              nextDue > now ? nextDue - now : 0, 1u << 30));
            auto wait = display.wait;
            q->waitingInDisplay = true;
            lock.unlock();
            wait(ms);
            lock.lock();
            q->waitingInDisplay = false;
        } else if (hooked && (nextDue == 0 || !fvt::IsVirtualClock())) {
            std::uint64_t ms = nextDue == 0 ? 16 : std::min<std::uint64_t>(16, nextDue - now);
            q->cv.wait_for(lock, std::chrono::milliseconds(ms));
        } else if (nextDue == 0) {
            q->cv.wait(lock);
        } else if (fvt::IsVirtualClock()) {
            // Other threads get a moment to post; then the clock moves on to the timer.
            if (q->cv.wait_for(lock, std::chrono::milliseconds(2)) == std::cv_status::timeout &&
                fvt::IsClockDriverThread() && q->sent.empty() && q->posted.empty() &&
                q->input.empty()) {
                lock.unlock();
                fvt::AdvanceClockTo(nextDue);
                lock.lock();
            }
        } else {
            q->cv.wait_for(lock, std::chrono::milliseconds(nextDue - now));
        }
    }
}

// Set from other files' static initialisers, so made on first use.
std::function<void()>& QuitHook() {
    static auto* hook = new std::function<void()>;
    return *hook;
}

}  // namespace

std::shared_ptr<ThreadQueue> CurrentQueue() {
    if (!t_queue.queue) {
        auto q = std::make_shared<ThreadQueue>();
        q->threadId = GetCurrentThreadId();
        std::lock_guard<std::mutex> l(Lock());
        g_queues[q->threadId] = q;
        t_queue.queue = q;
    }
    return t_queue.queue;
}

void Wake(ThreadQueue& q) {
    q.cv.notify_all();
    if (q.waitingInDisplay && DisplayWaitHooks().wake) DisplayWaitHooks().wake();
}

void PostToQueue(ThreadQueue& q, const MSG& msg, bool input) {
    (input ? q.input : q.posted).push_back(msg);
    Wake(q);
}

bool PostInput(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, POINT pt) {
    std::lock_guard<std::mutex> l(Lock());
    Window* w = Find(hwnd);
    if (!w || w->destroying || !w->queue || !w->queue->alive) return false;
    MSG m = Make(hwnd, message, wParam, lParam);
    m.pt = pt;
    PostToQueue(*w->queue, m, true);
    return true;
}

void SetIdleHook(std::function<bool()> hook) {
    std::lock_guard<std::mutex> l(Lock());
    IdleHook() = std::move(hook);
}

void SetDisplayWait(std::function<void(int)> wait, std::function<void()> wake) {
    std::lock_guard<std::mutex> l(Lock());
    DisplayWait& hooks = DisplayWaitHooks();
    hooks.wait = std::move(wait);
    hooks.wake = std::move(wake);
    hooks.thread = GetCurrentThreadId();
}

void SetQuitHook(std::function<void()> hook) {
    QuitHook() = std::move(hook);
}

namespace {

// The sent message taken back from the queue it waits in; false when that thread has it already.
bool TakeBack(ThreadQueue& target, const std::shared_ptr<SentMessage>& m) {
    auto it = std::find(target.sent.begin(), target.sent.end(), m);
    if (it == target.sent.end()) return false;
    target.sent.erase(it);
    return true;
}

}  // namespace

bool Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT limitMs, LRESULT& result) {
    result = 0;
    std::shared_ptr<ThreadQueue> target;
    std::string remote;
    {
        std::lock_guard<std::mutex> l(Lock());
        Window* w = Find(hwnd);
        if (!w || w->desktop) return fvt::Fail(ERROR_INVALID_WINDOW_HANDLE, false);
        target = w->queue;
        if (w->remote) remote = w->remoteClass;
    }
    // Another process: it answers once its window has handled the message.
    if (!remote.empty()) return RemoteSend(remote, message, wParam, lParam, limitMs, result);
    if (!target || target->threadId == GetCurrentThreadId()) {
        result = CallProc(hwnd, message, wParam, lParam);
        return true;
    }
    // Another thread's window: queue it there and wait, handling what is sent to us meanwhile.
    auto self = CurrentQueue();
    auto m = std::make_shared<SentMessage>();
    m->hwnd = hwnd;
    m->message = message;
    m->wParam = wParam;
    m->lParam = lParam;
    m->sender = self;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    std::unique_lock<std::mutex> lock(Lock());
    if (!target->alive) return true;
    target->sent.push_back(m);
    Wake(*target);
    while (!m->done) {
        if (!self->sent.empty()) {
            HandleSent(lock, *self);
            continue;
        }
        if (limitMs == 0) {
            self->cv.wait(lock);
        } else if (self->cv.wait_until(lock, deadline) == std::cv_status::timeout && !m->done) {
            // One its thread is already handling runs to its end; the sender waits no longer.
            TakeBack(*target, m);
            return fvt::Fail(ERROR_TIMEOUT, false);
        }
    }
    result = m->result;
    return true;
}

}  // namespace fvt::win

using namespace fvt::win;

extern "C" {

BOOL GetMessageW(MSG* msg, HWND window, UINT filterMin, UINT filterMax) {
    if (!msg) return fvt::Fail(ERROR_INVALID_PARAMETER, -1);
    Fetch(msg, window, filterMin, filterMax, true, true);
    if (msg->message == WM_QUIT) {
        if (QuitHook()) QuitHook()();
        return FALSE;
    }
    return TRUE;
}

BOOL PeekMessageW(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT remove) {
    if (!msg) return fvt::Fail(ERROR_INVALID_PARAMETER, FALSE);
    return Fetch(msg, window, filterMin, filterMax, (remove & PM_REMOVE) != 0, false) ? TRUE
                                                                                      : FALSE;
}

LRESULT DispatchMessageW(const MSG* msg) {
    if (!msg || !msg->hwnd) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        // Only a live timer's own procedure is called, never an arbitrary posted pointer.
        TIMERPROC proc = nullptr;
        {
            std::lock_guard<std::mutex> l(Lock());
            Window* w = Find(msg->hwnd);
            if (w) {
                auto it = w->timers.find(msg->wParam);
                if (it != w->timers.end() &&
                    reinterpret_cast<LPARAM>(it->second.proc) == msg->lParam)
                    proc = it->second.proc;
            }
        }
        if (proc) {
            proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
            return 0;
        }
    }
    {
        std::lock_guard<std::mutex> l(Lock());
        Window* w = Find(msg->hwnd);
        if (!w || w->desktop) return 0;
        if (w->queue && w->queue->threadId != GetCurrentThreadId()) return 0;
        if (msg->message == WM_TIMER && !msg->lParam &&
            w->timers.find(msg->wParam) == w->timers.end())
            return 0;  // killed after it was retrieved
    }
    return CallProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void PostQuitMessage(int exitCode) {
    auto q = CurrentQueue();
    std::lock_guard<std::mutex> l(Lock());
    q->quit = true;
    q->quitCode = exitCode;
    Wake(*q);
}

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    Send(hwnd, message, wParam, lParam, 0, result);
    return result;
}

LRESULT SendMessageTimeoutW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT /*flags*/,
                            UINT timeoutMs, DWORD_PTR* result) {
    LRESULT answer = 0;
    // No wait at all is the shortest wait there is, not an endless one.
    const bool answered = Send(hwnd, message, wParam, lParam, std::max(timeoutMs, 1u), answer);
    if (result) *result = answered ? static_cast<DWORD_PTR>(answer) : 0;
    return answered ? 1 : 0;
}

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!hwnd) return PostThreadMessageW(GetCurrentThreadId(), message, wParam, lParam);
    std::lock_guard<std::mutex> l(Lock());
    Window* w = Find(hwnd);
    if (!w || w->desktop || w->destroying) return fvt::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    if (!w->queue || !w->queue->alive) return fvt::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    if (w->queue->posted.size() >= kMaxPosted) return fvt::Fail(ERROR_TOO_MANY_POSTS, FALSE);
    PostToQueue(*w->queue, Make(hwnd, message, wParam, lParam), false);
    return TRUE;
}

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    if (threadId == GetCurrentThreadId()) CurrentQueue();
    std::lock_guard<std::mutex> l(Lock());
    auto it = g_queues.find(threadId);
    auto q = it == g_queues.end() ? nullptr : it->second.lock();
    if (!q || !q->alive) return fvt::Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (q->posted.size() >= kMaxPosted) return fvt::Fail(ERROR_TOO_MANY_POSTS, FALSE);
    PostToQueue(*q, Make(nullptr, message, wParam, lParam), false);
    return TRUE;
}

DWORD GetMessagePos() {
    auto q = CurrentQueue();
    std::lock_guard<std::mutex> l(Lock());
    return MAKELONG(static_cast<WORD>(q->last.pt.x), static_cast<WORD>(q->last.pt.y));
}

LONG GetMessageTime() {
    auto q = CurrentQueue();
    std::lock_guard<std::mutex> l(Lock());
    return static_cast<LONG>(q->last.time);
}

BOOL InSendMessage() {
    auto q = CurrentQueue();
    std::lock_guard<std::mutex> l(Lock());
    return q->inSend > 0;
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    std::lock_guard<std::mutex> l(Lock());
    Window* w = Find(hwnd);
    if (!w || w->desktop || w->destroying)
        return fvt::Fail<UINT_PTR>(ERROR_INVALID_WINDOW_HANDLE, 0);
    // The same id restarts the timer with the new period.
    Timer& t = w->timers[id];
    t.elapse = elapse;
    t.due = fvt::NowTicks() + elapse;
    t.proc = proc;
    t.order = NextOrder();
    if (w->queue) Wake(*w->queue);
    return id ? id : 1;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    std::lock_guard<std::mutex> l(Lock());
    Window* w = Find(hwnd);
    if (!w || w->desktop) return fvt::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    // WM_TIMER is made when retrieved, so nothing of a killed timer stays behind.
    return w->timers.erase(id) ? TRUE : FALSE;
}

}  // extern "C"

namespace fvt {

void PumpDisplay() {
    std::function<bool()> hook;
    {
        std::lock_guard<std::mutex> l(win::Lock());
        hook = win::IdleHook();
    }
    if (hook) hook();
}

int RunUntilIdle(int limit) {
    int handled = 0;
    MSG msg;
    while (handled < limit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // left for the program's own loop
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        ++handled;
    }
    return handled;
}

void RunClockFor(std::uint64_t milliseconds) {
    if (!IsVirtualClock()) {
        // Real time passes by itself: run the queue meanwhile.
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < end) {
            RunUntilIdle();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        RunUntilIdle();
        return;
    }
    constexpr std::uint64_t kStep = 10;
    // Real time allowed for one step to settle: only a broken device thread takes this long.
    constexpr auto kSettleWait = std::chrono::seconds(2);
    while (true) {
        const std::uint64_t step = std::min(milliseconds, kStep);
        AdvanceClock(step);
        milliseconds -= step;
        const auto deadline = std::chrono::steady_clock::now() + kSettleWait;
        MSG msg;
        while (std::chrono::steady_clock::now() < deadline) {
            RunUntilIdle();
            const bool waiting = PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
            if (waiting && msg.message == WM_QUIT) return;  // for the program's own loop
            if (!waiting && WaveDevicesSettled()) break;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        if (milliseconds == 0) break;
    }
}

bool RunModalLoop(HWND owner, const std::function<bool()>& done,
                  const std::function<bool(MSG&)>& filter) {
    bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled) EnableWindow(owner, FALSE);
    bool quit = false;
    MSG msg;
    while (!done()) {
        if (!GetMessageW(&msg, nullptr, 0, 0)) {
            // The program's own loop must see the quit too.
            PostQuitMessage(static_cast<int>(msg.wParam));
            quit = true;
            break;
        }
        if (filter && filter(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (ownerWasEnabled && IsWindow(owner)) EnableWindow(owner, TRUE);
    return !quit;
}

}  // namespace fvt
