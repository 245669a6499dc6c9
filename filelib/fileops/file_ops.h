// Small file and folder operations: attributes, existence, deleting and
// renaming files, deleting a folder's files by extension, creating and
// removing folder chains, and the paths of data files by kind.
//
// Paths of more than 255 characters are worked on from inside their folder
// (the long-name rule) by every operation here but MakeFolderPath,
// GetKindFolder and MakeKindPath. Writable folder arguments get their root
// slash in place first ("D:" becomes "D:\"). Texts too long for the
// operations' working copies (600 characters) are refused, never cut.
//
// Deleting and replacing keep the read-only rule of Windows on every
// system: a read-only file is neither deleted nor replaced by the system
// calls below this, so the operations that are meant to do it clear the
// attribute first and give it back when they fail.
#pragma once

#include <cstdint>

#include "filelib/paths/path_attributes.h"  // GetAttributes, SetAttributes
#include "filelib/platform/win_types.h"

// True when the path names an existing entry that is not a folder.
bool FileExists(const char* path);

// Deletes a file whatever its attributes. True when no file of that name
// exists afterwards (also when there was none); false when it is still
// there or could not be looked at (a path longer than the system takes, a
// folder that may not be read). A file that cannot be deleted gets its
// attributes back. Folders are never removed.
bool RemoveFile(const char* path);

// Results of RenameFile.
enum : int {
    RENAME_DONE = 0,
    RENAME_NOTHING_TO_DO = 1,  // the old file does not exist, or the new name is empty
    RENAME_FAILED = 2,         // nothing changed: the old file keeps its name and attributes,
                               // an existing target is untouched (also when the old file
                               // could not be looked at)
};

// Renames or moves a file, replacing an existing file of the new name
// (also a read-only one) in one step; the file keeps its own attributes.
int RenameFile(const char* oldPath, const char* newPath);

// Deletes the files of one folder (not of its subfolders) whose names
// match "*.<pattern>", read-only ones too. 0; 1 when the folder does not
// exist (a folder link is none), is a file system's root (refused) or the
// search pattern does not fit, and when a matching file is left: one that
// could not be deleted, or a folder that could not be read to the end.
int DeleteFilesByExtension(char* folder, const char* pattern = "*");

// Creates a folder and its missing parents. True when the folder exists
// afterwards.
bool CreateFolderPath(char* path);

// The same without the long-name handling and without changing its
// argument: 0 when the folder exists at the end, 1 when creating it failed.
int MakeFolderPath(const char* path);

// Removes a folder and all its empty subfolders; files are never deleted.
// True when the folder is gone afterwards or was never a folder; false
// when it is still there or could not be looked at.
bool RemoveFolderTree(char* path);

// Data-file kinds and their default folders.
enum : unsigned {
    KIND_DATA = 11201,    // "daten"
    KIND_INI = 11202,     // "ini"
    KIND_MASK = 11203,    // "msk"
    KIND_PRINT = 11204,   // "drf"
    KIND_EXPORT = 11205,  // "exp"
    KIND_TEMP = 11206,    // "tmp"
};

// The kind's folder: its override in the library's context record, else
// its default; "" for any other kind. One static buffer.
const char* GetKindFolder(unsigned kind);

// The path of a file in its kind's folder, which is created when missing:
// the folder itself when absolute, else below the start folder. The name
// unchanged for a kind without folder; "" when the path does not fit its
// buffer. One static buffer.
const char* MakeKindPath(const char* name, unsigned kind);
