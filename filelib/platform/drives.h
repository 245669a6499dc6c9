// Drives and network connections: space free on a drive letter, drive
// types and the remembered network connections, which go through a
// provider that tests replace.
#pragma once

#include <cstdint>

#include "filelib/platform/errors.h"
#include "filelib/platform/win_types.h"

namespace plat {

// Bytes free for the calling user on the drive that `drive` names
// (for example "D:"); 0 and NotFound where there are no drive letters.
Error FreeBytesForCaller(const char* drive, uint64_t* bytes);

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
