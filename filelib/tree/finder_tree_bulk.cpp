// The finder's bulk operations over whole trees: clearing and copying the
// matching files of a tree, built on its tree listing.
#include "filelib/enum/file_finder.h"

#include <cstdio>
#include <cstring>

#include "filelib/fileops/file_copy.h"
#include "filelib/fileops/file_ops.h"
#include "filelib/paths/first_entry.h"
#include "filelib/paths/path_attributes.h"
#include "filelib/paths/path_join.h"
#include "filelib/paths/path_parts.h"
#include "filelib/platform/platform.h"

namespace {

// CopyFileWithTimes takes names of up to 599 characters.
constexpr size_t kCopyPathSize = 600;

// What a tree operation's root is. A folder link leads to another tree: it
// is no folder of this one, as on systems where a link is never a folder.
PathKind KindOfRoot(const char* root) {
    const PathKind kind = KindOfPath(root);
    return kind == PathKind::Folder && IsLinkedFolder(root) ? PathKind::File : kind;
}

}  // namespace

int32_t CFileFinder::ClearTree(char* root) { return ClearTree(root, "", false); }
int32_t CFileFinder::ClearTree(char* root, bool removeRoot) { return ClearTree(root, "", removeRoot); }
int32_t CFileFinder::ClearTree(char* root, const char* extList) { return ClearTree(root, extList, false); }

int32_t CFileFinder::ClearTree(char* root, const char* extList, bool removeRoot) {
    if (root == nullptr) return 0;
    AppendRootSlash(root);
    const PathKind kind = KindOfRoot(root);
    if (kind == PathKind::Unknown) return 1;  // it may hold files that would be reported gone
    if (kind != PathKind::Folder) return 0;
    // A file system's root is never cleared, however it is spelt.
    if (plat::IsFileSystemRoot(root)) return 1;
    if (std::strlen(root) <= 3 && root[1] == ':') {
        const char drive[3] = {root[0], ':', 0};
        if (plat::GetNetProvider().QueryDriveType(drive) == DRIVE_FIXED) return 1;
    }
    const int64_t leftOutBefore = g_nFinderLeftOut;
    const int32_t listed = ListTreeFiles(root, extList);
    // Matching files that the listing left out, or that could not be
    // deleted, are still there: the tree is not cleared.
    bool cleared = g_nFinderLeftOut == leftOutBefore;
    for (int32_t i = 0; i < listed; ++i)
        if (!RemoveFile(GetPathAt(i))) cleared = false;
    Reset();

    CFileFinder subfolders;
    const int32_t count = subfolders.ListSubfolders(root, 0);
    for (int32_t i = 0; i < count; ++i) {
        FINDER_ENTRY* sub = subfolders.GetEntry(i);
        if (sub != nullptr) RemoveFolderTree(sub->szPath);
    }
    subfolders.Reset();
    if (removeRoot) RemoveFolderTree(root);
    return cleared ? listed : 1;
}

int32_t CFileFinder::CopyTree(char* source, char* target) { return CopyTree(source, target, ""); }

int32_t CFileFinder::CopyTree(char* source, char* target, const char* extList) {
    if (source == nullptr || target == nullptr) return 1;
    AppendRootSlash(source);
    AppendRootSlash(target);
    if (KindOfRoot(source) != PathKind::Folder) return 1;
    if (!IsFolder(target)) CreateFolderPath(target);

    const int64_t leftOutBefore = g_nFinderLeftOut;
    const int32_t listed = ListTreeFiles(source, extList);
    // Matching files that the listing left out are not copied.
    int32_t result = g_nFinderLeftOut == leftOutBefore ? 0 : 2;
    for (int32_t i = 0; i < listed; ++i) {
        const char* relative = GetEntryRelativePath(i);
        char destination[kCopyPathSize];
        // A destination that does not fit is not copied, and the copy is
        // reported incomplete; so is every file that could not be copied.
        if (!JoinPath(destination, sizeof destination, target, relative)) {
            result = 2;
            continue;
        }
        char folder[kCopyPathSize];
        std::snprintf(folder, sizeof folder, "%s", GetPathDir(destination));
        if (folder[0] != 0) CreateFolderPath(folder);
        if (CopyFileWithTimes(GetPathAt(i), destination) != 0) result = 2;
    }
    Reset();
    return result;
}
