// Windows backend, the file system: everything platform.h declares except
// the directory search (search_win.cpp) and the folder scan (its own
// file): one path's attributes, times and search data, removing, moving
// and making entries, open files for copying, the exclusive-open test, the
// current folder and drive, free space and the network provider, through
// the Win32 API and the C runtime. Must build with mingw-w64 and MSVC
// alike: no GNU-only constructs. Logic that POSIX shares goes to
// platform.cpp, not here.

#include "filelib/platform/backend.h"

#include <direct.h>
#include <winnetwk.h>

#include <cstdio>
#include <cstring>
#include <new>

namespace plat {

const char kPathSep = '\\';

// Longer paths than this reach the system's 260-character limit with a name.
const size_t kLongNameThreshold = 255;

// ------------------------------------------------------------ one path

namespace {

// The attributes, or the reason why there are none.
Error AttributesOf(const char* path, DWORD* attrib) {
    *attrib = GetFileAttributesA(path);
    return *attrib == INVALID_FILE_ATTRIBUTES ? LastSystemError() : Error::None;
}

}  // namespace

DWORD ReadAttributes(const char* path) {
    if (!IsGivenPath(path)) return INVALID_FILE_ATTRIBUTES;
    return GetFileAttributesA(path);
}

Error WriteAttributes(const char* path, DWORD attrib) {
    if (!IsGivenPath(path)) return Error::NotFound;
    return SetFileAttributesA(path, attrib) ? Error::None : LastSystemError();
}

Error ReadFileTimes(const char* path, FILETIME* creation, FILETIME* access, FILETIME* write) {
    if (!IsGivenPath(path)) return Error::NotFound;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return LastSystemError();
    if (creation != nullptr) *creation = OrWriteTime(data.ftCreationTime, data.ftLastWriteTime);
    if (access != nullptr) *access = data.ftLastAccessTime;
    if (write != nullptr) *write = data.ftLastWriteTime;
    return Error::None;
}

Error WriteFileTimes(const char* path, const FILETIME* creation, const FILETIME* access, const FILETIME* write) {
    if (!IsGivenPath(path)) return Error::NotFound;
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
    if (!IsGivenPath(path)) return Error::NotFound;
    HANDLE search = FindFirstFileA(path, out);
    if (search == INVALID_HANDLE_VALUE) {
        const Error error = LastSystemError();
        std::memset(out, 0, sizeof *out);
        return error;
    }
    ::FindClose(search);
    return Error::None;
}

Error ReadEntryState(const char* path, EntryState* state) {
    DWORD attrib;
    const Error found = AttributesOf(path, &attrib);
    if (found != Error::None) return found;
    *state = {(attrib & FILE_ATTRIBUTE_DIRECTORY) != 0, (attrib & FILE_ATTRIBUTE_READONLY) != 0};
    return Error::None;
}

Error ReadReplaceTarget(const char* path, bool* exists, EntryState* state) {
    *exists = ReadEntryState(path, state) == Error::None;
    return Error::None;
}

Error RemoveFileNow(const char* path) { return DeleteFileA(path) ? Error::None : LastSystemError(); }

Error RemoveFolderNow(const char* path) { return RemoveDirectoryA(path) ? Error::None : LastSystemError(); }

Error MoveNow(const char* from, const char* to, MoveMode mode) {
    // A replacing move is written through: it has reached the disk when it
    // returns, so a replaced file is not lost to a power cut after it.
    const DWORD flags = mode == MoveMode::ReplaceTarget ? MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH : 0;
    return MoveFileExA(from, to, flags) ? Error::None : LastSystemError();
}

Error FolderOpenError(const char* path) {
    if (path == nullptr) return Error::NotFound;
    const char* folder = FolderOrCurrent(path);
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
    ::FindClose(search);
    return Error::None;
}

Error MakeFolder(const char* path) {
    if (!IsGivenPath(path)) return Error::NotFound;
    return CreateDirectoryA(path, nullptr) ? Error::None : LastSystemError();
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
    HANDLE handle = OpenForQuestions(folder, FILE_READ_ATTRIBUTES);
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
    const char* folder = path == nullptr ? "." : FolderOrCurrent(path);
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

// ------------------------------------------------------ the exclusive-open test

Error TryExclusiveOpen(const char* path) {
    if (!IsGivenPath(path)) return Error::NotFound;
    // For reading, shared with nobody: what an exclusive _lopen asks.
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return LastSystemError();
    CloseHandle(file);
    return Error::None;
}

// ------------------------------------------------ current folder and drive

int GetCurrentDrive() { return _getdrive(); }

Error SetCurrentDrive(int drive) {
    if (drive < 1 || drive > 26) return Error::NotFound;
    return _chdrive(drive) == 0 ? Error::None : Error::NotFound;
}

bool ReadCurrentDir(char* buf, size_t size) { return _getcwd(buf, int(size)) != nullptr; }

Error ChangeDir(const char* path) {
    if (!IsGivenPath(path)) return Error::NotFound;
    return SetCurrentDirectoryA(path) ? Error::None : LastSystemError();
}

// ------------------------------------------------ drives and network

Error FreeBytesForCaller(const char* drive, uint64_t* bytes) {
    if (bytes != nullptr) *bytes = 0;
    if (drive == nullptr || drive[0] == 0 || bytes == nullptr) return Error::NotFound;
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA(drive, &available, nullptr, nullptr)) return LastSystemError();
    *bytes = available.QuadPart;
    return Error::None;
}

namespace {

class SystemNet : public NetProvider {
public:
    long GetConnection(const char* localName, char* remote, DWORD* length) override {
        return long(WNetGetConnectionA(localName, remote, length));
    }
    long AddConnection(const char* localName, const char* remote) override {
        NETRESOURCEA request;
        std::memset(&request, 0, sizeof request);
        request.dwType = RESOURCETYPE_DISK;
        request.lpLocalName = const_cast<char*>(localName);
        request.lpRemoteName = const_cast<char*>(remote);
        return long(WNetAddConnection2A(&request, nullptr, nullptr, CONNECT_UPDATE_PROFILE));
    }
    unsigned QueryDriveType(const char* root) override { return GetDriveTypeA(root); }
};

}  // namespace

NetProvider& SystemNetProvider() {
    static SystemNet systemNet;
    return systemNet;
}

// ------------------------------------------------------ file data

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
    if (!IsGivenPath(path)) return nullptr;
    // Folders need backup semantics to open, so they are refused here.
    return Wrap(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

bool QueryOpenFile(FileHandle file, uint64_t* length, FileIdentity* identity, FileTimes* times) {
    if (file == nullptr) return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file->handle, &info)) return false;
    if (length != nullptr) *length = JoinHalves(info.nFileSizeHigh, info.nFileSizeLow);
    if (identity != nullptr) *identity = IdentityOf(info);
    if (times != nullptr) {
        times->write = info.ftLastWriteTime;
        times->access = OrWriteTime(info.ftLastAccessTime, info.ftLastWriteTime);
        times->create = OrWriteTime(info.ftCreationTime, info.ftLastWriteTime);
    }
    return true;
}

