// The vorkstat command: one run from its arguments to its exit code.
#pragma once

// Returns the process's exit code.
int RunVorkstat(int argc, char** argv);
