#include "filelib/paths/folder_emptying.h"

#include "filelib/platform/platform.h"
#include "filelib/tree/tree_collector.h"
#include "filelib/tree/tree_op_paths.h"

int DeleteFolderFiles(const char* folder) {
    if (folder == nullptr || plat::IsFileSystemRoot(folder)) return 0;
    const int32_t count = ListFolderFilesSorted(folder, "", 0);
    for (int32_t i = 0; i < count; ++i) treeops::RemoveKeepingReadOnly(folder, g_aszTreeFile[i]);
    return 0;
}
