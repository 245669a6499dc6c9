// File system conditions that tests of file operations need: a small file
// system that fills up, a file that cannot be deleted, the disk space a
// file really takes.
#pragma once

#include <cstdint>
#include <string>

namespace testsupport {

// True when an entry (a link itself, not what it leads to) is at `path`,
// of any length: on POSIX a path longer than the system takes is followed
// folder by folder.
bool EntryExists(const std::string& path);

// Runs `body` where permissions bind: on POSIX as root in a child process
// that owns `dir` (made its owner first) and has dropped root's rights; as
// any other user in this process. The result is body's (0-125); -1 with
// the reason in `why` where the test cannot run it so (Windows, where
// Wine maps permissions onto the host's).
int RunWhereRightsBind(const std::string& dir, int (*body)(void* context), void* context, std::string& why);
// Writes a file of `size` bytes at `relative` below the folder `root`,
// making the folders on the way. `relative` is UTF-8 (on POSIX: the bytes
// the names are to hold) with '/' between names. Neither the path's length
// nor its depth stops it: Windows is given extended-length paths, POSIX
// works from open folders. False when the file could not be made.
bool WriteFileAt(const std::string& root, const std::string& relative, uint64_t size);

// Makes `link` a junction to the folder `target` (Windows; what
// "mklink /J" makes, which needs no rights). "" when made, else why the
// test must skip.
std::string MakeJunctionOrWhy(const std::string& target, const std::string& link);

// Bytes of disk that a file takes (holes take none); UINT64_MAX where the
// system cannot say.
uint64_t AllocatedBytes(const std::string& path);

// A file system of `bytes` mounted on the existing, empty folder `dir`
// while it lives (POSIX, as root). Mounted() false with the reason where
// it cannot be made.
class SmallFileSystem {
public:
    SmallFileSystem(const std::string& dir, uint64_t bytes);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;
    bool Mounted() const { return mounted_; }
    const std::string& Reason() const { return reason_; }

private:
    std::string dir_;
    bool mounted_ = false;
    std::string reason_;
};

// While it lives, `file` cannot be deleted but its attributes can still be
// changed: its folder is made immutable (POSIX) or the file is held open
// without sharing (Windows). Active() false with the reason otherwise.
class UndeletableFile {
public:
    explicit UndeletableFile(const std::string& file);
    ~UndeletableFile();
    UndeletableFile(const UndeletableFile&) = delete;
    UndeletableFile& operator=(const UndeletableFile&) = delete;
    bool Active() const { return active_; }
    const std::string& Reason() const { return reason_; }

private:
    std::string target_;
    [[maybe_unused]] void* handle_ = nullptr;  // Windows: the open file
    bool active_ = false;
    std::string reason_;
};

// POSIX: the process's file-creation mask is `mask` while this lives, and
// the one before afterwards. Nothing on Windows.
class ScopedUmask {
public:
    explicit ScopedUmask(unsigned mask);
    ~ScopedUmask();
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    [[maybe_unused]] unsigned saved_ = 0;
};

// POSIX: the owner and group of a path, links not followed; -1 each where
// they cannot be read, and on Windows.
struct FileOwner {
    long user = -1;
    long group = -1;
};
FileOwner OwnerOf(const std::string& path);
// POSIX: gives a path (links not followed) that owner and group; false
// where the system refuses, and on Windows.
bool SetOwner(const std::string& path, FileOwner owner);

}  // namespace testsupport
