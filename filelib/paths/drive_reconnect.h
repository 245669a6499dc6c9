// The library's reconnection rule: a search or open that fails on a path
// whose second character is ':' reconnects that drive letter (upper-cased)
// as a remembered network drive, and is tried once more. What the
// reconnection answers is never acted on.
#pragma once

#include "filelib/platform/platform.h"

// Reconnects the drive letter of `path`, if it has one; true when it had
// one (so a failed attempt is worth repeating).
bool ReconnectDriveOf(const char* path);

// Runs attempt(); when that gives a false value (null, false, 0) and the
// path has a drive letter, reconnects it and runs attempt() once more.
// The result of the last attempt is returned.
template <class Attempt>
auto TryWithReconnect(const char* path, Attempt attempt) -> decltype(attempt()) {
    auto result = attempt();
    if (result || !ReconnectDriveOf(path)) return result;
    return attempt();
}

// Opens a directory search on `pattern` under the rule above: null when it
// finds nothing, also after a reconnection.
plat::SearchHandle FindOpenReconnecting(const char* pattern, plat::SearchKind kind, plat::FindData* out);

// Searches the folder `folder` once for every entry; when that finds
// nothing on a drive letter, reconnects it. Nothing is kept of the search:
// it only opens the way for the search that follows.
void ProbeFolder(const char* folder);
