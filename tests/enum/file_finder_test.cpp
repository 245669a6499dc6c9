#include "filelib/enum/file_finder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Sep;
using testsupport::TempDir;

using testsupport::DirText;

std::vector<std::string> Files(CFileFinder& finder, const std::string& dir, const char* filters = "") {
    DirText text(dir);
    std::vector<std::string> names;
    for (bool found = finder.FindFirst(text.text, filters); found; found = finder.FindNext())
        names.push_back(finder.GetName());
    return names;
}

std::vector<std::string> Folders(CFileFinder& finder, const std::string& dir) {
    DirText text(dir);
    std::vector<std::string> names;
    for (bool found = finder.FindFirstDir(text.text); found; found = finder.FindNextDir())
        names.push_back(finder.GetName());
    finder.Close();
    return names;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

using Names = std::vector<std::string>;

TEST(FileFinder, FilesAndFoldersAreSeparateSearches) {
    TempDir dir;
    dir.WriteFile("a.txt", 3);
    dir.WriteFile("b.doc", 4);
    dir.MakeDir("sub");
    dir.MakeDir(".cache");
    CFileFinder finder;
    EXPECT_EQ(Names({"a.txt", "b.doc"}), Sorted(Files(finder, dir.path())));
    EXPECT_EQ(Names({".cache", "sub"}), Sorted(Folders(finder, dir.path())));

    DirText text(dir.path());
    ASSERT_TRUE(finder.FindFirstDir(text.text));
    EXPECT_EQ(1, finder.m_cur.bIsDir);
    EXPECT_EQ(0u, finder.GetSize());
    EXPECT_EQ(dir.path() + Sep() + finder.GetName(), finder.GetPath());
    EXPECT_STREQ(dir.path().c_str(), finder.GetDir());
    EXPECT_STREQ(dir.path().c_str(), finder.m_szListDir);
    finder.Close();
}

TEST(FileFinder, FilterSlotsComeInListOrder) {
    TempDir dir;
    for (const char* name : {"a.txt", "b.doc", "c.txt", "noext", "d.TXT"}) dir.WriteFile(name, 1);
    // Windows may match a longer extension through its 8.3 short name, and
    // Wine does in its own way; only POSIX promises that it does not.
    if (testsupport::IsPosix()) dir.WriteFile("e.txtx", 1);
    CFileFinder finder;
    std::vector<std::string> found = Files(finder, dir.path(), "txt,doc");
    ASSERT_EQ(4u, found.size());
    EXPECT_EQ(Names({"a.txt", "c.txt", "d.TXT"}), Sorted({found[0], found[1], found[2]}));
    EXPECT_EQ("b.doc", found[3]);
    EXPECT_EQ(Names({"b.doc"}), Files(finder, dir.path(), "zip,doc"));
    EXPECT_EQ(Names({"b.doc"}), Files(finder, dir.path(), "doc,"));
    EXPECT_EQ(testsupport::IsPosix() ? 6u : 5u, Files(finder, dir.path(), "").size());
    // A file that matches two slots is found twice.
    EXPECT_EQ(2u, Files(finder, dir.path(), "doc,doc").size());
}

TEST(FileFinder, EmptySlotFindsNamesWithoutExtension) {
    if (testsupport::RunningUnderWine()) GTEST_SKIP() << "Wine's search matches \"*.\" with every name";
    TempDir dir;
    for (const char* name : {"a.txt", "b.doc", "noext"}) dir.WriteFile(name, 1);
    CFileFinder finder;
    EXPECT_EQ(Names({"noext"}), Files(finder, dir.path(), ","));
    EXPECT_EQ(Names({"noext", "b.doc"}), Files(finder, dir.path(), ",doc"));
}

TEST(FileFinder, FilterListParsing) {
    struct Case {
        const char* list;
        int count;
        std::vector<std::string> slots;
    } cases[] = {
        {"txt,doc", 2, {"txt", "doc"}}, {"txt,", 1, {"txt"}},        {",txt", 2, {"", "txt"}},
        {"txt,,doc", 3, {"txt", "", "doc"}}, {",", 1, {""}},          {"", 1, {"*"}},
        {"123456789", 1, {"123456789"}},
    };
    TempDir dir;
    for (const Case& c : cases) {
        CFileFinder finder;
        DirText text(dir.path());
        finder.FindFirst(text.text, c.list);
        EXPECT_EQ(c.count, finder.m_nFilterCount) << c.list;
        for (size_t i = 0; i < c.slots.size(); ++i) EXPECT_EQ(c.slots[i], finder.m_szFilters[i]) << c.list;
    }
}

// An extension holding a separator names no file of the folder searched,
// whatever folders its pattern would reach ("a/b" gives "f/*.a/b"): in the
// step-by-step search as in the listings.
TEST(FileFinder, ExtensionSlotsNeverLeaveTheFolder) {
    TempDir dir;
    for (const char* name : {"f/b.doc", "f/x.a/b", "f/x.a/c.doc", "b"}) dir.WriteFile(name, 1);
    // A folder spelt as the pattern: POSIX takes the name, Windows does not.
    if (testsupport::IsPosix()) dir.WriteFile("f/*.a/b", 1);
    const struct Case {
        const char* list;
        Names expected;
    } cases[] = {
        {"a/b", {}}, {"a\\b", {}}, {"a/b,doc", {"b.doc"}}, {"doc,a\\b", {"b.doc"}}, {"/../b", {}}, {"a/*", {}},
    };
    const std::string folder = dir / "f";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        CFileFinder finder;
        EXPECT_EQ(c.expected, Sorted(Files(finder, folder, c.list)));
        CFileFinder lister;
        DirText text(folder);
        lister.ListFilesByExtensions(text.text, c.list);
        Names listed;
        for (int i = 0; i < lister.GetEntryCount(); ++i) listed.push_back(lister.GetNameAt(i));
        EXPECT_EQ(c.expected, Sorted(listed));
    }
}

