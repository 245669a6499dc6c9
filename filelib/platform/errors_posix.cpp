// POSIX backend, errors: the one mapping from errno to plat::Error. Nothing
// else lives here.

#include "filelib/platform/system_errors.h"

#include <cerrno>

namespace plat {

Error ErrorFromSystemCode(long code) {
    switch (code) {
        case 0: return Error::None;
        case ENOENT:
        case ENOTDIR:  // a folder on the way is a file: Windows says the path is not found
            return Error::NotFound;
        case EACCES:
        case EPERM:
            return Error::AccessDenied;
        case EBUSY:
        case ETXTBSY:
        case EAGAIN:
            return Error::SharingViolation;
        case EROFS: return Error::ReadOnly;
        case EEXIST: return Error::Exists;
        case ENOTEMPTY: return Error::NotEmpty;
        case ENOSPC:
        case EDQUOT:
            return Error::DiskFull;
        case ENAMETOOLONG: return Error::NameTooLong;
        case EISDIR: return Error::IsFolder;
        case EXDEV: return Error::CrossDevice;
        case EINVAL:
        case EILSEQ:
            return Error::InvalidName;
        case ENOSYS:
        case EOPNOTSUPP:
            return Error::Unsupported;
        default: return Error::Other;
    }
}

Error LastSystemError() { return ErrorFromSystemCode(errno); }

}  // namespace plat
