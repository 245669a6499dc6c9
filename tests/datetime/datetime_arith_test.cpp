#include "filelib/datetime/datetime_rec.h"

#include "datetime/records.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <random>
#include <string>

namespace {

using datetimetest::Rec;
using datetimetest::Same;
using datetimetest::Show;

// ---- An independent calendar: day numbers counted from year 1 with the
// Gregorian leap rule applied as a closed formula (years 1 and later).

bool RefLeap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int64_t RefDayNumber(int64_t y, int m, int d) {
    static const int before[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    const int64_t p = y - 1;
    return p * 365 + p / 4 - p / 100 + p / 400 + before[m - 1] + (m > 2 && RefLeap(y) ? 1 : 0) + d;
}

int64_t RefDayNumber(const DATETIMEREC& r) { return RefDayNumber(r.wYear, r.bMonth, r.bDay); }

int64_t RefSeconds(const DATETIMEREC& r) {
    return RefDayNumber(r) * 86400 + r.bHour * 3600 + r.bMinute * 60 + r.bSecond;
}

int RefDaysInMonth(int y, int m) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && RefLeap(y) ? 29 : days[m - 1];
}

// Random valid date-times in [fromYear, toYear], always the same ones.
class RandomDates {
public:
    RandomDates(int fromYear, int toYear) : year_(fromYear, toYear) {}
    DATETIMEREC Next() {
        const int y = year_(gen_), m = Pick(1, 12);
        return Rec(y, m, Pick(1, RefDaysInMonth(y, m)), Pick(0, 23), Pick(0, 59), Pick(0, 59));
    }
    int Pick(int from, int to) { return std::uniform_int_distribution<int>(from, to)(gen_); }
    int32_t AnyInt32() { return int32_t(std::uniform_int_distribution<int64_t>(INT32_MIN, INT32_MAX)(gen_)); }

private:
    std::mt19937 gen_{20050919};
    std::uniform_int_distribution<int> year_;
};

// AddDays exactly as first defined: one day at a time.
void AddDaysOneByOne(DATETIMEREC& r, int64_t n) {
    for (; n > 0; --n) {
        int day = r.bDay + 1, month = r.bMonth;
        if (day > DaysInMonth(&r)) {
            day = 1;
            if (++month > 12) {
                month = 1;
                ++r.wYear;
            }
        }
        r.bDay = uint8_t(day);
        r.bMonth = uint8_t(month);
    }
    for (; n < 0; ++n) {
        if (r.bDay > 1) {
            --r.bDay;
            continue;
        }
        if (r.bMonth <= 1) {
            r.bMonth = 12;
            --r.wYear;
        } else {
            --r.bMonth;
        }
        r.bDay = uint8_t(DaysInMonth(&r));
    }
}

TEST(DateArithmetic, ListedDistances) {
    struct Case {
        DATETIMEREC a, b;
        int32_t days;
    } cases[] = {
        {Rec(2004, 2, 28), Rec(2004, 3, 1), 2},   {Rec(2005, 2, 28), Rec(2005, 3, 1), 1},
        {Rec(2000, 3, 1), Rec(2000, 2, 28), -2},  {Rec(1900, 1, 1), Rec(1901, 1, 1), 365},
        {Rec(2000, 1, 1), Rec(2001, 1, 1), 366},  {Rec(2005, 3, 7, 23), Rec(2005, 3, 7, 1), 0},
        {Rec(2005, 3, 7), Rec(2005, 3, 7), 0},    {Rec(0, 0, 0), Rec(0, 0, 0), 0},
        {Rec(2005, 12, 31), Rec(2006, 1, 1), 1},  {Rec(1601, 1, 1), Rec(2400, 12, 31), 292193},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.days, DaysBetween(&c.a, &c.b)) << Show(c.a) << " -> " << Show(c.b);
        EXPECT_EQ(-c.days, DaysBetween(&c.b, &c.a)) << Show(c.b) << " -> " << Show(c.a);
    }
    const DATETIMEREC a = Rec(2005, 12, 31, 23, 59, 59), b = Rec(2006, 1, 1, 0, 0, 1);
    EXPECT_EQ(2, SecondsBetween(&a, &b));
    EXPECT_EQ(-2, SecondsBetween(&b, &a));
}

