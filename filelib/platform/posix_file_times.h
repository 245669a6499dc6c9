// POSIX backend only: time stamps between the system's seconds and
// nanoseconds and FILETIME, shared by the file system and file data files.
#pragma once

#include <cstdint>
#include <ctime>

#include "filelib/platform/win_types.h"

namespace plat {
namespace posix {

// 100-ns ticks since 1601; a time before 1601 gives 0.
FILETIME ToFileTime(int64_t seconds, uint32_t nanoseconds);
// A null FILETIME gives UTIME_OMIT: that stamp is left as it is.
struct timespec ToTimespec(const FILETIME* ft);

}  // namespace posix
}  // namespace plat
