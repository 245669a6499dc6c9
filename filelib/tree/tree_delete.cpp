#include "filelib/tree/tree_ops.h"

#include <cstring>
#include <memory>
#include <new>

#include "filelib/enum/file_finder.h"
#include "filelib/fileops/first_entry.h"
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

// The subfolder names of the last ListSubfoldersSorted, copied out: every
// step below overwrites the shared table.
class SubfolderNames {
public:
    explicit SubfolderNames(const char* folder) {
        const int32_t count = ListSubfoldersSorted(folder);
        if (count <= 0) return;
        m_names.reset(new (std::nothrow) Name[size_t(count)]);
        if (m_names == nullptr) {
            m_lost = true;
            return;
        }
        for (int32_t i = 0; i < count; ++i) std::memcpy(m_names[i].text, g_aszSubfolder[i], TREE_NAME_WIDTH);
        m_count = count;
    }
    // False when the names could not be kept (memory short).
    bool Kept() const { return !m_lost; }
    int32_t Count() const { return m_count; }
    const char* operator[](int32_t index) const { return m_names[index].text; }

private:
    struct Name {
        char text[TREE_NAME_WIDTH];
    };
    std::unique_ptr<Name[]> m_names;
    int32_t m_count = 0;
    bool m_lost = false;
};

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
        const SubfolderNames names(folder);
        if (!names.Kept()) result = 1;
        for (int32_t i = 0; i < names.Count(); ++i) {
            const int pruned = PruneChild(folder, names[i]);
            if (result == 0) result = pruned;
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
    if (plat::IsFileSystemRoot(path)) return 1;
    // A folder that could not be looked at is not known to be gone.
    const PathKind kind = KindOfPath(path);
    if (kind != PathKind::Folder) return kind == PathKind::Unknown ? 1 : 0;
    plat::RemoveFolder(path);
    if (NoFolderThere(KindOfPath(path))) return 0;
    // A link to a folder is never entered: what it leads to is not part of
    // this tree.
    if (IsLinkedFolder(path)) return 1;
    const SubfolderNames names(path);
    if (names.Count() == 0) return 1;  // it holds files, or cannot be removed
    for (int32_t i = 0; i < names.Count(); ++i)
        if (PruneChild(path, names[i]) != 0) return 1;
    plat::RemoveFolder(path);
    return NoFolderThere(KindOfPath(path)) ? 0 : 1;
}
