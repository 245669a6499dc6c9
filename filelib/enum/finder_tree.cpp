// The finder's operations over whole trees: listings with depth tags and
// counts, each a policy on the library's tree walk (enum/tree_walk.h),
// which visits the subfolders in the order the search gives them.
#include "filelib/enum/file_finder.h"
#include "filelib/enum/finder_walk.h"
#include "filelib/paths/path_attributes.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr size_t kFolderField = sizeof(CFileFinder::m_szListDir);

// The finder's records name their folders by szDir and szPath, each of
// which the listings keep below 260 characters; the root may be longer.
constexpr walk::WalkRules kFinderRules{kFolderField, EndSeparator::Add, &g_nFinderLeftOut, false};

// The finder's part of every tree operation: each folder's subfolders as
// its own listing gives them, in search order, after the operation's own
// work in the folder (EnterFolder).
class TreeVisitor : public walk::TreePolicy {
public:
    virtual void EnterFolder(char* folder, int32_t depth) = 0;

    void Enter(const char* folder, int32_t depth, walk::Subfolders& subfolders, uint32_t&) final {
        EnterFolder(Writable(folder), depth);
        ListWalkSubfolders(folder, subfolders);
    }

protected:
    // The listings take their folders writable (a bare drive gets its
    // slash); the walk's own text stays as it is.
    char* Writable(const char* folder) {
        std::memcpy(m_folder, folder, std::strlen(folder) + 1);
        return m_folder;
    }

private:
    char m_folder[kFolderField];
};

// The records of one tree listing, gathered in chunks and appended to the
// finder's list in one growth at the end: growing the list once per folder
// would copy it again for every folder.
class RecordBatch {
public:
    void Add(const FINDER_ENTRY& record) {
        if (m_count % kChunk == 0) m_chunks.emplace_back(new FINDER_ENTRY[kChunk]);
        m_chunks.back()[m_count % kChunk] = record;
        ++m_count;
    }
    // Writes the records from index 0 on, the list growing by their number,
    // as every listing writes from its start index. The number stored.
    size_t Count() const { return m_count; }
    int32_t StoreInto(CBlockArray& list) {
        if (m_count == 0) return 0;
        if (m_count > size_t(INT32_MAX) || !list.Grow(int32_t(m_count), sizeof(FINDER_ENTRY))) return 0;
        for (size_t i = 0; i < m_count; ++i) list.SetAt(int32_t(i), &m_chunks[i / kChunk][i % kChunk]);
        return int32_t(m_count);
    }

private:
    static constexpr size_t kChunk = 1024;
    std::vector<std::unique_ptr<FINDER_ENTRY[]>> m_chunks;
    size_t m_count = 0;
};

// Lists one folder's files the way the owner's own listing would (its sort
// order, filters and preset count), into the batch, with the depth as tag.
class FolderFiles {
public:
    FolderFiles(const CFileFinder& owner, const char* extList) : m_owner(owner), m_extList(extList) {}

    void List(char* folder, int32_t depth, RecordBatch& batch, double& total) {
        m_files.Reset();
        m_files.m_nSortOrder = m_owner.m_nSortOrder;
        m_files.m_nFlags = m_owner.m_nFlags;
        m_files.m_nPresetCount = m_owner.m_nPresetCount;
        // As in the owner's own listing, whose call at start index 0 (no
        // record listed yet) begins the total anew.
        if (batch.Count() == 0) total = 0.0;
        const int32_t count = m_files.ListFilesByExtensions(folder, m_extList, 0, depth);
        for (int32_t i = 0; i < count; ++i) {
            const FINDER_ENTRY* record = m_files.GetEntry(i);
            if (record != nullptr) batch.Add(*record);
        }
        total += m_files.m_dTotalSize;
        m_files.m_list.Free();
    }

private:
    const CFileFinder& m_owner;
    const char* m_extList;
    CFileFinder m_files;
};

class FileListing : public TreeVisitor {
public:
    FileListing(CFileFinder& owner, const char* extList, RecordBatch& batch)
        : m_batch(batch), m_owner(owner), m_files(owner, extList), m_filesFirst(owner.m_bTreeOrder != 0) {}

    void EnterFolder(char* folder, int32_t depth) override {
        if (m_filesFirst) m_files.List(folder, depth, m_batch, m_owner.m_dTotalSize);
    }
    void Leave(const char* folder, int32_t depth, uint32_t) override {
        if (!m_filesFirst) m_files.List(Writable(folder), depth, m_batch, m_owner.m_dTotalSize);
    }

protected:
    RecordBatch& m_batch;

private:
    CFileFinder& m_owner;
    FolderFiles m_files;
    bool m_filesFirst;
};

// Folder records carry the depth of the folder in which they were found.
void AddFolder(RecordBatch& batch, const char* folder, const walk::Subfolder& sub, int32_t depth) {
    FINDER_ENTRY record;
    FillFolderRecord(&record, folder, sub, depth);
    batch.Add(record);
}

class FolderListing : public TreeVisitor {
public:
    FolderListing(bool afterSubtree, RecordBatch& batch) : m_afterSubtree(afterSubtree), m_batch(batch) {}
    void EnterFolder(char*, int32_t) override {}
    walk::Visit Found(const char* folder, const walk::Subfolder& sub, const char*, int32_t depth) override {
        if (!m_afterSubtree) AddFolder(m_batch, folder, sub, depth);
        return walk::Visit::Enter;
    }
    void Done(const char* folder, const walk::Subfolder& sub, int32_t depth) override {
        if (m_afterSubtree) AddFolder(m_batch, folder, sub, depth);
    }

private:
    bool m_afterSubtree;
    RecordBatch& m_batch;
};

