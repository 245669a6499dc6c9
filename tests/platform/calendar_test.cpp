#include "filelib/platform/calendar.h"

#include "support/process.h"
#include "support/system_times.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <random>
#include <sstream>
#include <string>

namespace {

using testsupport::Same;
using testsupport::Show;
using testsupport::SystemTime;

// A SYSTEMTIME that no conversion writes, to see whether one wrote it.
SYSTEMTIME Untouched() {
    SYSTEMTIME st;
    std::memset(&st, 0xAB, sizeof st);
    return st;
}

TEST(Calendar, KnownDates) {
    // Days from 1 January 1970 and weekdays (0 = Sunday) of days that
    // calendars get wrong: the ends of the FILETIME range, the century
    // years' Februaries, the years 1 and 0.
    struct Case {
        int32_t year;
        int month, day;
        int64_t days;
        int weekday;
    } cases[] = {
        {1601, 1, 1, -134774, 1},    {1970, 1, 1, 0, 4},          {1969, 12, 31, -1, 3},
        {1900, 2, 28, -25509, 3},    {1900, 3, 1, -25508, 4},     {2000, 2, 29, 11016, 2},
        {2000, 3, 1, 11017, 3},      {2100, 2, 28, 47540, 0},     {2100, 3, 1, 47541, 1},
        {2000, 1, 1, 10957, 6},      {2005, 9, 19, 13045, 1},     {2038, 1, 19, 24855, 2},
        {9999, 12, 31, 2932896, 5},  {30827, 12, 31, 10540167, 5}, {1, 1, 1, -719162, 1},
        {0, 3, 1, -719468, 3},       {-1, 12, 31, -719529, 5},
    };
    for (const Case& c : cases) {
        const std::string date = std::to_string(c.year) + "-" + std::to_string(c.month) + "-" + std::to_string(c.day);
        EXPECT_EQ(c.days, plat::DaysFromCivil(c.year, c.month, c.day)) << date;
        const plat::CivilDate back = plat::CivilFromDays(c.days);
        EXPECT_EQ(c.year, back.year) << date;
        EXPECT_EQ(c.month, back.month) << date;
        EXPECT_EQ(c.day, back.day) << date;
        EXPECT_EQ(c.weekday, plat::WeekdayFromDays(c.days)) << date;
    }
    EXPECT_EQ(plat::kDays1601To1970, -plat::DaysFromCivil(1601, 1, 1));
    EXPECT_EQ(116444736000000000LL, plat::kTicks1601To1970);
}

TEST(Calendar, LeapYearsAndMonthLengths) {
    struct Leap {
        int64_t year;
        bool leap;
    } leaps[] = {{1600, true}, {1700, false}, {1900, false}, {2000, true}, {2004, true},  {2005, false},
                 {2100, false}, {2400, true},  {0, true},      {-4, true},    {-100, false}, {-400, true},
                 {-1, false},   {30827, false}, {30828, true}};
    for (const Leap& c : leaps) EXPECT_EQ(c.leap, plat::IsLeapYear(c.year)) << c.year;

    struct Month {
        int64_t year;
        int month, days;
    } months[] = {{2005, 1, 31}, {2005, 2, 28}, {2004, 2, 29}, {1900, 2, 28}, {2000, 2, 29}, {2100, 2, 28},
                  {2005, 3, 31}, {2005, 4, 30}, {2005, 5, 31}, {2005, 6, 30}, {2005, 7, 31}, {2005, 8, 31},
                  {2005, 9, 30}, {2005, 10, 31}, {2005, 11, 30}, {2005, 12, 31}, {2005, 0, 0}, {2005, 13, 0},
                  {2005, -1, 0}, {2005, INT_MAX, 0}, {2005, INT_MIN, 0}};
    for (const Month& c : months) EXPECT_EQ(c.days, plat::DaysInMonth(c.year, c.month)) << c.year << '-' << c.month;
}

TEST(Calendar, EveryDayFollowsTheOneBefore) {
    // Day by day from 1 January 1601 to the end of 2500: each count is the
    // day after the one before (by the month lengths), the weekdays go
    // round, and the count of each date is the count it came from.
    plat::CivilDate expected = {1601, 1, 1};
    int weekday = 1;  // a Monday
    const int64_t first = plat::DaysFromCivil(1601, 1, 1), last = plat::DaysFromCivil(2500, 12, 31);
    for (int64_t days = first; days <= last; ++days) {
        const plat::CivilDate date = plat::CivilFromDays(days);
        ASSERT_EQ(expected.year, date.year) << days;
        ASSERT_EQ(expected.month, date.month) << days;
        ASSERT_EQ(expected.day, date.day) << days;
        ASSERT_EQ(weekday, plat::WeekdayFromDays(days)) << days;
        ASSERT_EQ(days, plat::DaysFromCivil(int32_t(date.year), date.month, date.day)) << days;
        weekday = (weekday + 1) % 7;
        if (++expected.day > plat::DaysInMonth(expected.year, expected.month)) {
            expected.day = 1;
            if (++expected.month > 12) {
                expected.month = 1;
                ++expected.year;
            }
        }
    }
    EXPECT_EQ(2501, expected.year);
}

TEST(Calendar, RoundTripsFarFromNow) {
    std::mt19937_64 gen(1970);
    std::uniform_int_distribution<int64_t> anyDays(-780000000000LL, 780000000000LL);  // years that fit int32_t
    for (int i = 0; i < 20000; ++i) {
        const int64_t days = anyDays(gen);
        const plat::CivilDate date = plat::CivilFromDays(days);
        ASSERT_GE(date.month, 1) << days;
        ASSERT_LE(date.month, 12) << days;
        ASSERT_GE(date.day, 1) << days;
        ASSERT_LE(date.day, plat::DaysInMonth(date.year, date.month)) << days;
        ASSERT_EQ(days, plat::DaysFromCivil(int32_t(date.year), date.month, date.day)) << days;
        // 400 years on is the same day of the month and of the week.
        const plat::CivilDate later = plat::CivilFromDays(days + plat::kDaysPer400Years);
        ASSERT_EQ(date.year + 400, later.year) << days;
        ASSERT_EQ(date.month, later.month) << days;
        ASSERT_EQ(date.day, later.day) << days;
        ASSERT_EQ(plat::WeekdayFromDays(days), plat::WeekdayFromDays(days + plat::kDaysPer400Years)) << days;
    }
}

TEST(Calendar, MonthsAndDaysOutsideTheirRangeCountOn) {
    struct Case {
        int32_t year;
        int month, day;
        int32_t sameYear;
        int sameMonth, sameDay;
    } cases[] = {
        {2004, 13, 1, 2005, 1, 1},   {2005, 0, 31, 2004, 12, 31}, {2005, -11, 1, 2004, 1, 1},
        {2005, 25, 1, 2007, 1, 1},   {2005, 3, 0, 2005, 2, 28},   {2004, 3, 0, 2004, 2, 29},
        {2005, 1, 32, 2005, 2, 1},   {2005, 1, -30, 2004, 12, 1}, {2005, 1, 366, 2006, 1, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(plat::DaysFromCivil(c.sameYear, c.sameMonth, c.sameDay), plat::DaysFromCivil(c.year, c.month, c.day))
            << c.year << '-' << c.month << '-' << c.day;
    }
}

TEST(Calendar, ExtremeCountsStayInRange) {
    // Counts near the ends of their types must neither overflow nor give
    // an impossible date.
    for (int64_t days : {INT64_MAX, INT64_MIN, INT64_MAX - 1, INT64_MIN + 1}) {
        const plat::CivilDate date = plat::CivilFromDays(days);
        EXPECT_GE(date.month, 1) << days;
        EXPECT_LE(date.month, 12) << days;
        EXPECT_GE(date.day, 1) << days;
        EXPECT_LE(date.day, plat::DaysInMonth(date.year, date.month)) << days;
        EXPECT_GE(plat::WeekdayFromDays(days), 0) << days;
        EXPECT_LE(plat::WeekdayFromDays(days), 6) << days;
    }
    EXPECT_LT(0, plat::CivilFromDays(INT64_MAX).year);
    EXPECT_GT(0, plat::CivilFromDays(INT64_MIN).year);
    for (int32_t year : {INT32_MAX, INT32_MIN}) {
        for (int month : {1, 12}) {
            const plat::CivilDate date = plat::CivilFromDays(plat::DaysFromCivil(year, month, 1));
            EXPECT_EQ(year, date.year) << year << '-' << month;
            EXPECT_EQ(month, date.month) << year << '-' << month;
            EXPECT_EQ(1, date.day) << year << '-' << month;
        }
    }
    // The widest month and day values fold into the years around.
    EXPECT_EQ(plat::DaysFromCivil(0, INT_MAX, 1) + INT_MAX - 1LL, plat::DaysFromCivil(0, INT_MAX, INT_MAX));
    EXPECT_LT(plat::DaysFromCivil(INT32_MIN, INT_MIN, INT_MIN), plat::DaysFromCivil(INT32_MIN, 1, 1));
    EXPECT_GT(plat::DaysFromCivil(INT32_MAX, INT_MAX, INT_MAX), plat::DaysFromCivil(INT32_MAX, 12, 31));
}

TEST(Calendar, FileTimeHalves) {
    for (int64_t ticks : {int64_t(0), int64_t(1), int64_t(0xFFFFFFFF), int64_t(0x100000000), plat::kTicks1601To1970,
                          INT64_MAX, int64_t(-1), INT64_MIN}) {
        const FILETIME ft = plat::FileTimeOfTicks(ticks);
        EXPECT_EQ(DWORD(uint64_t(ticks) & 0xFFFFFFFFu), ft.dwLowDateTime) << ticks;
        EXPECT_EQ(DWORD(uint64_t(ticks) >> 32), ft.dwHighDateTime) << ticks;
        EXPECT_EQ(ticks, plat::TicksOf(ft)) << ticks;
    }
}

TEST(Calendar, TicksAndSystemTimes) {
    struct Case {
        int64_t ticks;
        SYSTEMTIME st;
    } cases[] = {
        {0, SystemTime(1601, 1, 1, 1, 0, 0, 0, 0)},
        {plat::kTicks1601To1970, SystemTime(1970, 1, 4, 1, 0, 0, 0, 0)},
        {127546599001234567, SystemTime(2005, 3, 1, 7, 9, 5, 0, 123)},
        {125963423990000000, SystemTime(2000, 2, 2, 29, 23, 59, 59, 0)},
        {157520159990000000, SystemTime(2100, 2, 0, 28, 23, 59, 59, 0)},
        {(plat::DaysFromCivil(30827, 12, 31) + plat::kDays1601To1970 + 1) * plat::kTicksPerDay - 10000,
         SystemTime(30827, 12, 5, 31, 23, 59, 59, 999)},
        {INT64_MAX, SystemTime(30828, 9, 4, 14, 2, 48, 5, 477)},
    };
    for (const Case& c : cases) {
        SYSTEMTIME st = Untouched();
        ASSERT_TRUE(plat::TicksToSystemTime(c.ticks, &st)) << c.ticks;
        EXPECT_TRUE(Same(c.st, st)) << c.ticks << ": " << Show(st);
        if (st.wYear > 30827) continue;  // beyond what a SYSTEMTIME may hold
        int64_t back = -1;
        ASSERT_TRUE(plat::SystemTimeToTicks(st, &back)) << Show(st);
        EXPECT_EQ(c.ticks - c.ticks % 10000, back) << Show(st);  // milliseconds are kept, not ticks
    }

    // A negative count is refused and nothing written.
    for (int64_t ticks : {int64_t(-1), INT64_MIN}) {
        SYSTEMTIME st = Untouched();
        EXPECT_FALSE(plat::TicksToSystemTime(ticks, &st)) << ticks;
        EXPECT_TRUE(Same(Untouched(), st)) << ticks;
    }
    EXPECT_FALSE(plat::TicksToSystemTime(0, nullptr));

    const SYSTEMTIME refused[] = {
        SystemTime(1600, 12, 0, 31, 0, 0, 0, 0), SystemTime(30828, 1, 0, 1, 0, 0, 0, 0),
        SystemTime(2005, 13, 0, 1, 0, 0, 0, 0),  SystemTime(2005, 0, 0, 1, 0, 0, 0, 0),
        SystemTime(2005, 4, 0, 31, 0, 0, 0, 0),  SystemTime(2005, 2, 0, 29, 0, 0, 0, 0),
        SystemTime(1900, 2, 0, 29, 0, 0, 0, 0),  SystemTime(2005, 1, 0, 0, 0, 0, 0, 0),
        SystemTime(2005, 1, 0, 1, 24, 0, 0, 0),  SystemTime(2005, 1, 0, 1, 0, 60, 0, 0),
        SystemTime(2005, 1, 0, 1, 0, 0, 60, 0),  SystemTime(2005, 1, 0, 1, 0, 0, 0, 1000),
    };
    for (const SYSTEMTIME& st : refused) {
        int64_t ticks = 12345;
        EXPECT_FALSE(plat::SystemTimeToTicks(st, &ticks)) << Show(st);
        EXPECT_EQ(12345, ticks) << Show(st);
    }
    // The weekday is not looked at.
    int64_t right = 0, wrong = 0;
    ASSERT_TRUE(plat::SystemTimeToTicks(SystemTime(2004, 2, 0, 29, 12, 0, 0, 0), &right));
    ASSERT_TRUE(plat::SystemTimeToTicks(SystemTime(2004, 2, 6, 29, 12, 0, 0, 0), &wrong));
    EXPECT_EQ(right, wrong);
    EXPECT_FALSE(plat::SystemTimeToTicks(SystemTime(2004, 2, 0, 29, 12, 0, 0, 0), nullptr));
}

// The calendar against the system's own FILETIME conversions, which on
// Windows are the system's and on POSIX the stand-ins built on it.
TEST(Calendar, AgreesWithTheSystemsConversions) {
    std::mt19937_64 gen(30827);
    std::uniform_int_distribution<int64_t> anyTicks(0, INT64_MAX);
    for (int i = 0; i < 20000; ++i) {
        // Mostly 1601 to 2400, some anywhere in the range.
        const int64_t ticks = i % 10 != 0 ? anyTicks(gen) % (plat::kTicksPerDay * 292000) : anyTicks(gen);
        const FILETIME ft = plat::FileTimeOfTicks(ticks);
        SYSTEMTIME mine = Untouched(), system = Untouched();
        ASSERT_TRUE(plat::TicksToSystemTime(ticks, &mine)) << ticks;
        ASSERT_TRUE(FileTimeToSystemTime(&ft, &system)) << ticks;
        ASSERT_TRUE(Same(system, mine)) << ticks << ": " << Show(mine) << " against " << Show(system);
        if (mine.wYear > 30827) continue;
        int64_t back = -1;
        FILETIME systemBack = plat::FileTimeOfTicks(-1);
        ASSERT_TRUE(plat::SystemTimeToTicks(mine, &back)) << Show(mine);
        ASSERT_TRUE(SystemTimeToFileTime(&mine, &systemBack)) << Show(mine);
        ASSERT_EQ(plat::TicksOf(systemBack), back) << Show(mine);
    }
    // Both refuse what is no date or time, and a negative count.
    const FILETIME negative = plat::FileTimeOfTicks(-1);
    SYSTEMTIME st = Untouched();
    EXPECT_FALSE(FileTimeToSystemTime(&negative, &st));
    const bool wine = testsupport::RunningUnderWine();
    struct Refused {
        SYSTEMTIME st;
        bool wineTakesIt;  // Wine takes every February to have 29 days
    } refused[] = {
        {SystemTime(1600, 12, 0, 31, 0, 0, 0, 0), false}, {SystemTime(2005, 13, 0, 1, 0, 0, 0, 0), false},
        {SystemTime(2005, 0, 0, 1, 0, 0, 0, 0), false},   {SystemTime(2005, 4, 0, 31, 0, 0, 0, 0), false},
        {SystemTime(2005, 2, 0, 29, 0, 0, 0, 0), true},   {SystemTime(2100, 2, 0, 29, 0, 0, 0, 0), true},
        {SystemTime(2005, 1, 0, 0, 0, 0, 0, 0), false},   {SystemTime(2005, 1, 0, 1, 24, 0, 0, 0), false},
        {SystemTime(2005, 1, 0, 1, 0, 60, 0, 0), false},  {SystemTime(2005, 1, 0, 1, 0, 0, 60, 0), false},
        {SystemTime(2005, 1, 0, 1, 0, 0, 0, 1000), false},
    };
    for (const Refused& c : refused) {
        int64_t ticks = 0;
        EXPECT_FALSE(plat::SystemTimeToTicks(c.st, &ticks)) << Show(c.st);
        if (wine && c.wineTakesIt) continue;
        FILETIME ft = plat::FileTimeOfTicks(1);
        EXPECT_FALSE(SystemTimeToFileTime(&c.st, &ft)) << Show(c.st);
    }
}

}  // namespace
