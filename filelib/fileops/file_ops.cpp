#include "filelib/fileops/file_ops.h"

#include <cstdio>
#include <cstring>

#include "filelib/enum/file_finder.h"
#include "filelib/enum/tree_walk.h"
#include "filelib/paths/first_entry.h"
#include "filelib/paths/filelib_context.h"
#include "filelib/paths/long_name_scope.h"
#include "filelib/paths/path_join.h"
#include "filelib/platform/name_match.h"
#include "filelib/platform/platform.h"

namespace {

constexpr size_t kWorkSize = 600;  // working copies of paths

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The existence tests below hand their paths to the system as given: the
// callers that take any length have made the folder current already.
bool IsFolderEntry(const char* path) {
    plat::FindData entry;
    return FindFirstEntry(path, &entry, EntrySpelling::AsGiven) && (entry.attrib & FILE_ATTRIBUTE_DIRECTORY) &&
           !plat::IsDotName(entry.name);
}

bool IsFileEntry(const char* path) {
    plat::FindData entry;
    return FindFirstEntry(path, &entry, EntrySpelling::AsGiven) && !(entry.attrib & FILE_ATTRIBUTE_DIRECTORY);
}

// The same tests and changes for paths of any length, from inside the
// folder of a long one.
bool IsFolderAnyLength(const char* path) { return KindOfPath(path) == PathKind::Folder; }

bool MakeFolderPlain(const char* path) { return plat::MakeFolder(path) == plat::Error::None; }

bool MakeFolderAnyLength(const char* path) {
    CLongNameScope scope(path);
    return scope.IsReady() && MakeFolderPlain(scope.GetName());
}

bool RemoveFolderAnyLength(const char* path) {
    CLongNameScope scope(path);
    return scope.IsReady() && plat::RemoveFolder(scope.GetName()) == plat::Error::None;
}

// Copies a folder text into a working copy without separators at its end
// (a root keeps its own). False when it does not fit.
bool TakeFolderText(char* work, const char* path) {
    const size_t length = std::strlen(path);
    if (length >= kWorkSize) return false;
    std::memcpy(work, path, length + 1);
    size_t end = length;
    while (end > 1 && IsSeparator(work[end - 1]) && !(end == 3 && work[1] == ':')) --end;
    work[end] = 0;
    return true;
}

struct FolderCalls {
    bool (*isFolder)(const char*);
    bool (*makeFolder)(const char*);
};

bool MakeAndCheck(const char* path, const FolderCalls& calls) {
    calls.makeFolder(path);
    return calls.isFolder(path);  // also when another made it meanwhile
}

// Creates the folder in `work` with its missing parents: climbs only as
// far as the first ancestor that exists or can be made, then creates the
// folders below it in turn. `work` is cut in place and given back whole.
bool CreateFolderChain(char* work, const FolderCalls& calls) {
    if (work[0] == 0) return false;
    if (calls.isFolder(work) || MakeAndCheck(work, calls)) return true;
    struct Cut {
        size_t at;
        char separator;
    };
    Cut cuts[kWorkSize];
    size_t cutCount = 0;
    size_t length = std::strlen(work);
    bool reached = false;
    while (!reached) {
        size_t cut = length;
        while (cut > 0 && !IsSeparator(work[cut - 1])) --cut;
        // No parent, or the parent is a root, which exists or cannot be made.
        if (cut <= 1 || (length <= 3 && work[1] == ':') || (cut == 3 && work[1] == ':')) break;
        --cut;
        cuts[cutCount].at = cut;
        cuts[cutCount].separator = work[cut];
        ++cutCount;
        work[cut] = 0;
        length = cut;
        reached = calls.isFolder(work) || MakeAndCheck(work, calls);
    }
    bool made = reached;
    for (size_t i = cutCount; i-- > 0;) {
        work[cuts[i].at] = cuts[i].separator;
        if (made) made = MakeAndCheck(work, calls);
    }
    return made && cutCount > 0;
}

const FolderCalls kAnyLength = {IsFolderAnyLength, MakeFolderAnyLength};
const FolderCalls kPlainNames = {IsFolderEntry, MakeFolderPlain};

// What one folder's first try left.
enum class FirstTry { Gone, Enter, Stays };

// Tries to remove the folder at once, its attributes cleared; `attributes`
// gets the ones it had. A folder link whose own removal failed is not
// entered: what it leads to is not this tree.
FirstTry TryRemoveFolder(const char* path, DWORD& attributes) {
    const PathKind kind = KindOfPath(path);
    if (kind != PathKind::Folder) return kind != PathKind::Unknown ? FirstTry::Gone : FirstTry::Stays;
    attributes = GetAttributes(path);
    SetAttributes(path, 0);
    RemoveFolderAnyLength(path);
    if (NoFolderThere(KindOfPath(path))) return FirstTry::Gone;
    if (!IsLinkedFolder(path)) return FirstTry::Enter;
    if (attributes != INVALID_FILE_ATTRIBUTES) SetAttributes(path, attributes);
    return FirstTry::Stays;
}

// Removes the empty folders of a tree and never a file: a folder is tried
// at once; one that stays has its subfolders in search order tried (links
// and junctions left alone) and is tried again after them, and gets its
// attributes back when it still stays.
class EmptyFolderRemoval final : public walk::TreePolicy {
public:
    explicit EmptyFolderRemoval(DWORD topAttributes) : m_attributes(topAttributes) {}
    bool TopGone() const { return m_topGone; }

