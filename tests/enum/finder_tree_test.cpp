#include "filelib/enum/file_finder.h"
#include "filelib/fileops/file_ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"
#include "support/tree_checks.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Sep;
using testsupport::TempDir;
using Guard = testsupport::GuardFile;

using Text = testsupport::DirText;

// One record as a test reads it: the path below the root with '/' between
// parts, the depth tag and whether it is a folder.
struct Seen {
    std::string path;
    int level;
    bool dir;
    bool operator==(const Seen& other) const {
        return path == other.path && level == other.level && dir == other.dir;
    }
};

std::ostream& operator<<(std::ostream& out, const Seen& seen) {
    return out << (seen.dir ? "[" : "") << seen.path << (seen.dir ? "]" : "") << "@" << seen.level;
}

std::vector<Seen> Records(CFileFinder& finder, int32_t count) {
    std::vector<Seen> seen;
    for (int32_t i = 0; i < count; ++i) {
        std::string path = finder.GetEntryRelativePath(i);
        std::replace(path.begin(), path.end(), '\\', '/');
        const FINDER_ENTRY* entry = finder.GetEntry(i);
        seen.push_back({path, entry->nLevel, entry->bIsDir != 0});
    }
    return seen;
}

// Windows knows hidden entries by their attribute alone; attrib sets it.
bool MakeHidden(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        const std::string command = "attrib +h \"" + path + "\"";
        if (std::system(command.c_str()) != 0 || (GetAttributes(path.c_str()) & FILE_ATTRIBUTE_HIDDEN) == 0) return false;
    }
    return true;
}

enum class Op { Files, Folders, Both };

struct OrderCase {
    const char* name;
    Op op;
    uint8_t treeOrder;
    std::vector<Seen> expected;
};

// A chain root/a.txt, root/s/b.txt, root/s/t/c.txt, root/s/t/u (empty): one
// subfolder per level, so the search order cannot change the result.
TEST(FinderTree, NestingAndDepthTagsInEveryOrder) {
    const OrderCase cases[] = {
        {"files, deepest first", Op::Files, 0,
         {{"s/t/c.txt", 2, false}, {"s/b.txt", 1, false}, {"a.txt", 0, false}}},
        {"files, own files first", Op::Files, 1,
         {{"a.txt", 0, false}, {"s/b.txt", 1, false}, {"s/t/c.txt", 2, false}}},
        {"any other tree order counts as set", Op::Files, 7,
         {{"a.txt", 0, false}, {"s/b.txt", 1, false}, {"s/t/c.txt", 2, false}}},
        {"folders before those below", Op::Folders, 0, {{"s", 0, true}, {"s/t", 1, true}, {"s/t/u", 2, true}}},
        {"folders after those below", Op::Folders, 1, {{"s/t/u", 2, true}, {"s/t", 1, true}, {"s", 0, true}}},
        {"tree, own files last", Op::Both, 0,
         {{"s", 0, true},
          {"s/t", 1, true},
          {"s/t/u", 2, true},
          {"s/t/c.txt", 2, false},
          {"s/b.txt", 1, false},
          {"a.txt", 0, false}}},
        {"tree, own files first", Op::Both, 1,
         {{"a.txt", 0, false},
          {"s", 0, true},
          {"s/b.txt", 1, false},
          {"s/t", 1, true},
          {"s/t/c.txt", 2, false},
          {"s/t/u", 2, true}}},
    };
    TempDir dir;
    dir.WriteFile("root/a.txt", 1);
    dir.WriteFile("root/s/b.txt", 2);
    dir.WriteFile("root/s/t/c.txt", 3);
    dir.MakeDir("root/s/t/u");
    for (const OrderCase& c : cases) {
        SCOPED_TRACE(c.name);
        CFileFinder finder;
        finder.m_bTreeOrder = c.treeOrder;
        Text root(dir / "root");
        const int32_t count = c.op == Op::Files     ? finder.ListTreeFiles(root.text)
                              : c.op == Op::Folders ? finder.ListTreeFolders(root.text)
                                                    : finder.ListTree(root.text);
        EXPECT_EQ(int32_t(c.expected.size()), count);
        EXPECT_EQ(c.expected.size(), size_t(finder.GetEntryCount()));
        EXPECT_EQ(c.expected, Records(finder, count));
        EXPECT_STREQ((dir / "root").c_str(), finder.m_szListDir);
        if (c.op != Op::Folders) {
            EXPECT_EQ(6.0, finder.m_dTotalSize);
        }
    }
}

