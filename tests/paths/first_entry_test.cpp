#include "filelib/paths/first_entry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "support/process.h"
#include "support/recording_net.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

const EntrySpelling kSpellings[] = {EntrySpelling::AnyLength, EntrySpelling::AsGiven};

// A remembered drive that reconnects.
class FirstEntry : public testsupport::WithRecordingNet {
protected:
    void SetUp() override {
        WithRecordingNet::SetUp();
        net.answer = ERROR_CONNECTION_UNAVAIL;
    }
};

TEST_F(FirstEntry, WhatTheSearchFindsFirst) {
    TempDir dir;
    dir.WriteFile("only.txt", 7);
    dir.WriteFile("sub/inner.dat", 3);
    struct Case {
        std::string path;
        bool found;
        const char* name;
        bool folder;
        uint64_t size;
    } cases[] = {
        {dir / "only.txt", true, "only.txt", false, 7},
        {dir / "sub", true, "sub", true, 0},
        {dir / "o*.t?t", true, "only.txt", false, 7},  // the first match of a pattern
        {dir / "sub/*.dat", true, "inner.dat", false, 3},
        {dir / "missing.txt", false, "", false, 0},
        {dir / "missing/only.txt", false, "", false, 0},
        {"", false, "", false, 0},
    };
    for (EntrySpelling spelling : kSpellings) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.path + (spelling == EntrySpelling::AsGiven ? " as given" : " any length"));
            plat::FindData entry{};
            ASSERT_EQ(c.found, FindFirstEntry(c.path.c_str(), &entry, spelling));
            if (!c.found) continue;
            EXPECT_STREQ(c.name, entry.name);
            EXPECT_EQ(c.folder, (entry.attrib & FILE_ATTRIBUTE_DIRECTORY) != 0);
            EXPECT_EQ(c.size, entry.size);
        }
        plat::FindData entry{};
        EXPECT_FALSE(FindFirstEntry(nullptr, &entry, spelling));
        EXPECT_FALSE(FindFirstEntry((dir / "only.txt").c_str(), nullptr, spelling));
    }
}

TEST_F(FirstEntry, LongPathsAreFoundFromInsideTheirFolder) {
    TempDir dir;
    const testsupport::LongPathFile made = testsupport::MakeLongPathFile(dir, "long");
    if (made.file.empty()) GTEST_SKIP() << "this system cannot make a path this long";
    const fs::path before = fs::current_path();
    plat::FindData entry{};
    ASSERT_TRUE(FindFirstEntry(made.file.c_str(), &entry));
    EXPECT_EQ(made.name, entry.name);
    EXPECT_EQ(4u, entry.size);
    EXPECT_EQ(before, fs::current_path());
}

TEST_F(FirstEntry, FailedSearchOnADriveLetterReconnectsOnce) {
    for (EntrySpelling spelling : kSpellings) {
        net.asked.clear();
        plat::FindData entry{};
        EXPECT_FALSE(FindFirstEntry("q:\\vorkstat-no-such-folder\\x.txt", &entry, spelling));
        EXPECT_EQ("Q:", net.asked);
    }
}

TEST_F(FirstEntry, ReconnectedDriveIsSearchedAgain) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "a drive letter cannot be made to appear here";
    // On POSIX "q:" is a folder name like any other: the reconnection
    // makes it, as a remembered network drive would appear.
    for (EntrySpelling spelling : kSpellings) {
        TempDir dir;
        testsupport::ScopedCurrentDir current(dir.path());
        net.asked.clear();
        net.onConnect = [&dir] { dir.WriteFile("q:/a.txt", 4); };
        plat::FindData entry{};
        ASSERT_TRUE(FindFirstEntry("q:/a.txt", &entry, spelling));
        EXPECT_STREQ("a.txt", entry.name);
        EXPECT_EQ("Q:", net.asked);
        net.asked.clear();
        EXPECT_TRUE(FindFirstEntry("q:/a.txt", &entry, spelling));
        EXPECT_EQ("", net.asked);  // found at once: nothing asked
    }
    net.onConnect = nullptr;
}

}  // namespace
