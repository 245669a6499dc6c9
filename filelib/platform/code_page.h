// The ANSI code page that the library's 8-bit texts are in.
#pragma once

#include "filelib/platform/win_types.h"

namespace plat {

// UTF-16 to the ANSI code page (Windows-1252 on POSIX), "?" for what the
// code page cannot hold. Returns the bytes written including the
// terminator, or 0 when the result does not fit `size`.
int WideToAnsiCodePage(const WCHAR* text, char* out, int size);

}  // namespace plat
