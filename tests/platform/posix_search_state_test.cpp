// The POSIX search's open folders and their descriptor budget, driven
// directly (POSIX builds only).

#include "filelib/platform/name_match.h"
#include "filelib/platform/posix_backend.h"
#include "filelib/platform/platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using plat::posix::DescriptorBudget;
using plat::posix::OpenFolder;
using plat::posix::ReadBufferPool;
using testsupport::TempDir;
using Names = std::set<std::string>;

// Names of a folder's entries, "." and ".." left out.
Names ReadAll(OpenFolder& folder) {
    Names names;
    while (const auto* entry = folder.ReadEntry()) {
        if (!plat::IsDotName(entry->d_name)) names.insert(entry->d_name);
    }
    return names;
}

// Every entry below `folder` as a relative path, folders ending in '/'.
// Each entry is tried as a folder: only folders open.
void WalkBelow(DescriptorBudget& budget, ReadBufferPool& pool, OpenFolder& folder, const std::string& prefix,
               Names* found) {
    while (const auto* entry = folder.ReadEntry()) {
        const std::string name = entry->d_name;
        if (plat::IsDotName(name.c_str())) continue;
        OpenFolder child(budget, pool.ForDepth(folder.depth() + 1), folder.depth() + 1);
        if (!child.OpenIn(folder, name.c_str())) {
            found->insert(prefix + name);
            continue;
        }
        found->insert(prefix + name + "/");
        WalkBelow(budget, pool, child, prefix + name + "/", found);
        child.Close();
    }
}

// Levels of folders "a", each with three files and a folder "b" that has
// one file, so that every parent goes on reading after a child closed.
Names MakeDeepTree(const TempDir& dir, int depth) {
    Names expected;
    std::string relative;
    for (int level = 0; level < depth; ++level) {
        for (const char* file : {"f1", "f2", "f3"}) {
            dir.WriteFile("top/" + relative + file, 1);
            expected.insert(relative + file);
        }
        dir.WriteFile("top/" + relative + "b/inner", 1);
        expected.insert(relative + "b/");
        expected.insert(relative + "b/inner");
        if (level + 1 < depth) {
            relative += "a/";
            expected.insert(relative);
        }
    }
    return expected;
}

TEST(PosixDescriptorBudget, DeepWalksStayWithinTheirBudget) {
    struct Case {
        int limit;  // 0: the system's
        int depth;
    } cases[] = {{0, 10}, {3, 10}, {2, 10}, {3, 12}, {5, 10}};
    for (const Case& c : cases) {
        SCOPED_TRACE("limit " + std::to_string(c.limit) + ", depth " + std::to_string(c.depth));
        TempDir dir;
        const Names expected = MakeDeepTree(dir, c.depth);
        auto pool = std::make_unique<ReadBufferPool>();
        DescriptorBudget budget;
        budget.SetLimit(c.limit);
        Names found;
        {
            OpenFolder top(budget, pool->ForDepth(0), 0);
            ASSERT_TRUE(top.OpenByPath((dir / "top").c_str(), false));
            WalkBelow(budget, *pool, top, "", &found);
            top.Close();
        }
        EXPECT_EQ(expected, found);
        EXPECT_EQ(0, budget.held()) << "descriptors left open";
        if (c.limit > 0) {
            EXPECT_LE(budget.mostHeld(), c.limit);
            EXPECT_GT(budget.parks(), 0);
            EXPECT_GT(budget.reopens(), 0);
        } else {
            EXPECT_EQ(0, budget.parks());
            EXPECT_GE(budget.mostHeld(), c.depth);  // one open folder per level
        }
    }
}

// How a parked folder comes back: by its path (a folder opened by path),
// or through its parent by its name there.
enum class Reopen { ByPath, ThroughParent };

