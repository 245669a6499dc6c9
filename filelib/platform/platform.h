// The portable interface to the operating system: the file system with its
// directory search, open files for copying, drives and the network
// provider, the current folder and the exclusive-open test. Everything
// above this folder is written once; only the files in this folder know
// which system they run on (per system a file-system and a process file,
// the search and the folder scan, chosen by the build; what both systems
// share lives once in the common files). This header also brings the
// others along: errors.h, process.h, calendar.h, folder_scan.h and
// win_types.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "filelib/platform/calendar.h"
#include "filelib/platform/errors.h"
#include "filelib/platform/folder_scan.h"
#include "filelib/platform/process.h"
#include "filelib/platform/win_types.h"

namespace plat {

// ------------------------------------------------------------ path limits
// The longest path the library handles, written once, and the working
// buffers that follow from it. A text that does not fit one of these is
// refused, never cut.

// Bytes of the longest path text the library takes, builds or hands the
// system, terminator included: what Linux takes in one call (its PATH_MAX).
// Windows takes no more than MAX_PATH in one call; longer paths reach it in
// pieces through the long-name rule, so the same number holds there.
constexpr size_t kLongestPath = 4096;

// A search pattern or an entry's path: a folder of the longest path, a
// separator and a name (or name pattern) no longer than an entry name. The
// separator takes the place of the folder's terminator.
constexpr size_t kLongestPattern = kLongestPath + MAX_PATH;

// Paths longer than this are worked on from inside their folder by their
// bare name (the long-name rule): 255 on Windows; on POSIX the system takes
// every path the library handles, so there the limit is never reached.
extern const size_t kLongNameThreshold;

// Separator that the library puts between the parts of paths it builds.
// Splitting accepts both '\\' and '/' everywhere.
extern const char kPathSep;

// ------------------------------------------------------------ one path
// Attributes, time stamps and search data of one path; removing, moving
// and making entries. Paths go to the system as given (the long-name rule
// is applied above this layer). Links are not followed.

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

// Opens the file for reading without sharing it and closes it at once.
// None: nobody else holds it. SharingViolation: another holder conflicts.
// NotFound, AccessDenied (also for a folder): the file cannot be opened.
//
// Windows: any other open without sharing conflicts. POSIX has no sharing
// modes; there a file counts as held when a lock conflicts with an
// exclusive one: a flock(2) lock of another open file, or an fcntl record
// lock (POSIX or open-file-description) of another process on any byte.
// Closing the test's descriptor drops this process's own fcntl record locks
// on the file, as every close does on POSIX; the library takes none.
Error TryExclusiveOpen(const char* path);

// ------------------------------------------------ current folder and drive

// Current drive (1 = A), 0 where there are no drive letters.
int GetCurrentDrive();
// Makes drive `drive` (1 = A) current; does nothing where there are no
// drive letters.
Error SetCurrentDrive(int drive);

// Current folder into buf; false (buf empty) when it does not fit.
bool GetCurrentDir(char* buf, size_t size);
// Makes `path` the current folder (on Windows, of the drive it names).
Error ChangeDir(const char* path);

// ------------------------------------------------ drives and network

// Bytes free for the calling user on the drive that `drive` names
// (for example "D:"); 0 and NotFound where there are no drive letters.
Error FreeBytesForCaller(const char* drive, uint64_t* bytes);

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

// ------------------------------------------------------ directory search
// The entries of one folder, matched by a name pattern.

// One directory entry. Names are the bytes the file system holds.
struct FindData {
    uint32_t attrib;   // FILE_ATTRIBUTE_* bits
    int64_t tWrite;    // time_t
    uint64_t size;     // full length; 0 for folders
    char name[MAX_PATH];
};

// Lets a search pass over entries the caller would reject anyway, without
// the cost of reading their details.
enum class SearchKind { All, FilesOnly, FoldersOnly };

struct Search;  // one open directory search, owned by its opener
using SearchHandle = Search*;

// Opens a search on a pattern "folder<sep>namepattern" (or a bare name
// pattern for the current folder). Wildcards * and ? in the last component
// only, matched case-insensitively. Returns null when the folder cannot be
// read or nothing matches; otherwise the first entry is in *out.
SearchHandle FindOpen(const char* pattern, SearchKind kind, FindData* out);

// Next matching entry; false at the end (the search stays open).
bool FindNext(SearchHandle search, FindData* out);
void FindClose(SearchHandle search);

// Why the last FindOpen or FindNext of the calling thread that found
// nothing found nothing: NotFound when there was
// nothing to find (no such folder or entry, or a file or link where the
// folder should be, no entry that matches, the end of the folder); any
// other error when the folder or the entry could not be looked at (a path
// longer than the system takes, a folder that may not be read, an I/O
// error). A caller that must not take "could not look" for "not there"
// asks this at once, before its next search call.
Error LastSearchError();

// ------------------------------------------------------ file data
// Open files for copying: data with its length and holes, identities that
// tell whether two paths name one file, time stamps as the system keeps
// them, and a new file beside another that can replace it whole. A handle
// belongs to its opener, who ends it with CloseFile.

struct OpenFile;
using FileHandle = OpenFile*;

// What makes two paths name one file, whatever their spelling or links:
// device and inode on POSIX, volume serial and file index on Windows.
struct FileIdentity {
    uint64_t volume;
    uint64_t index;
};

inline bool SameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.volume == b.volume && a.index == b.index;
}

