// POSIX backend, the file system: everything platform.h declares except
// the directory search (search_posix.cpp) and the folder scan (its own
// file): one path's attributes, times and search data, removing, moving
// and making entries, open files for copying, the exclusive-open test, the
// current folder, drives and the network provider, which POSIX stands in
// for. Needs Linux: statx for details and time stamps, copy_file_range to
// copy inside the kernel (read and write where it is refused), renameat2
// to move without replacing (a look first where it is missing), /proc for
// the umask. Logic that Windows shares goes to platform.cpp, not here.

#include "filelib/platform/backend.h"
#include "filelib/platform/name_match.h"
#include "filelib/platform/posix_backend.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>
#include <string>

namespace plat {

const char kPathSep = '/';

// The system takes every path the library handles as it is.
const size_t kLongNameThreshold = SIZE_MAX;

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

bool StatEntry(int dirFd, const char* name, struct statx* sx) {
    const unsigned mask = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_ATIME | STATX_BTIME;
    return statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, mask, sx) == 0;
}

namespace {

FILETIME ToFileTime(const struct statx_timestamp& stamp) {
    int64_t ticks = int64_t(stamp.tv_sec) * kTicksPerSecond + stamp.tv_nsec / 100 + kTicks1601To1970;
    if (ticks < 0) ticks = 0;  // before 1601: FILETIME cannot hold it
    return FileTimeOfTicks(ticks);
}

}  // namespace

