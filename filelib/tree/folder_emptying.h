// Deleting the files of one folder.
#pragma once

// Deletes the files directly in the folder (its subfolders are left
// alone), at most as many as the sorted listing holds (2000) per call. A
// read-only or locked file stays. A file system's root is refused: nothing
// there is deleted. An empty folder text is the current folder. 0; 1 when
// files may have been missed: the folder could not be read, or its text or
// a file's name is too long for the listing.
int DeleteFolderFiles(const char* folder);
