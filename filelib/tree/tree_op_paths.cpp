#include "filelib/tree/tree_op_paths.h"

#include <cstring>

#include "filelib/paths/path_attributes.h"
#include "filelib/platform/name_match.h"

namespace treeops {

namespace {

// The path itself names a folder: the entry it spells, never a wildcard
// match, so "data/v1.2" is that folder and not a pattern in "data".
bool NamesExistingFolder(const char* path) {
    const DWORD attributes = GetAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

bool SelectTreeFiles(const char* path, TreeSelection* selection) {
    const size_t length = std::strlen(path);
    selection->namePattern[0] = 0;
    selection->namesFolder = true;
    const char* last = CutFolder(path, path + length, selection->folder);
    const bool wildcards = plat::HoldsWildcard(last);
    if (last[0] == 0 || (!wildcards && NamesExistingFolder(path))) {
        std::memcpy(selection->folder, path, length + 1);
        return true;
    }
    if (plat::MatchesEveryName(last)) return true;
    if (std::strlen(last) >= sizeof selection->namePattern) return false;
    std::strcpy(selection->namePattern, last);
    selection->namesFolder = wildcards;
    return true;
}

int32_t CollectSelection(const TreeSelection& selection) {
    if (selection.namePattern[0] == 0) return CollectTreeFiles(selection.folder, "", 0);
    return CollectTreeFilesNamed(selection.folder, selection.namePattern, 0);
}

}  // namespace treeops
