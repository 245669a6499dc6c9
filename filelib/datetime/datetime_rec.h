// The library's date-and-time record: calendar arithmetic on it, its
// conversions to and from the runtime's and Windows' time types, and its
// German and digit text forms.
#pragma once

#include <cstdint>
#include <ctime>

#include "filelib/platform/win_types.h"

// 8 packed bytes: the date half (year, month, day) and the time half
// (hour, minute, second, reserved). All zero is the empty record. Fields
// are not range-checked when a record is built; IsValid* check them.
struct DATETIMEREC {
    uint16_t wYear;
    uint8_t bMonth;
    uint8_t bDay;
    uint8_t bHour;
    uint8_t bMinute;
    uint8_t bSecond;
    uint8_t bReserved;
};
static_assert(sizeof(DATETIMEREC) == 8, "DATETIMEREC is 8 packed bytes");

// ------------------------------------------------------------ arithmetic
// Gregorian calendar for every year, field by field, no time zones.
// Weekdays: 0 = Monday ... 6 = Sunday.
//
// A month outside 1 to 12 is read as the nearest month of the year (0 as
// January, 13 and above as December) by DaysBetween and what builds on it
// (SecondsBetween, DayOfWeek), so that every pair of records has a distance.

// Days from a's date to b's date, positive when b is later; times play no part.
int32_t DaysBetween(const DATETIMEREC* a, const DATETIMEREC* b);
// Seconds from a to b, positive when b is later, wrapping in 32 bits (exact
// for distances up to about 68 years).
int32_t SecondsBetween(const DATETIMEREC* a, const DATETIMEREC* b);
// Moves the record by whole days and then seconds; the year wraps in its
// 16 bits. Return 0.
int AddSeconds(DATETIMEREC* rec, int32_t seconds);
int AddDays(DATETIMEREC* rec, int32_t days);
// 28 to 31 for the record's year and month; 31 for a month outside 1 to 12.
int DaysInMonth(const DATETIMEREC* rec);
int DayOfWeek(const DATETIMEREC* rec);
// The empty date is valid; the year is not examined.
bool IsValidDate(const DATETIMEREC* rec);
// Reads the time half only.
bool IsValidTime(const DATETIMEREC* rec);
bool IsValidDateTime(const DATETIMEREC* rec);
int WaitMilliseconds(uint32_t milliseconds);

// ----------------------------------------------------------- conversions
// Destination first; each writes its whole destination and returns 0.
// time_t is 64-bit. Local breakdowns accept 0 to kMaxLocalTimeT (the end of
// the year 3000 UTC, as far as the Windows runtime goes); outside that range
// a struct tm comes out all zero and a record empty. A struct tm that mktime
// places outside that range, or in a local year after 3000, gives the
// time_t -1. So every platform gives the same results.
// Records, struct tm and SYSTEMTIME built from each other hold wall-clock
// readings without a zone: a FILETIME made from a time_t holds local time.

constexpr time_t kMaxLocalTimeT = 32535215999;

// The current local date and time. GetCurrentDateRec writes the date half
// only, GetCurrentTimeRec the time half only (reserved byte 0).
int GetCurrentDateTimeRec(DATETIMEREC* rec);
int GetCurrentDateRec(DATETIMEREC* rec);
int GetCurrentTimeRec(DATETIMEREC* rec);
// Whole hours by which local time is ahead of UTC now (1 for Central
// European winter time, 2 in summer), truncated toward zero.
int GetUtcOffsetHours();

int TimeTToTm(struct tm* tm, time_t t);
int SystemTimeToTm(struct tm* tm, const SYSTEMTIME* st);
int FileTimeToTm(struct tm* tm, const FILETIME* ft);
int DateTimeRecToTm(struct tm* tm, const DATETIMEREC* rec);

