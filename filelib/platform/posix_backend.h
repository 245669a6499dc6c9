// POSIX backend files only, never above this folder nor on Windows: what
// they share. Windows attributes from a mode, an entry's type and length,
// its time stamps as FILETIME; and the state behind the directory search:
// a search reads one folder opened by its path, and the folders open at
// once share a descriptor budget, which parks the oldest of them when
// descriptors run out. Not installed; the tests use the search's classes
// directly.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <ctime>

#include "filelib/platform/platform.h"

namespace plat {
namespace posix {

// ------------------------------------------------------- entries

// DIRECTORY for folders, READONLY without owner write permission, HIDDEN
// for a name that begins with '.' (but not "." or ".."), NORMAL alone.
uint32_t AttributesOf(unsigned mode, const char* name);

// The type and the whole length of `name` inside folder `dirFd` (a link
// itself, never what it leads to), and nothing else asked of the file
// system; false when it is gone. Folders have the length 0.
bool StatTypeAndSize(int dirFd, const char* name, bool* isFolder, uint64_t* size);

// Type, mode, size and the three times of `name` inside folder `dirFd` (a
// link itself), with statx; false (errno set) when it cannot be read.
bool StatEntry(int dirFd, const char* name, struct statx* sx);

// ------------------------------------------------------- time stamps

// The three time stamps of a statx record as FILETIME (100-ns ticks since
// 1601; a time before 1601 gives 0), as Windows names them: the birth time
// is the creation time where the file system keeps one, else the write
// time stands in for it.
FileTimes FileTimesOf(const struct statx& sx);
// A null FILETIME gives UTIME_OMIT: that stamp is left as it is.
struct timespec ToTimespec(const FILETIME* ft);

// ------------------------------------------------------- the search

// One record of getdents64.
struct LinuxDirent64 {
    uint64_t d_ino;
    int64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1];
};

constexpr size_t kReadBufferSize = 32 * 1024;

// Entries of one folder as the system handed them out. A buffer may serve
// several folders in turn; `owner` says whose entries it holds. A folder
// that finds its buffer taken by another reads its own entries again from
// the position it had reached.
struct ReadBuffer {
    alignas(8) char data[kReadBufferSize];
    const void* owner = nullptr;
    size_t pos = 0;
    size_t length = 0;
};

class DescriptorBudget;

// One folder open for reading by its path: its descriptor (or none while
// parked), its identity and how far it has been read.
class OpenFolder {
public:
    OpenFolder(DescriptorBudget& budget, ReadBuffer* buffer);
    ~OpenFolder();
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;

    // The folder `path` relative to the current folder; a link named as
    // the path is followed when followLink says so. The path is kept for
    // reopening.
    bool OpenByPath(const char* path, bool followLink);
    // Ends the folder's use.
    void Close();

    // Next raw entry, "." and ".." included; null at the end, on a read
    // error, or when the folder could not be reopened.
    const LinuxDirent64* ReadEntry() {
        ReadBuffer& buffer = *m_buffer;
        if (buffer.owner != this || buffer.pos >= buffer.length) return Refill();
        auto* entry = reinterpret_cast<const LinuxDirent64*>(buffer.data + buffer.pos);
        buffer.pos += entry->d_reclen;
        m_resumeOffset = entry->d_off;
        return entry;
    }

    // The last read found the folder's end (a read error does not).
    bool ReachedEnd() const { return m_atEnd; }

    // The descriptor, reopening a parked folder first; false when it cannot
    // be had (the folder is then finished).
    bool EnsureOpen();
    int fd() const { return m_fd; }
    bool IsOpen() const { return m_fd >= 0; }
    bool IsParked() const { return m_parked; }
    // Nothing more is to be read: its search ended, or it was lost.
    bool finished() const { return m_finished; }
    void Finish() { m_finished = true; }

    // Device and inode, read from the system the first time they are asked.
    bool Identity(uint64_t* device, uint64_t* inode);

private:
    friend class DescriptorBudget;

    const LinuxDirent64* Refill();
    bool KnowIdentity();
    bool Park();
    bool Unpark(int fd);
    void ReleaseBuffer();

    DescriptorBudget& m_budget;
    ReadBuffer* m_buffer;
    int m_fd = -1;
    bool m_linked = false;           // in the budget's list of open folders
    bool m_parked = false;           // descriptor given up for want of descriptors
    bool m_finished = false;
    bool m_followsLink = false;      // the path's last part may be a link to follow
    bool m_identityKnown = false;
    uint64_t m_device = 0;
    uint64_t m_inode = 0;
    int64_t m_resumeOffset = 0;      // folder position after the last entry taken
    bool m_readBefore = false;       // false: the folder is still at its start
    bool m_atEnd = false;            // the folder has nothing beyond the buffer
    OpenFolder* m_older = nullptr;   // the budget's open folders, oldest first
    OpenFolder* m_newer = nullptr;
    char* m_path = nullptr;          // for reopening
};

// The descriptors the open folders hold. A walk holds one open folder per
// level; when the system has no descriptor left, or the budget's own limit
// is reached, the oldest open folders (the shallowest levels) are parked. A
// parked folder opens again by its path when it is needed, and only if it
// is still the same folder.
class DescriptorBudget {
public:
    DescriptorBudget() = default;
    DescriptorBudget(const DescriptorBudget&) = delete;
    DescriptorBudget& operator=(const DescriptorBudget&) = delete;

    // At most `limit` descriptors at once; 0: as many as the system gives.
    void SetLimit(int limit) { m_limit = limit; }
    int limit() const { return m_limit; }
    int held() const { return m_held; }
    int mostHeld() const { return m_mostHeld; }
    long parks() const { return m_parks; }
    long reopens() const { return m_reopens; }

    // open of a folder by its path, making room when no descriptor is
    // left; the folder `keep` is not parked for it. -1 with errno set when
    // no room can be made.
    int OpenFolderAt(const char* path, bool followLink, const OpenFolder* keep);
    void Close(int fd);

private:
    friend class OpenFolder;

    bool AtLimit() const { return m_limit > 0 && m_held >= m_limit; }
    void Counted(int fd);
    bool FreeOne(const OpenFolder* keep);
    void Link(OpenFolder* folder);
    void Unlink(OpenFolder* folder);

    int m_limit = 0;
    int m_held = 0;
    int m_mostHeld = 0;
    long m_parks = 0;
    long m_reopens = 0;
    OpenFolder* m_oldest = nullptr;
    OpenFolder* m_newest = nullptr;
};

// The process's search state, behind plat::FindOpen: the budget and the
// one buffer its searches share.
DescriptorBudget& SearchBudget();
ReadBuffer& SearchBuffer();

}  // namespace posix
}  // namespace plat
