// The vorkstat command: one run from its arguments to its exit code.
#pragma once

#include "tool/options.h"
#include "tool/report.h"

// Returns the process's exit code.
int RunVorkstat(int argc, char** argv);

// The report line, exit code and notice of a run on `path` (the first
// argument as typed), computed without printing anything; the walk counts
// into `progress` when it is given.
ReportOutcome MeasurePath(const char* path, const RunOptions& options, WalkProgress* progress = nullptr);
