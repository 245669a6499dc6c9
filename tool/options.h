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
