// POSIX backend, working folder and drive: the current folder, and the
// current drive that POSIX does not have. Nothing else lives here.

#include "filelib/platform/working_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <cstdint>

#include "filelib/platform/system_errors.h"

namespace plat {

// The system takes every path the library handles as it is.
const size_t kLongNameThreshold = SIZE_MAX;

int GetCurrentDrive() { return 0; }

Error SetCurrentDrive(int /*drive*/) { return Error::None; }

bool GetCurrentDir(char* buf, size_t size) {
    if (buf == nullptr || size == 0) return false;
    if (getcwd(buf, size) != nullptr) return true;
    buf[0] = 0;
    return false;
}

Error ChangeDir(const char* path) {
    if (path == nullptr || path[0] == 0) return Error::NotFound;
    if (chdir(path) == 0) return Error::None;
    const Error error = LastSystemError();
    // A file named as the folder, not a missing one, as Windows tells them.
    struct stat st;
    if (errno == ENOTDIR && lstat(path, &st) == 0 && !S_ISDIR(st.st_mode)) return Error::NotFolder;
    return error;
}

}  // namespace plat
