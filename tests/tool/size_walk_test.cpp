// The size walk on hostile trees: deep, long, unreadable, linked.

#include "tool/size_walk.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"
#include "tool/folder_walk.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Sep;
using testsupport::TempDir;

uint64_t Walk(const std::string& path) {
    std::vector<char> text(path.begin(), path.end());
    text.resize(path.size() + 2, 0);
    return WalkSizeBytes(text.data());
}

TEST(SizeWalk, SumsEveryLevelAndBareDriveTextIsHarmless) {
    TempDir dir;
    dir.WriteFile("a", 10);
    dir.WriteFile("x/b", 20);
    dir.WriteFile("x/y/c", 30);
    dir.WriteFile("z/d", 40);
    EXPECT_EQ(100u, Walk(dir.path()));
    EXPECT_EQ(50u, Walk(dir / "x"));
    EXPECT_DOUBLE_EQ(100.0, WalkSize(std::vector<char>(dir.path().begin(), dir.path().end() + 1).data()));
    EXPECT_EQ(0u, Walk(dir / "a"));  // a file is no folder
    // The live counters end where the total does.
    WalkProgress progress;
    std::string top = dir.path();
    const WalkOutcome outcome = WalkTree(&top[0], &progress);
    EXPECT_EQ(100u, outcome.bytes);
    EXPECT_EQ(100u, progress.bytes.load());
    EXPECT_EQ(plat::Error::None, outcome.topError);
    EXPECT_EQ(0u, outcome.foldersLeftOut);
}

TEST(SizeWalk, FoldersLargerThanOneReadAtEveryLevel) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "tens of thousands of folders take too long under Wine";
    // Twelve levels (deeper than the searches have buffers of their own),
    // each with more subfolders than one read of the folder returns: after
    // each child the parent must carry on where it was.
    TempDir dir;
    uint64_t expected = 0;
    std::string level = "";
    for (int depth = 0; depth < 12; ++depth) {
        for (int i = 0; i < 700; ++i) {
            const uint64_t size = uint64_t(depth) * 1000 + i;
            dir.WriteFile(level + "folder_with_a_longer_name_" + std::to_string(i) + Sep() + "f", size);
            expected += size;
        }
        level += "sub" + Sep();
    }
    dir.WriteFile(level + "last", 1);
    EXPECT_EQ(expected + 1, Walk(dir.path()));
    // Again with descriptors for a few levels only: parked levels come back
    // where they were, in the middle of their folders.
    testsupport::ProcessOptions options;
    options.maxOpenFiles = 9;
    testsupport::ProcessResult result =
        testsupport::RunProcess(testsupport::BuiltProgram("vorkstat"), {dir.path(), "/X"}, options);
    EXPECT_EQ("Speicherbedarf: " + std::to_string(expected + 1) + " Bytes\n", result.output);
}

TEST(SizeWalk, TenThousandNestedFoldersAreCounted) {
    if (!testsupport::IsPosix())
        GTEST_SKIP() << "Wine, the Windows test bed, holds no path past 4,096 bytes (SizeWalkNames walks "
                        "Windows trees 2,800 characters deep)";
    TempDir dir;
    ASSERT_TRUE(testsupport::MakeNestedFolders(dir.path(), 10000, "d", 3));
    EXPECT_EQ(30000u, Walk(dir.path()));
    // With 64 folders open at most, on one thread and on several.
    for (int workers : {1, 2, 8}) {
        std::vector<char> text(dir.path().begin(), dir.path().end() + 1);
        EXPECT_EQ(30000u, WalkFolders(text.data(), nullptr, WalkSettings{workers, 64}).bytes) << workers;
    }
    // With the process's own limit of 64 descriptors.
    testsupport::ProcessOptions options;
    options.maxOpenFiles = 64;
    const testsupport::ProcessResult result =
        testsupport::RunProcess(testsupport::BuiltProgram("vorkstat"), {dir.path(), "/X"}, options);
    EXPECT_EQ("Speicherbedarf: 30000 Bytes\n", result.output);
}

TEST(SizeWalk, DepthBeyondTheDescriptorLimitIsCountedWhole) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "descriptor limits are a POSIX matter";
    // 3,000 levels with 40 descriptors: the shallow levels give theirs up
    // and take their folders back on the way up.
    TempDir dir;
    ASSERT_TRUE(testsupport::MakeNestedFolders(dir.path(), 3000, "d", 2));
    dir.WriteFile("side/a", 5);
    dir.WriteFile("zz/b", 7);
    testsupport::ProcessOptions options;
    options.maxOpenFiles = 40;
    testsupport::ProcessResult result =
        testsupport::RunProcess(testsupport::BuiltProgram("vorkstat"), {dir.path(), "/X"}, options);
    EXPECT_EQ("Speicherbedarf: 6012 Bytes\n", result.output);
}

