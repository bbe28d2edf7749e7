#include "core/timer_list.h"

#include "platform/window/window.h"

TimerList::~TimerList() {
    SetHost(nullptr);
}

void TimerList::SetHost(TimerHost* host) {
    if (host_) {
        for (int32_t i = 0; i < records_.Count(); ++i)
            host_->KillTimer(static_cast<uintptr_t>(records_[i].id));
    }
    records_.Clear();
    host_ = host;
}

int32_t TimerList::Find(int32_t id) const {
    for (int32_t i = 0; i < records_.Count(); ++i)
        if (records_[i].id == id) return i;
    return -1;
}

int32_t TimerList::NextId() {
    // Monotonic; after a (theoretical) wrap, skip ids still live and the fixed window timers.
    for (;;) {
        int32_t id = nextId_;
        nextId_ = nextId_ >= 0x7FFFFFF0 ? kFirstId : nextId_ + 1;
        if (Find(id) < 0) return id;
    }
}

bool TimerList::Start(TimerCallback* callback, uint32_t intervalMs, int32_t& idVar,
                      bool repeating) {
    idVar = -1;
    if (!host_ || !callback) return false;
    int32_t id = NextId();
    if (records_.Append(Record{id, repeating, callback}) < 0) return false;
    if (!host_->SetTimer(static_cast<uintptr_t>(id), intervalMs)) {
        records_.Remove(records_.Count() - 1, 1);
        return false;
    }
    idVar = id;
    return true;
}

bool TimerList::StartRepeating(TimerCallback* callback, uint32_t intervalMs, int32_t& idVar) {
    Stop(callback, idVar);
    return Start(callback, intervalMs, idVar, true);
}

bool TimerList::StartOnce(TimerCallback* callback, uint32_t intervalMs, int32_t& idVar,
                          bool restart) {
    if (restart) Stop(callback, idVar);
    return Start(callback, intervalMs, idVar, false);
}

void TimerList::Stop(TimerCallback* /*callback*/, int32_t& idVar) {
    int32_t id = idVar;
    idVar = -1;
    if (id < 0) return;
    int32_t i = Find(id);
    if (i < 0) return;
    if (host_) host_->KillTimer(static_cast<uintptr_t>(id));
    records_.Remove(i, 1);
}

bool TimerList::Dispatch(uintptr_t rawId) {
    if (rawId > 0x7FFFFFFF) return false;
    int32_t id = static_cast<int32_t>(rawId);
    int32_t i = Find(id);
    if (i < 0) return false;
    TimerCallback* callback = records_[i].callback;
    if (!records_[i].repeating) {
        if (host_) host_->KillTimer(rawId);
        records_.Remove(i, 1);
    }
    // Nothing of the list is used after this call: the callback may destroy it.
    callback->OnTimer(*this, id);
    return true;
}

bool WindowTimers::SetTimer(uintptr_t id, uint32_t intervalMs) {
    return ::SetTimer(window_, id, intervalMs, nullptr) != 0;
}

void WindowTimers::KillTimer(uintptr_t id) {
    ::KillTimer(window_, id);
}