TEST(FileFinder, OverlongFiltersAreNeverCutNorOverrun) {
    TempDir dir;
    dir.WriteFile("x.abcdefghi", 1);    // nine characters: fits a slot
    dir.WriteFile("y.abcdefghij", 1);   // ten: does not
    dir.WriteFile("z.abcdefghi", 1);
    CFileFinder finder;
    EXPECT_EQ(Names({"x.abcdefghi", "z.abcdefghi"}), Sorted(Files(finder, dir.path(), "abcdefghi")));
    // Cutting "abcdefghij" to nine characters would find the wrong files.
    EXPECT_EQ(Names(), Files(finder, dir.path(), "abcdefghij"));
    std::string many;
    for (int i = 0; i < 300; ++i) many += "e" + std::to_string(i) + ",";
    many += std::string(5000, 'q');
    EXPECT_EQ(Names(), Files(finder, dir.path(), many.c_str()));
    EXPECT_EQ(100, finder.m_nFilterCount);
}

TEST(FileFinder, SkipFlags) {
    TempDir dir;
    dir.WriteFile("empty", 0);
    dir.WriteFile("full", 5);
    dir.WriteFile(".profile", 5);
    dir.MakeDir("emptydir");
    dir.MakeDir(".cachedir");
    CFileFinder finder;
    finder.m_nFlags = FINDER_SKIP_EMPTY;
    EXPECT_EQ(Names({".profile", "full"}), Sorted(Files(finder, dir.path())));
    EXPECT_EQ(Names({".cachedir", "emptydir"}), Sorted(Folders(finder, dir.path())));
    finder.m_nFlags = FINDER_SKIP_DOTNAMES;
    EXPECT_EQ(Names({"empty", "full"}), Sorted(Files(finder, dir.path())));
    EXPECT_EQ(Names({".cachedir", "emptydir"}), Sorted(Folders(finder, dir.path())));
    finder.Reset();
    EXPECT_EQ(0u, finder.m_nFlags);
    EXPECT_EQ(3u, Files(finder, dir.path()).size());
}

