#include "filelib/enum/file_finder.h"
#include "filelib/platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
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

std::vector<std::string> ListedNames(const CFileFinder& finder, int from = 0) {
    std::vector<std::string> names;
    for (int i = from; i < finder.GetEntryCount(); ++i) names.push_back(finder.GetNameAt(i));
    return names;
}

std::vector<std::string> SortedCopy(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

// Gives a file or folder a write time of `minutes` after a fixed day.
// The runtime of the Windows build cannot set a folder's times, which the
// key order then takes as they are.
void SetWriteTime(const std::string& path, int minutes) {
    const auto base = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    std::error_code error;
    fs::last_write_time(path, base + std::chrono::minutes(minutes), error);
    if (!fs::is_directory(path)) {
        ASSERT_FALSE(error) << path;
    }
}

// The keys as the format texts give them, written out independently of
// the library: upper-casing of a-z, the three umlauts folded, the name split
// at its last dot, "%-255s"/"%-8s" padding, YYYYMMDDhhmmss and "%010u".
std::string OracleName(const std::string& name) {
    std::string key = name;
    for (char& c : key) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 'a' && u <= 'z') c = char(u - 32);
        if (u == 0xE4) c = char(0xC4);
        if (u == 0xF6) c = char(0xD6);
        if (u == 0xFC) c = char(0xDC);
    }
    return key;
}

std::string OracleKey(const FINDER_ENTRY& e, int mode, bool isDir) {
    const std::string upper = OracleName(e.szName);
    const size_t dot = isDir ? std::string::npos : upper.rfind('.');
    const std::string base = dot == std::string::npos ? upper : upper.substr(0, dot);
    const std::string ext = dot == std::string::npos ? "" : upper.substr(dot + 1);
    char time[32], size[32], key[700];
    std::snprintf(time, sizeof time, "%04u%02u%02u%02u%02u%02u", e.dtWrite.wYear, e.dtWrite.bMonth, e.dtWrite.bDay,
                  e.dtWrite.bHour, e.dtWrite.bMinute, e.dtWrite.bSecond);
    std::snprintf(size, sizeof size, "%010u", e.dwSize);
    if (isDir) {
        if (mode == 2)
            std::snprintf(key, sizeof key, "%14s %-255s", time, base.c_str());
        else
            std::snprintf(key, sizeof key, "%-255s", base.c_str());
    } else if (mode == 1) {
        std::snprintf(key, sizeof key, "%-8s %-255s", ext.c_str(), base.c_str());
    } else if (mode == 2) {
        std::snprintf(key, sizeof key, "%14s %-255s %-8s", time, base.c_str(), ext.c_str());
    } else if (mode == 3) {
        std::snprintf(key, sizeof key, "%s %-255s %-8s", size, base.c_str(), ext.c_str());
    } else {
        std::snprintf(key, sizeof key, "%-255s %-8s", base.c_str(), ext.c_str());
    }
    return key;
}

// The records of an unsorted listing, stably ordered by the oracle's keys.
std::vector<std::string> OracleOrder(const CFileFinder& unsorted, int mode, bool isDir) {
    std::vector<const FINDER_ENTRY*> records;
    for (int i = 0; i < unsorted.GetEntryCount(); ++i) records.push_back(unsorted.GetEntry(i));
    if (mode != 4)
        std::stable_sort(records.begin(), records.end(), [&](const FINDER_ENTRY* a, const FINDER_ENTRY* b) {
            return OracleKey(*a, mode, isDir) < OracleKey(*b, mode, isDir);  // std::string compares unsigned
        });
    std::vector<std::string> names;
    for (const FINDER_ENTRY* r : records) names.push_back(r->szName);
    return names;
}

// Names that differ only in case are one file on Windows.
bool CaseSensitiveNames() { return testsupport::IsPosix(); }

