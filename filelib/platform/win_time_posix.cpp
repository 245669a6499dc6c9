// POSIX backend, the Win32 time conversions that win_types.h declares for
// POSIX, on the portable calendar: FILETIME and SYSTEMTIME, UTC and local.
// Nothing else lives here.

#include "filelib/platform/calendar.h"
#include "filelib/platform/local_time.h"
#include "filelib/platform/win_types.h"

#include <ctime>

namespace {

// Offset of local time from UTC now, in seconds, as Windows applies it.
int64_t CurrentLocalBiasSeconds() {
    struct tm local;
    if (!plat::BreakDownLocalTime(std::time(nullptr), &local)) return 0;
    return local.tm_gmtoff;
}

}  // namespace

BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime) {
    if (fileTime == nullptr || systemTime == nullptr) return FALSE;
    // Windows refuses counts with the top bit set.
    return plat::TicksToSystemTime(plat::TicksOf(*fileTime), systemTime) ? TRUE : FALSE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, FILETIME* fileTime) {
    if (systemTime == nullptr || fileTime == nullptr) return FALSE;
    int64_t ticks;
    if (!plat::SystemTimeToTicks(*systemTime, &ticks)) return FALSE;
    *fileTime = plat::FileTimeOfTicks(ticks);
    return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME* localFileTime, FILETIME* fileTime) {
    if (localFileTime == nullptr || fileTime == nullptr) return FALSE;
    const int64_t ticks = plat::TicksOf(*localFileTime) - CurrentLocalBiasSeconds() * plat::kTicksPerSecond;
    if (ticks < 0) return FALSE;
    *fileTime = plat::FileTimeOfTicks(ticks);
    return TRUE;
}
