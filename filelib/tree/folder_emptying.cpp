#include "filelib/tree/folder_emptying.h"

#include "filelib/enum/tree_walk.h"
#include "filelib/tree/tree_collector.h"
#include "filelib/tree/tree_op_paths.h"
#include "filelib/tree/walk_search.h"

namespace {

// A walk that deletes the files of its top folder and goes no deeper.
class FolderEmptying final : public walk::TreePolicy {
public:
    void Enter(const char* folder, int32_t, walk::Subfolders&, uint32_t&) override {
        const int32_t count = ListFolderFilesSorted(folder, "", 0);
        for (int32_t i = 0; i < count; ++i) treeops::RemoveKeepingReadOnly(folder, g_aszTreeFile[i]);
    }
    walk::Visit Found(const char*, const walk::Subfolder&, const char*, int32_t) override { return walk::Visit::Pass; }
};

// The sorted listing's room; a file system's root is refused.
constexpr walk::WalkRules kEmptyingRules{TREE_SORTED_FOLDER_LIMIT, walk::kJoin, &g_nTreeLeftOut, true};

}  // namespace

int DeleteFolderFiles(const char* folder) {
    if (folder == nullptr) return 0;
    const treeops::WalkWatch watch;
    FolderEmptying emptying;
    walk::WalkTree(folder, emptying, kEmptyingRules);
    // Files the listing could not see are not known to be gone; those
    // beyond its capacity are left for the next call.
    return watch.Unreadable() ? 1 : 0;
}