// mktime: the struct tm is read as local time, with tm_isdst as given. The
// struct tm that the other conversions build has tm_isdst 0, so a reading
// during daylight-saving time gives a time_t one hour later than the moment
// the wall clock showed it.
int TmToTimeT(time_t* t, const struct tm* tm);
int SystemTimeToTimeT(time_t* t, const SYSTEMTIME* st);
int FileTimeToTimeT(time_t* t, const FILETIME* ft);
int DateTimeRecToTimeT(time_t* t, const DATETIMEREC* rec);

int TmToSystemTime(SYSTEMTIME* st, const struct tm* tm);
int TimeTToSystemTime(SYSTEMTIME* st, time_t t);
int DateTimeRecToSystemTime(SYSTEMTIME* st, const DATETIMEREC* rec);

int TmToFileTime(FILETIME* ft, const struct tm* tm);
int TimeTToFileTime(FILETIME* ft, time_t t);
int DateTimeRecToFileTime(FILETIME* ft, const DATETIMEREC* rec);

// Broken-down time into a record, each field truncated to its width; a null
// `tm` leaves the empty record.
int TmToDateTimeRec(DATETIMEREC* rec, const struct tm* tm);
// Local time of `t`.
int TimeTToDateTimeRec(DATETIMEREC* rec, time_t t);
int SystemTimeToDateTimeRec(DATETIMEREC* rec, const SYSTEMTIME* st);
int FileTimeToDateTimeRec(DATETIMEREC* rec, const FILETIME* ft);

// The Win32 calls in destination-first order. Where the system refuses the
// value (a FILETIME past 0x7FFFFFFFFFFFFFFF, a SYSTEMTIME that is no valid
// date from 1601 on) the destination is all zero rather than left as it was.
int FileTimeToSystemTimeWrap(SYSTEMTIME* st, const FILETIME* ft);
int SystemTimeToFileTimeWrap(FILETIME* ft, const SYSTEMTIME* st);

// ------------------------------------------------------------ text forms
// Each formatter returns a static buffer of its own, valid until it is
// called again; fields too wide for their digits give a longer text, which
// the buffer still holds. FormatTime and FormatTimeDigits read the time half.

const char* FormatDate(const DATETIMEREC* rec);             // 07.03.2005, "__.__.____" for year 0
const char* FormatTime(const DATETIMEREC* rec);             // 09:05:00
const char* FormatDateTime(const DATETIMEREC* rec);         // 07.03.2005  09:05:00
const char* FormatDateDigits(const DATETIMEREC* rec);       // 07032005
const char* FormatDateDigitsShort(const DATETIMEREC* rec);  // 070305
const char* FormatDateSortable(const DATETIMEREC* rec);     // 20050307
const char* FormatTimeDigits(const DATETIMEREC* rec);       // 090500
const char* FormatDateTimeDigits(const DATETIMEREC* rec);       // 07032005090500
const char* FormatDateTimeDigitsShort(const DATETIMEREC* rec);  // 070305090500
const char* FormatDateTimeSortable(const DATETIMEREC* rec);     // 20050307090500

// Texts longer than this after trimming are no date or time.
constexpr size_t kMaxDateOrTimeText = 19;
// Longer texts are no date and time.
constexpr size_t kMaxDateTimeText = 103;

// YYYY-MM-DD (a text that opens with four digits and a dash is read by
// this form or refused), D.M.Y (two-digit years: 0-50 are 2000-2050, 51-99
// are 1951-1999), DDMMYY, DDMMYYYY, YYYYMMDD, DD?MM?YYYY, D?MM?YYYY. Trims
// `text` in place and writes the date half only; on false it is all zero.
// Ranges are not checked.
bool ParseDate(DATETIMEREC* rec, char* text);
// H:M:S, HHMMSS, HH?MM?SS, H?MM?SS. Trims `text` in place and writes the
// time half only; on false it is all zero.
bool ParseTime(DATETIMEREC* rec, char* text);
// A date and a time separated by blanks (so also YYYY-MM-DD HH:MM:SS), or
// the 12- and 14-digit forms.
// On false the whole record is empty.
bool ParseDateTime(DATETIMEREC* rec, const char* text);