bool QueryPathIdentity(const char* path, FileIdentity* identity) {
    if (!IsGivenPath(path) || identity == nullptr) return false;
    HANDLE handle = OpenForQuestions(path, 0);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    if (known) *identity = IdentityOf(info);
    return known;
}

size_t FolderPartLength(const char* path) {
    const char* sep = std::strrchr(path, '\\');
    const char* slash = std::strrchr(path, '/');
    if (slash != nullptr && (sep == nullptr || slash > sep)) sep = slash;
    if (sep == nullptr && path[0] != 0 && path[1] == ':') return 2;  // "C:name"
    return sep == nullptr ? 0 : size_t(sep - path) + 1;
}

const char kTempNamePrefix[] = "~vks";
const size_t kLongestNewPath = MAX_PATH;

uint32_t TempNameSeed() { return uint32_t(GetCurrentProcessId()) * 7919u + uint32_t(GetTickCount()); }

// An existing target lends the new file its hidden, system and archive
// attributes.
FileHandle CreateNewFile(const char* path, const char* target, bool* taken) {
    DWORD attributes = GetFileAttributesA(target);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) attributes = 0;
    attributes &= kKeptAttributes;
    if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
    HANDLE handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        *taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        return nullptr;
    }
    FileHandle file = Wrap(handle);
    if (file == nullptr) DeleteFileA(path);
    return file;
}

FileHandle OpenForWriting(const char* path) {
    if (!IsGivenPath(path)) return nullptr;
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
