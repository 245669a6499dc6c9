#include "tool/options.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "filelib/platform/platform.h"

namespace {

bool StartsWithUpper(const char* arg, const char* prefix) {
    for (; *prefix != 0; ++arg, ++prefix) {
        if (std::toupper(static_cast<unsigned char>(*arg)) != *prefix) return false;
    }
    return true;
}

// atoi without its undefined behaviour on values out of range.
long ReadInteger(const char* text) { return std::strtol(text, nullptr, 10); }

}  // namespace

RunOptions ParseOptions(int argc, char** argv) {
    RunOptions options;
    for (int i = 2; i < argc; ++i) {
        const char* arg = argv[i];
        if (StartsWithUpper(arg, "/E=")) {
            const long unit = ReadInteger(arg + 3);
            if (unit == 1) options.unitFactor = 1024.0;
            if (unit == 2) options.unitFactor = 1048576.0;
        }
        if (StartsWithUpper(arg, "/L=")) {
            options.limit = std::strtod(arg + 3, nullptr);
        } else if (StartsWithUpper(arg, "/X")) {
            options.prompt = false;
        }
    }
    // Scaled once all switches are read, so their order does not matter.
    options.limit *= options.unitFactor;
    return options;
}

bool IsHelpRequest(const char* firstArg) {
    if (std::strcmp(firstArg, "/?") == 0) return true;
    return plat::kDashOptions && (std::strcmp(firstArg, "-h") == 0 || std::strcmp(firstArg, "--help") == 0);
}
