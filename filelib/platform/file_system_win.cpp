// Windows backend, file system: attributes, time stamps and search data of
// one path, removing, moving and making entries, through the Win32 API.
// Nothing else lives here. Must build with MSVC too.

#include "filelib/platform/file_system.h"

#include <cstring>

#include "filelib/platform/system_errors.h"
#include "filelib/platform/win_system.h"

namespace plat {

const char kPathSep = '\\';

namespace {

bool Valid(const char* path) { return path != nullptr && path[0] != 0; }

// The attributes, or the reason why there are none.
Error AttributesOf(const char* path, DWORD* attrib) {
    *attrib = GetFileAttributesA(path);
    return *attrib == INVALID_FILE_ATTRIBUTES ? LastSystemError() : Error::None;
}

}  // namespace

DWORD ReadAttributes(const char* path) {
    if (!Valid(path)) return INVALID_FILE_ATTRIBUTES;
    return GetFileAttributesA(path);
}

Error WriteAttributes(const char* path, DWORD attrib) {
    if (!Valid(path)) return Error::NotFound;
    return SetFileAttributesA(path, attrib) ? Error::None : LastSystemError();
}

Error ReadFileTimes(const char* path, FILETIME* creation, FILETIME* access, FILETIME* write) {
    if (!Valid(path)) return Error::NotFound;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return LastSystemError();
    const bool hasCreation = data.ftCreationTime.dwLowDateTime != 0 || data.ftCreationTime.dwHighDateTime != 0;
    if (creation != nullptr) *creation = hasCreation ? data.ftCreationTime : data.ftLastWriteTime;
    if (access != nullptr) *access = data.ftLastAccessTime;
    if (write != nullptr) *write = data.ftLastWriteTime;
    return Error::None;
}

Error WriteFileTimes(const char* path, const FILETIME* creation, const FILETIME* access, const FILETIME* write) {
    if (!Valid(path)) return Error::NotFound;
    // Writing attributes only: a read-only file takes its times all the
    // same. Backup semantics open folders; links are not followed.
    HANDLE file = CreateFileA(path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return LastSystemError();
    const Error result = SetFileTime(file, creation, access, write) ? Error::None : LastSystemError();
    CloseHandle(file);
    return result;
}

Error ReadFindData(const char* path, WIN32_FIND_DATAA* out) {
    if (out == nullptr) return Error::Other;
    std::memset(out, 0, sizeof *out);
    if (!Valid(path)) return Error::NotFound;
    HANDLE search = FindFirstFileA(path, out);
    if (search == INVALID_HANDLE_VALUE) {
        const Error error = LastSystemError();
        std::memset(out, 0, sizeof *out);
        return error;
    }
    FindClose(search);
    return Error::None;
}

Error RemoveFileEntry(const char* path) {
    if (!Valid(path)) return Error::NotFound;
    DWORD attrib;
    const Error found = AttributesOf(path, &attrib);
    if (found != Error::None) return found;
    if (attrib & FILE_ATTRIBUTE_DIRECTORY) return Error::IsFolder;
    if (attrib & FILE_ATTRIBUTE_READONLY) return Error::ReadOnly;
    return DeleteFileA(path) ? Error::None : LastSystemError();
}

Error MovePath(const char* from, const char* to, MoveMode mode) {
    if (!Valid(from) || !Valid(to)) return Error::NotFound;
    DWORD attrib;
    const Error found = AttributesOf(from, &attrib);
    if (found != Error::None) return found;
    DWORD flags = 0;
    if (mode == MoveMode::ReplaceTarget) {
        const DWORD target = GetFileAttributesA(to);
        if (target != INVALID_FILE_ATTRIBUTES) {
            if (target & FILE_ATTRIBUTE_DIRECTORY) return Error::Exists;
            if (target & FILE_ATTRIBUTE_READONLY) return Error::ReadOnly;
        }
        // Written through: the move has reached the disk when it returns,
        // so a replaced file is not lost to a power cut after it.
        flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    }
    return MoveFileExA(from, to, flags) ? Error::None : LastSystemError();
}

Error FolderOpenError(const char* path) {
    if (path == nullptr) return Error::NotFound;
    const char* folder = path[0] != 0 ? path : ".";
    DWORD attrib = 0;
    const Error error = AttributesOf(folder, &attrib);
    if (error != Error::None) return error;
    if ((attrib & FILE_ATTRIBUTE_DIRECTORY) == 0) return Error::NotFolder;
    // Listing it is what a search does; the attributes of a folder can be
    // readable where its entries are not.
    char pattern[MAX_PATH + 4];
    const size_t length = std::strlen(folder);
    if (length + 3 > sizeof pattern) return Error::NameTooLong;
    std::memcpy(pattern, folder, length);
    const bool endsInSeparator = folder[length - 1] == '\\' || folder[length - 1] == '/' || folder[length - 1] == ':';
    std::strcpy(pattern + length, endsInSeparator ? "*" : "\\*");
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(pattern, &data);
    if (search == INVALID_HANDLE_VALUE) return LastSystemError();
    FindClose(search);
    return Error::None;
}

Error MakeFolder(const char* path) {
    if (!Valid(path)) return Error::NotFound;
    return CreateDirectoryA(path, nullptr) ? Error::None : LastSystemError();
}

Error RemoveFolder(const char* path) {
    if (!Valid(path)) return Error::NotFound;
    DWORD attrib;
    const Error found = AttributesOf(path, &attrib);
    if (found != Error::None) return found;
    if (!(attrib & FILE_ATTRIBUTE_DIRECTORY)) return Error::NotFolder;
    if (attrib & FILE_ATTRIBUTE_READONLY) return Error::ReadOnly;
    return RemoveDirectoryA(path) ? Error::None : LastSystemError();
}

namespace {

// Drops separators at the end, so that "C:\\" and "C:" compare alike.
void TrimSeparators(char* text) {
    size_t length = std::strlen(text);
    while (length > 0 && (text[length - 1] == '\\' || text[length - 1] == '/')) text[--length] = 0;
}

bool IsBareDrive(const char* text) { return text[0] != 0 && text[1] == ':' && text[2] == 0; }

// Drops the "\\?\" prefix of a long full path, where the volume has none.
const char* WithoutLongPrefix(const char* text) {
    return std::strncmp(text, "\\\\?\\", 4) == 0 ? text + 4 : text;
}

// The folder's path with its links and junctions resolved, as the system
// opens it; false where it cannot be opened or said.
bool ResolvedPath(const char* folder, char* out, DWORD size) {
    HANDLE handle = CreateFileA(folder, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const DWORD length = GetFinalPathNameByHandleA(handle, out, size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(handle);
    if (length == 0 || length >= size) return false;
    // A share comes back as "\\?\UNC\server\share": the volume's form is "\\server\share".
    if (std::strncmp(out, "\\\\?\\UNC\\", 8) == 0) std::memmove(out + 2, out + 8, length - 8 + 1);
    return true;
}

}  // namespace

bool IsFileSystemRoot(const char* path) {
    const char* folder = path == nullptr || path[0] == 0 ? "." : path;
    if (IsBareDrive(folder)) return true;
    char full[4 * MAX_PATH];
    if (!ResolvedPath(folder, full, sizeof full)) {
        const DWORD length = GetFullPathNameA(folder, sizeof full, full, nullptr);
        if (length == 0 || length >= sizeof full) return false;
    }
    char volume[4 * MAX_PATH];
    const bool haveVolume = GetVolumePathNameA(full, volume, sizeof volume) != 0;
    TrimSeparators(full);
    // Without the volume's answer a drive's root is still known by its form.
    if (!haveVolume) return IsBareDrive(WithoutLongPrefix(full));
    TrimSeparators(volume);
    return lstrcmpiA(WithoutLongPrefix(full), WithoutLongPrefix(volume)) == 0;
}

}  // namespace plat