// Siblings come in search order; what must hold is that each subtree stays
// together and in the order the tree order asks for.
TEST(FinderTree, SubtreesStayTogether) {
    TempDir dir;
    for (const char* name : {"x/1.txt", "x/y/2.txt", "p/3.txt", "p/q/4.txt", "p/q/r/5.txt", "6.txt"})
        dir.WriteFile(std::string("root/") + name, 1);
    for (uint8_t order : {0, 1}) {
        CFileFinder finder;
        finder.m_bTreeOrder = order;
        Text root(dir / "root");
        const std::vector<Seen> seen = Records(finder, finder.ListTreeFiles(root.text));
        ASSERT_EQ(6u, seen.size());
        auto at = [&](const std::string& path) {
            for (size_t i = 0; i < seen.size(); ++i)
                if (seen[i].path == path) return int(i);
            return -1;
        };
        // The files of x's subtree are neighbours, so are p's.
        EXPECT_EQ(1, std::abs(at("x/1.txt") - at("x/y/2.txt")));
        const int p = at("p/3.txt"), q = at("p/q/4.txt"), r = at("p/q/r/5.txt");
        if (order == 0) {
            EXPECT_TRUE(r < q && q < p && p == r + 2) << order;
            EXPECT_EQ(5, at("6.txt"));
        } else {
            EXPECT_TRUE(p < q && q < r && r == p + 2) << order;
            EXPECT_EQ(0, at("6.txt"));
        }
    }
}

TEST(FinderTree, FiltersApplyToFilesButEveryFolderIsWalked) {
    TempDir dir;
    dir.WriteFile("root/.hidden/seen.txt", 1);
    dir.WriteFile("root/.hidden/.unseen.txt", 1);
    dir.WriteFile("root/open/.unseen.txt", 1);
    dir.WriteFile("root/open/empty.txt", 0);
    dir.WriteFile("root/open/note.doc", 1);
    // Only POSIX reads a leading dot as hidden; Windows needs the attribute.
    if (!testsupport::IsPosix() &&
        !MakeHidden({dir / "root/.hidden", dir / "root/.hidden/.unseen.txt", dir / "root/open/.unseen.txt"}))
        GTEST_SKIP() << "attrib could not hide the test's files";
    struct Case {
        uint32_t flags;
        const char* list;
        std::vector<std::string> files;
    } cases[] = {
        {FINDER_SKIP_HIDDEN, "", {".hidden/seen.txt", "open/empty.txt", "open/note.doc"}},
        {FINDER_SKIP_HIDDEN | FINDER_SKIP_EMPTY, "txt", {".hidden/seen.txt"}},
        {0, "doc", {"open/note.doc"}},
        {0, "", {".hidden/.unseen.txt", ".hidden/seen.txt", "open/.unseen.txt", "open/empty.txt", "open/note.doc"}},
    };
    for (const Case& c : cases) {
        CFileFinder finder;
        finder.m_nFlags = c.flags;
        finder.m_nSortOrder = 0;
        Text root(dir / "root");
        std::vector<std::string> files;
        for (const Seen& seen : Records(finder, finder.ListTreeFiles(root.text, c.list))) files.push_back(seen.path);
        std::sort(files.begin(), files.end());
        EXPECT_EQ(c.files, files) << c.flags << " " << c.list;
        // Counting applies the same flags to files.
        CFileFinder counter;
        counter.m_nFlags = c.flags;
        Text again(dir / "root");
        EXPECT_EQ(int32_t(c.files.size()), counter.CountTreeFiles(again.text, c.list[0] != 0 ? c.list : "*"));
    }
}

TEST(FinderTree, Counts) {
    TempDir dir;
    for (const char* name : {"a.txt", "b.txt", "c.doc", "noext", "d.log"}) dir.WriteFile(std::string("f/") + name, 10);
    dir.WriteFile("f/sub/e.txt", 5);
    dir.MakeDir("f/sub2");
    dir.MakeDir("f/.dot");
    struct Case {
        const char* list;
        int32_t count;
    } cases[] = {{"txt,doc", 3}, {"txt,,doc", 4}, {",", 1}, {"*", 5}, {"", 5}, {"txt,txt", 4}, {"zip", 0}};
    for (const auto& c : cases) {
        if (testsupport::RunningUnderWine() && std::strstr(c.list, ",,") != nullptr) continue;  // Wine: "*." matches every name
        if (testsupport::RunningUnderWine() && std::strcmp(c.list, ",") == 0) continue;
        CFileFinder finder;
        finder.m_dTotalSize = 1.0;  // counts add to it, never reset it
        Text folder(dir / "f");
        EXPECT_EQ(c.count, finder.CountFiles(folder.text, c.list)) << c.list;
        EXPECT_EQ(1.0 + 10.0 * c.count, finder.m_dTotalSize) << c.list;
    }
    CFileFinder finder;
    Text folder(dir / "f");
    EXPECT_EQ(5, finder.CountFiles(folder.text));
    EXPECT_EQ(3, finder.CountSubfolders(folder.text));
    EXPECT_EQ(6, finder.CountTreeFiles(folder.text));
    EXPECT_EQ(4, finder.CountTreeFiles(folder.text, "txt,log"));  // a, b, d, e
    Text missing(dir / "missing");
    EXPECT_EQ(0, finder.CountTreeFiles(missing.text));
    EXPECT_EQ(0, finder.CountSubfolders(missing.text));
}

