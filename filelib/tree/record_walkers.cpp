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

struct RecordWalk {
    walk::ExtensionGroups groups;
    bool withFolders;
    int32_t& depth;
};

bool AppendRecord(int64_t index, const plat::FindData& entry, const char* folder, bool isFolder, int32_t depth) {
    TREEENTRY* record = static_cast<TREEENTRY*>(ListSlot(g_entryBlock, index, sizeof(TREEENTRY)));
    if (record == nullptr) return false;
    std::strcpy(record->szName, entry.name);
    std::strcpy(record->szFolder, folder);
    std::strcpy(record->szRoot, g_szTreeRoot);
    record->dwSize = isFolder ? 0 : uint32_t(entry.size);
    record->bFolder = isFolder;
    record->nDepth = depth;
    return true;
}

bool AppendFile(RecordWalk& walk, int64_t index, const plat::FindData& entry, const char* folder) {
    if (!AppendRecord(index, entry, folder, false, walk.depth)) return false;
    g_dwTotalSize += uint32_t(entry.size);
    g_dTotalSize += double(entry.size);
    return true;
}

// Subfolders met in a folder's search, walked once the search is closed.
using Subfolders = walk::PlainArray<plat::FindData>;

int32_t WalkFileGroups(RecordWalk& walk, const char* folder, int64_t base) {
    int32_t added = 0;
    walk::ForEachGroupFile(folder, walk.groups, TREE_TEXT_WIDTH, [&](const plat::FindData& entry) {
        if (AppendFile(walk, base + added, entry, folder)) ++added;
        return walk::GroupVisit::Next;
    });
    return added;
}

// One search for files and subfolders alike, when every file is wanted:
// the files are listed as they come, the subfolders kept for later.
int32_t WalkAllFiles(RecordWalk& walk, const char* folder, int64_t base, Subfolders& subfolders) {
    int32_t added = 0;
    char pattern[TREE_TEXT_WIDTH];
    if (!JoinExtensionPattern(pattern, sizeof pattern, folder, "*", walk::kJoin)) return 0;
    plat::FindData entry;
    plat::SearchHandle search = FindOpenReconnecting(pattern, plat::SearchKind::All, &entry);
    for (bool found = search != nullptr; found; found = plat::FindNext(search, &entry)) {
        if ((entry.attrib & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            if (AppendFile(walk, base + added, entry, folder)) ++added;
        } else if (walk::IsFolderEntry(entry)) {
            plat::FindData* subfolder = subfolders.Append();
            if (subfolder != nullptr) *subfolder = entry;
        }
    }
    plat::FindClose(search);
    return added;
}

void GatherSubfolders(const char* folder, Subfolders& subfolders) {
    char pattern[TREE_TEXT_WIDTH];
    if (!JoinExtensionPattern(pattern, sizeof pattern, folder, "*", walk::kJoin)) return;
    plat::FindData entry;
    plat::SearchHandle search = plat::FindOpen(pattern, plat::SearchKind::FoldersOnly, &entry);
    for (bool found = search != nullptr; found; found = plat::FindNext(search, &entry)) {
        if (!walk::IsFolderEntry(entry)) continue;
        plat::FindData* subfolder = subfolders.Append();
        if (subfolder != nullptr) *subfolder = entry;
    }
    plat::FindClose(search);
}

// Pre-order. The depth of a tree is bounded by the folder limit, so the
// recursion stays shallow whatever the tree holds; each level's search is
// closed before the walk goes down.
int32_t WalkRecords(RecordWalk& walk, const char* folder, int64_t base) {
    Subfolders subfolders;
    int32_t added = 0;
    if (walk.groups.AllFiles()) {
        added = WalkAllFiles(walk, folder, base, subfolders);
    } else {
        added = WalkFileGroups(walk, folder, base);
        GatherSubfolders(folder, subfolders);
    }
    for (size_t i = 0; i < subfolders.Count(); ++i) {
        const plat::FindData& entry = subfolders[i];
        if (walk.withFolders && AppendRecord(base + added, entry, folder, true, walk.depth)) ++added;
        char subfolder[TREE_WALK_FOLDER_LIMIT];
        if (!walk::MayEnter(entry) || !JoinPath(subfolder, sizeof subfolder, folder, entry.name, walk::kJoin)) continue;
        ++walk.depth;
        added += WalkRecords(walk, subfolder, base + added);
        --walk.depth;
    }
    g_nListCount = added;
    return added;
}

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
    RecordWalk walk{walk::ExtensionGroups(extList), withFolders, depth};
    return WalkRecords(walk, folder, base);
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
