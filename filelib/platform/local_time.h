// Breaking a time_t down as local time.
#pragma once

#include <ctime>

namespace plat {

// The runtime's local-time breakdown of t into *out; false where it has
// none. Unlike std::localtime it keeps no shared result, and on POSIX it
// does not look at the zone file again for every call (glibc's localtime
// does so when TZ is unset, a file-system query per converted time).
bool BreakDownLocalTime(std::time_t t, std::tm* out);

}  // namespace plat
