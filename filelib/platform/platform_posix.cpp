// POSIX backend: stands in for the Windows services with the same results.
// Only generic POSIX code (plus Linux's getdents64, statx and openat2) lives here;
// nothing above this file may include a system header of its own.

#include "filelib/platform/platform.h"
#include "filelib/platform/name_match.h"
#include "filelib/platform/posix_attributes.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

namespace plat {

const char kPathSep = '/';

namespace {

// ------------------------------------------------------------ wildcards

bool HasWildcards(const char* pattern) { return std::strpbrk(pattern, "*?") != nullptr; }

// "*.*" and "*" select every name: a search on them needs no matching.
bool MatchesEveryName(const char* pattern) {
    return std::strcmp(pattern, "*.*") == 0 || std::strcmp(pattern, "*") == 0;
}

// ----------------------------------------------------------- attributes

// Fills the details of `name` inside folder `dirFd`; false when it is gone.
// For SearchDetail::Sizes only the type and the size are asked for.
bool StatEntry(int dirFd, const char* name, FindData* out, SearchDetail detail = SearchDetail::Full) {
    struct statx sx;
    if (detail == SearchDetail::Sizes) {
        if (statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE | STATX_SIZE, &sx) != 0) return false;
        const bool isFolder = S_ISDIR(sx.stx_mode);
        out->attrib = isFolder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
        out->size = isFolder ? 0 : sx.stx_size;
        return true;
    }
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

// ------------------------------------------------------- folder reading

struct LinuxDirent64 {
    uint64_t d_ino;
    int64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1];
};

// Searches read into a small pool of buffers, one per level of folder
// depth (modulo the pool size), so a walk's parent keeps its entries while
// the child reads. A search that finds its buffer taken by another reads
// its own entries again from the position it had reached.
constexpr size_t kReadBufferSize = 32 * 1024;
constexpr int kReadBufferCount = 8;

struct ReadBuffer {
    alignas(8) char data[kReadBufferSize];
    const Search* owner = nullptr;
    size_t pos = 0;
    size_t length = 0;
};
ReadBuffer g_buffers[kReadBufferCount];

}  // namespace

struct Search {
    int fd = -1;               // the folder; -1 for a single-entry lookup or while parked
    uint64_t serial = 0;       // unique for the process's life, unlike fd numbers and addresses
    Search* parent = nullptr;  // the search it was opened in, while that stays open
    int openChildren = 0;      // searches opened in this one and not closed yet
    int depth = 0;             // levels below the search it was opened in
    ReadBuffer* buffer = nullptr;
    SearchKind kind = SearchKind::All;
    SearchDetail detail = SearchDetail::Full;
    bool matchesEveryName = false;  // "*.*" or "*": no name needs matching
    bool finished = false;
    int dotsPending = 0;       // "." and ".." still to yield
    int64_t resumeOffset = 0;  // folder position after the last entry taken
    bool readBefore = false;   // false: the folder is still at its start
    bool atEnd = false;        // the folder has nothing beyond the buffer
    int fills = 0;             // reads into the shared buffer
    bool parked = false;       // descriptor closed for want of descriptors
    bool isParentItself = false;  // opened as "." of its parent: the same folder
    bool yieldsNothing = false;   // only the open folder, for searches in it
    bool followsLink = false;     // opened by a path whose last part may be a link
    dev_t device = 0;          // identity of the folder: for reopening, and for
    ino_t inode = 0;           // telling a folder met again below itself
    bool identityKnown = false;
    bool crossedMount = false; // it or a folder it was opened in is the root of a mount
    Search* older = nullptr;   // open folder searches, oldest first
    Search* newer = nullptr;
    char* topFolder = nullptr; // a search opened by path: the folder, for reopening
    char folderName[MAX_PATH] = {};
    char namePattern[MAX_PATH] = {};
};

