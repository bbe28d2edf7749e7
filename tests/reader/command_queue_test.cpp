// The command queue alone, with a runner of its own: what the controller's tests cannot reach
// since the queue keeps its own guard and timer.
#include "reader/command_queue.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "support/reader/reader_fakes.h"

namespace {

using fvt::test::ManualTimerHost;

class RecordingRunner final : public CommandRunner {
public:
    void RunQueuedCommand(int32_t id) override {
        ran.push_back(id);
        if (onRun) onRun(id);
    }
    std::vector<int32_t> ran;
    std::function<void(int32_t)> onRun;
};

class CommandQueueTest : public ::testing::Test {
protected:
    void SetUp() override { timers_.SetHost(&host_); }

    ManualTimerHost host_;
    TimerList timers_;
    RecordingRunner runner_;
};

TEST_F(CommandQueueTest, ARunnerThatDestroysTheQueueStopsTheDrain) {
    auto queue = std::make_unique<CommandQueue>(timers_, runner_);
    queue->Post(1);
    queue->Post(2);
    runner_.onRun = [&](int32_t) { queue.reset(); };
    host_.FireAll(timers_);
    EXPECT_EQ(runner_.ran, (std::vector<int32_t>{1}));
    EXPECT_TRUE(host_.live.empty());
}

TEST_F(CommandQueueTest, AHostChangeDuringTheDrainLeavesNoStrayTimer) {
    CommandQueue queue(timers_, runner_);
    ManualTimerHost other;
    queue.Post(1);
    queue.Post(2);
    runner_.onRun = [&](int32_t id) {
        if (id != 1) return;
        timers_.SetHost(&other);
        queue.OnTimerHostChanged();
    };
    host_.FireAll(timers_);
    // The drain that was running finishes the queue; the new host gets no timer of its own.
    EXPECT_EQ(runner_.ran, (std::vector<int32_t>{1, 2}));
    EXPECT_TRUE(other.live.empty());
    EXPECT_TRUE(queue.IsEmpty());
    EXPECT_TRUE(queue.CheckInvariants());
}

TEST_F(CommandQueueTest, WaitingWorkMovesToTheNewHost) {
    CommandQueue queue(timers_, runner_);
    queue.Post(7);
    ManualTimerHost other;
    timers_.SetHost(&other);
    queue.OnTimerHostChanged();
    EXPECT_EQ(other.live.size(), 1u);
    EXPECT_TRUE(queue.CheckInvariants());
    other.FireAll(timers_);
    EXPECT_EQ(runner_.ran, (std::vector<int32_t>{7}));
    EXPECT_TRUE(queue.CheckInvariants());
}

TEST_F(CommandQueueTest, AnObjectParkedDuringTheDrainWaitsForTheNextOne) {
    CommandQueue queue(timers_, runner_);
    bool freed = false;
    struct Flag final : ParkedObject {
        explicit Flag(bool& f) : freed(f) {}
        ~Flag() override { freed = true; }
        bool& freed;
    };
    runner_.onRun = [&](int32_t) { queue.Park(std::make_unique<Flag>(freed)); };
    queue.Post(3);
    host_.FireAll(timers_);
    // Parked by the command that is still on the stack: not freed under it.
    EXPECT_FALSE(freed);
    EXPECT_NE(queue.TimerId(), -1);
    EXPECT_TRUE(queue.CheckInvariants());
    host_.FireAll(timers_);
    EXPECT_TRUE(freed);
    EXPECT_EQ(queue.TimerId(), -1);
}

}  // namespace
