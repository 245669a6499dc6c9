// What the finder's tree operations take from its listings for their walk
// (enum/tree_walk.h).
#pragma once

#include <cstdint>

#include "filelib/enum/file_finder.h"
#include "filelib/enum/tree_walk.h"

// The subfolders of `dir` as ListSubfolders lists them with default
// settings (search order, hidden and system ones too), kept for the walk.
// What it leaves out is counted in g_nFinderLeftOut, as the listing counts it.
void ListWalkSubfolders(const char* dir, walk::Subfolders& out);

// The record ListSubfolders would write for the subfolder of `dir`, with
// `level` in nLevel.
void FillFolderRecord(FINDER_ENTRY* record, const char* dir, const walk::Subfolder& sub, int32_t level);
