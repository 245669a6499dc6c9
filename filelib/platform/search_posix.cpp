// POSIX backend: the directory search (FindOpen and its kin): which entries
// a search yields and with which details. The folders it reads and their
// descriptors are kept in search_state_posix.cpp.

#include "filelib/platform/platform.h"
#include "filelib/platform/name_match.h"
#include "filelib/platform/posix_attributes.h"
#include "filelib/platform/posix_search.h"
#include "filelib/platform/system_errors.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace plat {

struct Search {
    explicit Search(int depth)
        : folder(posix::SearchBudget(), posix::SearchBuffers().ForDepth(depth), depth) {
        namePattern[0] = 0;  // read only up to its terminator
    }

    posix::OpenFolder folder;  // never opened for a single-entry lookup
    SearchKind kind = SearchKind::All;
    SearchDetail detail = SearchDetail::Full;
    bool matchesEveryName = false;  // "*.*" or "*": no name needs matching
    int dotsPending = 0;            // "." and ".." still to yield
    bool yieldsNothing = false;     // only the open folder, for searches in it
    Error end = Error::NotFound;    // why it found nothing more, once it did
    char namePattern[MAX_PATH];
};

namespace {

using posix::LinuxDirent64;
using posix::StatTypeAndSize;

thread_local Error t_searchError = Error::None;

// Records why a search found nothing; null, for the caller to return.
Search* NothingFound(Error why) {
    t_searchError = why;
    return nullptr;
}

// Why a call on the entry `name` of folder `dirFd` failed with `code`: a
// link where a folder is expected is no folder, so nothing is there, as
// a file there would be; a chain of links that never ends cannot be looked
// at.
Error EntryError(int code, int dirFd, const char* name) {
    if (code == ELOOP) {
        struct stat st;
        if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) return Error::NotFound;
    }
    return ErrorFromSystemCode(code);
}

// Fills the details of `name` inside folder `dirFd`; false when it is gone.
// For SearchDetail::Sizes only the type and the size are asked for.
bool StatEntry(int dirFd, const char* name, FindData* out, SearchDetail detail = SearchDetail::Full) {
    if (detail == SearchDetail::Sizes) {
        bool isFolder = false;
        if (!StatTypeAndSize(dirFd, name, &isFolder, &out->size)) return false;
        out->attrib = isFolder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
        return true;
    }
    struct statx sx;
    const unsigned mask = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_ATIME | STATX_BTIME;
    if (statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, mask, &sx) != 0) return false;
    out->attrib = posix::AttributesOf(sx.stx_mode, name);
    out->size = S_ISDIR(sx.stx_mode) ? 0 : sx.stx_size;
    out->tWrite = sx.stx_mtime.tv_sec;
    out->tAccess = sx.stx_atime.tv_sec;
    out->tCreate = (sx.stx_mask & STATX_BTIME) ? int64_t(sx.stx_btime.tv_sec) : out->tWrite;
    return true;
}

bool CopyName(const char* name, FindData* out) {
    size_t length = std::strlen(name);
    if (length >= sizeof out->name) return false;
    std::memcpy(out->name, name, length + 1);
    return true;
}

bool WantedByType(SearchKind kind, unsigned char type) {
    if (type == DT_UNKNOWN || kind == SearchKind::All) return true;
    return (type == DT_DIR) == (kind == SearchKind::FoldersOnly);
}

bool WantedByAttributes(SearchKind kind, uint32_t attrib) {
    if (kind == SearchKind::All) return true;
    return ((attrib & FILE_ATTRIBUTE_DIRECTORY) != 0) == (kind == SearchKind::FoldersOnly);
}

// The entry's name, terminator included, copied by the record's length:
// names of a folder read by getdents64 never exceed 255 bytes.
bool CopyEntryName(const LinuxDirent64* entry, FindData* out) {
    const size_t room = entry->d_reclen - offsetof(LinuxDirent64, d_name);
    if (room > sizeof out->name || std::memchr(entry->d_name, 0, room) == nullptr) return CopyName(entry->d_name, out);
    std::memcpy(out->name, entry->d_name, room);
    return true;
}

bool NextDot(Search* search, FindData* out) {
    const char* name = search->dotsPending == 2 ? "." : "..";
    --search->dotsPending;
    if (!MatchesNamePattern(search->namePattern, name) || !search->folder.EnsureOpen() ||
        !StatEntry(search->folder.fd(), name, out))
        return false;
    out->attrib &= ~FILE_ATTRIBUTE_HIDDEN;
    return CopyName(name, out);
}

