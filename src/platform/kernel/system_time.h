// System time, FILETIME and SYSTEMTIME, the profile's time zone, and date formatting.
#pragma once

#include "platform/types.h"

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
using LPFILETIME = FILETIME*;

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
using LPSYSTEMTIME = SYSTEMTIME*;

struct TIME_ZONE_INFORMATION {
    LONG Bias;  // minutes: UTC = local + Bias
    WCHAR StandardName[32];
    SYSTEMTIME StandardDate;
    LONG StandardBias;
    WCHAR DaylightName[32];
    SYSTEMTIME DaylightDate;
    LONG DaylightBias;
};

using LCID = DWORD;
using LANGID = WORD;

constexpr DWORD TIME_ZONE_ID_UNKNOWN = 0;
constexpr DWORD TIME_ZONE_ID_INVALID = 0xFFFFFFFF;

constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
constexpr LANGID LANG_ENGLISH = 0x09;
constexpr LANGID LANG_FRENCH = 0x0C;

constexpr DWORD DATE_SHORTDATE = 0x1;
constexpr DWORD DATE_LONGDATE = 0x2;

extern "C" {
void GetSystemTime(LPSYSTEMTIME time);
void GetLocalTime(LPSYSTEMTIME time);
void GetSystemTimeAsFileTime(LPFILETIME time);
BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, LPFILETIME fileTime);
BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME systemTime);
BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, LPFILETIME localFileTime);
BOOL LocalFileTimeToFileTime(const FILETIME* localFileTime, LPFILETIME fileTime);
LONG CompareFileTime(const FILETIME* first, const FILETIME* second);
DWORD GetTimeZoneInformation(TIME_ZONE_INFORMATION* information);
// With a null zone, the device's own.
BOOL SystemTimeToTzSpecificLocalTime(const TIME_ZONE_INFORMATION* zone, const SYSTEMTIME* utc,
                                     LPSYSTEMTIME local);
// Format pictures: d dd ddd dddd M MM MMM MMMM y yy yyyy and 'quoted text'. Without a picture,
// the language's short ("M/d/yyyy" or "dd/MM/yyyy") or long date. cchDate 0 asks for the size.
int GetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME* date, LPCWSTR format,
                   LPWSTR dateText, int cchDate);
LANGID GetSystemDefaultLangID();
LANGID GetUserDefaultLangID();
LCID GetUserDefaultLCID();
}

namespace fvt {
std::uint64_t FileTimeValue(const FILETIME& time);
FILETIME MakeFileTime(std::uint64_t value);
}  // namespace fvt
