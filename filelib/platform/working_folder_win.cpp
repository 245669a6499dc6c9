// Windows backend, working folder and drive: the current folder and drive
// through the C runtime and the Win32 API. Nothing else lives here.

#include "filelib/platform/working_folder.h"

#include <direct.h>

#include "filelib/platform/system_errors.h"
#include "filelib/platform/win_system.h"

namespace plat {

// Longer paths than this reach the system's 260-character limit with a name.
const size_t kLongNameThreshold = 255;

int GetCurrentDrive() { return _getdrive(); }

Error SetCurrentDrive(int drive) {
    if (drive < 1 || drive > 26) return Error::NotFound;
    return _chdrive(drive) == 0 ? Error::None : Error::NotFound;
}

bool GetCurrentDir(char* buf, size_t size) {
    if (buf == nullptr || size == 0) return false;
    if (_getcwd(buf, int(size)) != nullptr) return true;
    buf[0] = 0;
    return false;
}

Error ChangeDir(const char* path) {
    if (path == nullptr || path[0] == 0) return Error::NotFound;
    return SetCurrentDirectoryA(path) ? Error::None : LastSystemError();
}

}  // namespace plat
