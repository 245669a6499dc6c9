// The folder scan on the trees an 8-bit, 260-character search loses from:
// deep paths and names in every script; the top named in every form the
// system resolves; junctions for the loop check.

#include "filelib/platform/folder_scan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/file_system.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/tree_checks.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

// The subfolder names a read hands out.
class NameList : public plat::SubfolderSink {
public:
    void Subfolder(const plat::ScanChar* name, size_t length) override { names.emplace_back(name, length); }
    std::vector<plat::ScanName> names;
};

struct ScanResult {
    plat::Error top = plat::Error::None;
    uint64_t bytes = 0;
    uint64_t files = 0;
    uint64_t folders = 0;
    std::vector<std::string> failures;  // folders that could not be opened or read
    std::set<plat::ScanName> names;     // every subfolder name met
};

void ScanBelow(plat::ScanFolder* folder, ScanResult& result) {
    ++result.folders;
    plat::ScanTotals totals;
    NameList list;
    const plat::Error read = plat::ReadScanFolder(folder, &totals, list);
    if (read != plat::Error::None) result.failures.push_back(std::string("read: ") + plat::ErrorName(read));
    result.bytes += totals.bytes;
    result.files += totals.files;
    for (const plat::ScanName& name : list.names) {
        result.names.insert(name);
        plat::ScanFolder* child = nullptr;
        bool mayLeadBack = true;
        const plat::Error opened = plat::OpenScanSubfolder(folder, name, &child, &mayLeadBack);
        if (opened != plat::Error::None) {
            result.failures.push_back(plat::ScanNameText(name) + ": " + plat::ErrorName(opened));
            continue;
        }
        EXPECT_FALSE(mayLeadBack) << plat::ScanNameText(name);  // no links in these trees
        ScanBelow(child, result);
        plat::CloseScanFolder(child);
    }
}

// Every file below `top`, through the scan alone, depth first.
ScanResult Scan(const std::string& top) {
    ScanResult result;
    plat::ScanFolder* folder = nullptr;
    result.top = plat::OpenScanTop(top.c_str(), &folder);
    if (folder == nullptr) return result;
    ScanBelow(folder, result);
    plat::CloseScanFolder(folder);
    return result;
}

// The name as the system holds it, from its UTF-8 text.
plat::ScanName NameOf(const std::string& utf8) { return fs::u8path(utf8).native(); }

TEST(FolderScanNames, DeepAndForeignTreesAreCountedWhole) {
    for (const testsupport::LabelledTree& c : testsupport::LongAndForeignTrees()) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const uint64_t expected = testsupport::WriteTree(dir / "top", c.files);
        ASSERT_NE(UINT64_MAX, expected);
        dir.WriteFile("beside", 5);  // outside the walked tree
        const ScanResult result = Scan(dir / "top");
        EXPECT_EQ(plat::Error::None, result.top);
        EXPECT_EQ(expected, result.bytes);
        EXPECT_EQ(c.files.size(), result.files);
        EXPECT_TRUE(result.failures.empty()) << result.failures.front();
        // Every folder of the table, under its own name, none twice.
        std::set<plat::ScanName> expectedNames;
        for (const testsupport::TreeFile& file : c.files) {
            for (size_t slash = file.path.find('/'), start = 0; slash != std::string::npos;
                 start = slash + 1, slash = file.path.find('/', start))
                expectedNames.insert(NameOf(file.path.substr(start, slash - start)));
        }
        EXPECT_EQ(expectedNames, result.names);
    }
}

