#include "filelib/enum/file_finder.h"

#include <cstring>

#include "filelib/paths/drive_reconnect.h"
#include "filelib/paths/path_attributes.h"
#include "filelib/paths/path_join.h"
#include "filelib/platform/name_match.h"

namespace {

constexpr size_t kPatternSize = plat::kLongestPattern;

bool Fits(size_t length, size_t field) { return length < field; }

}  // namespace

CFileFinder::CFileFinder() {
    m_hFind = nullptr;
    std::memset(m_szListDir, 0, sizeof m_szListDir);
    std::memset(m_szFilters, 0, sizeof m_szFilters);
    std::memset(m_szSearchDir, 0, sizeof m_szSearchDir);
    std::memset(&m_fd, 0, sizeof m_fd);
    std::memset(&m_cur, 0, sizeof m_cur);
    std::memset(m_bFilterUnusable, 0, sizeof m_bFilterUnusable);
    m_nFilterCount = 0;
    m_nFilterIndex = 0;
    m_qwCurSize = 0;
    m_bKeepLongPaths = false;
    m_bDirUnknown = false;
    Reset();
}

CFileFinder::~CFileFinder() {
    Close();
    m_list.Free();
}

void CFileFinder::Reset() {
    if (m_hFind != nullptr) Close();
    m_list.Free();
    m_list.SetRecSize(sizeof(FINDER_ENTRY));
    m_dTotalSize = 0.0;
    m_bTreeOrder = 0;
    m_nSortOrder = 4;
    m_nFlags = 0;
    m_nPresetCount = 0;
    m_bKeepLongPaths = false;
}

void CFileFinder::Close() {
    if (m_hFind != nullptr) plat::FindClose(m_hFind);
    m_hFind = nullptr;
}

// Over-long extensions are kept as slots that match nothing rather than cut
// (a cut one would match other files); so are extensions holding a
// separator, whose pattern would search another folder ("a/b" gives
// "dir/*.a/b"). Slots past the hundredth are ignored.
void CFileFinder::ParseFilters(const char* extList) {
    std::memset(m_szFilters, 0, sizeof m_szFilters);
    std::memset(m_bFilterUnusable, 0, sizeof m_bFilterUnusable);
    m_nFilterCount = 0;
    int slot = 0;
    size_t length = 0;
    for (const char* p = extList != nullptr ? extList : ""; *p != 0; ++p) {
        if (*p == ',') {
            if (slot < 100) m_nFilterCount = slot + 1;
            ++slot;
            length = 0;
        } else if (slot < 100) {
            if (length < 9)
                m_szFilters[slot][length++] = *p;
            else
                m_bFilterUnusable[slot] = true;
        }
    }
    if (slot < 100 && (length > 0 || m_bFilterUnusable[slot])) m_nFilterCount = slot + 1;
    for (int i = 0; i < m_nFilterCount; ++i)
        if (plat::HoldsPathSeparator(m_szFilters[i])) m_bFilterUnusable[i] = true;
    if (m_nFilterCount == 0) {
        std::strcpy(m_szFilters[0], "*");
        m_nFilterCount = 1;
    }
}

// Common start of a search on a folder text.
bool CFileFinder::StartSearch(char* dir) {
    Close();
    if (dir == nullptr) return false;
    AppendRootSlash(dir);
    m_bDirUnknown = !Fits(std::strlen(dir), sizeof m_szSearchDir);
    if (m_bDirUnknown) {
        if (!m_bKeepLongPaths) return false;
        m_szSearchDir[0] = 0;
        m_szListDir[0] = 0;
    } else {
        std::strcpy(m_szSearchDir, dir);
        std::strcpy(m_szListDir, dir);
    }
    ProbeFolder(dir);
    return true;
}

// Opens the search of the current filter slot in `dir`, moving on past
// slots that find nothing.
bool CFileFinder::OpenSlot(const char* dir) {
    for (; m_nFilterIndex < m_nFilterCount; ++m_nFilterIndex) {
        if (m_bFilterUnusable[m_nFilterIndex]) continue;
        char pattern[kPatternSize];
        if (!JoinExtensionPattern(pattern, sizeof pattern, dir, m_szFilters[m_nFilterIndex])) continue;
        m_hFind = plat::FindOpen(pattern, plat::SearchKind::FilesOnly, &m_fd);
        if (m_hFind != nullptr) return true;
    }
    return false;
}

bool CFileFinder::FindFirst(char* dir) { return FindFirst(dir, ""); }

bool CFileFinder::FindFirst(char* dir, const char* extList) {
    ParseFilters(extList);
    m_nFilterIndex = m_nFilterCount;  // FindNext must not go on in a folder searched before
    if (!StartSearch(dir)) return false;
    m_nFilterIndex = 0;
    if (!OpenSlot(dir)) return false;
    return AcceptFile() || NextFile();
}

bool CFileFinder::FindNext() { return NextFile(); }

