// Times: FILETIMEs (100 ns units since 1601, as a 64-bit number) and Unix seconds (u32), the
// calendar breakdown, and the HTTP date form. Arithmetic is 64-bit; Unix seconds clamp to
// 0 before 1970 and to 0xFFFFFFFF after 2106.
#pragma once

#include <cstdint>

class Text;

constexpr uint64_t kFileTimeUnixEpoch = 116444736000000000ull;  // 1970-01-01 as a FILETIME
constexpr uint64_t kFileTimePerSecond = 10000000ull;

uint64_t UnixSecondsToFileTime(uint32_t unixSeconds);
uint32_t FileTimeToUnixSeconds(uint64_t fileTime);
// (later - earlier) in seconds.
double FileTimeDiffSeconds(uint64_t later, uint64_t earlier);

struct CalendarDate {
    int32_t year;
    int32_t month;  // 1-12
    int32_t day;    // 1-31
    int32_t hour, minute, second;
    int32_t dayOfWeek;  // 0 Sunday
};
CalendarDate UnixToCalendar(int64_t unixSeconds);
int64_t CalendarToUnix(int32_t year, int32_t month, int32_t day, int32_t hour = 0,
                       int32_t minute = 0, int32_t second = 0);
CalendarDate FileTimeToCalendar(uint64_t fileTime);

namespace HttpDate {
// "Sun, 06 Nov 1994 08:49:37 GMT" (English names whatever the locale).
bool Format(uint64_t fileTime, Text& out);
}  // namespace HttpDate
