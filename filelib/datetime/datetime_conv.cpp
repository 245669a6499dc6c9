#include "filelib/datetime/datetime_rec.h"

#include <cstring>

#include "filelib/platform/process.h"

static_assert(sizeof(time_t) == 8, "the current time must keep working past 2038");

namespace {

// Local breakdown within the range that every supported runtime can do:
// Windows' refuses negative values and values past the year 3000, so the
// other platforms refuse them too.
bool BreakDownLocal(time_t t, struct tm* out) {
    if (t < 0 || t > kMaxLocalTimeT) return false;
    return plat::BreakDownLocalTime(t, out);
}

constexpr int kMaxLocalYear = 3000;

void ClearTm(struct tm* tm) { std::memset(tm, 0, sizeof *tm); }

// tm_year + 1900 and the like, for any struct tm a caller hands over: the
// result is truncated to a narrow field anyway, so wrap instead of overflow.
unsigned Offset(int field, unsigned offset) { return unsigned(field) + offset; }

}  // namespace

// ----------------------------------------------------------- current time

int GetCurrentDateTimeRec(DATETIMEREC* rec) { return TimeTToDateTimeRec(rec, std::time(nullptr)); }

int GetCurrentDateRec(DATETIMEREC* rec) {
    DATETIMEREC now;
    GetCurrentDateTimeRec(&now);
    rec->wYear = now.wYear;
    rec->bMonth = now.bMonth;
    rec->bDay = now.bDay;
    return 0;
}

int GetCurrentTimeRec(DATETIMEREC* rec) {
    DATETIMEREC now;
    GetCurrentDateTimeRec(&now);
    rec->bHour = now.bHour;
    rec->bMinute = now.bMinute;
    rec->bSecond = now.bSecond;
    rec->bReserved = now.bReserved;
    return 0;
}

int GetUtcOffsetHours() {
    const time_t now = std::time(nullptr);
    struct tm utc, local;
    const struct tm* shared = std::gmtime(&now);
    if (shared == nullptr) return 0;
    utc = *shared;  // the next breakdown overwrites the runtime's buffer
    if (!BreakDownLocal(now, &local)) return 0;
    DATETIMEREC u, l;
    TmToDateTimeRec(&u, &utc);
    TmToDateTimeRec(&l, &local);
    return SecondsBetween(&u, &l) / 3600;
}

// -------------------------------------------------------------- struct tm

int TimeTToTm(struct tm* tm, time_t t) {
    if (!BreakDownLocal(t, tm)) ClearTm(tm);
    return 0;
}

int SystemTimeToTm(struct tm* tm, const SYSTEMTIME* st) {
    ClearTm(tm);
    tm->tm_sec = st->wSecond;
    tm->tm_min = st->wMinute;
    tm->tm_hour = st->wHour;
    tm->tm_mday = st->wDay;
    tm->tm_mon = st->wMonth - 1;
    tm->tm_year = st->wYear - 1900;
    tm->tm_wday = st->wDayOfWeek;
    return 0;
}

int FileTimeToTm(struct tm* tm, const FILETIME* ft) {
    SYSTEMTIME st;
    FileTimeToSystemTimeWrap(&st, ft);
    return SystemTimeToTm(tm, &st);
}

int DateTimeRecToTm(struct tm* tm, const DATETIMEREC* rec) {
    ClearTm(tm);
    tm->tm_sec = rec->bSecond;
    tm->tm_min = rec->bMinute;
    tm->tm_hour = rec->bHour;
    tm->tm_mday = rec->bDay;
    tm->tm_mon = rec->bMonth - 1;
    tm->tm_year = rec->wYear - 1900;
    tm->tm_wday = (DayOfWeek(rec) + 1) % 7;  // struct tm counts from Sunday
    return 0;
}

// ----------------------------------------------------------------- time_t

int TmToTimeT(time_t* t, const struct tm* tm) {
    struct tm normalized = *tm;  // mktime normalises its argument; ours is read-only
    const time_t result = std::mktime(&normalized);
    // Windows' runtime also refuses local readings after the year 3000.
    const bool inRange = result >= 0 && result <= kMaxLocalTimeT && normalized.tm_year <= kMaxLocalYear - 1900;
    *t = inRange ? result : time_t(-1);
    return 0;
}