TEST(DateArithmetic, DistancesAgreeWithAnIndependentCalendar) {
    RandomDates dates(1601, 2400);
    for (int i = 0; i < 4000; ++i) {
        const DATETIMEREC a = dates.Next(), b = dates.Next();
        ASSERT_EQ(RefDayNumber(b) - RefDayNumber(a), DaysBetween(&a, &b)) << Show(a) << " -> " << Show(b);
        // Seconds are exact within about 68 years: take b within that of a.
        DATETIMEREC nearby = b;
        nearby.wYear = uint16_t(a.wYear + dates.Pick(-60, 60));
        if (nearby.bMonth == 2 && nearby.bDay == 29) nearby.bDay = 28;
        ASSERT_EQ(RefSeconds(nearby) - RefSeconds(a), SecondsBetween(&a, &nearby)) << Show(a) << " -> " << Show(nearby);
    }
}

TEST(DateArithmetic, SecondsBetweenWrapsBeyondItsRange) {
    const DATETIMEREC a = Rec(1601, 1, 1), b = Rec(2400, 1, 1);
    const int64_t exact = RefSeconds(b) - RefSeconds(a);
    EXPECT_EQ(int32_t(uint32_t(uint64_t(exact))), SecondsBetween(&a, &b));
}

TEST(DateArithmetic, ListedMoves) {
    struct Case {
        DATETIMEREC from;
        int32_t seconds, days;
        DATETIMEREC to;
    } cases[] = {
        {Rec(2006, 1, 1), -1, 0, Rec(2005, 12, 31, 23, 59, 59)},
        {Rec(2004, 2, 28, 12), 86400, 0, Rec(2004, 2, 29, 12)},
        {Rec(2005, 12, 31), 0, 1, Rec(2006, 1, 1)},
        {Rec(2004, 3, 1), 0, -1, Rec(2004, 2, 29)},
        {Rec(2005, 3, 7, 9, 5), 0, 0, Rec(2005, 3, 7, 9, 5)},
        {Rec(2005, 3, 7, 23, 59, 59), 1, 0, Rec(2005, 3, 8)},
        {Rec(2005, 3, 8), -86401, 0, Rec(2005, 3, 6, 23, 59, 59)},
        {Rec(65535, 12, 31, 23, 59, 59), 1, 0, Rec(0, 1, 1)},  // the 16-bit year wraps
        {Rec(0, 1, 1), 0, -1, Rec(65535, 12, 31)},
    };
    for (const Case& c : cases) {
        DATETIMEREC r = c.from;
        if (c.seconds != 0 || c.days == 0) {
            EXPECT_EQ(0, AddSeconds(&r, c.seconds));
        }
        if (c.days != 0) {
            EXPECT_EQ(0, AddDays(&r, c.days));
        }
        EXPECT_TRUE(Same(c.to, r)) << Show(c.from) << " + " << c.seconds << "s " << c.days << "d = " << Show(r);
    }
}

TEST(DateArithmetic, MovesAgreeWithAnIndependentCalendar) {
    RandomDates dates(1700, 2300);
    for (int i = 0; i < 4000; ++i) {
        const DATETIMEREC from = dates.Next();
        DATETIMEREC r = from;
        const int32_t days = dates.Pick(-36000, 36000);
        AddDays(&r, days);
        ASSERT_EQ(RefDayNumber(from) + days, RefDayNumber(r)) << Show(from) << " + " << days << "d";
        ASSERT_TRUE(IsValidDate(&r)) << Show(r);
        ASSERT_EQ(RefSeconds(from) % 86400, RefSeconds(r) % 86400) << "time of day kept";

        r = from;
        const int32_t seconds = dates.AnyInt32();
        AddSeconds(&r, seconds);
        ASSERT_EQ(RefSeconds(from) + seconds, RefSeconds(r)) << Show(from) << " + " << seconds << "s";
        ASSERT_TRUE(IsValidDateTime(&r)) << Show(r);
    }
}

