// Windows backend, the size walk's folder scan (folder_scan.h) and nothing
// else. A folder is an open handle; a subfolder is opened relative to its
// parent's handle, so no path is ever built below the top and neither the
// length of a path nor the depth of a tree stops the walk. A folder is
// read through its handle in large batches, without short names, and
// every name stays UTF-16: nothing goes through the ANSI code page, which
// has no room for most of the world's names. Only the top is named by a
// path, given in the ANSI code page and resolved as the system resolves
// any path, then opened as an extended-length path so that its length does
// not matter either. Every call works on its own handles and buffers: no
// process-wide state. Must build with mingw-w64 and MSVC alike: no
// GNU-only constructs.

#include "filelib/platform/backend.h"

#include <winioctl.h>
#include <winternl.h>

#include <cwchar>
#include <memory>
#include <new>
#include <string>

namespace plat {

struct ScanFolder {
    HANDLE handle = INVALID_HANDLE_VALUE;
};

namespace {

// What a folder is opened with: its entries, its identity and attributes,
// and waits on its own reads. Others may rename and delete meanwhile.
constexpr ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// One read of a folder: as much as the directory search takes with its
// large fetch, so a folder of a few thousand entries is one call, also on
// a network share.
constexpr ULONG kBatchBytes = 64 * 1024;

std::wstring WidenAnsi(const char* text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1) return std::wstring();
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
    wide.resize(size_t(length) - 1);
    return wide;
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, std::wcslen(prefix), prefix) == 0;
}

// The length of the root that a full path keeps whole: "D:\" or
// "\\server\share\" (all of it when the path is no more than that).
size_t RootLength(const std::wstring& full) {
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return 3;
    if (!StartsWith(full, L"\\\\")) return 0;
    const size_t server = full.find(L'\\', 2);
    if (server == std::wstring::npos) return full.size();
    const size_t share = full.find(L'\\', server + 1);
    return share == std::wstring::npos ? full.size() : share + 1;
}

// The full path of `path` as the system resolves it (the current folder,
// the current folder of another drive for "D:name", "." and "..", '/' as a
// separator), made an extended-length path.
Error FullExtendedPath(const std::wstring& path, std::wstring* out) {
    // The caller asked for no resolving at all.
    if (StartsWith(path, L"\\\\?\\")) {
        *out = path;
        return Error::None;
    }
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFullPathNameW(path.c_str(), DWORD(full.size()), &full[0], nullptr);
        if (length == 0) return LastSystemError();
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.resize(length);
    }
    if (StartsWith(full, L"\\\\.\\") || StartsWith(full, L"\\\\?\\")) {
        *out = full;  // a device path
        return Error::None;
    }
    // A path ending in a separator names the same folder; only a root keeps
    // it ("\\?\D:" would name the volume, not its root folder), and a
    // share's root gets it.
    const size_t root = RootLength(full);
    while (full.size() > root && full.back() == L'\\') full.pop_back();
    if (StartsWith(full, L"\\\\")) {
        if (full.size() == root && full.back() != L'\\') full += L'\\';
        *out = L"\\\\?\\UNC\\" + full.substr(2);
    } else {
        *out = L"\\\\?\\" + full;
    }
    return Error::None;
}

Error FolderAt(HANDLE handle, ScanFolder** out) {
    ScanFolder* folder = new (std::nothrow) ScanFolder;
    if (folder == nullptr) {
        CloseHandle(handle);
        return Error::Other;
    }
    folder->handle = handle;
    *out = folder;
    return Error::None;
}

// NT_SUCCESS is not declared by every set of Windows headers.
bool Succeeded(NTSTATUS status) { return status >= 0; }

Error FromStatus(NTSTATUS status) { return ErrorFromSystemCode(long(RtlNtStatusToDosError(status))); }

