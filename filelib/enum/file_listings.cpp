// The finder's listings: one folder's files or subfolders collected in one
// pass over the folder, put in the order of the sort mode, and stored in
// m_list.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "filelib/enum/file_finder.h"
#include "filelib/enum/finder_walk.h"
#include "filelib/paths/drive_reconnect.h"
#include "filelib/paths/file_names.h"
#include "filelib/paths/path_join.h"
#include "filelib/platform/name_match.h"

int64_t g_nFinderLeftOut;

namespace {

constexpr size_t kPatternSize = plat::kLongestPattern;
constexpr size_t kNameWidth = 255;     // "%-255s"
constexpr size_t kExtWidth = 8;        // "%-8s"

enum class ListKind { Files, Folders };

// A buffer of plain records that grows by doubling; null data once memory
// ran out, which the caller reads as a failed listing.
template <typename T>
class GrowingBuffer {
public:
    GrowingBuffer() = default;
    ~GrowingBuffer() { std::free(m_data); }
    GrowingBuffer(const GrowingBuffer&) = delete;
    GrowingBuffer& operator=(const GrowingBuffer&) = delete;

    // Room for `more` elements behind the used ones; false when memory is short.
    bool Reserve(size_t more) {
        if (m_failed) return false;
        if (m_used + more <= m_capacity) return true;
        size_t capacity = m_capacity != 0 ? m_capacity : 256;
        while (capacity < m_used + more) capacity *= 2;
        T* grown = static_cast<T*>(std::realloc(m_data, capacity * sizeof(T)));
        if (grown == nullptr) {
            m_failed = true;
            return false;
        }
        m_data = grown;
        m_capacity = capacity;
        return true;
    }
    T* End() { return m_data + m_used; }
    void Commit(size_t count) { m_used += count; }
    T* Data() const { return m_data; }
    size_t Size() const { return m_used; }
    bool Failed() const { return m_failed; }

private:
    T* m_data = nullptr;
    size_t m_used = 0;
    size_t m_capacity = 0;
    bool m_failed = false;
};

// What a listing keeps of an entry until it knows the order: the record
// is built only once, straight into m_list.
struct FoundEntry {
    size_t nameOffset;
    uint64_t size;  // whole length
    DATETIMEREC dtWrite;
};

class ListingCollector {
public:
    bool Add(const plat::FindData& fd) {
        const size_t nameLength = std::strlen(fd.name);
        if (!m_names.Reserve(nameLength + 1) || !m_entries.Reserve(1)) return false;
        FoundEntry* entry = m_entries.End();
        entry->nameOffset = m_names.Size();
        entry->size = fd.size;
        TimeTToDateTimeRec(&entry->dtWrite, time_t(fd.tWrite));
        std::memcpy(m_names.End(), fd.name, nameLength + 1);
        m_names.Commit(nameLength + 1);
        m_entries.Commit(1);
        return true;
    }
    size_t Count() const { return m_entries.Size(); }
    const FoundEntry& At(size_t i) const { return m_entries.Data()[i]; }
    const char* NameOf(const FoundEntry& entry) const { return m_names.Data() + entry.nameOffset; }
    bool Failed() const { return m_names.Failed() || m_entries.Failed(); }

private:
    GrowingBuffer<char> m_names;
    GrowingBuffer<FoundEntry> m_entries;
};

// ------------------------------------------------------------------ keys

// The sort key of an entry: the fields of its sort mode, names upper-cased
// with the umlauts folded, padded with spaces to their widths, never cut.
class SortKey {
public:
    SortKey(int sortOrder, ListKind kind) : m_sortOrder(sortOrder), m_kind(kind) {}

