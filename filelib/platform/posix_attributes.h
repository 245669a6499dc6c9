// POSIX backend only: Windows attributes from a mode and a name, and an
// entry's type and length, shared by the search, the folder scan and the
// file system files.
#pragma once

#include <cstdint>

namespace plat {
namespace posix {

// DIRECTORY for folders, READONLY without owner write permission, HIDDEN
// for a name that begins with '.' (but not "." or ".."), NORMAL alone.
uint32_t AttributesOf(unsigned mode, const char* name);

// The type and the whole length of `name` inside folder `dirFd` (a link
// itself, never what it leads to), and nothing else asked of the file
// system; false when it is gone. Folders have the length 0.
bool StatTypeAndSize(int dirFd, const char* name, bool* isFolder, uint64_t* size);

}  // namespace posix
}  // namespace plat
