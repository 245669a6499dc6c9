#include "support/file_system.h"
#include "support/process.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <string>
#include <vector>

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
namespace {

std::wstring Widen(const std::string& text, UINT codePage) {
    const int length = MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(length), L'\0');
    if (length > 0) MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), &wide[0], length);
    return wide;
}

// The folder `root` (in the ANSI code page) as an extended-length path.
std::wstring ExtendedPath(const std::string& root) {
    const std::wstring wide = Widen(root, CP_ACP);
    const DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    std::wstring full(length, L'\0');
    full.resize(GetFullPathNameW(wide.c_str(), length, &full[0], nullptr));
    if (full.compare(0, 4, L"\\\\?\\") == 0) return full;
    if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC" + full.substr(1);
    return L"\\\\?\\" + full;
}

}  // namespace

bool WriteFileAt(const std::string& root, const std::string& relative, uint64_t size) {
    std::wstring path = ExtendedPath(root);
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    const std::wstring names = Widen(relative, CP_UTF8);
    size_t start = 0;
    for (size_t slash = names.find(L'/'); slash != std::wstring::npos;
         start = slash + 1, slash = names.find(L'/', start)) {
        path += L'\\' + names.substr(start, slash - start);
        if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    path += L'\\' + names.substr(start);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER length;
    length.QuadPart = LONGLONG(size);
    const bool written = SetFilePointerEx(file, length, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return written;
}

namespace {

// Deletes everything below the extended-length path `folder` and the folder
// itself. A folder link or junction is removed as a link; what it leads to
// is left alone.
void RemoveBelow(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch,
                                     nullptr, 0);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L'\\' + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            const DWORD attrib = entry.dwFileAttributes;
            if ((attrib & FILE_ATTRIBUTE_DIRECTORY) == 0) DeleteFileW(path.c_str());
            else if ((attrib & FILE_ATTRIBUTE_REPARSE_POINT) != 0) RemoveDirectoryW(path.c_str());
            else RemoveBelow(path);
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

void RemoveTree(const std::string& root) {
    if (root.empty()) return;
    const std::wstring folder = ExtendedPath(root);
    if (folder.back() == L'\\') return;  // a drive's or share's root is never a test's tree
    RemoveBelow(folder);
}

std::string MakeJunctionOrWhy(const std::string& target, const std::string& link) {
    const std::wstring folder = ExtendedPath(link);
    if (!CreateDirectoryW(folder.c_str(), nullptr)) return "cannot make the folder " + link;
    // The target as the system's own path (\??\C:\...), then as it is shown.
    const std::wstring shown = ExtendedPath(target).substr(4);
    const std::wstring system = L"\\??\\" + shown;
    const size_t names = (system.size() + 1 + shown.size() + 1) * sizeof(wchar_t);
    struct Header {
        DWORD tag;
        WORD dataLength, reserved;
        WORD systemOffset, systemLength, shownOffset, shownLength;
    } header = {IO_REPARSE_TAG_MOUNT_POINT, WORD(8 + names), 0, 0, WORD(system.size() * sizeof(wchar_t)),
                WORD((system.size() + 1) * sizeof(wchar_t)), WORD(shown.size() * sizeof(wchar_t))};
    std::vector<char> data(sizeof header + names, 0);
    std::memcpy(data.data(), &header, sizeof header);
    std::memcpy(data.data() + sizeof header, system.c_str(), (system.size() + 1) * sizeof(wchar_t));
    std::memcpy(data.data() + sizeof header + (system.size() + 1) * sizeof(wchar_t), shown.c_str(),
                (shown.size() + 1) * sizeof(wchar_t));
    HANDLE handle = CreateFileW(folder.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    DWORD returned = 0;
    const bool made = handle != INVALID_HANDLE_VALUE &&
                      DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, data.data(), DWORD(data.size()), nullptr, 0,
                                      &returned, nullptr);
    const DWORD error = GetLastError();
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    if (made) return "";
    RemoveDirectoryW(folder.c_str());
    return "the system makes no junction here (error " + std::to_string(error) + ")";
}

}  // namespace testsupport
