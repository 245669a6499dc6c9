#include "support/file_system.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace testsupport {

bool EntryExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int RunWhereRightsBind(const std::string&, int (*)(void*), void*, std::string& why) {
    why = "permissions cannot be made to bind here: Wine maps them onto the host's, and the tests run as root";
    return -1;
}

uint64_t AllocatedBytes(const std::string& path) {
    DWORD high = 0;
    const DWORD low = GetCompressedFileSizeA(path.c_str(), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return UINT64_MAX;
    return (uint64_t(high) << 32) | low;
}

SmallFileSystem::SmallFileSystem(const std::string& dir, uint64_t) : dir_(dir) {
    reason_ = "a small file system cannot be mounted by a test on Windows";
}

SmallFileSystem::~SmallFileSystem() {}

UndeletableFile::UndeletableFile(const std::string& file) : target_(file) {
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        reason_ = "cannot hold the file open";
        return;
    }
    handle_ = handle;
    active_ = true;
}

UndeletableFile::~UndeletableFile() {
    if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
}

ScopedUmask::ScopedUmask(unsigned) {}

ScopedUmask::~ScopedUmask() {}

FileOwner OwnerOf(const std::string&) { return {}; }

bool SetOwner(const std::string&, FileOwner) { return false; }

}  // namespace testsupport