// Opens `name` in the folder `parent`; with `itself`, a reparse point is
// opened as what it is rather than as what it leads to.
NTSTATUS OpenRelative(HANDLE parent, const ScanName& name, bool itself, HANDLE* out) {
    UNICODE_STRING text;
    text.Buffer = const_cast<PWSTR>(name.data());
    text.Length = USHORT(name.size() * sizeof(wchar_t));
    text.MaximumLength = text.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, parent, nullptr);
    IO_STATUS_BLOCK io;
    ULONG options = FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT;
    if (itself) options |= FILE_OPEN_REPARSE_POINT;
    return NtOpenFile(out, kFolderAccess, &attributes, &io, kShareAll, options);
}

bool IsDotOrDotDot(const wchar_t* name, size_t length) {
    return (length == 1 && name[0] == L'.') || (length == 2 && name[0] == L'.' && name[1] == L'.');
}

// A single name of a folder entry: not empty, not "." or "..", no
// separator (which would reach past the parent).
bool IsPlainName(const ScanName& name) {
    if (name.empty() || IsDotOrDotDot(name.data(), name.size())) return false;
    if (name.size() * sizeof(wchar_t) > 0xFFFE) return false;
    return name.find_first_of(L"\\/") == ScanName::npos && name.find(L'\0') == ScanName::npos;
}

}  // namespace

std::string ScanNameText(const ScanName& name) {
    // Every UTF-16 unit takes at most three bytes in any ANSI code page.
    std::string text(name.size() * 3 + 1, '\0');
    const int written = WideToAnsiCodePage(name.c_str(), &text[0], int(text.size()));
    text.resize(written > 0 ? size_t(written) - 1 : 0);
    return text;
}

Error OpenScanTop(const char* path, ScanFolder** out) {
    if (out == nullptr) return Error::Other;
    *out = nullptr;
    if (path == nullptr) return Error::NotFound;
    std::wstring wide;
    if (path[0] == 0) wide = L".";
    // A bare drive means its root, as the search has always taken it.
    else if (path[1] == ':' && path[2] == 0) wide = WidenAnsi(path) + L"\\";
    else wide = WidenAnsi(path);
    if (wide.empty()) return Error::InvalidName;
    std::wstring full;
    const Error resolved = FullExtendedPath(wide, &full);
    if (resolved != Error::None) return resolved;
    if (full.size() >= 0x7FFF) return Error::NameTooLong;
    // Without FILE_FLAG_OPEN_REPARSE_POINT: a link named as the path is
    // followed. Backup semantics are what lets CreateFileW open a folder.
    HANDLE handle = CreateFileW(full.c_str(), kFolderAccess, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        // A name the system cannot hold (a wildcard, a "?" for a character
        // the code page lacks) names nothing that is there.
        const Error error = LastSystemError();
        return error == Error::InvalidName ? Error::NotFound : error;
    }
    FILE_BASIC_INFO basic;
    if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)) {
        const Error error = LastSystemError();
        CloseHandle(handle);
        return error;
    }
    if ((basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        CloseHandle(handle);
        return Error::NotFolder;
    }
    return FolderAt(handle, out);
}

// Opens the entry itself first: a plain folder (nearly every one) is done
// with that one open. A reparse point is opened again as what it leads to,
// as the directory search walks it; only a name surrogate (a junction, a
// folder link, a mounted volume) can lead to a folder above it.
Error OpenScanSubfolder(ScanFolder* parent, const ScanName& name, ScanFolder** out, bool* mayLeadBack) {
    if (out == nullptr) return Error::Other;
    *out = nullptr;
    if (mayLeadBack != nullptr) *mayLeadBack = false;
    if (parent == nullptr) return Error::Other;
    if (!IsPlainName(name)) return Error::InvalidName;
    HANDLE handle = INVALID_HANDLE_VALUE;
    NTSTATUS status = OpenRelative(parent->handle, name, true, &handle);
    if (!Succeeded(status)) return FromStatus(status);
    FILE_ATTRIBUTE_TAG_INFO tag;
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) {
        const Error error = LastSystemError();
        CloseHandle(handle);
        return error;
    }
    if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        CloseHandle(handle);
        if (mayLeadBack != nullptr) *mayLeadBack = IsReparseTagNameSurrogate(tag.ReparseTag);
        status = OpenRelative(parent->handle, name, false, &handle);
        if (!Succeeded(status)) return FromStatus(status);
    }
    return FolderAt(handle, out);
}

