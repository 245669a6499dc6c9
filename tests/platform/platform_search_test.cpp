// The directory search every listing stands on, on both systems.

#include "filelib/platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "support/file_system.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Sep;
using testsupport::TempDir;
using Names = std::set<std::string>;

std::string Pattern(const std::string& dir, const std::string& names) { return dir + Sep() + names; }

Names Collect(plat::SearchHandle search, plat::FindData* data) {
    Names names;
    if (search == nullptr) return names;
    do names.insert(data->name);
    while (plat::FindNext(search, data));
    plat::FindClose(search);
    return names;
}

Names Find(const std::string& pattern, plat::SearchKind kind = plat::SearchKind::All) {
    plat::FindData data;
    return Collect(plat::FindOpen(pattern.c_str(), kind, &data), &data);
}

TEST(PlatformSearch, WildcardsMatchAsWindowsDoes) {
    TempDir dir;
    for (const char* name : {"abc.txt", "ABD.TXT", "readme", "x.tar.gz", "a.b.c"}) dir.WriteFile(name, 1);
    dir.MakeDir("sub");
    struct Case {
        const char* pattern;
        Names expected;
        bool wineDiffers;
    } cases[] = {
        {"*.*", {".", "..", "abc.txt", "ABD.TXT", "readme", "x.tar.gz", "a.b.c", "sub"}, false},
        {"*", {".", "..", "abc.txt", "ABD.TXT", "readme", "x.tar.gz", "a.b.c", "sub"}, false},
        {"*.txt", {"abc.txt", "ABD.TXT"}, false},
        {"a?d.TxT", {"ABD.TXT"}, false},
        {"*.gz", {"x.tar.gz"}, false},
        {"*.tar", {}, false},
        {"a*c", {"a.b.c"}, false},
        {"*.", {".", "..", "readme", "sub"}, true},
        {"readme", {"readme"}, false},
        {"missing", {}, false},
    };
    for (const Case& c : cases) {
        if (c.wineDiffers && testsupport::RunningUnderWine()) continue;
        EXPECT_EQ(c.expected, Find(Pattern(dir.path(), c.pattern))) << c.pattern;
    }
}

TEST(PlatformSearch, KindsPassOverWhatTheCallerWouldReject) {
    TempDir dir;
    dir.WriteFile("file", 1);
    dir.MakeDir("folder");
    EXPECT_EQ(Names({"file"}), Find(Pattern(dir.path(), "*.*"), plat::SearchKind::FilesOnly));
    EXPECT_EQ(Names({"folder"}), Find(Pattern(dir.path(), "*.*"), plat::SearchKind::FoldersOnly));
    plat::FindData data;
    plat::SearchHandle search = plat::FindOpen(Pattern(dir.path(), ".").c_str(), plat::SearchKind::All, &data);
    ASSERT_NE(nullptr, search);
    EXPECT_NE(0u, data.attrib & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(0u, data.attrib & FILE_ATTRIBUTE_HIDDEN);
    plat::FindClose(search);
}

TEST(PlatformSearch, PatternsThatNameNoEntries) {
    TempDir dir;
    dir.WriteFile("f", 1);
    EXPECT_EQ(Names(), Find(dir.path() + Sep()));
    EXPECT_EQ(Names(), Find(Pattern(dir / "f", "*.*")));  // a file is no folder
    EXPECT_EQ(Names(), Find(Pattern(dir / "missing", "*.*")));
    if (testsupport::IsPosix()) {
        EXPECT_EQ(Names(), Find("/"));
    }
    plat::FindData data;
    EXPECT_EQ(nullptr, plat::FindOpen(nullptr, plat::SearchKind::All, &data));
    EXPECT_FALSE(plat::FindNext(nullptr, &data));
    plat::FindClose(nullptr);
}

// Why a search found nothing: only "nothing there" is NotFound.
plat::Error WhyNothing(const std::string& pattern) {
    plat::FindData data;
    plat::SearchHandle search = plat::FindOpen(pattern.c_str(), plat::SearchKind::All, &data);
    if (search == nullptr) return plat::LastSearchError();
    while (plat::FindNext(search, &data)) {
    }
    const plat::Error end = plat::LastSearchError();
    plat::FindClose(search);
    return end;
}

int WhyNothingInLocked(void* dir) {
    const std::string& locked = *static_cast<const std::string*>(dir);
    return int(WhyNothing(Pattern(locked, "*.*"))) * 10 + int(WhyNothing(Pattern(locked, "a.txt")));
}

TEST(PlatformSearch, SaysWhyItFoundNothing) {
    TempDir dir;
    dir.WriteFile("f", 1);
    dir.WriteFile("sub/a.txt", 1);
    struct Case {
        std::string pattern;
        plat::Error why;
    } cases[] = {
        {Pattern(dir / "missing", "*.*"), plat::Error::NotFound},
        {Pattern(dir / "missing", "a.txt"), plat::Error::NotFound},
        {Pattern(dir / "f", "*.*"), plat::Error::NotFound},  // a file where the folder should be
        {Pattern(dir / "sub", "*.zzz"), plat::Error::NotFound},
        {Pattern(dir / "sub", "*.*"), plat::Error::NotFound},  // the end, after the entries
        {Pattern(dir.path() + Sep() + std::string(5000, 'd'), "*.*"), plat::Error::NameTooLong},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern.substr(0, 200));
        EXPECT_EQ(plat::ErrorName(c.why), std::string(plat::ErrorName(WhyNothing(c.pattern))));
    }
    if (testsupport::IsPosix()) {
        ASSERT_TRUE(testsupport::MakeFolderLink(dir / "link", dir / "sub"));
        EXPECT_EQ(plat::Error::NotFound, WhyNothing(Pattern(dir / "link", "*.*")));  // a link is no folder
    }
    // A folder that may not be read: its entries are not known to be missing.
    const std::string locked = dir / "sub";
    fs::permissions(locked, fs::perms::none);
    std::string cannot;
    const int both = testsupport::RunWhereRightsBind(dir.path(), WhyNothingInLocked, const_cast<std::string*>(&locked),
                                                     cannot);
    fs::permissions(locked, fs::perms::owner_all);
    if (both < 0) {
        std::printf("the unreadable folder is not tried: %s\n", cannot.c_str());
        return;
    }
    EXPECT_EQ(int(plat::Error::AccessDenied) * 11, both);
}

