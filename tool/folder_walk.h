// The size walk's scheduler: many folders read at once by worker threads,
// on the folder scan of the platform layer.
#pragma once

#include <cstddef>

#include "tool/size_walk.h"

// How the walk may spend threads and open folders. 0 chooses for itself.
struct WalkSettings {
    // Threads reading folders. 0: as many as there are processors, many
    // more from the start when the first read waited for the data, more
    // while they mostly wait for it, one on a rotating disk or a single
    // processor.
    int workers = 0;
    // Folders held open at once. 0: what the process's limit leaves free.
    int folderLimit = 0;
};

// WalkTree with the settings given.
WalkOutcome WalkFolders(char* dir, WalkProgress* progress, const WalkSettings& settings);

// ------------------------------------------- how many workers, and when

// When more workers are started: never; while the processors mostly wait
// with them (for a cold disk, a network share); or while they keep the
// processors busy (a rotating disk, where the data in memory is read best
// by several and the rest by one).
enum class WalkGrowth { Never, WhileWaitingForData, WhileBusy };

struct WalkCrew {
    int first;  // workers started at once
    int most;   // workers at most
    WalkGrowth growth;
};

// What the walk knows of the system once it has read its top folder.
struct WalkCrewFacts {
    int processors;
    bool rotatingDisk;
    bool topReadWaited;  // reading the top folder waited for the data
};

WalkCrew ChooseWalkCrew(const WalkSettings& settings, const WalkCrewFacts& facts);

// What the calling thread sees of the workers at one of its looks.
struct WalkCrewLook {
    int running;        // workers started so far
    double seconds;     // since the last look
    double cpuSeconds;  // processor time the whole walk used meanwhile
    double rate;        // folders read a second meanwhile
    size_t waiting;     // folders waiting to be read now
};

// Workers to start now (0: none). `rateBefore` is the rate before the last
// workers were added (negative: none added yet); when they did not bring
// enough, the crew grows no more.
int MoreWalkWorkers(WalkCrew* crew, int processors, const WalkCrewLook& look, double* rateBefore);
