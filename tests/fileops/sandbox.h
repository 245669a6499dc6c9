// A folder of its own for every test that deletes, renames or replaces,
// with a file beside it that must survive whatever the test does.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "filelib/fileops/file_ops.h"
#include "support/temp_dir.h"

namespace fileops_test {

namespace fs = std::filesystem;

class Sandbox : public ::testing::Test {
protected:
    void SetUp() override {
        temp_.MakeDir("work");
        temp_.WriteText("beside.txt", kBesideText);
    }
    void TearDown() override {
        std::ifstream in(temp_ / "beside.txt", std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(kBesideText, text) << "the file beside the test's folder was harmed";
    }

    // A path inside the test's folder.
    std::string At(const std::string& relative) const { return temp_ / ("work/" + relative); }
    std::string Work() const { return temp_ / "work"; }
    void Write(const std::string& relative, const std::string& text) const { temp_.WriteText("work/" + relative, text); }
    void MakeDir(const std::string& relative) const { temp_.MakeDir("work/" + relative); }

    const testsupport::TempDir& Temp() const { return temp_; }

private:
    static constexpr const char* kBesideText = "must survive";
    testsupport::TempDir temp_;
};

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline bool Exists(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

inline bool IsReadOnly(const std::string& path) {
    const DWORD attributes = GetAttributes(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

// A writable copy of a path text, as the folder operations want it.
struct PathText {
    explicit PathText(const std::string& path) { std::snprintf(text, sizeof text, "%s", path.c_str()); }
    char text[6000];
};

// Sets a file's write time to a whole second, given as seconds since 1970.
inline void SetWriteTime(const std::string& path, int64_t seconds) {
    using namespace std::chrono;
    const auto sysNow = system_clock::now();
    const auto fileNow = fs::file_time_type::clock::now();
    const auto target = system_clock::time_point(duration_cast<system_clock::duration>(std::chrono::seconds(seconds)));
    fs::last_write_time(path, fileNow + duration_cast<fs::file_time_type::duration>(target - sysNow));
}

// Write time in whole seconds since 1970, read without the library.
inline int64_t WriteTimeOf(const std::string& path) {
    using namespace std::chrono;
    const auto sysNow = system_clock::now();
    const auto fileNow = fs::file_time_type::clock::now();
    const auto asSystem = sysNow + duration_cast<system_clock::duration>(fs::last_write_time(path) - fileNow);
    // The two clocks were read a moment apart: round to the nearest second.
    return duration_cast<seconds>(asSystem.time_since_epoch() + milliseconds(500)).count();
}

}  // namespace fileops_test
