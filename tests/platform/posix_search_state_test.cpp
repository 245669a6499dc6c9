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
using plat::posix::ReadBuffer;
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

// Every entry below `folder` (opened as `path`) as a relative path,
// folders ending in '/'. Each entry is tried as a folder: only folders
// open. All of them read into one buffer, as the searches do.
void WalkBelow(DescriptorBudget& budget, ReadBuffer& buffer, OpenFolder& folder, const std::string& path,
               const std::string& prefix, Names* found) {
    while (const auto* entry = folder.ReadEntry()) {
        const std::string name = entry->d_name;
        if (plat::IsDotName(name.c_str())) continue;
        OpenFolder child(budget, &buffer);
        if (!child.OpenByPath((path + "/" + name).c_str(), false)) {
            found->insert(prefix + name);
            continue;
        }
        found->insert(prefix + name + "/");
        WalkBelow(budget, buffer, child, path + "/" + name, prefix + name + "/", found);
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
        auto buffer = std::make_unique<ReadBuffer>();
        DescriptorBudget budget;
        budget.SetLimit(c.limit);
        Names found;
        {
            OpenFolder top(budget, buffer.get());
            ASSERT_TRUE(top.OpenByPath((dir / "top").c_str(), false));
            WalkBelow(budget, *buffer, top, dir / "top", "", &found);
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

TEST(PosixOpenFolder, AParkedFolderReplacedMeanwhileIsNotTakenForIt) {
    struct Case {
        bool replaced;
        Names expected;
    } cases[] = {
        {false, {"original"}},
        {true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.replaced ? "replaced" : "left alone");
        TempDir dir;
        dir.WriteFile("top/sub/original", 1);
        dir.MakeDir("other1");
        dir.MakeDir("other2");
        auto buffer = std::make_unique<ReadBuffer>();
        DescriptorBudget budget;
        budget.SetLimit(2);
        OpenFolder watched(budget, buffer.get());
        ASSERT_TRUE(watched.OpenByPath((dir / "top/sub").c_str(), false));
        {
            // Two more folders take the two descriptors from the oldest.
            OpenFolder other1(budget, buffer.get());
            OpenFolder other2(budget, buffer.get());
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

// A walk by paths, as the library's tree walks make it: the files of a
// folder, then its subfolders, whose search stays open while each of them
// is walked.
void SearchWalk(const std::string& folder, const std::string& prefix, Names* found) {
    const std::string pattern = folder + "/*.*";
    plat::FindData data;
    plat::SearchHandle files = plat::FindOpen(pattern.c_str(), plat::SearchKind::FilesOnly, &data);
    for (bool more = files != nullptr; more; more = plat::FindNext(files, &data)) found->insert(prefix + data.name);
    plat::FindClose(files);
    plat::SearchHandle folders = plat::FindOpen(pattern.c_str(), plat::SearchKind::FoldersOnly, &data);
    for (bool more = folders != nullptr; more; more = plat::FindNext(folders, &data)) {
        const std::string sub = data.name;
        found->insert(prefix + sub + "/");
        SearchWalk(folder + "/" + sub, prefix + sub + "/", found);
    }
    plat::FindClose(folders);
}

// Sets the process's search budget for a test and gives the old one back.
class ScopedSearchLimit {
public:
    explicit ScopedSearchLimit(int limit) : m_saved(plat::posix::SearchBudget().limit()) {
        plat::posix::SearchBudget().SetLimit(limit);
    }
    ~ScopedSearchLimit() { plat::posix::SearchBudget().SetLimit(m_saved); }
    ScopedSearchLimit(const ScopedSearchLimit&) = delete;
    ScopedSearchLimit& operator=(const ScopedSearchLimit&) = delete;

private:
    int m_saved;
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
            SearchWalk(dir / "top", "", &found);
        }
        EXPECT_EQ(expected, found);
        EXPECT_EQ(limit > 0, plat::posix::SearchBudget().parks() > parksBefore);
    }
}

}  // namespace