// Every folder record before its contents; the tree order puts a folder's
// own files before or after its subfolders.
class TreeListing : public FileListing {
public:
    TreeListing(CFileFinder& owner, const char* extList, RecordBatch& batch) : FileListing(owner, extList, batch) {}
    walk::Visit Found(const char* folder, const walk::Subfolder& sub, const char*, int32_t depth) override {
        AddFolder(m_batch, folder, sub, depth);
        return walk::Visit::Enter;
    }
};

class FileCounting : public TreeVisitor {
public:
    FileCounting(CFileFinder& owner, const char* extList) : m_owner(owner), m_extList(extList) {}
    int32_t m_nCount = 0;
    void EnterFolder(char* folder, int32_t) override { m_nCount += m_owner.CountFiles(folder, m_extList); }

private:
    CFileFinder& m_owner;
    const char* m_extList;
};

// The tree operations keep their root in m_szListDir; a root that does not
// fit there is not walked (a cut one would name another folder).
bool TakeRoot(CFileFinder& finder, char* root) {
    if (root == nullptr) return false;
    AppendRootSlash(root);
    const size_t length = std::strlen(root);
    if (length >= kFolderField) {
        ++g_nFinderLeftOut;  // the whole tree
        return false;
    }
    std::memcpy(finder.m_szListDir, root, length + 1);
    return true;
}

const char* ListOrAll(const char* extList) { return extList != nullptr ? extList : ""; }

// The batch into the list; records that could not be stored are left out.
int32_t StoreAll(RecordBatch& batch, CBlockArray& list) {
    const int32_t stored = batch.StoreInto(list);
    if (size_t(stored) != batch.Count()) ++g_nFinderLeftOut;
    return stored;
}

}  // namespace

bool IsLinkedFolder(const char* path) {
    // Attributes that cannot be read hold every bit: not entering a folder
    // is the safe side.
    return (GetAttributes(path) & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

int32_t CFileFinder::ListTreeFiles(char* root) { return ListTreeFiles(root, ""); }

int32_t CFileFinder::ListTreeFiles(char* root, const char* extList) {
    if (!TakeRoot(*this, root)) {
        m_dTotalSize = 0.0;  // as the root's own listing of nothing would
        return 0;
    }
    try {
        RecordBatch batch;
        FileListing listing(*this, ListOrAll(extList), batch);
        walk::WalkTree(root, listing, kFinderRules);
        ParseFilters(ListOrAll(extList));
        return StoreAll(batch, m_list);
    } catch (const std::bad_alloc&) {
        ++g_nFinderLeftOut;
        return 0;
    }
}

int32_t CFileFinder::ListTreeFolders(char* root) {
    if (!TakeRoot(*this, root)) return 0;
    try {
        RecordBatch batch;
        FolderListing listing(m_bTreeOrder != 0, batch);
        walk::WalkTree(root, listing, kFinderRules);
        return batch.StoreInto(m_list);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int32_t CFileFinder::ListTree(char* root) { return ListTree(root, ""); }

int32_t CFileFinder::ListTree(char* root, const char* extList) {
    if (!TakeRoot(*this, root)) return 0;
    try {
        RecordBatch batch;
        TreeListing listing(*this, ListOrAll(extList), batch);
        walk::WalkTree(root, listing, kFinderRules);
        ParseFilters(ListOrAll(extList));
        return batch.StoreInto(m_list);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int32_t CFileFinder::CountSubfolders(char* folder) {
    int32_t count = 0;
    for (bool found = FindFirstDir(folder); found; found = FindNextDir()) ++count;
    Close();
    return count;
}

int32_t CFileFinder::CountFiles(char* folder) { return CountFiles(folder, "*"); }

int32_t CFileFinder::CountFiles(char* folder, const char* extList) {
    // Split as the listings split; each pattern then goes to the file
    // search as a list of its own, which FindFirst parses anew.
    ParseFilters(ListOrAll(extList));
    const int32_t patternCount = m_nFilterCount;
    char patterns[100][10];
    bool usable[100];
    std::memcpy(patterns, m_szFilters, sizeof patterns);
    for (int32_t i = 0; i < patternCount; ++i) usable[i] = !m_bFilterUnusable[i];

    int32_t count = 0;
    for (int32_t i = 0; i < patternCount; ++i) {
        if (!usable[i]) continue;
        // An empty pattern means the names without an extension, as in the
        // listings; alone it would read as "all files", so it goes as ",".
        const char* pattern = patterns[i][0] != 0 ? patterns[i] : ",";
        for (bool found = FindFirst(folder, pattern); found; found = FindNext()) {
            m_dTotalSize += double(GetFullSize());
            ++count;
        }
        Close();
    }
    return count;
}

int32_t CFileFinder::CountTreeFiles(char* root) { return CountTreeFiles(root, "*"); }

int32_t CFileFinder::CountTreeFiles(char* root, const char* extList) {
    if (root == nullptr) return 0;
    AppendRootSlash(root);
    if (std::strlen(root) >= kFolderField) return 0;
    FileCounting counting(*this, ListOrAll(extList));
    walk::WalkTree(root, counting, kFinderRules);
    return counting.m_nCount;
}
