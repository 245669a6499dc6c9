// The common part: what the operations of this folder do alike on every
// system, written once over the pieces each system's files provide
// (backend.h), which are all it asks of the system.

#include "filelib/platform/backend.h"

#include <cstdio>
#include <cstring>

namespace plat {

const char* ErrorName(Error error) {
    switch (error) {
        case Error::None: return "none";
        case Error::NotFound: return "not found";
        case Error::AccessDenied: return "access denied";
        case Error::SharingViolation: return "sharing violation";
        case Error::ReadOnly: return "read-only";
        case Error::Exists: return "exists";
        case Error::NotEmpty: return "not empty";
        case Error::DiskFull: return "disk full";
        case Error::NameTooLong: return "name too long";
        case Error::IsFolder: return "is a folder";
        case Error::NotFolder: return "not a folder";
        case Error::CrossDevice: return "cross-device";
        case Error::InvalidName: return "invalid name";
        case Error::Unsupported: return "unsupported";
        case Error::Other: return "other";
    }
    return "other";
}

// ------------------------------------------------------ deleting and replacing

Error RemoveFileEntry(const char* path) {
    if (!IsGivenPath(path)) return Error::NotFound;
    EntryState entry = {};
    const Error found = ReadEntryState(path, &entry);
    if (found != Error::None) return found;
    if (entry.isFolder) return Error::IsFolder;
    if (entry.readOnly) return Error::ReadOnly;
    return RemoveFileNow(path);
}

Error RemoveFolder(const char* path) {
    if (!IsGivenPath(path)) return Error::NotFound;
    EntryState entry = {};
    const Error found = ReadEntryState(path, &entry);
    if (found != Error::None) return found;
    if (!entry.isFolder) return Error::NotFolder;
    if (entry.readOnly) return Error::ReadOnly;
    return RemoveFolderNow(path);
}

Error MovePath(const char* from, const char* to, MoveMode mode) {
    if (!IsGivenPath(from) || !IsGivenPath(to)) return Error::NotFound;
    EntryState source = {};
    const Error found = ReadEntryState(from, &source);
    if (found != Error::None) return found;
    if (mode == MoveMode::ReplaceTarget) {
        bool exists = false;
        EntryState target = {};
        const Error looked = ReadReplaceTarget(to, &exists, &target);
        if (looked != Error::None) return looked;
        if (exists && target.isFolder) return Error::Exists;
        if (exists && target.readOnly) return Error::ReadOnly;
    }
    return MoveNow(from, to, mode);
}

// ------------------------------------------------------ network provider

namespace {

NetProvider* g_installedNet = nullptr;  // a test's, while one is installed

}  // namespace

NetProvider& GetNetProvider() { return g_installedNet != nullptr ? *g_installedNet : SystemNetProvider(); }
void SetNetProvider(NetProvider* provider) { g_installedNet = provider; }

// ------------------------------------------------------ texts the system fills
// A text that does not fit its buffer is not there: the buffer is left empty.

bool GetProgramPath(char* buf, size_t size) {
    if (buf == nullptr || size == 0) return false;
    const size_t length = ReadProgramPath(buf, size);
    if (length == 0 || length >= size) {
        buf[0] = 0;
        return false;
    }
    return true;
}

bool GetCurrentDir(char* buf, size_t size) {
    if (buf == nullptr || size == 0) return false;
    if (ReadCurrentDir(buf, size)) return true;
    buf[0] = 0;
    return false;
}

// ------------------------------------------------------ application start

bool StartApplication(int argc, char** argv) {
    if (argc < 1 || argv == nullptr || argv[0] == nullptr || argv[0][0] == 0) return false;
    return StartOnSystem();
}

// ------------------------------------------------------ a file beside another

// Tries names of its own until one is free; gives up after a hundred taken
// ones, or at once when the system refuses for another reason.
FileHandle CreateFileBeside(const char* target, char* tempPath, size_t size) {
    if (target == nullptr || tempPath == nullptr || size == 0) return nullptr;
    tempPath[0] = 0;
    const size_t folderLength = FolderPartLength(target);
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const uint32_t tag = TempNameSeed() + uint32_t(++counter) * 104729u;
        char name[40];
        std::snprintf(name, sizeof name, "%s%08x.tmp", kTempNamePrefix, unsigned(tag));
        const size_t nameLength = std::strlen(name);
        if (folderLength + nameLength + 1 > size || folderLength + nameLength >= kLongestNewPath) return nullptr;
        std::memcpy(tempPath, target, folderLength);
        std::memcpy(tempPath + folderLength, name, nameLength + 1);
        bool taken = false;
        FileHandle file = CreateNewFile(tempPath, target, &taken);
        if (file != nullptr) return file;
        if (!taken) break;
    }
    tempPath[0] = 0;
    return nullptr;
}

// ------------------------------------------------------ searches

namespace {

thread_local Error t_searchError = Error::None;

}  // namespace

void SetSearchError(Error why) { t_searchError = why; }

SearchHandle NothingFound(Error why) {
    t_searchError = why;
    return nullptr;
}

Error LastSearchError() { return t_searchError; }

bool KindWants(SearchKind kind, bool isFolder) {
    return kind == SearchKind::All || isFolder == (kind == SearchKind::FoldersOnly);
}

}  // namespace plat
