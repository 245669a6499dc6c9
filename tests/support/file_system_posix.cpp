#include "support/file_system.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace testsupport {

bool EntryExists(const std::string& path) {
    if (path.empty()) return false;
    int dir = path[0] == '/' ? ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC) : AT_FDCWD;
    size_t start = path[0] == '/' ? 1 : 0;
    for (;;) {
        const size_t end = path.find('/', start);
        const std::string part = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        struct stat st;
        bool found = false;
        int next = -1;
        if (end == std::string::npos || end + 1 == path.size()) {
            found = ::fstatat(dir, part.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
        } else {
            next = ::openat(dir, part.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        }
        if (dir != AT_FDCWD) ::close(dir);
        if (end == std::string::npos || end + 1 == path.size()) return found;
        if (next < 0) return false;
        dir = next;
        start = end + 1;
    }
}

int RunWhereRightsBind(const std::string& dir, int (*body)(void* context), void* context, std::string& why) {
    if (::geteuid() != 0) return body(context);
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) {
        why = std::string("cannot start a child process: ") + std::strerror(errno);
        return -1;
    }
    if (child == 0) {
        const std::string own = "chown -R 65534:65534 '" + dir + "'";
        if (std::system(own.c_str()) != 0 || ::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 ||
            ::setuid(65534) != 0)
            _exit(126);
        _exit(body(context) & 0x7F);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) >= 126) {
        why = "the child process could not drop root's rights";
        return -1;
    }
    return WEXITSTATUS(status);
}

namespace {

// Sets or clears the immutable flag; false with the reason when it cannot.
bool SetImmutable(const std::string& path, bool on, std::string* reason) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *reason = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    if (!ok) *reason = std::string("the file system keeps no immutable flag here: ") + std::strerror(errno);
    ::close(fd);
    return ok;
}

}  // namespace

uint64_t AllocatedBytes(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return UINT64_MAX;
    return uint64_t(st.st_blocks) * 512u;
}

SmallFileSystem::SmallFileSystem(const std::string& dir, uint64_t bytes) : dir_(dir) {
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
    if (::mount("tmpfs", dir.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0) {
        mounted_ = true;
    } else {
        reason_ = std::string("cannot mount a small tmpfs (needs root in a system that allows mounts): ") +
                  std::strerror(errno);
    }
}

SmallFileSystem::~SmallFileSystem() {
    if (mounted_) ::umount2(dir_.c_str(), MNT_DETACH);
}

UndeletableFile::UndeletableFile(const std::string& file) {
    const size_t slash = file.rfind('/');
    target_ = slash == std::string::npos ? "." : file.substr(0, slash);
    active_ = SetImmutable(target_, true, &reason_);
}

UndeletableFile::~UndeletableFile() {
    std::string ignored;
    if (active_) SetImmutable(target_, false, &ignored);
}

ScopedUmask::ScopedUmask(unsigned mask) : saved_(::umask(mode_t(mask))) {}

ScopedUmask::~ScopedUmask() { ::umask(mode_t(saved_)); }

FileOwner OwnerOf(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return {};
    return {long(st.st_uid), long(st.st_gid)};
}

bool SetOwner(const std::string& path, FileOwner owner) {
    return ::lchown(path.c_str(), uid_t(owner.user), gid_t(owner.group)) == 0;
}
bool WriteFileAt(const std::string& root, const std::string& relative, uint64_t size) {
    int folder = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    size_t start = 0;
    for (size_t slash = relative.find('/'); folder >= 0 && slash != std::string::npos;
         start = slash + 1, slash = relative.find('/', start)) {
        const std::string name = relative.substr(start, slash - start);
        if (::mkdirat(folder, name.c_str(), 0755) != 0 && errno != EEXIST) break;
        const int next = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(folder);
        folder = next;
    }
    if (folder < 0) return false;
    const bool folders = relative.find('/', start) == std::string::npos;
    const int file = folders ? ::openat(folder, relative.c_str() + start, O_WRONLY | O_CREAT | O_CLOEXEC, 0644) : -1;
    ::close(folder);
    if (file < 0) return false;
    const bool written = ::ftruncate(file, off_t(size)) == 0;
    ::close(file);
    return written;
}

std::string MakeJunctionOrWhy(const std::string&, const std::string&) { return "junctions are a Windows matter"; }

}  // namespace testsupport