TEST(FileFinder, HiddenFlagAsksTheFileSystem) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "hidden files are marked by attribute on Windows";
    TempDir dir;
    dir.WriteFile(".secret", 1);
    dir.WriteFile("plain", 1);
    dir.MakeDir(".hiddendir");
    CFileFinder finder;
    finder.m_nFlags = FINDER_SKIP_HIDDEN;
    EXPECT_EQ(Names({"plain"}), Files(finder, dir.path()));
    EXPECT_EQ(Names(), Folders(finder, dir.path()));
    finder.m_nFlags = FINDER_SKIP_SYSTEM;
    EXPECT_EQ(2u, Files(finder, dir.path()).size());
}

TEST(FileFinder, EmptyFolderAndFolderWithOnlySubfolders) {
    TempDir dir;
    dir.MakeDir("only/one");
    CFileFinder finder;
    DirText empty(dir / "only" + Sep() + "one");
    EXPECT_FALSE(finder.FindFirst(empty.text));
    EXPECT_FALSE(finder.FindFirstDir(empty.text));
    finder.Close();
    DirText only(dir / "only");
    EXPECT_FALSE(finder.FindFirst(only.text));
    EXPECT_TRUE(finder.FindFirstDir(only.text));
    EXPECT_STREQ("one", finder.GetName());
    finder.Close();
    DirText missing(dir / "missing");
    EXPECT_FALSE(finder.FindFirstDir(missing.text));
    // After a failed start, FindNext does not wander back into a folder
    // searched before.
    DirText earlier(dir.path());
    dir.WriteFile("x.a", 1);
    dir.WriteFile("y.b", 1);
    ASSERT_TRUE(finder.FindFirst(earlier.text, "a,b"));
    std::string tooLong(400, 'z');
    EXPECT_FALSE(finder.FindFirst(&tooLong[0], "a,b"));
    EXPECT_FALSE(finder.FindNext());
}

TEST(FileFinder, CurrentEntrySurvivesTheEndOfTheSearch) {
    TempDir dir;
    dir.WriteFile("only.bin", 1234);
    CFileFinder finder;
    DirText text(dir.path());
    ASSERT_TRUE(finder.FindFirst(text.text));
    EXPECT_FALSE(finder.FindNext());
    EXPECT_FALSE(finder.FindNext());
    EXPECT_EQ(dir.path() + Sep() + "only.bin", finder.GetPath());
    EXPECT_EQ(1234u, finder.GetSize());
    EXPECT_EQ(1234u, finder.GetFullSize());
    EXPECT_EQ(nullptr, finder.m_hFind);
}

TEST(FileFinder, EmptyFolderTextSearchesTheCurrentFolder) {
    TempDir dir;
    dir.WriteFile("here.txt", 2);
    const fs::path saved = fs::current_path();
    fs::current_path(dir.path());
    CFileFinder finder;
    char empty[4] = "";
    const bool found = finder.FindFirst(empty);
    const std::string path = finder.GetPath();
    fs::current_path(saved);
    ASSERT_TRUE(found);
    EXPECT_EQ("here.txt", path);
}

TEST(FileFinder, TrailingSeparatorAndBareDrive) {
    TempDir dir;
    dir.WriteFile("f", 1);
    CFileFinder finder;
    DirText trailing(dir.path() + Sep());
    ASSERT_TRUE(finder.FindFirst(trailing.text));
    EXPECT_EQ(dir.path() + Sep() + Sep() + "f", finder.GetPath());

    char drive[8] = "Q:";
    AppendRootSlash(drive);
    EXPECT_STREQ("Q:\\", drive);
    for (const char* unchanged : {"Q", "Q:\\", "QQ:", ""}) {
        char text[8];
        std::strcpy(text, unchanged);
        AppendRootSlash(text);
        EXPECT_STREQ(unchanged, text);
    }
}

