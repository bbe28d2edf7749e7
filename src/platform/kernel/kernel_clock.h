// The one clock behind tick counts, Sleep, waits and system time: real (host clocks) or virtual
// (advanced by the test driver). Under the virtual clock, Sleep on the driving thread advances it;
// other threads sleep really, and time-outs of their waits run on virtual time.
#pragma once

#include <cstdint>

#include "platform/types.h"

constexpr DWORD INFINITE = 0xFFFFFFFF;

extern "C" {
DWORD GetTickCount();
void Sleep(DWORD milliseconds);
}

namespace fvt {

// FILETIME units (100 ns since 1601-01-01 UTC) at 1970-01-01.
constexpr std::uint64_t kUnixEpochFileTime = 116444736000000000ULL;

void UseRealClock();
// startFileTime 0 keeps the current system time as the start. The calling thread drives the clock.
void UseVirtualClock(std::uint64_t startFileTime = 0);
bool IsVirtualClock();
void SetClockDriverThread();
bool IsClockDriverThread();
void AdvanceClock(std::uint64_t milliseconds);
// Moves the virtual clock forward to `tickMs` if it is behind it.
void AdvanceClockTo(std::uint64_t tickMs);

std::uint64_t NowTicks();     // milliseconds, monotonic
std::uint64_t NowFileTime();  // 100 ns units since 1601 UTC

}  // namespace fvt
