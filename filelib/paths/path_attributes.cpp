#include "filelib/paths/path_attributes.h"

#include "filelib/paths/first_entry.h"
#include "filelib/paths/long_name_scope.h"
#include "filelib/platform/name_match.h"
#include "filelib/platform/platform.h"

namespace {

bool HasAttribute(DWORD attrib, DWORD bit) { return attrib != INVALID_FILE_ATTRIBUTES && (attrib & bit) != 0; }

bool IsFolderEntry(const plat::FindData& entry) { return HasAttribute(entry.attrib, FILE_ATTRIBUTE_DIRECTORY); }

}  // namespace

void AppendRootSlash(char* path) {
    if (path != nullptr && path[0] != 0 && path[1] == ':' && path[2] == 0) {
        path[2] = '\\';
        path[3] = 0;
    }
}

DWORD GetAttributes(const char* path) {
    CLongNameScope scope(path);
    if (!scope.IsReady()) return INVALID_FILE_ATTRIBUTES;
    return plat::ReadAttributes(scope.GetName());
}

bool SetAttributes(const char* path, DWORD attributes) {
    if (path == nullptr || path[0] == 0) return false;
    CLongNameScope scope(path);
    return scope.IsReady() && plat::WriteAttributes(scope.GetName(), attributes) == plat::Error::None;
}

bool IsFile(const char* path) {
    plat::FindData entry;
    return FindFirstEntry(path, &entry) && !IsFolderEntry(entry);
}

bool IsFolder(const char* path) {
    plat::FindData entry;
    return FindFirstEntry(path, &entry) && IsFolderEntry(entry) && !plat::IsDotName(entry.name);
}
