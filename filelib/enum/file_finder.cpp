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
    m_qwFilesTotal = 0;
    m_bKeepLongPaths = false;
    m_bDirUnknown = false;
    m_bSkipDates = false;
    m_bOnOwnFolder = false;
    m_bSizesOnly = false;
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
    m_bSkipDates = false;
    m_bSizesOnly = false;
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
    m_bOnOwnFolder = false;
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
            // A folder known only through its parent cannot be searched again.
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

bool CFileFinder::FindFirstIn(CFileFinder& parent) {
    ParseFilters("");
    m_nFilterIndex = 0;
    if (!StartIn(parent, plat::SearchKind::FilesOnly)) return false;
    return AcceptFile() || NextFile();
}

bool CFileFinder::FindFirstDirIn(CFileFinder& parent) {
    if (!StartIn(parent, plat::SearchKind::FoldersOnly)) return false;
    return AcceptDir() || NextDir();
}

bool CFileFinder::OpenFolder(char* dir) {
    if (!StartSearch(dir)) return false;
    m_hFind = plat::FindOpenFolder(dir);
    if (m_hFind == nullptr) return false;
    std::memset(&m_cur, 0, sizeof m_cur);
    std::strcpy(m_cur.szName, ".");
    const size_t dirLength = m_bDirUnknown ? 0 : std::strlen(m_szSearchDir);
    if (!m_bDirUnknown && Fits(dirLength, sizeof m_cur.szPath)) {
        std::memcpy(m_cur.szDir, m_szSearchDir, dirLength + 1);
        std::memcpy(m_cur.szPath, m_szSearchDir, dirLength + 1);
    } else {
        m_bDirUnknown = true;  // the searches in it go on without paths
    }
    m_qwCurSize = 0;
    m_cur.dwSize = 0;
    m_cur.bIsDir = 1;
    // The searches in it read the entry record when sizes alone are kept.
    std::strcpy(m_fd.name, ".");
    m_fd.attrib = FILE_ATTRIBUTE_DIRECTORY;
    m_fd.size = 0;
    m_bOnOwnFolder = true;
    return true;
}

// m_szSearchDir and m_bDirUnknown for a search in the subfolder that
// `parent` stands on.
bool CFileFinder::TakeFolderOf(const CFileFinder& parent) {
    if (!parent.m_bSizesOnly) {
        if (!parent.m_cur.bIsDir) return false;
        // An empty path is the current folder when the parent stands on the
        // folder it opened; otherwise it is a path that did not fit.
        m_bDirUnknown = parent.m_bDirUnknown || (parent.m_cur.szPath[0] == 0 && !parent.m_bOnOwnFolder);
        if (!m_bDirUnknown) std::strcpy(m_szSearchDir, parent.m_cur.szPath);
        return true;
    }
    // Sizes only: the parent's record was not filled, its entry is in m_fd.
    if ((parent.m_fd.attrib & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
    m_bDirUnknown = parent.m_bDirUnknown;
    if (m_bDirUnknown) return true;
    const char* name = parent.m_fd.name;
    const char* dir = parent.m_szSearchDir;
    const bool fits = std::strcmp(name, ".") == 0 ? JoinPath(m_szSearchDir, sizeof m_szSearchDir, "", dir)
                                                  : JoinPath(m_szSearchDir, sizeof m_szSearchDir, dir, name);
    m_bDirUnknown = !fits;  // never a cut path
    return true;
}

// The common start of a search in the subfolder `parent` stands on: its
// name there, or null when parent stands on none.
const char* CFileFinder::PrepareIn(const CFileFinder& parent) {
    Close();
    m_bOnOwnFolder = false;
    if (parent.m_hFind == nullptr || !TakeFolderOf(parent)) return nullptr;
    m_bKeepLongPaths = true;
    if (m_bDirUnknown) {
        m_szSearchDir[0] = 0;
        m_szListDir[0] = 0;
    } else {
        std::strcpy(m_szListDir, m_szSearchDir);
        ProbeFolder(m_szSearchDir);
    }
    return parent.m_bSizesOnly ? parent.m_fd.name : parent.m_cur.szName;
}

bool CFileFinder::StartIn(CFileFinder& parent, plat::SearchKind kind) {
    const char* name = PrepareIn(parent);
    if (name == nullptr) return false;
    const plat::SearchDetail detail = m_bSizesOnly ? plat::SearchDetail::Sizes : plat::SearchDetail::Full;
    m_hFind = plat::FindOpenIn(parent.m_hFind, name, "*.*", kind, &m_fd, detail);
    return m_hFind != nullptr;
}

bool CFileFinder::SumFilesAndFindFirstDirIn(CFileFinder& parent) {
    m_qwFilesTotal = 0;
    if (!m_bSizesOnly) {
        Close();
        return false;
    }
    const char* name = PrepareIn(parent);
    if (name == nullptr) return false;
    m_hFind = plat::FindOpenSummingFiles(parent.m_hFind, name, &m_qwFilesTotal);
    return m_hFind != nullptr && NextDir();
}

bool CFileFinder::AcceptFile() {
    if (m_fd.attrib & FILE_ATTRIBUTE_DIRECTORY) return false;
    if ((m_nFlags & FINDER_SKIP_HIDDEN_OR_SYSTEM) != 0 && !PassesAttributeTests()) return false;
    // A file of 4 GiB has 0 in its low 32 bits but is not empty.
    if ((m_nFlags & FINDER_SKIP_EMPTY) != 0 && m_fd.size == 0) return false;
    if ((m_nFlags & FINDER_SKIP_DOTNAMES) != 0 && m_fd.name[0] == '.') return false;
    if (m_bSizesOnly) {
        m_qwCurSize = m_fd.size;
        return true;
    }
    return FillCurrent(false);
}

bool CFileFinder::AcceptDir() {
    if (!(m_fd.attrib & FILE_ATTRIBUTE_DIRECTORY)) return false;
    const char* name = m_fd.name;
    if (plat::IsDotName(name)) return false;
    if ((m_nFlags & FINDER_SKIP_HIDDEN_OR_SYSTEM) != 0 && !PassesAttributeTests()) return false;
    if (m_bSizesOnly) {
        m_qwCurSize = 0;
        return true;
    }
    return FillCurrent(true);
}

// The hidden and system tests ask the file system for the entry's path; an
// entry known only through its parent's search is judged by its own record.
bool CFileFinder::PassesAttributeTests() {
    DWORD attrib = m_fd.attrib;
    char path[kPatternSize];
    if (!m_bDirUnknown && JoinPath(path, sizeof path, m_szSearchDir, m_fd.name)) attrib = GetAttributes(path);
    if ((m_nFlags & FINDER_SKIP_HIDDEN) != 0 && (attrib & FILE_ATTRIBUTE_HIDDEN) != 0) return false;
    if ((m_nFlags & FINDER_SKIP_SYSTEM) != 0 && (attrib & FILE_ATTRIBUTE_SYSTEM) != 0) return false;
    return true;
}

// Fills m_cur from m_fd. A path that does not fit its field is never cut:
// the entry is left out, or, for the walk's searches, kept without paths.
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
    if (!m_bSkipDates) TimeTToDateTimeRec(&m_cur.dtWrite, time_t(m_fd.tWrite));
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
