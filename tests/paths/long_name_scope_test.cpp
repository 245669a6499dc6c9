#include "filelib/paths/long_name_scope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "filelib/enum/file_finder.h"
#include "filelib/fileops/file_ops.h"
#include "filelib/platform/platform.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

using testsupport::Sep;

std::string CurrentDir() {
    char buf[plat::kLongestPath];
    return plat::GetCurrentDir(buf, sizeof buf) ? std::string(buf) : std::string("<unknown>");
}

class LongNameScope : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = CurrentDir();
        dir_.MakeDir("sub");
        dir_.WriteText("sub/inner.txt", "x");
    }
    void TearDown() override {
        EXPECT_EQ(saved_, CurrentDir()) << "the scope left another folder current";
        plat::ChangeDir(saved_.c_str());
    }
    std::string saved_;
    testsupport::TempDir dir_;
};

TEST_F(LongNameScope, WorksFromInsideTheFolderAndComesBack) {
    const std::string path = dir_ / "sub" + Sep() + "inner.txt";
    struct Case {
        size_t threshold;
        bool inFolder;
    } cases[] = {
        {0, true},
        {path.size() - 1, true},  // one character over
        {path.size(), false},     // at the threshold: unchanged
        {SIZE_MAX, false},
    };
    for (const Case& c : cases) {
        {
            CLongNameScope scope(path.c_str(), c.threshold);
            ASSERT_TRUE(scope.IsReady()) << c.threshold;
            EXPECT_EQ(c.inFolder, scope.IsInFolder()) << c.threshold;
            EXPECT_EQ(c.inFolder ? std::string("inner.txt") : path, std::string(scope.GetName())) << c.threshold;
            EXPECT_NE(INVALID_FILE_ATTRIBUTES, plat::ReadAttributes(scope.GetName())) << c.threshold;
            if (c.inFolder) {
                EXPECT_EQ(plat::ReadAttributes((dir_ / "sub").c_str()), plat::ReadAttributes(CurrentDir().c_str()));
                EXPECT_NE(saved_, CurrentDir());
            } else {
                EXPECT_EQ(saved_, CurrentDir());
            }
        }
        EXPECT_EQ(saved_, CurrentDir()) << c.threshold;
    }
}

TEST_F(LongNameScope, AFolderThatCannotBeEnteredStopsTheOperation) {
    const std::string missing = dir_ / "missing" + Sep() + "x.txt";
    const std::string file = dir_ / "sub" + Sep() + "inner.txt" + Sep() + "x";
    for (const std::string& path : {missing, file}) {
        CLongNameScope scope(path.c_str(), 0);
        EXPECT_FALSE(scope.IsReady()) << path;
        EXPECT_FALSE(scope.IsInFolder()) << path;
        EXPECT_EQ(saved_, CurrentDir()) << path;
    }
}

TEST_F(LongNameScope, BareNamesAndRoots) {
    {
        CLongNameScope scope("inner.txt", 0);  // no folder to enter
        EXPECT_TRUE(scope.IsReady());
        EXPECT_FALSE(scope.IsInFolder());
        EXPECT_STREQ("inner.txt", scope.GetName());
    }
    {
        const std::string rooted = Sep() + "x";
        CLongNameScope scope(rooted.c_str(), 0);
        ASSERT_TRUE(scope.IsReady());
        EXPECT_STREQ("x", scope.GetName());
        const std::string now = CurrentDir();
        EXPECT_EQ(Sep()[0], now.back()) << now;  // a root: "/" or "C:\"
        EXPECT_LE(now.size(), 3u) << now;
    }
    {
        CLongNameScope scope(nullptr, 0);
        EXPECT_TRUE(scope.IsReady());
        EXPECT_STREQ("", scope.GetName());
    }
}

// A name past the system's threshold, in a folder short enough to enter:
// GetAttributes reads it from inside on Windows, directly on POSIX.
TEST_F(LongNameScope, AttributesOfAPathPastTheThreshold) {
    const std::string folderName(std::max<int>(1, 200 - int(dir_.path().size())), 'f');
    dir_.MakeDir(folderName);
    const std::string folder = dir_ / folderName;
    const std::string name(80, 'n');
    ASSERT_EQ(plat::Error::None, plat::ChangeDir(folder.c_str()));
    std::FILE* file = std::fopen(name.c_str(), "wb");
    plat::ChangeDir(saved_.c_str());
    if (file == nullptr && testsupport::RunningUnderWine()) GTEST_SKIP() << "Wine cannot make the long name";
    ASSERT_NE(nullptr, file);
    std::fclose(file);
    const std::string path = folder + Sep() + name;
    ASSERT_GT(path.size(), 255u);
    const DWORD attrib = GetAttributes(path.c_str());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, attrib);
    EXPECT_EQ(0u, attrib & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetAttributes((folder + Sep() + std::string(80, 'm')).c_str()));
}

// The scope saves and gives back any current folder the library can be in,
// up to the longest path it handles.
TEST_F(LongNameScope, GivesBackACurrentFolderOfTheLongestPath) {
    const std::string path = dir_ / "sub" + Sep() + "inner.txt";
    for (const size_t length : {size_t(300), size_t(2000), plat::kLongestPath - 1}) {
        std::string deep = dir_ / "d" + std::to_string(length);
        while (deep.size() < length) deep += Sep() + std::string(std::min<size_t>(200, length - deep.size() - 1), 'x');
        ASSERT_EQ(length, deep.size());
        std::error_code failed;
        std::filesystem::create_directories(deep, failed);
        if (failed || plat::ChangeDir(deep.c_str()) != plat::Error::None)
            GTEST_SKIP() << "the system takes no current folder of " << length << " characters";
        {
            CLongNameScope scope(path.c_str(), 0);
            EXPECT_TRUE(scope.IsReady()) << length;
            EXPECT_TRUE(scope.IsInFolder()) << length;
            EXPECT_STREQ("inner.txt", scope.GetName());
        }
        const std::string now = CurrentDir();
        plat::ChangeDir(saved_.c_str());
        EXPECT_EQ(deep, now) << length;
    }
}

}  // namespace
