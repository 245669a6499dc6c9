// Copying and deleting the matching files of whole trees, and removing
// folder trees that hold no file. Built on the sorted collector and its
// shared tables (tree_collector.h), which they leave filled with their
// walk; one walk at a time.
//
// Folders are given without a trailing separator; an empty folder text is
// the current folder. Texts of 500 characters or more are refused (1).
// The results: 0 when the goal was reached, 1 when it was not.
#pragma once

// Copies every file below the source folder whose extension matches the
// source's pattern ("C:\data\*.txt": the folder, then the pattern; only
// the text after the pattern's first '.' counts, "*.*" is every file) into
// the same layout below the destination, with times and attributes,
// creating only the folders that receive a file. 1 at the first folder
// that cannot be made or file that cannot be copied, and also when
// matching files were left out of the walk (beyond the tables' capacity,
// or names and folders too long for them): the copy is then incomplete.
int CopyTreeByPattern(const char* source, const char* destination);

// Deletes the matching files below a folder ("C:\tmp\*.bak"; a path whose
// last four characters hold no '.' is a folder, all of whose files go).
// Read-only files stay, and make the result 1. On request the emptied
// subfolders and the folder itself are removed (PruneFolderTree). A file
// system's root is refused (1) and nothing is deleted there.
int DeleteTreeByPattern(const char* path, bool removeSubfolders, bool removeFolder);

// Removes the folder and its subfolders as far as they hold no file; never
// deletes a file and never enters a folder that is a link. 0 when the
// folder is gone (or never was), 1 when it or part of it remains. A file
// system's root is refused (1).
int PruneFolderTree(const char* path);
