// The Gregorian calendar as Windows counts it: extended back before 1582
// (proleptic), no leap seconds, no time zones. Pure arithmetic, the same on
// every system, so the POSIX stand-ins for the Win32 time conversions and
// the library's own date arithmetic share one leap-year rule.
#pragma once

#include <cstdint>

#include "filelib/platform/win_types.h"

namespace plat {

// FILETIME counts 100-ns ticks since 1 January 1601, UTC.
constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kTicksPerDay = kTicksPerSecond * 86400;
// Days and ticks from 1 January 1601 to 1 January 1970 (the time_t epoch).
constexpr int64_t kDays1601To1970 = 134774;
constexpr int64_t kTicks1601To1970 = kDays1601To1970 * kTicksPerDay;
// The calendar repeats itself every 400 years, weekdays included.
constexpr int64_t kDaysPer400Years = 146097;

// Divisible by 4 and not by 100, or divisible by 400; for every year,
// year 0 and negative years included.
bool IsLeapYear(int64_t year);

// 28 to 31 for the months 1 to 12; 0 for any other month, which has no days.
int DaysInMonth(int64_t year, int month);

struct CivilDate {
    int64_t year;
    int month;  // 1-12
    int day;    // 1-31
};

// Days from 1 January 1970 to the date, negative before it. A month outside
// 1 to 12 counts on into the years around (month 13 is January of the next
// year, month 0 December of the one before) and a day outside the month
// into the months around, so every input has an exact result.
int64_t DaysFromCivil(int32_t year, int month, int day);

// The date `days` after 1 January 1970 (before it when negative).
CivilDate CivilFromDays(int64_t days);

// The weekday of the day `days` after 1 January 1970, 0 = Sunday to
// 6 = Saturday, as SYSTEMTIME and struct tm count them.
int WeekdayFromDays(int64_t days);

// A FILETIME's two halves as one tick count, and back. A count with the top
// bit set (which Windows refuses as a time) comes out negative.
int64_t TicksOf(const FILETIME& fileTime);
FILETIME FileTimeOfTicks(int64_t ticks);

// The date and time of a tick count since 1601, weekday included, as
// Windows' FileTimeToSystemTime breaks it down. False, with *out left as it
// was, for a negative count.
bool TicksToSystemTime(int64_t ticks, SYSTEMTIME* out);

// The tick count of a date and time, as Windows' SystemTimeToFileTime
// reads it: the weekday is not looked at. False, with *ticks left as it
// was, unless the year is 1601 to 30827, the month 1 to 12, the day one the
// month has, the hour up to 23, minute and second up to 59 and the
// milliseconds up to 999.
bool SystemTimeToTicks(const SYSTEMTIME& time, int64_t* ticks);

}  // namespace plat
