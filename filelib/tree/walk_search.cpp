#include "filelib/tree/walk_search.h"

#include <cstring>

#include "filelib/paths/file_names.h"
#include "filelib/paths/net_drive.h"

namespace walk {

ExtensionGroups::ExtensionGroups(const char* extList) : m_list(extList != nullptr ? extList : "") {
    const size_t length = std::strlen(m_list);
    m_allFiles = length < 3;
    m_count = m_allFiles ? 1 : int(length / 3);
}

bool ExtensionGroups::Get(int index, char out[4]) const {
    out[0] = 0;
    if (index < 0 || index >= m_count) return false;
    if (m_allFiles) {
        std::strcpy(out, "*");
        return true;
    }
    std::memcpy(out, m_list + size_t(index) * 3, 3);
    out[3] = 0;
    // "*.a/b" would search a folder "*.a" below this one.
    if (std::strpbrk(out, "\\/") != nullptr) {
        out[0] = 0;
        return false;
    }
    return true;
}

bool JoinFolder(char* out, size_t size, const char* folder, const char* name) {
    const size_t folderLength = std::strlen(folder);
    const size_t nameLength = std::strlen(name);
    // A root ("/", "C:\\") already ends in its separator.
    const bool endsInSeparator =
        folderLength != 0 && (folder[folderLength - 1] == plat::kPathSep || folder[folderLength - 1] == '/');
    const size_t separator = folderLength != 0 && !endsInSeparator ? 1 : 0;
    const size_t length = folderLength + separator + nameLength;
    if (size == 0) return false;
    if (length >= size) {
        out[0] = 0;
        return false;
    }
    char* p = out;
    std::memcpy(p, folder, folderLength);
    p += folderLength;
    if (separator != 0) *p++ = plat::kPathSep;
    std::memcpy(p, name, nameLength + 1);
    return true;
}

bool BuildGroupPattern(char* out, size_t size, const char* folder, const char* group) {
    char namePattern[8] = "*.";
    std::strncat(namePattern, group, 3);
    return JoinFolder(out, size, folder, namePattern);
}

plat::SearchHandle OpenReconnecting(const char* pattern, plat::SearchKind kind, plat::FindData* out) {
    plat::SearchHandle search = plat::FindOpen(pattern, kind, out);
    if (search != nullptr || pattern[0] == 0 || pattern[1] != ':') return search;
    char letter[2] = {pattern[0], 0};
    UpperAsciiInPlace(letter);
    ReconnectNetDrive(letter[0]);
    return plat::FindOpen(pattern, kind, out);
}

bool IsFolderEntry(const plat::FindData& entry) {
    if ((entry.attrib & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
    const char* name = entry.name;
    return !(name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)));
}

bool MayEnter(const plat::FindData& entry) {
    return IsFolderEntry(entry) && (entry.attrib & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

}  // namespace walk
