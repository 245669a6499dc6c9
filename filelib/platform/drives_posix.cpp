// POSIX backend, drives: there are no drive letters, so no drive has free
// space. Nothing else lives here.

#include "filelib/platform/drives.h"

namespace plat {

Error FreeBytesForCaller(const char* /*drive*/, uint64_t* bytes) {
    if (bytes != nullptr) *bytes = 0;
    return Error::NotFound;
}

}  // namespace plat
