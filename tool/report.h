// What vorkstat prints and returns.
#pragma once

#include <cstdint>
#include <string>

#include "tool/options.h"
#include "tool/size_walk.h"

// The usage text, banner first.
void PrintUsage();

// "1536 Bytes", "1.50 kB" or "1.50 MB" for the unit factor.
std::string FormatSizeText(uint64_t total, double unitFactor);

// True when the total lies beyond the limit, compared exactly.
bool ExceedsLimit(uint64_t total, double limit);

// What a run with a path prints and returns.
struct ReportOutcome {
    std::string line;  // the one report line, "\n" included
    int32_t exitCode = -1;  // the total in the unit (truncated, low 32 bits), or 0/1 against a limit
    std::string notice = "";  // for standard error: why the total may be short; empty when it is whole
};

// The report line and exit code for a total, computed without printing.
ReportOutcome ComposeReport(uint64_t total, const RunOptions& options);

// The one line for standard error ("\n" included) that says why a walk of
// `path` (as typed) counted less than the whole tree: the path could not be
// walked, or folders below it could not be read. Empty when all was read.
std::string ComposeWalkNotice(const char* path, const WalkOutcome& outcome);

// Writes text to standard output and flushes it; false when it could not
// be written whole (output closed, disk full, pipe gone).
bool WriteOutput(const char* text);

// Tells standard error that the report could not be written.
void ReportOutputFailure();

// Writes text to standard error as it is, at once.
void WriteErrorText(const std::string& text);
