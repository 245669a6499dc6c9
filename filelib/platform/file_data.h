// Open files for copying: data with its length and holes, identities
// that tell whether two paths name one file, time stamps as the system
// keeps them, and a new file beside another that can replace it whole.
#pragma once

#include <cstddef>
#include <cstdint>

#include "filelib/platform/win_types.h"

namespace plat {

// A handle belongs to its opener, who ends it with CloseFile.

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
