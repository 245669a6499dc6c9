// Building, showing and comparing records in the date-time tests.
#pragma once

#include <cstring>
#include <sstream>
#include <string>

#include "filelib/datetime/datetime_rec.h"

namespace datetimetest {

inline DATETIMEREC Rec(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return DATETIMEREC{uint16_t(year), uint8_t(month), uint8_t(day), uint8_t(hour), uint8_t(minute), uint8_t(second), 0};
}

inline std::string Show(const DATETIMEREC& r) {
    std::ostringstream s;
    s << r.wYear << '-' << int(r.bMonth) << '-' << int(r.bDay) << ' ' << int(r.bHour) << ':' << int(r.bMinute) << ':'
      << int(r.bSecond) << '/' << int(r.bReserved);
    return s.str();
}

// All eight bytes, the reserved one included.
inline bool Same(const DATETIMEREC& a, const DATETIMEREC& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace datetimetest
