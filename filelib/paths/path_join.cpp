#include "filelib/paths/path_join.h"

#include <cstring>

#include "filelib/platform/platform.h"

namespace {

// Joins folder, separator, prefix and name, the first two only when the
// folder is not empty.
bool Join(char* out, size_t size, const char* folder, const char* prefix, const char* name) {
    if (out == nullptr || size == 0) return false;
    out[0] = 0;
    if (folder == nullptr || name == nullptr) return false;
    const size_t folderLength = std::strlen(folder);
    const size_t sepLength = folderLength != 0 ? 1 : 0;
    const size_t prefixLength = std::strlen(prefix);
    const size_t nameLength = std::strlen(name);
    // Each step compares against what is left, so no sum can wrap.
    size_t left = size - 1;
    if (folderLength > left) return false;
    left -= folderLength;
    if (sepLength + prefixLength > left) return false;
    left -= sepLength + prefixLength;
    if (nameLength > left) return false;
    char* p = out;
    std::memcpy(p, folder, folderLength);
    p += folderLength;
    if (sepLength != 0) *p++ = plat::kPathSep;
    std::memcpy(p, prefix, prefixLength);
    p += prefixLength;
    std::memcpy(p, name, nameLength + 1);
    return true;
}

}  // namespace

bool JoinPath(char* out, size_t size, const char* folder, const char* name) {
    return Join(out, size, folder, "", name);
}

bool JoinExtensionPattern(char* out, size_t size, const char* folder, const char* ext) {
    return Join(out, size, folder, "*.", ext);
}