namespace {

uint64_t g_nextSerial = 1;

// Reads the folder's identity the first time it is needed.
bool KnowIdentity(Search* search) {
    if (search->identityKnown) return true;
    struct stat st;
    if (search->fd < 0 || fstat(search->fd, &st) != 0) return false;
    search->device = st.st_dev;
    search->inode = st.st_ino;
    search->identityKnown = true;
    return true;
}


void ReleaseBuffer(const Search* search) {
    if (search->buffer != nullptr && search->buffer->owner == search) search->buffer->owner = nullptr;
}

// ---------------------------------------------------- descriptor budget
//
// A walk holds one open folder per level. When the process runs out of
// descriptors, the oldest open searches (the shallowest levels) give theirs
// up and are parked; a parked search opens its folder again when it is
// needed, normally as ".." of the child that is just closing, and checks
// that it is the same folder.

Search* g_oldestOpen = nullptr;
Search* g_newestOpen = nullptr;

void LinkOpen(Search* search) {
    search->older = g_newestOpen;
    if (g_newestOpen != nullptr) g_newestOpen->newer = search;
    g_newestOpen = search;
    if (g_oldestOpen == nullptr) g_oldestOpen = search;
}

void UnlinkOpen(Search* search) {
    if (search->older != nullptr) search->older->newer = search->newer;
    if (search->newer != nullptr) search->newer->older = search->older;
    if (g_oldestOpen == search) g_oldestOpen = search->newer;
    if (g_newestOpen == search) g_newestOpen = search->older;
    search->older = search->newer = nullptr;
}

void DropReusable();
bool HasReusable();

bool Park(Search* search) {
    if (!KnowIdentity(search)) return false;  // to check it when it comes back
    close(search->fd);
    search->fd = -1;
    search->parked = true;
    return true;
}

// Frees one descriptor; false when none can be freed.
bool FreeDescriptor(const Search* keep1, const Search* keep2) {
    if (HasReusable()) {
        DropReusable();
        return true;
    }
    for (Search* s = g_oldestOpen; s != nullptr; s = s->newer) {
        if (s != keep1 && s != keep2 && !s->parked && s->fd >= 0 && Park(s)) return true;
    }
    return false;
}

// openat that makes room when the process has no descriptor left. Only a
// folder named by the caller's own path may be reached through a link.
int OpenFolder(int dirFd, const char* name, const Search* keep1, const Search* keep2, bool followLink = false) {
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    for (;;) {
        int fd = openat(dirFd, name, flags);
        if (fd >= 0 || (errno != EMFILE && errno != ENFILE)) return fd;
        if (!FreeDescriptor(keep1, keep2)) return -1;
    }
}

// Takes fd as the parked search's folder if it is the same folder; the next
// read starts again where the search had got to.
bool Unpark(Search* search, int fd) {
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || st.st_dev != search->device || st.st_ino != search->inode) {
        if (fd >= 0) close(fd);
        search->finished = true;  // moved or gone meanwhile: its rest is skipped
        return false;
    }
    search->fd = fd;
    search->parked = false;
    ReleaseBuffer(search);  // the descriptor's position is not the buffer's end
    return true;
}

// Reopens a parked search through its parent, or by path at the top.
bool EnsureOpen(Search* search) {
    if (!search->parked) return search->fd >= 0;
    if (search->finished) return false;
    int fd = -1;
    if (search->parent != nullptr) {
        if (EnsureOpen(search->parent)) fd = OpenFolder(search->parent->fd, search->folderName, search->parent, search);
    } else if (search->topFolder != nullptr) {
        fd = OpenFolder(AT_FDCWD, search->topFolder, search, nullptr, search->followsLink);
    }
    return Unpark(search, fd);
}

// ------------------------------------------------------ folder reuse
//
// A walk searches each folder twice in a row, once for its files and once
// for its subfolders. The folder last closed keeps its descriptor, and the
// buffer its entries when they were read whole, for that second search.

