// POSIX backend, the directory search (FindOpen, FindNext, FindClose) and
// nothing else: which entries a search yields with which details, and the
// open folders it reads with their descriptor budget. Needs Linux:
// getdents64 to read a folder, statx for an entry's details.

#include "filelib/platform/backend.h"
#include "filelib/platform/name_match.h"
#include "filelib/platform/posix_backend.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

namespace plat {
namespace posix {

// ---------------------------------------------------------- open folder

OpenFolder::OpenFolder(DescriptorBudget& budget, ReadBuffer* buffer) : m_budget(budget), m_buffer(buffer) {}

OpenFolder::~OpenFolder() {
    if (m_linked || m_fd >= 0) Close();
    std::free(m_path);
}

bool OpenFolder::OpenByPath(const char* path, bool followLink) {
    m_followsLink = followLink;
    m_path = strdup(path);
    if (m_path == nullptr) return false;
    m_fd = m_budget.OpenFolderAt(path, followLink, nullptr);
    if (m_fd < 0) return false;
    m_budget.Link(this);
    return true;
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
    return Unpark(m_path != nullptr ? m_budget.OpenFolderAt(m_path, m_followsLink, this) : -1);
}

void OpenFolder::Close() {
    if (m_linked) m_budget.Unlink(this);
    if (m_fd >= 0) m_budget.Close(m_fd);
    m_fd = -1;
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

bool DescriptorBudget::FreeOne(const OpenFolder* keep) {
    for (OpenFolder* f = m_oldest; f != nullptr; f = f->m_newer) {
        if (f != keep && !f->m_parked && f->m_fd >= 0 && f->Park()) return true;
    }
    return false;
}

int DescriptorBudget::OpenFolderAt(const char* path, bool followLink, const OpenFolder* keep) {
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    for (;;) {
        if (AtLimit() && !FreeOne(keep)) {
            errno = EMFILE;
            return -1;
        }
        const int fd = open(path, flags);
        if (fd >= 0) {
            Counted(fd);
            return fd;
        }
        if ((errno != EMFILE && errno != ENFILE) || !FreeOne(keep)) return -1;
    }
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

ReadBuffer& SearchBuffer() {
    static ReadBuffer buffer;
    return buffer;
}

}  // namespace posix

// ------------------------------------------------------- the search

struct Search {
    Search() : folder(posix::SearchBudget(), &posix::SearchBuffer()) {
        namePattern[0] = 0;  // read only up to its terminator
    }

    posix::OpenFolder folder;  // never opened for a single-entry lookup
    SearchKind kind = SearchKind::All;
    bool matchesEveryName = false;  // "*.*" or "*": no name needs matching
    int dotsPending = 0;            // "." and ".." still to yield
    Error end = Error::NotFound;    // why it found nothing more, once it did
    char namePattern[MAX_PATH];
};

namespace {

using posix::LinuxDirent64;

// Why opening the folder `path` failed with `code`: a link where a folder
// is expected is no folder, so nothing is there, as a file there would be;
// a chain of links that never ends cannot be looked at.
Error FolderError(int code, const char* path) {
    if (code == ELOOP) {
        struct stat st;
        if (lstat(path, &st) == 0 && S_ISLNK(st.st_mode)) return Error::NotFound;
    }
    return ErrorFromSystemCode(code);
}

// Fills the details of `name` inside folder `dirFd`; false when it is gone.
bool FillEntry(int dirFd, const char* name, FindData* out) {
    struct statx sx;
    if (!posix::StatEntry(dirFd, name, &sx)) return false;
    out->attrib = posix::AttributesOf(sx.stx_mode, name);
    out->size = S_ISDIR(sx.stx_mode) ? 0 : sx.stx_size;
    out->tWrite = sx.stx_mtime.tv_sec;
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

// A new search on the folder `dirName`, linked in with the open folders.
// Null when it cannot be read.
Search* OpenSearchOnFolder(const char* dirName) {
    auto* search = new (std::nothrow) Search;
    if (search == nullptr) return NothingFound(Error::Other);
    if (!search->folder.OpenByPath(dirName, false)) {
        const int code = errno;
        delete search;
        return NothingFound(FolderError(code, dirName));
    }
    return search;
}

// Opens the folder `dirName` for a search with namePattern.
SearchHandle OpenFolderSearch(const char* dirName, const char* namePattern, SearchKind kind, FindData* out) {
    if (std::strlen(namePattern) >= MAX_PATH) return NothingFound(Error::NameTooLong);
    Search* search = OpenSearchOnFolder(dirName);
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
SearchHandle OpenSingleEntry(const char* dirName, const char* name, SearchKind kind, FindData* out) {
    if (std::strcmp(dirName, ".") != 0) {
        int fd = open(dirName, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
    auto* search = new (std::nothrow) Search;
    if (search == nullptr) return NothingFound(Error::Other);
    search->folder.Finish();
    SetSearchError(Error::None);
    return search;
}

SearchHandle OpenSearch(const char* dirName, const char* namePattern, SearchKind kind, FindData* out) {
    if (namePattern[0] == 0) return NothingFound(Error::NotFound);  // a pattern that ends in a separator
    if (!HoldsWildcard(namePattern)) return OpenSingleEntry(dirName, namePattern, kind, out);
    return OpenFolderSearch(dirName, namePattern, kind, out);
}

}  // namespace

SearchHandle FindOpen(const char* pattern, SearchKind kind, FindData* out) {
    if (pattern == nullptr) return NothingFound(Error::NotFound);
    const char* slash = std::strrchr(pattern, '/');
    if (slash == nullptr) return OpenSearch(".", pattern, kind, out);
    size_t folderLength = size_t(slash - pattern);
    if (folderLength >= kLongestPath) return NothingFound(Error::NameTooLong);
    char folder[kLongestPath];
    if (folderLength == 0) {
        std::strcpy(folder, "/");
    } else {
        std::memcpy(folder, pattern, folderLength);
        folder[folderLength] = 0;
    }
    return OpenSearch(folder, slash + 1, kind, out);
}

bool FindNext(SearchHandle search, FindData* out) {
    if (search == nullptr || search->folder.finished() ||
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
