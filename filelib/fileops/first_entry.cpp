#include "filelib/fileops/first_entry.h"

#include <cstdint>

#include "filelib/paths/drive_reconnect.h"
#include "filelib/paths/long_name_scope.h"

bool FindFirstEntry(const char* path, plat::FindData* entry, EntrySpelling spelling) {
    if (path == nullptr || path[0] == 0 || entry == nullptr) return false;
    // No path reaches a threshold of SIZE_MAX: the scope then hands the
    // path on unchanged.
    const size_t threshold = spelling == EntrySpelling::AnyLength ? plat::kLongNameThreshold : SIZE_MAX;
    // The scope is made inside the attempt, so that a folder that could not
    // be made current is tried again after the reconnection.
    return TryWithReconnect(path, [&] {
        CLongNameScope scope(path, threshold);
        if (!scope.IsReady()) return false;
        plat::SearchHandle search = plat::FindOpen(scope.GetName(), plat::SearchKind::All, entry);
        if (search == nullptr) return false;
        plat::FindClose(search);
        return true;
    });
}