TEST(FolderScanNames, TopIsResolvedAsTheSystemResolvesAPath) {
    TempDir dir;
    const std::string sep = testsupport::Sep();
    ASSERT_TRUE(testsupport::WriteFileAt(dir.path(), "top/a", 10));
    ASSERT_TRUE(testsupport::WriteFileAt(dir.path(), "top/sub/b", 20));
    ASSERT_TRUE(testsupport::WriteFileAt(dir.path(), "file", 7));
    // A top whose name the ANSI code page holds, though not ASCII.
    const std::string umlaut = plat::ScanNameText(NameOf("\xc3\x84pfel"));  // Äpfel
    ASSERT_TRUE(testsupport::WriteFileAt(dir.path(), "\xc3\x84pfel/c", 40));
    // A top whose own path is far past 260 characters.
    std::string longTop;
    for (int level = 0; level < 10; ++level) longTop += std::string(40, char('k' + level)) + "/";
    ASSERT_TRUE(testsupport::WriteFileAt(dir.path(), longTop + "d", 80));
    longTop.pop_back();
    const std::string dirName = fs::path(dir.path()).filename().string();
    testsupport::ScopedCurrentDir here(dir.path());
    struct Case {
        std::string path;
        plat::Error error;
        uint64_t bytes;
    } cases[] = {
        {dir / "top", plat::Error::None, 30},
        {dir / "top" + sep, plat::Error::None, 30},
        {"top", plat::Error::None, 30},
        {"." + sep + "top" + sep + "sub" + sep + "..", plat::Error::None, 30},
        {".." + sep + dirName + sep + "top", plat::Error::None, 30},
        {"", plat::Error::None, 30 + 7 + 40 + 80},
        // Where the code page has no Ä, its "?" can name nothing.
        {umlaut, umlaut.find('?') == std::string::npos ? plat::Error::None : plat::Error::NotFound,
         umlaut.find('?') == std::string::npos ? 40u : 0u},
        {dir.path() + sep + longTop, plat::Error::None, 80},
        {longTop, plat::Error::None, 80},
        {"file", plat::Error::NotFolder, 0},
        {"missing", plat::Error::NotFound, 0},
        {"missing" + sep + "deeper", plat::Error::NotFound, 0},
        {"top" + sep + "*.*", plat::Error::NotFound, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("top \"" + c.path + "\"");
        const ScanResult result = Scan(c.path);
        EXPECT_EQ(c.error, result.top) << plat::ErrorName(result.top);
        EXPECT_EQ(c.bytes, result.bytes);
    }
    if (testsupport::IsPosix()) return;
    // Windows only: '/' between names, and a drive's own current folder.
    EXPECT_EQ(30u, Scan(dir.path() + "/top/sub/..").bytes);
    if (dir.path().size() > 2 && dir.path()[1] == ':') {
        const std::string drive = dir.path().substr(0, 2);
        EXPECT_EQ(30u, Scan(drive + "top").bytes) << "drive-relative";
        // A bare drive is its root, whatever the drive's current folder.
        plat::ScanFolder* bare = nullptr;
        plat::ScanFolder* root = nullptr;
        ASSERT_EQ(plat::Error::None, plat::OpenScanTop(drive.c_str(), &bare));
        ASSERT_EQ(plat::Error::None, plat::OpenScanTop((drive + "\\").c_str(), &root));
        plat::ScanIdentity bareId, rootId;
        EXPECT_TRUE(plat::ReadScanIdentity(bare, &bareId) && plat::ReadScanIdentity(root, &rootId));
        EXPECT_TRUE(plat::SameFolder(bareId, rootId));
        plat::CloseScanFolder(bare);
        plat::CloseScanFolder(root);
    }
}

// A junction leading back up is opened as the folder it leads to, says it
// may lead back, and shows the identity of the folder above; a junction
// elsewhere is walked as its folder.
TEST(FolderScanNames, JunctionsMayLeadBackAndShowWhere) {
    if (testsupport::IsPosix()) GTEST_SKIP() << "junctions are a Windows matter";
    TempDir dir;
    ASSERT_TRUE(testsupport::WriteFileAt(dir.path(), "top/sub/a", 10));
    ASSERT_TRUE(testsupport::WriteFileAt(dir.path(), "elsewhere/b", 20));
    const std::string why = testsupport::MakeJunctionOrWhy(dir / "top", dir / "top/sub/loop");
    if (!why.empty()) GTEST_SKIP() << why << (testsupport::RunningUnderWine() ? " (Wine 8 makes no reparse points)" : "");
    ASSERT_EQ("", testsupport::MakeJunctionOrWhy(dir / "elsewhere", dir / "top/sub/away"));
    plat::ScanFolder* top = nullptr;
    plat::ScanFolder* sub = nullptr;
    plat::ScanFolder* loop = nullptr;
    plat::ScanFolder* away = nullptr;
    bool mayLeadBack = false;
    ASSERT_EQ(plat::Error::None, plat::OpenScanTop((dir / "top").c_str(), &top));
    ASSERT_EQ(plat::Error::None, plat::OpenScanSubfolder(top, NameOf("sub"), &sub, &mayLeadBack));
    EXPECT_FALSE(mayLeadBack);
    ASSERT_EQ(plat::Error::None, plat::OpenScanSubfolder(sub, NameOf("loop"), &loop, &mayLeadBack));
    EXPECT_TRUE(mayLeadBack);
    ASSERT_EQ(plat::Error::None, plat::OpenScanSubfolder(sub, NameOf("away"), &away, &mayLeadBack));
    EXPECT_TRUE(mayLeadBack);
    plat::ScanIdentity topId, subId, loopId, awayId;
    ASSERT_TRUE(plat::ReadScanIdentity(top, &topId) && plat::ReadScanIdentity(sub, &subId) &&
                plat::ReadScanIdentity(loop, &loopId) && plat::ReadScanIdentity(away, &awayId));
    EXPECT_TRUE(plat::SameFolder(topId, loopId));
    EXPECT_FALSE(plat::SameFolder(topId, awayId));
    EXPECT_FALSE(plat::SameFolder(subId, awayId));
    plat::ScanTotals totals;
    NameList names;
    EXPECT_EQ(plat::Error::None, plat::ReadScanFolder(away, &totals, names));
    EXPECT_EQ(20u, totals.bytes);
    for (plat::ScanFolder* folder : {away, loop, sub, top}) plat::CloseScanFolder(folder);
}

}  // namespace
