#include "filelib/tree/walk_search.h"

#include <cstring>

#include "filelib/paths/drive_reconnect.h"
#include "filelib/platform/name_match.h"

namespace walk {

ExtensionGroups::ExtensionGroups(const char* extList) : m_list(extList != nullptr ? extList : "") {
    const size_t length = std::strlen(m_list);
    m_allFiles = length < 3;
    m_count = m_allFiles ? 1 : int(length / 3);
}

ExtensionGroups ExtensionGroups::WholeName(const char* namePattern) {
    ExtensionGroups groups;
    groups.m_list = namePattern != nullptr ? namePattern : "";
    groups.m_count = 1;
    groups.m_wholeName = true;
    return groups;
}

bool ExtensionGroups::Pattern(int index, const char* folder, char* out, size_t size) const {
    if (index < 0 || index >= m_count) return false;
    if (m_wholeName) {
        // An empty name would search the folder itself.
        if (m_list[0] == 0 || plat::HoldsPathSeparator(m_list)) return false;
        return JoinPath(out, size, folder, m_list, kJoin);
    }
    char group[4] = "*";
    if (!m_allFiles) {
        std::memcpy(group, m_list + size_t(index) * 3, 3);
        group[3] = 0;
    }
    // "*.a/b" would search a folder "*.a" below this one.
    if (plat::HoldsPathSeparator(group)) return false;
    return JoinExtensionPattern(out, size, folder, group, kJoin);
}

bool SearchGroupFiles(const char* folder, const ExtensionGroups& groups, size_t patternSize,
                      GroupFileVisitor visit, void* context) {
    if (folder == nullptr || visit == nullptr) return true;
    bool whole = true;
    char pattern[plat::kLongestPattern];
    if (patternSize > sizeof pattern) patternSize = sizeof pattern;
    for (int g = 0; g < groups.Count(); ++g) {
        if (!groups.Pattern(g, folder, pattern, patternSize)) continue;
        plat::FindData entry;
        plat::SearchHandle search = FindOpenReconnecting(pattern, plat::SearchKind::FilesOnly, &entry);
        bool found = search != nullptr;
        for (; found; found = plat::FindNext(search, &entry)) {
            if ((entry.attrib & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
            if (visit(context, entry) == GroupVisit::EndGroup) break;
        }
        if (!found && !SearchEndedWhole()) whole = false;
        plat::FindClose(search);
    }
    return whole;
}

}  // namespace walk
