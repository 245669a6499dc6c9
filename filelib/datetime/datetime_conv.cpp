#include "filelib/datetime/datetime_rec.h"

#include <cstring>

int TmToDateTimeRec(DATETIMEREC* rec, const struct tm* tm) {
    std::memset(rec, 0, sizeof *rec);
    if (tm == nullptr) return 0;
    rec->wYear = uint16_t(tm->tm_year + 1900);
    rec->bMonth = uint8_t(tm->tm_mon + 1);
    rec->bDay = uint8_t(tm->tm_mday);
    rec->bHour = uint8_t(tm->tm_hour);
    rec->bMinute = uint8_t(tm->tm_min);
    rec->bSecond = uint8_t(tm->tm_sec);
    return 0;
}

int TimeTToDateTimeRec(DATETIMEREC* rec, time_t t) {
    // Windows' runtime refuses negative values; do the same everywhere.
    const struct tm* local = t < 0 ? nullptr : std::localtime(&t);
    return TmToDateTimeRec(rec, local);
}
