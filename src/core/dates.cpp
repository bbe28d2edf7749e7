#include "core/dates.h"

#include <cstdio>

#include "core/text.h"

uint64_t UnixSecondsToFileTime(uint32_t unixSeconds) {
    return kFileTimeUnixEpoch + static_cast<uint64_t>(unixSeconds) * kFileTimePerSecond;
}

uint32_t FileTimeToUnixSeconds(uint64_t fileTime) {
    if (fileTime < kFileTimeUnixEpoch) return 0;
    uint64_t s = (fileTime - kFileTimeUnixEpoch) / kFileTimePerSecond;
    return s > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(s);
}

double FileTimeDiffSeconds(uint64_t later, uint64_t earlier) {
    if (later >= earlier) return static_cast<double>(later - earlier) / kFileTimePerSecond;
    return -static_cast<double>(earlier - later) / kFileTimePerSecond;
}

namespace {
// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int32_t& y, int32_t& m, int32_t& d) {
    z += 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int32_t>(yoe + era * 400 + (m <= 2));
}
}  // namespace

CalendarDate UnixToCalendar(int64_t t) {
    CalendarDate c{};
    int64_t days = t >= 0 ? t / 86400 : -((-t + 86399) / 86400);
    int64_t rest = t - days * 86400;
    CivilFromDays(days, c.year, c.month, c.day);
    c.hour = static_cast<int32_t>(rest / 3600);
    c.minute = static_cast<int32_t>(rest / 60 % 60);
    c.second = static_cast<int32_t>(rest % 60);
    c.dayOfWeek = static_cast<int32_t>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    return c;
}

int64_t CalendarToUnix(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                       int32_t second) {
    return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

CalendarDate FileTimeToCalendar(uint64_t fileTime) {
    int64_t seconds = static_cast<int64_t>(fileTime / kFileTimePerSecond) -
                      static_cast<int64_t>(kFileTimeUnixEpoch / kFileTimePerSecond);
    return UnixToCalendar(seconds);
}

bool HttpDate::Format(uint64_t fileTime, Text& out) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    CalendarDate c = FileTimeToCalendar(fileTime);
    char buf[48];
    std::snprintf(buf, sizeof(buf), "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[c.dayOfWeek],
                  c.day, kMonths[c.month - 1], c.year, c.hour, c.minute, c.second);
    out.Clear();
    return out.AppendAscii(buf);
}
