// Whether another program holds a file.
#pragma once

#include "filelib/platform/errors.h"

namespace plat {

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

}  // namespace plat
