// The portable interface to the operating system. Everything above this
// header is written once; only the files in this folder know which system
// they run on (one *_posix.cpp and one *_win.cpp per concern, chosen by the
// build). This header brings every concern's header along.
#pragma once

#include <cstddef>
#include <cstdint>

#include "filelib/platform/drives.h"
#include "filelib/platform/errors.h"
#include "filelib/platform/file_data.h"
#include "filelib/platform/file_locks.h"
#include "filelib/platform/file_system.h"
#include "filelib/platform/path_limits.h"
#include "filelib/platform/search.h"
#include "filelib/platform/win_types.h"
#include "filelib/platform/working_folder.h"

namespace plat {

// Separator that the library puts between the parts of paths it builds.
// Splitting accepts both '\\' and '/' everywhere.
extern const char kPathSep;

// ------------------------------------------------------------- program

// Full path of the running program into buf; false when unknown or too long.
bool GetProgramPath(char* buf, size_t size);

// ------------------------------------------------------------- process

// Stands in for the application framework's start. Fails when the process
// was started without a program name: without it the program cannot know
// its own identity (title, module).
bool StartApplication(int argc, char** argv);

// Waits for one key press at the console, without echo and without Enter.
// Returns at once when there is no console or terminal to read from.
void WaitForKey();

void SleepMilliseconds(DWORD milliseconds);

// --------------------------------------------------------------- text

// UTF-16 to the ANSI code page (Windows-1252 on POSIX), "?" for what the
// code page cannot hold. Returns the bytes written including the
// terminator, or 0 when the result does not fit `size`.
int WideToAnsiCodePage(const WCHAR* text, char* out, int size);

// -------------------------------------------------------- network drives

// The system's remembered network connections and drive types. Tests
// install a fake to drive every answer.
class NetProvider {
public:
    virtual ~NetProvider() = default;
    // WNetGetConnectionA: NO_ERROR with the share in remote,
    // ERROR_CONNECTION_UNAVAIL when remembered but not connected.
    virtual long GetConnection(const char* localName, char* remote, DWORD* length) = 0;
    // WNetAddConnection2A for a disk resource, no user, no password,
    // remembered in the profile. NO_ERROR on success.
    virtual long AddConnection(const char* localName, const char* remote) = 0;
    virtual unsigned QueryDriveType(const char* root) = 0;
};

NetProvider& GetNetProvider();
// Installs a provider (not owned); null brings back the system's own.
void SetNetProvider(NetProvider* provider);

}  // namespace plat
