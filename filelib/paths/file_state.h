// Opening a file with one retry after reconnecting its network drive,
// switching the read-only attribute, telling whether another process holds
// a file, the free space of a drive letter, and the current folder.
#pragma once

#include <cstdio>

// fopen, and when that fails, once more after reconnecting the path's
// drive letter. Null when both fail. A folder is never opened, on any
// system.
FILE* OpenFileRetry(const char* path, const char* mode);

// Results of SetReadOnly.
enum : int {
    READONLY_CHANGED = 0,
    READONLY_ALREADY = 1,
    READONLY_FAILED = 2,
    READONLY_NO_FILE = 3,  // also for a folder
};
// Sets (true) or clears (false) the read-only attribute of a file; the
// other attributes stay as they are.
int SetReadOnly(const char* path, bool readOnly);

// True when the path names a file that another process holds open without
// sharing it (on POSIX: holds a conflicting lock on it). False for a
// missing file, a folder, and a file that cannot be opened for another
// reason (such as access denied).
bool IsFileInUse(const char* path);

// Bytes free for the caller on the drive of `letter` ('D' for D:); 0 when
// the system cannot tell, and always 0 where there are no drive letters.
double GetDriveFreeSpace(char letter);

// The current folder into `dest` (at least 260 characters), with no
// trailing separator except at a root; "" when it cannot be read or does
// not fit 259 characters.
constexpr int kCurrentFolderSize = 260;
void GetCurrentFolder(char* dest);

// Makes the drive of the path's first character current (an upper-case
// letter; any other character leaves the drive), then the path the current
// folder. 0 on success, -1 on failure.
int ChangeToFolder(const char* path);
