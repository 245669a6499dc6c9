// Directory search: the entries of one folder, matched by a name pattern,
// and the searches of a walk, each opened relative to its parent's folder.
#pragma once

#include <cstdint>

#include "filelib/platform/errors.h"
#include "filelib/platform/win_types.h"

namespace plat {

// One directory entry. Names are the bytes the file system holds.
struct FindData {
    uint32_t attrib;   // FILE_ATTRIBUTE_* bits
    int64_t tCreate;   // time_t; the write time where no creation time is kept
    int64_t tAccess;
    int64_t tWrite;
    uint64_t size;     // full length; 0 for folders
    char name[MAX_PATH];
};

// Lets a search pass over entries the caller would reject anyway, without
// the cost of reading their details.
enum class SearchKind { All, FilesOnly, FoldersOnly };

// How much of each entry a search fills in. Sizes: the directory bit and
// the size only (no times, no other attributes), and a folder whose type
// the folder's own record gives is taken without asking the file system
// about it. For callers that read nothing else, such as the size walk.
enum class SearchDetail { Full, Sizes };

struct Search;  // one open directory search, owned by its opener
using SearchHandle = Search*;

// Opens a search on a pattern "folder<sep>namepattern" (or a bare name
// pattern for the current folder). Wildcards * and ? in the last component
// only, matched case-insensitively. Returns null when the folder cannot be
// read or nothing matches; otherwise the first entry is in *out.
SearchHandle FindOpen(const char* pattern, SearchKind kind, FindData* out);

// Opens the folder `path` itself (an empty path: the current folder) for
// searches in it through FindOpenIn with the name ".". A symbolic link
// named as the path is followed, as the Windows search follows "link\*.*".
// The search yields no entries of its own. Null when `path` names no
// folder that can be read.
SearchHandle FindOpenFolder(const char* path);

// The same for the subfolder `name` of the folder that `parent` searches,
// opened relative to it, so the length of the full path does not matter.
// The name "." searches parent's own folder again, through the folder
// already open. A subfolder that is parent's folder or one of the folders
// parent was opened in (a bind mount, a junction leading back up) finds
// nothing, so that no walk counts a folder twice or runs in a circle.
SearchHandle FindOpenIn(SearchHandle parent, const char* name,
                        const char* namePattern, SearchKind kind, FindData* out,
                        SearchDetail detail = SearchDetail::Full);

// The size walk's one search of a folder: opens the subfolder `name` of
// the folder that `parent` searches, as FindOpenIn does (the same names,
// the same folders refused), and adds the whole lengths of all its files
// to *fileBytes before anything else, asking the file system for nothing
// but their type and size. FindNext then yields the folder's subfolders
// from the first, with the directory bit and the name only. Null, with
// nothing added, when the folder cannot be read.
SearchHandle FindOpenSummingFiles(SearchHandle parent, const char* name, uint64_t* fileBytes);

// Next matching entry; false at the end (the search stays open).
bool FindNext(SearchHandle search, FindData* out);
void FindClose(SearchHandle search);

// Why the last search start (FindOpen and its kin) or FindNext of the
// calling thread that found nothing found nothing: NotFound when there was
// nothing to find (no such folder or entry, or a file or link where the
// folder should be, no entry that matches, the end of the folder); any
// other error when the folder or the entry could not be looked at (a path
// longer than the system takes, a folder that may not be read, an I/O
// error). A caller that must not take "could not look" for "not there"
// asks this at once, before its next search call.
Error LastSearchError();

}  // namespace plat
