#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "filelib/platform/platform.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;

struct RootCase {
    std::string path;
    bool root;
};

// Only the predicate is asked here: nothing is deleted anywhere.
TEST(IsFileSystemRoot, RootsInEverySpelling) {
    TempDir dir;
    dir.WriteFile("file.txt", 1);
    dir.MakeDir("sub");
    const std::string s = testsupport::Sep();
    std::vector<RootCase> cases = {
        {dir.path(), false},
        {dir / "sub", false},
        {dir / "file.txt", false},
        {dir / "missing", false},
        {dir.path() + s + "sub" + s + "..", false},
    };
    if (testsupport::IsPosix()) {
        cases.insert(cases.end(), {{"/", true}, {"//", true}, {"/.", true}, {"/./", true}, {"/..", true},
                                   {dir.path() + "/../../../../../../../../../../..", true},
                                   {"/tmp/..", true},
                                   {"C:", false}});  // an ordinary name on POSIX
        std::error_code error;
        std::filesystem::create_directory_symlink("/", dir / "link-to-root", error);
        if (!error) cases.push_back({dir / "link-to-root", true});
    } else {
        cases.insert(cases.end(), {{"C:\\", true}, {"C:/", true}, {"c:\\", true}, {"C:", true}, {"c:", true},
                                   {"C:\\.", true}, {"C:\\windows\\..", true}, {"C:\\\\", true}, {"\\", true},
                                   {"/", true}, {"C:\\windows", false}});
    }
    for (const RootCase& c : cases) EXPECT_EQ(c.root, plat::IsFileSystemRoot(c.path.c_str())) << c.path;
}

TEST(IsFileSystemRoot, EmptyTextIsTheCurrentFolder) {
    TempDir dir;
    {
        testsupport::ScopedCurrentDir here(dir.path());
        EXPECT_FALSE(plat::IsFileSystemRoot(""));
        EXPECT_FALSE(plat::IsFileSystemRoot(nullptr));
        EXPECT_FALSE(plat::IsFileSystemRoot("."));
    }
    testsupport::ScopedCurrentDir root(testsupport::IsPosix() ? "/" : "C:\\");
    EXPECT_TRUE(plat::IsFileSystemRoot(""));
    EXPECT_TRUE(plat::IsFileSystemRoot("."));
}

}  // namespace