// UTC, as the system keeps them. A file system without a creation time
// gives the write time in its place.
struct FileTimes {
    FILETIME create;
    FILETIME access;
    FILETIME write;
};

// An existing file, opened for reading with links followed. Null when it
// cannot be opened or is no plain file (a folder, a device).
FileHandle OpenForReading(const char* path);

// Length, identity and times of an open file. False when they cannot be read.
bool QueryOpenFile(FileHandle file, uint64_t* length, FileIdentity* identity, FileTimes* times);

// Identity of the file that a path reaches, links followed. False when the
// path reaches nothing.
bool QueryPathIdentity(const char* path, FileIdentity* identity);

// Creates a new, empty file with a name of its own in the folder of
// `target` (the current folder for a bare name) and opens it for writing.
// On POSIX only its owner may read or write it until GiveCopyAccess says
// otherwise; on Windows an existing target lends it the hidden, system and
// archive attributes. The new file's path, in the folder as `target`
// spells it, goes to tempPath. Null when no file can be made there or its
// path does not fit `size`.
FileHandle CreateFileBeside(const char* target, char* tempPath, size_t size);

// Opens a file for writing from its start, emptying an existing one and
// creating a missing one. On POSIX a new file, and as far as the process
// may an existing one, is its owner's alone until GiveCopyAccess. Null
// when it cannot.
FileHandle OpenForWriting(const char* path);

// Who may use a complete copy (POSIX; Windows carries its attributes
// through the attribute calls and ignores this).
enum class CopyAccess {
    // The source's owner and group where the process may give them, and
    // all of its permission bits; the set-id and sticky bits only when the
    // owner and group could be given, as cp -p does.
    Source,
    // The source's permission bits less the process's umask, without the
    // set-id and sticky bits, plus write permission for the owner (the
    // read-only attribute is not carried); the owner and group of the file
    // it replaces where the process may give them, else the process's.
    SourceLessUmask,
};

// Gives `copy`, the complete copy of the open `source` that is to take
// `target`'s place (or is `target`), its access. Run before the copy is
// put in place. A system that refuses a mode leaves the copy with the
// narrow one it has: a copy never grants more access than its source.
void GiveCopyAccess(FileHandle copy, FileHandle source, const char* target, CopyAccess access);

// Writes an open file's data through to the disk. False when the system
// reports that it could not.
bool FlushFile(FileHandle file);

// Makes the entries of the folder that holds `path` (a bare name: the
// current folder) reach the disk, so that a file just moved there stays
// there after a power cut. POSIX flushes the folder; on Windows the
// replacing move is written through and there is nothing left to do.
bool FlushFolderOf(const char* path);

// Copies the first `length` bytes of `source` into the empty `dest`. On
// POSIX the holes of a sparse source stay unwritten. False on a read or
// write error (a full disk) and when the source ends before `length`.
bool CopyFileData(FileHandle source, FileHandle dest, uint64_t length);

// Gives an open file the three times (a creation time only where the file
// system keeps one). False when the system refuses.
bool SetOpenFileTimes(FileHandle file, const FileTimes& times);

// Ends the handle. False when the system reports that written data did not
// reach the file (some file systems report a full disk only here).
bool CloseFile(FileHandle file);

}  // namespace plat
