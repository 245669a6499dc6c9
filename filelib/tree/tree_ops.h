// Copying and deleting the matching files of whole trees, and removing
// folder trees that hold no file. Built on the sorted collector and its
// shared tables (tree_collector.h), which they leave filled with their
// walk; one walk at a time.
//
// Folders are given without a trailing separator; an empty folder text is
// the current folder. Texts of 500 characters or more are refused (1).
// The results: 0 when the goal was reached, 1 when it was not.
#pragma once

// Copies the selected files below the source folder into the same layout
// below the destination, with times and attributes, creating only the
// folders that receive a file. The source is a folder and a pattern
// ("C:\data\*.txt"): the pattern's last part selects by the whole name
// with the library's wildcard matching ("*.c", "*.tar.gz", "x.tmp",
// "a*.txt"; "*" and "*.*" every file); a source that names an existing
// folder is that folder with all its files. 1 at the first folder
// that cannot be made or file that cannot be copied, and also when
// matching files were left out of the walk (beyond the tables' capacity,
// or names and folders too long for them): the copy is then incomplete.
int CopyTreeByPattern(const char* source, const char* destination);

// Deletes the selected files below a folder, chosen as the copy chooses
// them: "C:\tmp\*.bak" the .bak files; an existing folder, or a path
// ending in a separator, all its files; "C:\tmp\x.tmp" the files of that
// name (also where no such file is there, as for a mistyped folder: its
// parent is never emptied). Read-only files stay, and make the result 1.
// On request the emptied subfolders and the folder itself are removed
// (PruneFolderTree): those of a folder that the path names, as itself or
// before a pattern with wildcards; a plain name names no folder. A file
// system's root is refused (1) and nothing is deleted there.
int DeleteTreeByPattern(const char* path, bool removeSubfolders, bool removeFolder);

// Removes the folder and its subfolders as far as they hold no file; never
// deletes a file and never enters a folder that is a link. 0 when the
// folder is gone (or never was), 1 when it or part of it remains. A file
// system's root is refused (1).
int PruneFolderTree(const char* path);
