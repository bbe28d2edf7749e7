#include "core/timer_list.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

namespace {

// A window's timers driven by a virtual clock: Run delivers due timers in time order, as the
// message loop would post WM_TIMER.
class TestLoop : public TimerHost {
public:
    bool SetTimer(uintptr_t id, uint32_t ms) override {
        timers[id] = Timer{now + ms, ms};
        ++sets;
        return !failSet;
    }
    void KillTimer(uintptr_t id) override {
        timers.erase(id);
        killed.push_back(id);
    }
    // Advances to until, dispatching each due timer through the list.
    void Run(TimerList*& list, uint64_t until) {
        while (list) {
            uintptr_t next = 0;
            uint64_t due = UINT64_MAX;
            for (auto& [id, t] : timers)
                if (t.due < due) {
                    due = t.due;
                    next = id;
                }
            if (due > until) break;
            now = due;
            timers[next].due = now + (timers[next].interval ? timers[next].interval : 1);
            TimerList* l = list;
            l->Dispatch(next);
        }
        now = until;
    }
    struct Timer {
        uint64_t due;
        uint32_t interval;
    };
    std::map<uintptr_t, Timer> timers;
    std::vector<uintptr_t> killed;
    uint64_t now = 0;
    int sets = 0;
    bool failSet = false;
};

struct Counter : TimerCallback {
    void OnTimer(TimerList&, int32_t id) override {
        ++fired;
        lastId = id;
    }
    int fired = 0;
    int32_t lastId = -1;
};

TEST(TimerListRun, RepeatingTimersFireUntilStopped) {
    TestLoop loop;
    auto* list = new TimerList(&loop);
    Counter c;
    int32_t id = -1;
    ASSERT_TRUE(list->StartRepeating(&c, 60, id));
    EXPECT_GE(id, TimerList::kFirstId);
    loop.Run(list, 600);
    EXPECT_EQ(c.fired, 10);
    list->Stop(&c, id);
    EXPECT_EQ(id, -1);
    loop.Run(list, 1200);
    EXPECT_EQ(c.fired, 10);
    delete list;
}

TEST(TimerListRun, OneShotFiresOnceAndIsGoneBeforeItsCallback) {
    TestLoop loop;
    TimerList* list = new TimerList(&loop);
    struct Probe : TimerCallback {
        void OnTimer(TimerList& l, int32_t id) override {
            liveDuringCall = l.IsLive(id);
            ++fired;
        }
        bool liveDuringCall = true;
        int fired = 0;
    } p;
    int32_t id = -1;
    ASSERT_TRUE(list->StartOnce(&p, 0, id, false));
    loop.Run(list, 100);
    EXPECT_EQ(p.fired, 1);
    EXPECT_FALSE(p.liveDuringCall);
    EXPECT_EQ(list->Count(), 0);
    delete list;
}

TEST(TimerListRun, RestartReplacesTheTimerInTheVariable) {
    TestLoop loop;
    TimerList list(&loop);
    Counter c;
    int32_t id = -1;
    ASSERT_TRUE(list.StartOnce(&c, 1500, id, true));
    int32_t first = id;
    ASSERT_TRUE(list.StartOnce(&c, 1500, id, true));
    EXPECT_NE(id, first);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_FALSE(list.Dispatch(static_cast<uintptr_t>(first)));
}

TEST(TimerListRun, CallbackMayDestroyTheList) {
    TestLoop loop;
    struct Closer : TimerCallback {
        void OnTimer(TimerList& l, int32_t) override {
            ++fired;
            delete &l;
            *owner = nullptr;
        }
        TimerList** owner = nullptr;
        int fired = 0;
    } closer;
    TimerList* list = new TimerList(&loop);
    closer.owner = &list;
    int32_t a = -1, b = -1;
    ASSERT_TRUE(list->StartRepeating(&closer, 10, a));
    ASSERT_TRUE(list->StartOnce(&closer, 10, b, false));
    loop.Run(list, 100);
    EXPECT_EQ(closer.fired, 1);
    EXPECT_EQ(list, nullptr);
    EXPECT_TRUE(loop.timers.empty());  // the list killed its remaining timer as it went
}

TEST(TimerListIds, NeverTheWindowsOwnIdsAndUnknownIdsIgnored) {
    TestLoop loop;
    TimerList list(&loop);
    Counter c;
    for (int i = 0; i < 50; ++i) {
        int32_t id = -1;
        ASSERT_TRUE(list.StartOnce(&c, 5, id, false));
        EXPECT_NE(id, 1);
        EXPECT_NE(id, 133);
    }
    EXPECT_FALSE(list.Dispatch(1));
    EXPECT_FALSE(list.Dispatch(133));
    int32_t none = -1;
    list.Stop(&c, none);
    int32_t stale = 77;
    list.Stop(&c, stale);
    EXPECT_EQ(stale, -1);
}

TEST(TimerListIds, FailuresLeaveNoRecord) {
    TestLoop loop;
    TimerList noWindow;
    Counter c;
    int32_t id = 5;
    EXPECT_FALSE(noWindow.StartOnce(&c, 5, id, false));
    EXPECT_EQ(id, -1);
    TimerList list(&loop);
    loop.failSet = true;
    EXPECT_FALSE(list.StartRepeating(&c, 5, id));
    EXPECT_EQ(list.Count(), 0);
}

}  // namespace

#include "support/platform/window_fixture.h"

namespace {

class WindowTimerList : public fvt::test::WindowTest {};

TEST_F(WindowTimerList, WmTimerReachesTheCallbackThroughDispatch) {
    HWND hwnd = Make(0, 26, 50, 50);
    ASSERT_NE(hwnd, nullptr);
    WindowTimers host(hwnd);
    TimerList list(&host);
    Counter c;
    On(hwnd, [&](HWND, UINT m, WPARAM w, LPARAM, bool& handled) -> LRESULT {
        handled = m == WM_TIMER;
        if (handled) list.Dispatch(w);
        return 0;
    });
    int32_t id = -1;
    ASSERT_TRUE(list.StartOnce(&c, 0, id, false));
    fvt::RunUntilIdle();
    EXPECT_EQ(c.fired, 1);
    EXPECT_EQ(list.Count(), 0);
}

}  // namespace
