// The library's date-and-time record and its conversions.
#pragma once

#include <cstdint>
#include <ctime>

// 8 packed bytes: the date half (year, month, day) and the time half
// (hour, minute, second, reserved). All zero is the empty record.
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

// Broken-down time into a record, each field truncated to its width; a null
// `tm` leaves the empty record. Returns 0.
int TmToDateTimeRec(DATETIMEREC* rec, const struct tm* tm);

// Local time of `t`; a value that cannot be broken down (a negative one)
// leaves the empty record. Returns 0.
int TimeTToDateTimeRec(DATETIMEREC* rec, time_t t);
