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
// An existing target lends it what writing into the target in place would
// have kept: permission bits and owner on POSIX, the hidden, system and
// archive attributes on Windows. The new file's path, in the folder as
// `target` spells it, goes to tempPath. Null when no file can be made there
// or its path does not fit `size`.
FileHandle CreateFileBeside(const char* target, char* tempPath, size_t size);

// Opens a file for writing from its start, emptying an existing one and
// creating a missing one. Null when it cannot.
FileHandle OpenForWriting(const char* path);

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
