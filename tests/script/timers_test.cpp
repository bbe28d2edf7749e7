// setTimeout/setInterval through the window timer list.
#include <map>

#include <gtest/gtest.h>

#include "core/timer_list.h"
#include "script_test_util.h"

namespace {

struct FakeWindow : TimerHost {
    std::map<uintptr_t, std::uint32_t> live;
    bool SetTimer(uintptr_t id, std::uint32_t ms) override {
        live[id] = ms;
        return true;
    }
    void KillTimer(uintptr_t id) override { live.erase(id); }
};

struct TimerRun : ScriptRun {
    FakeWindow window;
    TimerList list{&window};
    TimerRun() { ScriptGlobal::SetTimerOwner(&context, &list, this); }
    // Fires every live timer once.
    void Tick() {
        std::map<uintptr_t, std::uint32_t> now = window.live;
        for (auto& t : now) list.Dispatch(t.first);
    }
};

TEST(ScriptTimersTest, OneShotTimersRunOnceInTheGlobalScope) {
    TimerRun r;
    ASSERT_TRUE(
        r.Run("var n = 0; var a = setTimeout('n += 1; print(n)', 50); "
              "var b = setTimeout(function() { n += 10; print(this === undefined) }, 0); a > 0 && "
              "b > a"));
    EXPECT_EQ(r.rc, 0) << r.Message();
    EXPECT_EQ(r.result, "true");
    EXPECT_EQ(r.window.live.size(), 2u);
    r.Tick();
    r.Tick();
    EXPECT_EQ(r.out, "1\nfalse\n");
    EXPECT_EQ(ScriptGlobal::TimerCount(&r.context), 0);
    ASSERT_TRUE(r.Run("n"));
    EXPECT_EQ(r.result, "11");
}

TEST(ScriptTimersTest, IntervalsRepeatUntilCleared) {
    TimerRun r;
    ASSERT_TRUE(r.Run(
        "var k = 0; var id = setInterval(function() { k++; if (k == 3) clearInterval(id); }, 1);"));
    EXPECT_EQ(r.window.live.begin()->second, 10u);  // intervals are at least 10 ms
    for (int i = 0; i < 5; ++i) r.Tick();
    ASSERT_TRUE(r.Run("k"));
    EXPECT_EQ(r.result, "3");
    EXPECT_TRUE(r.window.live.empty());
}

TEST(ScriptTimersTest, ClearingHandlersStopsEverythingAndBadHandlersFailQuietly) {
    TimerRun r;
    ASSERT_TRUE(
        r.Run("setTimeout('print(1)', 5); setInterval('print(2)', 5); setTimeout('syntax error "
              "here(', 1)"));
    EXPECT_EQ(r.result, "0");  // a handler that does not compile is dropped
    EXPECT_EQ(r.context.failedTimerRuns, 1u);
    EXPECT_EQ(r.window.live.size(), 2u);
    ScriptGlobal::ClearHandlers(&r.context);
    EXPECT_TRUE(r.window.live.empty());
    r.Tick();
    EXPECT_EQ(r.out, "");
    ASSERT_TRUE(r.Run("setTimeout('missing()', 1)"));
    r.Tick();
    EXPECT_EQ(r.context.failedTimerRuns, 2u);
    // A handler that clears all handlers while it runs.
    ScriptGlobal::SetTimerOwner(&r.context, &r.list, nullptr);
    ASSERT_TRUE(r.Run("setInterval(function() { clearAll(); print('ran'); }, 20)"));
    struct Clearer : ScriptObject {
        ScriptContext* ctx;
        ScriptHeap* heap = nullptr;
        ~Clearer() override { ScriptHeap::DetachObject(heap, this); }
        void Notify(int event, ScriptHeap* h) override { heap = event == 0 ? h : nullptr; }
        int Resolve(int* err, const ScriptName& n, ScriptMemberRef* ref, bool) override {
            if (!n.EqualsAscii("clearAll")) return Done(err, 4);
            ref->object = this;
            ref->code = 1;
            return Done(err, 0);
        }
        int Call(int* err, ScriptMemberRef*, int, const ScriptValue*, ScriptValue* out) override {
            ScriptGlobal::ClearHandlers(ctx);
            *out = ScriptValues::kUndefined;
            return Done(err, 0);
        }
    } clearer;
    clearer.ctx = &r.context;
    r.context.Hosts().AppendObject(&clearer, 2);
    r.Tick();
    EXPECT_EQ(r.out, "ran\n");
    EXPECT_TRUE(r.window.live.empty());
}

TEST(ScriptTimersTest, WithoutATimerListTimersAnswerZero) {
    ScriptRun r;
    ASSERT_TRUE(r.Run("[setTimeout('x', 1), setInterval('x', 1), clearTimeout(5)].join()"));
    EXPECT_EQ(r.result, "0,0,");
}

}  // namespace
