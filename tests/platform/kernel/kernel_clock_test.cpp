#include <gtest/gtest.h>

#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/system_time.h"
#include "support/platform/temp_device.h"

TEST(Clock, VirtualTicksMoveOnlyWhenAdvanced) {
    fvt::test::TempDevice device("clock = virtual\n");
    DWORD start = GetTickCount();
    EXPECT_EQ(GetTickCount(), start);
    fvt::AdvanceClock(250);
    EXPECT_EQ(GetTickCount(), start + 250);
}

TEST(Clock, VirtualSystemTimeStartsAtTheProfilesNowAndFollowsTheTicks) {
    fvt::test::TempDevice device("clock = virtual\nnow = 2024-03-05T10:20:30Z\n");
    SYSTEMTIME st;
    GetSystemTime(&st);
    EXPECT_EQ(st.wYear, 2024);
    EXPECT_EQ(st.wMonth, 3);
    EXPECT_EQ(st.wDay, 5);
    EXPECT_EQ(st.wHour, 10);
    EXPECT_EQ(st.wMinute, 20);
    EXPECT_EQ(st.wSecond, 30);
    fvt::AdvanceClock(90 * 1000);
    GetSystemTime(&st);
    EXPECT_EQ(st.wMinute, 22);
    EXPECT_EQ(st.wSecond, 0);
}

TEST(Clock, SleepOffTheDriverThreadDoesNotMoveTheVirtualClock) {
    fvt::test::TempDevice device("clock = virtual\n");
    DWORD start = GetTickCount();
    std::thread([] { Sleep(5); }).join();
    EXPECT_EQ(GetTickCount(), start);
}

TEST(Clock, RealClockWithAFixedStartRunsOnFromIt) {
    fvt::test::TempDevice device("now = 1000000000\n");
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    std::uint64_t unix = (fvt::FileTimeValue(ft) - fvt::kUnixEpochFileTime) / 10000000ULL;
    EXPECT_GE(unix, 1000000000u);
    EXPECT_LT(unix, 1000000000u + 3600);
}
