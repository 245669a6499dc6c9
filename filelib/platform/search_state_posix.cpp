// POSIX backend: the open folders of the directory search, their descriptor
// budget and the folder-reuse slot (posix_search.h); no matching of names
// and no entry details live here.

#include "filelib/platform/posix_search.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace plat {
namespace posix {

namespace {

uint64_t g_nextSerial = 1;
bool g_openat2Refused = false;  // the system (or its sandbox) lacks openat2

}  // namespace

// ---------------------------------------------------------- open folder

OpenFolder::OpenFolder(DescriptorBudget& budget, ReadBuffer* buffer, int depth)
    : budget_(budget), buffer_(buffer), depth_(depth) {
    name_[0] = 0;
}

OpenFolder::~OpenFolder() {
    if (linked_ || fd_ >= 0) Close();
    std::free(path_);
}

void OpenFolder::Attach(int fd, OpenFolder* parent, const char* name) {
    fd_ = fd;
    serial_ = g_nextSerial++;
    parent_ = parent;
    if (parent != nullptr) {
        ++parent->openChildren_;
        std::strcpy(name_, name);  // fits: names are checked against MAX_PATH first
    }
    budget_.Link(this);
}

bool OpenFolder::OpenByPath(const char* path, bool followLink) {
    followsLink_ = followLink;
    path_ = strdup(path);
    if (path_ == nullptr) return false;
    const int fd = budget_.OpenFolderAt(AT_FDCWD, path, followLink, nullptr, nullptr);
    if (fd < 0) return false;
    Attach(fd, nullptr, nullptr);
    return true;
}

bool OpenFolder::OpenIn(OpenFolder& parent, const char* name) {
    if (std::strlen(name) >= sizeof name_) return false;
    itself_ = std::strcmp(name, ".") == 0;
    if (parent.budget_.reuse().Take(parent, name, *this)) return true;
    if (!parent.EnsureOpen()) return false;
    if (itself_) {
        crossedMount_ = parent.crossedMount_;
        const int fd = budget_.OpenFolderAt(parent.fd_, ".", false, &parent, nullptr);
        if (fd < 0) return false;
        Attach(fd, &parent, name);
        return true;
    }
    bool mountRoot = true;
    fd_ = budget_.OpenSubfolder(parent.fd_, name, &parent, &mountRoot);
    if (fd_ < 0) return false;
    parent_ = &parent;  // for the comparison with the folders above
    if (LeadsBackUp(mountRoot)) {
        budget_.Close(fd_);
        fd_ = -1;
        parent_ = nullptr;
        errno = 0;  // nothing failed: the folder is one of those above
        return false;
    }
    Attach(fd_, &parent, name);
    return true;
}

// A bind mount or a mounted copy that leads back up would make a walk count
// the same files again, or never end. Without a mount, a chain of entries
// of one file system never comes back (folders have no hard links), so only
// chains that crossed a mount are compared.
bool OpenFolder::LeadsBackUp(bool mountRoot) {
    crossedMount_ = parent_->crossedMount_ || mountRoot;
    if (!crossedMount_ || !KnowIdentity()) return false;
    for (OpenFolder* f = parent_; f != nullptr; f = f->parent_) {
        if (f->KnowIdentity() && f->device_ == device_ && f->inode_ == inode_) return true;
    }
    return false;
}

bool OpenFolder::KnowIdentity() {
    if (identityKnown_) return true;
    struct stat st;
    if (fd_ < 0 || fstat(fd_, &st) != 0) return false;
    device_ = uint64_t(st.st_dev);
    inode_ = uint64_t(st.st_ino);
    identityKnown_ = true;
    return true;
}

bool OpenFolder::Identity(uint64_t* device, uint64_t* inode) {
    if (!KnowIdentity()) return false;
    *device = device_;
    *inode = inode_;
    return true;
}

void OpenFolder::ReleaseBuffer() {
    if (buffer_->owner == this) buffer_->owner = nullptr;
}

bool OpenFolder::Park() {
    if (!KnowIdentity()) return false;  // to check it when it comes back
    budget_.Close(fd_);
    fd_ = -1;
    parked_ = true;
    ++budget_.parks_;
    return true;
}

// Takes fd as the parked folder if it is the same folder; the next read
// starts again where it had got to.
bool OpenFolder::Unpark(int fd) {
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || uint64_t(st.st_dev) != device_ || uint64_t(st.st_ino) != inode_) {
        if (fd >= 0) budget_.Close(fd);
        finished_ = true;  // moved or gone meanwhile: its rest is skipped
        return false;
    }
    fd_ = fd;
    parked_ = false;
    ++budget_.reopens_;
    ReleaseBuffer();  // the descriptor's position is not the buffer's end
    return true;
}

bool OpenFolder::EnsureOpen() {
    if (!parked_) return fd_ >= 0;
    if (finished_) return false;
    int fd = -1;
    if (parent_ != nullptr) {
        if (parent_->EnsureOpen()) fd = budget_.OpenFolderAt(parent_->fd_, name_, false, parent_, this);
    } else if (path_ != nullptr) {
        fd = budget_.OpenFolderAt(AT_FDCWD, path_, followsLink_, this, nullptr);
    }
    return Unpark(fd);
}

// The walk comes back up here: the parked parent is the child's "..".
void OpenFolder::ReopenThrough(const OpenFolder& child) {
    if (!parked_ || finished_ || child.fd_ < 0) return;
    Unpark(budget_.OpenFolderAt(child.fd_, child.itself_ ? "." : "..", false, &child, this));
}