void MakeSortTree(const TempDir& dir, bool withBlanks = false) {
    struct File {
        const char* name;
        int size;
        int minutes;
    } files[] = {
        {"beta.txt", 10, 5},   {"Alpha.doc", 9, 5},  {"B.DOC", 9, 1},         {"A.TXT", 10, 9},
        {"noext", 0, 3},       {".profile", 2, 7},   {"a.b.c", 11, 2},        {"x.toolongext", 1, 8},
        {"x.t", 100, 4},       {"zeta", 9, 5},       {"\xE4pfel.txt", 3, 6},  {"\xFC" "bung.d", 3, 6},
        {"Ab", 1, 1},          {"ab_", 1, 1},        {"a", 5, 5},             {"\xF6l", 20, 0},
    };
    for (const File& f : files) {
        dir.WriteFile(f.name, uint64_t(f.size));
        SetWriteTime(dir / f.name, f.minutes);
    }
    if (CaseSensitiveNames()) {
        // Equal keys, told apart only by where the search put them.
        for (const char* name : {"alpha.DOC", "ALPHA.doc", "\xC4pfel.TXT", "BETA.txt"}) {
            dir.WriteFile(name, 9);
            SetWriteTime(dir / name, 5);
        }
    }
    if (withBlanks && testsupport::IsPosix()) {
        // Blanks and tabs show where the fill of each field ends.
        for (const char* name : {"q.abcd", "r.abcd ", "s.ab\t", "a\t.x", "a .x", "tab\t", "tab"}) dir.WriteFile(name, 4);
    }
    for (const char* folder : {"sub", "Zoo", ".cache", "\xE4rger", "mid.dot", "SUB2"}) dir.MakeDir(folder);
    int minutes = 0;
    for (const char* folder : {"Zoo", "sub", ".cache", "mid.dot", "\xE4rger", "SUB2"})
        SetWriteTime(dir / folder, minutes += 3);
}

TEST(FileListings, EverySortModeGivesTheKeyOrderAndKeepsSearchOrderOfEqualKeys) {
    TempDir dir;
    MakeSortTree(dir, true);
    CFileFinder unsortedFiles, unsortedFolders;
    DirText text(dir.path());
    ASSERT_GT(unsortedFiles.ListAllFiles(text.text), 10);
    ASSERT_EQ(6, unsortedFolders.ListSubfolders(text.text));
    for (int mode : {0, 1, 2, 3, 4, 5, -1}) {
        CFileFinder files;
        files.m_nSortOrder = mode;
        EXPECT_EQ(unsortedFiles.GetEntryCount(), files.ListAllFiles(text.text)) << mode;
        EXPECT_EQ(OracleOrder(unsortedFiles, mode, false), ListedNames(files)) << "files, mode " << mode;
        CFileFinder folders;
        folders.m_nSortOrder = mode;
        EXPECT_EQ(6, folders.ListSubfolders(text.text)) << mode;
        EXPECT_EQ(OracleOrder(unsortedFolders, mode, true), ListedNames(folders)) << "folders, mode " << mode;
    }
}

TEST(FileListings, SortModeExamples) {
    TempDir dir;
    MakeSortTree(dir);
    DirText text(dir.path());
    struct Case {
        int mode;
        std::vector<std::string> firstFiles;
    } cases[] = {
        // Without extension before any extension; B.DOC before A.TXT.
        // .profile has the extension PROFILE.
        {1, {"a", "Ab", "ab_", "noext", "zeta"}},
        // Size: zero-padded, so 9 bytes before 10 bytes, equal sizes by name.
        {3, {"noext", "Ab", "ab_", "x.toolongext", ".profile"}},
        // A shorter name before a longer one that begins with it: the fill is a blank.
        {0, {".profile", "a", "A.TXT", "a.b.c", "Ab"}},
    };
    for (const Case& c : cases) {
        CFileFinder finder;
        finder.m_nSortOrder = c.mode;
        finder.ListAllFiles(text.text);
        std::vector<std::string> names = ListedNames(finder);
        names.resize(std::min(names.size(), c.firstFiles.size()));
        EXPECT_EQ(c.firstFiles, names) << "mode " << c.mode;
    }
    CFileFinder bySize;
    bySize.m_nSortOrder = 3;
    bySize.ListFiles(text.text, 0, "DOC", 0);
    ASSERT_LE(2, bySize.GetEntryCount());
    EXPECT_EQ("Alpha.doc", std::string(bySize.GetNameAt(0)));  // 9 bytes, A before B
    EXPECT_EQ("B.DOC", std::string(bySize.GetNameAt(CaseSensitiveNames() ? 3 : 1)));
    CFileFinder byExt;
    byExt.m_nSortOrder = 1;
    byExt.ListAllFiles(text.text);
    const std::vector<std::string> names = ListedNames(byExt);
    EXPECT_LT(std::find(names.begin(), names.end(), "B.DOC"), std::find(names.begin(), names.end(), "A.TXT"));
}

