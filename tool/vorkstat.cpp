#include "tool/vorkstat.h"

#include <cstdio>
#include <cstring>

#include "filelib/paths/filelib_context.h"
#include "filelib/paths/net_drive.h"
#include "filelib/paths/path_parts.h"
#include "filelib/platform/platform.h"
#include "tool/options.h"
#include "tool/report.h"
#include "tool/size_walk.h"

namespace {

void WaitForKey() {
    std::fflush(stdout);
    plat::WaitForKey();
}

}  // namespace

int RunVorkstat(int argc, char** argv) {
    if (!plat::StartApplication(argc, argv)) {
        std::printf("Schwerwiegender Fehler: MFC-Initialisierung fehlgeschlagen\n");
        return -1;
    }
    InitFileLibrary();
    if (argc < 2) {
        PrintUsage();
        WaitForKey();
        return -1;
    }
    const RunOptions options = ParseOptions(argc, argv);

    // Room for the longest POSIX path and the root slash of a bare drive.
    static char path[4100];
    uint64_t total = 0;
    if (std::strlen(argv[1]) < sizeof path - 1) {
        std::strcpy(path, argv[1]);
        ReconnectNetDrive(GetDriveLetter(path));
        total = WalkSizeBytes(path);
    }
    const int32_t result = Report(total, options);
    if (options.prompt) WaitForKey();
    return result;
}
