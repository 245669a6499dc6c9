// Lists a tree with CFileFinder::ListTreeFiles and prints what it found, in
// the form of `find TREE -printf '%s %p\n'`, so that both do the same work:
// walk, take each file's size and path, write them out.
//
//     finder_tree_bench TREE
#include <cstdio>
#include <cstring>

#include "filelib/enum/file_finder.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: finder_tree_bench TREE\n");
        return 2;
    }
    static char root[300];
    if (std::strlen(argv[1]) >= sizeof root) return 2;
    std::strcpy(root, argv[1]);
    static CFileFinder finder;
    const int32_t count = finder.ListTreeFiles(root);
    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    for (int32_t i = 0; i < count; ++i) std::printf("%u %s\n", finder.GetSizeAt(i), finder.GetPathAt(i));
    std::fprintf(stderr, "%d files, %.0f bytes\n", count, finder.m_dTotalSize);
    return 0;
}
