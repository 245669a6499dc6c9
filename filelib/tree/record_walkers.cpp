#include "filelib/tree/record_walkers.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "filelib/paths/file_names.h"
#include "filelib/paths/drive_reconnect.h"
#include "filelib/tree/walk_search.h"

static_assert(sizeof(bool) == 1, "TREEENTRY keeps its folder flag in one byte");

void* g_hEntryList;
void* g_pEntryList;
void* g_hFolderList;
void* g_pFolderList;
char g_szTreeRoot[TREE_TEXT_WIDTH];
double g_dTotalSize;

namespace {

constexpr size_t kFirstRoom = 16;  // elements in a new list block

// A list block and the bytes it has room for.
struct ListBlock {
    void*& handle;
    void*& data;
    size_t room;
};

ListBlock g_entryBlock{g_hEntryList, g_pEntryList, 0};
ListBlock g_folderBlock{g_hFolderList, g_pFolderList, 0};

// The zeroed element `index` of a list, or null when memory is short. Index
// 0 starts a new block and lets the old one go; later elements double the
// room when it runs out, so filling a list is linear. Elements that a
// caller's base skips over are zero.
void* ListSlot(ListBlock& list, int64_t index, size_t size) {
    if (index < 0 || index > INT32_MAX) return nullptr;
    const size_t need = (size_t(index) + 1) * size;
    if (index == 0) {
        void* block = std::calloc(kFirstRoom, size);
        if (block == nullptr) return nullptr;
        std::free(list.handle);
        list.handle = list.data = block;
        list.room = kFirstRoom * size;
    } else if (need > list.room) {
        const size_t room = std::max(need, list.room * 2);
        void* block = std::realloc(list.handle, room);
        if (block == nullptr) return nullptr;
        std::memset(static_cast<char*>(block) + list.room, 0, room - list.room);
        list.handle = list.data = block;
        list.room = room;
    }
    char* slot = static_cast<char*>(GetListItem(list.data, int(index), int(size)));
    std::memset(slot, 0, size);
    return slot;
}

bool FitsWalkFolder(const char* folder) {
    return folder != nullptr && std::strlen(folder) < TREE_WALK_FOLDER_LIMIT;
}

bool AppendRecord(int64_t index, const char* name, uint64_t size, const char* folder, bool isFolder, int32_t depth) {
    TREEENTRY* record = static_cast<TREEENTRY*>(ListSlot(g_entryBlock, index, sizeof(TREEENTRY)));
    if (record == nullptr) return false;
    std::strcpy(record->szName, name);
    std::strcpy(record->szFolder, folder);
    std::strcpy(record->szRoot, g_szTreeRoot);
    record->dwSize = uint32_t(size);
    record->bFolder = isFolder;
    record->nDepth = depth;
    return true;
}

// Pre-order in the search's order: a folder's files group by group, then
// for each subfolder its record (when folders are wanted) and its tree.
class RecordWalk final : public walk::TreePolicy {
public:
    RecordWalk(const char* extList, bool withFolders, int32_t depth, int64_t base)
        : m_groups(extList), m_withFolders(withFolders), m_depth(depth), m_base(base) {}

    int32_t Added() const { return m_added; }

    void Enter(const char* folder, int32_t depth, walk::Subfolders& subfolders, uint32_t&) override {
        if (!m_groups.AllFiles()) {
            walk::ForEachGroupFile(folder, m_groups, TREE_TEXT_WIDTH, [&](const plat::FindData& entry) {
                AddFile(entry, folder, depth);
                return walk::GroupVisit::Next;
            });
        }
        ReadFolder(folder, depth, subfolders, m_groups.AllFiles());
    }
    walk::Visit Found(const char* folder, const walk::Subfolder& sub, const char*, int32_t depth) override {
        if (m_withFolders && AppendRecord(m_base + m_added, sub.name, 0, folder, true, m_depth + depth)) ++m_added;
        return walk::Visit::Enter;
    }

private:
    void AddFile(const plat::FindData& entry, const char* folder, int32_t depth) {
        if (!AppendRecord(m_base + m_added, entry.name, entry.size, folder, false, m_depth + depth)) return;
        ++m_added;
        g_dwTotalSize += uint32_t(entry.size);
        g_dTotalSize += double(entry.size);
    }

