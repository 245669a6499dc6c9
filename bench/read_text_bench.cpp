// Reads a text file with ReadTextFile into a buffer that holds all of it,
// a given number of times, and prints the length read.
//
//     read_text_bench FILE REPEAT
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "filelib/fileops/text_file_log.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: read_text_bench FILE REPEAT\n");
        return 2;
    }
    FILE* file = std::fopen(argv[1], "rb");
    if (file == nullptr) return 2;
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fclose(file);
    std::vector<char> text(size_t(size) + 2);
    size_t length = 0;
    for (int i = 0, repeat = std::atoi(argv[2]); i < repeat; ++i) {
        if (!ReadTextFile(argv[1], text.data(), unsigned(text.size()), false)) return 1;
        length = std::strlen(text.data());
    }
    std::printf("%zu\n", length);
    return 0;
}
