// The queue: retrieval order, sending across threads, posting from threads, timers, modal loops.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/timer_list.h"
#include "platform/kernel/kernel_sync.h"
#include "platform/last_error.h"
#include "platform/window/keys.h"
#include "platform/window/window_internal.h"
#include "support/platform/window_fixture.h"
#include "support/platform/window_timer_host.h"

namespace fvt::test {
namespace {

using Queue = WindowTest;

TEST_F(Queue, PostedBeforeInputBeforePaintBeforeTimers) {
    HWND hwnd = Make(0, 26, 100, 100);
    SetFocus(hwnd);
    RunUntilIdle();
    Watch({WM_USER, WM_USER + 1, WM_KEYDOWN, WM_PAINT, WM_TIMER});
    SetTimer(hwnd, 9, 0, nullptr);
    InvalidateRect(hwnd, nullptr, FALSE);
    fvt::KeyDown(VK_DOWN);
    PostMessageW(hwnd, WM_USER, 0, 0);
    PostMessageW(hwnd, WM_USER + 1, 0, 0);
    MSG msg;
    std::vector<UINT> order;
    for (int i = 0; i < 5 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        order.push_back(msg.message);
        DispatchMessageW(&msg);
    }
    KillTimer(hwnd, 9);
    fvt::KeyUp(VK_DOWN);
    RunUntilIdle();
    EXPECT_EQ(order, (std::vector<UINT>{WM_USER, WM_USER + 1, WM_KEYDOWN, WM_PAINT, WM_TIMER}));
}

TEST_F(Queue, QuitEndsTheLoopAfterEarlierPosts) {
    HWND hwnd = Make(0, 26, 10, 10);
    PostMessageW(hwnd, WM_USER, 0, 0);
    PostQuitMessage(3);
    MSG msg;
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_USER);
    EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(Queue, SendFromAnotherThreadRunsOnTheWindowThreadAndWaits) {
    HWND hwnd = Make(0, 26, 10, 10);
    DWORD ownThread = GetCurrentThreadId();
    std::atomic<DWORD> ranOn{0};
    On(hwnd, [&](HWND, UINT m, WPARAM w, LPARAM, bool& handled) -> LRESULT {
        handled = m == WM_USER + 5;
        if (handled) ranOn = GetCurrentThreadId();
        return static_cast<LRESULT>(w * 2);
    });
    std::atomic<LRESULT> result{-1};
    std::atomic<bool> returned{false};
    std::thread other([&] {
        result = SendMessageW(hwnd, WM_USER + 5, 21, 0);
        returned = true;
    });
    // Not handled until this thread looks at its queue: the sender is still waiting.
    Sleep(0);
    MSG msg;
    while (!returned) {
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        std::this_thread::yield();
    }
    other.join();
    EXPECT_EQ(result, 42);
    EXPECT_EQ(ranOn, ownThread);
}

// A display that can sleep in its window system's wait is left there, with no time limit while
// no timer is due, until something comes for the thread: a post or a paint asked for from
// another thread wakes it, and its turn (events, showing the screen) is not taken over and over.
TEST_F(Queue, AnIdleThreadSleepsInTheDisplaysWaitUntilSomethingComes) {
    HWND hwnd = Make(0, 26, 10, 10);
    RunUntilIdle();
    std::mutex m;
    std::condition_variable cv;
    bool woken = false, asleep = false;
    std::vector<int> limits;
    int turns = 0;
    win::SetIdleHook([&] {
        ++turns;
        return true;
    });
    win::SetDisplayWait(
        [&](int ms) {
            std::unique_lock<std::mutex> l(m);
            limits.push_back(ms);
            asleep = true;
            cv.notify_all();
            // Bounded, so that a wake never sent fails the test rather than hangs it.
            cv.wait_for(l, std::chrono::seconds(5), [&] { return woken; });
            woken = asleep = false;
        },
        [&] {
            std::lock_guard<std::mutex> l(m);
            woken = true;
            cv.notify_all();
        });
    auto whenAsleep = [&](std::function<void()> then) {
        return std::thread([&, then] {
            std::unique_lock<std::mutex> l(m);
            cv.wait_for(l, std::chrono::seconds(5), [&] { return asleep; });
            l.unlock();
            then();
        });
    };
    MSG msg{};
    std::thread poster = whenAsleep([&] { PostMessageW(hwnd, WM_USER + 7, 0, 0); });
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    poster.join();
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 7));
    std::thread painter = whenAsleep([&] { InvalidateRect(hwnd, nullptr, FALSE); });
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    painter.join();
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
    DispatchMessageW(&msg);
    win::SetDisplayWait(nullptr, nullptr);
    win::SetIdleHook(nullptr);
    EXPECT_EQ(limits, (std::vector<int>{-1, -1}));
    // One turn before each sleep, none while asleep.
    EXPECT_EQ(turns, 2);
}

