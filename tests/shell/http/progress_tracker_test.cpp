#include "shell/http/progress_tracker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/kernel/kernel_clock.h"
#include "support/platform/temp_device.h"

namespace {

// Records the notices in order, as "P<tag>" (progress) and "S<tag>" (structure).
class RecordingTracker : public ProgressTracker {
public:
    void ProgressNotice(ProgressTask* task) override {
        log.push_back("P" + std::to_string(task->Tag()));
    }
    void StructureNotice(ProgressTask* task) override {
        log.push_back("S" + std::to_string(task->Tag()));
    }
    void MessageA(ProgressTask* task, uint32_t a, uint32_t b) override {
        log.push_back("A" + std::to_string(task->Tag()) + ":" + std::to_string(a) + "," +
                      std::to_string(b));
    }
    std::vector<std::string> log;
};

// A virtual clock, so that elapsed times are exact.
class ProgressTest : public ::testing::Test {
protected:
    void SetUp() override { fvt::UseVirtualClock(); }
    void TearDown() override { fvt::UseRealClock(); }
    fvt::test::TempDevice device_;
};

}  // namespace

TEST_F(ProgressTest, NewTaskHasNoProgressAndNoEstimate) {
    ProgressTracker tracker;
    ProgressTask* task = tracker.AddChild(100);
    double seconds = 0;
    EXPECT_EQ(task->Fraction(), 0.0);
    EXPECT_EQ(task->EstimateRemaining(seconds), 0.0);
    EXPECT_EQ(seconds, -1.0);
    EXPECT_EQ(tracker.EstimateRemaining(seconds), 0.0);
    EXPECT_EQ(seconds, -1.0);
    EXPECT_EQ(tracker.CurrentFraction(), 0.0);
}

TEST_F(ProgressTest, TimedLeafEstimatesFromItsRate) {
    ProgressTracker tracker;
    ProgressTask* task = tracker.AddChild(1000, 1.0, ProgressTask::kTimed);
    task->Start(0);
    fvt::AdvanceClock(10000);
    task->Advance(250);
    double seconds = 0;
    EXPECT_DOUBLE_EQ(task->EstimateRemaining(seconds), 0.25);
    EXPECT_NEAR(seconds, 30.0, 1e-6);
    EXPECT_EQ(tracker.CurrentTask(), task);
    EXPECT_DOUBLE_EQ(tracker.CurrentFraction(), 0.25);
}

TEST_F(ProgressTest, WeightsShareTheParentsFraction) {
    ProgressTracker tracker;
    ProgressTask* first = tracker.AddChild(10, 1.0);
    tracker.AddChild(10, 3.0);
    first->Finish();
    EXPECT_DOUBLE_EQ(tracker.Fraction(), 0.25);
    uint32_t done = 0, total = 0;
    tracker.SetTotal(1000);
    tracker.Fraction();
    tracker.GetProgress(done, total);
    EXPECT_EQ(done, 250u);
    EXPECT_EQ(total, 1000u);
}

TEST_F(ProgressTest, ConsumingResetHidesTheOldChildren) {
    ProgressTracker tracker;
    ProgressTask* a = tracker.AddChild(5);
    ProgressTask* b = tracker.AddChild(5);
    ProgressTask* c = tracker.AddChild(5);
    a->Start(2);
    tracker.Reset(true);
    EXPECT_EQ(tracker.ChildCount(), 0u);
    EXPECT_EQ(tracker.Child(0), nullptr);
    for (ProgressTask* t : {a, b, c}) {  // still owned by the tracker, finished and weightless
        EXPECT_EQ(t->GetState(), ProgressTask::kFinished);
        EXPECT_EQ(t->Weight(), 0.0);
    }
    EXPECT_EQ(tracker.CurrentTask(), nullptr);
    // The fraction over all children and the estimate over the unconsumed ones agree.
    ProgressTask* d = tracker.AddChild(4);
    EXPECT_EQ(tracker.ChildCount(), 1u);
    EXPECT_EQ(tracker.Child(0), d);
    d->Start(1);
    double seconds = 0;
    EXPECT_DOUBLE_EQ(tracker.Fraction(), 0.25);
    EXPECT_DOUBLE_EQ(tracker.EstimateRemaining(seconds), 0.25);
}