struct ReusableFolder {
    int fd = -1;
    bool identityKnown = false;
    dev_t device = 0;
    ino_t inode = 0;
    bool crossedMount = false;
    uint64_t parentSerial = 0;
    char name[MAX_PATH] = {};
    ReadBuffer* bufferHoldingAll = nullptr;
};
ReusableFolder g_reusable;
const Search g_reusableBufferToken{};

bool HasReusable() { return g_reusable.fd >= 0; }

void DropReusable() {
    if (g_reusable.fd >= 0) close(g_reusable.fd);
    ReadBuffer* kept = g_reusable.bufferHoldingAll;
    if (kept != nullptr && kept->owner == &g_reusableBufferToken) kept->owner = nullptr;
    // Field by field: the name is only read up to its terminator.
    g_reusable.fd = -1;
    g_reusable.identityKnown = false;
    g_reusable.crossedMount = false;
    g_reusable.parentSerial = 0;
    g_reusable.name[0] = 0;
    g_reusable.bufferHoldingAll = nullptr;
}

// Keeps the closing search's folder for reuse; false when it cannot be.
bool KeepForReuse(Search* search) {
    if (search->fd < 0 || search->parent == nullptr) return false;
    DropReusable();
    g_reusable.fd = search->fd;
    g_reusable.identityKnown = search->identityKnown;
    g_reusable.device = search->device;
    g_reusable.inode = search->inode;
    g_reusable.crossedMount = search->crossedMount;
    g_reusable.parentSerial = search->parent->serial;
    std::strcpy(g_reusable.name, search->folderName);
    if (search->buffer->owner == search && search->fills == 1 && search->atEnd) {
        g_reusable.bufferHoldingAll = search->buffer;
        search->buffer->owner = &g_reusableBufferToken;
    }
    return true;
}

// The kept descriptor of folder `name` in parent, or -1; the search then
// starts on the kept entries or at the folder's start.
int TakeReusable(const Search* parent, const char* name, Search* search) {
    if (g_reusable.fd < 0 || parent == nullptr || g_reusable.parentSerial != parent->serial ||
        std::strcmp(g_reusable.name, name) != 0)
        return -1;
    const int fd = g_reusable.fd;
    search->identityKnown = g_reusable.identityKnown;
    search->device = g_reusable.device;
    search->inode = g_reusable.inode;
    search->crossedMount = g_reusable.crossedMount;
    ReadBuffer* kept = g_reusable.bufferHoldingAll;
    if (kept == search->buffer && kept->owner == &g_reusableBufferToken) {
        kept->owner = search;
        kept->pos = 0;
        search->readBefore = true;
        search->atEnd = true;
        search->fills = 1;
    } else if (lseek(fd, 0, SEEK_SET) < 0) {
        return -1;  // left for DropReusable
    }
    g_reusable.fd = -1;
    DropReusable();
    return fd;
}

// Next raw entry of the folder, or null at the end or on a read error.
const LinuxDirent64* ReadEntry(Search* search) {
    ReadBuffer& buffer = *search->buffer;
    if (buffer.owner != search || buffer.pos >= buffer.length) {
        const bool resume = buffer.owner != search && search->readBefore;
        if (!resume && search->atEnd) return nullptr;
        if (!EnsureOpen(search)) return nullptr;
        if (resume && lseek(search->fd, search->resumeOffset, SEEK_SET) < 0) return nullptr;
        search->readBefore = true;
        long got = syscall(SYS_getdents64, search->fd, buffer.data, kReadBufferSize);
        if (got <= 0) {
            search->atEnd = got == 0;
            if (buffer.owner != search) buffer.owner = nullptr;  // its entries were overwritten
            return nullptr;
        }
        buffer.owner = search;
        buffer.pos = 0;
        buffer.length = size_t(got);
        ++search->fills;
    }
    auto* entry = reinterpret_cast<const LinuxDirent64*>(buffer.data + buffer.pos);
    buffer.pos += entry->d_reclen;
    search->resumeOffset = entry->d_off;
    return entry;
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
    if (!MatchesNamePattern(search->namePattern, name) || !EnsureOpen(search) || !StatEntry(search->fd, name, out))
        return false;
    out->attrib &= ~FILE_ATTRIBUTE_HIDDEN;
    return CopyName(name, out);
}

