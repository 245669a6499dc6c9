// Windows backend, drives and network: free space of a drive letter, drive
// types and the remembered network connections. Nothing else lives here.

#include "filelib/platform/drives.h"

#include "filelib/platform/system_errors.h"
#include "filelib/platform/win_system.h"
#include <winnetwk.h>

#include <cstring>

namespace plat {

Error FreeBytesForCaller(const char* drive, uint64_t* bytes) {
    if (bytes != nullptr) *bytes = 0;
    if (drive == nullptr || drive[0] == 0 || bytes == nullptr) return Error::NotFound;
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA(drive, &available, nullptr, nullptr)) return LastSystemError();
    *bytes = available.QuadPart;
    return Error::None;
}

namespace {

class SystemNet : public NetProvider {
public:
    long GetConnection(const char* localName, char* remote, DWORD* length) override {
        return long(WNetGetConnectionA(localName, remote, length));
    }
    long AddConnection(const char* localName, const char* remote) override {
        NETRESOURCEA request;
        std::memset(&request, 0, sizeof request);
        request.dwType = RESOURCETYPE_DISK;
        request.lpLocalName = const_cast<char*>(localName);
        request.lpRemoteName = const_cast<char*>(remote);
        return long(WNetAddConnection2A(&request, nullptr, nullptr, CONNECT_UPDATE_PROFILE));
    }
    unsigned QueryDriveType(const char* root) override { return GetDriveTypeA(root); }
};

SystemNet g_systemNet;
NetProvider* g_provider = &g_systemNet;

}  // namespace

NetProvider& GetNetProvider() { return *g_provider; }
void SetNetProvider(NetProvider* provider) { g_provider = provider != nullptr ? provider : &g_systemNet; }

}  // namespace plat
