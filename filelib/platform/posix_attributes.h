// POSIX backend only: Windows attributes from a mode and a name, shared by
// the search and the file system files.
#pragma once

#include <cstdint>

namespace plat {
namespace posix {

// DIRECTORY for folders, READONLY without owner write permission, HIDDEN
// for a name that begins with '.' (but not "." or ".."), NORMAL alone.
uint32_t AttributesOf(unsigned mode, const char* name);

}  // namespace posix
}  // namespace plat
