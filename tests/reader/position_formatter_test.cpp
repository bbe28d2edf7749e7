#include "reader/position_formatter.h"

#include <gtest/gtest.h>

#include <string>

#include "core/text.h"

namespace {

std::string Formatted(const PositionFormatter& f, uint32_t a, uint32_t b) {
    Text out;
    out.AssignAscii("previous contents");
    EXPECT_TRUE(f.Format(out, a, b));
    return std::string(reinterpret_cast<const char*>(out.Bytes()),
                       static_cast<size_t>(out.ByteLength()));
}

TEST(Percent, ZeroTotalIsZeroPercent) {
    EXPECT_EQ(Formatted(PercentFormatter::Instance(), 0, 0), "0%");
    EXPECT_EQ(Formatted(PercentFormatter::Instance(), 0, 12345), "0%");
}

TEST(Percent, DividesDownward) {
    EXPECT_EQ(Formatted(PercentFormatter::Instance(), 3, 1), "33%");
    EXPECT_EQ(Formatted(PercentFormatter::Instance(), 3, 2), "66%");
    EXPECT_EQ(Formatted(PercentFormatter::Instance(), 3, 3), "100%");
}

TEST(Percent, LargePositionsDoNotWrap) {
    // 32-bit arithmetic would wrap position * 100 above 42,949,672.
    EXPECT_EQ(Formatted(PercentFormatter::Instance(), 100000000, 50000000), "50%");
    EXPECT_EQ(Formatted(PercentFormatter::Instance(), 0xFFFFFFFFu, 0xFFFFFFFFu), "100%");
}

TEST(Percent, PositionPastTheTotalStopsAtAHundred) {
    EXPECT_EQ(Formatted(PercentFormatter::Instance(), 10, 25), "100%");
}

TEST(Page, GivesThePageNumber) {
    EXPECT_EQ(Formatted(PageFormatter::Instance(), 999, 12), "Pg. 12");
    EXPECT_EQ(Formatted(PageFormatter::Instance(), 0, 0), "Pg. 0");
}

TEST(Time, ElapsedThenTotal) {
    EXPECT_EQ(Formatted(TimeFormatter::Instance(), 3725, 65), "01:05 | 62:05");
}

TEST(Time, UnknownTotalReadsNotAvailable) {
    EXPECT_EQ(Formatted(TimeFormatter::Instance(), 0xFFFFFFFFu, 0), "00:00 | N/A");
}

TEST(Time, MinutesGrowPastTwoDigits) {
    EXPECT_EQ(Formatted(TimeFormatter::Instance(), 6000 * 60 + 59, 59), "00:59 | 6000:59");
}

}  // namespace
