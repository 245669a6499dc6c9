#include "filelib/paths/path_join.h"

#include <cstring>

#include "filelib/platform/platform.h"

namespace {

// '/' counts on every system, as it does when paths are split; '\' only
// where it is the system's separator (elsewhere it is part of a name).
bool IsSeparator(char c) { return c == plat::kPathSep || c == '/'; }

// Whether a separator goes between the folder and what follows it.
bool NeedsSeparator(const char* folder, size_t folderLength, EndSeparator end) {
    if (folderLength == 0) return false;
    if (!IsSeparator(folder[folderLength - 1])) return true;
    if (folderLength == 1) return false;  // the root alone
    return end == EndSeparator::Add;
}

// Joins folder, separator, prefix and name, the separator only where the
// folder asks for one.
bool Join(char* out, size_t size, const char* folder, const char* prefix, const char* name, EndSeparator end) {
    if (out == nullptr || size == 0) return false;
    out[0] = 0;
    if (folder == nullptr || name == nullptr) return false;
    const size_t folderLength = std::strlen(folder);
    const size_t sepLength = NeedsSeparator(folder, folderLength, end) ? 1 : 0;
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

bool JoinPath(char* out, size_t size, const char* folder, const char* name, EndSeparator end) {
    return Join(out, size, folder, "", name, end);
}

bool JoinExtensionPattern(char* out, size_t size, const char* folder, const char* ext, EndSeparator end) {
    return Join(out, size, folder, "*.", ext, end);
}