int SystemTimeToTimeT(time_t* t, const SYSTEMTIME* st) {
    struct tm tm;
    SystemTimeToTm(&tm, st);
    return TmToTimeT(t, &tm);
}

int FileTimeToTimeT(time_t* t, const FILETIME* ft) {
    struct tm tm;
    FileTimeToTm(&tm, ft);
    return TmToTimeT(t, &tm);
}

int DateTimeRecToTimeT(time_t* t, const DATETIMEREC* rec) {
    struct tm tm;
    DateTimeRecToTm(&tm, rec);
    return TmToTimeT(t, &tm);
}

// ------------------------------------------------------------- SYSTEMTIME

int TmToSystemTime(SYSTEMTIME* st, const struct tm* tm) {
    st->wYear = WORD(Offset(tm->tm_year, 1900));
    st->wMonth = WORD(Offset(tm->tm_mon, 1));
    st->wDayOfWeek = WORD(tm->tm_wday);
    st->wDay = WORD(tm->tm_mday);
    st->wHour = WORD(tm->tm_hour);
    st->wMinute = WORD(tm->tm_min);
    st->wSecond = WORD(tm->tm_sec);
    st->wMilliseconds = 0;
    return 0;
}

int TimeTToSystemTime(SYSTEMTIME* st, time_t t) {
    struct tm tm;
    TimeTToTm(&tm, t);
    return TmToSystemTime(st, &tm);
}

int DateTimeRecToSystemTime(SYSTEMTIME* st, const DATETIMEREC* rec) {
    struct tm tm;
    DateTimeRecToTm(&tm, rec);
    return TmToSystemTime(st, &tm);
}

// --------------------------------------------------------------- FILETIME

int TmToFileTime(FILETIME* ft, const struct tm* tm) {
    SYSTEMTIME st;
    TmToSystemTime(&st, tm);
    return SystemTimeToFileTimeWrap(ft, &st);
}

int TimeTToFileTime(FILETIME* ft, time_t t) {
    SYSTEMTIME st;
    TimeTToSystemTime(&st, t);
    return SystemTimeToFileTimeWrap(ft, &st);
}

int DateTimeRecToFileTime(FILETIME* ft, const DATETIMEREC* rec) {
    struct tm tm;
    DateTimeRecToTm(&tm, rec);
    return TmToFileTime(ft, &tm);
}

int FileTimeToSystemTimeWrap(SYSTEMTIME* st, const FILETIME* ft) {
    if (!FileTimeToSystemTime(ft, st)) std::memset(st, 0, sizeof *st);
    return 0;
}

int SystemTimeToFileTimeWrap(FILETIME* ft, const SYSTEMTIME* st) {
    if (!SystemTimeToFileTime(st, ft)) std::memset(ft, 0, sizeof *ft);
    return 0;
}

// -------------------------------------------------------------- DATETIMEREC

int TmToDateTimeRec(DATETIMEREC* rec, const struct tm* tm) {
    std::memset(rec, 0, sizeof *rec);
    if (tm == nullptr) return 0;
    rec->wYear = uint16_t(Offset(tm->tm_year, 1900));
    rec->bMonth = uint8_t(Offset(tm->tm_mon, 1));
    rec->bDay = uint8_t(tm->tm_mday);
    rec->bHour = uint8_t(tm->tm_hour);
    rec->bMinute = uint8_t(tm->tm_min);
    rec->bSecond = uint8_t(tm->tm_sec);
    return 0;
}

int TimeTToDateTimeRec(DATETIMEREC* rec, time_t t) {
    struct tm local;
    return TmToDateTimeRec(rec, BreakDownLocal(t, &local) ? &local : nullptr);
}

int SystemTimeToDateTimeRec(DATETIMEREC* rec, const SYSTEMTIME* st) {
    struct tm tm;
    SystemTimeToTm(&tm, st);
    return TmToDateTimeRec(rec, &tm);
}

int FileTimeToDateTimeRec(DATETIMEREC* rec, const FILETIME* ft) {
    struct tm tm;
    FileTimeToTm(&tm, ft);
    return TmToDateTimeRec(rec, &tm);
}