    void Enter(const char* folder, int32_t, walk::Subfolders& subfolders, uint32_t& mark) override {
        mark = m_attributes;
        char work[kWorkSize];
        std::memcpy(work, folder, std::strlen(folder) + 1);
        for (bool found = m_finder.FindFirstDir(work); found; found = m_finder.FindNextDir())
            subfolders.Add(m_finder.GetName(), m_finder.m_fd.attrib);
        m_finder.Close();
    }
    walk::Visit Found(const char*, const walk::Subfolder& sub, const char* path, int32_t) override {
        if (sub.IsLink() || path == nullptr) return walk::Visit::Pass;
        return TryRemoveFolder(path, m_attributes) == FirstTry::Enter ? walk::Visit::Enter : walk::Visit::Pass;
    }
    void Leave(const char* folder, int32_t depth, uint32_t attributes) override {
        RemoveFolderAnyLength(folder);
        const bool gone = NoFolderThere(KindOfPath(folder));
        if (!gone && attributes != INVALID_FILE_ATTRIBUTES) SetAttributes(folder, attributes);
        if (depth == 0) m_topGone = gone;
    }

private:
    CFileFinder m_finder;
    DWORD m_attributes;
    bool m_topGone = false;
};

// Paths of the working size, joined as the finder spells them.
constexpr walk::WalkRules kRemovalRules{kWorkSize, EndSeparator::Add, nullptr, false};

const char* const kKindFolders[] = {"daten", "ini", "msk", "drf", "exp", "tmp"};

bool IsAbsoluteFolder(const char* folder) {
    return IsSeparator(folder[0]) || (folder[0] != 0 && folder[1] == ':');
}

}  // namespace

bool FileExists(const char* path) {
    if (path == nullptr || path[0] == 0) return false;
    CLongNameScope scope(path);
    return scope.IsReady() && IsFileEntry(scope.GetName());
}

bool RemoveFile(const char* path) {
    if (path == nullptr || path[0] == 0) return true;
    CLongNameScope scope(path);
    // A folder on the way that is not there holds no file; one that could
    // not be entered may.
    if (!scope.IsReady()) return scope.GetFailure() == plat::Error::NotFound;
    const char* name = scope.GetName();
    const PathKind before = KindOfPath(name, EntrySpelling::AsGiven);
    if (before != PathKind::File) return before != PathKind::Unknown;
    const DWORD attributes = plat::ReadAttributes(name);
    plat::WriteAttributes(name, 0);
    plat::RemoveFileEntry(name);
    if (NoFileThere(KindOfPath(name, EntrySpelling::AsGiven))) return true;
    if (attributes != INVALID_FILE_ATTRIBUTES) plat::WriteAttributes(name, attributes);
    return false;
}

// ---------------------------------------------------------------- rename

