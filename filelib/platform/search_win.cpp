// Windows backend, the directory search (FindOpen, FindNext, FindClose) on
// FindFirstFileA and FindNextFileA, and nothing else.
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

void Fill(const WIN32_FIND_DATAA& data, FindData* out) {
    out->attrib = data.dwFileAttributes;
    out->tWrite = ToTimeT(data.ftLastWriteTime);
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

SearchHandle Open(const std::string& pattern, SearchKind kind, FindData* out) {
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
    const size_t lastSep = pattern.find_last_of("\\/");
    search->namePattern = lastSep == std::string::npos ? pattern : pattern.substr(lastSep + 1);
    search->matchLongNames = HoldsWildcard(search->namePattern.c_str());
    if (!Wanted(*search, data) && !NextWanted(search, &data)) {
        const Error why = search->end;
        FindClose(search);
        return NothingFound(why);
    }
    Fill(data, out);
    SetSearchError(Error::None);
    return search;
}

}  // namespace

SearchHandle FindOpen(const char* pattern, SearchKind kind, FindData* out) {
    if (pattern == nullptr) return NothingFound(Error::NotFound);
    return Open(pattern, kind, out);
}

bool FindNext(SearchHandle search, FindData* out) {
    if (search == nullptr || search->handle == INVALID_HANDLE_VALUE) {
        SetSearchError(search != nullptr ? search->end : Error::NotFound);
        return false;
    }
    WIN32_FIND_DATAA data;
    if (!NextWanted(search, &data)) return false;
    Fill(data, out);
    return true;
}

void FindClose(SearchHandle search) {
    if (search == nullptr) return;
    if (search->handle != INVALID_HANDLE_VALUE) ::FindClose(search->handle);
    delete search;
}

}  // namespace plat
