// Why a platform call failed, the same on every system. Each backend maps
// its own codes (errno, GetLastError) onto these once, in its errors file.
#pragma once

namespace plat {

enum class Error {
    None,              // it worked
    NotFound,          // no such file or folder, or a folder on the way is missing
    AccessDenied,      // the system refused: permissions, or an entry of the wrong kind to open
    SharingViolation,  // another open file or process holds it
    ReadOnly,          // the entry has the read-only attribute, or the medium is write-protected
    Exists,            // the target is there and may not be replaced
    NotEmpty,          // a folder to remove still holds entries
    DiskFull,          // no space left (or the quota is used up)
    NameTooLong,       // the path or one of its names is longer than the system takes
    IsFolder,          // a file operation was given a folder
    NotFolder,         // a folder operation was given a file
    CrossDevice,       // a move between two volumes
    InvalidName,       // a name the system cannot hold
    Unsupported,       // the system has no such service
    Other,             // anything else
};

// A short English name of the error, for logs and test output.
const char* ErrorName(Error error);

}  // namespace plat
