// The longest path the library handles, written once, and the working
// buffers that follow from it. A text that does not fit one of these is
// refused, never cut.
#pragma once

#include <cstddef>

#include "filelib/platform/win_types.h"

namespace plat {

// Bytes of the longest path text the library takes, builds or hands the
// system, terminator included: what Linux takes in one call (its PATH_MAX).
// Windows takes no more than MAX_PATH in one call; longer paths reach it in
// pieces through the long-name rule, so the same number holds there.
constexpr size_t kLongestPath = 4096;

// A search pattern or an entry's path: a folder of the longest path, a
// separator and a name (or name pattern) no longer than an entry name. The
// separator takes the place of the folder's terminator.
constexpr size_t kLongestPattern = kLongestPath + MAX_PATH;

}  // namespace plat