TEST(SizeWalk, PathsPastEveryLimitAreCountedWhole) {
    if (!testsupport::IsPosix())
        GTEST_SKIP() << "Wine, the Windows test bed, holds no path past 4,096 bytes (SizeWalkNames walks "
                        "Windows trees 2,800 characters deep)";
    TempDir dir;
    // 30 levels of 200-character names: past 260 after two levels, past
    // 4096 after twenty.
    ASSERT_TRUE(testsupport::MakeNestedFolders(dir.path(), 30, std::string(200, 'n'), 7));
    dir.WriteFile("top", 1);
    EXPECT_EQ(211u, Walk(dir.path()));
}

TEST(SizeWalk, LinksInsideAreNeverFollowed) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "symbolic links need rights Windows tests do not have";
    TempDir dir;
    dir.WriteFile("real/big", 100000);
    fs::create_directory_symlink("..", fs::path(dir / "real") / "loop");
    fs::create_symlink("big", fs::path(dir / "real") / "alias");
    fs::create_directory_symlink(dir / "real", fs::path(dir.path()) / "elsewhere");
    // Each link counts with the length of its target text, as lstat reports.
    const uint64_t links = 2 + 3 + (dir / "real").size();
    EXPECT_EQ(100000u + links, Walk(dir.path()));
    // Named as the path, the link is followed; the links inside still are not.
    EXPECT_EQ(100000u + 2 + 3, Walk(dir / "elsewhere"));
}

TEST(SizeWalk, LinkNamedAsThePathIsFollowed) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "symbolic links need rights Windows tests do not have";
    TempDir dir;
    dir.WriteFile("real/a", 100);
    dir.WriteFile("real/sub/b", 20);
    fs::create_directory_symlink(dir / "real", fs::path(dir / "absolute"));
    fs::create_directory_symlink("real", fs::path(dir / "relative"));
    fs::create_directory_symlink("relative", fs::path(dir / "chained"));
    fs::create_symlink(fs::path(dir / "real") / "a", fs::path(dir / "to_file"));
    fs::create_directory_symlink(dir / "gone", fs::path(dir / "dangling"));
    fs::create_directory_symlink("circle", fs::path(dir / "circle"));
    struct Case {
        const char* name;
        uint64_t total;
    } cases[] = {
        {"absolute", 120}, {"relative", 120}, {"chained", 120}, {"absolute/", 120},
        {"to_file", 0},    {"dangling", 0},   {"circle", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.total, Walk(dir.path() + "/" + c.name)) << c.name;
}

// Runs vorkstat on `top` in a private mount namespace in which `source` is
// bound onto `target`. Empty when no such namespace can be made here.
std::string WalkWithBindMount(const std::string& source, const std::string& target, const std::string& top) {
    const char* script = "mount --bind \"$1\" \"$2\" || exit 77; exec \"$3\" \"$4\" /X";
    testsupport::ProcessResult result = testsupport::RunProcess(
        "/usr/bin/unshare", {"-m", "sh", "-c", script, "sh", source, target, testsupport::BuiltProgram("vorkstat"), top});
    // Standard error too: a folder skipped on purpose is no folder left out.
    return result.exited && result.status != 77 && result.status != 127 ? result.output + result.errors : "";
}

TEST(SizeWalk, FolderMetAgainBelowItselfCountsOnce) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "bind mounts are a Linux matter";
    if (!testsupport::IsRoot()) GTEST_SKIP() << "making a bind mount needs root";
    if (!fs::exists("/usr/bin/unshare")) GTEST_SKIP() << "unshare is not installed";
    TempDir dir;
    const std::string top = dir / "top";
    dir.WriteFile("top/a", 10);
    dir.WriteFile("top/sub/b", 20);
    dir.WriteFile("top/other/c", 5);
    dir.MakeDir("top/sub/loop");
    dir.MakeDir("top/sub/copy");
    dir.WriteFile("beside", 1);  // outside the tree: must survive the test untouched
    struct Case {
        const char* label;
        std::string source, target, walked;
        const char* line;
    } cases[] = {
        // The whole tree again below itself: its second sight is skipped.
        {"loop from the top", top, top + "/sub/loop", top, "Speicherbedarf: 35 Bytes\n"},
        // From below: the top of the walk is met again inside the loop.
        {"loop from below", top, top + "/sub/loop", top + "/sub", "Speicherbedarf: 35 Bytes\n"},
        // A second sight of a folder that is no ancestor is an ordinary folder.
        {"no loop", top + "/other", top + "/sub/copy", top, "Speicherbedarf: 40 Bytes\n"},
    };
    for (const Case& c : cases) {
        const std::string output = WalkWithBindMount(c.source, c.target, c.walked);
        if (output.empty()) GTEST_SKIP() << "no private mount namespace with bind mounts can be made here";
        EXPECT_EQ(c.line, output) << c.label;
    }
    EXPECT_TRUE(fs::exists(dir / "beside"));
    EXPECT_TRUE(fs::is_empty(top + "/sub/loop"));  // the mount lived in its namespace only
}

