// The program and its process: where the program lives, its start, the
// final key press, waiting.
#pragma once

#include <cstddef>

#include "filelib/platform/win_types.h"

namespace plat {

// Full path of the running program into buf; false when unknown or too long.
bool GetProgramPath(char* buf, size_t size);

// Stands in for the application framework's start. Fails when the process
// was started without a program name: without it the program cannot know
// its own identity (title, module).
bool StartApplication(int argc, char** argv);

// Waits for one key press at the console, without echo and without Enter.
// Returns at once when there is no console or terminal to read from.
void WaitForKey();

void SleepMilliseconds(DWORD milliseconds);

// True when standard error is a console or terminal that a person reads,
// not a file, pipe or nothing.
bool StandardErrorIsTerminal();

// True where programs take options with dashes ("-h", "--help"), as on
// POSIX; a Windows program takes slashes, and "-h" there can be a name.
extern const bool kDashOptions;

}  // namespace plat
