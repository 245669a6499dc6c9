// Wildcard matching of names: pure logic, the same on every system.
#include "filelib/platform/name_match.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace plat {

namespace {

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// Iterative glob with single-star backtracking: linear in practice, no recursion.
bool GlobMatch(const char* pattern, size_t patternLength, const char* name) {
    size_t p = 0, n = 0, starP = SIZE_MAX, starN = 0;
    const size_t nameLength = std::strlen(name);
    while (n < nameLength) {
        if (p < patternLength && (pattern[p] == '?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
            ++p;
            ++n;
        } else if (p < patternLength && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != SIZE_MAX) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < patternLength && pattern[p] == '*') ++p;
    return p == patternLength;
}

}  // namespace

bool IsDotName(const char* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

bool MatchesEveryName(const char* pattern) {
    return std::strcmp(pattern, "*.*") == 0 || std::strcmp(pattern, "*") == 0;
}

bool HoldsWildcard(const char* pattern) { return std::strpbrk(pattern, "*?") != nullptr; }

bool HoldsPathSeparator(const char* text) { return std::strpbrk(text, "\\/") != nullptr; }

// Windows rules: "*.*" matches every name; a trailing ".*" may match
// nothing; a trailing "." asks for names without a dot.
bool MatchesNamePattern(const char* pattern, const char* name) {
    size_t length = std::strlen(pattern);
    if (length >= 2 && pattern[length - 2] == '.' && pattern[length - 1] == '*') {
        if (GlobMatch(pattern, length - 2, name)) return true;
        return GlobMatch(pattern, length, name);
    }
    if (length >= 1 && pattern[length - 1] == '.') {
        // The dots of "." and ".." separate no extension.
        if (std::strchr(name, '.') != nullptr && !IsDotName(name)) return false;
        return GlobMatch(pattern, length - 1, name);
    }
    return GlobMatch(pattern, length, name);
}

}  // namespace plat
