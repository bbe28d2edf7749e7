#include "platform/kernel/system_time.h"

#include <string>

#include "platform/kernel/device.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/wide.h"
#include "platform/last_error.h"

namespace fvt {

std::uint64_t FileTimeValue(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME MakeFileTime(std::uint64_t value) {
    return {static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

namespace {

constexpr std::uint64_t kUnitsPerDay = 864000000000ULL;
// The largest FILETIME the device converts (as the platform: the signed 64-bit range).
constexpr std::uint64_t kMaxFileTime = 0x7FFFFFFFFFFFFFFFULL;

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

// Days since 1601-01-01 of a civil date.
std::int64_t DaysFrom1601(int y, int m, int d) {
    std::int64_t yy = y - (m <= 2);
    std::int64_t era = (yy >= 0 ? yy : yy - 399) / 400;
    std::int64_t yoe = yy - era * 400;
    std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    std::int64_t unixDays = era * 146097 + doe - 719468;
    return unixDays + 134774;  // 1601-01-01 is 134774 days before 1970-01-01
}

void CivilFromDays(std::int64_t days1601, int& y, int& m, int& d) {
    std::int64_t z = days1601 - 134774 + 719468;
    std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    std::int64_t doe = z - era * 146097;
    std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    std::int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

SYSTEMTIME ToSystemTime(std::uint64_t value) {
    SYSTEMTIME st{};
    std::uint64_t days = value / kUnitsPerDay;
    std::uint64_t rest = value % kUnitsPerDay;
    int y, m, d;
    CivilFromDays(static_cast<std::int64_t>(days), y, m, d);
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(m);
    st.wDay = static_cast<WORD>(d);
    st.wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday
    st.wHour = static_cast<WORD>(rest / 36000000000ULL);
    st.wMinute = static_cast<WORD>(rest / 600000000ULL % 60);
    st.wSecond = static_cast<WORD>(rest / 10000000ULL % 60);
    st.wMilliseconds = static_cast<WORD>(rest / 10000ULL % 1000);
    return st;
}

std::int64_t ZoneUnits() {
    return static_cast<std::int64_t>(Profile().timeZoneMinutes) * 600000000LL;
}

bool IsFrenchLocale(LCID locale) {
    if (locale == LOCALE_USER_DEFAULT || locale == LOCALE_SYSTEM_DEFAULT || locale == 0) {
        return Profile().french;
    }
    return (locale & 0x3FF) == LANG_FRENCH;
}

const char16_t* const kDaysEn[] = {u"Sunday",   u"Monday", u"Tuesday", u"Wednesday",
                                   u"Thursday", u"Friday", u"Saturday"};
const char16_t* const kDaysFr[] = {u"dimanche", u"lundi",    u"mardi", u"mercredi",
                                   u"jeudi",    u"vendredi", u"samedi"};
const char16_t* const kMonthsEn[] = {u"January",   u"February", u"March",    u"April",
                                     u"May",       u"June",     u"July",     u"August",
                                     u"September", u"October",  u"November", u"December"};
const char16_t* const kMonthsFr[] = {u"janvier",   u"f\u00e9vrier", u"mars",     u"avril",
                                     u"mai",       u"juin",         u"juillet",  u"ao\u00fbt",
                                     u"septembre", u"octobre",      u"novembre", u"d\u00e9cembre"};

void AppendNumber(std::u16string& out, unsigned value, int minDigits) {
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
        value /= 10;
    } while (value);
    while (static_cast<int>(digits.size()) < minDigits) digits.insert(digits.begin(), u'0');
    out += digits;
}

std::u16string FormatDate(const SYSTEMTIME& st, std::u16string_view picture, bool french) {
    std::u16string out;
    size_t i = 0;
    while (i < picture.size()) {
        char16_t c = picture[i];
        size_t run = 1;
        while (i + run < picture.size() && picture[i + run] == c) ++run;
        if (c == u'\'') {
            size_t end = picture.find(u'\'', i + 1);
            if (end == std::u16string_view::npos) end = picture.size();
            out += picture.substr(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        if (c == u'd') {
            if (run <= 2) {
                AppendNumber(out, st.wDay, static_cast<int>(run));
            } else {
                const char16_t* name = (french ? kDaysFr : kDaysEn)[st.wDayOfWeek % 7];
                out += run == 3 ? std::u16string(name).substr(0, 3) : std::u16string(name);
            }
        } else if (c == u'M') {
            if (run <= 2) {
                AppendNumber(out, st.wMonth, static_cast<int>(run));
            } else {
                const char16_t* name = (french ? kMonthsFr : kMonthsEn)[(st.wMonth + 11) % 12];
                out += run == 3 ? std::u16string(name).substr(0, 3) : std::u16string(name);
            }
        } else if (c == u'y') {
            if (run <= 2) {
                AppendNumber(out, st.wYear % 100, static_cast<int>(run));
            } else {
                AppendNumber(out, st.wYear, 4);
            }
        } else {
            out.append(run, c);
        }
        i += run;
    }
    return out;
}

bool ValidSystemTime(const SYSTEMTIME& st) {
    return st.wYear >= 1601 && st.wYear <= 30827 && st.wMonth >= 1 && st.wMonth <= 12 &&
           st.wDay >= 1 && st.wDay <= DaysInMonth(st.wYear, st.wMonth) && st.wHour < 24 &&
           st.wMinute < 60 && st.wSecond < 60 && st.wMilliseconds < 1000;
}

}  // namespace

}  // namespace fvt

using namespace fvt;

extern "C" void GetSystemTime(LPSYSTEMTIME time) {
    if (time) *time = ToSystemTime(NowFileTime());
}

extern "C" void GetLocalTime(LPSYSTEMTIME time) {
    if (!time) return;
    std::int64_t local = static_cast<std::int64_t>(NowFileTime()) + ZoneUnits();
    *time = ToSystemTime(static_cast<std::uint64_t>(local < 0 ? 0 : local));
}

extern "C" void GetSystemTimeAsFileTime(LPFILETIME time) {
    if (time) *time = MakeFileTime(NowFileTime());
}

extern "C" BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, LPFILETIME fileTime) {
    if (!systemTime || !fileTime || !ValidSystemTime(*systemTime)) {
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    const SYSTEMTIME& st = *systemTime;
    std::uint64_t days = static_cast<std::uint64_t>(DaysFrom1601(st.wYear, st.wMonth, st.wDay));
    std::uint64_t value = days * kUnitsPerDay + st.wHour * 36000000000ULL +
                          st.wMinute * 600000000ULL + st.wSecond * 10000000ULL +
                          st.wMilliseconds * 10000ULL;
    *fileTime = MakeFileTime(value);
    return TRUE;
}

extern "C" BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME systemTime) {
    if (!fileTime || !systemTime) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    std::uint64_t value = FileTimeValue(*fileTime);
    if (value > kMaxFileTime) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    *systemTime = ToSystemTime(value);
    return TRUE;
}

extern "C" BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, LPFILETIME localFileTime) {
    if (!fileTime || !localFileTime) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    std::int64_t value = static_cast<std::int64_t>(FileTimeValue(*fileTime) & kMaxFileTime);
    std::int64_t local = value + ZoneUnits();
    if (local < 0) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    *localFileTime = MakeFileTime(static_cast<std::uint64_t>(local));
    return TRUE;
}

extern "C" BOOL LocalFileTimeToFileTime(const FILETIME* localFileTime, LPFILETIME fileTime) {
    if (!fileTime || !localFileTime) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    std::int64_t value = static_cast<std::int64_t>(FileTimeValue(*localFileTime) & kMaxFileTime);
    std::int64_t utc = value - ZoneUnits();
    if (utc < 0) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    *fileTime = MakeFileTime(static_cast<std::uint64_t>(utc));
    return TRUE;
}

extern "C" LONG CompareFileTime(const FILETIME* first, const FILETIME* second) {
    if (!first || !second) return 0;
    std::uint64_t a = FileTimeValue(*first), b = FileTimeValue(*second);
    return a < b ? -1 : (a > b ? 1 : 0);
}

extern "C" DWORD GetTimeZoneInformation(TIME_ZONE_INFORMATION* information) {
    if (!information) return Fail(ERROR_INVALID_PARAMETER, TIME_ZONE_ID_INVALID);
    *information = TIME_ZONE_INFORMATION{};
    int minutes = Profile().timeZoneMinutes;
    information->Bias = -minutes;
    std::u16string name = u"UTC";
    if (minutes != 0) {
        name += minutes < 0 ? u'-' : u'+';
        unsigned m = static_cast<unsigned>(minutes < 0 ? -minutes : minutes);
        AppendNumber(name, m / 60, 2);
        name += u':';
        AppendNumber(name, m % 60, 2);
    }
    CopyWide(name, information->StandardName, 32);
    CopyWide(name, information->DaylightName, 32);
    return TIME_ZONE_ID_UNKNOWN;
}

extern "C" BOOL SystemTimeToTzSpecificLocalTime(const TIME_ZONE_INFORMATION* zone,
                                                const SYSTEMTIME* utc, LPSYSTEMTIME local) {
    FILETIME ft;
    if (!local || !SystemTimeToFileTime(utc, &ft)) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    std::int64_t bias = zone ? zone->Bias : -Profile().timeZoneMinutes;
    std::int64_t shifted = static_cast<std::int64_t>(FileTimeValue(ft)) - bias * 600000000LL;
    if (shifted < 0) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    *local = ToSystemTime(static_cast<std::uint64_t>(shifted));
    return TRUE;
}

extern "C" int GetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME* date, LPCWSTR format,
                              LPWSTR dateText, int cchDate) {
    if (cchDate < 0 || (cchDate > 0 && !dateText) || (format && (flags & 3))) {
        return Fail(ERROR_INVALID_PARAMETER, 0);
    }
    if ((flags & ~3u) != 0 || (flags & 3) == 3) return Fail(ERROR_INVALID_FLAGS, 0);
    SYSTEMTIME st;
    if (date) {
        // The day of the week is recomputed: callers often leave it unset.
        FILETIME ft;
        if (!SystemTimeToFileTime(date, &ft)) return 0;
        st = ToSystemTime(FileTimeValue(ft));
    } else {
        GetLocalTime(&st);
    }
    bool french = IsFrenchLocale(locale);
    std::u16string picture;
    if (format) {
        picture = WideView(format);
    } else if (flags & DATE_LONGDATE) {
        picture = french ? u"dddd d MMMM yyyy" : u"dddd, MMMM dd, yyyy";
    } else {
        picture = french ? u"dd/MM/yyyy" : u"M/d/yyyy";
    }
    std::u16string text = FormatDate(st, picture, french);
    int needed = static_cast<int>(text.size() + 1);
    if (cchDate == 0) return needed;
    if (cchDate < needed) return Fail(ERROR_INSUFFICIENT_BUFFER, 0);
    CopyWide(text, dateText, static_cast<size_t>(cchDate));
    return needed;
}

extern "C" LANGID GetSystemDefaultLangID() {
    return Profile().french ? 0x040C : 0x0409;
}
extern "C" LANGID GetUserDefaultLangID() {
    return GetSystemDefaultLangID();
}
extern "C" LCID GetUserDefaultLCID() {
    return GetSystemDefaultLangID();
}
