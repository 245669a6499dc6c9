#include "filelib/tree/tree_ops.h"

#include <cstring>

#include "filelib/fileops/file_copy.h"
#include "filelib/fileops/file_ops.h"
#include "filelib/paths/path_join.h"
#include "filelib/tree/tree_collector.h"
#include "filelib/tree/tree_op_paths.h"

using treeops::Fits;
using treeops::IsSeparator;
using treeops::kArgumentSize;
using treeops::kBuiltPathSize;

namespace {

// The file folder's part below the walk's start folder, as the walk built it.
const char* RestBelow(const char* fileFolder, const char* start) {
    const size_t startLength = std::strlen(start);
    if (std::strlen(fileFolder) <= startLength) return "";
    const char* rest = fileFolder + startLength;
    while (startLength != 0 && IsSeparator(*rest)) ++rest;
    return rest;
}

// The destination's folder for a file whose folder lies `rest` below the
// start: the destination itself for the start's own files.
bool DestinationFolder(char* out, size_t size, const char* destination, const char* rest) {
    if (rest[0] != 0) return JoinPath(out, size, destination, rest);
    if (std::strlen(destination) >= size) return false;
    std::strcpy(out, destination);
    return true;
}

}  // namespace

int CopyTreeByPattern(const char* source, const char* destination) {
    if (!Fits(source, kArgumentSize) || !Fits(destination, kArgumentSize)) return 1;
    treeops::TreeSelection selection;
    if (!treeops::SelectTreeFiles(source, &selection)) return 1;
    const char* folder = selection.folder;
    // A start folder the walk cannot take would copy nothing and say done.
    if (std::strlen(folder) >= TREE_SORTED_FOLDER_LIMIT) return 1;

    const treeops::WalkWatch watch;
    const int32_t count = treeops::CollectSelection(selection);
    for (int32_t i = 0; i < count; ++i) {
        char target[kBuiltPathSize];
        if (!DestinationFolder(target, sizeof target, destination, RestBelow(g_aszTreeFolder[i], folder))) return 1;
        // The current folder (an empty text) is there already.
        if (target[0] != 0 && MakeFolderPath(target) != 0) return 1;
        char from[kBuiltPathSize];
        char to[kBuiltPathSize];
        if (!JoinPath(from, sizeof from, g_aszTreeFolder[i], g_aszTreeFile[i]) ||
            !JoinPath(to, sizeof to, target, g_aszTreeFile[i]))
            return 1;
        if (CopyFileChecked(from, to, true, true, g_adwTreeSize[i]) != 0) return 1;
    }
    return watch.LeftOut() ? 1 : 0;
}
