// POSIX backend, the directory search (FindOpen and its kin): which entries
// a search yields with which details, and the open folders it reads with
// their descriptor budget. Needs Linux: getdents64 to read a folder,
// statx for an entry's details and openat2 to tell a mount root (with a
// plain openat where the system refuses it). Nothing but the search here.

#include "filelib/platform/backend.h"
#include "filelib/platform/name_match.h"
#include "filelib/platform/posix_backend.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

namespace plat {
namespace posix {

namespace {

bool g_openat2Refused = false;  // the system (or its sandbox) lacks openat2

}  // namespace

// ---------------------------------------------------------- open folder

OpenFolder::OpenFolder(DescriptorBudget& budget, ReadBuffer* buffer, int depth)
    : m_budget(budget), m_buffer(buffer), m_depth(depth) {
    m_name[0] = 0;
}

OpenFolder::~OpenFolder() {
    if (m_linked || m_fd >= 0) Close();
    std::free(m_path);
}

void OpenFolder::Attach(int fd, OpenFolder* parent, const char* name) {
    m_fd = fd;
    m_parent = parent;
    if (parent != nullptr) {
        ++parent->m_openChildren;
        std::strcpy(m_name, name);  // fits: names are checked against MAX_PATH first
    }
    m_budget.Link(this);
}

bool OpenFolder::OpenByPath(const char* path, bool followLink) {
    m_followsLink = followLink;
    m_path = strdup(path);
    if (m_path == nullptr) return false;
    const int fd = m_budget.OpenFolderAt(AT_FDCWD, path, followLink, nullptr, nullptr);
    if (fd < 0) return false;
    Attach(fd, nullptr, nullptr);
    return true;
}

bool OpenFolder::OpenIn(OpenFolder& parent, const char* name) {
    if (std::strlen(name) >= sizeof m_name) return false;
    m_itself = std::strcmp(name, ".") == 0;
    if (!parent.EnsureOpen()) return false;
    if (m_itself) {
        m_crossedMount = parent.m_crossedMount;
        const int fd = m_budget.OpenFolderAt(parent.m_fd, ".", false, &parent, nullptr);
        if (fd < 0) return false;
        Attach(fd, &parent, name);
        return true;
    }
    bool mountRoot = true;
    m_fd = m_budget.OpenSubfolder(parent.m_fd, name, &parent, &mountRoot);
    if (m_fd < 0) return false;
    m_parent = &parent;  // for the comparison with the folders above
    if (LeadsBackUp(mountRoot)) {
        m_budget.Close(m_fd);
        m_fd = -1;
        m_parent = nullptr;
        errno = 0;  // nothing failed: the folder is one of those above
        return false;
    }
    Attach(m_fd, &parent, name);
    return true;
}

// A bind mount or a mounted copy that leads back up would make a walk count
// the same files again, or never end. Without a mount, a chain of entries
// of one file system never comes back (folders have no hard links), so only
// chains that crossed a mount are compared.
bool OpenFolder::LeadsBackUp(bool mountRoot) {
    m_crossedMount = m_parent->m_crossedMount || mountRoot;
    if (!m_crossedMount || !KnowIdentity()) return false;
    for (OpenFolder* f = m_parent; f != nullptr; f = f->m_parent) {
        if (f->KnowIdentity() && f->m_device == m_device && f->m_inode == m_inode) return true;
    }
    return false;
}

bool OpenFolder::KnowIdentity() {
    if (m_identityKnown) return true;
    struct stat st;
    if (m_fd < 0 || fstat(m_fd, &st) != 0) return false;
    m_device = uint64_t(st.st_dev);
    m_inode = uint64_t(st.st_ino);
    m_identityKnown = true;
    return true;
}

bool OpenFolder::Identity(uint64_t* device, uint64_t* inode) {
    if (!KnowIdentity()) return false;
    *device = m_device;
    *inode = m_inode;
    return true;
}

void OpenFolder::ReleaseBuffer() {
    if (m_buffer->owner == this) m_buffer->owner = nullptr;
}

bool OpenFolder::Park() {
    if (!KnowIdentity()) return false;  // to check it when it comes back
    m_budget.Close(m_fd);
    m_fd = -1;
    m_parked = true;
    ++m_budget.m_parks;
    return true;
}

// Takes fd as the parked folder if it is the same folder; the next read
// starts again where it had got to.
bool OpenFolder::Unpark(int fd) {
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || uint64_t(st.st_dev) != m_device || uint64_t(st.st_ino) != m_inode) {
        if (fd >= 0) m_budget.Close(fd);
        m_finished = true;  // moved or gone meanwhile: its rest is skipped
        return false;
    }
    m_fd = fd;
    m_parked = false;
    ++m_budget.m_reopens;
    ReleaseBuffer();  // the descriptor's position is not the buffer's end
    return true;
}

bool OpenFolder::EnsureOpen() {
    if (!m_parked) return m_fd >= 0;
    if (m_finished) return false;
    int fd = -1;
    if (m_parent != nullptr) {
        if (m_parent->EnsureOpen()) fd = m_budget.OpenFolderAt(m_parent->m_fd, m_name, false, m_parent, this);
    } else if (m_path != nullptr) {
        fd = m_budget.OpenFolderAt(AT_FDCWD, m_path, m_followsLink, this, nullptr);
    }
    return Unpark(fd);
}

// The walk comes back up here: the parked parent is the child's "..".
void OpenFolder::ReopenThrough(const OpenFolder& child) {
    if (!m_parked || m_finished || child.m_fd < 0) return;
    Unpark(m_budget.OpenFolderAt(child.m_fd, child.m_itself ? "." : "..", false, &child, this));
}

void OpenFolder::OrphanChildren() {
    for (OpenFolder* f = m_budget.m_oldest; f != nullptr && m_openChildren > 0; f = f->m_newer) {
        if (f->m_parent == this) {
            f->m_parent = nullptr;
            --m_openChildren;
        }
    }
}

void OpenFolder::Close() {
    if (m_parent != nullptr) {
        --m_parent->m_openChildren;
        m_parent->ReopenThrough(*this);
    }
    if (m_openChildren > 0) OrphanChildren();
    if (m_linked) m_budget.Unlink(this);
    if (m_fd >= 0) m_budget.Close(m_fd);
    m_fd = -1;
    m_parent = nullptr;
    ReleaseBuffer();
}

const LinuxDirent64* OpenFolder::Refill() {
    ReadBuffer& buffer = *m_buffer;
    const bool resume = buffer.owner != this && m_readBefore;
    if (!resume && m_atEnd) return nullptr;
    if (!EnsureOpen()) return nullptr;
    if (resume && lseek(m_fd, m_resumeOffset, SEEK_SET) < 0) return nullptr;
    m_readBefore = true;
    const long got = syscall(SYS_getdents64, m_fd, buffer.data, kReadBufferSize);
    if (got <= 0) {
        m_atEnd = got == 0;
        if (buffer.owner != this) buffer.owner = nullptr;  // its entries were overwritten
        return nullptr;
    }
    buffer.owner = this;
    buffer.pos = 0;
    buffer.length = size_t(got);
    return ReadEntry();
}

// ----------------------------------------------------- descriptor budget

void DescriptorBudget::Counted(int fd) {
    if (fd < 0) return;
    if (++m_held > m_mostHeld) m_mostHeld = m_held;
}

void DescriptorBudget::Close(int fd) {
    if (fd < 0) return;
    close(fd);
    --m_held;
}

bool DescriptorBudget::FreeOne(const OpenFolder* keep1, const OpenFolder* keep2) {
    for (OpenFolder* f = m_oldest; f != nullptr; f = f->m_newer) {
        if (f != keep1 && f != keep2 && !f->m_parked && f->m_fd >= 0 && f->Park()) return true;
    }
    return false;
}

int DescriptorBudget::OpenFolderAt(int dirFd, const char* name, bool followLink, const OpenFolder* keep1,
                                   const OpenFolder* keep2) {
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    for (;;) {
        if (AtLimit() && !FreeOne(keep1, keep2)) {
            errno = EMFILE;
            return -1;
        }
        const int fd = openat(dirFd, name, flags);
        if (fd >= 0) {
            Counted(fd);
            return fd;
        }
        if ((errno != EMFILE && errno != ENFILE) || !FreeOne(keep1, keep2)) return -1;
    }
}

// Tries openat2 with RESOLVE_NO_XDEV first: it refuses a mount root with
// EXDEV, which tells a mount root from a plain subfolder without a stat.
int DescriptorBudget::OpenSubfolder(int dirFd, const char* name, const OpenFolder* keep, bool* mountRoot) {
    *mountRoot = true;
    while (!g_openat2Refused) {
        if (AtLimit() && !FreeOne(keep, nullptr)) {
            errno = EMFILE;
            return -1;
        }
        struct open_how how;
        std::memset(&how, 0, sizeof how);
        how.flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        how.resolve = RESOLVE_NO_XDEV;
        const long fd = syscall(SYS_openat2, dirFd, name, &how, sizeof how);
        if (fd >= 0) {
            *mountRoot = false;
            Counted(int(fd));
            return int(fd);
        }
        if (errno == EXDEV) break;  // a mount: opened below as any folder
        if (errno == ENOSYS || errno == EPERM || errno == EINVAL || errno == E2BIG) {
            g_openat2Refused = true;
            break;
        }
        if ((errno != EMFILE && errno != ENFILE) || !FreeOne(keep, nullptr)) return -1;
    }
    return OpenFolderAt(dirFd, name, false, keep, nullptr);
}

void DescriptorBudget::Link(OpenFolder* folder) {
    folder->m_older = m_newest;
    if (m_newest != nullptr) m_newest->m_newer = folder;
    m_newest = folder;
    if (m_oldest == nullptr) m_oldest = folder;
    folder->m_linked = true;
}

void DescriptorBudget::Unlink(OpenFolder* folder) {
    if (folder->m_older != nullptr) folder->m_older->m_newer = folder->m_newer;
    if (folder->m_newer != nullptr) folder->m_newer->m_older = folder->m_older;
    if (m_oldest == folder) m_oldest = folder->m_newer;
    if (m_newest == folder) m_newest = folder->m_older;
    folder->m_older = folder->m_newer = nullptr;
    folder->m_linked = false;
}

// ------------------------------------------------------- process state

DescriptorBudget& SearchBudget() {
    static DescriptorBudget budget;
    return budget;
}

ReadBufferPool& SearchBuffers() {
    static ReadBufferPool pool;
    return pool;
}

}  // namespace posix

