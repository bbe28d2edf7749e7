#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/kernel/kernel_sync.h"
#include "platform/last_error.h"
#include "support/platform/temp_device.h"

namespace {

struct Handle {
    HANDLE h;
    explicit Handle(HANDLE value) : h(value) {}
    ~Handle() {
        if (h) CloseHandle(h);
    }
};

}  // namespace

TEST(Events, ManualResetEventStaysSetUntilReset) {
    Handle e(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_NE(e.h, nullptr);
    EXPECT_EQ(WaitForSingleObject(e.h, 0), WAIT_TIMEOUT);
    ASSERT_TRUE(EventModify(e.h, EVENT_SET));
    EXPECT_EQ(WaitForSingleObject(e.h, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e.h, 0), WAIT_OBJECT_0);
    ASSERT_TRUE(EventModify(e.h, EVENT_RESET));
    EXPECT_EQ(WaitForSingleObject(e.h, 0), WAIT_TIMEOUT);
}

TEST(Events, CreatedSetEventIsSignalledAtOnce) {
    Handle e(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    EXPECT_EQ(WaitForSingleObject(e.h, 0), WAIT_OBJECT_0);
}

TEST(Events, AutoResetEventLetsOneWaitThrough) {
    Handle e(CreateEventW(nullptr, FALSE, TRUE, nullptr));
    EXPECT_EQ(WaitForSingleObject(e.h, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e.h, 0), WAIT_TIMEOUT);
}

TEST(Events, UnknownModifyCodeFails) {
    Handle e(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    EXPECT_FALSE(EventModify(e.h, 7));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Events, SetFromAnotherThreadWakesAnEndlessWait) {
    Handle e(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread setter([&] { EventModify(e.h, EVENT_SET); });
    EXPECT_EQ(WaitForSingleObject(e.h, INFINITE), WAIT_OBJECT_0);
    setter.join();
}

TEST(Events, ClosingTheHandleWhileAnotherThreadWaitsIsSafe) {
    HANDLE e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<DWORD> result{0xDEAD};
    std::thread waiter([&] { result = WaitForSingleObject(e, 200); });
    CloseHandle(e);
    waiter.join();
    EXPECT_TRUE(result == WAIT_TIMEOUT || result == WAIT_FAILED);
}

TEST(VirtualClockWaits, TimeOutFollowsTheVirtualClockNotRealTime) {
    fvt::test::TempDevice device("clock = virtual\n");
    ASSERT_TRUE(device.ok());
    Handle e(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<bool> done{false};
    std::atomic<DWORD> result{0xDEAD}, started{0}, ended{0};
    std::thread waiter([&] {
        started = GetTickCount();
        result = WaitForSingleObject(e.h, 1500);
        ended = GetTickCount();
        done = true;
    });
    while (!done) {
        fvt::AdvanceClock(100);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    waiter.join();
    EXPECT_EQ(result, WAIT_TIMEOUT);
    EXPECT_GE(ended - started, 1500u);
}

TEST(VirtualClockWaits, SignalBeforeTheDeadlineEndsTheWait) {
    fvt::test::TempDevice device("clock = virtual\n");
    Handle e(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<DWORD> result{0xDEAD};
    std::thread waiter([&] { result = WaitForSingleObject(e.h, 1500); });
    fvt::AdvanceClock(1499);
    EventModify(e.h, EVENT_SET);
    waiter.join();
    EXPECT_EQ(result, WAIT_OBJECT_0);
}

TEST(VirtualClockWaits, DriverThreadTimeOutMovesTheClockToTheDeadline) {
    fvt::test::TempDevice device("clock = virtual\n");
    Handle e(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    DWORD before = GetTickCount();
    EXPECT_EQ(WaitForSingleObject(e.h, 20), WAIT_TIMEOUT);
    EXPECT_EQ(GetTickCount() - before, 20u);
}

TEST(VirtualClockWaits, SleepOnTheDriverThreadAdvancesTheClock) {
    fvt::test::TempDevice device("clock = virtual\n");
    DWORD before = GetTickCount();
    Sleep(1500);
    EXPECT_EQ(GetTickCount() - before, 1500u);
}

TEST(Mutexes, OwnerMayTakeItAgainOthersWait) {
    Handle m(CreateMutexW(nullptr, FALSE, nullptr));
    ASSERT_EQ(WaitForSingleObject(m.h, 0), WAIT_OBJECT_0);
    ASSERT_EQ(WaitForSingleObject(m.h, 0), WAIT_OBJECT_0);
    DWORD other = 0;
    BOOL otherRelease = TRUE;
    std::thread([&] {
        other = WaitForSingleObject(m.h, 0);
        otherRelease = ReleaseMutex(m.h);
    }).join();
    EXPECT_EQ(other, WAIT_TIMEOUT);
    EXPECT_FALSE(otherRelease);
    EXPECT_TRUE(ReleaseMutex(m.h));
    EXPECT_TRUE(ReleaseMutex(m.h));
    EXPECT_FALSE(ReleaseMutex(m.h));
    EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
    std::thread([&] { other = WaitForSingleObject(m.h, 0); }).join();
    EXPECT_EQ(other, WAIT_OBJECT_0);
}

TEST(Mutexes, NamedObjectsAreNotSupported) {
    EXPECT_EQ(CreateMutexW(nullptr, FALSE, u"shared"), nullptr);
    EXPECT_EQ(CreateEventW(nullptr, FALSE, FALSE, u"shared"), nullptr);
}

TEST(Semaphores, CountIsTakenAndReleasedWithinTheMaximum) {
    Handle s(CreateSemaphoreW(nullptr, 1, 2, nullptr));
    EXPECT_EQ(WaitForSingleObject(s.h, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(s.h, 0), WAIT_TIMEOUT);
    LONG previous = -1;
    EXPECT_TRUE(ReleaseSemaphore(s.h, 2, &previous));
    EXPECT_EQ(previous, 0);
    EXPECT_FALSE(ReleaseSemaphore(s.h, 1, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_TOO_MANY_POSTS);
    EXPECT_EQ(CreateSemaphoreW(nullptr, 3, 2, nullptr), nullptr);
}

TEST(Threads, ExitCodeIsKeptAndTheHandleSignalsTheEnd) {
    auto body = [](LPVOID p) -> DWORD { return *static_cast<DWORD*>(p) + 1; };
    DWORD input = 41, id = 0;
    Handle t(CreateThread(nullptr, 0, body, &input, 0, &id));
    ASSERT_NE(t.h, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(WaitForSingleObject(t.h, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(t.h, &code));
    EXPECT_EQ(code, 42u);
}

TEST(Threads, SuspendedThreadStartsOnResume) {
    static std::atomic<int> runs;
    runs = 0;
    auto body = [](LPVOID) -> DWORD {
        ++runs;
        return 0;
    };
    Handle t(CreateThread(nullptr, 0, body, nullptr, CREATE_SUSPENDED, nullptr));
    DWORD code = 0;
    GetExitCodeThread(t.h, &code);
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(ResumeThread(t.h), 1u);
    WaitForSingleObject(t.h, INFINITE);
    EXPECT_EQ(runs, 1);
}

TEST(Threads, ThreadIdsDiffer) {
    DWORD mine = GetCurrentThreadId(), other = 0;
    std::thread([&] { other = GetCurrentThreadId(); }).join();
    EXPECT_NE(mine, other);
    EXPECT_EQ(mine, GetCurrentThreadId());
}

TEST(CriticalSections, KeepTwoThreadsApartAndNest) {
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    long counter = 0;
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            EnterCriticalSection(&cs);
            EnterCriticalSection(&cs);
            ++counter;
            LeaveCriticalSection(&cs);
            LeaveCriticalSection(&cs);
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 40000);
    DeleteCriticalSection(&cs);
}
