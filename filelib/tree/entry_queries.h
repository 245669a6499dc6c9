// Questions about one path: does it name a file or a folder, its size and
// last-write time, its complete search data; and carrying the three time
// stamps of one file over to another.
//
// Every query takes the first entry that a directory search for the path
// finds, so the path may hold wildcards (then the first match decides).
// Folders are given without a trailing separator: a root or a path ending
// in a separator finds nothing. A search that fails on a path with a drive
// letter reconnects a remembered network drive and tries once more.
#pragma once

#include <cstdint>
#include <ctime>

#include "filelib/datetime/datetime_rec.h"
#include "filelib/paths/path_attributes.h"  // IsFile, IsFolder
#include "filelib/platform/win_types.h"

// A found entry's name, size and last-write time.
struct FILESTAMP {
    char szName[300];   // without folder
    uint32_t dwSize;    // the size's low 32 bits, as in the finder's records
    FILETIME ftWrite;   // last write, local time (as TimeTToFileTime makes it)
    FILETIME ftWrite2;  // a copy of ftWrite
};

// The whole length of the first entry found, also of 4 GiB and more; 0
// when nothing is found.
uint64_t QueryFileSize(const char* path);
// Last-write time of the first entry found; 0 when nothing is found.
time_t QueryFileWriteTime(const char* path);
// The record of QueryFileWriteTime in local time (that of time_t 0 when
// nothing is found). Always 0.
int QueryFileWriteDate(const char* path, DATETIMEREC* rec);
// Clears the stamp, then fills it; false (stamp all zero) when nothing is
// found.
bool QueryFileStamp(const char* path, FILESTAMP* stamp);

// The system's search data of a file, times exactly as the system keeps
// them; all zero for a folder or a path that names nothing. Always 0.
int QueryFindData(const char* path, WIN32_FIND_DATAA* data);
// Writes the creation, last-access and last-write times of `data` to a
// file. A file that cannot be opened for writing (read-only, in use) keeps
// its times; a folder or missing path is left alone. Always 0.
int ApplyFileTimes(const char* path, const WIN32_FIND_DATAA* data);