bool NextFromFolder(Search* search, FindData* out) {
    posix::OpenFolder& folder = search->folder;
    while (search->dotsPending > 0) {
        if (NextDot(search, out)) return true;
    }
    while (const LinuxDirent64* entry = folder.ReadEntry()) {
        const char* name = entry->d_name;
        if (IsDotName(name)) continue;
        if (!WantedByType(search->kind, entry->d_type)) continue;
        if (!search->matchesEveryName && !MatchesNamePattern(search->namePattern, name)) continue;
        if (search->detail == SearchDetail::Sizes && entry->d_type == DT_DIR) {
            // The folder's own record says what it is; nothing else is asked.
            out->attrib = FILE_ATTRIBUTE_DIRECTORY;
            out->size = 0;
        } else {
            // Entries left in the buffer of a parked folder need the folder again.
            if (!folder.EnsureOpen()) break;
            if (!StatEntry(folder.fd(), name, out, search->detail)) continue;  // vanished meanwhile
            if (!WantedByAttributes(search->kind, out->attrib)) continue;
        }
        if (CopyEntryName(entry, out)) return true;
    }
    // A read that failed, or a folder lost while parked, is no end.
    search->end = folder.ReachedEnd() ? Error::NotFound : Error::Other;
    t_searchError = search->end;
    folder.Finish();
    return false;
}

bool IsRootFolder(posix::OpenFolder& folder) {
    struct stat root;
    uint64_t device = 0, inode = 0;
    return folder.Identity(&device, &inode) && stat("/", &root) == 0 && device == uint64_t(root.st_dev) &&
           inode == uint64_t(root.st_ino);
}

// A new search on folder `dirName`: opened relative to the parent search's
// folder (or to the current folder), linked in with the open folders.
// Null when it cannot be read or leads back up.
Search* OpenSearchOnFolder(Search* parent, const char* dirName, bool followLink) {
    auto* search = new (std::nothrow) Search(parent != nullptr ? parent->folder.depth() + 1 : 0);
    if (search == nullptr) return NothingFound(Error::Other);
    errno = 0;
    const bool opened = parent != nullptr ? search->folder.OpenIn(parent->folder, dirName)
                                          : search->folder.OpenByPath(dirName, followLink);
    if (!opened) {
        const int code = errno;
        delete search;
        // A folder refused for leading back up sets no error: nothing new is there.
        if (code == 0) return NothingFound(Error::NotFound);
        return NothingFound(EntryError(code, parent != nullptr ? parent->folder.fd() : AT_FDCWD, dirName));
    }
    return search;
}

// Opens folder `dirName` for a search with namePattern: relative to the
// parent search's folder, or to the current folder when there is none.
SearchHandle OpenFolderSearch(Search* parent, const char* dirName, const char* namePattern, SearchKind kind,
                              SearchDetail detail, FindData* out) {
    if (std::strlen(namePattern) >= MAX_PATH) return NothingFound(Error::NameTooLong);
    Search* search = OpenSearchOnFolder(parent, dirName, false);
    if (search == nullptr) return nullptr;
    search->kind = kind;
    search->detail = detail;
    std::strcpy(search->namePattern, namePattern);
    search->matchesEveryName = MatchesEveryName(namePattern);
    if (kind == SearchKind::All && !IsRootFolder(search->folder)) search->dotsPending = 2;
    if (!NextFromFolder(search, out)) {
        const Error why = t_searchError;
        FindClose(search);
        return NothingFound(why);
    }
    t_searchError = Error::None;
    return search;
}

// A name without wildcards is looked up directly, as Windows does.
SearchHandle OpenSingleEntry(int dirFd, const char* dirName, const char* name, SearchKind kind, FindData* out) {
    if (std::strcmp(dirName, ".") != 0 || dirFd != AT_FDCWD) {
        int fd = openat(dirFd, dirName, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return NothingFound(ErrorFromSystemCode(errno));
        const bool found = StatEntry(fd, name, out);
        const int code = errno;
        close(fd);
        if (!found) return NothingFound(ErrorFromSystemCode(code));
    } else if (!StatEntry(AT_FDCWD, name, out)) {
        return NothingFound(ErrorFromSystemCode(errno));
    }
    if (IsDotName(name)) out->attrib &= ~FILE_ATTRIBUTE_HIDDEN;
    if (!WantedByAttributes(kind, out->attrib)) return NothingFound(Error::NotFound);
    if (!CopyName(name, out)) return NothingFound(Error::NameTooLong);
    auto* search = new (std::nothrow) Search(0);
    if (search == nullptr) return NothingFound(Error::Other);
    search->folder.Finish();
    t_searchError = Error::None;
    return search;
}

SearchHandle OpenSearch(Search* parent, const char* dirName, const char* namePattern, SearchKind kind,
                        SearchDetail detail, FindData* out) {
    if (namePattern[0] == 0) return NothingFound(Error::NotFound);  // a pattern that ends in a separator
    if (!HoldsWildcard(namePattern)) {
        const int dirFd = parent != nullptr ? parent->folder.fd() : AT_FDCWD;
        return OpenSingleEntry(dirFd, dirName, namePattern, kind, out);
    }
    return OpenFolderSearch(parent, dirName, namePattern, kind, detail, out);
}

}  // namespace

