// Tree walkers that collect into growing lists: records of a whole tree in
// the order the search gives, and the file names, file paths or subfolder
// names of one folder.
//
// Extension lists, folder texts, g_nListCount and g_dwTotalSize are those of
// the sorted walkers (tree_collector.h). The lists belong to the library:
// callers read them through the shared pointers, record or string i at
// i times its size, until the next walk changes them. A walk with base 0
// starts a new list when it stores its first element (the old list is then
// released); a walk that finds nothing leaves the old list in place.
#pragma once

#include <cstddef>
#include <cstdint>

#include "filelib/tree/tree_collector.h"

constexpr size_t TREE_TEXT_WIDTH = 260;
// Folder texts of the record walkers and listings stay below this, so that
// every search pattern built from them stays below the text width.
constexpr size_t TREE_WALK_FOLDER_LIMIT = 254;

struct TREEENTRY {
    char szName[TREE_TEXT_WIDTH];    // as the search gave it, without folder
    char szFolder[TREE_TEXT_WIDTH];  // the start folder, then "folder<sep>subfolder" per level
    char szRoot[TREE_TEXT_WIDTH];    // the walk's start folder
    uint32_t dwSize;                 // low 32 bits of the length; 0 for a folder
    bool bFolder;
    int32_t nDepth;                  // 0 in the start folder, one more per level below
};

// The entry list: TREEENTRY records or TREE_TEXT_WIDTH-character strings,
// whichever walker filled it last.
extern void* g_hEntryList;
extern void* g_pEntryList;
// The subfolder list of BuildSubfolderList, TREE_TEXT_WIDTH-character strings.
extern void* g_hFolderList;
extern void* g_pFolderList;
extern char g_szTreeRoot[TREE_TEXT_WIDTH];  // start folder of the current record walk
extern double g_dTotalSize;                 // whole lengths listed by the record walkers, no wrap

// Every file and folder of the tree as records, pre-order: a folder's files
// group by group, then for each subfolder its record followed by its tree.
// `depth` is the caller's counter: a walk with base 0 sets it to 0, and it
// is back where it started when the walk returns. Returns the records added.
int32_t BuildTreeEntryList(const char* folder, const char* extList, int32_t base, int32_t& depth);
// The same without records for the folders.
int32_t BuildTreeFileList(const char* folder, const char* extList, int32_t base, int32_t& depth);

// The names, or "folder<sep>name" paths, of one folder's matching files as
// strings from index base on; a file matched by two groups comes twice.
int32_t BuildFolderFileNameList(const char* folder, const char* extList, int32_t base);
int32_t BuildFolderFilePathList(const char* folder, const char* extList, int32_t base);

// The folder's subfolder names, in search order, as a new subfolder list.
int32_t BuildSubfolderList(const char* folder);
