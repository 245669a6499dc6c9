#include "filelib/tree/tree_ops.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "filelib/fileops/file_ops.h"
#include "filelib/tree/tree_collector.h"
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

int64_t Seconds(fs::file_time_type time) {
    return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

struct CopyCase {
    const char* name;
    std::string pattern;  // below src
    Entries copied;       // below out
};

TEST(CopyTreeByPattern, CopiesMatchingFilesIntoTheSameLayout) {
    const Entries txtFiles = {"dst", "dst/a.txt", "dst/sub", "dst/sub/deep", "dst/sub/deep/b.txt"};
    const CopyCase cases[] = {
        {"star pattern", "*.txt", txtFiles},
        {"a plain name selects that name alone", "a.txt", {"dst", "dst/a.txt"}},
        {"every file", "*.*",
         {"dst", "dst/a.txt", "dst/other", "dst/other/c.doc", "dst/sub", "dst/sub/deep", "dst/sub/deep/b.txt"}},
        {"nothing matches: nothing made", "*.zip", {}},
    };
    for (const CopyCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        GuardFile guard(dir);
        dir.WriteText("src/a.txt", "alpha");
        dir.WriteText("src/sub/deep/b.txt", "beta");
        dir.WriteText("src/other/c.doc", "gamma");
        dir.MakeDir("src/empty");
        const std::string source = (dir / "src") + testsupport::Sep() + c.pattern;
        EXPECT_EQ(0, CopyTreeByPattern(source.c_str(), (dir / "out/dst").c_str()));
        EXPECT_EQ(c.copied, EntriesBelow(dir / "out"));
        EXPECT_TRUE(guard.Intact());
    }
}

TEST(CopyTreeByPattern, KeepsTimesAndAttributes) {
    TempDir dir;
    dir.WriteText("src/ro.txt", "read only");
    dir.WriteText("src/sub/old.txt", "old");
    const auto stamp = fs::file_time_type::clock::now() - std::chrono::hours(24 * 200);
    fs::last_write_time(dir / "src/sub/old.txt", stamp);
    MakeReadOnly(dir / "src/ro.txt");
    const std::string source = dir / "src/*.txt";
    EXPECT_EQ(0, CopyTreeByPattern(source.c_str(), (dir / "dst").c_str()));
    // Compared with the time the source holds, as the system keeps it
    // (Windows keeps 100-ns units; the set time is rounded to them).
    EXPECT_EQ(Seconds(fs::last_write_time(dir / "src/sub/old.txt")), Seconds(fs::last_write_time(dir / "dst/sub/old.txt")));
    EXPECT_NE(0u, GetAttributes((dir / "dst/ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(0u, GetAttributes((dir / "dst/sub/old.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(9u, fs::file_size(dir / "dst/ro.txt"));
}

TEST(CopyTreeByPattern, MissingSourceCopiesNothing) {
    TempDir dir;
    const std::string source = dir / "missing/*.txt";
    EXPECT_EQ(0, CopyTreeByPattern(source.c_str(), (dir / "dst").c_str()));
    EXPECT_FALSE(fs::exists(dir / "dst"));
}

// An existing file is replaced only by a whole copy; one where a folder is
// wanted stays as it was.
TEST(CopyTreeByPattern, StopsAtTheFirstFailureAndKeepsWhatWasCopied) {
    TempDir dir;
    GuardFile guard(dir);
    dir.WriteText("src/a.txt", "alpha");
    dir.WriteText("src/m/b.txt", "beta");
    dir.WriteText("dst/m", "a file where a folder is wanted");
    const std::string source = dir / "src/*.txt";
    EXPECT_EQ(1, CopyTreeByPattern(source.c_str(), (dir / "dst").c_str()));
    EXPECT_TRUE(fs::exists(dir / "dst/a.txt"));  // a folder's own files come first
    EXPECT_TRUE(fs::is_regular_file(dir / "dst/m"));
    EXPECT_EQ(31u, fs::file_size(dir / "dst/m"));
    EXPECT_TRUE(guard.Intact());
}

// A copy that leaves matching files out says so: at the tables' capacity,
// also when the tables fill exactly before a later folder's file.
TEST(CopyTreeByPattern, LeftOutFilesMakeTheCopyIncomplete) {
    struct Case {
        const char* name;
        int inFirst;
        int inSecond;
        int result;
        size_t copied;
    } cases[] = {
        {"2005 files in one folder", 2005, 0, 1, 2000},
        {"the tables fill in one folder, a file waits in the next", 2000, 1, 1, 2000},
        {"exactly the capacity", 1999, 1, 0, 2000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        for (int i = 0; i < c.inFirst; ++i) dir.WriteFile("src/f" + std::to_string(10000 + i) + ".txt", 0);
        for (int i = 0; i < c.inSecond; ++i) dir.WriteFile("src/s/g" + std::to_string(i) + ".txt", 0);
        const std::string source = dir / "src/*.txt";
        EXPECT_EQ(c.result, CopyTreeByPattern(source.c_str(), (dir / "dst").c_str()));
        size_t copied = 0;
        for (const std::string& entry : EntriesBelow(dir / "dst")) copied += entry.find(".txt") != std::string::npos;
        EXPECT_EQ(c.copied, copied);
    }
    EXPECT_TRUE(g_bListTruncated);
}

TEST(CopyTreeByPattern, NamesAndFoldersTooLongForTheTablesMakeTheCopyIncomplete) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "Windows takes no such long names below the test's folder";
    struct Case {
        const char* name;
        std::string longOne;  // below src
    } cases[] = {
        {"a name of 200 characters", std::string(196, 'n') + ".txt"},
        {"a folder text of 194 characters", std::string(194, 'f') + "/b.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        dir.WriteText("src/short.txt", "s");
        dir.WriteText("src/" + c.longOne, "long");
        const std::string source = dir / "src/*.txt";
        EXPECT_EQ(1, CopyTreeByPattern(source.c_str(), (dir / "dst").c_str()));
        EXPECT_EQ((Entries{"short.txt"}), EntriesBelow(dir / "dst"));
    }
}

TEST(CopyTreeByPattern, CopiesFilesOf4GiBWhole) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "only the POSIX copy keeps the holes of a sparse file";
    TempDir dir;
    const uint64_t size = (4ull << 30) + 1;
    dir.WriteFile("src/huge.img", size);
    const std::string source = dir / "src/*.img";
    EXPECT_EQ(0, CopyTreeByPattern(source.c_str(), (dir / "dst").c_str()));
    std::error_code error;
    EXPECT_EQ(size, fs::file_size(dir / "dst/huge.img", error));
}

TEST(CopyTreeByPattern, PatternWithoutFolderIsTheCurrentFolder) {
    TempDir dir;
    dir.WriteText("here/a.txt", "a");
    dir.WriteText("here/sub/b.txt", "b");
    testsupport::ScopedCurrentDir current(dir / "here");
    EXPECT_EQ(0, CopyTreeByPattern("*.txt", (dir / "dst").c_str()));
    EXPECT_EQ((Entries{"a.txt", "sub", "sub/b.txt"}), EntriesBelow(dir / "dst"));
}

TEST(CopyTreeByPattern, NeverFollowsALink) {
    TempDir dir;
    dir.WriteText("outside/o.txt", "o");
    dir.WriteText("outside/deeper/p.txt", "p");
    dir.WriteText("src/a.txt", "a");
    const std::string why = FolderLinkOrWhy(dir / "outside", dir / "src/link");
    if (!why.empty()) GTEST_SKIP() << why;
    const std::string source = dir / "src/*.txt";
    EXPECT_EQ(0, CopyTreeByPattern(source.c_str(), (dir / "dst").c_str()));
    EXPECT_EQ((Entries{"a.txt"}), EntriesBelow(dir / "dst"));
}

}  // namespace
