// The size walk's folder scan: what one read of a folder adds and hands
// out, which opens fail and why, and folder identities.

#include "filelib/platform/folder_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

plat::ScanName NameOf(const std::string& ascii) { return plat::ScanName(ascii.begin(), ascii.end()); }

class NameList : public plat::SubfolderSink {
public:
    void Subfolder(const plat::ScanChar* name, size_t length) override {
        names.push_back(plat::ScanNameText(plat::ScanName(name, length)));
    }
    std::vector<std::string> Sorted() const {
        std::vector<std::string> sorted = names;
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    }
    std::vector<std::string> names;
};

// Opens `relative` below the temporary folder, one name at a time from
// the top, as the walk does.
plat::ScanFolder* OpenBelow(const TempDir& dir, const std::vector<std::string>& names, plat::Error* error) {
    plat::ScanFolder* folder = nullptr;
    *error = plat::OpenScanTop(dir.path().c_str(), &folder);
    for (const std::string& name : names) {
        if (*error != plat::Error::None) return nullptr;
        plat::ScanFolder* child = nullptr;
        bool mayLeadBack = true;
        *error = plat::OpenScanSubfolder(folder, NameOf(name), &child, &mayLeadBack);
        EXPECT_FALSE(*error == plat::Error::None && mayLeadBack) << name << ": no mount and no reparse point here";
        plat::CloseScanFolder(folder);
        folder = child;
    }
    return folder;
}

TEST(FolderScan, OneReadAddsTheFilesAndHandsOutTheSubfolders) {
    TempDir dir;
    dir.WriteFile("top/a", 10);
    dir.WriteFile("top/.hidden", 20);
    dir.WriteFile("top/empty", 0);
    dir.WriteFile("top/huge", 5000000000ull);  // its whole length
    dir.WriteFile("top/sub/deeper", 1000);     // not this folder's
    dir.MakeDir("top/.dotfolder");
    dir.MakeDir("top/empty folder");
    uint64_t files = 4, bytes = 5000000030ull;
    if (testsupport::IsPosix()) {
        fs::create_directory_symlink("sub", fs::path(dir / "top") / "link");  // a file of 3 bytes: never followed
        ++files;
        bytes += 3;
    }
    plat::Error error;
    plat::ScanFolder* top = OpenBelow(dir, {"top"}, &error);
    ASSERT_EQ(plat::Error::None, error);
    plat::ScanTotals totals;
    NameList subfolders;
    EXPECT_EQ(plat::Error::None, plat::ReadScanFolder(top, &totals, subfolders));
    EXPECT_EQ(files, totals.files);
    EXPECT_EQ(bytes, totals.bytes);
    EXPECT_EQ((std::vector<std::string>{".dotfolder", "empty folder", "sub"}), subfolders.Sorted());
    plat::CloseScanFolder(top);
}

TEST(FolderScan, OpensThatFailSayWhy) {
    TempDir dir;
    dir.WriteFile("top/file", 1);
    dir.MakeDir("top/sub");
    const bool posix = testsupport::IsPosix();
    if (posix) fs::create_directory_symlink("sub", fs::path(dir / "top") / "link");
    const struct {
        std::vector<std::string> names;
        plat::Error error;
        bool posixOnly;
    } cases[] = {
        {{"top", "sub"}, plat::Error::None, false},
        {{"top", "missing"}, plat::Error::NotFound, false},
        {{"top", "file"}, plat::Error::NotFolder, false},
        {{"top", ".."}, plat::Error::InvalidName, false},
        {{"top", "sub/.."}, plat::Error::InvalidName, false},
        {{"top", ""}, plat::Error::InvalidName, false},
        {{"top", "link"}, plat::Error::NotFolder, true},  // a link inside is never followed
    };
    for (const auto& c : cases) {
        if (c.posixOnly && !posix) continue;
        plat::Error error;
        plat::ScanFolder* folder = OpenBelow(dir, c.names, &error);
        EXPECT_EQ(c.error, error) << c.names.back();
        EXPECT_EQ(c.error == plat::Error::None, folder != nullptr) << c.names.back();
        plat::CloseScanFolder(folder);
    }
    const struct {
        std::string path;
        plat::Error error;
    } tops[] = {
        {dir / "top", plat::Error::None},
        {dir / "missing", plat::Error::NotFound},
        {dir / "missing/deeper", plat::Error::NotFound},
        {dir / "top/file", plat::Error::NotFolder},
    };
    for (const auto& c : tops) {
        plat::ScanFolder* folder = nullptr;
        EXPECT_EQ(c.error, plat::OpenScanTop(c.path.c_str(), &folder)) << c.path;
        EXPECT_EQ(c.error == plat::Error::None, folder != nullptr) << c.path;
        plat::CloseScanFolder(folder);
    }
}

TEST(FolderScan, IdentitiesTellFoldersApart) {
    TempDir dir;
    dir.MakeDir("top/a");
    dir.MakeDir("top/b");
    plat::Error error;
    plat::ScanFolder* a1 = OpenBelow(dir, {"top", "a"}, &error);
    plat::ScanFolder* a2 = OpenBelow(dir, {"top", "a"}, &error);
    plat::ScanFolder* b = OpenBelow(dir, {"top", "b"}, &error);
    plat::ScanFolder* viaPath = nullptr;
    ASSERT_EQ(plat::Error::None, plat::OpenScanTop((dir / "top/a").c_str(), &viaPath));
    plat::ScanIdentity idA1, idA2, idB, idPath;
    ASSERT_TRUE(plat::ReadScanIdentity(a1, &idA1));
    ASSERT_TRUE(plat::ReadScanIdentity(a2, &idA2));
    ASSERT_TRUE(plat::ReadScanIdentity(b, &idB));
    ASSERT_TRUE(plat::ReadScanIdentity(viaPath, &idPath));
    EXPECT_TRUE(plat::SameFolder(idA1, idA2));
    EXPECT_TRUE(plat::SameFolder(idA1, idPath));
    EXPECT_FALSE(plat::SameFolder(idA1, idB));
    EXPECT_FALSE(plat::SameFolder(idA1, plat::ScanIdentity()));  // unknown never matches
    for (plat::ScanFolder* folder : {a1, a2, b, viaPath}) plat::CloseScanFolder(folder);
}

// The walk asks whether its first read waited for the data: only the
// calling thread's own waits count, not another thread's, and not the
// processor time it spends.
TEST(FolderScan, ThreadWaitsAreTheCallingThreadsOwn) {
    if (!testsupport::IsPosix()) {
        EXPECT_EQ(-1, plat::ScanThreadWaits());  // Windows keeps no such count
        return;
    }
    const struct {
        const char* label;
        bool sleepHere;  // else another thread sleeps while this one spins
        bool counted;
    } cases[] = {{"this thread sleeps", true, true}, {"another thread sleeps", false, false}};
    for (const auto& c : cases) {
        const long before = plat::ScanThreadWaits();
        ASSERT_LE(0, before) << c.label;
        std::atomic<bool> slept{false};
        std::thread other;
        if (c.sleepHere) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } else {
            other = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                slept = true;
            });
            while (!slept) {
            }
        }
        const long after = plat::ScanThreadWaits();
        if (other.joinable()) other.join();
        EXPECT_EQ(c.counted, after > before) << c.label << ": " << before << " then " << after;
    }
}

}  // namespace
