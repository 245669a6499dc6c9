// Runs one record walk over a tree and prints what it found, so that the
// driver (tree_walkers_bench.py) can time it against find.
//
//     tree_walkers_bench entries|files TREE
#include <cstdio>
#include <cstring>

#include "filelib/tree/record_walkers.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s entries|files TREE\n", argv[0]);
        return 2;
    }
    int32_t depth = 0;
    const bool entries = std::strcmp(argv[1], "entries") == 0;
    const int32_t count = entries ? BuildTreeEntryList(argv[2], "", 0, depth) : BuildTreeFileList(argv[2], "", 0, depth);
    std::printf("%d %.0f\n", count, g_dTotalSize);
    return 0;
}
