#include "reader/command_queue.h"

#include <new>

CommandQueue::~CommandQueue() {
    timers_.Stop(this, timer_);
    // guards_ goes with the queue: a running drain sees it dead and stops.
}

int32_t CommandQueue::Post(int32_t id) {
    int32_t index = ids_.Append(id);
    if (index < 0) return -1;
    // Whenever no timer is pending (not only for the first id), so that one failed SetTimer
    // never stalls the queue.
    if (timer_ == -1) StartTimer();
    return index;
}

bool CommandQueue::PostCall(std::unique_ptr<QueuedCall> call) {
    if (!call) return false;
    try {
        calls_.push_back(PendingCall{static_cast<uint32_t>(ids_.Count()), std::move(call)});
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (timer_ == -1) StartTimer();
    return true;
}

void CommandQueue::Park(std::unique_ptr<ParkedObject> object) {
    if (!object) return;
    try {
        parked_.push_back(std::move(object));
    } catch (const std::bad_alloc&) {
        return;  // freed here after all: the caller has already let go of it
    }
    if (timer_ == -1) StartTimer();
}

void CommandQueue::OnTimerHostChanged() {
    timer_ = -1;
    if (Waiting() && !draining_) StartTimer();
}

void CommandQueue::StartTimer() {
    timers_.StartOnce(this, 0, timer_, false);
}

void CommandQueue::OnTimer(TimerList&, int32_t id) {
    Drain(id);
}

void CommandQueue::Drain(int32_t timerId) {
    if (timerId != timer_ || timerId == -1) return;
    // A modal loop inside a queued command serves messages; the outer loop runs what is
    // posted meanwhile, so a nested call leaves it.
    if (draining_) return;
    draining_ = true;
    ListIterator guard;
    guard.Attach(&guards_);
    // Objects parked by earlier commands: their methods have long returned.
    std::vector<std::unique_ptr<ParkedObject>> parked;
    parked.swap(parked_);
    parked.clear();
    if (!guard.IsAlive()) return;
    while (ids_.Count() > 0 || !calls_.empty()) {
        // A call runs once the commands posted before it have run.
        if (!calls_.empty() && (calls_.front().after == 0 || ids_.Count() == 0)) {
            std::unique_ptr<QueuedCall> call = std::move(calls_.front().call);
            calls_.erase(calls_.begin());
            call->Run();
            if (!guard.IsAlive()) return;
            continue;
        }
        int32_t id = ids_[0];
        ids_.Remove(0, 1);
        for (PendingCall& pending : calls_)
            if (pending.after > 0) --pending.after;
        runner_.RunQueuedCommand(id);
        if (!guard.IsAlive()) return;  // destroyed: touch nothing more
    }
    draining_ = false;
    timers_.Stop(this, timer_);
    if (!parked_.empty()) StartTimer();
}

bool CommandQueue::CheckInvariants() const {
    if (draining_) return false;
    if (Waiting() != (timer_ != -1)) return false;
    return timer_ == -1 || timers_.IsLive(timer_);
}
