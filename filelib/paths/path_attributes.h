// What one path is: its attributes, whether it names a file or a folder,
// and the root slash of a bare drive. The operations of every layer above
// ask these.
#pragma once

#include "filelib/platform/win_types.h"

// "D:" becomes "D:\" in place; every other text is left alone.
void AppendRootSlash(char* path);

// The path's 32-bit attributes, or INVALID_FILE_ATTRIBUTES.
DWORD GetAttributes(const char* path);
// True when the system took the attributes.
bool SetAttributes(const char* path, DWORD attributes);

// The existence tests take the first entry that a directory search for the
// path finds, so the path may hold wildcards (then the first match
// decides). Folders are given without a trailing separator: a root or a
// path ending in a separator finds nothing. A search that fails on a path
// with a drive letter reconnects a remembered network drive and tries once
// more.
// True when the first entry found is not a folder.
bool IsFile(const char* path);
// True when the first entry found is a folder other than "." and "..".
bool IsFolder(const char* path);
