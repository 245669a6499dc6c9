#include "filelib/tree/entry_queries.h"

#include <cstring>

#include "filelib/paths/first_entry.h"
#include "filelib/fileops/line_reader.h"
#include "filelib/paths/long_name_scope.h"
#include "filelib/platform/platform.h"

namespace {

bool HasAttribute(DWORD attrib, DWORD bit) { return attrib != INVALID_FILE_ATTRIBUTES && (attrib & bit) != 0; }

}  // namespace

uint64_t QueryFileSize(const char* path) {
    plat::FindData entry;
    return FindFirstEntry(path, &entry) ? entry.size : 0;
}

time_t QueryFileWriteTime(const char* path) {
    plat::FindData entry;
    return FindFirstEntry(path, &entry) ? time_t(entry.tWrite) : 0;
}

int QueryFileWriteDate(const char* path, DATETIMEREC* rec) {
    if (rec != nullptr) TimeTToDateTimeRec(rec, QueryFileWriteTime(path));
    return 0;
}

bool QueryFileStamp(const char* path, FILESTAMP* stamp) {
    if (stamp == nullptr) return false;
    std::memset(stamp, 0, sizeof *stamp);
    plat::FindData entry;
    if (!FindFirstEntry(path, &entry)) return false;
    stamp->dwSize = uint32_t(entry.size);
    // Search names are shorter than the field, so the copy is never cut.
    CopyBounded(stamp->szName, int(sizeof stamp->szName), entry.name);
    TimeTToFileTime(&stamp->ftWrite, time_t(entry.tWrite));
    stamp->ftWrite2 = stamp->ftWrite;
    return true;
}

int QueryFindData(const char* path, WIN32_FIND_DATAA* data) {
    if (data == nullptr) return 0;
    std::memset(data, 0, sizeof *data);
    if (!IsFile(path)) return 0;
    CLongNameScope scope(path);
    // The entry can vanish between the two looks; what came of a search
    // that failed is not kept.
    if (!scope.IsReady() || plat::ReadFindData(scope.GetName(), data) != plat::Error::None)
        std::memset(data, 0, sizeof *data);
    return 0;
}

int ApplyFileTimes(const char* path, const WIN32_FIND_DATAA* data) {
    if (data == nullptr || !IsFile(path)) return 0;
    CLongNameScope scope(path);
    if (!scope.IsReady()) return 0;
    const char* name = scope.GetName();
    // The times are written as a writer of the file would: a file that
    // cannot be opened for writing (read-only, or held by another program)
    // keeps them, on every system.
    if (HasAttribute(plat::ReadAttributes(name), FILE_ATTRIBUTE_READONLY)) return 0;
    if (plat::TryExclusiveOpen(name) == plat::Error::SharingViolation) return 0;
    plat::WriteFileTimes(name, &data->ftCreationTime, &data->ftLastAccessTime, &data->ftLastWriteTime);
    return 0;
}
