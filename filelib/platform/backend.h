// Backend files and the common part only, never above this folder: what
// each system's files provide to the common part (the pieces of the
// network-provider swap, of the application start and of the temporary
// name loop) and what all of them share (the system's error codes as
// plat::Error, the search's record of why it found nothing). On Windows
// it brings <windows.h> with the settings every backend file needs, and
// the few conversions of the Win32 records that several files make.
#pragma once

#include <cstddef>
#include <cstdint>

#include "filelib/platform/platform.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace plat {

// ------------------------------------------------------------- errors

// errno on POSIX, a GetLastError code on Windows.
Error ErrorFromSystemCode(long code);
// The calling thread's last error (errno or GetLastError).
Error LastSystemError();

// ------------------------------------------------------------- paths

// A path the system can be asked about: given, and not empty.
inline bool IsGivenPath(const char* path) { return path != nullptr && path[0] != 0; }

// The folder that `path` names; an empty path names the current folder.
inline const char* FolderOrCurrent(const char* path) { return path[0] != 0 ? path : "."; }

// Bytes of the folder part of `path`, its last separator included, as the
// system reads it (a drive on Windows: "C:name" has the folder "C:"); 0 for
// a bare name.
size_t FolderPartLength(const char* path);

// ------------------------------------------------ deleting and replacing
// What a delete or a replacing move may touch is ruled once, in
// platform.cpp, by Windows' rules on every system; each system says what
// an entry is and does the deed.

// An entry as those rules see it: a link itself, never what it leads to.
struct EntryState {
    bool isFolder;
    bool readOnly;  // the read-only attribute (a POSIX link never has it)
};
// The entry `path`, or why it cannot be read.
Error ReadEntryState(const char* path, EntryState* state);
// The target of a replacing move: *exists false, and None, when nothing
// is there to replace (on Windows also when it cannot be looked at: the
// move then says why).
Error ReadReplaceTarget(const char* path, bool* exists, EntryState* state);
Error RemoveFileNow(const char* path);
Error RemoveFolderNow(const char* path);
Error MoveNow(const char* from, const char* to, MoveMode mode);

// ------------------------------------------------ pieces of each system

// The system's own network provider: the Windows networking calls, or on
// POSIX one without mappings.
NetProvider& SystemNetProvider();

// What the application start asks of the system once the program's name
// is known to be there.
bool StartOnSystem();

// The program's full path into buf: its length, which is `size` or more
// when it did not fit (buf then holds no whole path), 0 when unknown.
size_t ReadProgramPath(char* buf, size_t size);
// The current folder into buf; false when it does not fit.
bool ReadCurrentDir(char* buf, size_t size);

// The temporary names of CreateFileBeside: the prefix, the longest path
// such a file may have, and a number that tells this process's names from
// another's (its id with a clock).
extern const char kTempNamePrefix[];
extern const size_t kLongestNewPath;
uint32_t TempNameSeed();
// Makes the file `path`, which must not be there yet, to take the place
// of `target`, and opens it for writing. Null with *taken set when the name
// is in use already, null alone for any other failure.
FileHandle CreateNewFile(const char* path, const char* target, bool* taken);

// ------------------------------------------------------------ searches

// Records why a search of the calling thread found nothing; None when it
// found something.
void SetSearchError(Error why);
// Records why and returns null, for a search start to return.
SearchHandle NothingFound(Error why);
// Whether a search of `kind` yields an entry that is (or is not) a folder.
bool KindWants(SearchKind kind, bool isFolder);

#ifdef _WIN32
// ------------------------------------------------------ Win32 records

inline uint64_t JoinHalves(DWORD high, DWORD low) { return (uint64_t(high) << 32) | low; }

inline FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return {info.dwVolumeSerialNumber, JoinHalves(info.nFileIndexHigh, info.nFileIndexLow)};
}

// A file system that keeps no creation time (or no access time) gives 0:
// the write time stands in for it.
inline FILETIME OrWriteTime(const FILETIME& time, const FILETIME& write) {
    return time.dwLowDateTime == 0 && time.dwHighDateTime == 0 ? write : time;
}

// Opens a file or folder (backup semantics) for questions about it,
// links followed; INVALID_HANDLE_VALUE when it cannot.
inline HANDLE OpenForQuestions(const char* path, DWORD access) {
    return CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}
#endif

}  // namespace plat
