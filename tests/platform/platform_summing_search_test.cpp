// The size walk's one search of a folder: its files' lengths added up
// first, then its subfolders, as the ordinary searches give them.

#include "filelib/platform/platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "support/process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;
using Names = std::set<std::string>;

struct Seen {
    uint64_t bytes = 0;
    Names folders;
    bool opened = false;
};

// What the ordinary searches of `name` in `parent` give: the files' total
// and the subfolders.
Seen Ordinary(plat::SearchHandle parent, const char* name) {
    Seen seen;
    plat::FindData data;
    for (plat::SearchKind kind : {plat::SearchKind::FilesOnly, plat::SearchKind::FoldersOnly}) {
        plat::SearchHandle search = plat::FindOpenIn(parent, name, "*.*", kind, &data);
        for (bool more = search != nullptr; more; more = plat::FindNext(search, &data)) {
            if (kind == plat::SearchKind::FilesOnly) seen.bytes += data.size;
            else seen.folders.insert(data.name);
        }
        plat::FindClose(search);
    }
    return seen;
}

// The summing search of `name` in `parent`, with `start` already counted.
Seen Summing(plat::SearchHandle parent, const char* name, uint64_t start = 0) {
    Seen seen;
    seen.bytes = start;
    plat::SearchHandle search = plat::FindOpenSummingFiles(parent, name, &seen.bytes);
    seen.opened = search != nullptr;
    plat::FindData data;
    while (search != nullptr && plat::FindNext(search, &data)) {
        EXPECT_NE(0u, data.attrib & FILE_ATTRIBUTE_DIRECTORY) << data.name;
        EXPECT_TRUE(seen.folders.insert(data.name).second) << data.name << " yielded twice";
    }
    plat::FindClose(search);
    return seen;
}

// An empty folder opens for the summing search, where the ordinary one
// finds nothing to open.
void ExpectSame(const Seen& expected, const Seen& got, const std::string& label) {
    EXPECT_TRUE(got.opened) << label;
    EXPECT_EQ(expected.bytes, got.bytes) << label;
    EXPECT_EQ(expected.folders, got.folders) << label;
}

void MixedFolder(const TempDir& dir) {
    dir.WriteFile("top/plain", 1234);
    dir.WriteFile("top/empty", 0);
    dir.WriteFile("top/.hidden", 7);
    dir.WriteFile("top/huge", 6000000000ull);  // counted whole
    dir.WriteFile("top/folder/inside", 99);    // not in the folder's own total
    dir.MakeDir("top/.dotfolder");
    if (testsupport::IsPosix()) {
        fs::create_directory_symlink("folder", fs::path(dir / "top") / "folder_link");
        fs::create_symlink("plain", fs::path(dir / "top") / "file_link");
    }
}

// More entries than one read of the folder holds, subfolders among them.
void LargeFolder(const TempDir& dir) {
    const std::string padding(90, 'p');
    for (int i = 0; i < 1200; ++i) {
        dir.WriteFile("top/file_" + std::to_string(i) + padding, uint64_t(i));
        if (i % 97 == 5) dir.MakeDir("top/folder_" + std::to_string(i) + padding);
    }
}

TEST(PlatformSummingSearch, GivesWhatTheOrdinarySearchesGive) {
    struct Case {
        const char* label;
        std::function<void(const TempDir&)> make;
        uint64_t bytes;  // the files' total, known beforehand
        size_t folders;
    } cases[] = {
        {"files of every kind and folders", MixedFolder,
         1234 + 7 + 6000000000ull + (testsupport::IsPosix() ? 6 + 5 : 0), 2},
        {"files only", [](const TempDir& dir) { dir.WriteFile("top/a", 10), dir.WriteFile("top/b", 20); }, 30, 0},
        {"folders only", [](const TempDir& dir) { dir.WriteFile("top/x/a", 10), dir.MakeDir("top/y"); }, 0, 2},
        {"nothing", [](const TempDir& dir) { dir.MakeDir("top"); }, 0, 0},
        {"more than one read", LargeFolder, 1199ull * 1200 / 2, 13},
    };
    for (const Case& c : cases) {
        TempDir dir;
        c.make(dir);
        dir.WriteFile("beside", 5);  // outside the folder searched
        plat::SearchHandle outer = plat::FindOpenFolder(dir.path().c_str());
        plat::SearchHandle top = plat::FindOpenFolder((dir / "top").c_str());
        ASSERT_NE(nullptr, outer) << c.label;
        ASSERT_NE(nullptr, top) << c.label;
        const Seen summed = Summing(top, ".", 7);
        EXPECT_EQ(7 + c.bytes, summed.bytes) << c.label;
        EXPECT_EQ(c.folders, summed.folders.size()) << c.label;
        Seen ordinary = Ordinary(top, ".");
        ordinary.bytes += 7;
        ExpectSame(ordinary, summed, c.label);
        // Through the parent by name, and again right after an ordinary
        // search of the same folder.
        ExpectSame(summed, Summing(outer, "top", 7), std::string(c.label) + ", by name");
        ExpectSame(summed, Summing(top, ".", 7), std::string(c.label) + ", again");
        plat::FindClose(top);
        plat::FindClose(outer);
    }
}

TEST(PlatformSummingSearch, RefusesWhatTheOrdinarySearchRefuses) {
    TempDir dir;
    dir.WriteFile("top/sub/f", 3);
    dir.WriteFile("top/plain", 4);
    if (testsupport::IsPosix()) fs::create_directory_symlink("sub", fs::path(dir / "top") / "link");
    plat::SearchHandle top = plat::FindOpenFolder((dir / "top").c_str());
    ASSERT_NE(nullptr, top);
    for (const char* name : {"..", "missing", "plain", "link"}) {
        if (std::string(name) == "link" && !testsupport::IsPosix()) continue;
        const Seen seen = Summing(top, name, 11);
        EXPECT_FALSE(seen.opened) << name;
        EXPECT_EQ(11u, seen.bytes) << name;  // nothing added
    }
    EXPECT_EQ(3u, Summing(top, "sub").bytes);
    uint64_t bytes = 0;
    EXPECT_EQ(nullptr, plat::FindOpenSummingFiles(nullptr, "sub", &bytes));
    EXPECT_EQ(nullptr, plat::FindOpenSummingFiles(top, "sub", nullptr));
    plat::FindClose(top);
}

}  // namespace
