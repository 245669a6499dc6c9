#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "filelib/platform/platform.h"
#include "filelib/tree/record_walkers.h"
#include "filelib/tree/tree_collector.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "tree/walk_test_support.h"

namespace {

using testsupport::Sep;
using testsupport::TempDir;

// Records every drive the walks ask about; a remembered drive can be made
// to appear when it is reconnected.
class FakeNet : public plat::NetProvider {
public:
    std::string queries;
    long answer = 2250;  // not a network drive
    std::function<void()> onConnect;

    long GetConnection(const char* localName, char* remote, DWORD* length) override {
        queries += localName;
        std::snprintf(remote, *length, "\\\\server\\share");
        return answer;
    }
    long AddConnection(const char*, const char*) override {
        if (onConnect) onConnect();
        return NO_ERROR;
    }
    unsigned QueryDriveType(const char*) override { return DRIVE_NO_ROOT_DIR; }
};

class WalkReconnect : public ::testing::Test {
protected:
    void SetUp() override { plat::SetNetProvider(&net); }
    void TearDown() override { plat::SetNetProvider(nullptr); }
    FakeNet net;
};

TEST_F(WalkReconnect, EverySearchThatFailsOnADriveLetterReconnects) {
    TempDir dir;
    walktest::CurrentFolder current(dir.path());
    struct Case {
        const char* what;
        std::function<int32_t(const char*)> walk;
        const char* queries;  // for a folder on a drive that cannot be searched
    } cases[] = {
        {"count", [](const char* f) { return CountFolderFiles(f, "txtlog"); }, "Q:Q:"},
        {"sorted files", [](const char* f) { return ListFolderFilesSorted(f, "", 0); }, "Q:"},
        {"sorted subfolders", [](const char* f) { return ListSubfoldersSorted(f); }, "Q:"},
        {"collect", [](const char* f) { return CollectTreeFiles(f, "txt", 0); }, "Q:Q:"},
        // The record walks search for subfolders without reconnecting.
        {"file records", [](const char* f) { int32_t d = 0; return BuildTreeFileList(f, "txtlog", 0, d); }, "Q:Q:"},
        {"entry records", [](const char* f) { int32_t d = 0; return BuildTreeEntryList(f, "", 0, d); }, "Q:"},
        {"names", [](const char* f) { return BuildFolderFileNameList(f, "txt", 0); }, "Q:"},
        {"paths", [](const char* f) { return BuildFolderFilePathList(f, "txtlog", 0); }, "Q:Q:"},
        {"subfolders", [](const char* f) { return BuildSubfolderList(f); }, "Q:"},
    };
    for (const Case& c : cases) {
        net.queries.clear();
        EXPECT_EQ(0, c.walk("q:")) << c.what;
        EXPECT_EQ(c.queries, net.queries) << c.what;
        net.queries.clear();
        EXPECT_EQ(0, c.walk("missing")) << c.what;
        EXPECT_EQ("", net.queries) << c.what;  // no drive letter, nothing to reconnect
    }
}

TEST_F(WalkReconnect, ReconnectedDriveIsSearched) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "a drive letter cannot be made to appear here";
    // On POSIX "q:" is a folder name like any other: the fake reconnection
    // makes it, as a remembered network drive would appear.
    TempDir dir;
    walktest::CurrentFolder current(dir.path());
    net.answer = ERROR_CONNECTION_UNAVAIL;
    net.onConnect = [&dir] { dir.WriteFile("q:/a.txt", 4); };
    EXPECT_EQ(1, CountFolderFiles("q:", "txt"));
    EXPECT_EQ("Q:", net.queries);
    net.queries.clear();
    EXPECT_EQ(1, CountFolderFiles("q:", "txt"));
    EXPECT_EQ("", net.queries);  // a search that succeeds asks nothing
}

}  // namespace
