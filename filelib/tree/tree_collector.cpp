#include "filelib/tree/tree_collector.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "filelib/paths/file_names.h"
#include "filelib/paths/drive_reconnect.h"
#include "filelib/tree/tree_op_paths.h"
#include "filelib/tree/walk_search.h"

char g_aszTreeFolder[TREE_TABLE_CAPACITY][TREE_FOLDER_WIDTH];
char g_aszTreeFile[TREE_TABLE_CAPACITY][TREE_NAME_WIDTH];
uint32_t g_adwTreeSize[TREE_TABLE_CAPACITY];
uint64_t g_aqwTreeSize[TREE_TABLE_CAPACITY];
char g_aszSubfolder[TREE_TABLE_CAPACITY][TREE_NAME_WIDTH];
int32_t g_nListCount;
bool g_bListTruncated;
uint32_t g_dwTotalSize;
int64_t g_nTreeLeftOut;

namespace {

constexpr size_t kCountPatternSize = 500;
// A folder of the sorted walks, a separator and a name: an extension
// group's pattern always fits, so does a whole-name pattern shorter than
// the name width.
constexpr size_t kGatherPatternSize = TREE_SORTED_FOLDER_LIMIT + TREE_NAME_WIDTH;
// A base name padded to 190 characters, a dot and an extension: at most
// 190 + 1 + 198 characters for a name below the name width.
constexpr size_t kFileKeySize = 400;

// Beside g_aszSubfolder: each listed subfolder's attributes, which tell
// the walks whether they may enter it.
uint32_t g_adwSubfolderAttrib[TREE_TABLE_CAPACITY];

bool FitsSortedFolder(const char* folder) {
    return folder != nullptr && std::strlen(folder) < TREE_SORTED_FOLDER_LIMIT;
}

// A folder whose text is too long for the sorted walks: its files are left
// out (a null folder names none). Returns the 0 files listed.
int32_t LeaveOut(const char* folder) {
    if (folder != nullptr) ++g_nTreeLeftOut;
    return 0;
}

bool FitsName(const char* name) { return std::strlen(name) < TREE_NAME_WIDTH; }

struct GatheredFile {
    char name[TREE_NAME_WIDTH];
    uint64_t size;
    char key[kFileKeySize];
};

struct GatheredFolder {
    char name[TREE_NAME_WIDTH];
    char key[TREE_NAME_WIDTH];
    uint32_t attrib;
};

// The base name decides before the extension, and the blank fill puts a
// shorter base name before a longer one with the same beginning.
void BuildFileKey(GatheredFile& file) {
    char upper[TREE_NAME_WIDTH];
    std::memcpy(upper, file.name, sizeof upper);
    const char* folded = MakeSortKeyName(upper);
    const char* dot = std::strrchr(folded, '.');
    const int titleLength = int(dot != nullptr ? dot - folded : std::strlen(folded));
    std::snprintf(file.key, sizeof file.key, "%-190.*s.%s", titleLength, folded, dot != nullptr ? dot + 1 : "");
}

// Ascending by key, byte-wise unsigned; equal keys keep the order in which
// they were gathered. False when memory is short.
template <class T>
bool SortedOrder(const walk::PlainArray<T>& items, walk::PlainArray<int32_t>& order) {
    for (size_t i = 0; i < items.Count(); ++i) {
        int32_t* slot = order.Append();
        if (slot == nullptr) return false;
        *slot = int32_t(i);
    }
    std::sort(order.Data(), order.Data() + order.Count(), [&items](int32_t a, int32_t b) {
        const int byKey = std::strcmp(items[size_t(a)].key, items[size_t(b)].key);
        return byKey != 0 ? byKey < 0 : a < b;
    });
    return true;
}

// Gathers the matching files of one folder, up to `capacity`.
void GatherFiles(const char* folder, const walk::ExtensionGroups& groups, int32_t capacity,
                 walk::PlainArray<GatheredFile>& files) {
    const bool whole = walk::ForEachGroupFile(folder, groups, kGatherPatternSize, [&](const plat::FindData& entry) {
        if (!FitsName(entry.name)) {
            ++g_nTreeLeftOut;
            return walk::GroupVisit::Next;
        }
        if (int64_t(files.Count()) >= capacity) {
            g_bListTruncated = true;
            return walk::GroupVisit::EndGroup;
        }
        GatheredFile* file = files.Append();
        if (file == nullptr) {
            ++g_nTreeLeftOut;  // memory short
            return walk::GroupVisit::EndGroup;
        }
        std::strcpy(file->name, entry.name);
        file->size = entry.size;
        g_dwTotalSize += uint32_t(entry.size);
        return walk::GroupVisit::Next;
    });
    if (!whole) ++g_nTreeLeftOut;  // a folder that could not be read
}

int32_t ListSorted(const char* folder, const walk::ExtensionGroups& groups, int32_t base) {
    if (base == 0) g_dwTotalSize = 0;
    g_nListCount = 0;
    if (base < 0) return 0;
    if (!FitsSortedFolder(folder)) return LeaveOut(folder);

    walk::PlainArray<GatheredFile> files;
    GatherFiles(folder, groups, TREE_TABLE_CAPACITY - base, files);
    for (size_t i = 0; i < files.Count(); ++i) BuildFileKey(files[i]);
    walk::PlainArray<int32_t> order;
    if (!SortedOrder(files, order)) return 0;

    for (size_t position = 0; position < order.Count(); ++position) {
        const GatheredFile& file = files[size_t(order[position])];
        const size_t slot = size_t(base) + position;
        std::strcpy(g_aszTreeFile[slot], file.name);
        g_adwTreeSize[slot] = uint32_t(file.size);
        g_aqwTreeSize[slot] = file.size;
    }
    g_nListCount = int32_t(order.Count());
    return g_nListCount;
}

}  // namespace

