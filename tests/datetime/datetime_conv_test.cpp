#include "filelib/datetime/datetime_rec.h"

#include "datetime/records.h"
#include "support/process.h"
#include "support/system_times.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>
#include <string>

namespace {

using datetimetest::Rec;
using datetimetest::Same;
using datetimetest::Show;
using testsupport::Same;
using testsupport::Show;
using testsupport::SystemTime;

template <typename T>
bool AllZero(const T& value) {
    const T zero{};
    return std::memcmp(&value, &zero, sizeof value) == 0;
}

uint64_t Ticks(const FILETIME& ft) { return (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime; }

FILETIME FileTime(uint64_t ticks) { return FILETIME{DWORD(ticks & 0xFFFFFFFFu), DWORD(ticks >> 32)}; }

constexpr uint64_t kTicksPerSecond = 10000000;
constexpr uint64_t kTicks1970 = 116444736000000000;  // 1 January 1970 in FILETIME ticks

// ------------------------------------------------------- zone independent

TEST(DateTimeConversion, FileTimeAndSystemTime) {
    struct Case {
        uint64_t ticks;
        SYSTEMTIME st;
    } cases[] = {
        {0, SystemTime(1601, 1, 1, 1, 0, 0, 0, 0)},
        {kTicks1970, SystemTime(1970, 1, 4, 1, 0, 0, 0, 0)},
        {127546599000000000 + 1234567, SystemTime(2005, 3, 1, 7, 9, 5, 0, 123)},
        {137919572480000000, SystemTime(2038, 1, 2, 19, 3, 14, 8, 0)},
        {157520159990000000, SystemTime(2100, 2, 0, 28, 23, 59, 59, 0)},
        {0x7FFFFFFFFFFFFFFF, SystemTime(30828, 9, 4, 14, 2, 48, 5, 477)},
    };
    for (const Case& c : cases) {
        SYSTEMTIME st;
        std::memset(&st, 0xAB, sizeof st);
        const FILETIME ft = FileTime(c.ticks);
        EXPECT_EQ(0, FileTimeToSystemTimeWrap(&st, &ft));
        EXPECT_TRUE(Same(c.st, st)) << c.ticks << ": " << Show(st);
        if (st.wYear > 30827) continue;  // beyond the documented range of SYSTEMTIME
        FILETIME back;
        EXPECT_EQ(0, SystemTimeToFileTimeWrap(&back, &st));
        EXPECT_EQ(c.ticks - c.ticks % 10000, Ticks(back)) << Show(st);  // SYSTEMTIME keeps milliseconds
    }
}

TEST(DateTimeConversion, RefusedValuesGiveZeroDestinations) {
    for (uint64_t ticks : {uint64_t(0x8000000000000000), ~uint64_t(0)}) {
        SYSTEMTIME st;
        std::memset(&st, 0xAB, sizeof st);
        const FILETIME ft = FileTime(ticks);
        FileTimeToSystemTimeWrap(&st, &ft);
        EXPECT_TRUE(AllZero(st)) << ticks;
        DATETIMEREC rec = Rec(1, 2, 3, 4, 5, 6);
        FileTimeToDateTimeRec(&rec, &ft);
        EXPECT_TRUE(AllZero(rec)) << Show(rec);
        time_t t = 5;
        FileTimeToTimeT(&t, &ft);
        EXPECT_EQ(-1, t);
    }
    const SYSTEMTIME refused[] = {
        SystemTime(1600, 12, 0, 31, 0, 0, 0, 0), SystemTime(2005, 13, 0, 1, 0, 0, 0, 0),
        SystemTime(2005, 0, 0, 1, 0, 0, 0, 0),   SystemTime(2005, 4, 0, 31, 0, 0, 0, 0),
        SystemTime(2005, 1, 0, 0, 0, 0, 0, 0),   SystemTime(2005, 1, 0, 1, 24, 0, 0, 0),
        SystemTime(2005, 1, 0, 1, 0, 60, 0, 0),  SystemTime(2005, 1, 0, 1, 0, 0, 60, 0),
        SystemTime(2005, 1, 0, 1, 0, 0, 0, 1000),
    };
    for (const SYSTEMTIME& st : refused) {
        FILETIME ft = FileTime(0x0123456789ABCDEF);
        SystemTimeToFileTimeWrap(&ft, &st);
        EXPECT_EQ(0u, Ticks(ft)) << Show(st);
    }
    // The weekday is not looked at; 29 February of a leap year is a date.
    FILETIME ft = FileTime(1);
    const SYSTEMTIME leap = SystemTime(2004, 2, 6, 29, 12, 0, 0, 0);
    SystemTimeToFileTimeWrap(&ft, &leap);
    EXPECT_NE(0u, Ticks(ft));
    // A time_t that cannot be broken down leaves no stale FILETIME behind.
    ft = FileTime(1);
    EXPECT_EQ(0, TimeTToFileTime(&ft, -1));
    EXPECT_EQ(0u, Ticks(ft));
}

TEST(DateTimeConversion, TwentyNinthOfFebruaryOfACommonYearIsRefused) {
    if (testsupport::RunningUnderWine()) GTEST_SKIP() << "Wine takes every February to have 29 days";
    const SYSTEMTIME st = SystemTime(2005, 2, 0, 29, 0, 0, 0, 0);
    FILETIME ft = FileTime(1);
    SystemTimeToFileTimeWrap(&ft, &st);
    EXPECT_EQ(0u, Ticks(ft));
    DATETIMEREC rec = {2005, 2, 29, 0, 0, 0, 0};
    DateTimeRecToFileTime(&ft, &rec);
    EXPECT_EQ(0u, Ticks(ft));
}

TEST(DateTimeConversion, FileTimesAcrossTheirRangeAgreeWithTheCalendar) {
    // The system's FILETIME calendar and the library's own arithmetic must
    // agree on every date, weekday included.
    std::mt19937_64 gen(1601);
    std::uniform_int_distribution<uint64_t> anyTicks(0, 0x7FFFFFFFFFFFFFFF);
    const DATETIMEREC epoch = Rec(1601, 1, 1);
    for (int i = 0; i < 3000; ++i) {
        // Mostly 1601 to 2400; a few anywhere up to the year 30828, whose
        // month-by-month distances take longer.
        const uint64_t ticks = i % 30 != 0 ? anyTicks(gen) % (kTicksPerSecond * 86400 * 292000) : anyTicks(gen);
        const FILETIME ft = FileTime(ticks);
        SYSTEMTIME st;
        FileTimeToSystemTimeWrap(&st, &ft);
        DATETIMEREC rec;
        SystemTimeToDateTimeRec(&rec, &st);
        ASSERT_TRUE(IsValidDateTime(&rec)) << ticks;
        ASSERT_EQ((DayOfWeek(&rec) + 1) % 7, st.wDayOfWeek) << Show(rec);
        ASSERT_EQ(int64_t(ticks / (kTicksPerSecond * 86400)), DaysBetween(&epoch, &rec)) << Show(rec);
        if (st.wYear > 30827) continue;
        FILETIME back;
        SystemTimeToFileTimeWrap(&back, &st);
        ASSERT_EQ(ticks - ticks % 10000, Ticks(back)) << Show(st);
    }
}

TEST(DateTimeConversion, RecordAndFileTimeWithoutZone) {
    const DATETIMEREC rec = Rec(2005, 3, 7, 9, 5, 0);
    FILETIME ft;
    EXPECT_EQ(0, DateTimeRecToFileTime(&ft, &rec));
    EXPECT_EQ(127546599000000000u, Ticks(ft));
    DATETIMEREC back;
    std::memset(&back, 0xAB, sizeof back);
    EXPECT_EQ(0, FileTimeToDateTimeRec(&back, &ft));
    EXPECT_TRUE(Same(rec, back)) << Show(back);
    struct tm tm;
    EXPECT_EQ(0, FileTimeToTm(&tm, &ft));
    EXPECT_EQ(105, tm.tm_year);
    EXPECT_EQ(2, tm.tm_mon);
    EXPECT_EQ(1, tm.tm_wday);  // a Monday
    EXPECT_EQ(0, tm.tm_isdst);
}

TEST(DateTimeConversion, SystemTimeAndTmFieldByField) {
    const SYSTEMTIME cases[] = {
        SystemTime(2005, 3, 1, 7, 9, 5, 0, 999), SystemTime(1601, 1, 1, 1, 0, 0, 0, 0),
        SystemTime(30827, 12, 3, 31, 23, 59, 59, 1), SystemTime(65535, 65535, 65535, 65535, 65535, 65535, 65535, 0),
    };
    for (const SYSTEMTIME& st : cases) {
        struct tm tm;
        std::memset(&tm, 0xAB, sizeof tm);
        EXPECT_EQ(0, SystemTimeToTm(&tm, &st));
        EXPECT_EQ(st.wYear - 1900, tm.tm_year);
        EXPECT_EQ(st.wMonth - 1, tm.tm_mon);
        EXPECT_EQ(st.wDayOfWeek, tm.tm_wday);
        EXPECT_EQ(0, tm.tm_yday);
        EXPECT_EQ(0, tm.tm_isdst);
        SYSTEMTIME back;
        std::memset(&back, 0xAB, sizeof back);
        EXPECT_EQ(0, TmToSystemTime(&back, &tm));
        SYSTEMTIME expected = st;
        expected.wMilliseconds = 0;
        EXPECT_TRUE(Same(expected, back)) << Show(back);
    }
}

TEST(DateTimeConversion, RecordToTmCountsWeekdaysFromSunday) {
    struct Case {
        DATETIMEREC rec;
        int wday;
    } cases[] = {{Rec(2005, 9, 19), 1}, {Rec(2005, 9, 25), 0}, {Rec(2005, 9, 24), 6}, {Rec(2000, 1, 1), 6}};
    for (const Case& c : cases) {
        struct tm tm;
        std::memset(&tm, 0xAB, sizeof tm);
        EXPECT_EQ(0, DateTimeRecToTm(&tm, &c.rec));
        EXPECT_EQ(c.wday, tm.tm_wday) << Show(c.rec);
        EXPECT_EQ(c.rec.bMonth - 1, tm.tm_mon);
        EXPECT_EQ(c.rec.wYear - 1900, tm.tm_year);
        EXPECT_EQ(0, tm.tm_yday);
        EXPECT_EQ(0, tm.tm_isdst);
    }
    struct tm tm;
    const DATETIMEREC rec = Rec(2005, 9, 19, 9, 5, 7);
    DateTimeRecToTm(&tm, &rec);
    EXPECT_EQ(8, tm.tm_mon);
    EXPECT_EQ(105, tm.tm_year);
    EXPECT_EQ(19, tm.tm_mday);
    EXPECT_EQ(9, tm.tm_hour);
    EXPECT_EQ(5, tm.tm_min);
    EXPECT_EQ(7, tm.tm_sec);
}

TEST(DateTimeConversion, TmToRecordTruncatesEachField) {
    struct tm tm = {};
    tm.tm_year = 70000 - 1900;
    tm.tm_mon = 299;
    tm.tm_mday = 300;
    tm.tm_hour = -1;
    tm.tm_min = 61;
    tm.tm_sec = 256 + 7;
    DATETIMEREC rec;
    std::memset(&rec, 0xAB, sizeof rec);
    EXPECT_EQ(0, TmToDateTimeRec(&rec, &tm));
    EXPECT_TRUE(Same(DATETIMEREC{uint16_t(70000 & 0xFFFF), 44, 44, 255, 61, 7, 0}, rec)) << Show(rec);
    tm.tm_year = INT_MAX;  // no overflow on the way either
    tm.tm_mon = INT_MAX;
    TmToDateTimeRec(&rec, &tm);
    EXPECT_EQ(uint16_t(uint32_t(INT_MAX) + 1900u), rec.wYear);
    EXPECT_EQ(0, rec.bMonth);
    SYSTEMTIME st;
    TmToSystemTime(&st, &tm);
    EXPECT_EQ(rec.wYear, st.wYear);
    EXPECT_EQ(0, st.wMonth);
    EXPECT_EQ(0, TmToDateTimeRec(&rec, nullptr));
    EXPECT_TRUE(AllZero(rec));
}

TEST(DateTimeConversion, NegativeAndOutOfRangeTimeTGiveEmptyResults) {
    for (time_t t : {time_t(-1), time_t(INT64_MIN), kMaxLocalTimeT + 1, time_t(INT64_MAX)}) {
        struct tm tm;
        std::memset(&tm, 0xAB, sizeof tm);
        EXPECT_EQ(0, TimeTToTm(&tm, t));
        EXPECT_TRUE(AllZero(tm)) << t;
        DATETIMEREC rec = Rec(1, 2, 3, 4, 5, 6);
        EXPECT_EQ(0, TimeTToDateTimeRec(&rec, t));
        EXPECT_TRUE(AllZero(rec)) << t;
    }
}

TEST(DateTimeConversion, CurrentDateAndTimeFillTheirHalfOnly) {
    DATETIMEREC before, now, after;
    TimeTToDateTimeRec(&before, std::time(nullptr));
    EXPECT_EQ(0, GetCurrentDateTimeRec(&now));
    TimeTToDateTimeRec(&after, std::time(nullptr));
    EXPECT_TRUE(IsValidDateTime(&now)) << Show(now);
    EXPECT_GE(SecondsBetween(&before, &now), 0) << Show(before) << " " << Show(now);
    EXPECT_GE(SecondsBetween(&now, &after), 0) << Show(now) << " " << Show(after);
    EXPECT_EQ(0, now.bReserved);

    struct Halves {
        DATETIMEREC rec;
        unsigned char guard[4];
    };
    Halves date, time;
    std::memset(&date, 0xAB, sizeof date);
    std::memset(&time, 0xAB, sizeof time);
    EXPECT_EQ(0, GetCurrentDateRec(&date.rec));
    EXPECT_EQ(0, GetCurrentTimeRec(&time.rec));
    const unsigned char* d = reinterpret_cast<const unsigned char*>(&date);
    const unsigned char* t = reinterpret_cast<const unsigned char*>(&time);
    for (size_t i = 4; i < sizeof date; ++i) EXPECT_EQ(0xAB, d[i]) << "date wrote byte " << i;
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(0xAB, t[i]) << "time wrote byte " << i;
    for (size_t i = 8; i < sizeof time; ++i) EXPECT_EQ(0xAB, t[i]) << "time wrote byte " << i;
    EXPECT_GE(date.rec.wYear, before.wYear);
    EXPECT_LE(date.rec.wYear, after.wYear);
    EXPECT_EQ(0, time.rec.bReserved);
    EXPECT_TRUE(IsValidTime(&time.rec));
}

// ------------------------------------------------------ zone dependent
// These run once under UTC and once under Europe/Berlin (see
// tests/CMakeLists.txt, which names the zone in FILELIB_TEST_ZONE).

enum class Zone { Utc, Berlin, Other };

const char* ZoneName(Zone zone) { return zone == Zone::Utc ? "UTC" : zone == Zone::Berlin ? "Europe/Berlin" : "other"; }

int LocalHour(time_t t) { return std::localtime(&t)->tm_hour; }

// Told apart by the local hour at noon UTC in winter, in summer, and in
// the weeks in which US daylight-saving time has begun but Europe's has not.
Zone ObservedZone() {
    const int winter = LocalHour(1104580800), summer = LocalHour(1120219200), march = LocalHour(1616241600);
    if (winter == 12 && summer == 12 && march == 12) return Zone::Utc;
    if (winter == 13 && summer == 14 && march == 13) return Zone::Berlin;
    return Zone::Other;
}

class DateTimeTimeZone : public ::testing::Test {
protected:
    void SetUp() override {
        zone_ = ObservedZone();
        const char* expected = std::getenv("FILELIB_TEST_ZONE");
        if (expected != nullptr) {
            ASSERT_STREQ(expected, ZoneName(zone_)) << "the test run did not get its time zone";
        }
        if (zone_ == Zone::Other) GTEST_SKIP() << "runs under TZ=UTC or TZ=Europe/Berlin only";
    }
    bool Berlin() const { return zone_ == Zone::Berlin; }
    Zone zone_ = Zone::Other;
};

TEST_F(DateTimeTimeZone, TimeTToLocalRecord) {
    struct Case {
        time_t t;
        DATETIMEREC utc, berlin;
    } cases[] = {
        {0, Rec(1970, 1, 1, 0, 0, 0), Rec(1970, 1, 1, 1, 0, 0)},
        {1104580800, Rec(2005, 1, 1, 12, 0, 0), Rec(2005, 1, 1, 13, 0, 0)},
        {1120212000, Rec(2005, 7, 1, 10, 0, 0), Rec(2005, 7, 1, 12, 0, 0)},
        {1616241600, Rec(2021, 3, 20, 12, 0, 0), Rec(2021, 3, 20, 13, 0, 0)},
        {1111885199, Rec(2005, 3, 27, 0, 59, 59), Rec(2005, 3, 27, 1, 59, 59)},
        {1111885200, Rec(2005, 3, 27, 1, 0, 0), Rec(2005, 3, 27, 3, 0, 0)},
        {1130633999, Rec(2005, 10, 30, 0, 59, 59), Rec(2005, 10, 30, 2, 59, 59)},
        {1130634000, Rec(2005, 10, 30, 1, 0, 0), Rec(2005, 10, 30, 2, 0, 0)},
        {2147483647, Rec(2038, 1, 19, 3, 14, 7), Rec(2038, 1, 19, 4, 14, 7)},
        {2147483648, Rec(2038, 1, 19, 3, 14, 8), Rec(2038, 1, 19, 4, 14, 8)},
        {4102444800, Rec(2100, 1, 1, 0, 0, 0), Rec(2100, 1, 1, 1, 0, 0)},
        {kMaxLocalTimeT, Rec(3000, 12, 31, 23, 59, 59), Rec(3001, 1, 1, 0, 59, 59)},
    };
    for (const Case& c : cases) {
        const DATETIMEREC& expected = Berlin() ? c.berlin : c.utc;
        DATETIMEREC rec;
        std::memset(&rec, 0xAB, sizeof rec);
        EXPECT_EQ(0, TimeTToDateTimeRec(&rec, c.t));
        EXPECT_TRUE(Same(expected, rec)) << c.t << ": " << Show(rec);
        SYSTEMTIME st;
        EXPECT_EQ(0, TimeTToSystemTime(&st, c.t));
        EXPECT_EQ((DayOfWeek(&expected) + 1) % 7, st.wDayOfWeek) << c.t;
        EXPECT_EQ(expected.bHour, st.wHour) << c.t;
        struct tm tm;
        TimeTToTm(&tm, c.t);
        EXPECT_EQ(expected.bHour, tm.tm_hour) << c.t;
    }
    struct tm summer;
    TimeTToTm(&summer, 1120212000);
    EXPECT_EQ(Berlin() ? 1 : 0, summer.tm_isdst);
}

// The record carries no daylight-saving flag, so its struct tm has
// tm_isdst 0, and mktime reads it as standard time: during daylight-saving
// time the time_t is one hour later than the moment the wall clock showed
// that reading.
TEST_F(DateTimeTimeZone, LocalRecordToTimeTReadsStandardTime) {
    struct Case {
        DATETIMEREC rec;
        time_t utc, berlin;
    } cases[] = {
        {Rec(2005, 1, 1, 12), 1104580800, 1104580800 - 3600},
        {Rec(2005, 7, 1, 12), 1120219200, 1120212000 + 3600},  // 12:00 CEST is 1120212000
        {Rec(1970, 1, 1, 0), 0, -1},                             // 23:00 UTC the day before
        {Rec(1970, 1, 1, 1), 3600, 0},
        {Rec(1969, 12, 31, 23, 59, 59), -1, -1},
        {Rec(2038, 1, 19, 3, 14, 8), 2147483648, 2147483648 - 3600},
        {Rec(3000, 12, 31, 23, 59, 59), kMaxLocalTimeT, kMaxLocalTimeT - 3600},
        {Rec(3001, 1, 1, 0, 0, 0), -1, -1},  // in range in Berlin, but a local year after 3000
        {Rec(3000, 12, 31, 24, 0, 0), -1, -1},
        {Rec(2005, 2, 31, 12), 1109851200, 1109851200 - 3600},  // mktime moves it to 3 March
        {Rec(0, 0, 0), -1, -1},
        {Rec(65535, 12, 31), -1, -1},
    };
    for (const Case& c : cases) {
        time_t t = 12345;
        EXPECT_EQ(0, DateTimeRecToTimeT(&t, &c.rec));
        EXPECT_EQ(Berlin() ? c.berlin : c.utc, t) << Show(c.rec);
        SYSTEMTIME st;
        DateTimeRecToSystemTime(&st, &c.rec);
        t = 12345;
        SystemTimeToTimeT(&t, &st);
        EXPECT_EQ(Berlin() ? c.berlin : c.utc, t) << Show(c.rec);
    }
    // Told that the reading is daylight-saving time (or left to find out),
    // mktime gives the true moment.
    struct tm tm;
    const DATETIMEREC noon = Rec(2005, 7, 1, 12);
    DateTimeRecToTm(&tm, &noon);
    tm.tm_isdst = -1;
    time_t t;
    TmToTimeT(&t, &tm);
    EXPECT_EQ(Berlin() ? 1120212000 : 1120219200, t);
    EXPECT_EQ(-1, tm.tm_isdst) << "the caller's struct tm is not changed";
}

TEST_F(DateTimeTimeZone, FileTimeFromTimeTHoldsLocalTime) {
    struct Case {
        time_t t;
        int berlinOffset;  // seconds by which the stored reading is ahead of UTC
        time_t backUtc, backBerlin;
    } cases[] = {
        {0, 3600, 0, 0},
        {1104580800, 3600, 1104580800, 1104580800},
        {1120212000, 7200, 1120212000, 1120212000 + 3600},  // summer: read back as standard time
        {2147483648, 3600, 2147483648, 2147483648},
    };
    for (const Case& c : cases) {
        FILETIME ft;
        EXPECT_EQ(0, TimeTToFileTime(&ft, c.t));
        const uint64_t offset = Berlin() ? uint64_t(c.berlinOffset) : 0;
        EXPECT_EQ(kTicks1970 + (uint64_t(c.t) + offset) * kTicksPerSecond, Ticks(ft)) << c.t;
        time_t back = 12345;
        EXPECT_EQ(0, FileTimeToTimeT(&back, &ft));
        EXPECT_EQ(Berlin() ? c.backBerlin : c.backUtc, back) << c.t;
    }
}

TEST_F(DateTimeTimeZone, UtcOffsetInWholeHours) {
    const time_t now = std::time(nullptr);
    const int expected = Berlin() ? (std::localtime(&now)->tm_isdst > 0 ? 2 : 1) : 0;
    EXPECT_EQ(expected, GetUtcOffsetHours());
}

}  // namespace
