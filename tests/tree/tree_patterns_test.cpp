// What a path given to the pattern operations selects: the same files for
// the tree copy and the tree deletion, and never more than it names.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "filelib/tree/tree_collector.h"
#include "filelib/tree/tree_ops.h"
#include "support/temp_dir.h"
#include "support/tree_checks.h"

namespace {

using testsupport::EntriesBelow;
using testsupport::GuardFile;
using testsupport::TempDir;
using Entries = std::vector<std::string>;

// The test's tree, below "tree": its files, then its folders.
const Entries kFiles = {"a.c",       "a.h",           "b.cpp",     "noext",         "page.htm",
                        "page.html", "x.tar.gz",      "x.tmp",     "y.gz",          "y.tmp",
                        "sub1/c.c",  "sub1/keep.txt", "sub1/x.tmp", "data/side.txt", "data/v1.2/f.txt",
                        "data/v1.2/g.c"};
// A folder named as a file the rows select is never taken for one.
const Entries kFolders = {"data", "data/v1.2", "data/x.tmp", "sub1", "sub1/empty"};

void MakeTree(const TempDir& dir) {
    for (const std::string& file : kFiles) dir.WriteFile("tree/" + file, 1);
    for (const std::string& folder : kFolders) dir.MakeDir("tree/" + folder);
}

// The entries, with every folder on their way, sorted as EntriesBelow.
Entries WithFolders(const Entries& files) {
    Entries entries;
    for (const std::string& file : files) {
        entries.push_back(file);
        for (size_t cut = file.find('/'); cut != std::string::npos; cut = file.find('/', cut + 1))
            entries.push_back(file.substr(0, cut));
    }
    std::sort(entries.begin(), entries.end());
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
    return entries;
}

// The tree's entries without `gone` (each below `start`).
Entries TreeWithout(const std::string& start, const Entries& gone) {
    Entries all = kFiles;
    all.insert(all.end(), kFolders.begin(), kFolders.end());
    Entries kept;
    for (const std::string& entry : WithFolders(all)) {
        const bool isGone = std::any_of(gone.begin(), gone.end(), [&](const std::string& selected) {
            return (start.empty() ? selected : start + "/" + selected) == entry;
        });
        if (!isGone) kept.push_back(entry);
    }
    return kept;
}

struct SelectCase {
    const char* name;
    std::string path;   // below the tree
    std::string start;  // the folder the selection starts in, below the tree
    Entries selected;   // below start
};

// Each row copies what it selects, then deletes it, inside its own folder.
TEST(TreePatterns, SelectOnlyWhatTheyName) {
    const SelectCase cases[] = {
        {"the c files, not cpp", "*.c", "", {"a.c", "data/v1.2/g.c", "sub1/c.c"}},
        {"one letter", "*.h", "", {"a.h"}},
        {"every gz, also tar.gz", "*.gz", "", {"x.tar.gz", "y.gz"}},
        {"an extension of two parts", "*.tar.gz", "", {"x.tar.gz"}},
        {"four letters, not htm", "*.html", "", {"page.html"}},
        {"an existing folder with a dot is that folder", "data/v1.2", "data/v1.2", {"f.txt", "g.c"}},
        {"a plain name selects that name alone", "x.tmp", "", {"sub1/x.tmp", "x.tmp"}},
        {"a name with a wildcard", "s*.txt", "", {"data/side.txt"}},
        {"a mistyped missing folder selects its own name only", "sub1/build.d", "sub1", {}},
        {"star dot star", "*.*", "", kFiles},
        {"star", "*", "", kFiles},
    };
    for (const SelectCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        GuardFile guard(dir);
        MakeTree(dir);
        const std::string path = dir / ("tree/" + c.path);
        EXPECT_EQ(0, CopyTreeByPattern(path.c_str(), (dir / "out").c_str()));
        EXPECT_EQ(WithFolders(c.selected), EntriesBelow(dir / "out"));
        EXPECT_EQ(0, DeleteTreeByPattern(path.c_str(), false, false));
        EXPECT_EQ(TreeWithout(c.start, c.selected), EntriesBelow(dir / "tree"));
        EXPECT_TRUE(guard.Intact());
    }
}

// With both removal flags: a folder that the path names goes as far as it
// is emptied; a plain name names no folder.
TEST(TreePatterns, FolderRemovalOnlyOfTheFolderNamed) {
    const struct Case {
        const char* name;
        std::string path;  // below the tree
        int result;
        Entries gone;  // below the tree
    } cases[] = {
        {"an existing folder with a dot", "data/v1.2", 0, {"data/v1.2", "data/v1.2/f.txt", "data/v1.2/g.c"}},
        {"a pattern's folder", "sub1/*.*", 0, {"sub1", "sub1/c.c", "sub1/empty", "sub1/keep.txt", "sub1/x.tmp"}},
        {"a mistyped missing folder removes nothing", "sub1/build.d", 0, {}},
        {"a plain file name removes no folder", "sub1/x.tmp", 0, {"sub1/x.tmp"}},
        {"a name beyond the names' width is refused", "sub1/*" + std::string(200, 'x'), 1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        GuardFile guard(dir);
        MakeTree(dir);
        EXPECT_EQ(c.result, DeleteTreeByPattern((dir / ("tree/" + c.path)).c_str(), true, true));
        EXPECT_EQ(TreeWithout("", c.gone), EntriesBelow(dir / "tree"));
        EXPECT_TRUE(guard.Intact());
    }
}

// The walkers' own extension lists keep their groups of three characters:
// "html" is the group htm.
TEST(TreePatterns, WalkerListsKeepTheirGroups) {
    TempDir dir;
    MakeTree(dir);
    ASSERT_EQ(1, CollectTreeFiles((dir / "tree").c_str(), "html", 0));
    EXPECT_STREQ("page.htm", g_aszTreeFile[0]);
}

}  // namespace
