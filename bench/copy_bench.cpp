// Times the library's copies against cp in the same run, on the same files,
// the cache warm, and prints the ratios.
//
//   big:   one file of 1 GiB of real (non-zero, incompressible) data, copied
//          by CopyFileWithTimes, by CopyFileChecked (times and attributes
//          kept, size checked) and by `cp --preserve=timestamps`.
//   small: 10,000 files of 0 to 16 KiB, copied one by one with
//          CopyFileWithTimes, against one `cp -p -r` of the same files.
//
// Every copy writes a fresh destination; the outputs are removed and the
// disk synced between runs, outside the timing. The median of the rounds
// counts.
//
//   build/bench/bench/copy_bench [--dir PARENT] [--rounds N] [--size-mib N] [--files N]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "filelib/fileops/file_copy.h"

namespace fs = std::filesystem;

namespace {

double Seconds(const std::chrono::steady_clock::time_point& start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string Quote(const std::string& text) { return "'" + text + "'"; }

void Settle() {
    if (std::system("sync") != 0) std::fprintf(stderr, "sync failed\n");
}

void WriteRandom(const std::string& path, uint64_t size, uint64_t seed) {
    std::mt19937_64 random(seed);
    std::vector<uint64_t> block(1 << 17);
    std::ofstream out(path, std::ios::binary);
    for (uint64_t written = 0; written < size;) {
        for (auto& word : block) word = random();
        const uint64_t chunk = std::min<uint64_t>(size - written, block.size() * sizeof(uint64_t));
        out.write(reinterpret_cast<const char*>(block.data()), std::streamsize(chunk));
        written += chunk;
    }
}

void WarmUp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> buffer(1 << 20);
    while (in.read(buffer.data(), std::streamsize(buffer.size())) || in.gcount() > 0) {
    }
}

bool SameContent(const std::string& a, const std::string& b) {
    if (fs::file_size(a) != fs::file_size(b)) return false;
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    std::vector<char> bx(1 << 20), by(1 << 20);
    while (x.read(bx.data(), std::streamsize(bx.size())) || x.gcount() > 0) {
        y.read(by.data(), std::streamsize(by.size()));
        if (x.gcount() != y.gcount() || std::memcmp(bx.data(), by.data(), size_t(x.gcount())) != 0) return false;
    }
    return true;
}

int BigFile(const std::string& dir, int rounds, uint64_t mib) {
    const std::string src = dir + "/big.bin";
    const uint64_t size = mib << 20;
    WriteRandom(src, size, 1);
    WarmUp(src);
    const std::string dst = dir + "/big.copy";
    std::vector<double> withTimes, checked, cp;
    for (int round = 0; round < rounds; ++round) {
        for (int turn = 0; turn < 3; ++turn) {
            const int tool = (turn + round) % 3;  // no tool always first after the sync
            fs::remove(dst);
            Settle();
            WarmUp(src);
            const auto start = std::chrono::steady_clock::now();
            int result = 0;
            if (tool == 0) result = CopyFileWithTimes(src.c_str(), dst.c_str());
            if (tool == 1) result = CopyFileChecked(src.c_str(), dst.c_str(), true, true, uint32_t(size));
            if (tool == 2) result = std::system(("cp --preserve=timestamps " + Quote(src) + " " + Quote(dst)).c_str());
            const double took = Seconds(start);
            if (result != 0 || (round == 0 && !SameContent(src, dst))) {
                std::fprintf(stderr, "copy %d failed (%d)\n", tool, result);
                return 1;
            }
            (tool == 0 ? withTimes : tool == 1 ? checked : cp).push_back(took);
        }
    }
    fs::remove(dst);
    fs::remove(src);
    const double mb = double(size) / 1e6;
    std::printf("1 file of %llu MiB, median of %d rounds:\n", (unsigned long long)mib, rounds);
    std::printf("  CopyFileWithTimes                %8.1f MB/s\n", mb / Median(withTimes));
    std::printf("  CopyFileChecked (times, attrs)   %8.1f MB/s\n", mb / Median(checked));
    std::printf("  cp --preserve=timestamps         %8.1f MB/s\n", mb / Median(cp));
    std::printf("  throughput ratio CopyFileWithTimes / cp: %.2f (goal >= 0.90)\n", Median(cp) / Median(withTimes));
    std::printf("  throughput ratio CopyFileChecked / cp:   %.2f (goal >= 0.90)\n", Median(cp) / Median(checked));
    return 0;
}

int SmallFiles(const std::string& dir, int rounds, int files) {
    const std::string src = dir + "/small";
    fs::create_directories(src);
    std::mt19937 random(7);
    std::vector<std::string> names;
    for (int i = 0; i < files; ++i) {
        names.push_back("file" + std::to_string(i) + ".dat");
        WriteRandom(src + "/" + names.back(), random() % (16 * 1024 + 1), uint64_t(i));
    }
    std::vector<double> ours, cp;
    const std::string dst = dir + "/small.copy";
    for (int round = 0; round < rounds; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const int tool = (turn + round) % 2;
            fs::remove_all(dst);
            fs::create_directories(dst);
            Settle();
            const auto start = std::chrono::steady_clock::now();
            bool ok = true;
            if (tool == 0) {
                for (const std::string& name : names)
                    ok = CopyFileWithTimes((src + "/" + name).c_str(), (dst + "/" + name).c_str()) == 0 && ok;
            } else {
                ok = std::system(("cp -p -r " + Quote(src) + "/. " + Quote(dst)).c_str()) == 0;
            }
            const double took = Seconds(start);
            if (!ok) {
                std::fprintf(stderr, "small copy %d failed\n", tool);
                return 1;
            }
            (tool == 0 ? ours : cp).push_back(took);
        }
    }
    fs::remove_all(dst);
    fs::remove_all(src);
    std::printf("%d files of 0 to 16 KiB, median of %d rounds:\n", files, rounds);
    std::printf("  CopyFileWithTimes one by one     %8.3f s\n", Median(ours));
    std::printf("  cp -p                            %8.3f s\n", Median(cp));
    std::printf("  time ratio CopyFileWithTimes / cp -p: %.2f (goal <= 1.50)\n", Median(ours) / Median(cp));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string parent = fs::temp_directory_path().string();
    int rounds = 3;
    uint64_t mib = 1024;
    int files = 10000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--dir") == 0) parent = argv[i + 1];
        if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--size-mib") == 0) mib = uint64_t(std::max(1, std::atoi(argv[i + 1])));
        if (std::strcmp(argv[i], "--files") == 0) files = std::max(1, std::atoi(argv[i + 1]));
    }
    // A folder of its own inside the one given: only that is ever removed.
    const std::string dir = parent + "/vorkstat-copy-bench-" + std::to_string(std::random_device()());
    if (!fs::create_directory(dir)) {
        std::fprintf(stderr, "cannot make %s\n", dir.c_str());
        return 1;
    }
    int status = BigFile(dir, rounds, mib);
    if (status == 0) status = SmallFiles(dir, rounds, files);
    fs::remove_all(dir);
    return status;
}
