// Windows backend, drives: free space of a drive letter. Nothing else
// lives here.

#include "filelib/platform/drives.h"

#include "filelib/platform/system_errors.h"
#include "filelib/platform/win_system.h"

namespace plat {

Error FreeBytesForCaller(const char* drive, uint64_t* bytes) {
    if (bytes != nullptr) *bytes = 0;
    if (drive == nullptr || drive[0] == 0 || bytes == nullptr) return Error::NotFound;
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA(drive, &available, nullptr, nullptr)) return LastSystemError();
    *bytes = available.QuadPart;
    return Error::None;
}

}  // namespace plat
