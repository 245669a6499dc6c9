#include "filelib/tree/record_walkers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"
#include "support/tree_checks.h"

namespace {

using testsupport::Sep;
using testsupport::TempDir;
using Names = std::vector<std::string>;

std::vector<TREEENTRY> Records(int32_t count) {
    const TREEENTRY* records = static_cast<const TREEENTRY*>(g_pEntryList);
    return std::vector<TREEENTRY>(records, records + count);
}

Names Strings(const void* list, int32_t from, int32_t count) {
    const char* texts = static_cast<const char*>(list);
    Names names;
    for (int32_t i = from; i < from + count; ++i) names.push_back(texts + size_t(i) * TREE_TEXT_WIDTH);
    return names;
}

size_t Distinct(const Names& names) { return std::set<std::string>(names.begin(), names.end()).size(); }

Names Sorted(Names names) {
    std::sort(names.begin(), names.end());
    return names;
}

// "folder/name" of a record, relative to the start folder.
std::string Relative(const TREEENTRY& record, const std::string& top) {
    std::string folder = record.szFolder;
    folder = folder.size() > top.size() ? folder.substr(top.size() + 1) + Sep() : "";
    return folder + record.szName;
}

TEST(RecordWalkers, StartFolderWithoutFilesOfItsOwn) {
    TempDir dir;
    dir.WriteFile("sub/a.txt", 3);
    int32_t depth = 7;
    ASSERT_EQ(1, BuildTreeFileList(dir.path().c_str(), "", 0, depth));
    EXPECT_EQ(0, depth);
    const TREEENTRY record = Records(1)[0];
    EXPECT_STREQ("a.txt", record.szName);
    EXPECT_EQ(dir / "sub", record.szFolder);
    EXPECT_EQ(dir.path(), record.szRoot);
    EXPECT_EQ(dir.path(), g_szTreeRoot);
    EXPECT_EQ(1, record.nDepth);
    EXPECT_EQ(3u, record.dwSize);
    EXPECT_FALSE(record.bFolder);
    EXPECT_EQ(1, g_nListCount);
}

TEST(RecordWalkers, FolderRecordComesBeforeItsTree) {
    TempDir dir;
    dir.WriteFile("S/f", 9);
    int32_t depth = 0;
    ASSERT_EQ(2, BuildTreeEntryList(dir.path().c_str(), "", 0, depth));
    const std::vector<TREEENTRY> records = Records(2);
    EXPECT_STREQ("S", records[0].szName);
    EXPECT_TRUE(records[0].bFolder);
    EXPECT_EQ(0, records[0].nDepth);
    EXPECT_EQ(0u, records[0].dwSize);
    EXPECT_EQ(dir.path(), records[0].szFolder);
    EXPECT_STREQ("f", records[1].szName);
    EXPECT_EQ(1, records[1].nDepth);
    EXPECT_EQ(dir.path() + Sep() + "S", records[1].szFolder);
    EXPECT_EQ(9u, g_dwTotalSize);  // folder records add nothing
    EXPECT_EQ(9.0, g_dTotalSize);
}

TEST(RecordWalkers, NestingAndDepthOfEveryRecord) {
    TempDir dir;
    dir.WriteFile("top.txt", 1);
    dir.WriteFile("a/a1.txt", 2);
    dir.WriteFile("a/b/b1.txt", 3);
    dir.WriteFile("a/b/c/c1.txt", 4);
    dir.WriteFile("a/b/c/c2.log", 5);
    dir.WriteFile("x/x1.txt", 6);
    dir.WriteFile(".hid/h.txt", 7);  // hidden folders are walked
    dir.WriteFile(".dot.txt", 8);    // hidden files count like any other
    dir.MakeDir("a/empty");
    struct Expected {
        bool folder;
        int32_t depth;
    };
    const std::map<std::string, Expected> expected = {
        {"top.txt", {false, 0}},
        {".dot.txt", {false, 0}},
        {"a", {true, 0}},
        {"x", {true, 0}},
        {".hid", {true, 0}},
        {"a" + Sep() + "a1.txt", {false, 1}},
        {"a" + Sep() + "b", {true, 1}},
        {"a" + Sep() + "empty", {true, 1}},
        {"a" + Sep() + "b" + Sep() + "b1.txt", {false, 2}},
        {"a" + Sep() + "b" + Sep() + "c", {true, 2}},
        {"a" + Sep() + "b" + Sep() + "c" + Sep() + "c1.txt", {false, 3}},
        {"x" + Sep() + "x1.txt", {false, 1}},
        {".hid" + Sep() + "h.txt", {false, 1}},
    };
    struct Case {
        bool withFolders;
        size_t records;
    } cases[] = {{true, expected.size()}, {false, 7}};
    for (const Case& c : cases) {
        int32_t depth = 0;
        const int32_t count = c.withFolders ? BuildTreeEntryList(dir.path().c_str(), "txt", 0, depth)
                                            : BuildTreeFileList(dir.path().c_str(), "txt", 0, depth);
        ASSERT_EQ(int32_t(c.records), count);
        EXPECT_EQ(0, depth);
        EXPECT_EQ(count, g_nListCount);
        EXPECT_EQ(31u, g_dwTotalSize);  // c2.log is not listed
        EXPECT_EQ(31.0, g_dTotalSize);
        const std::vector<TREEENTRY> records = Records(count);
        std::map<std::string, size_t> position;
        for (size_t i = 0; i < records.size(); ++i) {
            const std::string name = Relative(records[i], dir.path());
            auto it = expected.find(name);
            ASSERT_NE(expected.end(), it) << name;
            EXPECT_EQ(it->second.folder, records[i].bFolder) << name;
            EXPECT_EQ(it->second.depth, records[i].nDepth) << name;
            EXPECT_EQ(dir.path(), records[i].szRoot) << name;
            EXPECT_TRUE(position.emplace(name, i).second) << name << " twice";
        }
        // Pre-order: a folder's files first; a folder's record directly
        // before its tree, and its tree in one piece.
        for (size_t i = 0; i < records.size(); ++i) {
            if (records[i].bFolder) continue;
            for (size_t j = 0; j < records.size(); ++j) {
                if (records[j].bFolder && std::strcmp(records[j].szFolder, records[i].szFolder) == 0) {
                    EXPECT_LT(i, j) << records[i].szName << " after " << records[j].szName;
                }
            }
        }
        if (c.withFolders) {
            const size_t a = position.at("a");
            EXPECT_EQ(a + 1, position.at("a" + Sep() + "a1.txt"));
            for (const auto& entry : position) {
                if (entry.first.compare(0, 2, "a" + Sep()) != 0) continue;
                EXPECT_GT(entry.second, a) << entry.first;
                EXPECT_LE(entry.second, a + 6) << entry.first;
            }
        }
    }
}

TEST(RecordWalkers, ExtensionGroupsOfOneFolder) {
    TempDir dir;
    for (const char* name : {"a.txt", "b.log", "c.doc", "d.txt", "noext"}) dir.WriteFile(name, 2);
    dir.MakeDir("folder.txt");
    struct Case {
        const char* list;
        std::vector<Names> groups;  // group by group, each in search order
    } cases[] = {
        {"txt", {{"a.txt", "d.txt"}}},
        {"logtxt", {{"b.log"}, {"a.txt", "d.txt"}}},
        {"doctxtlog", {{"c.doc"}, {"a.txt", "d.txt"}, {"b.log"}}},
        {"d?ct*t", {{"c.doc"}, {"a.txt", "d.txt"}}},
        {"txttxt", {{"a.txt", "d.txt"}, {"a.txt", "d.txt"}}},
        {"", {{"a.txt", "b.log", "c.doc", "d.txt", "noext"}}},
        {"lo", {{"a.txt", "b.log", "c.doc", "d.txt", "noext"}}},
    };
    for (const Case& c : cases) {
        const int32_t count = BuildFolderFileNameList(dir.path().c_str(), c.list, 0);
        const Names listed = Strings(g_pEntryList, 0, count);
        EXPECT_EQ(count, g_nListCount) << c.list;
        size_t from = 0;
        for (const Names& group : c.groups) {
            ASSERT_LE(from + group.size(), listed.size()) << c.list;
            EXPECT_EQ(group, Sorted(Names(listed.begin() + long(from), listed.begin() + long(from + group.size()))))
                << c.list;
            from += group.size();
        }
        EXPECT_EQ(from, listed.size()) << c.list;
        EXPECT_EQ(2u * from, g_dwTotalSize) << c.list;
    }
}

TEST(RecordWalkers, PathListsOfTwoFoldersInOneList) {
    TempDir dir;
    dir.WriteFile("one/a", 1);
    dir.WriteFile("one/b", 2);
    dir.WriteFile("two/c", 4);
    const int32_t first = BuildFolderFilePathList((dir / "one").c_str(), "", 0);
    ASSERT_EQ(2, first);
    ASSERT_EQ(1, BuildFolderFilePathList((dir / "two").c_str(), "", first));
    EXPECT_EQ(1, g_nListCount);
    EXPECT_EQ(7u, g_dwTotalSize);
    EXPECT_EQ(Names({dir / "one/a", dir / "one/b"}), Sorted(Strings(g_pEntryList, 0, 2)));
    EXPECT_EQ(Names({dir / "two/c"}), Strings(g_pEntryList, 2, 1));
}

TEST(RecordWalkers, WalkThatFindsNothingKeepsTheList) {
    TempDir dir;
    dir.WriteFile("kept", 1);
    TempDir empty;
    empty.MakeDir("sub/deeper");
    struct Case {
        const char* what;
        int32_t (*walk)(const char* folder);
        const char* nothing;  // a folder where the walk finds nothing
    } cases[] = {
        {"entries", [](const char* f) { int32_t d = 0; return BuildTreeEntryList(f, "", 0, d); }, "sub/deeper"},
        {"files", [](const char* f) { int32_t d = 0; return BuildTreeFileList(f, "", 0, d); }, "sub"},
        {"names", [](const char* f) { return BuildFolderFileNameList(f, "", 0); }, "sub"},
        {"paths", [](const char* f) { return BuildFolderFilePathList(f, "", 0); }, "sub"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(1, c.walk(dir.path().c_str())) << c.what;
        void* const list = g_pEntryList;
        const std::vector<char> before(static_cast<char*>(list), static_cast<char*>(list) + sizeof(TREEENTRY));
        EXPECT_EQ(0, c.walk((empty / c.nothing).c_str())) << c.what;
        EXPECT_EQ(0, g_nListCount) << c.what;
        EXPECT_EQ(list, g_pEntryList) << c.what;
        EXPECT_EQ(0, std::memcmp(before.data(), g_pEntryList, before.size())) << c.what;
    }
}

TEST(RecordWalkers, RepeatedWalksGrowAndReplaceTheirLists) {
    // Run under the leak checker, a list block that a new walk forgets
    // shows up when the tests end.
    TempDir dir;
    for (int i = 0; i < 1000; ++i) dir.WriteFile("f" + std::to_string(i), uint64_t(i));
    for (int round = 0; round < 3; ++round) {
        int32_t depth = 0;
        ASSERT_EQ(1000, BuildTreeFileList(dir.path().c_str(), "", 0, depth));
        uint64_t sum = 0;
        std::vector<bool> seen(1000);
        for (const TREEENTRY& record : Records(1000)) {
            const int index = std::stoi(record.szName + 1);
            ASSERT_FALSE(seen[size_t(index)]) << record.szName;
            seen[size_t(index)] = true;
            ASSERT_EQ(uint32_t(index), record.dwSize);
            sum += record.dwSize;
        }
        EXPECT_EQ(uint64_t(999) * 1000 / 2, sum);
        ASSERT_EQ(1000, BuildFolderFileNameList(dir.path().c_str(), "", 0));
        EXPECT_EQ(1000u, Distinct(Strings(g_pEntryList, 0, 1000)));
    }
    // A list continued past its end: the places skipped are empty, and
    // nothing is written outside the list.
    ASSERT_EQ(1000, BuildFolderFileNameList(dir.path().c_str(), "", 1500));
    EXPECT_EQ(Names(1, ""), Strings(g_pEntryList, 1499, 1));
    EXPECT_EQ(1000u, Distinct(Strings(g_pEntryList, 1500, 1000)));
    EXPECT_EQ(Strings(g_pEntryList, 0, 1000), Strings(g_pEntryList, 1500, 1000));  // the earlier names stay
}

TEST(RecordWalkers, TotalsOverLargeSparseFiles) {
    TempDir dir;
    const uint64_t gib = testsupport::kGiB;
    ASSERT_EQ(5 * gib, testsupport::WriteLargeFilePair(dir, "three", "sub/two"));
    dir.WriteFile("sub/five", 5 * gib);
    int32_t depth = 0;
    ASSERT_EQ(3, BuildTreeFileList(dir.path().c_str(), "", 0, depth));
    EXPECT_EQ(double(10 * gib), g_dTotalSize);
    EXPECT_EQ(uint32_t(10 * gib), g_dwTotalSize);  // wraps
    std::map<std::string, uint32_t> sizes;
    for (const TREEENTRY& record : Records(3)) sizes[record.szName] = record.dwSize;
    EXPECT_EQ(uint32_t(3 * gib), sizes["three"]);
    EXPECT_EQ(uint32_t(2 * gib), sizes["two"]);
    EXPECT_EQ(uint32_t(5 * gib), sizes["five"]);
    ASSERT_EQ(2, BuildTreeFileList((dir / "sub").c_str(), "", 0, depth));
    EXPECT_EQ(double(7 * gib), g_dTotalSize);
}

TEST(RecordWalkers, EmptyFolderTextIsTheCurrentFolder) {
    TempDir dir;
    dir.WriteFile("here", 1);
    dir.WriteFile("S/below", 2);
    testsupport::ScopedCurrentDir current(dir.path());
    int32_t depth = 0;
    ASSERT_EQ(3, BuildTreeEntryList("", "", 0, depth));
    std::map<std::string, std::string> folderOf;
    for (const TREEENTRY& record : Records(3)) folderOf[record.szName] = record.szFolder;
    EXPECT_EQ("", folderOf["here"]);
    EXPECT_EQ("", folderOf["S"]);
    EXPECT_EQ("S", folderOf["below"]);
    ASSERT_EQ(1, BuildFolderFilePathList("", "", 0));
    EXPECT_EQ(Names({"here"}), Strings(g_pEntryList, 0, 1));
    ASSERT_EQ(1, BuildFolderFilePathList("S", "", 0));
    EXPECT_EQ(Names({"S" + Sep() + "below"}), Strings(g_pEntryList, 0, 1));
    ASSERT_EQ(1, BuildSubfolderList(""));
    EXPECT_EQ(Names({"S"}), Strings(g_pFolderList, 0, 1));
}

TEST(RecordWalkers, FolderEndingInASeparatorGetsNoSecond) {
    TempDir dir;
    dir.WriteFile("S/f", 1);
    const std::string folder = dir.path() + Sep();
    ASSERT_EQ(1, BuildFolderFilePathList((folder + "S" + Sep()).c_str(), "", 0));
    EXPECT_EQ(Names({dir / "S/f"}), Strings(g_pEntryList, 0, 1));
    int32_t depth = 0;
    ASSERT_EQ(2, BuildTreeEntryList(folder.c_str(), "", 0, depth));
    EXPECT_EQ(dir / "S", Records(2)[1].szFolder);
}

TEST(RecordWalkers, SubfolderListIsItsOwn) {
    TempDir dir;
    for (int i = 0; i < 40; ++i) dir.MakeDir("d" + std::to_string(i));
    dir.MakeDir(".hidden");
    dir.WriteFile("file", 1);
    ASSERT_EQ(1, BuildFolderFileNameList(dir.path().c_str(), "", 0));
    g_nListCount = -5;
    ASSERT_EQ(41, BuildSubfolderList(dir.path().c_str()));
    EXPECT_EQ(-5, g_nListCount);
    EXPECT_EQ(Names({"file"}), Strings(g_pEntryList, 0, 1));
    Names expected{".hidden"};
    for (int i = 0; i < 40; ++i) expected.push_back("d" + std::to_string(i));
    EXPECT_EQ(Sorted(expected), Sorted(Strings(g_pFolderList, 0, 41)));
    EXPECT_EQ(0, BuildSubfolderList((dir / "d0").c_str()));
}

TEST(RecordWalkers, LinksAreNeverFollowed) {
    TempDir outside;
    for (int i = 0; i < 5; ++i) outside.WriteFile("o" + std::to_string(i), 100);
    outside.WriteFile("deep/o", 100);
    TempDir dir;
    dir.WriteFile("own", 1);
    const std::string why = testsupport::FolderLinkOrWhy(outside.path(), dir / "link");
    if (!why.empty()) GTEST_SKIP() << why;
    int32_t depth = 0;
    const int32_t count = BuildTreeEntryList(dir.path().c_str(), "", 0, depth);
    // The link is listed as the search shows it (a folder on Windows, an
    // entry of its own on POSIX), and nothing behind it.
    ASSERT_EQ(2, count);
    for (const TREEENTRY& record : Records(count)) {
        EXPECT_EQ(dir.path(), record.szFolder) << record.szName;
        const bool isLink = std::string(record.szName) == "link";
        EXPECT_EQ(isLink && !testsupport::IsPosix(), record.bFolder) << record.szName;
    }
    EXPECT_GT(200.0, g_dTotalSize);
}

TEST(RecordWalkers, TextsBeyondTheirWidthsAreLeftOut) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "inside the temporary folder these texts pass the Windows path limit";
    TempDir dir;
    testsupport::ScopedCurrentDir current(dir.path());
    const std::string fits(253, 'f'), tooLong(254, 'g');
    dir.WriteFile(fits + Sep() + "a", 1);
    dir.WriteFile(tooLong + Sep() + "b", 1);
    dir.MakeDir(fits + Sep() + "s");
    struct Case {
        std::string folder;
        int32_t files;
        int32_t entries;
    } cases[] = {{fits, 1, 2}, {tooLong, 0, 0}};
    for (const Case& c : cases) {
        int32_t depth = 0;
        EXPECT_EQ(c.files, BuildTreeFileList(c.folder.c_str(), "", 0, depth)) << c.folder.size();
        EXPECT_EQ(c.entries, BuildTreeEntryList(c.folder.c_str(), "", 0, depth)) << c.folder.size();
        EXPECT_EQ(c.files, BuildFolderFileNameList(c.folder.c_str(), "", 0)) << c.folder.size();
        EXPECT_EQ(c.entries - c.files, BuildSubfolderList(c.folder.c_str())) << c.folder.size();
    }
    // "fff.../a" is 255 characters, "fff.../s" cannot be walked into.
    EXPECT_EQ(1, BuildFolderFilePathList(fits.c_str(), "", 0));
    EXPECT_EQ(fits + Sep() + "a", Strings(g_pEntryList, 0, 1)[0]);
    // A path list leaves out paths of 260 characters or more.
    const std::string folder(250, 'p');
    dir.WriteFile(folder + Sep() + "12345678", 1);   // 259
    dir.WriteFile(folder + Sep() + "123456789", 1);  // 260
    ASSERT_EQ(1, BuildFolderFilePathList(folder.c_str(), "", 0));
    EXPECT_EQ(folder + Sep() + "12345678", Strings(g_pEntryList, 0, 1)[0]);
    EXPECT_EQ(2, BuildFolderFileNameList(folder.c_str(), "", 0));
}

TEST(RecordWalkers, DeepTreeStopsAtTheFolderWidths) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "a tree this deep cannot be made through Windows paths";
    TempDir dir;
    ASSERT_TRUE(testsupport::MakeNestedFolders(dir.path(), 10000, "d", 1));
    testsupport::ScopedCurrentDir current(dir.path());
    // "d", "d/d", ...: level k has a folder text of 2k - 1 characters.
    int32_t depth = 0;
    EXPECT_EQ(127, BuildTreeFileList("d", "", 0, depth));
    EXPECT_EQ(126, Records(127)[126].nDepth);
    EXPECT_EQ(253u, std::strlen(Records(127)[126].szFolder));
    EXPECT_EQ(127 + 127, BuildTreeEntryList("d", "", 0, depth));
    EXPECT_EQ(97, CollectTreeFiles("d", "", 0));
    EXPECT_EQ(193u, std::strlen(g_aszTreeFolder[96]));
}

}  // namespace
