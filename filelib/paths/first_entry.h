// The first entry that a directory search for a path finds: what the
// existence tests of the file operations and the entry queries ask.
#pragma once

#include "filelib/platform/platform.h"

// How FindFirstEntry hands the path to the system.
enum class EntrySpelling {
    // A path longer than the system takes is searched for by its bare
    // name from inside its folder (the long-name rule, CLongNameScope).
    AnyLength,
    // The path goes to the system as it is; for callers that have made the
    // folder current themselves or mean to stay within the system's limit.
    AsGiven,
};

// Fills *entry with the first entry found (the path may hold wildcards:
// the first match). False for a null or empty path, or when nothing is
// found. A search that fails on a path with a drive letter reconnects a
// remembered network drive and searches once more.
bool FindFirstEntry(const char* path, plat::FindData* entry, EntrySpelling spelling = EntrySpelling::AnyLength);

// What a path names, for the operations that delete, rename, copy or
// clear: they may count only what is really not there as gone.
enum class PathKind {
    Nothing,   // no entry (or only "." or ".."): the path, or a folder on its way, is not there
    File,      // an entry that is not a folder (a link is one)
    Folder,    // a folder other than "." and ".."
    Unknown,   // it could not be looked at: too long for the system, a folder
               // that may not be read, an I/O error
};
// Looks as FindFirstEntry does, with the same reconnection.
PathKind KindOfPath(const char* path, EntrySpelling spelling = EntrySpelling::AnyLength);

// What a removed folder leaves: nothing, or a file. A path that could not
// be looked at is not known to be gone.
inline bool NoFolderThere(PathKind kind) { return kind == PathKind::Nothing || kind == PathKind::File; }
// What a removed file leaves: nothing, or a folder.
inline bool NoFileThere(PathKind kind) { return kind == PathKind::Nothing || kind == PathKind::Folder; }