TEST(FileListings, RecordsAndTotals) {
    TempDir dir;
    dir.WriteFile("one.txt", 100);
    dir.WriteFile("two.txt", 23);
    dir.WriteFile("three.doc", 7);
    dir.MakeDir("sub");
    CFileFinder finder;
    DirText text(dir.path());
    ASSERT_EQ(2, finder.ListFiles(text.text, 0, "txt", 42));
    EXPECT_DOUBLE_EQ(123.0, finder.m_dTotalSize);
    const FINDER_ENTRY* first = finder.GetEntry(0);
    EXPECT_EQ(dir.path(), first->szDir);
    EXPECT_EQ(dir.path() + Sep() + first->szName, first->szPath);
    EXPECT_EQ(42, first->nLevel);
    EXPECT_EQ(0, first->bIsDir);
    EXPECT_NE(0, first->dtWrite.wYear);
    // The next call appends and adds to the total.
    ASSERT_EQ(1, finder.ListFiles(text.text, finder.GetEntryCount(), "doc", 0));
    EXPECT_DOUBLE_EQ(130.0, finder.m_dTotalSize);
    EXPECT_EQ(3, finder.GetEntryCount());
    ASSERT_EQ(1, finder.ListSubfolders(text.text, 3));
    EXPECT_DOUBLE_EQ(130.0, finder.m_dTotalSize);
    const FINDER_ENTRY* sub = finder.GetEntry(3);
    EXPECT_STREQ("sub", sub->szName);
    EXPECT_EQ(1, sub->bIsDir);
    EXPECT_EQ(0u, sub->dwSize);
    EXPECT_EQ(0, sub->nLevel);
    // Start index 0 starts the total again.
    EXPECT_EQ(3, finder.ListAllFiles(text.text, 0));
    EXPECT_DOUBLE_EQ(130.0, finder.m_dTotalSize);
}

TEST(FileListings, StartIndexOutsideTheListStoresNothing) {
    TempDir dir;
    dir.WriteFile("a.txt", 5);
    DirText text(dir.path());
    struct Case {
        int start;
        int expected;
    } cases[] = {{-1, 0}, {2, 0}, {100000, 0}, {1, 1}, {0, 1}};
    for (const Case& c : cases) {
        CFileFinder finder;
        ASSERT_EQ(1, finder.ListAllFiles(text.text));
        EXPECT_EQ(c.expected, finder.ListAllFiles(text.text, c.start)) << c.start;
        EXPECT_EQ(1 + c.expected, finder.GetEntryCount()) << c.start;
    }
}

