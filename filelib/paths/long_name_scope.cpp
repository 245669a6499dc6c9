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
    : m_name(path != nullptr ? path : ""),
      m_ready(true),
      m_failure(plat::Error::None),
      m_inFolder(false),
      m_driveChanged(false),
      m_savedDrive(0) {
    m_savedDir[0] = 0;
    m_savedDirOnDrive[0] = 0;
    if (path == nullptr || std::strlen(path) <= threshold) return;
    const char* lastSep = LastSeparator(path);
    if (lastSep == nullptr) return;  // a bare name is all the system gets anyway
    m_failure = Enter(path, lastSep);
    m_ready = m_failure == plat::Error::None;
    if (m_ready) m_name = lastSep + 1;
}

CLongNameScope::~CLongNameScope() { Restore(); }

plat::Error CLongNameScope::Enter(const char* path, const char* lastSep) {
    char folder[kFolderSize];
    if (!FolderOf(path, lastSep, folder, sizeof folder)) return plat::Error::NameTooLong;
    m_savedDrive = plat::GetCurrentDrive();
    if (!plat::GetCurrentDir(m_savedDir, sizeof m_savedDir)) return plat::Error::Other;
    // On Windows a folder on another drive becomes current only with its
    // drive, which has a current folder of its own to give back.
    const int drive = DriveNumber(path);
    if (drive != 0 && m_savedDrive != 0 && drive != m_savedDrive) {
        const plat::Error changed = plat::SetCurrentDrive(drive);
        if (changed != plat::Error::None) return changed;
        m_driveChanged = true;
        if (!plat::GetCurrentDir(m_savedDirOnDrive, sizeof m_savedDirOnDrive)) {
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
    m_inFolder = true;
    return plat::Error::None;
}

void CLongNameScope::Restore() {
    if (m_driveChanged) {
        if (m_savedDirOnDrive[0] != 0) plat::ChangeDir(m_savedDirOnDrive);
        plat::SetCurrentDrive(m_savedDrive);
        m_driveChanged = false;
    }
    if (m_inFolder || m_savedDir[0] != 0) plat::ChangeDir(m_savedDir);
    m_inFolder = false;
    m_savedDir[0] = 0;
}
