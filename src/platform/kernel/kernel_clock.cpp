#include "platform/kernel/kernel_clock.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/kernel/device.h"

namespace fvt {

namespace {

struct ClockState {
    std::atomic<bool> isVirtual{false};
    std::atomic<std::uint64_t> virtualMs{0};
    std::atomic<std::thread::id> driver{};
    std::mutex lock;
    std::uint64_t virtualStartFileTime = 0;
    // Real clock: a fixed "now" from the profile runs on from the moment it was first read.
    std::uint64_t fixedStartFileTime = 0;
    std::chrono::steady_clock::time_point fixedStartSteady;
    std::uint64_t fixedGeneration = ~0ULL;
};

ClockState& State() {
    static ClockState* state = new ClockState;
    return *state;
}

const std::chrono::steady_clock::time_point kProcessStart = std::chrono::steady_clock::now();

std::uint64_t HostFileTime() {
    auto since = std::chrono::system_clock::now().time_since_epoch();
    auto units = std::chrono::duration_cast<std::chrono::nanoseconds>(since).count() / 100;
    return kUnixEpochFileTime + static_cast<std::uint64_t>(units);
}

}  // namespace

void UseRealClock() {
    State().isVirtual = false;
}

void UseVirtualClock(std::uint64_t startFileTime) {
    ClockState& s = State();
    std::uint64_t start = startFileTime ? startFileTime : NowFileTime();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        s.virtualStartFileTime = start;
    }
    s.virtualMs = 0;
    s.driver = std::this_thread::get_id();
    s.isVirtual = true;
}

bool IsVirtualClock() {
    return State().isVirtual;
}

void SetClockDriverThread() {
    State().driver = std::this_thread::get_id();
}

bool IsClockDriverThread() {
    return State().driver.load() == std::this_thread::get_id();
}

void AdvanceClock(std::uint64_t milliseconds) {
    State().virtualMs += milliseconds;
}

void AdvanceClockTo(std::uint64_t tickMs) {
    auto& ms = State().virtualMs;
    std::uint64_t current = ms.load();
    while (current < tickMs && !ms.compare_exchange_weak(current, tickMs)) {
    }
}

std::uint64_t NowTicks() {
    ClockState& s = State();
    if (s.isVirtual) return s.virtualMs;
    auto elapsed = std::chrono::steady_clock::now() - kProcessStart;
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

std::uint64_t NowFileTime() {
    ClockState& s = State();
    if (s.isVirtual) {
        std::lock_guard<std::mutex> guard(s.lock);
        return s.virtualStartFileTime + s.virtualMs * 10000ULL;
    }
    const DeviceProfile& profile = Profile();
    if (profile.startFileTime == 0) return HostFileTime();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.fixedGeneration != DeviceGeneration()) {
        s.fixedGeneration = DeviceGeneration();
        s.fixedStartFileTime = profile.startFileTime;
        s.fixedStartSteady = std::chrono::steady_clock::now();
    }
    auto elapsed = std::chrono::steady_clock::now() - s.fixedStartSteady;
    return s.fixedStartFileTime +
           static_cast<std::uint64_t>(
               std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count() / 100);
}

}  // namespace fvt

extern "C" DWORD GetTickCount() {
    return static_cast<DWORD>(fvt::NowTicks());
}

extern "C" void Sleep(DWORD milliseconds) {
    if (fvt::IsVirtualClock() && fvt::IsClockDriverThread()) {
        fvt::AdvanceClock(milliseconds);
        std::this_thread::yield();
        return;
    }
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