TEST(FileListings, FilterFlagsForFilesAndFolders) {
    TempDir dir;
    dir.WriteFile("full", 3);
    dir.WriteFile("empty", 0);
    dir.WriteFile(".profile", 1);
    dir.MakeDir("emptydir");
    dir.MakeDir(".cachedir");
    struct Case {
        uint32_t flags;
        std::vector<std::string> files;
        std::vector<std::string> folders;
    } cases[] = {
        {0, {".profile", "empty", "full"}, {".cachedir", "emptydir"}},
        {FINDER_SKIP_EMPTY, {".profile", "full"}, {".cachedir", "emptydir"}},
        {FINDER_SKIP_DOTNAMES, {"empty", "full"}, {".cachedir", "emptydir"}},
        {FINDER_SKIP_EMPTY | FINDER_SKIP_DOTNAMES, {"full"}, {".cachedir", "emptydir"}},
        // Names beginning with a dot are the hidden ones on POSIX; nothing is system there.
        {FINDER_SKIP_HIDDEN, {"empty", "full"}, {"emptydir"}},
        {FINDER_SKIP_SYSTEM, {".profile", "empty", "full"}, {".cachedir", "emptydir"}},
    };
    DirText text(dir.path());
    for (const Case& c : cases) {
        if (!testsupport::IsPosix() && (c.flags & FINDER_SKIP_HIDDEN_OR_SYSTEM) != 0) continue;
        CFileFinder finder;
        finder.m_nFlags = c.flags;
        finder.ListAllFiles(text.text);
        EXPECT_EQ(c.files, SortedCopy(ListedNames(finder))) << c.flags;
        const int folderStart = finder.GetEntryCount();
        finder.ListSubfolders(text.text, folderStart);
        EXPECT_EQ(c.folders, SortedCopy(ListedNames(finder, folderStart))) << c.flags;
    }
}

