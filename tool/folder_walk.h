// The size walk's scheduler: many folders read at once by worker threads,
// on the folder scan of the platform layer.
#pragma once

#include "tool/size_walk.h"

// How the walk may spend threads and open folders. 0 chooses for itself.
struct WalkSettings {
    // Threads reading folders. 0: as many as there are processors, more
    // while they mostly wait for the data, one on a rotating disk or a
    // single processor.
    int workers = 0;
    // Folders held open at once. 0: what the process's limit leaves free.
    int folderLimit = 0;
};

// WalkTree with the settings given.
WalkOutcome WalkFolders(char* dir, WalkProgress* progress, const WalkSettings& settings);