TEST(FileFinder, PathsThatDoNotFitAreLeftOutNeverCut) {
    TempDir dir;
    // The folder's path plus the name passes the 260 characters of szPath.
    const std::string longName(255 - std::min<size_t>(dir.path().size(), 200), 'L');
    const std::string shortName = "s";
    dir.WriteFile(longName, 1);
    dir.WriteFile(shortName, 1);
    CFileFinder finder;
    std::vector<std::string> found = Files(finder, dir.path());
    if (dir.path().size() + 1 + longName.size() >= 260) {
        EXPECT_EQ(Names({shortName}), found);
    } else {
        EXPECT_EQ(2u, found.size());
    }
    finder.SetKeepLongPaths(true);
    EXPECT_EQ(2u, Files(finder, dir.path()).size());
    // A folder text longer than the search field finds nothing, unless kept.
    std::string tooLong = dir.path() + std::string(400, '/');
    finder.Reset();
    EXPECT_EQ(Names(), Files(finder, tooLong));
}

TEST(FileFinder, ListAccessorsRefuseIndexesOutOfRange) {
    CFileFinder finder;
    EXPECT_EQ(nullptr, finder.GetEntry(0));
    FINDER_ENTRY entry = {};
    std::strcpy(entry.szName, "n");
    entry.dwSize = 9;
    ASSERT_TRUE(finder.m_list.Add(&entry));
    EXPECT_STREQ("n", finder.GetNameAt(0));
    EXPECT_EQ(9u, finder.GetSizeAt(0));
    EXPECT_EQ(nullptr, finder.GetEntry(1));
    EXPECT_EQ(nullptr, finder.GetNameAt(-1));
    EXPECT_EQ(nullptr, finder.GetPathAt(1));
    finder.Reset();
    EXPECT_EQ(nullptr, finder.GetEntry(0));
    EXPECT_EQ(4, finder.m_nSortOrder);
    EXPECT_EQ(sizeof(FINDER_ENTRY), finder.m_list.GetRecSize());
}

TEST(FileFinder, LargeFilesKeepTheirWholeSizeBesideTheLowBits) {
    TempDir dir;
    dir.WriteFile("big", 5368709120ull + 7);
    CFileFinder finder;
    finder.m_nFlags = FINDER_SKIP_EMPTY;
    dir.WriteFile("exact4g", 4294967296ull);  // low 32 bits 0, but not empty
    std::vector<std::string> found = Sorted(Files(finder, dir.path()));
    EXPECT_EQ(Names({"big", "exact4g"}), found);
    DirText text(dir.path());
    ASSERT_TRUE(finder.FindFirst(text.text, "") );
    uint64_t total = 0;
    do {
        total += finder.GetFullSize();
        EXPECT_EQ(uint32_t(finder.GetFullSize()), finder.GetSize());
    } while (finder.FindNext());
    EXPECT_EQ(5368709120ull + 7 + 4294967296ull, total);
}

TEST(FileFinder, WriteDateIsTheLocalBreakdownOfTheStamp) {
    TempDir dir;
    dir.WriteFile("dated", 1);
    const auto stamp = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    fs::last_write_time(dir / "dated", stamp);
    CFileFinder finder;
    DirText text(dir.path());
    ASSERT_TRUE(finder.FindFirst(text.text));
    const DATETIMEREC* date = finder.GetDate();
    const time_t now = time(nullptr);
    struct tm expected = *localtime(&now);
    // Four hundred days ago, give or take the zone: the year is last or the one before.
    EXPECT_GE(date->wYear, expected.tm_year + 1900 - 2);
    EXPECT_LE(date->wYear, expected.tm_year + 1900 - 1);
    EXPECT_GE(date->bMonth, 1);
    EXPECT_LE(date->bMonth, 12);
    EXPECT_EQ(0, date->bReserved);
}

}  // namespace
