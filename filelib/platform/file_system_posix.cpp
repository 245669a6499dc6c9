// POSIX backend, file system: attributes, time stamps and search data of
// one path, removing, moving and making entries. Only what stands in for a
// Windows file system service lives here.

#include "filelib/platform/file_system.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "filelib/platform/calendar.h"
#include "filelib/platform/name_match.h"
#include "filelib/platform/platform.h"
#include "filelib/platform/posix_attributes.h"
#include "filelib/platform/posix_file_times.h"
#include "filelib/platform/system_errors.h"

namespace plat {

const char kPathSep = '/';

namespace posix {

uint32_t AttributesOf(unsigned mode, const char* name) {
    uint32_t attrib = 0;
    if (S_ISDIR(mode)) attrib |= FILE_ATTRIBUTE_DIRECTORY;
    if (!(mode & S_IWUSR)) attrib |= FILE_ATTRIBUTE_READONLY;
    if (name[0] == '.' && !IsDotName(name)) attrib |= FILE_ATTRIBUTE_HIDDEN;
    return attrib ? attrib : FILE_ATTRIBUTE_NORMAL;
}

bool StatTypeAndSize(int dirFd, const char* name, bool* isFolder, uint64_t* size) {
    struct statx sx;
    if (statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE | STATX_SIZE, &sx) != 0) return false;
    *isFolder = S_ISDIR(sx.stx_mode);
    *size = *isFolder ? 0 : sx.stx_size;
    return true;
}

FILETIME ToFileTime(int64_t seconds, uint32_t nanoseconds) {
    int64_t ticks = seconds * kTicksPerSecond + nanoseconds / 100 + kTicks1601To1970;
    if (ticks < 0) ticks = 0;  // before 1601: FILETIME cannot hold it
    return FileTimeOfTicks(ticks);
}

struct timespec ToTimespec(const FILETIME* ft) {
    struct timespec ts;
    if (ft == nullptr) {
        ts.tv_sec = 0;
        ts.tv_nsec = UTIME_OMIT;
        return ts;
    }
    const int64_t ticks = TicksOf(*ft) - kTicks1601To1970;
    int64_t seconds = ticks / kTicksPerSecond;
    int64_t rest = ticks % kTicksPerSecond;
    if (rest < 0) {  // before 1970: the seconds round down, the rest stays positive
        rest += kTicksPerSecond;
        --seconds;
    }
    ts.tv_sec = time_t(seconds);
    ts.tv_nsec = long(rest * 100);
    return ts;
}

}  // namespace posix