TEST_F(Queue, SendToAThreadThatEndedReturnsZero) {
    HWND foreign = nullptr;
    std::thread t([&] {
        foreign =
            CreateWindowExW(0, kClass, u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    });
    t.join();
    ASSERT_NE(foreign, nullptr);
    EXPECT_EQ(SendMessageW(foreign, WM_USER, 1, 2), 0);
    EXPECT_FALSE(PostMessageW(foreign, WM_USER, 0, 0));
}

TEST_F(Queue, SendersWaitingOnAThreadThatEndsGetZero) {
    std::atomic<HWND> foreign{nullptr};
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread owner([&] {
        foreign =
            CreateWindowExW(0, kClass, u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        WaitForSingleObject(release, INFINITE);  // never pumps
    });
    while (!foreign) std::this_thread::yield();
    std::atomic<LRESULT> result{-1};
    std::thread sender([&] { result = SendMessageW(foreign, WM_USER, 0, 0); });
    Sleep(0);
    SetEvent(release);
    owner.join();
    sender.join();
    EXPECT_EQ(result, 0);
    CloseHandle(release);
}

// A send with a limit to a thread that does not look at its queue in time fails with
// ERROR_TIMEOUT, and the message is taken back: that thread never handles it later. To a thread
// that answers, it gives the answer.
TEST_F(Queue, ASendWithALimitIsTakenBackWhenTheWindowsThreadDoesNotTakeIt) {
    HWND own = Make(0, 26, 10, 10);
    On(own, [](HWND, UINT m, WPARAM w, LPARAM, bool& handled) -> LRESULT {
        handled = m == WM_USER + 7;
        return static_cast<LRESULT>(w + 1);
    });
    DWORD_PTR result = 0;
    EXPECT_EQ(SendMessageTimeoutW(own, WM_USER + 7, 41, 0, SMTO_NORMAL, 50, &result), 1);
    EXPECT_EQ(result, 42u);

    std::atomic<HWND> foreign{nullptr};
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread owner([&] {
        HWND w =
            CreateWindowExW(0, kClass, u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        foreign = w;
        WaitForSingleObject(release, INFINITE);  // busy: does not look at its queue
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        DestroyWindow(w);
    });
    while (!foreign) std::this_thread::yield();
    Watch({WM_USER + 8});
    result = 99;
    EXPECT_EQ(SendMessageTimeoutW(foreign, WM_USER + 8, 0, 0, SMTO_NORMAL, 50, &result), 0);
    EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
    EXPECT_EQ(result, 0u);
    SetEvent(release);
    owner.join();
    EXPECT_TRUE(Log().empty()) << "the message was handled after its sender gave up";
    CloseHandle(release);
}

TEST_F(Queue, PostsFromManyThreadsKeepEachThreadsOrder) {
    HWND hwnd = Make(0, 26, 10, 10);
    Watch({WM_USER});
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([hwnd, t] {
            for (int i = 0; i < 100; ++i) PostMessageW(hwnd, WM_USER, t, i);
        });
    for (auto& t : threads) t.join();
    RunUntilIdle();
    auto log = Log();
    ASSERT_EQ(log.size(), 400u);
    int last[4] = {-1, -1, -1, -1};
    for (auto& r : log) {
        EXPECT_GT(r.lParam, last[r.wParam]);
        last[r.wParam] = static_cast<int>(r.lParam);
    }
}

TEST_F(Queue, TimersFollowTheVirtualClock) {
    HWND hwnd = Make(0, 26, 10, 10);
    Watch({WM_TIMER});
    SetTimer(hwnd, 133, 1000, nullptr);
    RunUntilIdle();
    fvt::AdvanceClock(999);
    RunUntilIdle();
    EXPECT_TRUE(Log().empty());
    fvt::AdvanceClock(1);
    RunUntilIdle();
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].wParam, 133u);
    // It repeats until killed.
    fvt::AdvanceClock(1000);
    RunUntilIdle();
    EXPECT_EQ(Log().size(), 2u);
    KillTimer(hwnd, 133);
    fvt::AdvanceClock(5000);
    RunUntilIdle();
    EXPECT_EQ(Log().size(), 2u);
}

TEST_F(Queue, SettingTheSameIdRestartsTheTimer) {
    HWND hwnd = Make(0, 26, 10, 10);
    Watch({WM_TIMER});
    SetTimer(hwnd, 1, 100, nullptr);
    fvt::AdvanceClock(90);
    SetTimer(hwnd, 1, 100, nullptr);
    fvt::AdvanceClock(90);
    RunUntilIdle();
    EXPECT_TRUE(Log().empty());
    fvt::AdvanceClock(10);
    RunUntilIdle();
    EXPECT_EQ(Log().size(), 1u);
}

TEST_F(Queue, KillingADueTimerDropsItsMessage) {
    HWND hwnd = Make(0, 26, 10, 10);
    Watch({WM_TIMER});
    SetTimer(hwnd, 1, 50, nullptr);
    fvt::AdvanceClock(60);
    KillTimer(hwnd, 1);
    RunUntilIdle();
    EXPECT_TRUE(Log().empty());
}

TEST_F(Queue, ZeroTimerFiresAtTheNextIdle) {
    HWND hwnd = Make(0, 26, 10, 10);
    Watch({WM_TIMER, WM_USER});
    On(hwnd, [](HWND h, UINT m, WPARAM w, LPARAM, bool& handled) -> LRESULT {
        handled = m == WM_TIMER;
        if (handled) KillTimer(h, w);
        return 0;
    });
    SetTimer(hwnd, 5, 0, nullptr);
    PostMessageW(hwnd, WM_USER, 0, 0);
    RunUntilIdle();
    EXPECT_EQ(Messages(), (std::vector<UINT>{WM_USER, WM_TIMER}));
}

TEST_F(Queue, GetMessageMovesTheVirtualClockToTheNextTimer) {
    HWND hwnd = Make(0, 26, 10, 10);
    SetTimer(hwnd, 2, 500, nullptr);
    DWORD before = GetTickCount();
    MSG msg;
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    while (msg.message != WM_TIMER) {
        DispatchMessageW(&msg);
        ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    }
    EXPECT_EQ(msg.wParam, 2u);
    EXPECT_GE(GetTickCount() - before, 500u);
    KillTimer(hwnd, 2);
}

class Counter : public TimerCallback {
public:
    void OnTimer(TimerList&, int32_t id) override { ids.push_back(id); }
    std::vector<int32_t> ids;
};

TEST_F(Queue, TimerListRunsOnWindowTimersBesideTheFixedOnes) {
    HWND hwnd = Make(0, 26, 10, 10);
    WindowTimerHost host(hwnd);
    TimerList list(&host);
    Counter counter;
    int fixed = 0;
    On(hwnd, [&](HWND, UINT m, WPARAM w, LPARAM, bool& handled) -> LRESULT {
        handled = m == WM_TIMER;
        if (handled && !list.Dispatch(w)) ++fixed;
        return 0;
    });
    SetTimer(hwnd, 1, 50, nullptr);
    SetTimer(hwnd, 133, 1000, nullptr);
    int32_t once = -1, repeating = -1;
    ASSERT_TRUE(list.StartOnce(&counter, 0, once, false));
    ASSERT_TRUE(list.StartRepeating(&counter, 60, repeating));
    EXPECT_NE(once, 1);
    EXPECT_NE(repeating, 133);
    RunUntilIdle();
    EXPECT_EQ(counter.ids, std::vector<int32_t>{once});
    fvt::AdvanceClock(1000);
    RunUntilIdle();
    EXPECT_EQ(counter.ids.size(), 2u);
    EXPECT_EQ(fixed, 2);
    KillTimer(hwnd, 1);
    KillTimer(hwnd, 133);
}

TEST_F(Queue, ModalLoopKeepsDispatchingAndDisablesTheOwner) {
    HWND owner = Make(0, 26, 100, 100);
    HWND other = Make(0, 26, 50, 50, 0);
    bool done = false;
    bool ownerEnabledInside = true;
    On(other, [&](HWND, UINT m, WPARAM, LPARAM, bool& handled) -> LRESULT {
        handled = m == WM_USER;
        if (handled) {
            ownerEnabledInside = IsWindowEnabled(owner);
            done = true;
        }
        return 0;
    });
    PostMessageW(other, WM_USER, 0, 0);
    EXPECT_TRUE(RunModalLoop(owner, [&] { return done; }));
    EXPECT_FALSE(ownerEnabledInside);
    EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(Queue, ModalLoopLeavesTheQuitForTheMainLoop) {
    HWND owner = Make(0, 26, 100, 100);
    PostQuitMessage(0);
    EXPECT_FALSE(RunModalLoop(owner, [] { return false; }));
    MSG msg;
    EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0));
}

}  // namespace
}  // namespace fvt::test