// Attributes set through the system: read-only files are listed under every
// flag; hidden and system files (settable on Windows) leave by their flags.
TEST(FileListings, AttributeFiltersOnSetAttributes) {
    TempDir dir;
    dir.WriteFile("plain", 1);
    dir.WriteFile("readonly", 1);
    const bool windows = !testsupport::IsPosix();
    ASSERT_EQ(plat::Error::None, plat::WriteAttributes((dir.path() + "/readonly").c_str(), FILE_ATTRIBUTE_READONLY));
    if (windows) {
        dir.WriteFile("hidden", 1);
        dir.WriteFile("system", 1);
        ASSERT_EQ(plat::Error::None, plat::WriteAttributes((dir.path() + "/hidden").c_str(), FILE_ATTRIBUTE_HIDDEN));
        ASSERT_EQ(plat::Error::None, plat::WriteAttributes((dir.path() + "/system").c_str(), FILE_ATTRIBUTE_SYSTEM));
    }
    struct Case {
        uint32_t flags;
        std::vector<std::string> windowsFiles;
        std::vector<std::string> posixFiles;
    } cases[] = {
        {0, {"hidden", "plain", "readonly", "system"}, {"plain", "readonly"}},
        {FINDER_SKIP_HIDDEN, {"plain", "readonly", "system"}, {"plain", "readonly"}},
        {FINDER_SKIP_SYSTEM, {"hidden", "plain", "readonly"}, {"plain", "readonly"}},
        {FINDER_SKIP_HIDDEN_OR_SYSTEM, {"plain", "readonly"}, {"plain", "readonly"}},
    };
    DirText text(dir.path());
    for (const Case& c : cases) {
        CFileFinder finder;
        finder.m_nFlags = c.flags;
        finder.ListAllFiles(text.text);
        EXPECT_EQ(windows ? c.windowsFiles : c.posixFiles, SortedCopy(ListedNames(finder))) << c.flags;
    }
    // Give the files back their write permission so the folder can be removed.
    for (const char* name : {"readonly", "hidden", "system"})
        plat::WriteAttributes((dir.path() + "/" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(FileListings, PatternsAndExtensionLists) {
    TempDir dir;
    for (const char* name : {"a.txt", "b.doc", "c.TXT", "noext", "d.txtx"}) dir.WriteFile(name, 1);
    dir.MakeDir("sub");
    dir.WriteFile("sub/inner.txt", 1);
    const bool noExtWorks = !testsupport::RunningUnderWine();  // Wine's "*." matches every name
    struct Case {
        const char* list;
        std::vector<std::string> expected;
        bool needsNoExt;
    } cases[] = {
        {"txt", {"a.txt", "c.TXT"}, false},
        {"doc,txt", {"a.txt", "b.doc", "c.TXT"}, false},
        {"txt,", {"a.txt", "c.TXT"}, false},
        {"", {"a.txt", "b.doc", "c.TXT", "d.txtx", "noext"}, false},
        {"txt,,doc", {"a.txt", "b.doc", "c.TXT", "noext"}, true},
        {",", {"noext"}, true},
        {"toolongext", {}, false},
        {"toolongext,doc", {"b.doc"}, false},
        // Patterns never reach into another folder.
        {"sub/inner.txt", {}, false},
        {"..\\*", {}, false},
        {"/../../*", {}, false},
        {"a/b,doc", {"b.doc"}, false},
    };
    DirText text(dir.path());
    for (const Case& c : cases) {
        if (c.needsNoExt && !noExtWorks) continue;
        CFileFinder finder;
        const int count = finder.ListFilesByExtensions(text.text, c.list);
        EXPECT_EQ(int(c.expected.size()), count) << c.list;
        EXPECT_EQ(c.expected, SortedCopy(ListedNames(finder))) << c.list;
        for (int i = 0; i < finder.GetEntryCount(); ++i)
            EXPECT_TRUE(fs::exists(finder.GetPathAt(i))) << c.list << ": " << finder.GetPathAt(i);
    }
    for (const char* pattern : {"sub/*", "../*", "x\\..\\*"}) {
        CFileFinder finder;
        EXPECT_EQ(0, finder.ListFiles(text.text, 0, pattern, 0)) << pattern;
        EXPECT_EQ(0, finder.GetEntryCount()) << pattern;
    }
    // A file matching two patterns is listed twice.
    CFileFinder twice;
    EXPECT_EQ(2, twice.ListFilesByExtensions(text.text, "doc,doc"));
}

TEST(FileListings, ShortNameAliasesNeverSelectAFile) {
    TempDir dir;
    for (const char* name : {"page.html", "x.tmpl", "longername.text", "y.htm"}) dir.WriteFile(name, 1);
    DirText text(dir.path());
    struct Case {
        const char* pattern;
        std::vector<std::string> expected;
    } cases[] = {{"htm", {"y.htm"}}, {"tmp", {}}, {"tex", {}}, {"html", {"page.html"}}};
    for (const Case& c : cases) {
        CFileFinder finder;
        finder.ListFiles(text.text, 0, c.pattern, 0);
        EXPECT_EQ(c.expected, ListedNames(finder)) << c.pattern;
    }
}

TEST(FileListings, SubfoldersNeverDotEntriesAndFolderArgumentsCompleted) {
    TempDir dir;
    dir.MakeDir("b");
    dir.MakeDir("A");
    dir.WriteFile("file", 1);
    DirText text(dir.path());
    for (int mode : {1, 3}) {
        CFileFinder finder;
        finder.m_nSortOrder = mode;
        EXPECT_EQ(2, finder.ListSubfolders(text.text));
        EXPECT_EQ((std::vector<std::string>{"A", "b"}), ListedNames(finder)) << mode;
    }
    // A bare drive gets its root separator in the caller's text.
    char drive[8] = "Q:";
    CFileFinder finder;
    finder.ListSubfolders(drive);
    EXPECT_STREQ("Q:\\", drive);
    char drive2[8] = "Q:";
    finder.ListAllFiles(drive2);
    EXPECT_STREQ("Q:\\", drive2);
    char missing[600];
    std::snprintf(missing, sizeof missing, "%s", (dir / "missing").c_str());
    EXPECT_EQ(0, finder.ListAllFiles(missing, finder.GetEntryCount()));
    EXPECT_EQ(0, finder.ListSubfolders(missing, finder.GetEntryCount()));
}

TEST(FileListings, PresetCountBelowTheEntriesStoresOnlyThatMany) {
    TempDir dir;
    for (int i = 0; i < 20; ++i) dir.WriteFile("f" + std::to_string(i), uint64_t(i + 1));
    DirText text(dir.path());
    struct Case {
        int preset;
        int expected;
    } cases[] = {{0, 20}, {5, 5}, {1, 1}, {20, 20}, {50, 20}, {-3, 0}};
    for (const Case& c : cases) {
        CFileFinder finder;
        finder.m_nPresetCount = c.preset;
        finder.m_nSortOrder = 0;
        EXPECT_EQ(c.expected, finder.ListAllFiles(text.text)) << c.preset;
        EXPECT_EQ(c.expected, finder.GetEntryCount()) << c.preset;
        double total = 0;
        for (int i = 0; i < finder.GetEntryCount(); ++i) total += finder.GetSizeAt(i);
        EXPECT_DOUBLE_EQ(total, finder.m_dTotalSize) << c.preset;
    }
}

TEST(FileListings, PathsThatDoNotFitTheRecordAreLeftOutNeverCut) {
    TempDir dir;
    // Folder + separator + name: which names still fit 259 characters.
    const size_t room = 259 - dir.path().size() - 1;
    ASSERT_GT(room, 40u);
    const std::string fits(room, 'f');
    const std::string tooLong(room + 1, 'g');
    dir.WriteFile(fits, 1);
    dir.MakeDir(std::string(room - 1, 'h'));
    // Windows makes no path of 260 characters or more without its long-path prefix.
    if (testsupport::IsPosix()) {
        dir.WriteFile(tooLong, 1);
        dir.MakeDir(fits + "d");
    }
    CFileFinder finder;
    DirText text(dir.path());
    EXPECT_EQ(1, finder.ListAllFiles(text.text));
    EXPECT_EQ(fits, finder.GetNameAt(0));
    EXPECT_EQ(dir / fits, finder.GetPathAt(0));
    EXPECT_EQ(1, finder.ListSubfolders(text.text, 1));
    EXPECT_EQ(std::string(room - 1, 'h'), finder.GetNameAt(1));
    // A folder text too long for szDir lists nothing.
    std::string deep = dir.path();
    while (deep.size() < 300) deep += Sep() + std::string(50, 'x');
    if (testsupport::IsPosix()) {
        fs::create_directories(deep);
        std::FILE* f = std::fopen((deep + Sep() + "inside").c_str(), "wb");
        ASSERT_NE(nullptr, f);
        std::fclose(f);
        DirText deepText(deep);
        CFileFinder deepFinder;
        EXPECT_EQ(0, deepFinder.ListAllFiles(deepText.text));
        EXPECT_EQ(0, deepFinder.GetEntryCount());
    }
}

TEST(FileListings, WholeLengthsOfFourGigabytesAndMore) {
    TempDir dir;
    const uint64_t big = (uint64_t(1) << 32) + 1;  // low 32 bits: 1
    dir.WriteFile("big", big);
    dir.WriteFile("small", 2);
    dir.WriteFile("tiny", 1);
    if (fs::file_size(dir / "big") != big) GTEST_SKIP() << "this file system cannot hold a sparse 4 GiB file";
    CFileFinder finder;
    finder.m_nSortOrder = 3;
    DirText text(dir.path());
    ASSERT_EQ(3, finder.ListAllFiles(text.text));
    EXPECT_EQ((std::vector<std::string>{"tiny", "small", "big"}), ListedNames(finder));
    EXPECT_EQ(1u, finder.GetSizeAt(2));  // the record keeps its 32-bit field
    EXPECT_DOUBLE_EQ(double(big) + 3.0, finder.m_dTotalSize);
    CFileFinder skipEmpty;
    skipEmpty.m_nFlags = FINDER_SKIP_EMPTY;
    dir.WriteFile("four", uint64_t(1) << 32);  // low 32 bits: 0, but not empty
    EXPECT_EQ(4, skipEmpty.ListAllFiles(text.text));
}

TEST(FileListings, ListThatCannotGrowStoresAndCountsNothing) {
    TempDir dir;
    dir.WriteFile("a", 5);
    CFileFinder finder;
    // A list of other records cannot take FINDER_ENTRY records.
    ASSERT_TRUE(finder.m_list.Alloc(1, 16));
    DirText text(dir.path());
    finder.m_dTotalSize = 7.0;
    EXPECT_EQ(0, finder.ListAllFiles(text.text, 1));
    EXPECT_EQ(1, finder.GetEntryCount());
    EXPECT_DOUBLE_EQ(7.0, finder.m_dTotalSize);
}

TEST(FileListings, CompareEntriesByNameTable) {
    struct Case {
        const char* first;
        const char* second;
        int expected;
    } cases[] = {
        {"abc.txt", "ABC.TXT", 0},      {"\xE4pfel", "\xC4pfel", 0}, {"a", "a.b", -1},  {"ab", "a", 1},
        {"a.b", "a", 1},                {"b.a", "a.z", 1},           {"Stra\xDF" "e", "STRASSE", 1},
        {"x.longextension", "x.longextensio", 1},                    {"", "a", -1},
    };
    for (const Case& c : cases) {
        FINDER_ENTRY a{}, b{};
        std::snprintf(a.szName, sizeof a.szName, "%s", c.first);
        std::snprintf(b.szName, sizeof b.szName, "%s", c.second);
        EXPECT_EQ(c.expected, CFileFinder::CompareEntriesByName(&a, &b)) << c.first << " " << c.second;
        EXPECT_EQ(-c.expected, CFileFinder::CompareEntriesByName(&b, &a)) << c.first << " " << c.second;
        EXPECT_STREQ(c.first, a.szName);  // the records keep their names
    }
}

TEST(FileListings, RelativePathsBelowTheListedRoot) {
    TempDir dir;
    dir.WriteFile("sub/inner.txt", 1);
    CFileFinder finder;
    DirText sub(dir / "sub");
    ASSERT_EQ(1, finder.ListAllFiles(sub.text));
    struct Case {
        std::string listDir;
        std::string expected;
    } cases[] = {
        {dir.path(), "sub" + Sep() + "inner.txt"},
        {dir / "sub", "inner.txt"},
        {"", dir / "sub" + Sep() + "inner.txt"},
        {dir / "sub" + Sep() + "inner.txt" + Sep() + "more", ""},  // never past the path's end
    };
    for (const Case& c : cases) {
        std::snprintf(finder.m_szListDir, sizeof finder.m_szListDir, "%s", c.listDir.c_str());
        EXPECT_EQ(c.expected, finder.GetEntryRelativePath(0)) << c.listDir;
    }
    EXPECT_EQ(nullptr, finder.GetEntryRelativePath(1));
    EXPECT_EQ(nullptr, finder.GetEntryRelativePath(-1));
    DirText root(dir.path());
    ASSERT_TRUE(finder.FindFirstDir(root.text));
    finder.Close();
    EXPECT_STREQ("sub", finder.GetCurrentRelativePath());
    EXPECT_EQ("sub" + Sep() + "inner.txt", finder.GetEntryRelativePath(0));
}

// The root alone: "\\name" would name a network server, so the root's own
// separator is the only one, and the paths below it lose nothing.
TEST(FileListings, PathsBelowTheRootAloneHaveOneSeparator) {
    CFileFinder finder;
    DirText root(Sep());
    const int count = finder.ListSubfolders(root.text);
    ASSERT_GT(count, 0) << "the root holds folders on every system";
    std::snprintf(finder.m_szListDir, sizeof finder.m_szListDir, "%s", Sep().c_str());
    for (int i = 0; i < count; ++i) {
        const FINDER_ENTRY* entry = finder.GetEntry(i);
        EXPECT_EQ(Sep() + entry->szName, entry->szPath);
        EXPECT_STREQ(entry->szName, finder.GetEntryRelativePath(i));
    }
    CFileFinder stepping;
    ASSERT_TRUE(stepping.FindFirstDir(root.text));
    const std::string name = stepping.GetName();
    EXPECT_EQ(Sep() + name, stepping.GetPath());
    EXPECT_EQ(name, stepping.GetCurrentRelativePath());
    stepping.Close();
}

}  // namespace