TEST(PosixOpenFolder, AParkedFolderReplacedMeanwhileIsNotTakenForIt) {
    struct Case {
        Reopen how;
        bool replaced;
        Names expected;
    } cases[] = {
        {Reopen::ByPath, false, {"original"}},
        {Reopen::ByPath, true, {}},
        {Reopen::ThroughParent, false, {"original"}},
        {Reopen::ThroughParent, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.how == Reopen::ByPath ? "by path" : "through its parent") +
                     (c.replaced ? ", replaced" : ", left alone"));
        TempDir dir;
        dir.WriteFile("top/sub/original", 1);
        dir.MakeDir("other1");
        dir.MakeDir("other2");
        auto pool = std::make_unique<ReadBufferPool>();
        DescriptorBudget budget;
        budget.SetLimit(2);
        OpenFolder top(budget, pool->ForDepth(0), 0);
        OpenFolder sub(budget, pool->ForDepth(1), 1);
        ASSERT_TRUE(top.OpenByPath((dir / (c.how == Reopen::ByPath ? "top/sub" : "top")).c_str(), false));
        OpenFolder& watched = c.how == Reopen::ByPath ? top : sub;
        if (c.how == Reopen::ThroughParent) {
            ASSERT_TRUE(sub.OpenIn(top, "sub"));
        }
        {
            // Two more folders take the two descriptors from the oldest.
            OpenFolder other1(budget, pool->ForDepth(2), 2);
            OpenFolder other2(budget, pool->ForDepth(3), 3);
            ASSERT_TRUE(other1.OpenByPath((dir / "other1").c_str(), false));
            ASSERT_TRUE(other2.OpenByPath((dir / "other2").c_str(), false));
            ASSERT_TRUE(watched.IsParked());
        }
        if (c.replaced) {
            fs::rename(dir / "top/sub", dir / "moved");
            dir.WriteFile("top/sub/impostor", 1);
        }
        EXPECT_EQ(c.expected, ReadAll(watched));
        EXPECT_EQ(c.replaced, watched.finished() && !watched.IsOpen());
        EXPECT_TRUE(fs::exists(dir / (c.replaced ? "moved/original" : "top/sub/original"))) << "a file was lost";
    }
}

TEST(PosixOpenFolder, AParkedParentComesBackThroughItsChild) {
    TempDir dir;
    dir.WriteFile("top/sub/deeper/f", 1);
    dir.WriteFile("top/g", 1);
    auto pool = std::make_unique<ReadBufferPool>();
    DescriptorBudget budget;
    budget.SetLimit(2);
    OpenFolder top(budget, pool->ForDepth(0), 0);
    ASSERT_TRUE(top.OpenByPath((dir / "top").c_str(), false));
    OpenFolder sub(budget, pool->ForDepth(1), 1);
    ASSERT_TRUE(sub.OpenIn(top, "sub"));
    OpenFolder deeper(budget, pool->ForDepth(2), 2);
    ASSERT_TRUE(deeper.OpenIn(sub, "deeper"));
    ASSERT_TRUE(top.IsParked());
    // Moving the top folder away does not matter: its child leads back to it.
    fs::rename(dir / "top", dir / "moved");
    deeper.Close();
    sub.Close();
    EXPECT_TRUE(top.IsOpen());
    EXPECT_FALSE(top.finished());
    EXPECT_EQ(Names({"g", "sub"}), ReadAll(top));
}

// A walk through searches opened in their parents: the files of a folder,
// then its subfolders, each opened through the search that found it.
void SearchWalk(plat::SearchHandle parent, const char* name, const std::string& prefix, Names* found) {
    plat::FindData data;
    plat::SearchHandle files = plat::FindOpenIn(parent, name, "*.*", plat::SearchKind::FilesOnly, &data);
    for (bool more = files != nullptr; more; more = plat::FindNext(files, &data)) found->insert(prefix + data.name);
    plat::FindClose(files);
    plat::SearchHandle folders = plat::FindOpenIn(parent, name, "*.*", plat::SearchKind::FoldersOnly, &data);
    for (bool more = folders != nullptr; more; more = plat::FindNext(folders, &data)) {
        const std::string sub = data.name;
        found->insert(prefix + sub + "/");
        SearchWalk(folders, sub.c_str(), prefix + sub + "/", found);
    }
    plat::FindClose(folders);
}

// Sets the process's search budget for a test and gives the old one back.
class ScopedSearchLimit {
public:
    explicit ScopedSearchLimit(int limit) : saved_(plat::posix::SearchBudget().limit()) {
        plat::posix::SearchBudget().SetLimit(limit);
    }
    ~ScopedSearchLimit() { plat::posix::SearchBudget().SetLimit(saved_); }
    ScopedSearchLimit(const ScopedSearchLimit&) = delete;
    ScopedSearchLimit& operator=(const ScopedSearchLimit&) = delete;

private:
    int saved_;
};

TEST(PosixDescriptorBudget, SearchesUnderASmallBudgetFindEverything) {
    TempDir dir;
    const Names expected = MakeDeepTree(dir, 10);
    for (int limit : {0, 4, 3}) {
        SCOPED_TRACE("limit " + std::to_string(limit));
        const long parksBefore = plat::posix::SearchBudget().parks();
        Names found;
        {
            ScopedSearchLimit budget(limit);
            plat::SearchHandle top = plat::FindOpenFolder((dir / "top").c_str());
            ASSERT_NE(nullptr, top);
            SearchWalk(top, ".", "", &found);
            plat::FindClose(top);
        }
        EXPECT_EQ(expected, found);
        EXPECT_EQ(limit > 0, plat::posix::SearchBudget().parks() > parksBefore);
    }
}

}  // namespace
