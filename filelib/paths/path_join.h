// Joining a folder text and a name into one path, within a fixed field.
#pragma once

#include <cstddef>

// What a join does with a folder text that already ends in a separator.
enum class EndSeparator {
    // folder + separator + name whatever the folder ends in: "dir\" and a
    // name give "dir\\name", as the finder's records spell their paths.
    Add,
    // The folder's own separator serves: "dir\" and a name give "dir\name".
    Reuse,
};

// folder + the platform's separator + name into out (the name alone when
// the folder is empty). A folder that is only a separator (the root "/" or
// "\") never gets a second one: "\\name" would name a network server.
// False, with out empty, when the result does not fit `size`: a path is
// never cut, since a cut one can name another file.
bool JoinPath(char* out, size_t size, const char* folder, const char* name,
              EndSeparator end = EndSeparator::Add);

// The search pattern for one extension in a folder: folder + separator +
// "*." + ext (or "*." + ext alone for an empty folder); separators and
// fitting as JoinPath.
bool JoinExtensionPattern(char* out, size_t size, const char* folder, const char* ext,
                          EndSeparator end = EndSeparator::Add);
