// Windows backend, errors: the one mapping from GetLastError codes to
// plat::Error. Nothing else lives here.

#include "filelib/platform/system_errors.h"

#include "filelib/platform/win_system.h"

namespace plat {

Error ErrorFromSystemCode(long code) {
    switch (DWORD(code)) {
        case ERROR_SUCCESS: return Error::None;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_NOT_READY:
            return Error::NotFound;
        case ERROR_ACCESS_DENIED: return Error::AccessDenied;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_BUSY:
            return Error::SharingViolation;
        case ERROR_WRITE_PROTECT: return Error::ReadOnly;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return Error::Exists;
        case ERROR_DIR_NOT_EMPTY: return Error::NotEmpty;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return Error::DiskFull;
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_BUFFER_OVERFLOW:
            return Error::NameTooLong;
        case ERROR_DIRECTORY: return Error::NotFolder;
        case ERROR_NOT_SAME_DEVICE: return Error::CrossDevice;
        case ERROR_INVALID_NAME: return Error::InvalidName;
        case ERROR_NOT_SUPPORTED:
        case ERROR_CALL_NOT_IMPLEMENTED:
            return Error::Unsupported;
        default: return Error::Other;
    }
}

Error LastSystemError() { return ErrorFromSystemCode(long(GetLastError())); }

}  // namespace plat
