#include "filelib/tree/tree_ops.h"

#include <cstring>

#include "filelib/enum/file_finder.h"
#include "filelib/paths/first_entry.h"
#include "filelib/paths/long_name_scope.h"
#include "filelib/paths/path_join.h"
#include "filelib/platform/platform.h"
#include "filelib/tree/tree_collector.h"
#include "filelib/tree/tree_op_paths.h"

using treeops::Fits;
using treeops::kArgumentSize;
using treeops::kBuiltPathSize;

namespace {

// Removes one collected file, keeping a read-only one.
bool RemoveCollected(int32_t index) {
    return treeops::RemoveKeepingReadOnly(g_aszTreeFolder[index], g_aszTreeFile[index]);
}

// What one folder's own step of the pruning left.
enum class PruneStep { Gone, Enter, Stays };

// Removes the folder at once when it is empty. A folder that could not be
// looked at is not known to be gone; a link to a folder is never entered:
// what it leads to is not part of this tree.
PruneStep RemoveIfEmpty(const char* path, const walk::Subfolder* found) {
    if (plat::IsFileSystemRoot(path)) return PruneStep::Stays;
    const PathKind kind = KindOfPath(path);
    if (kind != PathKind::Folder) return kind == PathKind::Unknown ? PruneStep::Stays : PruneStep::Gone;
    plat::RemoveFolder(path);
    if (NoFolderThere(KindOfPath(path))) return PruneStep::Gone;
    const bool link = found != nullptr ? found->IsLink() : IsLinkedFolder(path);
    return link ? PruneStep::Stays : PruneStep::Enter;
}

// Post-order in sorted order; the first folder that stays ends the walk.
class Pruning final : public walk::TreePolicy {
public:
    bool Failed() const { return m_failed; }

    void Enter(const char* folder, int32_t, walk::Subfolders& subfolders, uint32_t&) override {
        // No subfolder: it holds files, or cannot be removed.
        if (!treeops::KeepSortedSubfolders(folder, subfolders) || subfolders.Count() == 0) m_failed = true;
    }
    walk::Visit Found(const char*, const walk::Subfolder& sub, const char* path, int32_t) override {
        const PruneStep step = path != nullptr ? RemoveIfEmpty(path, &sub) : PruneStep::Stays;
        if (step == PruneStep::Stays) m_failed = true;
        return step == PruneStep::Enter ? walk::Visit::Enter : walk::Visit::Pass;
    }
    void Leave(const char* folder, int32_t, uint32_t) override {
        plat::RemoveFolder(folder);
        if (!NoFolderThere(KindOfPath(folder))) m_failed = true;
    }
    bool Finished() const override { return m_failed; }

private:
    bool m_failed = false;
};

constexpr walk::WalkRules kPruneRules{kArgumentSize, EndSeparator::Add, nullptr, true};

// PruneFolderTree on one subfolder of `folder`.
int PruneChild(const char* folder, const char* name) {
    char child[kArgumentSize];
    return JoinPath(child, sizeof child, folder, name) ? PruneFolderTree(child) : 1;
}

}  // namespace

namespace treeops {

bool RemoveKeepingReadOnly(const char* folder, const char* name) {
    char path[kBuiltPathSize];
    if (!JoinPath(path, sizeof path, folder, name)) return false;
    // A folder and a name of the tables can together pass the system's
    // limit, so the removal works from inside the folder where it must.
    CLongNameScope scope(path);
    if (!scope.IsReady()) return scope.GetFailure() == plat::Error::NotFound;
    const plat::Error removed = plat::RemoveFileEntry(scope.GetName());
    // A file that could not be looked for is not known to be gone.
    return removed == plat::Error::None ||
           (removed == plat::Error::NotFound && NoFileThere(KindOfPath(scope.GetName(), EntrySpelling::AsGiven)));
}

}  // namespace treeops

int DeleteTreeByPattern(const char* path, bool removeSubfolders, bool removeFolder) {
    if (!Fits(path, kArgumentSize)) return 1;
    treeops::TreeSelection selection;
    if (!treeops::SelectTreeFiles(path, &selection)) return 1;
    const char* folder = selection.folder;
    if (plat::IsFileSystemRoot(folder)) return 1;
    // A folder the walk cannot take would delete nothing and say done.
    if (std::strlen(folder) >= TREE_SORTED_FOLDER_LIMIT) return 1;

    // Matching files the walk left out (beyond the tables' capacity, too
    // long for them, in folders it could not read) are still there.
    const treeops::WalkWatch watch;
    const int32_t count = treeops::CollectSelection(selection);
    int result = watch.LeftOut() ? 1 : 0;
    for (int32_t i = 0; i < count; ++i)
        if (!RemoveCollected(i)) result = 1;
    // A plain name that is no folder names no folder to remove.
    if (removeSubfolders && selection.namesFolder) {
        // Every subfolder is pruned; the first that remains decides.
        walk::Subfolders names;
        if (!treeops::KeepSortedSubfolders(folder, names)) {
            result = 1;  // not every subfolder could be kept in mind
        } else {
            for (size_t i = 0; i < names.Count(); ++i) {
                const int pruned = PruneChild(folder, names.At(i).name);
                if (result == 0) result = pruned;
            }
        }
    }
    if (removeFolder && selection.namesFolder) {
        const int pruned = PruneFolderTree(folder);
        if (result == 0) result = pruned;
    }
    return result;
}

int PruneFolderTree(const char* path) {
    if (!Fits(path, kArgumentSize)) return 1;
    const PruneStep step = RemoveIfEmpty(path, nullptr);
    if (step != PruneStep::Enter) return step == PruneStep::Gone ? 0 : 1;
    Pruning pruning;
    const walk::WalkEnd end = walk::WalkTree(path, pruning, kPruneRules);
    return end == walk::WalkEnd::Whole && !pruning.Failed() ? 0 : 1;
}
