#include "filelib/tree/tree_ops.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "filelib/enum/file_finder.h"
#include "filelib/fileops/file_ops.h"
#include "filelib/tree/folder_emptying.h"
#include "support/file_system.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/tree_checks.h"

namespace {

namespace fs = std::filesystem;
using testsupport::EntriesBelow;
using testsupport::FolderLinkOrWhy;
using testsupport::GuardFile;
using testsupport::MakeReadOnly;
using testsupport::TempDir;
using Entries = std::vector<std::string>;

// -------------------------------------------------------------- delete

struct DeleteCase {
    const char* name;
    std::string path;  // below the temp folder
    bool removeSubfolders;
    bool removeFolder;
    int result;
    Entries left;  // below the temp folder
};

TEST(DeleteTreeByPattern, DeletesMatchingFilesAndTheFoldersAsked) {
    const std::string s = testsupport::Sep();
    const Entries untouched = {"t", "t/a.txt", "t/c.bak", "t/s", "t/s/b.txt", "t/s/d.bak", "t/s/u", "t/v"};
    const DeleteCase cases[] = {
        {"one extension at every depth", "t" + s + "*.bak", false, false, 0,
         {"t", "t/a.txt", "t/s", "t/s/b.txt", "t/s/u", "t/v"}},
        {"a folder alone: all its files", "t", false, false, 0, {"t", "t/s", "t/s/u", "t/v"}},
        {"star dot star is all files", "t" + s + "*.*", true, false, 0, {"t"}},
        {"all files and folders", "t", true, true, 0, {}},
        {"a longer extension selects its own files: none here", "t" + s + "*.html", false, false, 0, untouched},
        {"a missing folder", "missing", true, true, 0, untouched},
        {"subfolders still holding files stay", "t" + s + "*.bak", true, true, 1, {"t", "t/a.txt", "t/s", "t/s/b.txt"}},
    };
    for (const DeleteCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        GuardFile guard(dir);
        dir.WriteFile("t/a.txt", 1);
        dir.WriteFile("t/c.bak", 1);
        dir.WriteFile("t/s/b.txt", 1);
        dir.WriteFile("t/s/d.bak", 1);
        dir.MakeDir("t/s/u");
        dir.MakeDir("t/v");
        EXPECT_EQ(c.result, DeleteTreeByPattern((dir / c.path).c_str(), c.removeSubfolders, c.removeFolder));
        EXPECT_EQ(c.left, EntriesBelow(dir.path()));
        EXPECT_TRUE(guard.Intact());
    }
}

TEST(DeleteTreeByPattern, ReadOnlyFilesAndTheirFoldersStay) {
    TempDir dir;
    GuardFile guard(dir);
    dir.WriteFile("t/a.bak", 1);
    dir.WriteFile("t/keep/ro.bak", 1);
    dir.WriteFile("t/other/b.bak", 1);
    MakeReadOnly(dir / "t/keep/ro.bak");
    const std::string path = dir / "t/*.bak";
    EXPECT_EQ(1, DeleteTreeByPattern(path.c_str(), true, true));
    EXPECT_EQ((Entries{"t", "t/keep", "t/keep/ro.bak"}), EntriesBelow(dir.path()));
    EXPECT_TRUE(guard.Intact());
}

TEST(DeleteTreeByPattern, EmptyFolderTextIsTheCurrentFolder) {
    TempDir dir;
    GuardFile guard(dir);
    dir.WriteFile("here/a.bak", 1);
    dir.WriteFile("here/sub/b.bak", 1);
    dir.WriteFile("here/sub/c.txt", 1);
    testsupport::ScopedCurrentDir current(dir / "here");
    EXPECT_EQ(0, DeleteTreeByPattern("*.bak", false, false));
    EXPECT_EQ((Entries{"here", "here/sub", "here/sub/c.txt"}), EntriesBelow(dir.path()));
    EXPECT_EQ(0, DeleteTreeByPattern("", false, false));
    EXPECT_EQ((Entries{"here", "here/sub"}), EntriesBelow(dir.path()));
    EXPECT_TRUE(guard.Intact());
}

// A link to a folder full of files outside the tree: the deletion and the
// pruning take the link away at most, never what it leads to.
TEST(DeleteTreeByPattern, LinksLeadNowhere) {
    TempDir dir;
    GuardFile guard(dir);
    dir.WriteFile("t/a.bak", 1);
    const std::string why = testsupport::LinkToOutsideOrWhy(dir, "t/link", "bak");
    if (!why.empty()) GTEST_SKIP() << why;
    EXPECT_EQ(0, DeleteTreeByPattern((dir / "t").c_str(), true, true));
    EXPECT_FALSE(fs::exists(dir / "t"));
    EXPECT_EQ((Entries{"outside", "outside/deeper", "outside/deeper/o2.bak", "outside/o1.bak"}), EntriesBelow(dir.path()));
    EXPECT_TRUE(guard.Intact());
}

TEST(DeleteTreeByPattern, RefusesAMountedRoot) {
    TempDir dir;
    GuardFile guard(dir);
    dir.MakeDir("mnt");
    testsupport::SmallFileSystem mounted(dir / "mnt", 1 << 20);
    if (!mounted.Mounted()) GTEST_SKIP() << mounted.Reason();
    dir.WriteFile("mnt/a.bak", 1);
    const int result = DeleteTreeByPattern((dir / "mnt").c_str(), true, true);
    const bool kept = fs::exists(dir / "mnt/a.bak");
    EXPECT_EQ(1, result);
    EXPECT_TRUE(kept);
    EXPECT_TRUE(guard.Intact());
}

TEST(DeleteTreeByPattern, TextsBeyondTheWidthsAreRefused) {
    TempDir dir;
    GuardFile guard(dir);
    dir.WriteFile("t/a.bak", 1);
    struct Case {
        const char* name;
        std::string path;
    } cases[] = {
        {"beyond the working copy", (dir / "t") + std::string(500, '/') + "*.bak"},
        // A cut folder text would name "t" itself.
        {"a folder the walk cannot take", (dir / "t") + std::string(200, '/')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(1, DeleteTreeByPattern(c.path.c_str(), true, true));
        EXPECT_EQ(1, PruneFolderTree(((dir / "t") + std::string(500, '/')).c_str()));
        EXPECT_TRUE(fs::exists(dir / "t/a.bak"));
    }
    EXPECT_TRUE(guard.Intact());
}

// --------------------------------------------------------------- prune

struct PruneCase {
    const char* name;
    Entries make;  // folders, or files where the name has a dot
    int result;
    Entries left;
};

// Matching files beyond the tables' capacity stay, and the deletion says
// it is not done, also when the tables fill exactly before a later
// folder's file.
TEST(DeleteTreeByPattern, FilesBeyondTheCapacityMakeItIncomplete) {
    struct Case {
        const char* name;
        int inFirst;
        int inSecond;
        int result;
        size_t left;
    } cases[] = {
        {"2005 files in one folder", 2005, 0, 1, 5},
        {"the tables fill in one folder, a file waits in the next", 2000, 1, 1, 1},
        {"exactly the capacity", 1999, 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        GuardFile guard(dir);
        for (int i = 0; i < c.inFirst; ++i) dir.WriteFile("t/f" + std::to_string(10000 + i) + ".bak", 0);
        for (int i = 0; i < c.inSecond; ++i) dir.WriteFile("t/s/g" + std::to_string(i) + ".bak", 0);
        EXPECT_EQ(c.result, DeleteTreeByPattern((dir / "t/*.bak").c_str(), false, false));
        size_t left = 0;
        for (const std::string& entry : EntriesBelow(dir / "t")) left += entry.find(".bak") != std::string::npos;
        EXPECT_EQ(c.left, left);
        EXPECT_TRUE(guard.Intact());
    }
}

TEST(PruneFolderTree, RemovesFoldersAsFarAsNoFileHoldsThem) {
    const PruneCase cases[] = {
        {"a tree of empty folders", {"p/a", "p/b/c/d", "p/e"}, 0, {}},
        {"a file directly inside", {"p/f.txt", "p/a"}, 1, {"p", "p/f.txt"}},
        {"empty branches before the file's branch go, those after stay",
         {"p/a", "p/b/c", "p/m/file.txt", "p/m/n", "p/z"},
         1,
         {"p", "p/m", "p/m/file.txt", "p/z"}},
        {"a read-only file holds its branch", {"p/a/ro.txt", "p/b"}, 1, {"p", "p/a", "p/a/ro.txt", "p/b"}},
    };
    for (const PruneCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        GuardFile guard(dir);
        for (const std::string& entry : c.make) {
            if (entry.find('.') != std::string::npos)
                dir.WriteFile(entry, 1);
            else
                dir.MakeDir(entry);
        }
        if (fs::exists(dir / "p/a/ro.txt")) MakeReadOnly(dir / "p/a/ro.txt");
        EXPECT_EQ(c.result, PruneFolderTree((dir / "p").c_str()));
        EXPECT_EQ(c.left, EntriesBelow(dir.path()));
        EXPECT_TRUE(guard.Intact());
    }
}

TEST(PruneFolderTree, MissingFolderAndNonFolders) {
    TempDir dir;
    GuardFile guard(dir);
    EXPECT_EQ(0, PruneFolderTree((dir / "missing").c_str()));
    EXPECT_EQ(0, PruneFolderTree(guard.path().c_str()));  // not a folder: nothing to remove
    EXPECT_TRUE(guard.Intact());
}

TEST(PruneFolderTree, NeverEntersALink) {
    TempDir dir;
    GuardFile guard(dir);
    dir.MakeDir("outside/empty");
    dir.MakeDir("p/a");
    const std::string why = FolderLinkOrWhy(dir / "outside", dir / "p/link");
    if (!why.empty()) GTEST_SKIP() << why;
    // On POSIX the link is a file-like entry that keeps its folder; on
    // Windows the link itself may go, never what it leads to.
    const int result = PruneFolderTree((dir / "p").c_str());
    if (testsupport::IsPosix()) {
        EXPECT_EQ(1, result);
    }
    EXPECT_TRUE(fs::is_directory(dir / "outside/empty"));
    EXPECT_FALSE(fs::exists(dir / "p/a"));
    EXPECT_TRUE(guard.Intact());
}

// ------------------------------------------------ the file system's root

// Inside a chroot "/" names only the test's folder, so a refusal that
// fails costs nothing there. Each spelling of the root (and the current
// folder while it is the root) goes to every deleting operation.
int DeleteAtTheRoot(void*) {
    int accepted = 0;
    // (A path ending in ".." is a folder and a pattern to the deletion, so
    // the way up through a subfolder is spelt with a "." after it.)
    for (const char* spelling : {"/", "//", "/.", "/./", "/sub/../.", "", "."}) {
        std::string pattern = std::string(spelling) + (spelling[0] != 0 ? "/*.*" : "*.*");
        if (DeleteTreeByPattern(spelling, true, true) != 1) ++accepted;
        if (DeleteTreeByPattern(pattern.c_str(), true, true) != 1) ++accepted;
        if (PruneFolderTree(spelling) != 1) ++accepted;
        DeleteFolderFiles(spelling);
        char folder[20];
        std::snprintf(folder, sizeof folder, "%s", spelling);
        DeleteFilesByExtension(folder, "*");
        std::snprintf(folder, sizeof folder, "%s", spelling);
        CFileFinder finder;
        const int32_t cleared = finder.ClearTree(folder, true);
        if (cleared != 0 && cleared != 1) ++accepted;  // no folder at all (0) or refused (1)
    }
    return accepted;
}

TEST(TreeDeletion, RefusesTheRootOfTheFileSystem) {
    if (!testsupport::IsPosix() || !testsupport::IsRoot()) GTEST_SKIP() << "needs root on POSIX to make a chroot";
    TempDir dir;
    GuardFile guard(dir);
    dir.WriteFile("jail/a.bak", 1);
    dir.WriteFile("jail/sub/b.bak", 1);
    dir.MakeDir("jail/empty");
    const int status = testsupport::RunInChroot(dir / "jail", DeleteAtTheRoot, nullptr);
    ASSERT_NE(-1, status) << "the chroot could not be made";
    EXPECT_EQ(0, status) << "spellings of the root that were not refused";
    EXPECT_EQ((Entries{"a.bak", "empty", "sub", "sub/b.bak"}), EntriesBelow(dir / "jail"));
    EXPECT_TRUE(guard.Intact());
}

// 10,000 levels: every operation keeps to what its tables and records
// hold, never cuts a path, and never runs out of stack.
TEST(TreeDeletion, DeepTreesDoNotOverflow) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "Windows paths end at 260 characters";
    TempDir dir;
    GuardFile guard(dir);
    const std::string root = dir / "deep";
    fs::create_directory(root);
    ASSERT_TRUE(testsupport::MakeNestedFolders(root, 10000, "d", 1));
    // Level k's file is root + k * "/d" + "/f".
    const auto levelsBelow = [&](size_t width, size_t extra) {
        size_t levels = 0;
        while (root.size() + 2 * (levels + 1) + extra < width) ++levels;
        return levels;
    };
    const size_t recordLevels = levelsBelow(260, 2);  // the finder's records
    const size_t tableLevels = levelsBelow(194, 0);   // the sorted walk's folder texts
    // The first file beyond the finder's records.
    std::string beyond = root;
    for (size_t k = 0; k <= recordLevels; ++k) beyond += "/d";
    beyond += "/f";

    EXPECT_EQ(1, CopyTreeByPattern((root + "/*.*").c_str(), (dir / "cop1").c_str()));
    size_t copied = 0;
    for (auto& entry : fs::recursive_directory_iterator(dir / "cop1")) copied += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(tableLevels, copied);

    // The files beyond the records are left out, and both say so.
    CFileFinder copier;
    testsupport::WritableText source(root), target(dir / "cop2");
    EXPECT_EQ(2, copier.CopyTree(source.text, target.text));
    copied = 0;
    for (auto& entry : fs::recursive_directory_iterator(dir / "cop2")) copied += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(recordLevels, copied);

    CFileFinder clearer;
    EXPECT_EQ(1, clearer.ClearTree(source.text, true));
    EXPECT_FALSE(fs::exists(root + "/d/f"));
    EXPECT_EQ(1, DeleteTreeByPattern(root.c_str(), true, true));
    EXPECT_EQ(1, PruneFolderTree(root.c_str()));
    EXPECT_TRUE(fs::exists(beyond));
    EXPECT_TRUE(guard.Intact());
}

}  // namespace
