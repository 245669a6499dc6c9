// The program and its process: where the program lives, its start, the
// console (the final key press, whether a person reads standard error),
// waiting, and the settings of the system it runs under: the local time
// zone and the ANSI code page of its 8-bit texts.
#pragma once

#include <cstddef>
#include <ctime>

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

// The runtime's local-time breakdown of t into *out; false where it has
// none. Unlike std::localtime it keeps no shared result, and on POSIX it
// does not look at the zone file again for every call (glibc's localtime
// does so when TZ is unset, a file-system query per converted time).
bool BreakDownLocalTime(std::time_t t, std::tm* out);

// UTF-16 to the ANSI code page (Windows-1252 on POSIX), "?" for what the
// code page cannot hold. Returns the bytes written including the
// terminator, or 0 when the result does not fit `size`.
int WideToAnsiCodePage(const WCHAR* text, char* out, int size);

}  // namespace plat
