#include "filelib/tree/tree_collector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "filelib/platform/platform.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/tree_checks.h"

namespace {

using testsupport::Sep;
using testsupport::TempDir;
using Names = std::vector<std::string>;

Names TreeFiles(int32_t from, int32_t count) {
    Names names;
    for (int32_t i = from; i < from + count; ++i) names.push_back(g_aszTreeFile[i]);
    return names;
}

Names TreeFolders(int32_t count) {
    Names folders;
    for (int32_t i = 0; i < count; ++i) folders.push_back(g_aszTreeFolder[i]);
    return folders;
}

Names Subfolders(int32_t count) {
    Names names;
    for (int32_t i = 0; i < count; ++i) names.push_back(g_aszSubfolder[i]);
    return names;
}

Names Sorted(Names names) {
    std::sort(names.begin(), names.end());
    return names;
}

TEST(TreeCollector, ExtensionListsAreGroupsOfThree) {
    TempDir dir;
    for (const char* name : {"a.txt", "b.log", "c.doc", "d.txt", "e.xls", "noext"}) dir.WriteFile(name, 1);
    dir.MakeDir("sub.txt");  // a folder never counts as a file
    struct Case {
        const char* list;
        Names files;  // as the sorted listing gives them
    } cases[] = {
        {"txt", {"a.txt", "d.txt"}},
        {"txtlog", {"a.txt", "b.log", "d.txt"}},
        {"txtlo", {"a.txt", "d.txt"}},                       // the two left over are ignored
        {"txtdocxls", {"a.txt", "c.doc", "d.txt", "e.xls"}},  // several groups
        {"", {"a.txt", "b.log", "c.doc", "d.txt", "e.xls", "noext"}},
        {"ab", {"a.txt", "b.log", "c.doc", "d.txt", "e.xls", "noext"}},
        {"t?t", {"a.txt", "d.txt"}},                  // wildcards inside a group
        {"?o?", {"b.log", "c.doc"}},
        {"x?s", {"e.xls"}},
        {"txttxt", {"a.txt", "a.txt", "d.txt", "d.txt"}},  // a group matched twice
        {"zip", {}},
        {"t/x", {}},                                  // a group never names another folder
    };
    for (const Case& c : cases) {
        const int32_t listed = ListFolderFilesSorted(dir.path().c_str(), c.list, 0);
        EXPECT_EQ(c.files, TreeFiles(0, listed)) << c.list;
        EXPECT_EQ(listed, g_nListCount) << c.list;
        EXPECT_EQ(int32_t(c.files.size()), CountFolderFiles(dir.path().c_str(), c.list)) << c.list;
    }
}

TEST(TreeCollector, FilesSortByNameBeforeExtension) {
    struct Case {
        Names created;
        Names sorted;
    } cases[] = {
        {{"B.TXT", "a.txt", "A.LOG", "ab.txt"}, {"A.LOG", "a.txt", "ab.txt", "B.TXT"}},
        {{"AB.TXT", "A.TXT", "A"}, {"A", "A.TXT", "AB.TXT"}},
        {{"x.b", "x.a", "x"}, {"x", "x.a", "x.b"}},
        {{"report.2005.zip", "report.zip", "report.2004.zip"}, {"report.zip", "report.2004.zip", "report.2005.zip"}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        for (const std::string& name : c.created) dir.WriteFile(name, name.size());
        const int32_t listed = ListFolderFilesSorted(dir.path().c_str(), "", 0);
        ASSERT_EQ(c.sorted, TreeFiles(0, listed)) << c.created[0];
        for (int32_t i = 0; i < listed; ++i) EXPECT_EQ(std::strlen(g_aszTreeFile[i]), g_adwTreeSize[i]);
    }
}

// Names with bytes above 127 are made through the test's own file system
// calls; where those do not store the Windows-1252 bytes the library
// searches with, the case cannot be set up.
bool HoldsNamesAsBytes(const TempDir& dir, const Names& names) {
    Names found;
    plat::FindData entry;
    plat::SearchHandle search = plat::FindOpen((dir / "*").c_str(), plat::SearchKind::All, &entry);
    for (bool more = search != nullptr; more; more = plat::FindNext(search, &entry)) {
        if (entry.name[0] != '.') found.push_back(entry.name);
    }
    plat::FindClose(search);
    return Sorted(found) == Sorted(names);
}

TEST(TreeCollector, UmlautsAndHighBytesSortAfterLetters) {
    struct Case {
        Names created;
        Names sorted;
    } cases[] = {
        // Umlauts fold to their capitals, which sort after the ASCII letters.
        {{"\xfc" "bung.txt", "zebra.txt", "Abc.txt", "\xd6l.txt"}, {"Abc.txt", "zebra.txt", "\xd6l.txt", "\xfc" "bung.txt"}},
        {{"\xe4" "b", "\xc4" "a"}, {"\xc4" "a", "\xe4" "b"}},
        {{"\xdc" "b", "\xfc" "a"}, {"\xfc" "a", "\xdc" "b"}},
        // A name of 0xFF bytes sorts last and is still listed.
        {{std::string(150, '\xff'), "b"}, {"b", std::string(150, '\xff')}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        for (const std::string& name : c.created) dir.WriteFile(name, 1);
        if (!HoldsNamesAsBytes(dir, c.created)) GTEST_SKIP() << "file names made here are not stored as Windows-1252 bytes";
        EXPECT_EQ(c.sorted, TreeFiles(0, ListFolderFilesSorted(dir.path().c_str(), "", 0))) << c.created[0];
    }
}

TEST(TreeCollector, EqualKeysKeepEveryFileOnce) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "names equal but for case cannot live side by side here";
    TempDir dir;
    dir.WriteFile("Read.me", 1);
    dir.WriteFile("READ.ME", 2);
    dir.WriteFile("read.me", 3);
    dir.WriteFile("a", 4);
    const int32_t listed = ListFolderFilesSorted(dir.path().c_str(), "", 0);
    ASSERT_EQ(4, listed);
    EXPECT_EQ("a", TreeFiles(0, 1)[0]);
    // Equal keys come together, each file once with its own size.
    EXPECT_EQ(Names({"READ.ME", "Read.me", "read.me"}), Sorted(TreeFiles(1, 3)));
    uint32_t sizes = 0;
    for (int32_t i = 1; i < 4; ++i) sizes |= 1u << g_adwTreeSize[i];
    EXPECT_EQ((1u << 1) | (1u << 2) | (1u << 3), sizes);

    // A file matched twice is listed twice, with its size each time.
    const int32_t twice = ListFolderFilesSorted(dir.path().c_str(), "me*m*e", 0);
    ASSERT_EQ(6, twice);
    EXPECT_EQ(Names({"READ.ME", "READ.ME", "Read.me", "Read.me", "read.me", "read.me"}), Sorted(TreeFiles(0, 6)));
}

TEST(TreeCollector, TotalsAndWholeLengths) {
    TempDir dir;
    const uint64_t gib = testsupport::kGiB;
    ASSERT_EQ(5 * gib, testsupport::WriteLargeFilePair(dir, "three.bin", "two.bin"));
    dir.WriteFile("five.bin", 5 * gib);
    ASSERT_EQ(3, ListFolderFilesSorted(dir.path().c_str(), "bin", 0));
    EXPECT_EQ(Names({"five.bin", "three.bin", "two.bin"}), TreeFiles(0, 3));
    EXPECT_EQ(uint32_t(5 * gib), g_adwTreeSize[0]);
    EXPECT_EQ(5 * gib, g_aqwTreeSize[0]);
    EXPECT_EQ(3 * gib, g_aqwTreeSize[1]);
    EXPECT_EQ(uint32_t(3 * gib), g_adwTreeSize[1]);
    EXPECT_EQ(uint32_t(10 * gib), g_dwTotalSize);  // wraps as the 32-bit total does

    // A continued listing adds to the total; a new one starts it again.
    TempDir other;
    other.WriteFile("x.bin", 7);
    ASSERT_EQ(1, ListFolderFilesSorted(other.path().c_str(), "bin", 3));
    EXPECT_EQ(uint32_t(10 * gib + 7), g_dwTotalSize);
    EXPECT_EQ("x.bin", TreeFiles(3, 1)[0]);
    ASSERT_EQ(1, ListFolderFilesSorted(other.path().c_str(), "bin", 0));
    EXPECT_EQ(7u, g_dwTotalSize);
}

TEST(TreeCollector, TreeOrderIsOwnFilesThenSortedSubfolders) {
    TempDir dir;
    dir.WriteFile("z.txt", 1);
    dir.WriteFile("C/c1.txt", 2);
    dir.WriteFile("b/b2.txt", 3);
    dir.WriteFile("b/b1.txt", 4);
    dir.WriteFile("b/deeper/d.txt", 5);
    dir.WriteFile("b/deeper/skip.log", 6);
    dir.WriteFile(".hidden/h.txt", 7);  // hidden folders are walked, hidden files count
    dir.WriteFile(".h.txt", 8);
    dir.MakeDir("empty");
    const int32_t collected = CollectTreeFiles(dir.path().c_str(), "txt", 0);
    ASSERT_EQ(7, collected);
    EXPECT_EQ(collected, g_nListCount);
    EXPECT_EQ(Names({".h.txt", "z.txt", "h.txt", "b1.txt", "b2.txt", "d.txt", "c1.txt"}), TreeFiles(0, collected));
    const std::string top = dir.path();
    EXPECT_EQ(Names({top, top, top + Sep() + ".hidden", top + Sep() + "b", top + Sep() + "b", top + Sep() + "b" + Sep() + "deeper",
                     top + Sep() + "C"}),
              TreeFolders(collected));
    EXPECT_EQ(Names({"8", "1", "7", "4", "3", "5", "2"}),
              [&] {
                  Names sizes;
                  for (int32_t i = 0; i < collected; ++i) sizes.push_back(std::to_string(g_adwTreeSize[i]));
                  return sizes;
              }());
}

TEST(TreeCollector, SubfoldersSortByUpperCasedName) {
    TempDir dir;
    for (const char* name : {"beta", "Alpha", "Zeta", "gamma", ".cache"}) dir.MakeDir(name);
    dir.WriteFile("file", 1);
    EXPECT_EQ(Names({".cache", "Alpha", "beta", "gamma", "Zeta"}), Subfolders(ListSubfoldersSorted(dir.path().c_str())));
    // Only a to z are upper-cased: a name beginning with u-umlaut comes
    // after every ASCII letter, and once.
    TempDir umlaut;
    const Names made = {"\xfc" "ber", "Zeta", "beta", "\xdc" "d"};
    for (const std::string& name : made) umlaut.MakeDir(name);
    if (!HoldsNamesAsBytes(umlaut, made)) GTEST_SKIP() << "file names made here are not stored as Windows-1252 bytes";
    EXPECT_EQ(Names({"beta", "Zeta", "\xdc" "d", "\xfc" "ber"}), Subfolders(ListSubfoldersSorted(umlaut.path().c_str())));
}

TEST(TreeCollector, CapacityIsTheWholeWalks) {
    TempDir dir;
    for (int i = 0; i < 2005; ++i) dir.WriteFile("many/f" + std::to_string(10000 + i), 1);
    dir.WriteFile("a.txt", 1);
    dir.WriteFile("zz/late", 1);
    g_bListTruncated = false;
    const int32_t collected = CollectTreeFiles(dir.path().c_str(), "", 0);
    EXPECT_EQ(2000, collected);
    EXPECT_EQ(2000, g_nListCount);
    EXPECT_TRUE(g_bListTruncated);
    EXPECT_STREQ("a.txt", g_aszTreeFile[0]);
    for (int32_t i = 1; i < 2000; ++i) {
        ASSERT_EQ(dir / "many", g_aszTreeFolder[i]) << i;
        ASSERT_LT(std::strcmp(g_aszTreeFile[i - 1], g_aszTreeFile[i]), 0) << i;
    }

    // A listing continued near the capacity takes what still fits.
    g_bListTruncated = false;
    EXPECT_EQ(1, ListFolderFilesSorted((dir / "zz").c_str(), "", 1999));
    EXPECT_FALSE(g_bListTruncated);
    EXPECT_EQ(0, ListFolderFilesSorted((dir / "zz").c_str(), "", 2000));
    EXPECT_TRUE(g_bListTruncated);
    EXPECT_EQ(0, CollectTreeFiles((dir / "zz").c_str(), "", 2000));
}

TEST(TreeCollector, EmptyWalkKeepsTheTables) {
    TempDir dir;
    dir.WriteFile("keep.txt", 5);
    ASSERT_EQ(1, CollectTreeFiles(dir.path().c_str(), "", 0));
    TempDir empty;
    empty.MakeDir("sub");
    EXPECT_EQ(0, CollectTreeFiles(empty.path().c_str(), "", 0));
    EXPECT_EQ(0, g_nListCount);
    EXPECT_STREQ("keep.txt", g_aszTreeFile[0]);
    EXPECT_EQ(dir.path(), g_aszTreeFolder[0]);
    EXPECT_EQ(0, CollectTreeFiles((dir / "missing").c_str(), "", 0));
    EXPECT_EQ(0, ListSubfoldersSorted((dir / "missing").c_str()));
    EXPECT_EQ(0, CountFolderFiles((dir / "missing").c_str(), ""));
}

TEST(TreeCollector, EmptyFolderTextIsTheCurrentFolder) {
    TempDir dir;
    dir.WriteFile("here.txt", 1);
    dir.WriteFile("sub/below.txt", 2);
    testsupport::ScopedCurrentDir current(dir.path());
    const int32_t collected = CollectTreeFiles("", "txt", 0);
    ASSERT_EQ(2, collected);
    EXPECT_EQ(Names({"here.txt", "below.txt"}), TreeFiles(0, 2));
    EXPECT_EQ(Names({"", "sub"}), TreeFolders(2));
    EXPECT_EQ(1, ListSubfoldersSorted(""));
    EXPECT_EQ(1, CountFolderFiles("", "txt"));
    EXPECT_EQ(1, CountFolderFiles("sub", ""));
}

TEST(TreeCollector, LinksAreNeverFollowed) {
    TempDir outside;
    for (int i = 0; i < 5; ++i) outside.WriteFile("o" + std::to_string(i) + ".txt", 1);
    TempDir dir;
    dir.WriteFile("own.txt", 1);
    const std::string why = testsupport::FolderLinkOrWhy(outside.path(), dir / "link");
    if (!why.empty()) GTEST_SKIP() << why;
    const int32_t collected = CollectTreeFiles(dir.path().c_str(), "txt", 0);
    EXPECT_EQ(Names({"own.txt"}), TreeFiles(0, collected));
    // Windows lists the link as the folder the search shows; POSIX shows a link as a file.
    EXPECT_EQ(testsupport::IsPosix() ? 0 : 1, ListSubfoldersSorted(dir.path().c_str()));
}

TEST(TreeCollector, TextsBeyondTheirWidthsAreLeftOut) {
    TempDir dir;
    testsupport::ScopedCurrentDir current(dir.path());
    // Folder texts: 193 characters are searched, 194 are not.
    const std::string fits(193, 'f'), tooLong(194, 'g');
    dir.WriteFile(fits + Sep() + "a.txt", 1);
    dir.WriteFile(tooLong + Sep() + "b.txt", 1);
    dir.MakeDir(fits + Sep() + "s");
    struct Case {
        std::string folder;
        int32_t files;
        int32_t subfolders;
        int32_t counted;  // counting allows longer patterns
    } cases[] = {{fits, 1, 1, 1}, {tooLong, 0, 0, 1}};
    for (const Case& c : cases) {
        EXPECT_EQ(c.files, ListFolderFilesSorted(c.folder.c_str(), "", 0)) << c.folder.size();
        EXPECT_EQ(c.files, CollectTreeFiles(c.folder.c_str(), "", 0)) << c.folder.size();
        EXPECT_EQ(c.subfolders, ListSubfoldersSorted(c.folder.c_str())) << c.folder.size();
        EXPECT_EQ(c.counted, CountFolderFiles(c.folder.c_str(), "")) << c.folder.size();
    }
    // A walk does not descend where the folder text would reach the width.
    EXPECT_EQ(1, CollectTreeFiles("", "", 0));
    EXPECT_EQ(fits, g_aszTreeFolder[0]);

    // Names of 200 characters or more do not fit the name table.
    TempDir names;
    names.WriteFile(std::string(199, 'n'), 1);
    names.WriteFile(std::string(200, 'm'), 1);
    names.MakeDir(std::string(200, 'd'));
    EXPECT_EQ(Names({std::string(199, 'n')}), TreeFiles(0, ListFolderFilesSorted(names.path().c_str(), "", 0)));
    EXPECT_EQ(0, ListSubfoldersSorted(names.path().c_str()));
    EXPECT_EQ(2, CountFolderFiles(names.path().c_str(), ""));  // counting stores no name
}

}  // namespace
