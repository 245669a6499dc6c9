// The size walk: the total length of all files below a folder.
#pragma once

#include <cstdint>

// Exact total in bytes of every file below `dir`, at any depth. Never
// fails: what cannot be read counts as 0. `dir` may get a root slash
// appended in place (a bare drive "D:" becomes "D:\").
uint64_t WalkSizeBytes(char* dir);

// The same total as a double.
double WalkSize(char* dir);
