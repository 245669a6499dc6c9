#include "filelib/paths/path_parts.h"

#include <cctype>
#include <cstring>

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

}  // namespace

char GetDriveLetter(const char* path) {
    if (path == nullptr || path[0] == 0 || path[1] != ':') return 0;
    return char(std::toupper(static_cast<unsigned char>(path[0])));
}

int SplitPath(const char* path, char* dir, char* title, char* ext) {
    if (path == nullptr) path = "";
    const char* end = path + std::strlen(path);
    const char* name = path;
    dir[0] = 0;
    for (const char* p = end; p > path; --p) {
        if (IsSeparator(p[-1])) {
            SetPart(dir, path, p - 1);
            name = p;
            break;
        }
    }
    const char* dot = nullptr;
    for (const char* p = end; p > name; --p) {
        if (p[-1] == '.') {
            dot = p - 1;
            break;
        }
    }
    SetPart(title, name, dot != nullptr ? dot : end);
    SetPart(ext, dot != nullptr ? dot + 1 : end, end);
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
    const Parts& parts = Split(path);
    if (parts.dir[0] == 0) return Keep(result, parts.title);
    // A result that would not fit is left empty rather than cut.
    const size_t dirLength = std::strlen(parts.dir);
    const size_t titleLength = std::strlen(parts.title);
    if (dirLength + 1 + titleLength >= sizeof result) return Keep(result, "");
    std::memcpy(result, parts.dir, dirLength);
    result[dirLength] = '\\';
    std::memcpy(result + dirLength + 1, parts.title, titleLength + 1);
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
