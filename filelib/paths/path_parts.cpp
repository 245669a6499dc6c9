#include "filelib/paths/path_parts.h"

#include <cctype>
#include <cstring>

#include "filelib/platform/platform.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Copies [begin, end) into a part field, or leaves it empty when it does not fit.
void SetPart(char* part, const char* begin, const char* end) {
    const size_t length = size_t(end - begin);
    if (length >= size_t(SPLIT_PART_SIZE)) {
        part[0] = 0;
        return;
    }
    std::memcpy(part, begin, length);
    part[length] = 0;
}

// Where the name begins (after the last separator, or the path itself) and
// its last dot (null when it has none).
struct PathPieces {
    const char* path;
    const char* name;
    const char* dot;
    const char* end;
};

PathPieces LocatePieces(const char* path) {
    if (path == nullptr) path = "";
    PathPieces pieces{path, path, nullptr, path + std::strlen(path)};
    for (const char* p = pieces.end; p > path; --p) {
        if (IsSeparator(p[-1])) {
            pieces.name = p;
            break;
        }
    }
    for (const char* p = pieces.end; p > pieces.name; --p) {
        if (p[-1] == '.') {
            pieces.dot = p - 1;
            break;
        }
    }
    return pieces;
}

}  // namespace

char GetDriveLetter(const char* path) {
    if (path == nullptr || path[0] == 0 || path[1] != ':') return 0;
    return char(std::toupper(static_cast<unsigned char>(path[0])));
}

int SplitPath(const char* path, char* dir, char* title, char* ext) {
    const PathPieces pieces = LocatePieces(path);
    if (pieces.name > pieces.path) {
        SetPart(dir, pieces.path, pieces.name - 1);
    } else {
        dir[0] = 0;
    }
    SetPart(title, pieces.name, pieces.dot != nullptr ? pieces.dot : pieces.end);
    SetPart(ext, pieces.dot != nullptr ? pieces.dot + 1 : pieces.end, pieces.end);
    return 0;
}

namespace {

struct Parts {
    char dir[SPLIT_PART_SIZE];
    char title[SPLIT_PART_SIZE];
    char ext[SPLIT_PART_SIZE];
};

// Shared working space of the wrappers; each keeps its own result buffer.
Parts& Split(const char* path) {
    static Parts parts;
    SplitPath(path, parts.dir, parts.title, parts.ext);
    return parts;
}

// Parts always fit: SetPart leaves a part empty that would not.
const char* Keep(char (&buffer)[SPLIT_PART_SIZE], const char* text) {
    std::memcpy(buffer, text, std::strlen(text) + 1);
    return buffer;
}

}  // namespace

const char* GetPathDir(const char* path) {
    static char result[SPLIT_PART_SIZE];
    return Keep(result, Split(path).dir);
}

const char* GetPathNoExt(const char* path) {
    static char result[SPLIT_PART_SIZE];
    // Built from the path itself rather than from the split parts: a part
    // too long for its field would be empty there, and joining what is left
    // would name another file. So does dropping the separator of a name at
    // the root ("/x.y" is "/x", not "x" in the current folder).
    const PathPieces pieces = LocatePieces(path);
    const char* titleEnd = pieces.dot != nullptr ? pieces.dot : pieces.end;
    const size_t length = size_t(titleEnd - pieces.path);
    if (length >= sizeof result) return Keep(result, "");
    std::memcpy(result, pieces.path, length);
    result[length] = 0;
    // The separator before the name is the one the library writes.
    if (pieces.name > pieces.path) result[pieces.name - pieces.path - 1] = plat::kPathSep;
    return result;
}

const char* GetPathTitle(const char* path) {
    static char result[SPLIT_PART_SIZE];
    return Keep(result, Split(path).title);
}

const char* GetPathExt(const char* path) {
    static char result[SPLIT_PART_SIZE];
    return Keep(result, Split(path).ext);
}