    // Writes the key into out (at least kMaxLength + 1 bytes); its length.
    size_t Build(char* out, const char* name, uint64_t size, const DATETIMEREC& dtWrite) const;
    // Size field, blank, name, blank, extension: each part shorter than a name.
    static constexpr size_t kMaxLength = 32 + 1 + sizeof(FINDER_ENTRY::szName) + 1 + sizeof(FINDER_ENTRY::szName);

private:
    int m_sortOrder;
    ListKind m_kind;
};

char* PutPadded(char* out, const char* text, size_t length, size_t width) {
    std::memcpy(out, text, length);
    out += length;
    if (length < width) {
        std::memset(out, ' ', width - length);
        out += width - length;
    }
    return out;
}

size_t SortKey::Build(char* out, const char* name, uint64_t size, const DATETIMEREC& dtWrite) const {
    char upper[sizeof(FINDER_ENTRY::szName)];
    std::snprintf(upper, sizeof upper, "%s", name);
    const char* key = MakeSortKeyName(upper);
    // Files: base name and extension at the last dot; folders: the whole name.
    const char* dot = m_kind == ListKind::Files ? std::strrchr(key, '.') : nullptr;
    const size_t baseLength = dot != nullptr ? size_t(dot - key) : std::strlen(key);
    const char* ext = dot != nullptr ? dot + 1 : "";
    const size_t extLength = std::strlen(ext);

    char* p = out;
    if (m_sortOrder == 1 && m_kind == ListKind::Files) {
        p = PutPadded(p, ext, extLength, kExtWidth);
        *p++ = ' ';
        p = PutPadded(p, key, baseLength, kNameWidth);
    } else {
        if (m_sortOrder == 2) {
            p += std::snprintf(p, 32, "%14s ", FormatDateTimeSortable(&dtWrite));
        } else if (m_sortOrder == 3 && m_kind == ListKind::Files) {
            // The whole length, so files of 4 GiB and more sort by their size.
            p += std::snprintf(p, 32, "%020" PRIu64 " ", size);
        }
        p = PutPadded(p, key, baseLength, kNameWidth);
        if (m_kind == ListKind::Files) {
            *p++ = ' ';
            p = PutPadded(p, ext, extLength, kExtWidth);
        }
    }
    *p = 0;
    return size_t(p - out);
}

// Orders found[0..count) by key into order[]; equal keys keep the order
// of the search. False when the keys cannot be held.
bool SortByKey(const ListingCollector& found, const SortKey& sortKey, uint32_t* order) {
    const size_t count = found.Count();
    std::unique_ptr<size_t[]> keyAt(new (std::nothrow) size_t[count]);
    GrowingBuffer<char> keys;
    if (!keyAt) return false;
    for (size_t i = 0; i < count; ++i) {
        if (!keys.Reserve(SortKey::kMaxLength + 1)) return false;
        const FoundEntry& entry = found.At(i);
        keyAt[i] = keys.Size();
        keys.Commit(sortKey.Build(keys.End(), found.NameOf(entry), entry.size, entry.dtWrite) + 1);
    }
    const char* base = keys.Data();
    std::sort(order, order + count, [&](uint32_t a, uint32_t b) {
        const int c = std::strcmp(base + keyAt[a], base + keyAt[b]);
        return c < 0 || (c == 0 && a < b);
    });
    return true;
}

// ----------------------------------------------------------------- search

// Runs the folder's search, keeping every entry the listing takes. An entry
// whose path would not fit szPath is left out: a cut path names another file.
class FolderScan {
public:
    FolderScan(const char* dir, ListKind kind, uint32_t flags) : m_dir(dir), m_kind(kind), m_flags(flags) {
        m_dirLength = std::strlen(dir);
    }

    template <class Collector>
    bool Run(const char* extPattern, size_t limit, Collector& found) const;

private:
    bool Takes(const plat::FindData& fd) const;
    bool PathFits(const plat::FindData& fd) const;

