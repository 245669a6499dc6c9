// POSIX backend, drives and network: there are no drive letters, so no
// drive has free space and no network connection is remembered. Nothing
// else lives here.

#include "filelib/platform/drives.h"

namespace plat {

Error FreeBytesForCaller(const char* /*drive*/, uint64_t* bytes) {
    if (bytes != nullptr) *bytes = 0;
    return Error::NotFound;
}

namespace {

// Without drive letters there are no remembered mappings.
class NoMappings : public NetProvider {
public:
    long GetConnection(const char*, char* remote, DWORD*) override {
        if (remote != nullptr) remote[0] = 0;
        return 2250L;  // ERROR_NOT_CONNECTED
    }
    long AddConnection(const char*, const char*) override { return 2250L; }
    unsigned QueryDriveType(const char*) override { return DRIVE_NO_ROOT_DIR; }
};

NoMappings g_noMappings;
NetProvider* g_provider = &g_noMappings;

}  // namespace

NetProvider& GetNetProvider() { return *g_provider; }
void SetNetProvider(NetProvider* provider) { g_provider = provider != nullptr ? provider : &g_noMappings; }

}  // namespace plat