bool NextFromFolder(Search* search, FindData* out) {
    while (search->dotsPending > 0) {
        if (NextDot(search, out)) return true;
    }
    while (const LinuxDirent64* entry = ReadEntry(search)) {
        const char* name = entry->d_name;
        if (IsDotName(name)) continue;
        if (!WantedByType(search->kind, entry->d_type)) continue;
        if (!search->matchesEveryName && !MatchesNamePattern(search->namePattern, name)) continue;
        if (search->detail == SearchDetail::Sizes && entry->d_type == DT_DIR) {
            // The folder's own record says what it is; nothing else is asked.
            out->attrib = FILE_ATTRIBUTE_DIRECTORY;
            out->size = 0;
        } else {
            // Entries left in the buffer of a parked search need the folder again.
            if (!EnsureOpen(search)) break;
            if (!StatEntry(search->fd, name, out, search->detail)) continue;  // vanished meanwhile
            if (!WantedByAttributes(search->kind, out->attrib)) continue;
        }
        if (CopyEntryName(entry, out)) return true;
    }
    search->finished = true;
    return false;
}

bool IsRootFolder(Search* search) {
    struct stat root;
    return KnowIdentity(search) && stat("/", &root) == 0 && search->device == root.st_dev &&
           search->inode == root.st_ino;
}

bool g_openat2Refused = false;  // the system (or its sandbox) lacks openat2

// Opens the subfolder `name` of `dirFd` and tells whether it is the root
// of a mount (bind mounts included), where alone a walk can meet a folder
// again below itself: without a mount, a chain of entries of one file system
// never comes back (folders have no hard links). When the system cannot
// tell, every subfolder counts as a mount root.
int OpenSubfolder(int dirFd, const char* name, const Search* keep, bool* mountRoot) {
    *mountRoot = true;
    while (!g_openat2Refused) {
        struct open_how how;
        std::memset(&how, 0, sizeof how);
        how.flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        how.resolve = RESOLVE_NO_XDEV;
        const long fd = syscall(SYS_openat2, dirFd, name, &how, sizeof how);
        if (fd >= 0) {
            *mountRoot = false;
            return int(fd);
        }
        if (errno == EXDEV) break;  // a mount: opened below as any folder
        if (errno == ENOSYS || errno == EPERM || errno == EINVAL || errno == E2BIG) {
            g_openat2Refused = true;
            break;
        }
        if ((errno != EMFILE && errno != ENFILE) || !FreeDescriptor(keep, nullptr)) return -1;
    }
    return OpenFolder(dirFd, name, keep, nullptr);
}

// True when `folder`, just opened in `parent`, is `parent` itself or one of
// the folders it was opened in: a bind mount or a mounted copy that leads
// back up would make a walk count the same files again, or never end. Only
// chains that crossed a mount are compared (see OpenSubfolder).
bool LeadsBackUp(Search* parent, Search* folder, bool mountRoot) {
    folder->crossedMount = parent->crossedMount || mountRoot;
    if (!folder->crossedMount || !KnowIdentity(folder)) return false;
    for (Search* s = parent; s != nullptr; s = s->parent) {
        if (KnowIdentity(s) && s->device == folder->device && s->inode == folder->inode) return true;
    }
    return false;
}