TEST(PlatformSearch, EntriesThatVanishAreSkipped) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "Windows hands out what it read when the search began";
    TempDir dir;
    for (int i = 0; i < 50; ++i) dir.WriteFile("f" + std::to_string(i), 1);
    plat::FindData data;
    plat::SearchHandle search =
        plat::FindOpen(Pattern(dir.path(), "*.*").c_str(), plat::SearchKind::FilesOnly, &data);
    ASSERT_NE(nullptr, search);
    for (int i = 0; i < 50; ++i) fs::remove(dir / ("f" + std::to_string(i)));
    int more = 0;
    while (plat::FindNext(search, &data)) ++more;
    plat::FindClose(search);
    EXPECT_EQ(0, more);
}

TEST(PlatformSearch, SizesAndTimesOfEntries) {
    TempDir dir;
    dir.WriteFile("big", 6000000000ull);
    const auto stamp = fs::file_time_type::clock::now() - std::chrono::hours(48);
    fs::last_write_time(dir / "big", stamp);
    plat::FindData data;
    plat::SearchHandle search = plat::FindOpen(Pattern(dir.path(), "big").c_str(), plat::SearchKind::All, &data);
    ASSERT_NE(nullptr, search);
    plat::FindClose(search);
    EXPECT_EQ(6000000000ull, data.size);
    const int64_t now = int64_t(time(nullptr));
    EXPECT_NEAR(double(now - 48 * 3600), double(data.tWrite), 120.0);
}

TEST(PlatformAttributes, MappedFromTheFileSystem) {
    TempDir dir;
    dir.WriteFile("plain", 1);
    dir.WriteFile("locked", 1);
    fs::permissions(dir / "locked", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    dir.MakeDir("folder");
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, plat::ReadAttributes((dir / "missing").c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, plat::ReadAttributes(nullptr));
    EXPECT_NE(0u, plat::ReadAttributes((dir / "locked").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_NE(0u, plat::ReadAttributes((dir / "folder").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    const DWORD plain = plat::ReadAttributes((dir / "plain").c_str());
    EXPECT_EQ(0u, plain & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
    if (testsupport::IsPosix()) {
        EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, plain);
        dir.WriteFile(".dotted", 1);
        EXPECT_EQ(FILE_ATTRIBUTE_HIDDEN, plat::ReadAttributes((dir / ".dotted").c_str()));
    }
    fs::permissions(dir / "locked", fs::perms::owner_write, fs::perm_options::add);
}

}  // namespace
