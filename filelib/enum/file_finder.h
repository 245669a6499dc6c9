// Enumerates one folder at a time: its files (optionally filtered by
// extension) or its subfolders, one entry per call.
#pragma once

#include <cstdint>

#include "filelib/datetime/datetime_rec.h"
#include "filelib/enum/block_array.h"
#include "filelib/paths/path_attributes.h"  // AppendRootSlash
#include "filelib/platform/platform.h"

struct FINDER_ENTRY {
    char szName[260];
    char szDir[260];
    char szPath[260];    // szDir and szName joined; szName alone when szDir is empty
    uint32_t dwSize;     // the size's low 32 bits; 0 for a folder
    uint8_t bIsDir;
    int32_t nLevel;
    DATETIMEREC dtWrite; // last write, local time
};

// Skip flags of CFileFinder::m_nFlags.
enum : uint32_t {
    FINDER_SKIP_HIDDEN = 1,
    FINDER_SKIP_SYSTEM = 2,
    FINDER_SKIP_EMPTY = 4,     // files only
    FINDER_SKIP_DOTNAMES = 8,  // files only
    FINDER_SKIP_HIDDEN_OR_SYSTEM = FINDER_SKIP_HIDDEN | FINDER_SKIP_SYSTEM,
};

// Counts, for as long as the process runs, what the finder's listings and
// tree listings left out without being asked to: entries whose paths do
// not fit the records, folders too long for them or that could not be
// read (a folder that is not there is not counted), and walks cut short
// when memory ran out. A caller compares it before and after a listing to
// know whether the listing saw everything. The single entry searches
// (FindFirst and its kin) do not count.
extern int64_t g_nFinderLeftOut;

// A folder that the tree operations list but never enter: a link or
// junction (reparse point), or one whose attributes cannot be read. On
// POSIX a link is never a folder to begin with.
bool IsLinkedFolder(const char* path);

class CFileFinder {
public:
    CFileFinder();
    ~CFileFinder();
    CFileFinder(const CFileFinder&) = delete;
    CFileFinder& operator=(const CFileFinder&) = delete;

    void Reset();
    void Close();

    // Folder texts are writable: a bare drive gets its root slash in place.
    // A folder too long for m_szSearchDir finds nothing.
    bool FindFirst(char* dir);
    bool FindFirst(char* dir, const char* extList);
    bool FindNext();
    bool FindFirstDir(char* dir);
    bool FindNextDir();

    // Keeps entries whose paths do not fit the record in every search of
    // this finder until Reset, with szDir and szPath empty; a folder text
    // too long for m_szSearchDir is then searched all the same.
    void SetKeepLongPaths(bool keep) { m_bKeepLongPaths = keep; }

    uint32_t GetSize() const { return m_cur.dwSize; }
    // The whole length of the current entry, also of 4 GiB and more.
    uint64_t GetFullSize() const { return m_qwCurSize; }
    const DATETIMEREC* GetDate() const { return &m_cur.dtWrite; }
    const char* GetName() const { return m_cur.szName; }
    const char* GetDir() const { return m_cur.szDir; }
    const char* GetPath() const { return m_cur.szPath; }

    // Listings: the files or subfolders of one folder at once, in the order
    // of m_nSortOrder, written into m_list from `startIndex` on (callers
    // pass GetEntryCount() to append). Each returns the number of records
    // it stored. A pattern or extension holding '\\' or '/' lists nothing.
    int ListFiles(char* dir, int startIndex, const char* pattern, int tag);
    int ListAllFiles(char* dir, int startIndex = 0);
    int ListFilesByExtensions(char* dir, const char* extList, int startIndex = 0, int tag = 0);
    int ListSubfolders(char* dir, int startIndex = 0);
    // Orders two FINDER_ENTRY records by name, then extension, as sort
    // mode 0 does: -1, 0 or 1. Fits qsort.
    static int CompareEntriesByName(const void* first, const void* second);
    // szPath of record i, or of the current entry, below m_szListDir
    // (without the separator after it); null when i is out of range.
    const char* GetEntryRelativePath(int32_t index) const;
    const char* GetCurrentRelativePath() const;
    int32_t GetEntryCount() const { return m_list.GetCount(); }

