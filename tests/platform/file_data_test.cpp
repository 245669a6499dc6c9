#include "filelib/platform/platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/file_system.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Copies `length` bytes from one path to a new one through the handles.
bool CopyThrough(const std::string& from, const std::string& to, uint64_t length) {
    plat::FileHandle in = plat::OpenForReading(from.c_str());
    plat::FileHandle out = plat::OpenForWriting(to.c_str());
    const bool copied = in != nullptr && out != nullptr && plat::CopyFileData(in, out, length);
    const bool closed = out != nullptr && plat::CloseFile(out);
    if (in != nullptr) plat::CloseFile(in);
    return copied && closed;
}

class FileDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_.MakeDir("work");
        dir_.WriteText("beside.txt", "kept");
    }
    void TearDown() override { EXPECT_EQ("kept", ReadAll(dir_ / "beside.txt")); }
    std::string At(const std::string& name) const { return dir_ / ("work/" + name); }
    TempDir dir_;
};

TEST_F(FileDataTest, HolesStayHoles) {
    const uint64_t length = 64u << 20;
    dir_.WriteFile("work/sparse", length);
    {
        std::fstream out(At("sparse"), std::ios::in | std::ios::out | std::ios::binary);
        out.write("head", 4);
        out.seekp(std::streamoff(length / 2));
        out.write("middle", 6);
    }
    const uint64_t sourceTakes = testsupport::AllocatedBytes(At("sparse"));
    ASSERT_TRUE(CopyThrough(At("sparse"), At("copy"), length));
    EXPECT_EQ(length, fs::file_size(At("copy")));
    EXPECT_TRUE(ReadAll(At("sparse")) == ReadAll(At("copy")));
    if (testsupport::IsPosix() && sourceTakes < (4u << 20)) {
        EXPECT_LT(testsupport::AllocatedBytes(At("copy")), uint64_t(8u << 20));
    }
}

TEST_F(FileDataTest, SourceShorterThanPromisedFails) {
    dir_.WriteText("work/short", "12345");
    EXPECT_FALSE(CopyThrough(At("short"), At("copy"), 6));
    EXPECT_FALSE(CopyThrough(At("short"), At("copy2"), 300000));
    EXPECT_TRUE(CopyThrough(At("short"), At("copy3"), 5));
    EXPECT_EQ("12345", ReadAll(At("copy3")));
}

TEST_F(FileDataTest, FoldersAreNotOpenedForReading) {
    dir_.MakeDir("work/folder");
    EXPECT_EQ(nullptr, plat::OpenForReading(At("folder").c_str()));
    EXPECT_EQ(nullptr, plat::OpenForReading(At("missing").c_str()));
}

TEST_F(FileDataTest, IdentityFollowsHardLinksAndSpellings) {
    dir_.WriteText("work/a", "x");
    dir_.WriteText("work/b", "x");
    fs::create_hard_link(At("a"), At("a-link"));
    plat::FileIdentity a, same, link, other, missing;
    ASSERT_TRUE(plat::QueryPathIdentity(At("a").c_str(), &a));
    ASSERT_TRUE(plat::QueryPathIdentity((dir_ / "work/./a").c_str(), &same));
    ASSERT_TRUE(plat::QueryPathIdentity(At("a-link").c_str(), &link));
    ASSERT_TRUE(plat::QueryPathIdentity(At("b").c_str(), &other));
    EXPECT_TRUE(plat::SameFile(a, same));
    EXPECT_TRUE(plat::SameFile(a, link));
    EXPECT_FALSE(plat::SameFile(a, other));
    EXPECT_FALSE(plat::QueryPathIdentity(At("missing").c_str(), &missing));
}

TEST_F(FileDataTest, FileBesideTheTarget) {
    dir_.WriteText("work/target", "old");
    if (testsupport::IsPosix()) fs::permissions(At("target"), fs::perms(0666));
    char temp[600];
    plat::FileHandle file = plat::CreateFileBeside(At("target").c_str(), temp, sizeof temp);
    ASSERT_NE(nullptr, file);
    EXPECT_TRUE(plat::CloseFile(file));
    EXPECT_EQ(fs::path(At("target")).parent_path(), fs::path(temp).parent_path());
    EXPECT_NE(At("target"), std::string(temp));
    EXPECT_EQ("old", ReadAll(At("target")));
    if (testsupport::IsPosix()) {
        // Its owner's alone, however open the target is, until it is complete.
        EXPECT_EQ(fs::perms(0600), fs::status(temp).permissions() & fs::perms::mask);
    }
    char tooSmall[8];
    EXPECT_EQ(nullptr, plat::CreateFileBeside(At("target").c_str(), tooSmall, sizeof tooSmall));
}

TEST_F(FileDataTest, TimesRoundTripToTheTick) {
    dir_.WriteText("work/t", "x");
    plat::FileTimes times;
    // 15 July 2020 10:00:00.1234567 UTC, in 100-ns ticks since 1601.
    const uint64_t ticks = 132392808001234567ull;
    times.create = times.access = times.write = FILETIME{DWORD(ticks & 0xFFFFFFFFu), DWORD(ticks >> 32)};
    plat::FileHandle file = plat::OpenForWriting(At("t").c_str());
    ASSERT_NE(nullptr, file);
    EXPECT_TRUE(plat::SetOpenFileTimes(file, times));
    EXPECT_TRUE(plat::CloseFile(file));
    plat::FileHandle again = plat::OpenForReading(At("t").c_str());
    ASSERT_NE(nullptr, again);
    plat::FileTimes read;
    uint64_t length = 1;
    ASSERT_TRUE(plat::QueryOpenFile(again, &length, nullptr, &read));
    plat::CloseFile(again);
    EXPECT_EQ(0u, length);
    EXPECT_EQ(ticks, (uint64_t(read.write.dwHighDateTime) << 32) | read.write.dwLowDateTime);
    EXPECT_EQ(ticks, (uint64_t(read.access.dwHighDateTime) << 32) | read.access.dwLowDateTime);
}

}  // namespace
