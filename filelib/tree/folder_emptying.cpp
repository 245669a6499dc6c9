#include "filelib/tree/folder_emptying.h"

#include "filelib/platform/platform.h"
#include "filelib/tree/tree_collector.h"
#include "filelib/tree/tree_op_paths.h"

int DeleteFolderFiles(const char* folder) {
    if (folder == nullptr || plat::IsFileSystemRoot(folder)) return 0;
    const treeops::WalkWatch watch;
    const int32_t count = ListFolderFilesSorted(folder, "", 0);
    for (int32_t i = 0; i < count; ++i) treeops::RemoveKeepingReadOnly(folder, g_aszTreeFile[i]);
    // Files the listing could not see are not known to be gone; those
    // beyond its capacity are left for the next call.
    return watch.Unreadable() ? 1 : 0;
}
