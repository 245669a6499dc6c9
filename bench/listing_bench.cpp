// Runs one finder listing or one name-list sort and prints what it did and
// how long the work itself took, so that the driver (listing_bench.py) can
// compare it with ls and with itself at other sizes.
//
//     listing_bench list MODE FOLDER     one ListAllFiles in sort mode MODE
//     listing_bench sortnames COUNT      SortNameList of COUNT generated names
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "filelib/enum/file_finder.h"
#include "filelib/paths/file_names.h"

namespace {

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int List(int mode, const char* folder) {
    std::vector<char> dir(folder, folder + std::strlen(folder) + 1);
    dir.resize(dir.size() + 4);
    const auto start = std::chrono::steady_clock::now();
    CFileFinder finder;
    finder.m_nSortOrder = mode;
    const int count = finder.ListAllFiles(dir.data());
    const double seconds = Since(start);
    std::printf("%d %.6f %s\n", count, seconds, count > 0 ? finder.GetNameAt(0) : "");
    return 0;
}

int SortNames(int count) {
    const int size = 64;
    std::vector<char> list(size_t(count) * size, 0);
    std::mt19937 random(20261208);
    // Names of mixed case with many repeats, as in a real folder listing.
    for (int i = 0; i < count; ++i) {
        std::string name;
        const int length = 3 + int(random() % 20);
        for (int k = 0; k < length; ++k) name += char((random() % 2 ? 'a' : 'A') + random() % 26);
        if (random() % 4 == 0) name = "same" + std::to_string(random() % 100);
        std::memcpy(&list[size_t(i) * size], name.c_str(), name.size() + 1);
    }
    const auto start = std::chrono::steady_clock::now();
    SortNameList(list.data(), count, size);
    const double seconds = Since(start);
    std::printf("%d %.6f %s\n", count, seconds, list.data());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "list") == 0) return List(std::atoi(argv[2]), argv[3]);
    if (argc == 3 && std::strcmp(argv[1], "sortnames") == 0) return SortNames(std::atoi(argv[2]));
    std::fprintf(stderr, "usage: %s list MODE FOLDER | sortnames COUNT\n", argv[0]);
    return 2;
}
