#include "filelib/tree/folder_emptying.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/tree_checks.h"

namespace {

namespace fs = std::filesystem;
using testsupport::EntriesBelow;
using testsupport::GuardFile;
using testsupport::TempDir;
using Entries = std::vector<std::string>;

TEST(DeleteFolderFiles, DeletesOnlyTheFolderOwnFiles) {
    TempDir dir;
    GuardFile guard(dir);
    dir.WriteFile("f/a.txt", 1);
    dir.WriteFile("f/.hidden", 1);
    dir.WriteFile("f/ro.dat", 1);
    dir.WriteFile("f/sub/b.txt", 1);
    testsupport::MakeReadOnly(dir / "f/ro.dat");
    EXPECT_EQ(0, DeleteFolderFiles((dir / "f").c_str()));
    // A read-only file stays, as do the subfolder and its contents.
    EXPECT_EQ((Entries{"f", "f/ro.dat", "f/sub", "f/sub/b.txt"}), EntriesBelow(dir.path()));
    EXPECT_TRUE(guard.Intact());
}

TEST(DeleteFolderFiles, EmptyAndMissingFolders) {
    TempDir dir;
    GuardFile guard(dir);
    dir.MakeDir("empty");
    EXPECT_EQ(0, DeleteFolderFiles((dir / "empty").c_str()));
    EXPECT_EQ(0, DeleteFolderFiles((dir / "missing").c_str()));
    EXPECT_EQ((Entries{"empty"}), EntriesBelow(dir.path()));
    EXPECT_TRUE(guard.Intact());
}

TEST(DeleteFolderFiles, OneCallEmptiesUpToTheListingsCapacity) {
    TempDir dir;
    GuardFile guard(dir);
    for (int i = 0; i < 2005; ++i) dir.WriteFile("f/n" + std::to_string(10000 + i), 0);
    EXPECT_EQ(0, DeleteFolderFiles((dir / "f").c_str()));
    EXPECT_EQ(5u, EntriesBelow(dir / "f").size());
    EXPECT_EQ(0, DeleteFolderFiles((dir / "f").c_str()));
    EXPECT_EQ(0u, EntriesBelow(dir / "f").size());
    EXPECT_TRUE(guard.Intact());
}

TEST(DeleteFolderFiles, EmptyTextIsTheCurrentFolder) {
    TempDir dir;
    GuardFile guard(dir);
    dir.WriteFile("here/a.txt", 1);
    dir.WriteFile("here/sub/b.txt", 1);
    testsupport::ScopedCurrentDir current(dir / "here");
    EXPECT_EQ(0, DeleteFolderFiles(""));
    EXPECT_EQ((Entries{"here", "here/sub", "here/sub/b.txt"}), EntriesBelow(dir.path()));
    EXPECT_TRUE(guard.Intact());
}

}  // namespace
