// POSIX backend, file data: open files for copying, with holes kept and
// times carried at the system's own precision. Generic POSIX plus Linux's
// statx and copy_file_range (with a plain read/write fallback).

#include "filelib/platform/file_data.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>
#include <string>

#include "filelib/platform/posix_file_times.h"

namespace plat {

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

// The folder part of a path as the system reads it: '/' is the only
// separator here. Empty for a bare name.
size_t FolderLength(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash == nullptr ? 0 : size_t(slash - path) + 1;
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

bool QueryOpenFile(FileHandle file, uint64_t* length, FileIdentity* identity, FileTimes* times) {
    if (file == nullptr) return false;
    struct statx sx;
    const unsigned mask = STATX_TYPE | STATX_SIZE | STATX_INO | STATX_MTIME | STATX_ATIME | STATX_BTIME;
    if (::statx(file->fd, "", AT_EMPTY_PATH, mask, &sx) != 0) return false;
    if (length != nullptr) *length = sx.stx_size;
    if (identity != nullptr) {
        identity->volume = (uint64_t(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
        identity->index = sx.stx_ino;
    }
    if (times != nullptr) {
        times->write = posix::ToFileTime(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
        times->access = posix::ToFileTime(sx.stx_atime.tv_sec, sx.stx_atime.tv_nsec);
        times->create = (sx.stx_mask & STATX_BTIME) ? posix::ToFileTime(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec)
                                                    : times->write;
    }
    return true;
}

bool QueryPathIdentity(const char* path, FileIdentity* identity) {
    if (path == nullptr || path[0] == 0 || identity == nullptr) return false;
    struct statx sx;
    if (::statx(AT_FDCWD, path, 0, STATX_INO, &sx) != 0) return false;
    identity->volume = (uint64_t(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
    identity->index = sx.stx_ino;
    return true;
}

FileHandle CreateFileBeside(const char* target, char* tempPath, size_t size) {
    if (target == nullptr || tempPath == nullptr || size == 0) return nullptr;
    tempPath[0] = 0;
    const size_t folderLength = FolderLength(target);
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const unsigned long tag = (unsigned long)(::getpid()) * 7919ul + (unsigned long)(++counter) * 104729ul +
                                  (unsigned long)(std::time(nullptr));
        char name[40];
        std::snprintf(name, sizeof name, ".~vks%08lx.tmp", tag & 0xFFFFFFFFul);
        const size_t nameLength = std::strlen(name);
        if (folderLength + nameLength + 1 > size) return nullptr;
        std::memcpy(tempPath, target, folderLength);
        std::memcpy(tempPath + folderLength, name, nameLength + 1);
        // Its owner's alone until it is complete and has its final mode.
        const int fd = ::open(tempPath, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, kPrivateMode);
        if (fd >= 0) {
            FileHandle file = Wrap(fd);
            if (file == nullptr) ::unlink(tempPath);
            if (file == nullptr) tempPath[0] = 0;
            return file;
        }
        if (errno != EEXIST) break;
    }
    tempPath[0] = 0;
    return nullptr;
}

FileHandle OpenForWriting(const char* path) {
    if (path == nullptr || path[0] == 0) return nullptr;
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
    const size_t length = FolderLength(path);
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

