// Windows backend, file data: open files for copying, with the times and
// identities that the system keeps. Win32 only; builds with MSVC as well.

#include "filelib/platform/file_data.h"

#include "filelib/platform/win_system.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace plat {

struct OpenFile {
    HANDLE handle = INVALID_HANDLE_VALUE;
};

namespace {

FileHandle Wrap(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    OpenFile* file = new (std::nothrow) OpenFile;
    if (file == nullptr) {
        CloseHandle(handle);
        return nullptr;
    }
    file->handle = handle;
    return file;
}

bool IsZero(const FILETIME& ft) { return ft.dwLowDateTime == 0 && ft.dwHighDateTime == 0; }

size_t FolderLength(const char* path) {
    const char* sep = std::strrchr(path, '\\');
    const char* slash = std::strrchr(path, '/');
    if (slash != nullptr && (sep == nullptr || slash > sep)) sep = slash;
    if (sep == nullptr && path[0] != 0 && path[1] == ':') return 2;  // "C:name"
    return sep == nullptr ? 0 : size_t(sep - path) + 1;
}

const DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                              FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

const DWORD kCopyChunk = 1 << 20;

bool WriteAll(HANDLE out, const char* data, DWORD length) {
    while (length > 0) {
        DWORD written = 0;
        if (!WriteFile(out, data, length, &written, nullptr) || written == 0) return false;
        data += written;
        length -= written;
    }
    return true;
}

}  // namespace

FileHandle OpenForReading(const char* path) {
    if (path == nullptr || path[0] == 0) return nullptr;
    // Folders need backup semantics to open, so they are refused here.
    return Wrap(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

bool QueryOpenFile(FileHandle file, uint64_t* length, FileIdentity* identity, FileTimes* times) {
    if (file == nullptr) return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file->handle, &info)) return false;
    if (length != nullptr) *length = (uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (identity != nullptr) {
        identity->volume = info.dwVolumeSerialNumber;
        identity->index = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    }
    if (times != nullptr) {
        times->write = info.ftLastWriteTime;
        times->access = IsZero(info.ftLastAccessTime) ? info.ftLastWriteTime : info.ftLastAccessTime;
        times->create = IsZero(info.ftCreationTime) ? info.ftLastWriteTime : info.ftCreationTime;
    }
    return true;
}

bool QueryPathIdentity(const char* path, FileIdentity* identity) {
    if (path == nullptr || path[0] == 0 || identity == nullptr) return false;
    HANDLE handle = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    if (!known) return false;
    identity->volume = info.dwVolumeSerialNumber;
    identity->index = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

FileHandle CreateFileBeside(const char* target, char* tempPath, size_t size) {
    if (target == nullptr || tempPath == nullptr || size == 0) return nullptr;
    tempPath[0] = 0;
    const size_t folderLength = FolderLength(target);
    DWORD attributes = GetFileAttributesA(target);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) attributes = 0;
    attributes &= kKeptAttributes;
    if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const unsigned tag = unsigned(GetCurrentProcessId()) * 7919u + (++counter) * 104729u + unsigned(GetTickCount());
        char name[40];
        std::snprintf(name, sizeof name, "~vks%08x.tmp", tag);
        const size_t nameLength = std::strlen(name);
        if (folderLength + nameLength + 1 > size || folderLength + nameLength >= MAX_PATH) return nullptr;
        std::memcpy(tempPath, target, folderLength);
        std::memcpy(tempPath + folderLength, name, nameLength + 1);
        HANDLE handle = CreateFileA(tempPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            FileHandle file = Wrap(handle);
            if (file == nullptr) {
                DeleteFileA(tempPath);
                tempPath[0] = 0;
            }
            return file;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    tempPath[0] = 0;
    return nullptr;
}

FileHandle OpenForWriting(const char* path) {
    if (path == nullptr || path[0] == 0) return nullptr;
    // OPEN_ALWAYS and a cut to length 0, so that a hidden or system file
    // is written as the runtime's "wb" would write it.
    HANDLE handle = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    if (!SetEndOfFile(handle)) {
        CloseHandle(handle);
        return nullptr;
    }
    return Wrap(handle);
}

void GiveCopyAccess(FileHandle, FileHandle, const char*, CopyAccess) {
    // A new file inherits its folder's security; the attributes are
    // carried by the attribute calls.
}

bool FlushFile(FileHandle file) {
    if (file == nullptr) return false;
    return FlushFileBuffers(file->handle) != 0;
}

bool FlushFolderOf(const char*) {
    return true;  // the replacing move is written through
}

bool CopyFileData(FileHandle source, FileHandle dest, uint64_t length) {
    if (source == nullptr || dest == nullptr) return false;
    char* buffer = new (std::nothrow) char[kCopyChunk];
    if (buffer == nullptr) return false;
    bool ok = true;
    while (ok && length > 0) {
        const DWORD want = length < kCopyChunk ? DWORD(length) : kCopyChunk;
        DWORD got = 0;
        ok = ReadFile(source->handle, buffer, want, &got, nullptr) && got > 0 && WriteAll(dest->handle, buffer, got);
        length -= got;
    }
    delete[] buffer;
    return ok;
}

bool SetOpenFileTimes(FileHandle file, const FileTimes& times) {
    if (file == nullptr) return false;
    return SetFileTime(file->handle, &times.create, &times.access, &times.write) != 0;
}

bool CloseFile(FileHandle file) {
    if (file == nullptr) return false;
    const bool closed = CloseHandle(file->handle) != 0;
    delete file;
    return closed;
}

}  // namespace plat

