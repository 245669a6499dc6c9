#include "filelib/paths/file_state.h"

#include <cstring>

#include "filelib/paths/drive_reconnect.h"
#include "filelib/paths/long_name_scope.h"
#include "filelib/paths/net_drive.h"
#include "filelib/paths/path_attributes.h"
#include "filelib/platform/platform.h"

namespace {

bool HasAttribute(DWORD attrib, DWORD bit) { return attrib != INVALID_FILE_ATTRIBUTES && (attrib & bit) != 0; }

// The attributes with read-only set or cleared. NORMAL may only stand
// alone: it goes when another bit is set and comes when none is left.
DWORD WithReadOnly(DWORD attrib, bool readOnly) {
    attrib = readOnly ? (attrib | FILE_ATTRIBUTE_READONLY) : (attrib & ~DWORD(FILE_ATTRIBUTE_READONLY));
    attrib &= ~DWORD(FILE_ATTRIBUTE_NORMAL);
    return attrib != 0 ? attrib : DWORD(FILE_ATTRIBUTE_NORMAL);
}

}  // namespace

FILE* OpenFileRetry(const char* path, const char* mode) {
    if (path == nullptr || mode == nullptr || path[0] == 0) return nullptr;
    // Only the drive letter counts for the reconnection, so a path of any
    // length gets its second try.
    return TryWithReconnect(path, [&]() -> FILE* {
        CLongNameScope scope(path);
        if (!scope.IsReady()) return nullptr;
        // POSIX would open a folder for reading; Windows never does.
        if (HasAttribute(plat::ReadAttributes(scope.GetName()), FILE_ATTRIBUTE_DIRECTORY)) return nullptr;
        // The open file does not depend on the current folder once open.
        return std::fopen(scope.GetName(), mode);
    });
}

int SetReadOnly(const char* path, bool readOnly) {
    if (!IsFile(path)) return READONLY_NO_FILE;
    CLongNameScope scope(path);
    if (!scope.IsReady()) return READONLY_FAILED;
    const char* name = scope.GetName();
    const DWORD attrib = plat::ReadAttributes(name);
    if (attrib == INVALID_FILE_ATTRIBUTES) return READONLY_FAILED;
    if (HasAttribute(attrib, FILE_ATTRIBUTE_READONLY) == readOnly) return READONLY_ALREADY;
    plat::WriteAttributes(name, WithReadOnly(attrib, readOnly));
    // Judged by what the file holds afterwards, not by what the call said.
    return HasAttribute(plat::ReadAttributes(name), FILE_ATTRIBUTE_READONLY) == readOnly ? READONLY_CHANGED
                                                                                          : READONLY_FAILED;
}

bool IsFileInUse(const char* path) {
    if (!IsFile(path)) return false;
    CLongNameScope scope(path);
    return scope.IsReady() && plat::TryExclusiveOpen(scope.GetName()) == plat::Error::SharingViolation;
}

double GetDriveFreeSpace(char letter) {
    if (letter == 0) return 0.0;
    const char drive[3] = {letter, ':', 0};
    ReconnectNetDrive(letter);
    uint64_t bytes = 0;
    if (plat::FreeBytesForCaller(drive, &bytes) != plat::Error::None) return 0.0;
    return double(bytes);
}

void GetCurrentFolder(char* dest) {
    if (dest == nullptr) return;
    char folder[kCurrentFolderSize];
    if (!plat::GetCurrentDir(folder, sizeof folder)) folder[0] = 0;
    std::memcpy(dest, folder, std::strlen(folder) + 1);
}

int ChangeToFolder(const char* path) {
    if (path == nullptr || path[0] == 0) return -1;
    // A character that is no upper-case letter names no drive, and the
    // drive stays as it is.
    const int drive = static_cast<unsigned char>(path[0]) - 64;
    if (drive >= 1 && drive <= 26) plat::SetCurrentDrive(drive);
    return plat::ChangeDir(path) == plat::Error::None ? 0 : -1;
}
