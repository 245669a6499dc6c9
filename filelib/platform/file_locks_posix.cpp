// POSIX backend, files and locks: the exclusive-open test, told by the
// locks other holders keep on a file. Nothing else lives here.

#include "filelib/platform/file_locks.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "filelib/platform/system_errors.h"

namespace plat {

namespace {

// Open-file-description locks see the record locks of this process's other
// descriptors too; the classic query sees only other processes'.
#ifdef F_OFD_GETLK
constexpr int kRecordLockQuery = F_OFD_GETLK;
#else
constexpr int kRecordLockQuery = F_GETLK;
#endif

bool HeldByRecordLock(int fd) {
    struct flock query = {};
    query.l_type = F_WRLCK;  // conflicts with every read or write lock
    query.l_whence = SEEK_SET;
    query.l_start = 0;
    query.l_len = 0;  // to the end of the file, however long it grows
    query.l_pid = 0;
    if (fcntl(fd, kRecordLockQuery, &query) != 0) return false;
    return query.l_type != F_UNLCK;
}

bool HeldByFileLock(int fd) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return false;  // released when fd closes
    return errno == EWOULDBLOCK;
}

}  // namespace

Error TryExclusiveOpen(const char* path) {
    if (path == nullptr || path[0] == 0) return Error::NotFound;
    // Non-blocking: opening a FIFO must not wait for a writer.
    const int fd = open(path, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return LastSystemError();
    struct stat st;
    Error result = Error::None;
    if (fstat(fd, &st) != 0)
        result = LastSystemError();
    else if (S_ISDIR(st.st_mode))
        result = Error::AccessDenied;  // as Windows answers for a folder
    else if (HeldByFileLock(fd) || HeldByRecordLock(fd))
        result = Error::SharingViolation;
    close(fd);
    return result;
}

}  // namespace plat
