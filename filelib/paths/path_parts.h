// Drive letters and the parts of a path: folder, title and extension.
// Both '\\' and '/' separate path parts.
#pragma once

// The path's first character upper-cased when its second is ':', else 0.
char GetDriveLetter(const char* path);

// Fills folder, title and extension, each a field of at least `SPLIT_PART_SIZE`
// characters; a part that would not fit is left empty. Always 0.
constexpr int SPLIT_PART_SIZE = 600;
int SplitPath(const char* path, char* dir, char* title, char* ext);

// One static result buffer each, valid until the next call of the same one.
const char* GetPathDir(const char* path);
const char* GetPathNoExt(const char* path);
const char* GetPathTitle(const char* path);
const char* GetPathExt(const char* path);
