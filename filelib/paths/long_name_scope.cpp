#include "filelib/paths/long_name_scope.h"

#include <cstring>

#include "filelib/paths/path_parts.h"

namespace {

const char* LastSeparator(const char* path) {
    const char* sep = std::strrchr(path, '\\');
    const char* slash = std::strrchr(path, '/');
    return slash != nullptr && (sep == nullptr || slash > sep) ? slash : sep;
}

// The folder part of a path up to lastSep: the root for "\name", "X:\" for
// "X:\name" (a bare "X:" would be the drive's current folder instead).
bool FolderOf(const char* path, const char* lastSep, char* out, size_t size) {
    size_t length = size_t(lastSep - path);
    const bool keepSep = length == 0 || (length == 2 && path[1] == ':');
    if (keepSep) ++length;
    if (length >= size) return false;
    std::memcpy(out, path, length);
    out[length] = 0;
    return true;
}

int DriveNumber(const char* path) {
    const char letter = GetDriveLetter(path);
    return letter >= 'A' && letter <= 'Z' ? letter - 'A' + 1 : 0;
}

}  // namespace

CLongNameScope::CLongNameScope(const char* path, size_t threshold)
    : m_pszName(path != nullptr ? path : ""),
      m_bReady(true),
      m_failure(plat::Error::None),
      m_bInFolder(false),
      m_bDriveChanged(false),
      m_nSavedDrive(0) {
    m_szSavedDir[0] = 0;
    m_szSavedDirOnDrive[0] = 0;
    if (path == nullptr || std::strlen(path) <= threshold) return;
    const char* lastSep = LastSeparator(path);
    if (lastSep == nullptr) return;  // a bare name is all the system gets anyway
    m_failure = Enter(path, lastSep);
    m_bReady = m_failure == plat::Error::None;
    if (m_bReady) m_pszName = lastSep + 1;
}

CLongNameScope::~CLongNameScope() { Restore(); }

plat::Error CLongNameScope::Enter(const char* path, const char* lastSep) {
    char folder[kFolderSize];
    if (!FolderOf(path, lastSep, folder, sizeof folder)) return plat::Error::NameTooLong;
    m_nSavedDrive = plat::GetCurrentDrive();
    if (!plat::GetCurrentDir(m_szSavedDir, sizeof m_szSavedDir)) return plat::Error::Other;
    // On Windows a folder on another drive becomes current only with its
    // drive, which has a current folder of its own to give back.
    const int drive = DriveNumber(path);
    if (drive != 0 && m_nSavedDrive != 0 && drive != m_nSavedDrive) {
        const plat::Error changed = plat::SetCurrentDrive(drive);
        if (changed != plat::Error::None) return changed;
        m_bDriveChanged = true;
        if (!plat::GetCurrentDir(m_szSavedDirOnDrive, sizeof m_szSavedDirOnDrive)) {
            Restore();
            return plat::Error::Other;
        }
    }
    const plat::Error entered = plat::ChangeDir(folder);
    if (entered != plat::Error::None) {
        Restore();
        // A file where the folder should be: no folder, so no path, is there.
        return entered == plat::Error::NotFolder ? plat::Error::NotFound : entered;
    }
    m_bInFolder = true;
    return plat::Error::None;
}

void CLongNameScope::Restore() {
    if (m_bDriveChanged) {
        if (m_szSavedDirOnDrive[0] != 0) plat::ChangeDir(m_szSavedDirOnDrive);
        plat::SetCurrentDrive(m_nSavedDrive);
        m_bDriveChanged = false;
    }
    if (m_bInFolder || m_szSavedDir[0] != 0) plat::ChangeDir(m_szSavedDir);
    m_bInFolder = false;
    m_szSavedDir[0] = 0;
}