void OpenFolder::OrphanChildren() {
    for (OpenFolder* f = budget_.oldest_; f != nullptr && openChildren_ > 0; f = f->newer_) {
        if (f->parent_ == this) {
            f->parent_ = nullptr;
            --openChildren_;
        }
    }
}

void OpenFolder::Close() {
    FolderReuseSlot& reuse = budget_.reuse();
    if (reuse.HoldsChildOf(*this)) reuse.Drop();
    if (parent_ != nullptr) {
        --parent_->openChildren_;
        parent_->ReopenThrough(*this);
    }
    if (openChildren_ > 0) OrphanChildren();
    if (linked_) budget_.Unlink(this);
    if (!reuse.Keep(*this) && fd_ >= 0) budget_.Close(fd_);
    fd_ = -1;
    parent_ = nullptr;
    ReleaseBuffer();
}

const LinuxDirent64* OpenFolder::Refill() {
    ReadBuffer& buffer = *buffer_;
    const bool resume = buffer.owner != this && readBefore_;
    if (!resume && atEnd_) return nullptr;
    if (!EnsureOpen()) return nullptr;
    if (resume && lseek(fd_, resumeOffset_, SEEK_SET) < 0) return nullptr;
    readBefore_ = true;
    const long got = syscall(SYS_getdents64, fd_, buffer.data, kReadBufferSize);
    if (got <= 0) {
        atEnd_ = got == 0;
        if (buffer.owner != this) buffer.owner = nullptr;  // its entries were overwritten
        return nullptr;
    }
    buffer.owner = this;
    buffer.pos = 0;
    buffer.length = size_t(got);
    ++fills_;
    return ReadEntry();
}

void OpenFolder::ReadAgainFrom(const ReadMark& mark) {
    if (BufferHoldsWholeFolder() && mark.fill == 1) {
        buffer_->pos = mark.bufferPos;
        resumeOffset_ = mark.offset;  // should the buffer be taken meanwhile
        return;
    }
    ReleaseBuffer();
    readBefore_ = true;
    resumeOffset_ = mark.offset;
    atEnd_ = false;
}

// ----------------------------------------------------- folder reuse slot

bool FolderReuseSlot::Keep(OpenFolder& closing) {
    if (closing.fd_ < 0 || closing.parent_ == nullptr) return false;
    Drop();
    fd_ = closing.fd_;
    closing.fd_ = -1;
    identityKnown_ = closing.identityKnown_;
    device_ = closing.device_;
    inode_ = closing.inode_;
    crossedMount_ = closing.crossedMount_;
    parentSerial_ = closing.parent_->serial_;
    std::strcpy(name_, closing.name_);
    if (closing.BufferHoldsWholeFolder()) {
        bufferHoldingAll_ = closing.buffer_;
        bufferHoldingAll_->owner = this;
    }
    return true;
}

bool FolderReuseSlot::Take(OpenFolder& parent, const char* name, OpenFolder& into) {
    if (fd_ < 0 || parentSerial_ != parent.serial_ || std::strcmp(name_, name) != 0) return false;
    ReadBuffer* kept = bufferHoldingAll_;
    const bool entriesKept = kept == into.buffer_ && kept->owner == this;
    if (!entriesKept && lseek(fd_, 0, SEEK_SET) < 0) return false;  // left for Drop
    if (entriesKept) {
        kept->owner = &into;
        kept->pos = 0;
        into.readBefore_ = true;
        into.atEnd_ = true;
        into.fills_ = 1;
    }
    into.identityKnown_ = identityKnown_;
    into.device_ = device_;
    into.inode_ = inode_;
    into.crossedMount_ = crossedMount_;
    const int fd = fd_;
    fd_ = -1;
    Drop();
    into.Attach(fd, &parent, name);
    return true;
}

void FolderReuseSlot::Drop() {
    if (fd_ >= 0) budget_.Close(fd_);
    if (bufferHoldingAll_ != nullptr && bufferHoldingAll_->owner == this) bufferHoldingAll_->owner = nullptr;
    fd_ = -1;
    identityKnown_ = false;
    crossedMount_ = false;
    parentSerial_ = 0;
    name_[0] = 0;  // the name is only read up to its terminator
    bufferHoldingAll_ = nullptr;
}

// ----------------------------------------------------- descriptor budget

void DescriptorBudget::Counted(int fd) {
    if (fd < 0) return;
    if (++held_ > mostHeld_) mostHeld_ = held_;
}

void DescriptorBudget::Close(int fd) {
    if (fd < 0) return;
    close(fd);
    --held_;
}

bool DescriptorBudget::FreeOne(const OpenFolder* keep1, const OpenFolder* keep2) {
    if (reuse_.Has()) {
        reuse_.Drop();
        return true;
    }
    for (OpenFolder* f = oldest_; f != nullptr; f = f->newer_) {
        if (f != keep1 && f != keep2 && !f->parked_ && f->fd_ >= 0 && f->Park()) return true;
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
    folder->older_ = newest_;
    if (newest_ != nullptr) newest_->newer_ = folder;
    newest_ = folder;
    if (oldest_ == nullptr) oldest_ = folder;
    folder->linked_ = true;
}

void DescriptorBudget::Unlink(OpenFolder* folder) {
    if (folder->older_ != nullptr) folder->older_->newer_ = folder->newer_;
    if (folder->newer_ != nullptr) folder->newer_->older_ = folder->older_;
    if (oldest_ == folder) oldest_ = folder->newer_;
    if (newest_ == folder) newest_ = folder->older_;
    folder->older_ = folder->newer_ = nullptr;
    folder->linked_ = false;
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
}  // namespace plat
