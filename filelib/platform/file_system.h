// The file system: attributes, time stamps and search data of one path;
// removing, moving and making entries. Paths go to the system as given
// (the long-name rule is applied above this layer). Links are not followed.
#pragma once

#include "filelib/platform/errors.h"
#include "filelib/platform/win_types.h"

namespace plat {

// Separator that the library puts between the parts of paths it builds.
// Splitting accepts both '\\' and '/' everywhere.
extern const char kPathSep;

// Attributes of a path, or INVALID_FILE_ATTRIBUTES.
DWORD ReadAttributes(const char* path);

// Sets the attributes of a path. On POSIX only READONLY means something:
// set, it takes every write permission away; cleared, it gives the owner
// write permission back. The other bits are ignored there.
Error WriteAttributes(const char* path, DWORD attrib);

// The three time stamps as the system keeps them, to its own precision.
// Where the system keeps no creation time, the write time stands in.
// A null pointer is not filled.
Error ReadFileTimes(const char* path, FILETIME* creation, FILETIME* access, FILETIME* write);

// Sets the time stamps that are not null and leaves the others. POSIX
// cannot set a creation time: it is ignored there.
Error WriteFileTimes(const char* path, const FILETIME* creation, const FILETIME* access, const FILETIME* write);

// The system's search data of the first entry the path names (its last
// part may hold wildcards). cAlternateFileName is empty where the system
// keeps no short names; nFileSizeHigh/Low hold the whole length.
Error ReadFindData(const char* path, WIN32_FIND_DATAA* out);

// Removes one file (a link itself, never what it points to). Refuses a
// folder (IsFolder) and a file with the read-only attribute (ReadOnly), on
// every system alike.
Error RemoveFileEntry(const char* path);

// Renames or moves a file or folder. Without replacing, an existing target
// gives Exists. With replacing, an existing file target is replaced in one
// step (the old target stays whole if the move fails); a target with the
// read-only attribute gives ReadOnly and a folder target Exists.
enum class MoveMode { KeepTarget, ReplaceTarget };
Error MovePath(const char* from, const char* to, MoveMode mode);

// Makes one folder (its parent must exist).
Error MakeFolder(const char* path);
// Removes one empty folder. Refuses a folder with the read-only attribute
// (ReadOnly), a file (NotFolder) and a folder with entries (NotEmpty).
Error RemoveFolder(const char* path);

// Why the folder `path` (an empty text: the current folder) cannot be
// searched: NotFound, AccessDenied, NotFolder for a file, NameTooLong,
// InvalidName, Other; None when it can be searched now. A symbolic link
// named as the path is followed. For callers whose search of it failed and
// who must say why; it looks again, so it costs nothing on success.
Error FolderOpenError(const char* path);

// True when the folder that `path` names (an empty text: the current
// folder) is the root of a file system, in any spelling: "/" or a mount
// point on POSIX; a drive's or a share's root or a mounted volume's folder
// on Windows, where a bare drive ("C:") counts as its root, since names
// joined to it reach the root. Links and junctions on the way are
// followed, so a link to a root is a root. The deleting tree operations
// refuse such folders.
bool IsFileSystemRoot(const char* path);

}  // namespace plat
