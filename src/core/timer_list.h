// The window timers of one window, each calling back an object's OnTimer. Timer ids are handed
// out from 0x1000 upward and never reused while live, so they cannot collide with the window's
// own fixed timers (1 and 133).
#pragma once

#include <cstdint>

#include "core/segmented_array.h"
#include "platform/types.h"

class TimerList;

// The window side: SetTimer and KillTimer on the list's window.
class TimerHost {
public:
    virtual ~TimerHost() = default;
    virtual bool SetTimer(uintptr_t id, uint32_t intervalMs) = 0;
    virtual void KillTimer(uintptr_t id) = 0;
};

class TimerCallback {
public:
    virtual ~TimerCallback() = default;
    virtual void OnTimer(TimerList& list, int32_t id) = 0;
};

class TimerList {
public:
    static constexpr int32_t kFirstId = 0x1000;

    explicit TimerList(TimerHost* host = nullptr) : host_(host) {}
    // Kills every live timer.
    ~TimerList();
    TimerList(const TimerList&) = delete;
    TimerList& operator=(const TimerList&) = delete;

    // The window the timers run on, given at its creation (null detaches and kills them all).
    void SetHost(TimerHost* host);
    TimerHost* Host() const { return host_; }

    // Stops the timer in idVar, then starts a repeating one; idVar gets its id (-1 on failure).
    bool StartRepeating(TimerCallback* callback, uint32_t intervalMs, int32_t& idVar);
    // Starts a one-shot timer; with restart, the timer in idVar is stopped first.
    bool StartOnce(TimerCallback* callback, uint32_t intervalMs, int32_t& idVar, bool restart);
    // Kills the timer and drops its record; idVar becomes -1. Unknown ids and -1 are ignored.
    void Stop(TimerCallback* callback, int32_t& idVar);
    // For WM_TIMER: runs the callback of the id (a one-shot timer is killed and removed first).
    // The list is not touched after the callback, which may destroy it. False for ids not ours.
    bool Dispatch(uintptr_t id);
    int32_t Count() const { return records_.Count(); }
    bool IsLive(int32_t id) const { return Find(id) >= 0; }

private:
    struct Record {
        int32_t id;
        bool repeating;
        TimerCallback* callback;
    };
    bool Start(TimerCallback* callback, uint32_t intervalMs, int32_t& idVar, bool repeating);
    int32_t Find(int32_t id) const;
    int32_t NextId();

    TimerHost* host_;
    SegArray<Record, 3> records_;
    int32_t nextId_ = kFirstId;
};

// The timers of a window: SetTimer and KillTimer on it. The window procedure passes each
// WM_TIMER whose id is not one of its own to TimerList::Dispatch.
class WindowTimers : public TimerHost {
public:
    explicit WindowTimers(HWND window) : window_(window) {}
    bool SetTimer(uintptr_t id, uint32_t intervalMs) override;
    void KillTimer(uintptr_t id) override;
    HWND Window() const { return window_; }

private:
    HWND window_;
};
