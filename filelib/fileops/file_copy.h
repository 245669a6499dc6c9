// Copying one file with its time stamps and attributes.
//
// Both copies write into a new file beside the destination and put it in
// place only when it is complete, so a copy that fails part way (a read
// error, a full disk) leaves an existing destination as it was, with its
// attributes. Only where no file can be made beside it is the destination
// written in place. A copy onto the source itself (another spelling of
// it, a hard link, a link to it) changes nothing and fails. Files of any
// length are copied whole; on POSIX the holes of a sparse file stay holes.
// Times are carried as the system keeps them, and always set before the
// attributes, so that a read-only copy still gets its times.
//
// A copy never grants more access than its source. On POSIX the file
// beside the destination is its owner's alone until it is complete; then
// it takes the source's permission bits, and owner and group where the
// process may give them (keep attributes), or the source's bits less the
// umask (without). A copy that replaces a file reaches the disk before it
// takes the old one's place, so a crash leaves the old file or the new
// one, never neither; new files are not flushed one by one.
#pragma once

#include <cstdint>

enum : int {
    COPY_DONE = 0,
    COPY_FAILED = 1,
    COPY_NOT_FOUND = 2,  // CopyFileChecked: also the size differs from the expected one
};

// Gives the copy the source's creation (where kept), access and write
// times and its attributes. Names of up to 599 characters; a name of more
// than 255 is worked on from inside its folder, and a long destination's
// missing folder is created. Longer names are refused (COPY_FAILED).
int CopyFileWithTimes(const char* source, const char* dest);

// Plain names; keeping the times and the attributes are options. Without
// keep attributes a read-only destination is refused (COPY_FAILED). An
// expected size other than 0 is compared with the low 32 bits of the
// source's length before anything is written (the listings' sizes are
// 32-bit); the copy itself is always whole.
int CopyFileChecked(const char* source, const char* dest, bool keepTimes = false, bool keepAttributes = false,
                    uint32_t expectedSize = 0);

// For tests: the steps of a copy that cannot be seen from outside. The
// data of the copy is all written (it is not yet complete); the copy that
// replaces a file is flushed to the disk; after the move over the old
// file, the folder is flushed. A null watcher (the start) watches nothing.
enum class CopyStep { DataWritten, FileFlushed, FolderFlushed };
using CopyStepWatcher = void (*)(CopyStep step);
void WatchCopySteps(CopyStepWatcher watcher);