    // ---- Operations over whole trees. Subfolders are visited in search
    // order with default settings (hidden ones too); this finder's sort
    // order and filter flags apply to the files. Folders that are links are
    // listed where folders are listed but never entered. An empty root is
    // the current folder; a root too long for m_szListDir lists nothing.

    // All matching files of the tree into m_list from index 0, each with the
    // depth of its folder below the root in nLevel; with m_bTreeOrder a
    // folder's files come before those of its subfolders, else after.
    int32_t ListTreeFiles(char* root);
    int32_t ListTreeFiles(char* root, const char* extList);
    // All folders below the root, each tagged with the depth of the folder
    // holding it; with m_bTreeOrder every folder after those below it.
    int32_t ListTreeFolders(char* root);
    // Folders and files; every folder before its contents.
    int32_t ListTree(char* root);
    int32_t ListTree(char* root, const char* extList);
    int32_t CountSubfolders(char* folder);
    // Matching files of one folder; their whole lengths are added to
    // m_dTotalSize, which is not reset.
    int32_t CountFiles(char* folder);
    int32_t CountFiles(char* folder, const char* extList);
    int32_t CountTreeFiles(char* root);
    int32_t CountTreeFiles(char* root, const char* extList);
    // Deletes the matching files of the tree (read-only ones too), then
    // removes the subfolders that are left empty, and the root itself on
    // request. The number of files listed for deletion; 0 when the root is
    // no folder (a folder link is none); 1, deleting nothing, for a file
    // system's root or the root of a fixed drive, or a root that could not
    // be looked at; 1 also, after the files it could delete are gone, when
    // a matching file stays: the listing left it out (its path does not fit
    // the records, its folder could not be read) or it could not be
    // deleted. Ends with Reset.
    int32_t ClearTree(char* root);
    int32_t ClearTree(char* root, bool removeRoot);
    int32_t ClearTree(char* root, const char* extList);
    int32_t ClearTree(char* root, const char* extList, bool removeRoot);
    // Copies the matching files of the tree with their times and attributes
    // into the same layout below the target, creating only the folders
    // that receive a file. 0; 1 when the source is no folder (a folder link
    // is none); 2 when a file could not be copied (the others are), or the
    // listing left matching files out (paths that do not fit the records,
    // folders that could not be read). Ends with Reset.
    int32_t CopyTree(char* source, char* target);
    int32_t CopyTree(char* source, char* target, const char* extList);

    FINDER_ENTRY* GetEntry(int32_t index) const;
    const char* GetNameAt(int32_t index) const;
    uint32_t GetSizeAt(int32_t index) const;
    const DATETIMEREC* GetDateAt(int32_t index) const;
    const char* GetDirAt(int32_t index) const;
    const char* GetPathAt(int32_t index) const;

    CBlockArray m_list;
    double m_dTotalSize;
    char m_szListDir[300];
    char m_szFilters[100][10];
    char m_szSearchDir[300];
    uint8_t m_bTreeOrder;
    int32_t m_nSortOrder;
    int32_t m_nFilterCount;
    int32_t m_nFilterIndex;
    uint32_t m_nFlags;
    int32_t m_nPresetCount;
    plat::SearchHandle m_hFind;
    plat::FindData m_fd;
    FINDER_ENTRY m_cur;

private:
    void ParseFilters(const char* extList);
    bool StartSearch(char* dir);
    bool OpenSlot(const char* dir);
    bool NextFile();
    bool NextDir();
    bool AcceptFile();
    bool AcceptDir();
    bool PassesAttributeTests();
    bool FillCurrent(bool isDir);

    uint64_t m_qwCurSize;
    bool m_bKeepLongPaths;
    bool m_bDirUnknown;                  // the folder text did not fit m_szSearchDir (kept long paths)
    bool m_bFilterUnusable[100];         // extension too long for its slot
};
