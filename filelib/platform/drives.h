// Drives: space free on a drive letter. Drive types and remembered network
// connections go through the network provider (platform.h).
#pragma once

#include <cstdint>

#include "filelib/platform/errors.h"

namespace plat {

// Bytes free for the calling user on the drive that `drive` names
// (for example "D:"); 0 and NotFound where there are no drive letters.
Error FreeBytesForCaller(const char* drive, uint64_t* bytes);

}  // namespace plat