FileTimes FileTimesOf(const struct statx& sx) {
    const FILETIME write = ToFileTime(sx.stx_mtime);
    return {(sx.stx_mask & STATX_BTIME) ? ToFileTime(sx.stx_btime) : write, ToFileTime(sx.stx_atime), write};
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

size_t FolderPartLength(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash == nullptr ? 0 : size_t(slash - path) + 1;
}

// ------------------------------------------------------------ one path

namespace {

const char* LastName(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

bool StatTimes(const char* path, struct statx* sx, FileTimes* times) {
    if (!posix::StatEntry(AT_FDCWD, path, sx)) return false;
    *times = posix::FileTimesOf(*sx);
    return true;
}

bool IsReadOnlyMode(mode_t mode) { return (mode & S_IWUSR) == 0; }

}  // namespace

DWORD ReadAttributes(const char* path) {
    if (!IsGivenPath(path)) return INVALID_FILE_ATTRIBUTES;
    struct stat st;
    if (lstat(path, &st) != 0) return INVALID_FILE_ATTRIBUTES;
    return posix::AttributesOf(st.st_mode, LastName(path));
}

Error WriteAttributes(const char* path, DWORD attrib) {
    if (!IsGivenPath(path)) return Error::NotFound;
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
    if (!IsGivenPath(path)) return Error::NotFound;
    struct statx sx;
    FileTimes times;
    if (!StatTimes(path, &sx, &times)) return LastSystemError();
    if (creation != nullptr) *creation = times.create;
    if (access != nullptr) *access = times.access;
    if (write != nullptr) *write = times.write;
    return Error::None;
}

Error WriteFileTimes(const char* path, const FILETIME* /*creation: not settable here*/, const FILETIME* access,
                     const FILETIME* write) {
    if (!IsGivenPath(path)) return Error::NotFound;
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
    if (!IsGivenPath(path)) return Error::NotFound;
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
    FileTimes times;
    if (!StatTimes(entryPath, &sx, &times)) return LastSystemError();
    out->dwFileAttributes = posix::AttributesOf(sx.stx_mode, found.name);
    if (IsDotName(found.name)) out->dwFileAttributes = found.attrib;
    out->ftCreationTime = times.create;
    out->ftLastAccessTime = times.access;
    out->ftLastWriteTime = times.write;
    const uint64_t size = S_ISDIR(sx.stx_mode) ? 0 : sx.stx_size;
    out->nFileSizeHigh = DWORD(size >> 32);
    out->nFileSizeLow = DWORD(size & 0xFFFFFFFFu);
    std::memcpy(out->cFileName, found.name, nameLength + 1);
    return Error::None;
}

namespace {

EntryState StateOf(const struct stat& st) {
    return {S_ISDIR(st.st_mode), !S_ISLNK(st.st_mode) && IsReadOnlyMode(st.st_mode)};
}

}  // namespace

Error ReadEntryState(const char* path, EntryState* state) {
    struct stat st;
    if (lstat(path, &st) != 0) return LastSystemError();
    *state = StateOf(st);
    return Error::None;
}

Error ReadReplaceTarget(const char* path, bool* exists, EntryState* state) {
    struct stat st;
    *exists = lstat(path, &st) == 0;
    if (!*exists) return errno == ENOENT ? Error::None : LastSystemError();
    *state = StateOf(st);
    return Error::None;
}

// unlink never removes a folder, also one that replaced the file meanwhile.
Error RemoveFileNow(const char* path) { return unlink(path) == 0 ? Error::None : LastSystemError(); }

Error RemoveFolderNow(const char* path) {
    if (rmdir(path) == 0) return Error::None;
    return errno == EEXIST ? Error::NotEmpty : LastSystemError();
}

namespace {

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

Error MoveNow(const char* from, const char* to, MoveMode mode) {
    if (mode == MoveMode::KeepTarget) return MoveKeepingTarget(from, to);
    return rename(from, to) == 0 ? Error::None : LastSystemError();
}

Error MakeFolder(const char* path) {
    if (!IsGivenPath(path)) return Error::NotFound;
    return mkdir(path, 0777) == 0 ? Error::None : LastSystemError();
}

Error FolderOpenError(const char* path) {
    if (path == nullptr) return Error::NotFound;
    const char* folder = FolderOrCurrent(path);
    struct stat st;
    if (stat(folder, &st) != 0) return LastSystemError();
    if (!S_ISDIR(st.st_mode)) return Error::NotFolder;
    const int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return LastSystemError();
    close(fd);
    return Error::None;
}

bool IsFileSystemRoot(const char* path) {
    const char* folder = path == nullptr ? "." : FolderOrCurrent(path);
    const int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;  // no folder that can be reached
    struct stat self;
    struct stat parent;
    const bool known = fstat(fd, &self) == 0 && fstatat(fd, "..", &parent, 0) == 0;
    close(fd);
    // The root's ".." is the root itself; a mount point's lies on another device.
    return known && (self.st_dev != parent.st_dev || self.st_ino == parent.st_ino);
}

// ------------------------------------------------------ the exclusive-open test

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
    if (!IsGivenPath(path)) return Error::NotFound;
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

// ------------------------------------------------ current folder and drive

int GetCurrentDrive() { return 0; }

Error SetCurrentDrive(int /*drive*/) { return Error::None; }

bool ReadCurrentDir(char* buf, size_t size) { return getcwd(buf, size) != nullptr; }

Error ChangeDir(const char* path) {
    if (!IsGivenPath(path)) return Error::NotFound;
    if (chdir(path) == 0) return Error::None;
    const Error error = LastSystemError();
    // A file named as the folder, not a missing one, as Windows tells them.
    struct stat st;
    if (errno == ENOTDIR && lstat(path, &st) == 0 && !S_ISDIR(st.st_mode)) return Error::NotFolder;
    return error;
}

// ------------------------------------------------ drives and network

Error FreeBytesForCaller(const char* /*drive*/, uint64_t* bytes) {
    if (bytes != nullptr) *bytes = 0;
    return Error::NotFound;
}

namespace {

// Without drive letters there are no remembered mappings.
class NoMappings : public NetProvider {
public:
    long GetConnection(const char*, char* remote, DWORD*) override {
        if (remote != nullptr) remote[0] = 0;
        return 2250L;  // ERROR_NOT_CONNECTED
    }
    long AddConnection(const char*, const char*) override { return 2250L; }
    unsigned QueryDriveType(const char*) override { return DRIVE_NO_ROOT_DIR; }
};

}  // namespace

NetProvider& SystemNetProvider() {
    static NoMappings noMappings;
    return noMappings;
}

// ------------------------------------------------------ file data

struct OpenFile {
    int fd = -1;
};

namespace {

FileHandle Wrap(int fd) {
    if (fd < 0) return nullptr;
    OpenFile* file = new (std::nothrow) OpenFile;
    if (file == nullptr) {
        ::close(fd);
        return nullptr;
    }
    file->fd = fd;
    return file;
}

// Small files are copied in one piece: looking for their holes costs more
// than it could save.
constexpr uint64_t kHoleSearchFrom = 128 * 1024;

char g_copyBuffer[1 << 20];

bool WriteAll(int fd, const char* data, size_t length, off_t offset) {
    while (length > 0) {
        const ssize_t written = ::pwrite(fd, data, length, offset);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (written == 0) return false;
        data += written;
        length -= size_t(written);
        offset += written;
    }
    return true;
}

bool CopyRangeByReading(int in, int out, off_t offset, uint64_t length) {
    while (length > 0) {
        const size_t want = length < sizeof g_copyBuffer ? size_t(length) : sizeof g_copyBuffer;
        const ssize_t got = ::pread(in, g_copyBuffer, want, offset);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (got == 0) return false;  // the source ended early
        if (!WriteAll(out, g_copyBuffer, size_t(got), offset)) return false;
        offset += got;
        length -= uint64_t(got);
    }
    return true;
}

// Copies [offset, offset + length) to the same place in `out`, inside the
// kernel where it can.
bool CopyRange(int in, int out, off_t offset, uint64_t length) {
    off_t inOffset = offset, outOffset = offset;
    while (length > 0) {
        const size_t want = length < (uint64_t(1) << 30) ? size_t(length) : size_t(1) << 30;
        const ssize_t copied = ::copy_file_range(in, &inOffset, out, &outOffset, want, 0);
        if (copied < 0) {
            if (errno == EINTR) continue;
            // Not offered for this pair of files: copy through memory.
            if (errno == ENOSYS || errno == EXDEV || errno == EINVAL || errno == EOPNOTSUPP || errno == ENOTSUP)
                return CopyRangeByReading(in, out, inOffset, length);
            return false;
        }
        if (copied == 0) return false;  // the source ended early
        length -= uint64_t(copied);
    }
    return true;
}

// Start of the next data at or after `offset`, or `length` when only a
// hole follows. A file system without hole search is all data.
off_t NextData(int fd, off_t offset, uint64_t length, bool* failed) {
    const off_t data = ::lseek(fd, offset, SEEK_DATA);
    if (data >= 0) return data < off_t(length) ? data : off_t(length);
    if (errno == ENXIO) return off_t(length);
    if (errno == EINVAL || errno == EOPNOTSUPP || errno == ENOTSUP) return offset;
    *failed = true;
    return off_t(length);
}

off_t NextHole(int fd, off_t offset, uint64_t length) {
    const off_t hole = ::lseek(fd, offset, SEEK_HOLE);
    if (hole < 0 || hole > off_t(length)) return off_t(length);
    return hole;
}

// What a file being written is until it has its final mode: its owner's alone.
constexpr mode_t kPrivateMode = 0600;

// The process's file-creation mask. Linux shows it in /proc without
// changing it; elsewhere it is read by setting it and back, which the
// library, single-threaded, may do.
mode_t CurrentUmask() {
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status) != nullptr)
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found) return mode_t(mask & 0777);
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

// Gives an open file an owner and group. Only root may give a file away;
// then, as cp does, the group alone is tried, and the file counts as not
// given. True when both were given.
bool GiveOwner(int fd, uid_t owner, gid_t group) {
    if (::fchown(fd, owner, group) == 0) return true;
    if (::fchown(fd, uid_t(-1), group) != 0) {
        // Not a group of the process: the file keeps the process's.
    }
    return false;
}

}  // namespace

FileHandle OpenForReading(const char* path) {
    if (path == nullptr) return nullptr;
    int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return Wrap(fd);
}

namespace {

FileIdentity IdentityOf(const struct statx& sx) {
    return {(uint64_t(sx.stx_dev_major) << 32) | sx.stx_dev_minor, sx.stx_ino};
}

}  // namespace

bool QueryOpenFile(FileHandle file, uint64_t* length, FileIdentity* identity, FileTimes* times) {
    if (file == nullptr) return false;
    struct statx sx;
    const unsigned mask = STATX_TYPE | STATX_SIZE | STATX_INO | STATX_MTIME | STATX_ATIME | STATX_BTIME;
    if (::statx(file->fd, "", AT_EMPTY_PATH, mask, &sx) != 0) return false;
    if (length != nullptr) *length = sx.stx_size;
    if (identity != nullptr) *identity = IdentityOf(sx);
    if (times != nullptr) *times = posix::FileTimesOf(sx);
    return true;
}

bool QueryPathIdentity(const char* path, FileIdentity* identity) {
    if (!IsGivenPath(path) || identity == nullptr) return false;
    struct statx sx;
    if (::statx(AT_FDCWD, path, 0, STATX_INO, &sx) != 0) return false;
    *identity = IdentityOf(sx);
    return true;
}

const char kTempNamePrefix[] = ".~vks";  // hidden, as its dot says here
const size_t kLongestNewPath = kLongestPath;

uint32_t TempNameSeed() { return uint32_t(::getpid()) * 7919u + uint32_t(std::time(nullptr)); }

FileHandle CreateNewFile(const char* path, const char* /*target*/, bool* taken) {
    // Its owner's alone until it is complete and has its final mode.
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, kPrivateMode);
    if (fd < 0) {
        *taken = errno == EEXIST;
        return nullptr;
    }
    FileHandle file = Wrap(fd);
    if (file == nullptr) ::unlink(path);
    return file;
}

