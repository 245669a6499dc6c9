#include "filelib/paths/net_drive.h"

#include <cstdio>

#include "filelib/platform/platform.h"

namespace {

constexpr DWORD kRemoteNameSize = 300;

}  // namespace

int ReconnectNetDrive(char letter) {
    if (letter == 0) return 3;
    char localName[3] = {letter, ':', 0};
    char remote[kRemoteNameSize] = {};
    DWORD length = kRemoteNameSize;
    plat::NetProvider& net = plat::GetNetProvider();
    const long answer = net.GetConnection(localName, remote, &length);
    if (answer == NO_ERROR) return 1;
    if (answer != ERROR_CONNECTION_UNAVAIL) return 2;
    remote[kRemoteNameSize - 1] = 0;
    return net.AddConnection(localName, remote) == NO_ERROR ? 0 : 2;
}

int ReconnectNetDrives(bool report) {
    for (char letter = 'D'; letter <= 'Z'; ++letter) {
        char root[3] = {letter, ':', 0};
        const unsigned type = plat::GetNetProvider().QueryDriveType(root);
        if (type < 2) {
            const int result = ReconnectNetDrive(letter);
            if (report && result == 0) std::printf("... Netzlaufwerk %c geoeffnet\n", letter);
            if (report && result == 1) std::printf("... Netzlaufwerk %c ist bereits geoeffnet\n", letter);
        } else if (type == DRIVE_REMOTE && report) {
            std::printf("... Netzlaufwerk %c ist bereits geoeffnet\n", letter);
        }
    }
    return 0;
}
