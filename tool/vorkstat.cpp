#include "tool/vorkstat.h"

#include <cstdio>
#include <cstring>

#include "filelib/paths/filelib_context.h"
#include "filelib/paths/net_drive.h"
#include "filelib/paths/path_parts.h"
#include "filelib/platform/platform.h"
#include "tool/progress.h"
#include "tool/size_walk.h"

namespace {

void WaitForKey() {
    std::fflush(stdout);
    plat::WaitForKey();
}

}  // namespace

ReportOutcome MeasurePath(const char* path, const RunOptions& options, WalkProgress* progress) {
    // Room for the longest path and the root slash a bare drive gets.
    static char walked[plat::kLongestPath + 1];
    WalkOutcome walk;
    if (std::strlen(path) < sizeof walked - 1) {
        std::strcpy(walked, path);
        ReconnectNetDrive(GetDriveLetter(walked));
        walk = WalkTree(walked, progress);
    } else {
        walk.topError = plat::Error::NameTooLong;
    }
    ReportOutcome outcome = ComposeReport(walk.bytes, options);
    outcome.notice = ComposeWalkNotice(path, walk);
    return outcome;
}

int RunVorkstat(int argc, char** argv) {
    if (!plat::StartApplication(argc, argv)) {
        std::printf("Schwerwiegender Fehler: MFC-Initialisierung fehlgeschlagen\n");
        return -1;
    }
    InitFileLibrary();
    if (argc < 2 || IsHelpRequest(argv[1])) {
        PrintUsage();
        if (!WriteOutput("")) ReportOutputFailure();
        WaitForKey();
        return -1;
    }
    const RunOptions options = ParseOptions(argc, argv);
    WalkProgress progress;
    ReportOutcome outcome;
    {
        // Gone from the terminal before anything else is written.
        ProgressDisplay display(progress, plat::StandardErrorIsTerminal(), WriteErrorText);
        outcome = MeasurePath(argv[1], options, &progress);
    }
    if (!outcome.notice.empty()) WriteErrorText(outcome.notice);
    int32_t result = outcome.exitCode;
    // A report nobody can read is no result: scripts must not take the
    // status for a size or a verdict.
    if (!WriteOutput(outcome.line.c_str())) {
        ReportOutputFailure();
        result = -1;
    }
    if (options.prompt) WaitForKey();
    return result;
}
