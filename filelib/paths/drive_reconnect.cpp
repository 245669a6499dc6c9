#include "filelib/paths/drive_reconnect.h"

#include "filelib/paths/net_drive.h"
#include "filelib/paths/path_join.h"
#include "filelib/paths/path_parts.h"
#include "filelib/platform/platform.h"

namespace {

// A folder text of any length the library handles and the pattern "*.*".
constexpr size_t kProbePatternSize = plat::kLongestPattern;

}  // namespace

bool ReconnectDriveOf(const char* path) {
    const char letter = GetDriveLetter(path);
    if (letter == 0) return false;
    ReconnectNetDrive(letter);
    return true;
}

plat::SearchHandle FindOpenReconnecting(const char* pattern, plat::SearchKind kind, plat::FindData* out) {
    return TryWithReconnect(pattern, [&] { return plat::FindOpen(pattern, kind, out); });
}

void ProbeFolder(const char* folder) {
    // Only a drive letter can be reconnected: spare the search otherwise.
    if (GetDriveLetter(folder) == 0) return;
    char pattern[kProbePatternSize];
    if (!JoinExtensionPattern(pattern, sizeof pattern, folder, "*")) return;
    plat::FindData scratch;
    plat::SearchHandle probe = plat::FindOpen(pattern, plat::SearchKind::All, &scratch);
    if (probe != nullptr) {
        plat::FindClose(probe);
        return;
    }
    ReconnectDriveOf(folder);
}
