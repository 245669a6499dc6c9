// The portable interface to the operating system. Everything above this
// header is written once; only the files in this folder know which system
// they run on (one *_posix.cpp and one *_win.cpp per concern, chosen by the
// build). This header brings every concern's header along.
#pragma once

#include <cstddef>
#include <cstdint>

#include "filelib/platform/drives.h"
#include "filelib/platform/errors.h"
#include "filelib/platform/file_data.h"
#include "filelib/platform/file_locks.h"
#include "filelib/platform/file_system.h"
#include "filelib/platform/path_limits.h"
#include "filelib/platform/win_types.h"
#include "filelib/platform/working_folder.h"

namespace plat {

// Separator that the library puts between the parts of paths it builds.
// Splitting accepts both '\\' and '/' everywhere.
extern const char kPathSep;

// ---------------------------------------------------------------- search

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

// ------------------------------------------------------------- program

// Full path of the running program into buf; false when unknown or too long.
bool GetProgramPath(char* buf, size_t size);

// ------------------------------------------------------------- process

// Stands in for the application framework's start. Fails when the process
// was started without a program name: without it the program cannot know
// its own identity (title, module).
bool StartApplication(int argc, char** argv);

// Waits for one key press at the console, without echo and without Enter.
// Returns at once when there is no console or terminal to read from.
void WaitForKey();

void SleepMilliseconds(DWORD milliseconds);

// --------------------------------------------------------------- text

// UTF-16 to the ANSI code page (Windows-1252 on POSIX), "?" for what the
// code page cannot hold. Returns the bytes written including the
// terminator, or 0 when the result does not fit `size`.
int WideToAnsiCodePage(const WCHAR* text, char* out, int size);

// -------------------------------------------------------- network drives

// The system's remembered network connections and drive types. Tests
// install a fake to drive every answer.
class NetProvider {
public:
    virtual ~NetProvider() = default;
    // WNetGetConnectionA: NO_ERROR with the share in remote,
    // ERROR_CONNECTION_UNAVAIL when remembered but not connected.
    virtual long GetConnection(const char* localName, char* remote, DWORD* length) = 0;
    // WNetAddConnection2A for a disk resource, no user, no password,
    // remembered in the profile. NO_ERROR on success.
    virtual long AddConnection(const char* localName, const char* remote) = 0;
    virtual unsigned QueryDriveType(const char* root) = 0;
};

NetProvider& GetNetProvider();
// Installs a provider (not owned); null brings back the system's own.
void SetNetProvider(NetProvider* provider);

}  // namespace plat