namespace {

// A path spelled so that it still names its entry after another folder
// has been made current: absolute, and short enough for the system.
bool FullSpelling(char* out, const char* path, const char* current) {
    if (IsSeparator(path[0]) || (path[0] != 0 && path[1] == ':' && IsSeparator(path[2]))) {
        if (std::strlen(path) > plat::kLongNameThreshold) return false;
        std::snprintf(out, kWorkSize, "%s", path);
        return true;
    }
    if (path[0] != 0 && path[1] == ':') return false;  // relative to a drive's own current folder
    return current[0] != 0 && JoinPath(out, kWorkSize, current, path) && std::strlen(out) <= plat::kLongNameThreshold;
}

bool InSameFolder(const char* a, const char* b) {
    const char* nameA = a + std::strlen(a);
    while (nameA > a && !IsSeparator(nameA[-1])) --nameA;
    const char* nameB = b + std::strlen(b);
    while (nameB > b && !IsSeparator(nameB[-1])) --nameB;
    return nameA - a == nameB - b && std::strncmp(a, b, size_t(nameA - a)) == 0;
}

const char* NamePart(const char* path) {
    const char* name = path + std::strlen(path);
    while (name > path && !IsSeparator(name[-1])) --name;
    return name;
}

// Renames between two spellings valid in the current folder. A read-only
// target loses the attribute only for the replacing rename, and gets it
// back when the rename fails.
int RenameSpelled(const char* from, const char* to) {
    const DWORD target = plat::ReadAttributes(to);
    bool targetCleared = false;
    if (target != INVALID_FILE_ATTRIBUTES && !(target & FILE_ATTRIBUTE_DIRECTORY) && (target & FILE_ATTRIBUTE_READONLY))
        targetCleared = plat::WriteAttributes(to, target & ~DWORD(FILE_ATTRIBUTE_READONLY)) == plat::Error::None;
    if (plat::MovePath(from, to, plat::MoveMode::ReplaceTarget) == plat::Error::None) return RENAME_DONE;
    if (targetCleared) plat::WriteAttributes(to, target);
    return RENAME_FAILED;
}

}  // namespace

int RenameFile(const char* oldPath, const char* newPath) {
    if (oldPath == nullptr || newPath == nullptr || newPath[0] == 0) return RENAME_NOTHING_TO_DO;
    // An old file that could not be looked at may be there: that is no
    // "nothing to do".
    const PathKind old = KindOfPath(oldPath);
    if (old == PathKind::Unknown) return RENAME_FAILED;
    if (old != PathKind::File) return RENAME_NOTHING_TO_DO;
    if (std::strlen(oldPath) >= kWorkSize || std::strlen(newPath) >= kWorkSize) return RENAME_FAILED;
    const bool oldLong = std::strlen(oldPath) > plat::kLongNameThreshold;
    const bool newLong = std::strlen(newPath) > plat::kLongNameThreshold;
    if (!oldLong && !newLong) return RenameSpelled(oldPath, newPath);
    // Only one folder can be current: the long name is spelled by its file
    // name from inside its folder, the other one in full.
    char current[MAX_PATH];
    if (!plat::GetCurrentDir(current, sizeof current)) current[0] = 0;
    char other[kWorkSize];
    if (oldLong && newLong) {
        if (!InSameFolder(oldPath, newPath)) return RENAME_FAILED;
        CLongNameScope scope(oldPath);
        return !scope.IsReady() ? RENAME_FAILED : RenameSpelled(scope.GetName(), NamePart(newPath));
    }
    if (oldLong) {
        if (!FullSpelling(other, newPath, current)) return RENAME_FAILED;
        CLongNameScope scope(oldPath);
        return !scope.IsReady() ? RENAME_FAILED : RenameSpelled(scope.GetName(), other);
    }
    if (!FullSpelling(other, oldPath, current)) return RENAME_FAILED;
    CLongNameScope scope(newPath);
    return !scope.IsReady() ? RENAME_FAILED : RenameSpelled(other, scope.GetName());
}

// --------------------------------------------------------------- folders

