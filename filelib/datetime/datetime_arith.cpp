#include "filelib/datetime/datetime_rec.h"

#include "filelib/platform/calendar.h"
#include "filelib/platform/process.h"

namespace {

constexpr int32_t kSecondsPerDay = 86400;

// Days that a valid date moves by when the year goes once around all 65536
// values of its 16 bits: every year number passes exactly once.
constexpr int64_t kDaysPerYearWrap = 65536LL * 365 + 16384 - 656 + 164;
using plat::kDaysPer400Years;

// The record's month length: 31 also for a month value outside 1 to 12,
// which has no days in the calendar.
int DaysIn(int year, int month) {
    if (month < 1 || month > 12) return 31;
    return plat::DaysInMonth(year, month);
}

int ClampMonth(int month) { return month < 1 ? 1 : month > 12 ? 12 : month; }

// Which of two dates comes first, by year, month and day as they stand.
bool DateIsBefore(const DATETIMEREC& a, const DATETIMEREC& b) {
    if (a.wYear != b.wYear) return a.wYear < b.wYear;
    if (a.bMonth != b.bMonth) return a.bMonth < b.bMonth;
    return a.bDay < b.bDay;
}

int SecondOfDay(const DATETIMEREC& rec) { return rec.bHour * 3600 + rec.bMinute * 60 + rec.bSecond; }

// Month by month from the earlier date to the later one. A month outside 1
// to 12 is read as the nearest real one, so the walk always meets the later
// date's month.
int32_t DaysFromEarlierToLater(const DATETIMEREC& earlier, const DATETIMEREC& later) {
    int year = earlier.wYear, month = ClampMonth(earlier.bMonth), day = earlier.bDay;
    const int endMonth = ClampMonth(later.bMonth);
    int32_t count = 0;
    while (year != later.wYear || month != endMonth) {
        count += DaysIn(year, month) - day + 1;
        day = 1;
        if (++month > 12) {
            month = 1;
            ++year;
        }
    }
    return count + later.bDay - day;
}

void StepForward(DATETIMEREC& rec) {
    int day = rec.bDay + 1, month = rec.bMonth;
    if (day > DaysIn(rec.wYear, month)) {
        day = 1;
        if (++month > 12) {
            month = 1;
            ++rec.wYear;
        }
    }
    rec.bDay = uint8_t(day);
    rec.bMonth = uint8_t(month);
}

void StepBackward(DATETIMEREC& rec) {
    if (rec.bDay > 1) {
        --rec.bDay;
        return;
    }
    int month = rec.bMonth - 1;
    if (month < 1) {
        month = 12;
        --rec.wYear;
    }
    rec.bMonth = uint8_t(month);
    rec.bDay = uint8_t(DaysIn(rec.wYear, month));
}

// True for a date that a whole year's step maps onto the same month and day
// of the next or previous year: a real date other than 29 February.
bool CanStepByYears(const DATETIMEREC& rec) {
    return rec.bMonth >= 1 && rec.bMonth <= 12 && rec.bDay >= 1 && rec.bDay <= DaysIn(rec.wYear, rec.bMonth) &&
           !(rec.bMonth == 2 && rec.bDay == 29);
}

// True when 400 years on (or back) the year does not wrap in its 16 bits,
// so that the 400-year cycle holds.
bool Has400YearsRoom(const DATETIMEREC& rec, bool forward) {
    return forward ? rec.wYear <= 65535 - 400 : rec.wYear >= 400;
}

// Days from this date to the same date one year on (or back): the February
// that the step passes decides.
int DaysInYearStep(const DATETIMEREC& rec, bool forward) {
    const uint16_t other = uint16_t(rec.wYear + (forward ? 1 : -1));
    const bool beforeMarch = rec.bMonth <= 2;
    const uint16_t februaryYear = forward == beforeMarch ? rec.wYear : other;
    return plat::IsLeapYear(februaryYear) ? 366 : 365;
}

}  // namespace

