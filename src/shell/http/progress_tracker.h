// A tree of weighted tasks that says how far a long operation has come and how long it may
// still take. The root (`ProgressTracker`) hears of every change through its notice
// operations, which a display overrides; work is reported to the task that does it.
//
// Threads: a tree is used by one thread at a time; the notices run on the reporting thread
// (a display posts them on to its window). Children are owned by their parent.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/containers.h"

class ProgressTracker;

class ProgressTask {
public:
    enum Flags : uint32_t {
        kTimed = 1,       // keep the start and elapsed times
        kNotCurrent = 2,  // never becomes the root's current task
        kNoEstimate = 4,  // left out of time estimates
    };
    enum State : uint32_t { kNotStarted = 0, kRunning = 1, kFinished = 2 };

    virtual ~ProgressTask();
    ProgressTask(const ProgressTask&) = delete;
    ProgressTask& operator=(const ProgressTask&) = delete;

    // Back to not started (done 0, start time now). With consume, the children so far become
    // finished and weightless and drop out of ChildCount; otherwise they are reset too.
    virtual void Reset(bool consume);

    // Null when memory runs out.
    ProgressTask* AddChild(uint32_t total, double weight = 1.0, uint32_t flags = 0,
                           uint8_t tag = 0);
    // Deletes the child (and its subtree); a child of another task is left alone.
    void RemoveChild(ProgressTask* child);
    // Children from the first unconsumed one on.
    uint32_t ChildCount() const;
    ProgressTask* Child(uint32_t i) const;

    void SetTotal(uint32_t total);
    void SetWeight(double weight);
    // The weight becomes the sum of every child's weight.
    void SumChildWeights();

    // Each reports and returns the root's cancelled flag.
    bool Start(uint32_t done);
    bool Advance(uint32_t delta);
    bool Finish();

    void GetProgress(uint32_t& done, uint32_t& total) const;
    void Cancel();
    bool IsCancelled() const;
    void SendMessageA(uint32_t a, uint32_t b);
    void SendMessageB(uint32_t a, uint32_t b);

    // 0..1. A task with children also takes total x fraction as its done count.
    double Fraction();
    // Returns the fraction; seconds gets the remaining time, -1.0 when it cannot be told.
    double EstimateRemaining(double& seconds);

    ProgressTask* Parent() const { return parent_; }
    uint32_t GetState() const { return state_; }
    uint32_t GetFlags() const { return flags_; }
    double Weight() const { return weight_; }
    double Elapsed() const { return elapsed_; }
    uint8_t Tag() const { return tag_; }

protected:
    ProgressTask(ProgressTask* parent, uint32_t total, double weight, uint32_t flags, uint8_t tag);
    ProgressTracker* Root();
    const ProgressTracker* Root() const;

private:
    void MarkStarted();
    void MarkFinished();
    int32_t AllChildren() const { return static_cast<int32_t>(children_.size()); }
    ProgressTask* ChildAt(int32_t i) const;
    bool Contains(const ProgressTask* task) const;

    ProgressTask* parent_;
    // Owned: a child goes with its parent.
    std::vector<std::unique_ptr<ProgressTask>> children_;
    uint64_t startTime_ = 0;  // FILETIME, UTC
    double elapsed_ = 0.0;    // seconds
    uint32_t total_;
    uint32_t done_ = 0;
    double weight_;
    uint32_t state_ = kNotStarted;
    uint32_t flags_;
    uint32_t firstChild_ = 0;
    uint8_t tag_;
};

class ProgressTracker : public ProgressTask {
public:
    explicit ProgressTracker(uint32_t ownerData = 0);

    // Also clears the cancelled flag and the current task.
    void Reset(bool consume) override;

    // Notices from any task of the tree; they do nothing here.
    virtual void MessageA(ProgressTask* task, uint32_t a, uint32_t b);
    virtual void MessageB(ProgressTask* task, uint32_t a, uint32_t b);
    virtual void ProgressNotice(ProgressTask* task);
    virtual void StructureNotice(ProgressTask* task);

    // The fraction of the task that started last (0 when none).
    double CurrentFraction();
    ProgressTask* CurrentTask() const { return current_; }
    uint32_t OwnerData() const { return ownerData_; }

private:
    friend class ProgressTask;
    uint32_t ownerData_;
    bool cancelled_ = false;
    ProgressTask* current_ = nullptr;
};
