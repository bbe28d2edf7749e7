// The reader controller's command queue: command ids and calls waiting to run from the message
// loop, oldest first, and objects parked until the next drain. One zero-delay timer on the
// window's timer list serves all three. The queue knows nothing of what an id does: it hands
// each one back to its CommandRunner.
//
// Re-entrancy. A queued command or call may destroy the window, and with it the controller that
// owns this queue. The drain holds a guard on the queue's own guard list and touches nothing of
// the queue once it reads dead. A modal loop inside a command serves messages; a nested drain
// returns at once and the outer loop runs what was posted meanwhile.
//
// Invariant (CheckInvariants): between messages the timer exists exactly while ids or calls
// wait or objects are parked.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/list.h"
#include "core/segmented_array.h"
#include "core/timer_list.h"

// An object freed from the next queue drain instead of at once.
class ParkedObject {
public:
    virtual ~ParkedObject() = default;
};

// Work that must not run inside its caller (a navigation a book script asked for while the
// script, its form control or the view that ran it is still on the stack): run from the queue.
class QueuedCall {
public:
    virtual ~QueuedCall() = default;
    virtual void Run() = 0;
};

// What runs an id taken from the queue (the controller's executor).
class CommandRunner {
public:
    virtual void RunQueuedCommand(int32_t id) = 0;

protected:
    ~CommandRunner() = default;
};

class CommandQueue final : private TimerCallback {
public:
    // Both outlive the queue.
    CommandQueue(TimerList& timers, CommandRunner& runner) : timers_(timers), runner_(runner) {}
    ~CommandQueue() override;
    CommandQueue(const CommandQueue&) = delete;
    CommandQueue& operator=(const CommandQueue&) = delete;

    // The queue index, or -1 when the id could not be queued.
    int32_t Post(int32_t id);
    // Runs the call after the commands posted before it; false (and the call dropped) when it
    // cannot be queued.
    bool PostCall(std::unique_ptr<QueuedCall> call);
    void Park(std::unique_ptr<ParkedObject> object);
    // The timer list moved to another host, whose timers are not ours: what waits gets a timer
    // on the new one.
    void OnTimerHostChanged();

    bool IsEmpty() const { return ids_.Count() == 0 && calls_.empty(); }
    int32_t TimerId() const { return timer_; }
    // Test hook: false when the invariant is broken.
    bool CheckInvariants() const;

private:
    void OnTimer(TimerList& list, int32_t id) override;
    void Drain(int32_t timerId);
    void StartTimer();
    bool Waiting() const { return ids_.Count() > 0 || !parked_.empty() || !calls_.empty(); }

    TimerList& timers_;
    CommandRunner& runner_;
    List guards_;
    SegArray<int32_t> ids_;
    int32_t timer_ = -1;
    bool draining_ = false;
    std::vector<std::unique_ptr<ParkedObject>> parked_;
    // Calls posted with PostCall, each after the commands posted before it.
    struct PendingCall {
        uint32_t after = 0;  // commands queued ahead of it
        std::unique_ptr<QueuedCall> call;
    };
    std::vector<PendingCall> calls_;
};