// ------------------------------------------------------- the search

struct Search {
    explicit Search(int depth)
        : folder(posix::SearchBudget(), posix::SearchBuffers().ForDepth(depth), depth) {
        namePattern[0] = 0;  // read only up to its terminator
    }

    posix::OpenFolder folder;  // never opened for a single-entry lookup
    SearchKind kind = SearchKind::All;
    bool matchesEveryName = false;  // "*.*" or "*": no name needs matching
    int dotsPending = 0;            // "." and ".." still to yield
    bool yieldsNothing = false;     // only the open folder, for searches in it
    Error end = Error::NotFound;    // why it found nothing more, once it did
    char namePattern[MAX_PATH];
};

namespace {

using posix::LinuxDirent64;

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
bool FillEntry(int dirFd, const char* name, FindData* out) {
    struct statx sx;
    if (!posix::StatEntry(dirFd, name, &sx)) return false;
    const posix::EntryStamps stamps = posix::StampsOf(sx);
    out->attrib = posix::AttributesOf(sx.stx_mode, name);
    out->size = S_ISDIR(sx.stx_mode) ? 0 : sx.stx_size;
    out->tWrite = stamps.write.tv_sec;
    out->tAccess = stamps.access.tv_sec;
    out->tCreate = stamps.create.tv_sec;
    return true;
}

bool CopyName(const char* name, FindData* out) {
    size_t length = std::strlen(name);
    if (length >= sizeof out->name) return false;
    std::memcpy(out->name, name, length + 1);
    return true;
}

// A record without a type is asked about later, by its attributes.
bool WantedByType(SearchKind kind, unsigned char type) {
    return type == DT_UNKNOWN || KindWants(kind, type == DT_DIR);
}

bool WantedByAttributes(SearchKind kind, uint32_t attrib) {
    return KindWants(kind, (attrib & FILE_ATTRIBUTE_DIRECTORY) != 0);
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
        !FillEntry(search->folder.fd(), name, out))
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
        // Entries left in the buffer of a parked folder need the folder again.
        if (!folder.EnsureOpen()) break;
        if (!FillEntry(folder.fd(), name, out)) continue;  // vanished meanwhile
        if (!WantedByAttributes(search->kind, out->attrib)) continue;
        if (CopyEntryName(entry, out)) return true;
    }
    // A read that failed, or a folder lost while parked, is no end.
    search->end = folder.ReachedEnd() ? Error::NotFound : Error::Other;
    SetSearchError(search->end);
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
                              FindData* out) {
    if (std::strlen(namePattern) >= MAX_PATH) return NothingFound(Error::NameTooLong);
    Search* search = OpenSearchOnFolder(parent, dirName, false);
    if (search == nullptr) return nullptr;
    search->kind = kind;
    std::strcpy(search->namePattern, namePattern);
    search->matchesEveryName = MatchesEveryName(namePattern);
    if (kind == SearchKind::All && !IsRootFolder(search->folder)) search->dotsPending = 2;
    if (!NextFromFolder(search, out)) {
        const Error why = LastSearchError();
        FindClose(search);
        return NothingFound(why);
    }
    SetSearchError(Error::None);
    return search;
}

