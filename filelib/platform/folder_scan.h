// The size walk's folder scan: open a folder, read it once for the whole
// lengths of its files and the names of its subfolders, close it. Made for
// a walk that reads many folders at once from several threads: nothing
// here keeps state outside the ScanFolder objects (no shared buffers, no
// shared descriptor budget, no current folder), so different folders may be
// used from different threads at the same time. One ScanFolder is used by
// one thread at a time, except that several threads may open subfolders of
// the same open folder at once; it must stay open until they return.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "filelib/platform/errors.h"

namespace plat {

// A name as the system holds it: bytes on POSIX, UTF-16 on Windows, so
// that no name is lost to a code page. Not zero-terminated where it is
// handed over with its length.
#ifdef _WIN32
using ScanChar = wchar_t;
#else
using ScanChar = char;
#endif
using ScanName = std::basic_string<ScanChar>;

// The name as 8-bit text for messages: the bytes themselves on POSIX, the
// ANSI code page on Windows ("?" for what the code page cannot hold).
std::string ScanNameText(const ScanName& name);

// What tells one folder from another, as far as the system can say.
struct ScanIdentity {
    uint64_t volume = 0;  // device (POSIX), volume serial number (Windows)
    uint64_t index = 0;   // inode (POSIX), file index (Windows)
    bool known = false;   // false: the system could not say; nothing compares
};

// Both known and equal.
inline bool SameFolder(const ScanIdentity& a, const ScanIdentity& b) {
    return a.known && b.known && a.volume == b.volume && a.index == b.index;
}

struct ScanFolder;  // one open folder; opaque, one layout per system

// Opens the folder `path` (8-bit text as the command was given it; empty:
// the current folder). A link named as the path is followed, as the
// Windows search follows "link\*.*". On failure *out is null and the
// result says why: NotFound, AccessDenied, NotFolder (the path names a
// file), NameTooLong, Other.
Error OpenScanTop(const char* path, ScanFolder** out);

// Opens the subfolder `name` (as ReadScanFolder handed it out) of the open
// folder `parent`, relative to it, so the length of the full path never
// matters. On POSIX a link is never followed (a link in its place fails
// with NotFolder); on Windows a junction or folder link is opened as the
// folder it leads to, as the directory search walks it. Several threads
// may open subfolders of one parent at once.
// *mayLeadBack is set when the folder is a mount root (POSIX) or a reparse
// point (Windows: junction, folder link, mounted volume), or when the
// system cannot tell: a chain of folders through it may meet a folder
// above it again. Without one, it cannot, and no identity need be read.
Error OpenScanSubfolder(ScanFolder* parent, const ScanName& name, ScanFolder** out, bool* mayLeadBack);

// The identity of an open folder, asked of the system (one call); false
// when it cannot say. Safe while other threads open subfolders of it.
bool ReadScanIdentity(ScanFolder* folder, ScanIdentity* out);

struct ScanTotals {
    uint64_t files = 0;  // entries that are not folders
    uint64_t bytes = 0;  // their whole lengths (a POSIX link: its target text)
};

// Receives the subfolders of a folder while it is read.
class SubfolderSink {
public:
    virtual void Subfolder(const ScanChar* name, size_t length) = 0;

protected:
    ~SubfolderSink() = default;
};

// Reads the folder once from its start: adds the count and the whole
// lengths of its files to *totals and hands every subfolder's name to
// `subfolders` ("." and ".." never). The system is asked for nothing but
// the entries and, for each entry its record does not show as a folder,
// its type and length. An entry that vanishes while it is read is passed
// over. Returns None, or the error that stopped the reading; what was read
// before it stays added and handed out. Read a folder only once.
Error ReadScanFolder(ScanFolder* folder, ScanTotals* totals, SubfolderSink& subfolders);

// Closes the folder and frees it; null is ignored.
void CloseScanFolder(ScanFolder* folder);

// How many folders this process may hold open at once for a walk: what the
// system's limit on open descriptors or handles leaves free now, at least 1.
int ScanFolderLimit();

// True when the open folder lies on a rotating disk, where reads at
// several places at once only make the head seek; false where unknown.
bool ScanIsOnRotatingDisk(ScanFolder* folder);

// Processor time used so far by all threads of this process, in seconds:
// the walk compares it with the time passed to see its threads waiting.
double ScanCpuSeconds();

// How many times so far the calling thread has given up its processor to
// wait for the system (a read from a disk or a network share, a lock),
// not counting the times it was merely put aside for another thread; -1
// where the system keeps no such count. Asked around a read, it tells
// whether the data was in memory.
long ScanThreadWaits();

}  // namespace plat
