// The command line of vorkstat: the path, then /E=<0,1,2>, /L=<Wert>, /X.
#pragma once

struct RunOptions {
    double unitFactor = 1.0;  // bytes per reported unit: 1, 1024 or 1048576
    double limit = 0.0;       // in bytes once parsed; 0 means no limit
    bool prompt = true;       // wait for a key before ending
};

// Reads the switches from argv[2] on, in order, case-insensitively;
// what matches none is ignored. The limit comes back scaled to bytes.
RunOptions ParseOptions(int argc, char** argv);

// True when the first argument asks for the usage text: "/?", and where
// the system's programs take dashes also "-h" and "--help". Anything else
// in that place is the path.
bool IsHelpRequest(const char* firstArg);
