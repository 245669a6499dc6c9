#include "filelib/enum/file_finder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "filelib/fileops/file_ops.h"
#include "support/file_system.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/tree_checks.h"

namespace {

namespace fs = std::filesystem;
using testsupport::EntriesBelow;
using testsupport::FolderLinkOrWhy;
using testsupport::MakeReadOnly;
using testsupport::TempDir;
using Guard = testsupport::GuardFile;
using Text = testsupport::WritableText;
using Entries = std::vector<std::string>;

TEST(FinderTreeBulk, ClearTreeKeepsWhatWasNotAskedFor) {
    struct Case {
        const char* name;
        const char* list;
        bool removeRoot;
        int32_t result;
        Entries left;  // below the temp folder
    } cases[] = {
        {"all files, root kept", "", false, 4, {"root"}},
        {"all files, root removed", "", true, 4, {}},
        {"only txt", "txt", false, 3, {"root", "root/keep", "root/keep/c.doc"}},
        {"only txt, root asked to go but still holds a file", "txt", true, 3,
         {"root", "root/keep", "root/keep/c.doc"}},
        {"nothing matches", "zip", false, 0,
         {"root", "root/a.txt", "root/keep", "root/keep/b.txt", "root/keep/c.doc", "root/s", "root/s/t",
          "root/s/t/d.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        Guard guard(dir);
        dir.WriteFile("root/a.txt", 1);
        dir.WriteFile("root/keep/b.txt", 1);
        dir.WriteFile("root/keep/c.doc", 1);
        dir.WriteFile("root/s/t/d.txt", 1);
        dir.MakeDir("root/e");
        MakeReadOnly(dir / "root/a.txt");  // read-only files go too
        CFileFinder finder;
        finder.m_nFlags = FINDER_SKIP_EMPTY;
        finder.m_bTreeOrder = 1;
        Text root(dir / "root");
        EXPECT_EQ(c.result, c.list[0] != 0 ? finder.ClearTree(root.text, c.list, c.removeRoot)
                                           : finder.ClearTree(root.text, c.removeRoot));
        // The finder is back at its defaults.
        EXPECT_EQ(0u, finder.m_nFlags);
        EXPECT_EQ(0, finder.m_bTreeOrder);
        EXPECT_EQ(0, finder.GetEntryCount());
        EXPECT_EQ(c.left, EntriesBelow(dir.path()));
        EXPECT_TRUE(guard.Intact());
    }
}

// No folder at all: a missing one, a file, and the empty text, which
// names no folder the existence test finds; nothing goes.
TEST(FinderTreeBulk, ClearTreeOfNoFolderDeletesNothing) {
    TempDir dir;
    Guard guard(dir);
    dir.WriteFile("here/a.txt", 1);
    testsupport::ScopedCurrentDir current(dir / "here");
    for (const std::string& path : {dir / "missing", guard.path(), std::string()}) {
        SCOPED_TRACE(path);
        CFileFinder finder;
        Text root(path);
        EXPECT_EQ(0, finder.ClearTree(root.text, true));
    }
    EXPECT_EQ((Entries{"here", "here/a.txt"}), EntriesBelow(dir.path()));
    EXPECT_TRUE(guard.Intact());
}

TEST(FinderTreeBulk, ClearTreeRefusesAMountedRoot) {
    TempDir dir;
    Guard guard(dir);
    dir.MakeDir("mnt");
    testsupport::SmallFileSystem mounted(dir / "mnt", 1 << 20);
    if (!mounted.Mounted()) GTEST_SKIP() << mounted.Reason();
    dir.WriteFile("mnt/a.txt", 1);
    dir.WriteFile("mnt/sub/b.txt", 1);
    CFileFinder finder;
    Text root(dir / "mnt");
    const int32_t result = finder.ClearTree(root.text, true);
    const bool kept = fs::exists(dir / "mnt/a.txt") && fs::exists(dir / "mnt/sub/b.txt");
    EXPECT_EQ(1, result);
    EXPECT_TRUE(kept);
    EXPECT_TRUE(guard.Intact());
}

// A folder link leads outside the tree: clearing the tree never reaches
// what it leads to.
TEST(FinderTreeBulk, ClearTreeNeverEntersAFolderLink) {
    TempDir dir;
    Guard guard(dir);
    dir.WriteFile("root/in.txt", 1);
    const std::string why = testsupport::LinkToOutsideOrWhy(dir, "root/link");
    if (!why.empty()) GTEST_SKIP() << why;
    CFileFinder clearer;
    Text clear(dir / "root");
    clearer.ClearTree(clear.text, true);
    EXPECT_EQ((Entries{"outside", "outside/deeper", "outside/deeper/o2.txt", "outside/o1.txt"}),
              EntriesBelow(dir.path()));
    EXPECT_TRUE(guard.Intact());
}

// A path cut to the record's width could name another file; the long one
// is left out, and the short one that a cut would name stays.
TEST(FinderTreeBulk, ClearTreeLeavesPathsTooLongAlone) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "Windows paths end at 260 characters";
    TempDir dir;
    Guard guard(dir);
    const std::string root = dir / "root";
    const std::string fits(259 - root.size() - 1, 'k');
    dir.WriteFile("root/" + fits, 1);
    dir.WriteFile("root/" + fits + std::string(20, 'k') + ".log", 1);
    dir.WriteFile("root/short.log", 1);
    CFileFinder clearer;
    Text text(root);
    EXPECT_EQ(1, clearer.ClearTree(text.text, "log"));
    EXPECT_TRUE(fs::exists(dir / ("root/" + fits)));
    EXPECT_TRUE(fs::exists(dir / ("root/" + fits + std::string(20, 'k') + ".log")));
    EXPECT_FALSE(fs::exists(dir / "root/short.log"));
    EXPECT_TRUE(guard.Intact());
}

TEST(FinderTreeBulk, CopyTreeKeepsTimesAndAttributesAndMakesOnlyNeededFolders) {
    TempDir dir;
    Guard guard(dir);
    dir.WriteText("src/a.txt", "alpha");
    dir.WriteText("src/sub/deep/b.txt", "beta");
    dir.WriteText("src/other/c.doc", "gamma");
    dir.MakeDir("src/empty");
    const auto stamp = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    fs::last_write_time(dir / "src/sub/deep/b.txt", stamp);
    MakeReadOnly(dir / "src/a.txt");
    CFileFinder finder;
    Text source(dir / "src"), target(dir / "dst/new");
    EXPECT_EQ(0, finder.CopyTree(source.text, target.text, "txt"));
    EXPECT_EQ(0, finder.GetEntryCount());
    EXPECT_EQ((Entries{"new", "new/a.txt", "new/sub", "new/sub/deep", "new/sub/deep/b.txt"}), EntriesBelow(dir / "dst"));
    // Compared with the time the source holds, as the system keeps it.
    EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(
                  fs::last_write_time(dir / "src/sub/deep/b.txt").time_since_epoch())
                  .count(),
              std::chrono::duration_cast<std::chrono::seconds>(
                  fs::last_write_time(dir / "dst/new/sub/deep/b.txt").time_since_epoch())
                  .count());
    EXPECT_NE(0u, GetAttributes((dir / "dst/new/a.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(0u, GetAttributes((dir / "dst/new/sub/deep/b.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(guard.Intact());
}

TEST(FinderTreeBulk, CopyTreeSaysWhenAFileWasNotCopied) {
    TempDir dir;
    Guard guard(dir);
    dir.WriteText("src/a.txt", "alpha");
    dir.WriteText("src/blocked/b.txt", "beta");
    dir.WriteText("src/z/c.txt", "gamma");
    dir.WriteText("dst/blocked", "a file where the copy wants a folder");
    CFileFinder finder;
    Text source(dir / "src"), target(dir / "dst");
    EXPECT_EQ(2, finder.CopyTree(source.text, target.text));
    EXPECT_TRUE(fs::exists(dir / "dst/a.txt"));
    EXPECT_TRUE(fs::exists(dir / "dst/z/c.txt"));
    EXPECT_TRUE(fs::is_regular_file(dir / "dst/blocked"));
    EXPECT_EQ(36u, fs::file_size(dir / "dst/blocked"));
    Text missing(dir / "missing");
    EXPECT_EQ(1, finder.CopyTree(missing.text, target.text));
    EXPECT_TRUE(guard.Intact());
}

TEST(FinderTreeBulk, CopyTreeNeverEntersAFolderLink) {
    TempDir dir;
    Guard guard(dir);
    dir.WriteText("outside/o.txt", "o");
    dir.WriteText("src/a.txt", "a");
    const std::string why = FolderLinkOrWhy(dir / "outside", dir / "src/link");
    if (!why.empty()) GTEST_SKIP() << why;
    CFileFinder finder;
    Text source(dir / "src"), target(dir / "dst");
    EXPECT_EQ(0, finder.CopyTree(source.text, target.text, "txt"));
    EXPECT_EQ((Entries{"a.txt"}), EntriesBelow(dir / "dst"));
    EXPECT_EQ((Entries{"o.txt"}), EntriesBelow(dir / "outside"));
    EXPECT_TRUE(guard.Intact());
}

}  // namespace
