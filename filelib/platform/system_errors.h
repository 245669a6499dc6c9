// The backend files' way from the system's own error codes to plat::Error.
// Included by backend files only.
#pragma once

#include "filelib/platform/errors.h"

namespace plat {

// errno on POSIX, a GetLastError code on Windows.
Error ErrorFromSystemCode(long code);
// The calling thread's last error (errno or GetLastError).
Error LastSystemError();

}  // namespace plat
