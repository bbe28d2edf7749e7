// Window timers behind core's TimerList: the list's ids start at 0x1000, clear of the window's
// own fixed timers (1 and 133), and arrive as WM_TIMER on the window, to be passed to Dispatch.
#pragma once

#include "core/timer_list.h"
#include "platform/window/window.h"

namespace fvt::test {

class WindowTimerHost : public TimerHost {
public:
    explicit WindowTimerHost(HWND window) : window_(window) {}
    bool SetTimer(uintptr_t id, uint32_t intervalMs) override {
        return ::SetTimer(window_, id, intervalMs, nullptr) != 0;
    }
    void KillTimer(uintptr_t id) override { ::KillTimer(window_, id); }

private:
    HWND window_;
};

}  // namespace fvt::test
