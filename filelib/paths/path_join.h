// Joining a folder text and a name into one path, within a fixed field.
#pragma once

#include <cstddef>

// folder + the platform's separator + name into out (the name alone when
// the folder is empty). False, with out empty, when the result does not fit
// `size`: a path is never cut, since a cut one can name another file.
bool JoinPath(char* out, size_t size, const char* folder, const char* name);

// The search pattern for one extension in a folder: folder + separator +
// "*." + ext (or "*." + ext alone for an empty folder); fits or refuses as
// JoinPath does.
bool JoinExtensionPattern(char* out, size_t size, const char* folder, const char* ext);
