// The calendar: arithmetic only, no system call.
#include "filelib/platform/calendar.h"

namespace plat {

namespace {

// Days from 1 March of year 0 to 1 January 1970. Years that begin in March
// end with the leap day, so one formula gives every month's first day.
constexpr int64_t kDaysFromMarch0To1970 = 719468;
constexpr int kFirstSystemYear = 1601;
constexpr int kLastSystemYear = 30827;

// Division that rounds towards minus infinity, so that dates before an era
// start fall into the era before it.
int64_t FloorDiv(int64_t value, int64_t divisor) {
    const int64_t quotient = value / divisor;
    return quotient - (value % divisor < 0 ? 1 : 0);
}

// Day within its March-based year of the first day of month m (1-12).
int64_t DayOfMarchYear(int64_t month) { return (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5; }

}  // namespace

bool IsLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int64_t year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

int64_t DaysFromCivil(int32_t year, int month, int day) {
    const int64_t monthsFromJanuary = int64_t(month) - 1;
    const int64_t yearsOver = FloorDiv(monthsFromJanuary, 12);
    const int64_t m = monthsFromJanuary - yearsOver * 12 + 1;
    const int64_t marchYear = year + yearsOver - (m <= 2 ? 1 : 0);
    const int64_t era = FloorDiv(marchYear, 400);
    const int64_t yearOfEra = marchYear - era * 400;  // 0-399
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + DayOfMarchYear(m);
    return era * kDaysPer400Years + dayOfEra + (int64_t(day) - 1) - kDaysFromMarch0To1970;
}

CivilDate CivilFromDays(int64_t days) {
    // Whole eras first, and without multiplying them back, so that no count
    // near the limits of int64_t overflows when it is moved to the
    // March-based epoch.
    const int64_t rest = days % kDaysPer400Years;
    int64_t era = days / kDaysPer400Years - (rest < 0 ? 1 : 0);
    int64_t dayOfEra = (rest < 0 ? rest + kDaysPer400Years : rest) + kDaysFromMarch0To1970;
    era += dayOfEra / kDaysPer400Years;
    dayOfEra %= kDaysPer400Years;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;  // 0 = March
    CivilDate date;
    date.day = int(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    date.month = int(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    date.year = yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0);
    return date;
}

int WeekdayFromDays(int64_t days) {
    const int kThursday = 4;  // 1 January 1970
    return int((days % 7 + 7 + kThursday) % 7);
}

int64_t TicksOf(const FILETIME& fileTime) {
    return int64_t((uint64_t(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime);
}

FILETIME FileTimeOfTicks(int64_t ticks) {
    FILETIME fileTime;
    fileTime.dwLowDateTime = DWORD(uint64_t(ticks) & 0xFFFFFFFFu);
    fileTime.dwHighDateTime = DWORD(uint64_t(ticks) >> 32);
    return fileTime;
}

bool TicksToSystemTime(int64_t ticks, SYSTEMTIME* out) {
    if (out == nullptr || ticks < 0) return false;
    const int64_t days = ticks / kTicksPerDay - kDays1601To1970;
    const int64_t rest = ticks % kTicksPerDay;
    const CivilDate date = CivilFromDays(days);
    out->wYear = WORD(date.year);
    out->wMonth = WORD(date.month);
    out->wDay = WORD(date.day);
    out->wDayOfWeek = WORD(WeekdayFromDays(days));
    out->wHour = WORD(rest / (3600 * kTicksPerSecond));
    out->wMinute = WORD(rest / (60 * kTicksPerSecond) % 60);
    out->wSecond = WORD(rest / kTicksPerSecond % 60);
    out->wMilliseconds = WORD(rest / 10000 % 1000);
    return true;
}

bool SystemTimeToTicks(const SYSTEMTIME& time, int64_t* ticks) {
    if (ticks == nullptr) return false;
    if (time.wYear < kFirstSystemYear || time.wYear > kLastSystemYear || time.wMonth < 1 || time.wMonth > 12 ||
        time.wDay < 1 || time.wDay > DaysInMonth(time.wYear, time.wMonth) || time.wHour > 23 || time.wMinute > 59 ||
        time.wSecond > 59 || time.wMilliseconds > 999)
        return false;
    const int64_t days = DaysFromCivil(time.wYear, time.wMonth, time.wDay) + kDays1601To1970;
    const int64_t seconds = days * 86400 + time.wHour * 3600 + time.wMinute * 60 + time.wSecond;
    *ticks = seconds * kTicksPerSecond + int64_t(time.wMilliseconds) * 10000;
    return true;
}

}  // namespace plat