SearchHandle FindOpen(const char* pattern, SearchKind kind, FindData* out) {
    if (pattern == nullptr) return NothingFound(Error::NotFound);
    const char* slash = std::strrchr(pattern, '/');
    if (slash == nullptr) return OpenSearch(nullptr, ".", pattern, kind, SearchDetail::Full, out);
    size_t folderLength = size_t(slash - pattern);
    if (folderLength >= kLongestPath) return NothingFound(Error::NameTooLong);
    char folder[kLongestPath];
    if (folderLength == 0) {
        std::strcpy(folder, "/");
    } else {
        std::memcpy(folder, pattern, folderLength);
        folder[folderLength] = 0;
    }
    return OpenSearch(nullptr, folder, slash + 1, kind, SearchDetail::Full, out);
}

SearchHandle FindOpenFolder(const char* path) {
    if (path == nullptr) return NothingFound(Error::NotFound);
    if (std::strlen(path) >= kLongestPath) return NothingFound(Error::NameTooLong);
    Search* search = OpenSearchOnFolder(nullptr, path[0] != 0 ? path : ".", true);
    if (search == nullptr) return nullptr;
    search->yieldsNothing = true;
    t_searchError = Error::None;
    return search;
}

namespace {

// A name that FindOpenIn and FindOpenSummingFiles may open in parent.
bool CanOpenIn(SearchHandle parent, const char* name) {
    if (parent == nullptr || name == nullptr) return false;
    if (std::strchr(name, '/') != nullptr || std::strcmp(name, "..") == 0) return false;
    return parent->folder.EnsureOpen();
}

// The lengths of the files of a folder just opened, read to its end with
// one statx of type and size per entry that is not a folder by its record.
// Then the folder is read again from its first subfolder; a folder without
// subfolders is finished.
uint64_t SumFilesAndRewind(posix::OpenFolder& folder) {
    uint64_t total = 0;
    bool folderSeen = false;
    posix::OpenFolder::ReadMark firstFolder;
    while (const LinuxDirent64* entry = folder.ReadEntry()) {
        const char* name = entry->d_name;
        if (name[0] == '.' && IsDotName(name)) continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (!isFolder) {
            // Asked even of a file by its record: a file system may give no types.
            uint64_t size = 0;
            if (!StatTypeAndSize(folder.fd(), name, &isFolder, &size)) continue;  // vanished meanwhile
            total += size;
        }
        if (isFolder && !folderSeen) {
            folderSeen = true;
            firstFolder = folder.MarkOf(entry);
        }
    }
    if (!folderSeen && folder.ReachedEnd()) {
        folder.Finish();
    } else {
        folder.ReadAgainFrom(firstFolder);
    }
    return total;
}

}  // namespace

SearchHandle FindOpenIn(SearchHandle parent, const char* name, const char* namePattern, SearchKind kind,
                        FindData* out, SearchDetail detail) {
    if (namePattern == nullptr || !CanOpenIn(parent, name)) return NothingFound(Error::NotFound);
    return OpenSearch(parent, name, namePattern, kind, detail, out);
}

SearchHandle FindOpenSummingFiles(SearchHandle parent, const char* name, uint64_t* fileBytes) {
    if (fileBytes == nullptr || !CanOpenIn(parent, name)) return nullptr;
    Search* search = OpenSearchOnFolder(parent, name, false);
    if (search == nullptr) return nullptr;
    search->kind = SearchKind::FoldersOnly;
    search->detail = SearchDetail::Sizes;
    std::strcpy(search->namePattern, "*.*");
    search->matchesEveryName = true;
    *fileBytes += SumFilesAndRewind(search->folder);
    return search;
}

bool FindNext(SearchHandle search, FindData* out) {
    if (search == nullptr || search->folder.finished() || search->yieldsNothing ||
        (!search->folder.IsOpen() && !search->folder.IsParked())) {
        t_searchError = search != nullptr ? search->end : Error::NotFound;
        return false;
    }
    return NextFromFolder(search, out);
}

Error LastSearchError() { return t_searchError; }

void FindClose(SearchHandle search) {
    if (search == nullptr) return;
    search->folder.Close();
    delete search;
}

}  // namespace plat
