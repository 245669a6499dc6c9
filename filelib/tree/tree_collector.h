// The sorted tree collector and the sorted listings of one folder.
//
// The walkers search a folder (or a whole tree) for the files whose
// extension matches an extension list: three characters per extension,
// written one after another ("txtdocxls"); a list shorter than three
// characters means every file. A group may hold wildcards ("c??", "*").
// A folder text is given without a trailing separator; an empty one is the
// current folder. A folder that cannot be searched contributes nothing.
//
// Results land in library-wide tables that every call overwrites: one walk
// at a time, and callers copy out what they need before the next. A walk
// starts with base 0; a caller may continue it with the running count.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int32_t TREE_TABLE_CAPACITY = 2000;
constexpr size_t TREE_FOLDER_WIDTH = 260;
constexpr size_t TREE_NAME_WIDTH = 200;
// Folder texts of the sorted walks stay below this, so that every search
// pattern built from them stays below the name width.
constexpr size_t TREE_SORTED_FOLDER_LIMIT = 194;

// Parallel tables: index i of each describes one collected file.
extern char g_aszTreeFolder[TREE_TABLE_CAPACITY][TREE_FOLDER_WIDTH];
extern char g_aszTreeFile[TREE_TABLE_CAPACITY][TREE_NAME_WIDTH];
extern uint32_t g_adwTreeSize[TREE_TABLE_CAPACITY];  // low 32 bits of the length
extern uint64_t g_aqwTreeSize[TREE_TABLE_CAPACITY];  // the whole length, also of 4 GiB and more
extern char g_aszSubfolder[TREE_TABLE_CAPACITY][TREE_NAME_WIDTH];

extern int32_t g_nListCount;     // entries of the last listing or walk
extern bool g_bListTruncated;    // a sorted listing stopped at the capacity; never cleared
extern uint32_t g_dwTotalSize;   // sizes listed since the last walk start; wraps at 4 GiB
// Counts, for as long as the process runs, the matching files and the
// folders that the sorted listings and walks left out because their names
// or paths do not fit the tables, and the folders they could not read (a
// folder that is not there is not counted). A caller compares it before
// and after a walk to know whether the walk saw everything.
extern int64_t g_nTreeLeftOut;

// The matching files of the whole tree, from index base on: each folder's
// own files sorted, then its subfolders' trees in sorted order. Stops
// adding at TREE_TABLE_CAPACITY files in all. Returns the number added.
int32_t CollectTreeFiles(const char* folder, const char* extList, int32_t base);

// The same walk for the files whose whole name matches `namePattern` by
// the library's wildcard matching ("*.html", "*.tar.gz", "x.tmp",
// "a*.txt"), whatever the length of their extensions. A pattern holding a
// separator, empty, or of TREE_NAME_WIDTH characters or more matches nothing.
int32_t CollectTreeFilesNamed(const char* folder, const char* namePattern, int32_t base);

// The folder's matching files, sorted by name (upper-cased, umlauts folded,
// the name before its extension), into g_aszTreeFile and g_adwTreeSize from
// index base. g_aszTreeFolder is left to the caller. Returns the number.
int32_t ListFolderFilesSorted(const char* folder, const char* extList, int32_t base);

// The folder's subfolder names, at most TREE_TABLE_CAPACITY, sorted by
// their upper-cased names, into g_aszSubfolder. Returns the number.
int32_t ListSubfoldersSorted(const char* folder);

// Number of matching files; a file matched by two groups counts twice.
int32_t CountFolderFiles(const char* folder, const char* extList);