TEST_F(ProgressTest, PlainResetResetsTheChildrenToo) {
    ProgressTracker tracker;
    ProgressTask* parent = tracker.AddChild(1);
    ProgressTask* leaf = parent->AddChild(10);
    leaf->Start(5);
    tracker.Cancel();
    tracker.Reset(false);
    EXPECT_FALSE(tracker.IsCancelled());
    EXPECT_EQ(leaf->GetState(), ProgressTask::kNotStarted);
    EXPECT_EQ(parent->ChildCount(), 1u);
    uint32_t done = 9, total = 0;
    leaf->GetProgress(done, total);
    EXPECT_EQ(done, 0u);
}

TEST_F(ProgressTest, NoticesArriveInOrderAndSameTotalIsQuiet) {
    RecordingTracker tracker;
    ProgressTask* task = tracker.AddChild(10, 1.0, 0, 7);
    task->SetTotal(10);
    task->SetTotal(20);
    task->Start(1);
    task->Advance(2);
    task->SendMessageA(3, 4);
    task->Finish();
    std::vector<std::string> expected = {"S0", "S7", "P7", "P7", "A7:3,4", "P7"};
    EXPECT_EQ(tracker.log, expected);
}

TEST_F(ProgressTest, CancelFlagComesBackFromEveryReport) {
    ProgressTracker tracker;
    ProgressTask* task = tracker.AddChild(10);
    EXPECT_FALSE(task->Start(0));
    task->Cancel();
    EXPECT_TRUE(tracker.IsCancelled());
    EXPECT_TRUE(task->Advance(1));
    EXPECT_TRUE(task->Start(2));
    EXPECT_TRUE(task->Finish());
}

TEST_F(ProgressTest, ZeroDivisorsGiveUnknownNotInfinity) {
    ProgressTracker tracker;
    // A timed leaf that has done nothing after 5 seconds.
    ProgressTask* leaf = tracker.AddChild(100, 1.0, ProgressTask::kTimed);
    leaf->Start(0);
    fvt::AdvanceClock(5000);
    double seconds = 0;
    EXPECT_EQ(leaf->EstimateRemaining(seconds), 0.0);
    EXPECT_EQ(seconds, -1.0);
    // A timed parent whose children have done nothing yet (T < 1, D = 0).
    ProgressTracker timedRoot;
    timedRoot.Reset(false);
    ProgressTask* parent = timedRoot.AddChild(1, 1.0, ProgressTask::kTimed);
    ProgressTask* child = parent->AddChild(0);
    child->Start(0);
    parent->Start(0);
    fvt::AdvanceClock(2000);
    EXPECT_EQ(parent->EstimateRemaining(seconds), 0.0);
    EXPECT_EQ(seconds, -1.0);
    // Finished timed children whose weights are all 0 (T >= 1, Wt = 0).
    ProgressTracker other;
    ProgressTask* host = other.AddChild(1);
    ProgressTask* done = host->AddChild(1, 0.0, ProgressTask::kTimed);
    host->AddChild(1, 1.0);
    done->Start(0);
    fvt::AdvanceClock(3000);
    done->Finish();
    host->Child(1)->Start(0);
    host->EstimateRemaining(seconds);
    EXPECT_EQ(seconds, -1.0);
    // Zero weights everywhere give fraction 0, not NaN.
    ProgressTracker weightless;
    weightless.AddChild(1, 0.0)->Finish();
    EXPECT_EQ(weightless.Fraction(), 0.0);
}

TEST_F(ProgressTest, FinishingATimedTaskThatNeverStartedTakesNoTime) {
    ProgressTracker tracker;
    ProgressTask* task = tracker.AddChild(10, 1.0, ProgressTask::kTimed);
    fvt::AdvanceClock(60000);
    task->Finish();
    EXPECT_EQ(task->Elapsed(), 0.0);
    ProgressTask* timed = tracker.AddChild(10, 1.0, ProgressTask::kTimed);
    timed->Start(0);
    fvt::AdvanceClock(4000);
    timed->Finish();
    EXPECT_NEAR(timed->Elapsed(), 4.0, 1e-6);
}

