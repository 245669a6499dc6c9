// What vorkstat prints and returns.
#pragma once

#include <cstdint>
#include <string>

#include "tool/options.h"

// The usage text, banner first.
void PrintUsage();

// "1536 Bytes", "1.50 kB" or "1.50 MB" for the unit factor.
std::string FormatSizeText(uint64_t total, double unitFactor);

// True when the total lies beyond the limit, compared exactly.
bool ExceedsLimit(uint64_t total, double limit);

// What a run with a path prints and returns.
struct ReportOutcome {
    std::string line;  // the one report line, "\n" included
    int32_t exitCode;  // the total in the unit (truncated, low 32 bits), or 0/1 against a limit
};

// The report line and exit code for a total, computed without printing.
ReportOutcome ComposeReport(uint64_t total, const RunOptions& options);

// Writes text to standard output and flushes it; false when it could not
// be written whole (output closed, disk full, pipe gone).
bool WriteOutput(const char* text);

// Tells standard error that the report could not be written.
void ReportOutputFailure();
