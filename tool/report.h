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

// Prints the report line and returns the exit code: the total in the
// unit (truncated, low 32 bits), or 0/1 against a limit.
int32_t Report(uint64_t total, const RunOptions& options);
