// SYSTEMTIME values for tests: made from their fields, compared whole and
// shown readably in failure messages.
#pragma once

#include <cstring>
#include <sstream>
#include <string>

#include "filelib/platform/win_types.h"

namespace testsupport {

inline SYSTEMTIME SystemTime(int y, int mo, int wd, int d, int h, int mi, int s, int ms) {
    return SYSTEMTIME{WORD(y), WORD(mo), WORD(wd), WORD(d), WORD(h), WORD(mi), WORD(s), WORD(ms)};
}

inline std::string Show(const SYSTEMTIME& st) {
    std::ostringstream s;
    s << st.wYear << '-' << st.wMonth << '-' << st.wDay << " (" << st.wDayOfWeek << ") " << st.wHour << ':' << st.wMinute
      << ':' << st.wSecond << '.' << st.wMilliseconds;
    return s.str();
}

// Every field, the weekday included.
inline bool Same(const SYSTEMTIME& a, const SYSTEMTIME& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace testsupport
