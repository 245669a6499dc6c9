// Windows backend, files and locks: the exclusive-open test through the
// file's sharing mode. Nothing else lives here.

#include "filelib/platform/file_locks.h"

#include "filelib/platform/system_errors.h"
#include "filelib/platform/win_system.h"

namespace plat {

Error TryExclusiveOpen(const char* path) {
    if (path == nullptr || path[0] == 0) return Error::NotFound;
    // For reading, shared with nobody: what an exclusive _lopen asks.
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return LastSystemError();
    CloseHandle(file);
    return Error::None;
}

}  // namespace plat