// A name without wildcards is looked up directly, as Windows does.
SearchHandle OpenSingleEntry(int dirFd, const char* dirName, const char* name, SearchKind kind, FindData* out) {
    if (std::strcmp(dirName, ".") != 0 || dirFd != AT_FDCWD) {
        int fd = openat(dirFd, dirName, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return NothingFound(ErrorFromSystemCode(errno));
        const bool found = FillEntry(fd, name, out);
        const int code = errno;
        close(fd);
        if (!found) return NothingFound(ErrorFromSystemCode(code));
    } else if (!FillEntry(AT_FDCWD, name, out)) {
        return NothingFound(ErrorFromSystemCode(errno));
    }
    if (IsDotName(name)) out->attrib &= ~FILE_ATTRIBUTE_HIDDEN;
    if (!WantedByAttributes(kind, out->attrib)) return NothingFound(Error::NotFound);
    if (!CopyName(name, out)) return NothingFound(Error::NameTooLong);
    auto* search = new (std::nothrow) Search(0);
    if (search == nullptr) return NothingFound(Error::Other);
    search->folder.Finish();
    SetSearchError(Error::None);
    return search;
}

SearchHandle OpenSearch(Search* parent, const char* dirName, const char* namePattern, SearchKind kind,
                        FindData* out) {
    if (namePattern[0] == 0) return NothingFound(Error::NotFound);  // a pattern that ends in a separator
    if (!HoldsWildcard(namePattern)) {
        const int dirFd = parent != nullptr ? parent->folder.fd() : AT_FDCWD;
        return OpenSingleEntry(dirFd, dirName, namePattern, kind, out);
    }
    return OpenFolderSearch(parent, dirName, namePattern, kind, out);
}

}  // namespace

