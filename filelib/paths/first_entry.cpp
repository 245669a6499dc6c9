#include "filelib/paths/first_entry.h"

#include <cstdint>

#include "filelib/paths/drive_reconnect.h"
#include "filelib/paths/long_name_scope.h"
#include "filelib/platform/name_match.h"

namespace {

// The first entry found, and why none was: NotFound when nothing is there.
plat::Error LookUp(const char* path, plat::FindData* entry, EntrySpelling spelling) {
    if (path == nullptr || path[0] == 0 || entry == nullptr) return plat::Error::NotFound;
    // No path reaches a threshold of SIZE_MAX: the scope then hands the
    // path on unchanged.
    const size_t threshold = spelling == EntrySpelling::AnyLength ? plat::kLongNameThreshold : SIZE_MAX;
    plat::Error why = plat::Error::NotFound;
    // The scope is made inside the attempt, so that a folder that could not
    // be made current is tried again after the reconnection.
    TryWithReconnect(path, [&] {
        CLongNameScope scope(path, threshold);
        if (!scope.IsReady()) {
            why = scope.GetFailure();
            return false;
        }
        plat::SearchHandle search = plat::FindOpen(scope.GetName(), plat::SearchKind::All, entry);
        if (search == nullptr) {
            why = plat::LastSearchError();
            return false;
        }
        plat::FindClose(search);
        why = plat::Error::None;
        return true;
    });
    return why;
}

}  // namespace

bool FindFirstEntry(const char* path, plat::FindData* entry, EntrySpelling spelling) {
    return LookUp(path, entry, spelling) == plat::Error::None;
}

PathKind KindOfPath(const char* path, EntrySpelling spelling) {
    plat::FindData entry;
    const plat::Error why = LookUp(path, &entry, spelling);
    if (why == plat::Error::NotFound) return PathKind::Nothing;
    if (why != plat::Error::None) return PathKind::Unknown;
    if ((entry.attrib & FILE_ATTRIBUTE_DIRECTORY) == 0) return PathKind::File;
    return plat::IsDotName(entry.name) ? PathKind::Nothing : PathKind::Folder;
}