// Opens the folder of a new search: through the parent (its own folder
// again for "."), or by path when there is none.
int OpenFolderOf(Search* search, Search* parent, const char* dirName) {
    if (parent == nullptr) return OpenFolder(AT_FDCWD, dirName, nullptr, nullptr, search->followsLink);
    if (search->isParentItself) {
        search->crossedMount = parent->crossedMount;
        return OpenFolder(parent->fd, ".", parent, nullptr);
    }
    bool mountRoot = true;
    const int fd = OpenSubfolder(parent->fd, dirName, parent, &mountRoot);
    search->fd = fd;  // for reading its identity
    if (fd >= 0 && LeadsBackUp(parent, search, mountRoot)) {
        close(fd);
        return -1;
    }
    return fd;
}

// A new search on folder `dirName`: opened relative to the parent search's
// folder (or to the current folder), linked in with the open searches.
// Null when it cannot be read or leads back up.
Search* OpenSearchOnFolder(Search* parent, const char* dirName, bool followLink) {
    if (parent != nullptr && std::strlen(dirName) >= MAX_PATH) return nullptr;
    auto* search = new (std::nothrow) Search;
    if (search == nullptr) return nullptr;
    search->depth = parent != nullptr ? parent->depth + 1 : 0;
    search->buffer = &g_buffers[search->depth % kReadBufferCount];
    search->isParentItself = parent != nullptr && std::strcmp(dirName, ".") == 0;
    search->followsLink = followLink;
    int fd = TakeReusable(parent, dirName, search);
    if (fd < 0) fd = OpenFolderOf(search, parent, dirName);
    if (parent == nullptr && fd >= 0) {
        search->topFolder = strdup(dirName);
        if (search->topFolder == nullptr) {
            close(fd);
            fd = -1;
        }
    }
    if (fd < 0) {
        delete search;
        return nullptr;
    }
    search->fd = fd;
    search->serial = g_nextSerial++;
    search->parent = parent;
    if (parent != nullptr) {
        ++parent->openChildren;
        std::strcpy(search->folderName, dirName);
    }
    LinkOpen(search);
    return search;
}

// Opens folder `dirName` for a search with namePattern: relative to the
// parent search's folder, or to the current folder when there is none.
SearchHandle OpenFolderSearch(Search* parent, const char* dirName, const char* namePattern, SearchKind kind,
                              SearchDetail detail, FindData* out) {
    if (std::strlen(namePattern) >= MAX_PATH) return nullptr;
    Search* search = OpenSearchOnFolder(parent, dirName, false);
    if (search == nullptr) return nullptr;
    search->kind = kind;
    search->detail = detail;
    std::strcpy(search->namePattern, namePattern);
    search->matchesEveryName = MatchesEveryName(namePattern);
    if (kind == SearchKind::All && !IsRootFolder(search)) search->dotsPending = 2;
    if (!NextFromFolder(search, out)) {
        FindClose(search);
        return nullptr;
    }
    return search;
}

// A name without wildcards is looked up directly, as Windows does.
SearchHandle OpenSingleEntry(int dirFd, const char* dirName, const char* name, SearchKind kind, FindData* out) {
    if (std::strcmp(dirName, ".") != 0 || dirFd != AT_FDCWD) {
        int fd = openat(dirFd, dirName, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return nullptr;
        bool found = StatEntry(fd, name, out);
        close(fd);
        if (!found) return nullptr;
    } else if (!StatEntry(AT_FDCWD, name, out)) {
        return nullptr;
    }
    if (IsDotName(name)) out->attrib &= ~FILE_ATTRIBUTE_HIDDEN;
    if (!WantedByAttributes(kind, out->attrib) || !CopyName(name, out)) return nullptr;
    auto* search = new (std::nothrow) Search;
    if (search != nullptr) search->finished = true;
    return search;
}

SearchHandle OpenSearch(Search* parent, const char* dirName, const char* namePattern, SearchKind kind,
                        SearchDetail detail, FindData* out) {
    if (namePattern[0] == 0) return nullptr;  // a pattern that ends in a separator
    if (!HasWildcards(namePattern)) {
        const int dirFd = parent != nullptr ? parent->fd : AT_FDCWD;
        return OpenSingleEntry(dirFd, dirName, namePattern, kind, out);
    }
    return OpenFolderSearch(parent, dirName, namePattern, kind, detail, out);
}

}  // namespace

