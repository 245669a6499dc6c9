// The process's current folder and current drive, and the path length up
// to which the system takes a path as it is.
#pragma once

#include <cstddef>

#include "filelib/platform/errors.h"

namespace plat {

// Paths longer than this are worked on from inside their folder by their
// bare name (the long-name rule): 255 on Windows; on POSIX the system takes
// every path the library handles, so there the limit is never reached.
extern const size_t kLongNameThreshold;

// Current drive (1 = A), 0 where there are no drive letters.
int GetCurrentDrive();
// Makes drive `drive` (1 = A) current; does nothing where there are no
// drive letters.
Error SetCurrentDrive(int drive);

// Current folder into buf; false (buf empty) when it does not fit.
bool GetCurrentDir(char* buf, size_t size);
// Makes `path` the current folder (on Windows, of the drive it names).
Error ChangeDir(const char* path);

}  // namespace plat