SearchHandle FindOpen(const char* pattern, SearchKind kind, FindData* out) {
    if (pattern == nullptr) return NothingFound(Error::NotFound);
    const char* slash = std::strrchr(pattern, '/');
    if (slash == nullptr) return OpenSearch(nullptr, ".", pattern, kind, out);
    size_t folderLength = size_t(slash - pattern);
    if (folderLength >= kLongestPath) return NothingFound(Error::NameTooLong);
    char folder[kLongestPath];
    if (folderLength == 0) {
        std::strcpy(folder, "/");
    } else {
        std::memcpy(folder, pattern, folderLength);
        folder[folderLength] = 0;
    }
    return OpenSearch(nullptr, folder, slash + 1, kind, out);
}

SearchHandle FindOpenFolder(const char* path) {
    if (path == nullptr) return NothingFound(Error::NotFound);
    if (std::strlen(path) >= kLongestPath) return NothingFound(Error::NameTooLong);
    Search* search = OpenSearchOnFolder(nullptr, path[0] != 0 ? path : ".", true);
    if (search == nullptr) return nullptr;
    search->yieldsNothing = true;
    SetSearchError(Error::None);
    return search;
}

namespace {

// A name that FindOpenIn may open in parent.
bool CanOpenIn(SearchHandle parent, const char* name) {
    if (parent == nullptr || name == nullptr) return false;
    if (std::strchr(name, '/') != nullptr || std::strcmp(name, "..") == 0) return false;
    return parent->folder.EnsureOpen();
}

}  // namespace

SearchHandle FindOpenIn(SearchHandle parent, const char* name, const char* namePattern, SearchKind kind,
                        FindData* out) {
    if (namePattern == nullptr || !CanOpenIn(parent, name)) return NothingFound(Error::NotFound);
    return OpenSearch(parent, name, namePattern, kind, out);
}

bool FindNext(SearchHandle search, FindData* out) {
    if (search == nullptr || search->folder.finished() || search->yieldsNothing ||
        (!search->folder.IsOpen() && !search->folder.IsParked())) {
        SetSearchError(search != nullptr ? search->end : Error::NotFound);
        return false;
    }
    return NextFromFolder(search, out);
}

void FindClose(SearchHandle search) {
    if (search == nullptr) return;
    search->folder.Close();
    delete search;
}

}  // namespace plat