int32_t ListFolderFilesSorted(const char* folder, const char* extList, int32_t base) {
    return ListSorted(folder, walk::ExtensionGroups(extList), base);
}

int32_t ListSubfoldersSorted(const char* folder) {
    if (!FitsSortedFolder(folder)) return LeaveOut(folder);
    char pattern[TREE_NAME_WIDTH];
    if (!JoinExtensionPattern(pattern, sizeof pattern, folder, "*", walk::kJoin)) return 0;

    walk::PlainArray<GatheredFolder> folders;
    plat::FindData entry;
    plat::SearchHandle search = FindOpenReconnecting(pattern, plat::SearchKind::FoldersOnly, &entry);
    bool found = search != nullptr;
    for (; found; found = plat::FindNext(search, &entry)) {
        if (!walk::IsFolderEntry(entry)) continue;
        if (!FitsName(entry.name)) {
            ++g_nTreeLeftOut;
            continue;
        }
        // One folder more than the table holds: the rest is left out.
        GatheredFolder* gathered = folders.Count() < size_t(TREE_TABLE_CAPACITY) ? folders.Append() : nullptr;
        if (gathered == nullptr) {
            ++g_nTreeLeftOut;
            break;
        }
        std::strcpy(gathered->name, entry.name);
        std::strcpy(gathered->key, entry.name);
        UpperAsciiInPlace(gathered->key);
        gathered->attrib = entry.attrib;
    }
    if (!found && !walk::SearchEndedWhole()) ++g_nTreeLeftOut;  // a folder that could not be read
    plat::FindClose(search);

    walk::PlainArray<int32_t> order;
    if (!SortedOrder(folders, order)) return 0;
    for (size_t position = 0; position < order.Count(); ++position) {
        const GatheredFolder& gathered = folders[size_t(order[position])];
        std::strcpy(g_aszSubfolder[position], gathered.name);
        g_adwSubfolderAttrib[position] = gathered.attrib;
    }
    return int32_t(order.Count());
}

namespace treeops {

bool KeepSortedSubfolders(const char* folder, walk::Subfolders& out) {
    const int32_t count = ListSubfoldersSorted(folder);
    for (int32_t i = 0; i < count; ++i)
        if (!out.Add(g_aszSubfolder[i], g_adwSubfolderAttrib[i])) return false;
    return true;
}

}  // namespace treeops

namespace {

// Pre-order: a folder's own files sorted, then its subfolders' trees in
// sorted order, into the tables from the running count on.
class Collecting final : public walk::TreePolicy {
public:
    Collecting(const walk::ExtensionGroups& groups, int32_t base) : m_groups(groups), m_base(base), m_total(base) {}

    int32_t Added() const { return m_total - m_base; }

    void Enter(const char* folder, int32_t, walk::Subfolders& subfolders, uint32_t&) override {
        // With the tables full the walk adds nothing, but it still looks
        // for one matching file more, so that g_bListTruncated tells
        // whether any was left out; the first one found ends the walk.
        if (m_total < TREE_TABLE_CAPACITY) {
            const int32_t added = ListSorted(folder, m_groups, m_total);
            for (int32_t i = m_total; i < m_total + added; ++i) std::strcpy(g_aszTreeFolder[i], folder);
            m_total += added;
        } else if (!g_bListTruncated) {
            ListSorted(folder, m_groups, TREE_TABLE_CAPACITY);
        }
        if (!Finished() && !treeops::KeepSortedSubfolders(folder, subfolders)) ++g_nTreeLeftOut;  // memory short
    }
    bool Finished() const override { return m_total >= TREE_TABLE_CAPACITY && g_bListTruncated; }

private:
    const walk::ExtensionGroups& m_groups;
    int32_t m_base;
    int32_t m_total;
};

constexpr walk::WalkRules kCollectRules{TREE_SORTED_FOLDER_LIMIT, walk::kJoin, &g_nTreeLeftOut, false};

int32_t CollectTree(const char* folder, const walk::ExtensionGroups& groups, int32_t base) {
    g_nListCount = 0;
    if (base < 0) return 0;
    Collecting collecting(groups, base);
    walk::WalkTree(folder, collecting, kCollectRules);
    g_nListCount = collecting.Added();
    return g_nListCount;
}

}  // namespace

int32_t CollectTreeFiles(const char* folder, const char* extList, int32_t base) {
    return CollectTree(folder, walk::ExtensionGroups(extList), base);
}

int32_t CollectTreeFilesNamed(const char* folder, const char* namePattern, int32_t base) {
    if (namePattern == nullptr || std::strlen(namePattern) >= TREE_NAME_WIDTH) {
        g_nListCount = 0;
        return 0;
    }
    return CollectTree(folder, walk::ExtensionGroups::WholeName(namePattern), base);
}

int32_t CountFolderFiles(const char* folder, const char* extList) {
    if (folder == nullptr) return 0;
    int32_t count = 0;
    walk::ForEachGroupFile(folder, walk::ExtensionGroups(extList), kCountPatternSize, [&count](const plat::FindData&) {
        if (count < INT32_MAX) ++count;
        return walk::GroupVisit::Next;
    });
    return count;
}