    const char* m_dir;
    ListKind m_kind;
    uint32_t m_flags;
    size_t m_dirLength;
};

bool FolderScan::Takes(const plat::FindData& fd) const {
    const bool isDir = (fd.attrib & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isDir != (m_kind == ListKind::Folders)) return false;
    if (isDir && plat::IsDotName(fd.name)) return false;
    // The search's own attributes are those the file system keeps for the
    // entry, read once with the entry itself.
    if ((m_flags & FINDER_SKIP_HIDDEN) != 0 && (fd.attrib & FILE_ATTRIBUTE_HIDDEN) != 0) return false;
    if ((m_flags & FINDER_SKIP_SYSTEM) != 0 && (fd.attrib & FILE_ATTRIBUTE_SYSTEM) != 0) return false;
    if (!isDir) {
        if ((m_flags & FINDER_SKIP_EMPTY) != 0 && fd.size == 0) return false;
        if ((m_flags & FINDER_SKIP_DOTNAMES) != 0 && fd.name[0] == '.') return false;
    }
    return true;
}

bool FolderScan::PathFits(const plat::FindData& fd) const {
    char path[sizeof(FINDER_ENTRY::szPath)];
    return JoinPath(path, sizeof path, m_dir, fd.name);
}

// What the listing leaves out is counted, never cut.
template <class Collector>
bool FolderScan::Run(const char* extPattern, size_t limit, Collector& found) const {
    char pattern[kPatternSize];
    if (m_dirLength >= sizeof(FINDER_ENTRY::szDir) ||
        !JoinExtensionPattern(pattern, sizeof pattern, m_dir, extPattern)) {
        ++g_nFinderLeftOut;
        return true;
    }
    const plat::SearchKind kind = m_kind == ListKind::Files ? plat::SearchKind::FilesOnly : plat::SearchKind::FoldersOnly;
    plat::FindData fd;
    plat::SearchHandle search = FindOpenReconnecting(pattern, kind, &fd);
    bool more = search != nullptr;
    while (more && found.Count() < limit) {
        if (Takes(fd)) {
            if (!PathFits(fd)) {
                ++g_nFinderLeftOut;
            } else if (!found.Add(fd)) {
                break;
            }
        }
        more = plat::FindNext(search, &fd);
    }
    // A folder that could not be read (to its end) may hold more.
    if (!more && plat::LastSearchError() != plat::Error::NotFound) ++g_nFinderLeftOut;
    plat::FindClose(search);
    return !found.Failed();
}

// Fills the record of one found entry, as the finder's searches fill m_cur.
void FillRecord(FINDER_ENTRY* record, const char* dir, const char* name, const FoundEntry& entry, bool isDir,
                int tag) {
    std::memset(record, 0, sizeof *record);
    // The scan took only entries whose name and path fit their fields.
    std::memcpy(record->szName, name, std::strlen(name) + 1);
    std::memcpy(record->szDir, dir, std::strlen(dir) + 1);
    JoinPath(record->szPath, sizeof record->szPath, dir, name);
    record->dwSize = isDir ? 0 : uint32_t(entry.size);
    record->bIsDir = isDir ? 1 : 0;
    record->nLevel = isDir ? 0 : tag;
    record->dtWrite = entry.dtWrite;
}

struct ListRequest {
    char* dir;
    int startIndex;
    const char* extPattern;
    int tag;
    ListKind kind;
};

// The common road of both listings. Returns the records stored in m_list.
int RunListing(CFileFinder& finder, const ListRequest& request) {
    if (request.dir == nullptr) return 0;
    AppendRootSlash(request.dir);
    if (request.startIndex == 0) finder.m_dTotalSize = 0.0;
    const int32_t listCount = finder.m_list.GetCount();
    if (request.startIndex < 0 || request.startIndex > listCount) return 0;
    if (plat::HoldsPathSeparator(request.extPattern)) return 0;

    size_t limit = SIZE_MAX;
    if (request.kind == ListKind::Files && finder.m_nPresetCount != 0)
        limit = finder.m_nPresetCount > 0 ? size_t(finder.m_nPresetCount) : 0;
    ListingCollector found;
    FolderScan scan(request.dir, request.kind, request.kind == ListKind::Files
                                                   ? finder.m_nFlags
                                                   : finder.m_nFlags & FINDER_SKIP_HIDDEN_OR_SYSTEM);
    // Entries found but not stored (memory short) are left out all.
    const auto leftOut = [] {
        ++g_nFinderLeftOut;
        return 0;
    };
    if (!scan.Run(request.extPattern, limit, found)) return leftOut();
    const size_t count = found.Count();
    if (count == 0) return 0;
    if (count > size_t(INT32_MAX - listCount)) return leftOut();

    std::unique_ptr<uint32_t[]> order(new (std::nothrow) uint32_t[count]);
    if (!order) return leftOut();
    for (size_t i = 0; i < count; ++i) order[i] = uint32_t(i);
    if (finder.m_nSortOrder != 4 && !SortByKey(found, SortKey(finder.m_nSortOrder, request.kind), order.get()))
        return leftOut();
    if (!finder.m_list.Grow(int32_t(count), sizeof(FINDER_ENTRY))) return leftOut();

    const bool isDir = request.kind == ListKind::Folders;
    for (size_t r = 0; r < count; ++r) {
        const FoundEntry& entry = found.At(order[r]);
        FillRecord(finder.GetEntry(request.startIndex + int32_t(r)), request.dir, found.NameOf(entry), entry, isDir,
                   request.tag);
        if (!isDir) finder.m_dTotalSize += double(entry.size);
    }
    return int(count);
}

// The path without the listed folder and the separator after it. A root
// alone ("/") is joined without a second separator, so there is none to pass.
const char* BelowListDir(const char* path, const char* listDir) {
    const size_t length = std::strlen(path);
    size_t skip = std::min(std::strlen(listDir), length);
    if (listDir[0] != 0 && skip < length && (listDir[1] != 0 || (path[skip] == plat::kPathSep || path[skip] == '/')))
        ++skip;
    return path + skip;
}

// The subfolders of a tree walk's folder, kept as the walk keeps them.
class WalkCollector {
public:
    explicit WalkCollector(walk::Subfolders& out) : m_out(out) {}
    bool Add(const plat::FindData& fd) {
        m_failed = m_failed || !m_out.Add(fd);
        return !m_failed;
    }
    size_t Count() const { return m_out.Count(); }
    bool Failed() const { return m_failed; }

private:
    walk::Subfolders& m_out;
    bool m_failed = false;
};

}  // namespace