SearchHandle FindOpen(const char* pattern, SearchKind kind, FindData* out) {
    if (pattern == nullptr) return nullptr;
    const char* slash = std::strrchr(pattern, '/');
    if (slash == nullptr) return OpenSearch(nullptr, ".", pattern, kind, SearchDetail::Full, out);
    size_t folderLength = size_t(slash - pattern);
    if (folderLength >= kLongestPath) return nullptr;
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
    if (path == nullptr || std::strlen(path) >= kLongestPath) return nullptr;
    Search* search = OpenSearchOnFolder(nullptr, path[0] != 0 ? path : ".", true);
    if (search != nullptr) search->yieldsNothing = true;
    return search;
}

namespace {

// A name that FindOpenIn and FindOpenSummingFiles may open in parent.
bool CanOpenIn(SearchHandle parent, const char* name) {
    if (parent == nullptr || name == nullptr) return false;
    if (std::strchr(name, '/') != nullptr || std::strcmp(name, "..") == 0) return false;
    return EnsureOpen(parent);
}

// The lengths of the files of a search just opened, read to the folder's
// end with one statx of type and size per entry that is not a folder by
// its record. Then the search goes back to its first subfolder: in the
// buffer when one read held the whole folder, else by the folder's offset;
// a folder without subfolders is finished.
uint64_t SumFilesAndRewind(Search* search) {
    uint64_t total = 0;
    bool folderSeen = false;
    size_t folderPos = 0;        // in the buffer, when read in the first fill
    int64_t folderOffset = 0;    // in the folder
    int folderFill = 0;
    for (;;) {
        const int64_t offsetBefore = search->resumeOffset;
        const LinuxDirent64* entry = ReadEntry(search);
        if (entry == nullptr) break;
        const char* name = entry->d_name;
        if (name[0] == '.' && IsDotName(name)) continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (!isFolder) {
            struct statx sx;
            if (statx(search->fd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE | STATX_SIZE, &sx) != 0)
                continue;  // vanished meanwhile
            isFolder = S_ISDIR(sx.stx_mode);  // a file system that gives no types
            if (!isFolder) total += sx.stx_size;
        }
        if (isFolder && !folderSeen) {
            folderSeen = true;
            folderPos = search->buffer->pos - entry->d_reclen;
            folderOffset = offsetBefore;
            folderFill = search->fills;
        }
    }
    if (!folderSeen && search->atEnd) {
        search->finished = true;
    } else if (search->buffer->owner == search && search->fills == 1 && folderFill == 1 && search->atEnd) {
        search->buffer->pos = folderPos;
        search->resumeOffset = folderOffset;  // should the buffer be taken
    } else {
        ReleaseBuffer(search);
        search->readBefore = true;  // read again from there
        search->resumeOffset = folderOffset;
        search->atEnd = false;
    }
    return total;
}

}  // namespace

SearchHandle FindOpenIn(SearchHandle parent, const char* name, const char* namePattern, SearchKind kind,
                        FindData* out, SearchDetail detail) {
    if (namePattern == nullptr || !CanOpenIn(parent, name)) return nullptr;
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
    *fileBytes += SumFilesAndRewind(search);
    return search;
}

bool FindNext(SearchHandle search, FindData* out) {
    if (search == nullptr || search->finished || search->yieldsNothing || (search->fd < 0 && !search->parked))
        return false;
    return NextFromFolder(search, out);
}

namespace {

// Searches opened in a closing one lose their parent.
void Orphan(const Search* closing) {
    for (Search* s = g_oldestOpen; s != nullptr && closing->openChildren > 0; s = s->newer) {
        if (s->parent == closing) s->parent = nullptr;
    }
}

}  // namespace