FileHandle OpenForWriting(const char* path) {
    if (!IsGivenPath(path)) return nullptr;
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, kPrivateMode);
    struct stat st;
    if (fd >= 0 && ::fstat(fd, &st) == 0 && (st.st_mode & 077) != 0) {
        // An existing file is written in place: its old mode need not fit
        // the new content, so it is its owner's alone until the copy is
        // given its access.
        if (::fchmod(fd, st.st_mode & 0700) != 0) {
            // Only the owner (or root) may narrow it; the data still goes in.
        }
    }
    return Wrap(fd);
}

void GiveCopyAccess(FileHandle copy, FileHandle source, const char* target, CopyAccess access) {
    struct stat from;
    if (copy == nullptr || source == nullptr || ::fstat(source->fd, &from) != 0) return;  // stays private
    mode_t mode = from.st_mode & 07777;
    bool owned = false;
    if (access == CopyAccess::Source) {
        owned = GiveOwner(copy->fd, from.st_uid, from.st_gid);
    } else {
        mode = (mode & 0777 & ~CurrentUmask()) | S_IWUSR;
        struct stat replaced;
        if (target != nullptr && ::stat(target, &replaced) == 0 && S_ISREG(replaced.st_mode))
            GiveOwner(copy->fd, replaced.st_uid, replaced.st_gid);
    }
    // Set-id bits on a file that someone else owns would run it as that
    // someone else. The mode comes after the owner, whose change clears them.
    if (!owned) mode &= mode_t(~(S_ISUID | S_ISGID | S_ISVTX));
    if (::fchmod(copy->fd, mode) != 0) {
        // A file system without modes (FAT) keeps the narrow one it gave.
    }
}