int32_t DaysBetween(const DATETIMEREC* a, const DATETIMEREC* b) {
    if (DateIsBefore(*b, *a)) return -DaysFromEarlierToLater(*b, *a);
    return DaysFromEarlierToLater(*a, *b);
}

int32_t SecondsBetween(const DATETIMEREC* a, const DATETIMEREC* b) {
    const int64_t seconds = int64_t(DaysBetween(a, b)) * kSecondsPerDay + SecondOfDay(*b) - SecondOfDay(*a);
    return int32_t(uint32_t(uint64_t(seconds)));
}

// The result is that of stepping one day at a time; whole turns of the
// 16-bit year, 400-year cycles and single years are taken at once where that
// cannot differ, so that the largest counts take no time.
int AddDays(DATETIMEREC* rec, int32_t days) {
    const bool forward = days > 0;
    int64_t left = forward ? int64_t(days) : -int64_t(days);
    while (left > 0) {
        if (CanStepByYears(*rec)) {
            if (left >= kDaysPerYearWrap) {
                left %= kDaysPerYearWrap;
                continue;
            }
            if (left >= kDaysPer400Years && Has400YearsRoom(*rec, forward)) {
                rec->wYear = uint16_t(rec->wYear + (forward ? 400 : -400));
                left -= kDaysPer400Years;
                continue;
            }
            const int yearStep = DaysInYearStep(*rec, forward);
            if (left >= yearStep) {
                rec->wYear = uint16_t(rec->wYear + (forward ? 1 : -1));
                left -= yearStep;
                continue;
            }
        }
        if (forward)
            StepForward(*rec);
        else
            StepBackward(*rec);
        --left;
    }
    return 0;
}

int AddSeconds(DATETIMEREC* rec, int32_t seconds) {
    if (seconds == 0) return 0;
    const int64_t magnitude = seconds > 0 ? int64_t(seconds) : -int64_t(seconds);
    int32_t days = int32_t(magnitude / kSecondsPerDay);
    int hours = int(magnitude % kSecondsPerDay / 3600);
    int minutes = int(magnitude % 3600 / 60);
    const int secs = int(magnitude % 60);
    int hour = rec->bHour, minute = rec->bMinute, second = rec->bSecond;
    if (seconds > 0) {
        for (second += secs; second >= 60; second -= 60) ++minute;
        for (minute += minutes; minute >= 60; minute -= 60) ++hour;
        for (hour += hours; hour > 23; hour -= 24) ++days;
    } else {
        // One borrow each is enough: no part of the split is a whole unit.
        second -= secs;
        if (second < 0) {
            second += 60;
            ++minutes;
        }
        minute -= minutes;
        if (minute < 0) {
            minute += 60;
            ++hours;
        }
        hour -= hours;
        if (hour < 0) {
            hour += 24;
            ++days;
        }
        days = -days;
    }
    rec->bHour = uint8_t(hour);
    rec->bMinute = uint8_t(minute);
    rec->bSecond = uint8_t(second);
    if (days != 0) AddDays(rec, days);
    return 0;
}

int DaysInMonth(const DATETIMEREC* rec) { return DaysIn(rec->wYear, rec->bMonth); }

int DayOfWeek(const DATETIMEREC* rec) {
    const DATETIMEREC monday = {2005, 9, 19, 0, 0, 0, 0};
    const int32_t r = DaysBetween(&monday, rec) % 7;
    return r < 0 ? r + 7 : r;
}

bool IsValidDate(const DATETIMEREC* rec) {
    if (rec->wYear == 0 && rec->bMonth == 0 && rec->bDay == 0) return true;
    return rec->bMonth >= 1 && rec->bMonth <= 12 && rec->bDay >= 1 && rec->bDay <= DaysInMonth(rec);
}

bool IsValidTime(const DATETIMEREC* rec) { return rec->bHour <= 23 && rec->bMinute <= 59 && rec->bSecond <= 59; }

bool IsValidDateTime(const DATETIMEREC* rec) { return IsValidDate(rec) && IsValidTime(rec); }

int WaitMilliseconds(uint32_t milliseconds) {
    plat::SleepMilliseconds(milliseconds);
    return 0;
}