void FindClose(SearchHandle search) {
    if (search == nullptr) return;
    if (g_reusable.parentSerial == search->serial) DropReusable();
    Search* parent = search->parent;
    if (parent != nullptr) {
        --parent->openChildren;
        // The walk comes back up here: the parked parent is this folder's "..".
        if (parent->parked && !parent->finished && search->fd >= 0)
            Unpark(parent, OpenFolder(search->fd, search->isParentItself ? "." : "..", search, parent));
    }
    if (search->openChildren > 0) Orphan(search);
    if (search->fd >= 0 || search->parked) UnlinkOpen(search);
    if (!KeepForReuse(search) && search->fd >= 0) close(search->fd);
    ReleaseBuffer(search);
    std::free(search->topFolder);
    delete search;
}

// ------------------------------------------------------------- program

bool GetProgramPath(char* buf, size_t size) {
    if (buf == nullptr || size == 0) return false;
    ssize_t length = readlink("/proc/self/exe", buf, size);
    if (length <= 0 || size_t(length) >= size) {
        buf[0] = 0;
        return false;
    }
    buf[length] = 0;
    return true;
}

// ------------------------------------------------------------- process

bool StartApplication(int argc, char** argv) {
    if (argc < 1 || argv == nullptr || argv[0] == nullptr || argv[0][0] == 0) return false;
    // A walk holds one open folder per level of depth; Windows sets no such
    // low limit on search handles, so take all the system allows.
    struct rlimit files;
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
    return true;
}

namespace {

// Only the terminal's foreground job may set its mode or read from it: a
// job in the background would be stopped by the system for trying.
bool IsForegroundOf(int terminal) {
    const pid_t foreground = tcgetpgrp(terminal);
    return foreground >= 0 && foreground == getpgrp();
}

}  // namespace

void WaitForKey() {
    // The console of a Windows program is its controlling terminal here,
    // whatever standard input is redirected to. In the background there
    // is no key to wait for, as without a terminal.
    int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return;
    struct termios saved;
    if (IsForegroundOf(fd) && tcgetattr(fd, &saved) == 0) {
        struct termios raw = saved;
        raw.c_lflag &= ~tcflag_t(ICANON | ECHO);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        // TCSANOW keeps a key typed ahead, as the Windows console does.
        if (tcsetattr(fd, TCSANOW, &raw) == 0) {
            char key;
            while (read(fd, &key, 1) < 0 && errno == EINTR) {
            }
            tcsetattr(fd, TCSANOW, &saved);
        }
    }
    close(fd);
}

void SleepMilliseconds(DWORD milliseconds) {
    struct timespec wait = {time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

// --------------------------------------------------------------- text

namespace {

// Windows-1252 bytes 0x80 to 0x9F. Windows maps its five unassigned bytes
// to the control characters of the same number, and back.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char ToCp1252(char16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return char(unit);
    for (int i = 0; i < 32; ++i) {
        if (kCp1252High[i] == unit) return char(0x80 + i);
    }
    return '?';
}

}  // namespace

int WideToAnsiCodePage(const WCHAR* text, char* out, int size) {
    if (text == nullptr || out == nullptr || size <= 0) return 0;
    int written = 0;
    for (const WCHAR* p = text;; ++p) {
        if (written >= size) return 0;
        if (*p == 0) {
            out[written++] = 0;
            return written;
        }
        // Unit by unit as Windows converts to a single-byte code page: a
        // surrogate pair gives two "?".
        out[written++] = ToCp1252(*p);
    }
}

// -------------------------------------------------------- network drives

namespace {

// Without drive letters there are no remembered mappings.
class NoMappings : public NetProvider {
public:
    long GetConnection(const char*, char* remote, DWORD*) override {
        if (remote != nullptr) remote[0] = 0;
        return 2250L;  // ERROR_NOT_CONNECTED
    }
    long AddConnection(const char*, const char*) override { return 2250L; }
    unsigned QueryDriveType(const char*) override { return DRIVE_NO_ROOT_DIR; }
};

NoMappings g_noMappings;
NetProvider* g_provider = &g_noMappings;

}  // namespace

NetProvider& GetNetProvider() { return *g_provider; }
void SetNetProvider(NetProvider* provider) { g_provider = provider != nullptr ? provider : &g_noMappings; }

}  // namespace plat

