// What the tree copy, the tree deletion and the folder emptying share: the
// widths of their working texts, what a path given to them selects, and
// the removal of one listed file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "filelib/enum/tree_walk.h"
#include "filelib/tree/tree_collector.h"

namespace treeops {

// The working copies of the arguments.
constexpr size_t kArgumentSize = 500;
// A destination folder and a folder's rest below the source, or a folder
// and a name: room for both parts of what the tables can hold.
constexpr size_t kBuiltPathSize = kArgumentSize + TREE_FOLDER_WIDTH + TREE_NAME_WIDTH;

// Whether the walks made while it lives left matching files out: beyond
// the tables' capacity, or names, paths and folders that they could not
// take or read. g_bListTruncated stays set once set for everyone else; it
// is looked at here for these walks alone.
class WalkWatch {
public:
    WalkWatch() : m_truncatedBefore(g_bListTruncated), m_leftOutBefore(g_nTreeLeftOut) { g_bListTruncated = false; }
    ~WalkWatch() { g_bListTruncated = m_truncatedBefore || g_bListTruncated; }
    WalkWatch(const WalkWatch&) = delete;
    WalkWatch& operator=(const WalkWatch&) = delete;
    bool Truncated() const { return g_bListTruncated; }
    // Left out because they did not fit or could not be read.
    bool Unreadable() const { return g_nTreeLeftOut != m_leftOutBefore; }
    bool LeftOut() const { return Truncated() || Unreadable(); }

private:
    bool m_truncatedBefore;
    int64_t m_leftOutBefore;
};

inline bool IsSeparator(char c) { return c == '\\' || c == '/'; }

inline bool Fits(const char* text, size_t size) { return text != nullptr && std::strlen(text) < size; }

// The folder part of `path` up to `end` (exclusive), cut at its last
// separator, into `folder` (of kArgumentSize). A separator that is the
// root's own stays: "/x" gives "/", "C:\x" gives "C:\" and not "C:" (the
// current folder of drive C). No separator gives "" (the current folder).
// Returns where the text after the cut begins.
inline const char* CutFolder(const char* path, const char* end, char* folder) {
    const char* cut = nullptr;
    for (const char* p = path; p < end; ++p)
        if (IsSeparator(*p)) cut = p;
    if (cut == nullptr) {
        folder[0] = 0;
        return path;
    }
    size_t length = size_t(cut - path);
    const bool rootSeparator = length == 0 || (length == 2 && path[1] == ':');
    if (rootSeparator) ++length;
    std::memcpy(folder, path, length);
    folder[length] = 0;
    return cut + 1;
}

// What a path given to the pattern operations selects: the files of a
// folder and of every folder below it, all of them or those whose whole
// name matches a pattern.
struct TreeSelection {
    char folder[kArgumentSize];
    // Matched by the library's wildcard matching; "" for every file.
    char namePattern[TREE_NAME_WIDTH];
    // Whether the path names the folder (as itself, or before a pattern
    // with wildcards), so that removing it or its subfolders is asked of
    // it. A plain name that is no folder ("x.tmp", a mistyped "build.d")
    // names none: it selects files by that name and removes no folder.
    bool namesFolder;
};

// Reads a path (shorter than kArgumentSize): a path that ends in a
// separator, or whose last part holds no wildcard and names an existing
// folder, is that folder with every file; otherwise its last part selects
// in the folder before it: "*" and "*.*" every file, anything else the
// files of that whole name ("*.c", "*.tar.gz", "x.tmp", "a*.txt"). A last
// part with wildcards is always a pattern, also where POSIX holds a folder
// spelt so. False, the path refused, when the last part is too long for a
// name.
bool SelectTreeFiles(const char* path, TreeSelection* selection);

// The walk of the sorted collector over the selection, from index 0.
int32_t CollectSelection(const TreeSelection& selection);

// The subfolders of ListSubfoldersSorted(folder), copied aside for a walk
// in their sorted order. False when memory ran short and not all were kept.
bool KeepSortedSubfolders(const char* folder, walk::Subfolders& out);

// Deletes folder + separator + name without touching its attributes, so
// that a read-only file stays, as the system's own removal keeps it. False
// when the file is still there (or the path does not fit).
bool RemoveKeepingReadOnly(const char* folder, const char* name);

}  // namespace treeops