// Sparse files: the totals add whole lengths past 4 GiB.
TEST(FinderTree, TotalsOfLargeFilesAreWhole) {
    TempDir dir;
    const uint64_t total = testsupport::WriteLargeFilePair(dir, "root/big3.bin", "root/sub/big2.bin");
    ASSERT_EQ(5 * testsupport::kGiB, total);
    CFileFinder finder;
    Text root(dir / "root");
    EXPECT_EQ(2, finder.CountTreeFiles(root.text));
    EXPECT_EQ(double(total), finder.m_dTotalSize);
    CFileFinder lister;
    EXPECT_EQ(2, lister.ListTreeFiles(root.text));
    EXPECT_EQ(double(total), lister.m_dTotalSize);
}

// An empty root text is the current folder, never the root of a drive.
TEST(FinderTree, EmptyRootIsTheCurrentFolder) {
    TempDir dir;
    dir.WriteFile("here/a.txt", 1);
    dir.WriteFile("here/sub/b.txt", 1);
    Guard guard(dir);
    testsupport::ScopedCurrentDir current(dir / "here");
    CFileFinder finder;
    finder.m_nSortOrder = 0;
    Text empty("");
    const std::vector<Seen> seen = Records(finder, finder.ListTreeFiles(empty.text));
    EXPECT_EQ((std::vector<Seen>{{"sub/b.txt", 1, false}, {"a.txt", 0, false}}), seen);
    EXPECT_EQ(std::string("a.txt"), finder.GetPathAt(1));
    CFileFinder counter;
    EXPECT_EQ(2, counter.CountTreeFiles(empty.text));
    EXPECT_EQ(1, counter.CountSubfolders(empty.text));
    EXPECT_TRUE(guard.Intact());
}

// A folder link leads outside the tree: it is never entered.
TEST(FinderTree, LinksToFoldersAreNeverEntered) {
    TempDir dir;
    Guard guard(dir);
    dir.WriteFile("root/in.txt", 1);
    const std::string why = testsupport::LinkToOutsideOrWhy(dir, "root/link");
    if (!why.empty()) GTEST_SKIP() << why;

    CFileFinder lister;
    Text root(dir / "root");
    for (const Seen& seen : Records(lister, lister.ListTreeFiles(root.text)))
        EXPECT_EQ(std::string::npos, seen.path.find("o1")) << seen.path;
    CFileFinder counter;
    Text again(dir / "root");
    EXPECT_EQ(1, counter.CountTreeFiles(again.text, "txt"));
    CFileFinder folders;
    Text folderRoot(dir / "root");
    for (const Seen& seen : Records(folders, folders.ListTreeFolders(folderRoot.text)))
        EXPECT_EQ(std::string::npos, seen.path.find("deeper")) << seen.path;
    EXPECT_TRUE(guard.Intact());
}

// Paths past the record's 260 characters are left out, never cut: a cut
// path could name another file.
TEST(FinderTree, PathsTooLongAreLeftOutNotCut) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "Windows paths end at 260 characters";
    TempDir dir;
    Guard guard(dir);
    const std::string root = dir / "root";
    const size_t room = 259 - root.size() - 1;  // name length whose path just fits
    ASSERT_GT(room, 20u);
    const std::string fits(room, 'k');
    // The long name's first characters are the path of the short one.
    dir.WriteFile("root/" + fits, 1);
    dir.WriteFile("root/" + fits + std::string(20, 'k') + ".log", 1);
    dir.WriteFile("root/short.log", 1);
    CFileFinder lister;
    Text text(root);
    const std::vector<Seen> seen = Records(lister, lister.ListTreeFiles(text.text, "log"));
    EXPECT_EQ((std::vector<Seen>{{"short.log", 0, false}}), seen);
    CFileFinder counter;
    EXPECT_EQ(1, counter.CountTreeFiles(text.text, "log"));  // the finder's search leaves it out too
    EXPECT_TRUE(guard.Intact());
}

// 10,000 levels: the walk keeps its levels off the stack, and lists what
// fits its records.
TEST(FinderTree, DeepTreeDoesNotOverflow) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "Windows paths end at 260 characters";
    TempDir dir;
    Guard guard(dir);
    const std::string root = dir / "deep";
    fs::create_directory(root);
    ASSERT_TRUE(testsupport::MakeNestedFolders(root, 10000, "d", 1));
    // Level k's file is root + k * "/d" + "/f"; it is listed while that fits.
    int32_t fitting = 0;
    for (size_t k = 1; root.size() + 2 * k + 2 < 260; ++k) ++fitting;
    CFileFinder lister;
    Text text(root);
    EXPECT_EQ(fitting, lister.ListTreeFiles(text.text));
    CFileFinder counter;
    EXPECT_EQ(fitting, counter.CountTreeFiles(text.text));
    CFileFinder folders;
    EXPECT_LE(fitting, folders.ListTreeFolders(text.text));
    EXPECT_TRUE(guard.Intact());
}

}  // namespace
