// A folder of its own for every test that deletes, renames or replaces,
// with a file beside it that must survive whatever the test does.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "filelib/fileops/file_ops.h"
#include "support/temp_dir.h"
#include "support/tree_checks.h"

namespace fileops_test {

namespace fs = std::filesystem;

class Sandbox : public ::testing::Test {
protected:
    void SetUp() override { temp_.MakeDir("work"); }
    void TearDown() override { EXPECT_TRUE(guard_.Intact()) << "the file beside the test's folder was harmed"; }

    // A path inside the test's folder.
    std::string At(const std::string& relative) const { return temp_ / ("work/" + relative); }
    std::string Work() const { return temp_ / "work"; }
    void Write(const std::string& relative, const std::string& text) const { temp_.WriteText("work/" + relative, text); }
    void MakeDir(const std::string& relative) const { temp_.MakeDir("work/" + relative); }

    const testsupport::TempDir& Temp() const { return temp_; }

private:
    testsupport::TempDir temp_;
    testsupport::GuardFile guard_{temp_};  // made after temp_, beside "work"
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
using PathText = testsupport::FixedText<6000>;

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