namespace {

const char* LastName(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

bool Valid(const char* path) { return path != nullptr && path[0] != 0; }

struct EntryTimes {
    FILETIME creation, access, write;
};

bool StatTimes(const char* path, struct statx* sx, EntryTimes* times) {
    const unsigned mask = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_ATIME | STATX_BTIME;
    if (statx(AT_FDCWD, path, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, mask, sx) != 0) return false;
    times->write = posix::ToFileTime(sx->stx_mtime.tv_sec, sx->stx_mtime.tv_nsec);
    times->access = posix::ToFileTime(sx->stx_atime.tv_sec, sx->stx_atime.tv_nsec);
    times->creation =
        (sx->stx_mask & STATX_BTIME) ? posix::ToFileTime(sx->stx_btime.tv_sec, sx->stx_btime.tv_nsec) : times->write;
    return true;
}

bool IsReadOnlyMode(mode_t mode) { return (mode & S_IWUSR) == 0; }

}  // namespace

DWORD ReadAttributes(const char* path) {
    if (!Valid(path)) return INVALID_FILE_ATTRIBUTES;
    struct stat st;
    if (lstat(path, &st) != 0) return INVALID_FILE_ATTRIBUTES;
    return posix::AttributesOf(st.st_mode, LastName(path));
}

Error WriteAttributes(const char* path, DWORD attrib) {
    if (!Valid(path)) return Error::NotFound;
    struct stat st;
    if (lstat(path, &st) != 0) return LastSystemError();
    mode_t mode = st.st_mode & 07777;
    if (attrib & FILE_ATTRIBUTE_READONLY)
        mode &= mode_t(~(S_IWUSR | S_IWGRP | S_IWOTH));
    else
        mode |= S_IWUSR;
    if (mode == (st.st_mode & 07777)) return Error::None;
    // A link keeps the permissions it was made with; changing it would
    // change what it points to.
    if (S_ISLNK(st.st_mode)) return Error::Unsupported;
    return chmod(path, mode) == 0 ? Error::None : LastSystemError();
}

Error ReadFileTimes(const char* path, FILETIME* creation, FILETIME* access, FILETIME* write) {
    if (!Valid(path)) return Error::NotFound;
    struct statx sx;
    EntryTimes times;
    if (!StatTimes(path, &sx, &times)) return LastSystemError();
    if (creation != nullptr) *creation = times.creation;
    if (access != nullptr) *access = times.access;
    if (write != nullptr) *write = times.write;
    return Error::None;
}

Error WriteFileTimes(const char* path, const FILETIME* /*creation: not settable here*/, const FILETIME* access,
                     const FILETIME* write) {
    if (!Valid(path)) return Error::NotFound;
    const struct timespec times[2] = {posix::ToTimespec(access), posix::ToTimespec(write)};
    if (access == nullptr && write == nullptr) {
        struct stat st;
        return lstat(path, &st) == 0 ? Error::None : LastSystemError();
    }
    return utimensat(AT_FDCWD, path, times, AT_SYMLINK_NOFOLLOW) == 0 ? Error::None : LastSystemError();
}

Error ReadFindData(const char* path, WIN32_FIND_DATAA* out) {
    if (out == nullptr) return Error::Other;
    std::memset(out, 0, sizeof *out);
    if (!Valid(path)) return Error::NotFound;
    // The search resolves wildcards and the rules of what it finds; the
    // details come from the entry itself, at the system's precision.
    FindData found;
    SearchHandle search = FindOpen(path, SearchKind::All, &found);
    if (search == nullptr) return Error::NotFound;
    FindClose(search);
    const char* lastName = LastName(path);
    const size_t folderLength = size_t(lastName - path);
    const size_t nameLength = std::strlen(found.name);
    if (folderLength + nameLength >= kLongestPath) return Error::NameTooLong;
    char entryPath[kLongestPath];
    std::memcpy(entryPath, path, folderLength);
    std::memcpy(entryPath + folderLength, found.name, nameLength + 1);
    struct statx sx;
    EntryTimes times;
    if (!StatTimes(entryPath, &sx, &times)) return LastSystemError();
    out->dwFileAttributes = posix::AttributesOf(sx.stx_mode, found.name);
    if (IsDotName(found.name)) out->dwFileAttributes = found.attrib;
    out->ftCreationTime = times.creation;
    out->ftLastAccessTime = times.access;
    out->ftLastWriteTime = times.write;
    const uint64_t size = S_ISDIR(sx.stx_mode) ? 0 : sx.stx_size;
    out->nFileSizeHigh = DWORD(size >> 32);
    out->nFileSizeLow = DWORD(size & 0xFFFFFFFFu);
    std::memcpy(out->cFileName, found.name, nameLength + 1);
    return Error::None;
}

Error RemoveFileEntry(const char* path) {
    if (!Valid(path)) return Error::NotFound;
    struct stat st;
    if (lstat(path, &st) != 0) return LastSystemError();
    if (S_ISDIR(st.st_mode)) return Error::IsFolder;
    if (!S_ISLNK(st.st_mode) && IsReadOnlyMode(st.st_mode)) return Error::ReadOnly;
    // unlink never removes a folder, also one that replaced the file meanwhile.
    return unlink(path) == 0 ? Error::None : LastSystemError();
}

namespace {

// Checks an existing target against the rules of a replacing move.
Error CheckReplaceTarget(const char* to) {
    struct stat st;
    if (lstat(to, &st) != 0) return errno == ENOENT ? Error::None : LastSystemError();
    if (S_ISDIR(st.st_mode)) return Error::Exists;
    if (!S_ISLNK(st.st_mode) && IsReadOnlyMode(st.st_mode)) return Error::ReadOnly;
    return Error::None;
}

Error MoveKeepingTarget(const char* from, const char* to) {
#ifdef RENAME_NOREPLACE
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return Error::None;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return LastSystemError();
#endif
    // The file system cannot refuse the replacement itself: look first.
    struct stat st;
    if (lstat(to, &st) == 0) return Error::Exists;
    if (errno != ENOENT) return LastSystemError();
    return rename(from, to) == 0 ? Error::None : LastSystemError();
}

}  // namespace

Error MovePath(const char* from, const char* to, MoveMode mode) {
    if (!Valid(from) || !Valid(to)) return Error::NotFound;
    struct stat source;
    if (lstat(from, &source) != 0) return LastSystemError();
    if (mode == MoveMode::KeepTarget) return MoveKeepingTarget(from, to);
    const Error target = CheckReplaceTarget(to);
    if (target != Error::None) return target;
    return rename(from, to) == 0 ? Error::None : LastSystemError();
}

Error MakeFolder(const char* path) {
    if (!Valid(path)) return Error::NotFound;
    return mkdir(path, 0777) == 0 ? Error::None : LastSystemError();
}

Error RemoveFolder(const char* path) {
    if (!Valid(path)) return Error::NotFound;
    struct stat st;
    if (lstat(path, &st) != 0) return LastSystemError();
    if (!S_ISDIR(st.st_mode)) return Error::NotFolder;
    if (IsReadOnlyMode(st.st_mode)) return Error::ReadOnly;
    if (rmdir(path) == 0) return Error::None;
    return errno == EEXIST ? Error::NotEmpty : LastSystemError();
}

Error FolderOpenError(const char* path) {
    if (path == nullptr) return Error::NotFound;
    const char* folder = path[0] != 0 ? path : ".";
    struct stat st;
    if (stat(folder, &st) != 0) return LastSystemError();
    if (!S_ISDIR(st.st_mode)) return Error::NotFolder;
    const int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return LastSystemError();
    close(fd);
    return Error::None;
}

bool IsFileSystemRoot(const char* path) {
    const char* folder = path == nullptr || path[0] == 0 ? "." : path;
    const int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;  // no folder that can be reached
    struct stat self;
    struct stat parent;
    const bool known = fstat(fd, &self) == 0 && fstatat(fd, "..", &parent, 0) == 0;
    close(fd);
    // The root's ".." is the root itself; a mount point's lies on another device.
    return known && (self.st_dev != parent.st_dev || self.st_ino == parent.st_ino);
}

}  // namespace plat
