#include <gtest/gtest.h>

#include <string>

#include "platform/kernel/system_time.h"
#include "platform/last_error.h"
#include "support/platform/temp_device.h"

namespace {

SYSTEMTIME Date(WORD y, WORD m, WORD d, WORD h = 0, WORD mi = 0, WORD s = 0) {
    SYSTEMTIME st{};
    st.wYear = y;
    st.wMonth = m;
    st.wDay = d;
    st.wHour = h;
    st.wMinute = mi;
    st.wSecond = s;
    return st;
}

std::u16string Format(LCID locale, DWORD flags, const SYSTEMTIME& st, LPCWSTR picture = nullptr) {
    WCHAR buffer[64];
    int n = GetDateFormatW(locale, flags, &st, picture, buffer, 64);
    return n > 0 ? std::u16string(buffer) : u"<failed>";
}

}  // namespace

TEST(FileTimes, EpochsLineUp) {
    FILETIME ft;
    SYSTEMTIME unix = Date(1970, 1, 1);
    ASSERT_TRUE(SystemTimeToFileTime(&unix, &ft));
    EXPECT_EQ(fvt::FileTimeValue(ft), 116444736000000000ULL);
    SYSTEMTIME start = Date(1601, 1, 1);
    ASSERT_TRUE(SystemTimeToFileTime(&start, &ft));
    EXPECT_EQ(fvt::FileTimeValue(ft), 0u);
}

TEST(FileTimes, RoundTripKeepsEveryFieldAndGivesTheWeekday) {
    SYSTEMTIME in = Date(2024, 2, 29, 23, 59, 58);
    in.wMilliseconds = 999;
    FILETIME ft;
    ASSERT_TRUE(SystemTimeToFileTime(&in, &ft));
    SYSTEMTIME out;
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &out));
    EXPECT_EQ(out.wYear, 2024);
    EXPECT_EQ(out.wMonth, 2);
    EXPECT_EQ(out.wDay, 29);
    EXPECT_EQ(out.wHour, 23);
    EXPECT_EQ(out.wMinute, 59);
    EXPECT_EQ(out.wSecond, 58);
    EXPECT_EQ(out.wMilliseconds, 999);
    EXPECT_EQ(out.wDayOfWeek, 4);  // a Thursday
}

TEST(FileTimes, ImpossibleDatesAndHugeValuesFail) {
    FILETIME ft;
    SYSTEMTIME feb30 = Date(2023, 2, 30);
    EXPECT_FALSE(SystemTimeToFileTime(&feb30, &ft));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    SYSTEMTIME month13 = Date(2023, 13, 1);
    EXPECT_FALSE(SystemTimeToFileTime(&month13, &ft));
    FILETIME huge = {0xFFFFFFFF, 0xFFFFFFFF};
    SYSTEMTIME out;
    EXPECT_FALSE(FileTimeToSystemTime(&huge, &out));
}

TEST(TimeZones, ProfileOffsetShiftsLocalTimeBothWays) {
    fvt::test::TempDevice device("timezone = +90\n");
    SYSTEMTIME noon = Date(2024, 1, 1, 12);
    FILETIME utc, local, back;
    ASSERT_TRUE(SystemTimeToFileTime(&noon, &utc));
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    SYSTEMTIME shown;
    FileTimeToSystemTime(&local, &shown);
    EXPECT_EQ(shown.wHour, 13);
    EXPECT_EQ(shown.wMinute, 30);
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &back));
    EXPECT_EQ(fvt::FileTimeValue(back), fvt::FileTimeValue(utc));
    TIME_ZONE_INFORMATION tz;
    EXPECT_EQ(GetTimeZoneInformation(&tz), TIME_ZONE_ID_UNKNOWN);
    EXPECT_EQ(tz.Bias, -90);
    SYSTEMTIME viaZone;
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &noon, &viaZone));
    EXPECT_EQ(viaZone.wHour * 60 + viaZone.wMinute, 13 * 60 + 30);
    tz.Bias = 300;  // five hours west
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(&tz, &noon, &viaZone));
    EXPECT_EQ(viaZone.wHour, 7);
}

TEST(TimeZones, DefaultIsUtc) {
    fvt::test::TempDevice device;
    TIME_ZONE_INFORMATION tz;
    GetTimeZoneInformation(&tz);
    EXPECT_EQ(tz.Bias, 0);
}

TEST(DateFormat, ShortDateFollowsTheDeviceLanguage) {
    SYSTEMTIME d = Date(2024, 3, 5);
    {
        fvt::test::TempDevice device;
        EXPECT_EQ(Format(LOCALE_USER_DEFAULT, DATE_SHORTDATE, d), u"3/5/2024");
    }
    {
        fvt::test::TempDevice device("language = fr\n");
        EXPECT_EQ(Format(LOCALE_USER_DEFAULT, DATE_SHORTDATE, d), u"05/03/2024");
        EXPECT_EQ(GetSystemDefaultLangID(), 0x040C);
    }
}

TEST(DateFormat, ExplicitLocaleAndPicturesWithNamesAndQuotes) {
    fvt::test::TempDevice device;
    SYSTEMTIME d = Date(2024, 8, 1);
    EXPECT_EQ(Format(0x040C, DATE_SHORTDATE, d), u"01/08/2024");
    EXPECT_EQ(Format(0x040C, DATE_LONGDATE, d), u"jeudi 1 ao\u00fbt 2024");
    EXPECT_EQ(Format(LOCALE_USER_DEFAULT, DATE_LONGDATE, d), u"Thursday, August 01, 2024");
    EXPECT_EQ(Format(LOCALE_USER_DEFAULT, 0, d, u"yy'-'MMM'-'ddd"), u"24-Aug-Thu");
}

TEST(DateFormat, SizeQueryAndShortBuffer) {
    fvt::test::TempDevice device;
    SYSTEMTIME d = Date(2024, 12, 25);
    EXPECT_EQ(GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &d, nullptr, nullptr, 0), 11);
    WCHAR small[5] = {u'x', u'x', u'x', u'x', u'x'};
    EXPECT_EQ(GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &d, nullptr, small, 5), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    SYSTEMTIME bad = Date(2024, 2, 31);
    WCHAR buffer[32];
    EXPECT_EQ(GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &bad, nullptr, buffer, 32), 0);
}
