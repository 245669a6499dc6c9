// Portable: the names of the platform errors.

#include "filelib/platform/errors.h"

namespace plat {

const char* ErrorName(Error error) {
    switch (error) {
        case Error::None: return "none";
        case Error::NotFound: return "not found";
        case Error::AccessDenied: return "access denied";
        case Error::SharingViolation: return "sharing violation";
        case Error::ReadOnly: return "read-only";
        case Error::Exists: return "exists";
        case Error::NotEmpty: return "not empty";
        case Error::DiskFull: return "disk full";
        case Error::NameTooLong: return "name too long";
        case Error::IsFolder: return "is a folder";
        case Error::NotFolder: return "not a folder";
        case Error::CrossDevice: return "cross-device";
        case Error::InvalidName: return "invalid name";
        case Error::Unsupported: return "unsupported";
        case Error::Other: return "other";
    }
    return "other";
}

}  // namespace plat