TEST(SizeWalk, UnreadableFoldersCountZeroAndTheWalkGoesOn) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "permissions are tested on POSIX";
    TempDir dir;
    dir.WriteFile("open/a", 5);
    dir.WriteFile("closed/b", 1000);
    dir.WriteFile("closed/deeper/c", 1000);
    dir.WriteFile("zz/after", 7);
    fs::permissions(dir / "closed", fs::perms::none);
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    // Root reads anything, so the command runs as an ordinary user then.
    testsupport::ProcessOptions options;
    options.asUnprivilegedUser = true;
    testsupport::ProcessResult result =
        testsupport::RunProcess(testsupport::BuiltProgram("vorkstat"), {dir.path(), "/X"}, options);
    EXPECT_EQ("Speicherbedarf: 12 Bytes\n", result.output);  // POSIX only
    EXPECT_EQ(12u, result.status);
}

TEST(SizeWalk, TotalIsTheSumOfTheLengthsOnAMixedTree) {
    // Every kind of entry at once, in folders read in one go and in folders
    // larger than one read, deeper than the searches have buffers of their
    // own: the total is what the files were written with.
    const bool posix = testsupport::IsPosix();
    TempDir dir;
    uint64_t expected = 0;
    auto file = [&](const std::string& relative, uint64_t size) {
        dir.WriteFile(relative, size);
        expected += size;
    };
    file("top/.hidden", 11);
    file("top/empty", 0);
    file("top/huge", 5000000000ull);  // its whole length
    file("top/" + std::string(posix ? 240 : 120, 'n'), 13);
    std::string chain = "top/chain";
    for (int level = 0; level < 20; ++level) {
        file(chain + "/f", uint64_t(level));
        dir.MakeDir(chain + "/leaf_" + std::to_string(level));
        file(chain + "/z_side_" + std::to_string(level) + "/g", 1000);
        chain += "/" + std::string(posix ? 200 : 5, char('a' + level));
    }
    const std::string padding(90, 'p');
    for (int i = 0; i < 900; ++i) {
        const std::string name = "top/wide/entry_" + std::to_string(i) + padding;
        if (i % 50 == 7) file(name + "/inner", 3);
        else file(name, uint64_t(i));
    }
    uint64_t unreadable = 0;
    if (posix) {
        fs::create_directory_symlink("wide", fs::path(dir / "top") / "folder_link");  // its text: 4
        fs::create_symlink("empty", fs::path(dir / "top") / "file_link");             // 5
        fs::create_symlink("gone", fs::path(dir / "top/wide") / "dangling");          // 4
        expected += 4 + 5 + 4;
        dir.WriteFile("top/closed/a", 700);
        dir.WriteFile("top/closed/deeper/b", 800);
        unreadable = 1500;
        fs::permissions(dir / "top/closed", fs::perms::none);
        fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    }
    dir.WriteFile("beside", 99);  // outside the walked tree
    // Root reads the closed folder; an ordinary user does not.
    const uint64_t here = testsupport::IsRoot() || !posix ? expected + unreadable : expected;
    EXPECT_EQ(here, Walk(dir / "top"));
    if (!posix) return;
    testsupport::ProcessOptions options;
    options.asUnprivilegedUser = true;
    testsupport::ProcessResult result =
        testsupport::RunProcess(testsupport::BuiltProgram("vorkstat"), {dir / "top", "/X"}, options);
    fs::permissions(dir / "top/closed", fs::perms::owner_all);
    EXPECT_EQ("Speicherbedarf: " + std::to_string(expected) + " Bytes\n", result.output);
}

TEST(SizeWalk, FolderLinkLeadingBackUpCountsOnce) {
    if (testsupport::IsPosix()) GTEST_SKIP() << "links inside the tree are never followed on POSIX";
    TempDir dir;
    dir.WriteFile("top/a", 10);
    dir.WriteFile("top/sub/b", 20);
    dir.WriteFile("elsewhere/c", 5);
    if (!testsupport::MakeFolderLink(dir / "top\\sub\\loop", dir / "top"))
        GTEST_SKIP() << "folder links cannot be made here";
    ASSERT_TRUE(testsupport::MakeFolderLink(dir / "top\\sub\\away", dir / "elsewhere"));
    // The link back up is skipped; a link elsewhere is walked as its folder.
    EXPECT_EQ(35u, Walk(dir / "top"));
}

}  // namespace