// ------------------------------------------------- Win32 time conversions

namespace {

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kTicksPerDay = kTicksPerSecond * 86400;
// Days from 1 January 1601 to 1 January 1970.
constexpr int64_t kDays1601To1970 = 134774;

// Days since 1 January 1970 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t* y, unsigned* m, unsigned* d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = int64_t(yoe) + era * 400 + (*m <= 2);
}

bool IsLeap(unsigned y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned DaysInMonth(unsigned y, unsigned m) {
    static const unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

int64_t TicksOf(const FILETIME* ft) {
    return int64_t((uint64_t(ft->dwHighDateTime) << 32) | ft->dwLowDateTime);
}

void SetTicks(FILETIME* ft, int64_t ticks) {
    ft->dwLowDateTime = DWORD(uint64_t(ticks) & 0xFFFFFFFFu);
    ft->dwHighDateTime = DWORD(uint64_t(ticks) >> 32);
}

// Offset of local time from UTC now, in seconds, as Windows applies it.
int64_t CurrentLocalBiasSeconds() {
    time_t now = time(nullptr);
    struct tm local;
    if (localtime_r(&now, &local) == nullptr) return 0;
    return local.tm_gmtoff;
}

}  // namespace

BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime) {
    if (fileTime == nullptr || systemTime == nullptr) return FALSE;
    const int64_t ticks = TicksOf(fileTime);
    if (ticks < 0) return FALSE;  // Windows refuses values with the top bit set
    const int64_t days = ticks / kTicksPerDay;
    const int64_t rest = ticks % kTicksPerDay;
    int64_t year;
    unsigned month, day;
    CivilFromDays(days - kDays1601To1970, &year, &month, &day);
    systemTime->wYear = WORD(year);
    systemTime->wMonth = WORD(month);
    systemTime->wDay = WORD(day);
    systemTime->wDayOfWeek = WORD((days + 1) % 7);  // 1 January 1601 was a Monday
    systemTime->wHour = WORD(rest / (3600 * kTicksPerSecond));
    systemTime->wMinute = WORD(rest / (60 * kTicksPerSecond) % 60);
    systemTime->wSecond = WORD(rest / kTicksPerSecond % 60);
    systemTime->wMilliseconds = WORD(rest / 10000 % 1000);
    return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, FILETIME* fileTime) {
    if (systemTime == nullptr || fileTime == nullptr) return FALSE;
    const SYSTEMTIME& st = *systemTime;
    if (st.wYear < 1601 || st.wYear > 30827 || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 ||
        st.wDay > DaysInMonth(st.wYear, st.wMonth) || st.wHour > 23 || st.wMinute > 59 || st.wSecond > 59 ||
        st.wMilliseconds > 999)
        return FALSE;
    const int64_t days = DaysFromCivil(st.wYear, st.wMonth, st.wDay) + kDays1601To1970;
    const int64_t seconds = days * 86400 + st.wHour * 3600 + st.wMinute * 60 + st.wSecond;
    SetTicks(fileTime, seconds * kTicksPerSecond + int64_t(st.wMilliseconds) * 10000);
    return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME* localFileTime, FILETIME* fileTime) {
    if (localFileTime == nullptr || fileTime == nullptr) return FALSE;
    const int64_t ticks = TicksOf(localFileTime) - CurrentLocalBiasSeconds() * kTicksPerSecond;
    if (ticks < 0) return FALSE;
    SetTicks(fileTime, ticks);
    return TRUE;
}
