// POSIX local time: localtime_r, which reads the zone once per process.
#include "filelib/platform/local_time.h"

#include <time.h>

namespace plat {

bool BreakDownLocalTime(std::time_t t, std::tm* out) { return localtime_r(&t, out) != nullptr; }

}  // namespace plat