void ListWalkSubfolders(const char* dir, walk::Subfolders& out) {
    WalkCollector found(out);
    if (!FolderScan(dir, ListKind::Folders, 0).Run("*", SIZE_MAX, found)) ++g_nFinderLeftOut;
}

void FillFolderRecord(FINDER_ENTRY* record, const char* dir, const walk::Subfolder& sub, int32_t level) {
    FoundEntry entry{0, 0, {}};
    TimeTToDateTimeRec(&entry.dtWrite, time_t(sub.tWrite));
    FillRecord(record, dir, sub.name, entry, true, 0);
    record->nLevel = level;
}

int CFileFinder::ListFiles(char* dir, int startIndex, const char* pattern, int tag) {
    return RunListing(*this, {dir, startIndex, pattern != nullptr ? pattern : "", tag, ListKind::Files});
}

int CFileFinder::ListAllFiles(char* dir, int startIndex) { return ListFiles(dir, startIndex, "*", 0); }

int CFileFinder::ListFilesByExtensions(char* dir, const char* extList, int startIndex, int tag) {
    ParseFilters(extList);
    int total = 0;
    for (int slot = 0; slot < m_nFilterCount; ++slot) {
        // An extension too long for its slot matches nothing rather than a cut one.
        if (m_bFilterUnusable[slot]) continue;
        total += ListFiles(dir, startIndex + total, m_szFilters[slot], tag);
    }
    return total;
}

int CFileFinder::ListSubfolders(char* dir, int startIndex) {
    return RunListing(*this, {dir, startIndex, "*", 0, ListKind::Folders});
}

int CFileFinder::CompareEntriesByName(const void* first, const void* second) {
    const FINDER_ENTRY* a = static_cast<const FINDER_ENTRY*>(first);
    const FINDER_ENTRY* b = static_cast<const FINDER_ENTRY*>(second);
    if (a == nullptr || b == nullptr) return a == b ? 0 : (a == nullptr ? -1 : 1);
    static char keyA[SortKey::kMaxLength + 1], keyB[SortKey::kMaxLength + 1];
    const SortKey byName(0, ListKind::Files);
    byName.Build(keyA, a->szName, a->dwSize, a->dtWrite);
    byName.Build(keyB, b->szName, b->dwSize, b->dtWrite);
    const int c = std::strcmp(keyA, keyB);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

const char* CFileFinder::GetEntryRelativePath(int32_t index) const {
    const FINDER_ENTRY* entry = GetEntry(index);
    return entry != nullptr ? BelowListDir(entry->szPath, m_szListDir) : nullptr;
}

const char* CFileFinder::GetCurrentRelativePath() const { return BelowListDir(m_cur.szPath, m_szListDir); }