TEST(DateArithmetic, LargeMovesTakeNoTime) {
    const int32_t counts[] = {INT32_MAX, INT32_MIN, INT32_MAX - 1, INT32_MIN + 1};
    const auto start = std::chrono::steady_clock::now();
    for (int32_t n : counts) {
        DATETIMEREC r = Rec(2005, 3, 7, 9, 5, 0);
        AddDays(&r, n);
        EXPECT_TRUE(IsValidDateTime(&r)) << n;
        if (n != INT32_MIN) {
            AddDays(&r, -n);  // one step back over the same distance
            EXPECT_TRUE(Same(Rec(2005, 3, 7, 9, 5, 0), r)) << n << ": " << Show(r);
        }
        r = Rec(2005, 3, 7, 9, 5, 0);
        AddSeconds(&r, n);
        EXPECT_EQ(int64_t(n), RefSeconds(r) - RefSeconds(Rec(2005, 3, 7, 9, 5, 0))) << n;
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_LT(ms.count(), 1000) << "moves by the largest counts took " << ms.count() << " ms";
}

TEST(DateArithmetic, YearWrapsAfterEveryYearNumberOnce) {
    int64_t wrapDays = 0;
    for (int y = 0; y < 65536; ++y) wrapDays += RefLeap(y) ? 366 : 365;
    for (DATETIMEREC r : {Rec(2005, 3, 7), Rec(2004, 2, 29), Rec(65535, 12, 31), Rec(0, 1, 1)}) {
        const DATETIMEREC from = r;
        AddDays(&r, int32_t(wrapDays));
        EXPECT_TRUE(Same(from, r)) << Show(from) << " -> " << Show(r);
        AddDays(&r, int32_t(-wrapDays));
        EXPECT_TRUE(Same(from, r)) << Show(from) << " -> " << Show(r);
    }
}

TEST(DateArithmetic, AddDaysGivesWhatSteppingDayByDayGives) {
    // Near the 16-bit year wrap, on 29 February, and from records whose
    // fields are out of range, the shortcuts must not change the result.
    const DATETIMEREC starts[] = {
        Rec(65400, 3, 1), Rec(65535, 2, 28), Rec(100, 2, 28),  Rec(2004, 2, 29), Rec(2005, 2, 29),
        Rec(2005, 0, 5),  Rec(2005, 13, 1),  Rec(2005, 255, 40), Rec(2005, 5, 0),  Rec(2005, 4, 31),
        Rec(0, 0, 0),     Rec(300, 12, 31),  Rec(2005, 6, 255), Rec(65135, 3, 1), Rec(65136, 1, 1),
        Rec(400, 2, 28),  Rec(399, 3, 1),   Rec(65300, 3, 1), Rec(250, 3, 1),
    };
    const int32_t counts[] = {1, -1, 365, -366, 1461, -1461, 146097, -146097, 250000, -250000};
    for (const DATETIMEREC& start : starts) {
        for (int32_t n : counts) {
            DATETIMEREC fast = start, slow = start;
            AddDays(&fast, n);
            AddDaysOneByOne(slow, n);
            ASSERT_TRUE(Same(slow, fast)) << Show(start) << " + " << n << ": " << Show(fast) << " != " << Show(slow);
        }
    }
}

TEST(DateArithmetic, WeekdaysAgreeWithAnIndependentCalendar) {
    struct Case {
        DATETIMEREC date;
        int weekday;
    } cases[] = {
        {Rec(2005, 9, 19), 0}, {Rec(2005, 9, 25), 6}, {Rec(2005, 9, 18), 6},
        {Rec(2000, 1, 1), 5},  {Rec(1601, 1, 1), 0},  {Rec(2038, 1, 19), 1},
    };
    for (const Case& c : cases) EXPECT_EQ(c.weekday, DayOfWeek(&c.date)) << Show(c.date);
    // 1 January 1601 was a Monday.
    const int64_t monday = RefDayNumber(1601, 1, 1);
    RandomDates dates(1601, 2400);
    for (int i = 0; i < 4000; ++i) {
        const DATETIMEREC d = dates.Next();
        ASSERT_EQ(int((RefDayNumber(d) - monday) % 7), DayOfWeek(&d)) << Show(d);
    }
}

TEST(DateArithmetic, MonthLengths) {
    struct Case {
        int year, month, days;
    } cases[] = {{2000, 2, 29}, {1900, 2, 28}, {2100, 2, 28}, {2004, 2, 29}, {2005, 2, 28}, {2005, 4, 30},
                 {2005, 6, 30}, {2005, 9, 30}, {2005, 11, 30}, {2005, 1, 31}, {2005, 12, 31}, {2005, 0, 31},
                 {2005, 13, 31}, {2005, 255, 31}, {0, 2, 29}};
    for (const Case& c : cases) {
        const DATETIMEREC r = Rec(c.year, c.month, 1);
        EXPECT_EQ(c.days, DaysInMonth(&r)) << c.year << '-' << c.month;
    }
}

TEST(DateArithmetic, Validity) {
    struct Case {
        DATETIMEREC rec;
        bool date, time;
    } cases[] = {
        {Rec(0, 0, 0), true, true},              {Rec(2004, 2, 29), true, true},
        {Rec(2005, 2, 29), false, true},         {Rec(2005, 0, 5), false, true},
        {Rec(2005, 5, 0), false, true},          {Rec(0, 5, 1), true, true},
        {Rec(2005, 13, 1), false, true},         {Rec(2005, 4, 31), false, true},
        {Rec(2005, 1, 1, 23, 59, 59), true, true}, {Rec(2005, 1, 1, 24, 0, 0), true, false},
        {Rec(2005, 1, 1, 12, 60, 0), true, false}, {Rec(2005, 1, 1, 12, 0, 60), true, false},
        {Rec(2005, 0, 0, 1, 0, 0), false, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.date, IsValidDate(&c.rec)) << Show(c.rec);
        EXPECT_EQ(c.time, IsValidTime(&c.rec)) << Show(c.rec);
        EXPECT_EQ(c.date && c.time, IsValidDateTime(&c.rec)) << Show(c.rec);
    }
}

// A month outside 1 to 12 is read as the nearest real month, so that the
// month-by-month walk always ends.
TEST(DateArithmetic, MonthsOutOfRangeEndTheWalk) {
    struct Case {
        DATETIMEREC a, b;
        int32_t days;
    } cases[] = {
        {Rec(2005, 3, 1), Rec(2006, 0, 5), int32_t(RefDayNumber(2006, 1, 5) - RefDayNumber(2005, 3, 1))},
        {Rec(2005, 3, 1), Rec(2005, 13, 5), 279},  // 5 December
        {Rec(2005, 3, 1), Rec(2005, 255, 5), 279},
        {Rec(2005, 0, 1), Rec(2005, 1, 11), 10},
        {Rec(2005, 14, 1), Rec(2005, 13, 11), 10},
        {Rec(1, 0, 1), Rec(65535, 200, 1), int32_t(RefDayNumber(65535, 12, 1) - RefDayNumber(1, 1, 1))},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.days, DaysBetween(&c.a, &c.b)) << Show(c.a) << " -> " << Show(c.b);
        EXPECT_EQ(-c.days, DaysBetween(&c.b, &c.a)) << Show(c.b) << " -> " << Show(c.a);
    }
    const DATETIMEREC odd = Rec(2006, 0, 2);  // read as 2 January 2006, a Monday
    EXPECT_EQ(0, DayOfWeek(&odd));
    const DATETIMEREC a = Rec(2005, 12, 31, 23), b = Rec(2006, 77, 1);
    EXPECT_EQ(int64_t(RefSeconds(Rec(2006, 12, 1)) - RefSeconds(a)), SecondsBetween(&a, &b));
}

TEST(DateArithmetic, WaitMillisecondsWaits) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(0, WaitMilliseconds(30));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));
    EXPECT_EQ(0, WaitMilliseconds(0));
}

}  // namespace