bool FlushFile(FileHandle file) {
    if (file == nullptr) return false;
    return ::fsync(file->fd) == 0 || errno == EINVAL;  // EINVAL: a file that cannot be flushed
}

bool FlushFolderOf(const char* path) {
    if (path == nullptr) return false;
    const size_t length = FolderPartLength(path);
    std::string folder = length == 0 ? std::string(".") : std::string(path, length);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    // Some file systems cannot flush a folder (EINVAL): their entries are
    // as safe as they get.
    const bool flushed = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return flushed;
}

bool CopyFileData(FileHandle source, FileHandle dest, uint64_t length) {
    if (source == nullptr || dest == nullptr) return false;
    const int in = source->fd, out = dest->fd;
    if (length < kHoleSearchFrom) return CopyRange(in, out, 0, length);
    // The hole search would take a missing end for a hole.
    struct stat st;
    if (::fstat(in, &st) != 0 || uint64_t(st.st_size) < length) return false;
    bool failed = false;
    off_t offset = 0;
    while (uint64_t(offset) < length) {
        const off_t data = NextData(in, offset, length, &failed);
        if (failed) return false;
        if (uint64_t(data) >= length) break;
        const off_t hole = NextHole(in, data, length);
        if (!CopyRange(in, out, data, uint64_t(hole - data))) return false;
        offset = hole;
    }
    // A hole at the end leaves nothing written there: the length says it.
    return ::ftruncate(out, off_t(length)) == 0;
}

bool SetOpenFileTimes(FileHandle file, const FileTimes& times) {
    if (file == nullptr) return false;
    const timespec stamps[2] = {posix::ToTimespec(&times.access), posix::ToTimespec(&times.write)};
    return ::futimens(file->fd, stamps) == 0;
}

bool CloseFile(FileHandle file) {
    if (file == nullptr) return false;
    const bool closed = ::close(file->fd) == 0;
    delete file;
    return closed;
}

}  // namespace plat
