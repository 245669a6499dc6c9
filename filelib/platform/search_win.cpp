// Windows backend, the directory search (FindOpen and its kin) on
// FindFirstFileA and FindNextFileA; nothing but the search lives here.
// Must build with mingw-w64 and MSVC alike: no GNU-only constructs.

#include "filelib/platform/backend.h"
#include "filelib/platform/name_match.h"

#include <cstring>
#include <new>
#include <string>

namespace plat {

struct Search {
    HANDLE handle = INVALID_HANDLE_VALUE;
    SearchKind kind = SearchKind::All;
    std::string folder;  // the searched folder as given, for opening subfolders
    Search* parent = nullptr;  // the search it was opened in, kept alive for it
    int holders = 1;           // its opener and the searches opened in it
    DWORD lastAttrib = 0;      // of the entry yielded last
    char lastName[MAX_PATH] = {};
    bool identityRead = false;  // volume serial and file index, read when first needed
    bool identityKnown = false;
    FileIdentity identity = {};
    std::string namePattern;      // the pattern's last part
    bool matchLongNames = false;  // it holds wildcards
    Error end = Error::NotFound;  // why it found nothing more, once it did
};

namespace {

// Why the system's search found nothing: no such entry or folder, a name
// that cannot name one, the end of the folder, or a file where the folder
// should be are nothing there; the rest could not be looked at.
Error SearchFailure(DWORD code) {
    switch (code) {
        case ERROR_NO_MORE_FILES:
        case ERROR_INVALID_NAME:
        case ERROR_DIRECTORY:
            return Error::NotFound;
        default: return ErrorFromSystemCode(long(code));
    }
}

int64_t ToTimeT(const FILETIME& ft) {
    const int64_t ticks = TicksOf(ft);
    if (ticks == 0) return -1;
    return (ticks - kTicks1601To1970) / kTicksPerSecond;
}

// The system matches wildcards against short 8.3 aliases too ("*.htm"
// finds page.html), so a wildcard pattern must match the long name as well.
// A name without wildcards may be a short name: it names one entry itself.
bool Wanted(const Search& search, const WIN32_FIND_DATAA& data) {
    if (search.matchLongNames && !MatchesNamePattern(search.namePattern.c_str(), data.cFileName)) return false;
    if (search.kind == SearchKind::All) return true;
    if (IsDotName(data.cFileName)) return false;
    return KindWants(search.kind, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
}

void Fill(Search* search, const WIN32_FIND_DATAA& data, FindData* out) {
    search->lastAttrib = data.dwFileAttributes;
    std::memcpy(search->lastName, data.cFileName, sizeof search->lastName);
    search->lastName[sizeof search->lastName - 1] = 0;
    out->attrib = data.dwFileAttributes;
    out->tWrite = ToTimeT(data.ftLastWriteTime);
    out->tAccess = ToTimeT(data.ftLastAccessTime);
    out->tCreate = ToTimeT(data.ftCreationTime);
    if (out->tCreate < 0) out->tCreate = out->tWrite;
    const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    out->size = isFolder ? 0 : JoinHalves(data.nFileSizeHigh, data.nFileSizeLow);
    std::memcpy(out->name, data.cFileName, sizeof out->name);
    out->name[sizeof out->name - 1] = 0;
}

bool NextWanted(Search* search, WIN32_FIND_DATAA* data) {
    while (FindNextFileA(search->handle, data)) {
        if (Wanted(*search, *data)) return true;
    }
    search->end = SearchFailure(GetLastError());
    SetSearchError(search->end);
    return false;
}

SearchHandle Open(const std::string& folder, const std::string& pattern, SearchKind kind, FindData* out) {
    if (pattern.size() >= MAX_PATH) return NothingFound(Error::NameTooLong);
    WIN32_FIND_DATAA data;
    HANDLE handle = FindFirstFileA(pattern.c_str(), &data);
    if (handle == INVALID_HANDLE_VALUE) return NothingFound(SearchFailure(GetLastError()));
    Search* search = new (std::nothrow) Search;
    if (search == nullptr) {
        ::FindClose(handle);
        return NothingFound(Error::Other);
    }
    search->handle = handle;
    search->kind = kind;
    search->folder = folder;
    const size_t lastSep = pattern.find_last_of("\\/");
    search->namePattern = lastSep == std::string::npos ? pattern : pattern.substr(lastSep + 1);
    search->matchLongNames = HoldsWildcard(search->namePattern.c_str());
    if (!Wanted(*search, data) && !NextWanted(search, &data)) {
        const Error why = search->end;
        FindClose(search);
        return NothingFound(why);
    }
    Fill(search, data, out);
    SetSearchError(Error::None);
    return search;
}

// Frees a search once neither its opener nor a search opened in it holds it.
void Release(Search* search) {
    while (search != nullptr && --search->holders == 0) {
        Search* parent = search->parent;
        delete search;
        search = parent;
    }
}

// Volume serial and file index of the search's folder, where the file
// system keeps them.
bool ReadIdentity(Search* search) {
    if (search->identityRead) return search->identityKnown;
    search->identityRead = true;
    const char* folder = FolderOrCurrent(search->folder.c_str());
    HANDLE handle = OpenForQuestions(folder, FILE_READ_ATTRIBUTES);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(handle, &info)) {
        search->identityKnown = true;
        search->identity = IdentityOf(info);
    }
    CloseHandle(handle);
    return search->identityKnown;
}

// True when `folder`, just opened in `parent`, is parent's folder or one of
// the folders parent was opened in. Only a reparse point (a junction, a
// folder link, a mounted volume) can lead back up, so only those are asked.
bool LeadsBackUp(Search* parent, const char* name, Search* folder) {
    if (std::strcmp(parent->lastName, name) == 0 && (parent->lastAttrib & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return false;
    if (!ReadIdentity(folder)) return false;
    for (Search* s = parent; s != nullptr; s = s->parent) {
        if (ReadIdentity(s) && SameFile(s->identity, folder->identity)) return true;
    }
    return false;
}

}  // namespace

SearchHandle FindOpen(const char* pattern, SearchKind kind, FindData* out) {
    if (pattern == nullptr) return NothingFound(Error::NotFound);
    const char* lastSep = std::strrchr(pattern, '\\');
    const char* lastSlash = std::strrchr(pattern, '/');
    if (lastSlash != nullptr && (lastSep == nullptr || lastSlash > lastSep)) lastSep = lastSlash;
    std::string folder = lastSep != nullptr ? std::string(pattern, size_t(lastSep - pattern)) : std::string();
    return Open(folder, pattern, kind, out);
}

SearchHandle FindOpenFolder(const char* path) {
    if (path == nullptr) return NothingFound(Error::NotFound);
    // A folder link counts as the folder it leads to, as its search does.
    const DWORD attrib = GetFileAttributesA(FolderOrCurrent(path));
    if (attrib == INVALID_FILE_ATTRIBUTES) return NothingFound(SearchFailure(GetLastError()));
    if ((attrib & FILE_ATTRIBUTE_DIRECTORY) == 0) return NothingFound(Error::NotFound);
    Search* search = new (std::nothrow) Search;
    if (search == nullptr) return NothingFound(Error::Other);
    search->folder = path;
    SetSearchError(Error::None);
    return search;
}

namespace {

// The folder `name` of parent's folder ("." is parent's folder itself).
std::string FolderIn(const Search& parent, const char* name) {
    if (std::strcmp(name, ".") == 0) return parent.folder;
    return parent.folder.empty() ? std::string(name) : parent.folder + "\\" + name;
}

std::string PatternIn(const std::string& folder, const char* namePattern) {
    return folder.empty() ? std::string(namePattern) : folder + "\\" + namePattern;
}

// Makes `search` one opened in parent; false (and the search closed) when
// its folder is one parent was opened in.
bool AttachTo(Search* parent, const char* name, Search* search) {
    search->parent = parent;
    ++parent->holders;
    if (std::strcmp(name, ".") != 0 && LeadsBackUp(parent, name, search)) {
        FindClose(search);
        return false;
    }
    return true;
}

}  // namespace

SearchHandle FindOpenIn(SearchHandle parent, const char* name, const char* namePattern, SearchKind kind,
                        FindData* out) {
    if (parent == nullptr || name == nullptr || namePattern == nullptr) return NothingFound(Error::NotFound);
    if (std::strcmp(name, "..") == 0) return NothingFound(Error::NotFound);
    const std::string folder = FolderIn(*parent, name);
    Search* search = Open(folder, PatternIn(folder, namePattern), kind, out);
    if (search == nullptr) return nullptr;
    if (!AttachTo(parent, name, search)) return NothingFound(Error::NotFound);  // one of the folders above
    return search;
}

bool FindNext(SearchHandle search, FindData* out) {
    if (search == nullptr || search->handle == INVALID_HANDLE_VALUE) {
        SetSearchError(search != nullptr ? search->end : Error::NotFound);
        return false;
    }
    WIN32_FIND_DATAA data;
    if (!NextWanted(search, &data)) return false;
    Fill(search, data, out);
    return true;
}

void FindClose(SearchHandle search) {
    if (search == nullptr) return;
    if (search->handle != INVALID_HANDLE_VALUE) ::FindClose(search->handle);
    search->handle = INVALID_HANDLE_VALUE;
    Release(search);
}

}  // namespace plat
