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