int DeleteFilesByExtension(char* folder, const char* pattern) {
    if (folder == nullptr) return 1;
    if (pattern == nullptr) pattern = "*";
    AppendRootSlash(folder);
    // A file system's root is never emptied, however it is spelt.
    if (plat::IsFileSystemRoot(folder)) return 1;
    // A folder link leads to another tree: no folder of this one, as on
    // systems where a link is never a folder.
    if (!IsFolderAnyLength(folder) || IsLinkedFolder(folder)) return 1;
    // A pattern that reaches into another folder would delete that
    // folder's names here.
    if (plat::HoldsPathSeparator(pattern)) return 1;
    char namePattern[kWorkSize];
    char search[kWorkSize];
    const int written = std::snprintf(namePattern, sizeof namePattern, "*.%s", pattern);
    if (written < 0 || size_t(written) >= sizeof namePattern) return 1;
    if (!JoinPath(search, sizeof search, folder, namePattern)) return 1;
    CLongNameScope scope(search);
    if (!scope.IsReady()) return 1;
    plat::FindData entry;
    plat::SearchHandle found = plat::FindOpen(scope.GetName(), plat::SearchKind::FilesOnly, &entry);
    // Files that could not be listed, or not deleted, are still there.
    int result = found == nullptr && plat::LastSearchError() != plat::Error::NotFound ? 1 : 0;
    for (bool more = found != nullptr; more; more = plat::FindNext(found, &entry)) {
        if (entry.attrib & FILE_ATTRIBUTE_DIRECTORY) continue;
        char path[kWorkSize];
        if (scope.IsInFolder()) {
            if (!RemoveFile(entry.name)) result = 1;  // from inside the folder
        } else if (!JoinPath(path, sizeof path, folder, entry.name) || !RemoveFile(path)) {
            result = 1;
        }
    }
    // The last search call was the FindNext that ended the loop.
    if (found != nullptr && plat::LastSearchError() != plat::Error::NotFound) result = 1;
    plat::FindClose(found);
    return result;
}

bool CreateFolderPath(char* path) {
    if (path == nullptr) return false;
    AppendRootSlash(path);
    char work[kWorkSize];
    return TakeFolderText(work, path) && CreateFolderChain(work, kAnyLength);
}

int MakeFolderPath(const char* path) {
    if (path == nullptr) return 1;
    char work[kWorkSize];
    return TakeFolderText(work, path) && CreateFolderChain(work, kPlainNames) ? 0 : 1;
}

bool RemoveFolderTree(char* path) {
    if (path == nullptr) return true;
    AppendRootSlash(path);
    // A path that cannot be looked at is not known to be gone.
    if (std::strlen(path) >= kWorkSize) return false;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    const FirstTry first = TryRemoveFolder(path, attributes);
    if (first != FirstTry::Enter) return first == FirstTry::Gone;
    EmptyFolderRemoval removal(attributes);
    walk::WalkTree(path, removal, kRemovalRules);
    return removal.TopGone();
}

// ------------------------------------------------------------ data kinds

const char* GetKindFolder(unsigned kind) {
    static char folder[300];
    folder[0] = 0;
    if (kind < KIND_DATA || kind > KIND_TEMP) return folder;
    const char* override = g_FileLibContext.szKindDirs[kind - KIND_DATA];
    const void* end = std::memchr(override, 0, sizeof folder);
    if (override[0] == 0) {
        std::snprintf(folder, sizeof folder, "%s", kKindFolders[kind - KIND_DATA]);
    } else if (end != nullptr) {  // an override without its end is not taken
        std::memcpy(folder, override, size_t(static_cast<const char*>(end) - override) + 1);
    }
    return folder;
}

const char* MakeKindPath(const char* name, unsigned kind) {
    static char path[1024];
    path[0] = 0;
    if (name == nullptr) return path;
    char folder[kWorkSize];
    std::snprintf(folder, sizeof folder, "%s", GetKindFolder(kind));
    if (folder[0] == 0) {
        if (std::strlen(name) < sizeof path) std::snprintf(path, sizeof path, "%s", name);
        return path;
    }
    // A relative folder lies below the start folder; it is created there,
    // where the path points, not below whatever folder is current now.
    char fullFolder[kWorkSize];
    const char* start = g_FileLibContext.szStartDir;
    if (IsAbsoluteFolder(folder) || start[0] == 0) {
        std::snprintf(fullFolder, sizeof fullFolder, "%s", folder);
    } else if (!JoinPath(fullFolder, sizeof fullFolder, start, folder)) {
        return path;
    }
    if (!JoinPath(path, sizeof path, fullFolder, name)) return path;
    MakeFolderPath(fullFolder);
    return path;
}
