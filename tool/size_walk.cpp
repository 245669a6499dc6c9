#include "tool/size_walk.h"

#include "tool/folder_walk.h"

// The walk reads many folders at once; the number of threads and of
// folders held open it chooses for itself.
WalkOutcome WalkTree(char* dir, WalkProgress* progress) { return WalkFolders(dir, progress, WalkSettings()); }

uint64_t WalkSizeBytes(char* dir) { return WalkTree(dir, nullptr).bytes; }

double WalkSize(char* dir) { return double(WalkSizeBytes(dir)); }