bool CFileFinder::NextFile() {
    for (;;) {
        if (!plat::FindNext(m_hFind, &m_fd)) {
            Close();
            if (m_nFilterIndex >= m_nFilterCount) return false;
            ++m_nFilterIndex;
            // A folder whose text did not fit cannot be searched again.
            if (m_bDirUnknown || !OpenSlot(m_szSearchDir)) return false;
        }
        if (AcceptFile()) return true;
    }
}

bool CFileFinder::FindFirstDir(char* dir) {
    if (!StartSearch(dir)) return false;
    char pattern[kPatternSize];
    if (!JoinExtensionPattern(pattern, sizeof pattern, dir, "*")) return false;
    m_hFind = plat::FindOpen(pattern, plat::SearchKind::FoldersOnly, &m_fd);
    if (m_hFind == nullptr) return false;
    return AcceptDir() || NextDir();
}

bool CFileFinder::FindNextDir() { return NextDir(); }

bool CFileFinder::NextDir() {
    while (plat::FindNext(m_hFind, &m_fd)) {
        if (AcceptDir()) return true;
    }
    return false;
}

bool CFileFinder::AcceptFile() {
    if (m_fd.attrib & FILE_ATTRIBUTE_DIRECTORY) return false;
    if ((m_nFlags & FINDER_SKIP_HIDDEN_OR_SYSTEM) != 0 && !PassesAttributeTests()) return false;
    // A file of 4 GiB has 0 in its low 32 bits but is not empty.
    if ((m_nFlags & FINDER_SKIP_EMPTY) != 0 && m_fd.size == 0) return false;
    if ((m_nFlags & FINDER_SKIP_DOTNAMES) != 0 && m_fd.name[0] == '.') return false;
    return FillCurrent(false);
}

bool CFileFinder::AcceptDir() {
    if (!(m_fd.attrib & FILE_ATTRIBUTE_DIRECTORY)) return false;
    const char* name = m_fd.name;
    if (plat::IsDotName(name)) return false;
    if ((m_nFlags & FINDER_SKIP_HIDDEN_OR_SYSTEM) != 0 && !PassesAttributeTests()) return false;
    return FillCurrent(true);
}

// The hidden and system tests ask the file system for the entry's path; an
// entry of a folder whose text did not fit is judged by its own record.
bool CFileFinder::PassesAttributeTests() {
    DWORD attrib = m_fd.attrib;
    char path[kPatternSize];
    if (!m_bDirUnknown && JoinPath(path, sizeof path, m_szSearchDir, m_fd.name)) attrib = GetAttributes(path);
    if ((m_nFlags & FINDER_SKIP_HIDDEN) != 0 && (attrib & FILE_ATTRIBUTE_HIDDEN) != 0) return false;
    if ((m_nFlags & FINDER_SKIP_SYSTEM) != 0 && (attrib & FILE_ATTRIBUTE_SYSTEM) != 0) return false;
    return true;
}

// Fills m_cur from m_fd. A path that does not fit its field is never cut:
// the entry is left out, or, with SetKeepLongPaths, kept without paths.
bool CFileFinder::FillCurrent(bool isDir) {
    char path[sizeof m_cur.szPath];
    const bool pathFits = !m_bDirUnknown && Fits(std::strlen(m_szSearchDir), sizeof m_cur.szDir) &&
                          JoinPath(path, sizeof path, m_szSearchDir, m_fd.name);
    if (!pathFits && !m_bKeepLongPaths) return false;

    std::memset(&m_cur, 0, sizeof m_cur);
    std::memcpy(m_cur.szName, m_fd.name, std::strlen(m_fd.name) + 1);
    if (pathFits) {
        std::strcpy(m_cur.szDir, m_szSearchDir);
        std::strcpy(m_cur.szPath, path);
    }
    m_qwCurSize = isDir ? 0 : m_fd.size;
    m_cur.dwSize = uint32_t(m_qwCurSize);
    m_cur.bIsDir = isDir ? 1 : 0;
    TimeTToDateTimeRec(&m_cur.dtWrite, time_t(m_fd.tWrite));
    return true;
}

FINDER_ENTRY* CFileFinder::GetEntry(int32_t index) const { return static_cast<FINDER_ENTRY*>(m_list.GetAt(index)); }

const char* CFileFinder::GetNameAt(int32_t index) const {
    FINDER_ENTRY* entry = GetEntry(index);
    return entry != nullptr ? entry->szName : nullptr;
}

// Out of range these give 0 or null rather than reading past the list.
uint32_t CFileFinder::GetSizeAt(int32_t index) const {
    FINDER_ENTRY* entry = GetEntry(index);
    return entry != nullptr ? entry->dwSize : 0;
}

const DATETIMEREC* CFileFinder::GetDateAt(int32_t index) const {
    FINDER_ENTRY* entry = GetEntry(index);
    return entry != nullptr ? &entry->dtWrite : nullptr;
}

const char* CFileFinder::GetDirAt(int32_t index) const {
    FINDER_ENTRY* entry = GetEntry(index);
    return entry != nullptr ? entry->szDir : nullptr;
}

const char* CFileFinder::GetPathAt(int32_t index) const {
    FINDER_ENTRY* entry = GetEntry(index);
    return entry != nullptr ? entry->szPath : nullptr;
}