bool ReadScanIdentity(ScanFolder* folder, ScanIdentity* out) {
    if (folder == nullptr || out == nullptr) return false;
    *out = ScanIdentity();
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(folder->handle, &info)) return false;
    const FileIdentity identity = IdentityOf(info);
    out->volume = identity.volume;
    out->index = identity.index;
    out->known = true;
    return true;
}

Error ReadScanFolder(ScanFolder* folder, ScanTotals* totals, SubfolderSink& subfolders) {
    if (folder == nullptr || totals == nullptr) return Error::Other;
    // 8-byte units: the records' 64-bit fields are aligned.
    std::unique_ptr<uint64_t[]> batch(new (std::nothrow) uint64_t[kBatchBytes / sizeof(uint64_t)]);
    if (!batch) return Error::Other;
    for (;;) {
        if (!GetFileInformationByHandleEx(folder->handle, FileFullDirectoryInfo, batch.get(), kBatchBytes)) {
            const DWORD code = GetLastError();
            return code == ERROR_NO_MORE_FILES ? Error::None : ErrorFromSystemCode(long(code));
        }
        const unsigned char* at = reinterpret_cast<const unsigned char*>(batch.get());
        for (;;) {
            const FILE_FULL_DIR_INFO* entry = reinterpret_cast<const FILE_FULL_DIR_INFO*>(at);
            const size_t length = entry->FileNameLength / sizeof(wchar_t);
            if ((entry->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                ++totals->files;
                totals->bytes += uint64_t(entry->EndOfFile.QuadPart);
            } else if (!IsDotOrDotDot(entry->FileName, length)) {
                subfolders.Subfolder(entry->FileName, length);
            }
            if (entry->NextEntryOffset == 0) break;
            at += entry->NextEntryOffset;
        }
    }
}

void CloseScanFolder(ScanFolder* folder) {
    if (folder == nullptr) return;
    CloseHandle(folder->handle);
    delete folder;
}

// A process may hold millions of handles; what bounds a walk's open
// folders is its memory, which this many never strains.
int ScanFolderLimit() { return 1 << 16; }

bool ScanIsOnRotatingDisk(ScanFolder* folder) {
    if (folder == nullptr) return false;
    // "\\?\Volume{...}\folder": the volume is what comes before the folder.
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(folder->handle, &path[0], DWORD(path.size()), VOLUME_NAME_GUID);
    if (length >= path.size()) {
        path.resize(length);
        length = GetFinalPathNameByHandleW(folder->handle, &path[0], DWORD(path.size()), VOLUME_NAME_GUID);
    }
    if (length == 0 || length >= path.size() || !StartsWith(path, L"\\\\?\\Volume{")) return false;
    const size_t end = path.find(L'\\', 4);
    const std::wstring volume = path.substr(0, end);
    // No access rights are needed to ask a volume about its device.
    HANDLE device = CreateFileW(volume.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    if (device == INVALID_HANDLE_VALUE) return false;
    STORAGE_PROPERTY_QUERY query = {};
    query.PropertyId = StorageDeviceSeekPenaltyProperty;
    query.QueryType = PropertyStandardQuery;
    DEVICE_SEEK_PENALTY_DESCRIPTOR penalty = {};
    DWORD returned = 0;
    const bool known = DeviceIoControl(device, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, &penalty,
                                       sizeof penalty, &returned, nullptr) &&
                       returned >= sizeof penalty;
    CloseHandle(device);
    return known && penalty.IncursSeekPenalty;
}

double ScanCpuSeconds() {
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) return 0.0;
    return double(TicksOf(kernel) + TicksOf(user)) / double(kTicksPerSecond);
}

// Windows counts a thread's context switches only all together, waits and
// preemptions alike.
long ScanThreadWaits() { return -1; }

}  // namespace plat
