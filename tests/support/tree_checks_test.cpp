#include "support/tree_checks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::GuardFile;
using testsupport::TempDir;

// The data-safety check of the deleting tests must see every way the file
// beside their tree can be harmed.
TEST(TreeChecks, GuardFileSeesEveryHarm) {
    struct Case {
        const char* name;
        void (*harm)(const TempDir& dir, const std::string& guard);
        bool intact;
    } cases[] = {
        {"left alone", [](const TempDir&, const std::string&) {}, true},
        {"deleted", [](const TempDir&, const std::string& guard) { fs::remove(guard); }, false},
        {"emptied", [](const TempDir& dir, const std::string&) { dir.WriteText("guard.txt", ""); }, false},
        {"rewritten, same length", [](const TempDir& dir, const std::string&) { dir.WriteText("guard.txt", "GUARD"); },
         false},
        {"replaced by a folder",
         [](const TempDir&, const std::string& guard) {
             fs::remove(guard);
             fs::create_directory(guard);
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        GuardFile guard(dir);
        c.harm(dir, guard.path());
        EXPECT_EQ(c.intact, guard.Intact());
    }
}

TEST(TreeChecks, GuardReplacedByALinkIsHarmed) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "file links need privileges on Windows";
    TempDir dir;
    GuardFile guard(dir);
    dir.WriteText("copy.txt", "guard");  // the same text, reached through a link
    fs::remove(guard.path());
    fs::create_symlink(dir / "copy.txt", guard.path());
    EXPECT_FALSE(guard.Intact());
}

TEST(TreeChecks, EntriesBelowListsLinksWithoutFollowing) {
    TempDir dir;
    GuardFile guard(dir);
    dir.WriteFile("t/a.txt", 1);
    dir.MakeDir("t/s");
    const std::string why = testsupport::LinkToOutsideOrWhy(dir, "t/link");
    if (!why.empty()) GTEST_SKIP() << why;
    EXPECT_EQ((std::vector<std::string>{"a.txt", "link", "s"}), testsupport::EntriesBelow(dir / "t"));
    // The guard is left out of a listing of its folder.
    EXPECT_EQ((std::vector<std::string>{"outside", "outside/deeper", "outside/deeper/o2.txt", "outside/o1.txt", "t",
                                        "t/a.txt", "t/link", "t/s"}),
              testsupport::EntriesBelow(dir.path()));
}

}  // namespace