TEST_F(ProgressTest, RemovingTheCurrentTaskClearsIt) {
    ProgressTracker tracker;
    ProgressTask* parent = tracker.AddChild(1);
    ProgressTask* leaf = parent->AddChild(10);
    leaf->Start(3);
    ASSERT_EQ(tracker.CurrentTask(), leaf);
    tracker.RemoveChild(parent);  // the current task was inside the removed subtree
    EXPECT_EQ(tracker.CurrentTask(), nullptr);
    EXPECT_EQ(tracker.CurrentFraction(), 0.0);
    EXPECT_EQ(tracker.ChildCount(), 0u);
}

TEST_F(ProgressTest, RemovingAConsumedChildKeepsTheOthersVisible) {
    ProgressTracker tracker;
    ProgressTask* old = tracker.AddChild(1);
    tracker.Reset(true);
    ProgressTask* fresh = tracker.AddChild(1);
    ASSERT_EQ(tracker.ChildCount(), 1u);
    tracker.RemoveChild(old);
    EXPECT_EQ(tracker.ChildCount(), 1u);
    EXPECT_EQ(tracker.Child(0), fresh);
    tracker.RemoveChild(fresh);
    EXPECT_EQ(tracker.ChildCount(), 0u);
}

TEST_F(ProgressTest, ParentEstimateCombinesItsChildren) {
    ProgressTracker tracker;
    ProgressTask* a = tracker.AddChild(100, 1.0, ProgressTask::kTimed);
    ProgressTask* b = tracker.AddChild(100, 1.0, ProgressTask::kTimed);
    a->Start(0);
    fvt::AdvanceClock(10000);
    a->Finish();  // 10 s for one unit of weight
    b->Start(0);
    double seconds = 0;
    EXPECT_DOUBLE_EQ(tracker.EstimateRemaining(seconds), 0.5);
    // b has no estimate of its own yet: its weight counts as not done (N = 1), at 10 s a unit.
    EXPECT_NEAR(seconds, 10.0, 1e-6);
    // A child left out of estimates does not count its time.
    ProgressTracker other;
    ProgressTask* quiet = other.AddChild(1, 1.0, ProgressTask::kTimed | ProgressTask::kNoEstimate);
    quiet->Start(0);
    fvt::AdvanceClock(5000);
    quiet->Finish();
    other.AddChild(1)->Start(0);
    other.EstimateRemaining(seconds);
    EXPECT_EQ(seconds, -1.0);
}

TEST_F(ProgressTest, NotCurrentTasksLeaveTheCurrentOneAlone) {
    ProgressTracker tracker;
    ProgressTask* shown = tracker.AddChild(10);
    ProgressTask* hidden = tracker.AddChild(10, 1.0, ProgressTask::kNotCurrent);
    shown->Start(1);
    hidden->Start(1);
    EXPECT_EQ(tracker.CurrentTask(), shown);
}

TEST_F(ProgressTest, SumChildWeightsCountsEveryChild) {
    ProgressTracker tracker;
    ProgressTask* parent = tracker.AddChild(1);
    parent->AddChild(1, 2.0);
    parent->AddChild(1, 0.5);
    parent->SumChildWeights();
    EXPECT_DOUBLE_EQ(parent->Weight(), 2.5);
}

TEST_F(ProgressTest, OverfullCountsStayInRange) {
    ProgressTracker tracker;
    tracker.SetTotal(0xFFFFFFFFu);
    ProgressTask* leaf = tracker.AddChild(1);
    leaf->Start(0);
    leaf->Advance(0xFFFFFFF0u);  // far past its total
    tracker.Fraction();
    uint32_t done = 0, total = 0;
    tracker.GetProgress(done, total);
    EXPECT_EQ(done, 0xFFFFFFFFu);
}
