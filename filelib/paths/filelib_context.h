// The library's start-up and its process-wide context record.
#pragma once

#include <cstdint>

struct FILELIB_CONTEXT {
    char szKindDirs[6][300];  // folder overrides for the data-file kinds 11201 to 11206
    char szStartDir[200];     // current folder at start-up
    char szProgTitle[200];    // program file name without folder and extension
    int32_t nStartDrive;      // 1 = A, 2 = B ...; 0 without drive letter
};

extern FILELIB_CONTEXT g_FileLibContext;

// Fills the context record anew. Always 0.
int InitFileLibrary();
