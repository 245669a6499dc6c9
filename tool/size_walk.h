// The size walk: the total length of all files below a folder.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "filelib/platform/errors.h"

// Live counters of a running walk, written by the walk (from any of its
// threads) and read by the progress display.
struct WalkProgress {
    std::atomic<uint64_t> files{0};
    std::atomic<uint64_t> bytes{0};
};

// What the walk found.
struct WalkOutcome {
    uint64_t bytes = 0;                        // exact total of the files counted
    plat::Error topError = plat::Error::None;  // why the path itself could not be walked (NotFound,
                                               // AccessDenied, NotFolder for a file, Other ...)
    uint64_t foldersLeftOut = 0;               // folders below the top that could not be read
    std::string firstLeftOut;                  // the path of the first of them
};

// Walks every file below `dir`, at any depth, counting as it goes into
// `progress` (may be null). Never fails as a whole: what cannot be read
// counts as 0 and is told in the outcome. `dir` may get a root slash
// appended in place (a bare drive "D:" becomes "D:\").
WalkOutcome WalkTree(char* dir, WalkProgress* progress);

// Exact total in bytes of every file below `dir`, at any depth, as
// WalkTree counts it.
uint64_t WalkSizeBytes(char* dir);

// The same total as a double.
double WalkSize(char* dir);
