// Windows local time: the runtime's localtime_s (MSVC and mingw-w64 alike).
#include "filelib/platform/local_time.h"

#include <time.h>

namespace plat {

bool BreakDownLocalTime(std::time_t t, std::tm* out) { return localtime_s(out, &t) == 0; }

}  // namespace plat
