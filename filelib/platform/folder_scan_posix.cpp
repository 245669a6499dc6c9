// POSIX backend, the size walk's folder scan (folder_scan.h) and nothing
// else. Needs Linux: getdents64 to read a folder, statx for an entry's
// type and length, openat2 to tell a mount root (a plain openat where the
// system refuses it), /sys for the disk's kind. Each open folder is one
// descriptor and nothing else; a read uses a buffer on its caller's stack,
// so any number of threads may scan folders at once.

#include "filelib/platform/backend.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

#include "filelib/platform/name_match.h"
#include "filelib/platform/posix_backend.h"

namespace plat {

struct ScanFolder {
    int fd;
};

namespace {

using posix::LinuxDirent64;

// What the system can do, learnt once; not state of any walk.
std::atomic<bool> g_openat2Refused{false};

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

Error Opened(int fd, ScanFolder** out) {
    if (fd < 0) return LastSystemError();
    *out = new (std::nothrow) ScanFolder{fd};
    if (*out != nullptr) return Error::None;
    close(fd);
    return Error::Other;
}

// openat2 with RESOLVE_NO_XDEV refuses a mount root with EXDEV: that tells
// a mount root from a plain subfolder without asking anything more. -1 with
// *mountRoot set: open it the plain way.
int OpenWithinMount(int dirFd, const char* name, bool* mountRoot) {
    *mountRoot = true;
    if (g_openat2Refused.load(std::memory_order_relaxed)) return -1;
    struct open_how how;
    std::memset(&how, 0, sizeof how);
    how.flags = kFolderFlags;
    how.resolve = RESOLVE_NO_XDEV;
    const long fd = syscall(SYS_openat2, dirFd, name, &how, sizeof how);
    if (fd >= 0) {
        *mountRoot = false;
        return int(fd);
    }
    if (errno == ENOSYS || errno == EPERM || errno == EINVAL || errno == E2BIG)
        g_openat2Refused.store(true, std::memory_order_relaxed);
    else if (errno != EXDEV)
        *mountRoot = false;  // a real failure, which the plain open repeats
    return -1;
}

}  // namespace

std::string ScanNameText(const ScanName& name) { return name; }

Error OpenScanTop(const char* path, ScanFolder** out) {
    *out = nullptr;
    if (path == nullptr) return Error::NotFound;
    const char* folder = FolderOrCurrent(path);
    const int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);  // a link named here is followed
    if (fd < 0 && errno == ENOTDIR) {
        struct stat st;
        if (stat(folder, &st) == 0 && !S_ISDIR(st.st_mode)) return Error::NotFolder;
    }
    return Opened(fd, out);
}

Error OpenScanSubfolder(ScanFolder* parent, const ScanName& name, ScanFolder** out, bool* mayLeadBack) {
    *out = nullptr;
    *mayLeadBack = true;
    if (name.empty() || name.find('/') != ScanName::npos || name.find('\0') != ScanName::npos || name == "." ||
        name == "..")
        return Error::InvalidName;
    int fd = OpenWithinMount(parent->fd, name.c_str(), mayLeadBack);
    if (fd < 0 && *mayLeadBack) fd = openat(parent->fd, name.c_str(), kFolderFlags);
    // The name is an entry of parent: a file or a link stands in its place.
    if (fd < 0 && (errno == ENOTDIR || errno == ELOOP)) return Error::NotFolder;
    return Opened(fd, out);
}

bool ReadScanIdentity(ScanFolder* folder, ScanIdentity* out) {
    struct stat st;
    if (fstat(folder->fd, &st) != 0) return false;
    out->volume = uint64_t(st.st_dev);
    out->index = uint64_t(st.st_ino);
    out->known = true;
    return true;
}

Error ReadScanFolder(ScanFolder* folder, ScanTotals* totals, SubfolderSink& subfolders) {
    alignas(8) char buffer[posix::kReadBufferSize];
    for (;;) {
        const long got = syscall(SYS_getdents64, folder->fd, buffer, sizeof buffer);
        if (got == 0) return Error::None;
        if (got < 0) return LastSystemError();
        for (long pos = 0; pos < got;) {
            const auto* entry = reinterpret_cast<const LinuxDirent64*>(buffer + pos);
            pos += entry->d_reclen;
            const char* name = entry->d_name;
            if (name[0] == '.' && IsDotName(name)) continue;
            bool isFolder = entry->d_type == DT_DIR;
            if (!isFolder) {
                // Asked even of a file by its record: a file system may give no types.
                uint64_t size = 0;
                if (!posix::StatTypeAndSize(folder->fd, name, &isFolder, &size)) continue;  // vanished meanwhile
                if (!isFolder) {
                    ++totals->files;
                    totals->bytes += size;
                    continue;
                }
            }
            const size_t room = entry->d_reclen - offsetof(LinuxDirent64, d_name);
            subfolders.Subfolder(name, strnlen(name, room));
        }
    }
}

void CloseScanFolder(ScanFolder* folder) {
    if (folder == nullptr) return;
    close(folder->fd);
    delete folder;
}

int ScanFolderLimit() {
    // Counting the open descriptors costs one call each: look no further
    // than a walk would ever want.
    constexpr rlim_t kMostAsked = 4096;
    struct rlimit limit;
    rlim_t allowed = kMostAsked;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < allowed)
        allowed = limit.rlim_cur;
    int free = 0;
    for (rlim_t fd = 0; fd < allowed; ++fd) {
        if (fcntl(int(fd), F_GETFD) < 0) ++free;
    }
    return free > 0 ? free : 1;
}

bool ScanIsOnRotatingDisk(ScanFolder* folder) {
    struct stat st;
    if (fstat(folder->fd, &st) != 0) return false;
    char device[64];
    std::snprintf(device, sizeof device, "/sys/dev/block/%u:%u", major(st.st_dev), minor(st.st_dev));
    // A virtual machine's disk says it rotates whatever lies beneath it.
    char* real = realpath(device, nullptr);
    if (real == nullptr) return false;
    std::string disk = real;
    std::free(real);
    if (disk.find("/virtio") != std::string::npos) return false;
    // A partition has no queue of its own: its disk's is one level up.
    for (const char* where : {"/queue/rotational", "/../queue/rotational"}) {
        if (FILE* file = std::fopen((disk + where).c_str(), "re")) {
            const int flag = std::fgetc(file);
            std::fclose(file);
            return flag == '1';
        }
    }
    return false;
}

double ScanCpuSeconds() {
    struct timespec used;
    if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used) != 0) return 0.0;
    return double(used.tv_sec) + double(used.tv_nsec) / 1e9;
}

long ScanThreadWaits() {
    struct rusage usage;
    if (getrusage(RUSAGE_THREAD, &usage) != 0) return -1;
    return usage.ru_nvcsw;  // the involuntary switches are the processor's
}

}  // namespace plat