    // The subfolders of one search of the folder; when every file is
    // wanted, the same search lists the files as they come, with the
    // reconnection of the file searches.
    void ReadFolder(const char* folder, int32_t depth, walk::Subfolders& subfolders, bool withFiles) {
        char pattern[TREE_TEXT_WIDTH];
        if (!JoinExtensionPattern(pattern, sizeof pattern, folder, "*", walk::kJoin)) return;
        plat::FindData entry;
        plat::SearchHandle search = withFiles ? FindOpenReconnecting(pattern, plat::SearchKind::All, &entry)
                                              : plat::FindOpen(pattern, plat::SearchKind::FoldersOnly, &entry);
        for (bool found = search != nullptr; found; found = plat::FindNext(search, &entry)) {
            if ((entry.attrib & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                if (withFiles) AddFile(entry, folder, depth);
            } else if (walk::IsFolderEntry(entry)) {
                subfolders.Add(entry);
            }
        }
        plat::FindClose(search);
    }

    walk::ExtensionGroups m_groups;
    bool m_withFolders;
    int32_t m_depth;  // the caller's counter at the top
    int64_t m_base;
    int32_t m_added = 0;
};

// Folders that do not fit are passed over, as the walkers always have.
constexpr walk::WalkRules kRecordRules{TREE_WALK_FOLDER_LIMIT, walk::kJoin, nullptr, false};

int32_t StartRecordWalk(const char* folder, const char* extList, int32_t base, int32_t& depth, bool withFolders) {
    if (base == 0) {
        g_dTotalSize = 0.0;
        g_dwTotalSize = 0;
        depth = 0;
        g_szTreeRoot[0] = 0;
        if (FitsWalkFolder(folder)) std::strcpy(g_szTreeRoot, folder);
    }
    g_nListCount = 0;
    if (base < 0 || !FitsWalkFolder(folder)) return 0;
    RecordWalk walk(extList, withFolders, depth, base);
    walk::WalkTree(folder, walk, kRecordRules);
    g_nListCount = walk.Added();
    return walk.Added();
}

int32_t BuildFolderFileList(const char* folder, const char* extList, int32_t base, bool withFolder) {
    if (base == 0) g_dwTotalSize = 0;
    g_nListCount = 0;
    if (base < 0 || !FitsWalkFolder(folder)) return 0;
    int32_t count = 0;
    walk::ForEachGroupFile(folder, walk::ExtensionGroups(extList), TREE_TEXT_WIDTH, [&](const plat::FindData& entry) {
        char text[TREE_TEXT_WIDTH];
        if (!JoinPath(text, sizeof text, withFolder ? folder : "", entry.name, walk::kJoin)) return walk::GroupVisit::Next;
        char* slot = static_cast<char*>(ListSlot(g_entryBlock, int64_t(base) + count, TREE_TEXT_WIDTH));
        if (slot == nullptr) return walk::GroupVisit::Next;
        std::strcpy(slot, text);
        ++count;
        g_dwTotalSize += uint32_t(entry.size);
        return walk::GroupVisit::Next;
    });
    g_nListCount = count;
    return count;
}

}  // namespace

int32_t BuildTreeEntryList(const char* folder, const char* extList, int32_t base, int32_t& depth) {
    return StartRecordWalk(folder, extList, base, depth, true);
}

int32_t BuildTreeFileList(const char* folder, const char* extList, int32_t base, int32_t& depth) {
    return StartRecordWalk(folder, extList, base, depth, false);
}

int32_t BuildFolderFileNameList(const char* folder, const char* extList, int32_t base) {
    return BuildFolderFileList(folder, extList, base, false);
}

int32_t BuildFolderFilePathList(const char* folder, const char* extList, int32_t base) {
    return BuildFolderFileList(folder, extList, base, true);
}

int32_t BuildSubfolderList(const char* folder) {
    if (!FitsWalkFolder(folder)) return 0;
    char pattern[TREE_TEXT_WIDTH];
    if (!JoinExtensionPattern(pattern, sizeof pattern, folder, "*", walk::kJoin)) return 0;
    int32_t count = 0;
    plat::FindData entry;
    plat::SearchHandle search = FindOpenReconnecting(pattern, plat::SearchKind::FoldersOnly, &entry);
    for (bool found = search != nullptr; found; found = plat::FindNext(search, &entry)) {
        if (!walk::IsFolderEntry(entry)) continue;
        char* slot = static_cast<char*>(ListSlot(g_folderBlock, count, TREE_TEXT_WIDTH));
        if (slot == nullptr) continue;
        std::strcpy(slot, entry.name);
        ++count;
    }
    plat::FindClose(search);
    return count;
}
