#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "filelib/platform/platform.h"
#include "filelib/tree/record_walkers.h"
#include "filelib/tree/tree_collector.h"
#include "support/process.h"
#include "support/recording_net.h"
#include "support/temp_dir.h"

namespace {

using testsupport::Sep;
using testsupport::TempDir;

using WalkReconnect = testsupport::WithRecordingNet;

TEST_F(WalkReconnect, EverySearchThatFailsOnADriveLetterReconnects) {
    TempDir dir;
    testsupport::ScopedCurrentDir current(dir.path());
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
        net.asked.clear();
        EXPECT_EQ(0, c.walk("q:")) << c.what;
        EXPECT_EQ(c.queries, net.asked) << c.what;
        net.asked.clear();
        EXPECT_EQ(0, c.walk("missing")) << c.what;
        EXPECT_EQ("", net.asked) << c.what;  // no drive letter, nothing to reconnect
    }
}

TEST_F(WalkReconnect, ReconnectedDriveIsSearched) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "a drive letter cannot be made to appear here";
    // On POSIX "q:" is a folder name like any other: the fake reconnection
    // makes it, as a remembered network drive would appear.
    TempDir dir;
    testsupport::ScopedCurrentDir current(dir.path());
    net.answer = ERROR_CONNECTION_UNAVAIL;
    net.onConnect = [&dir] { dir.WriteFile("q:/a.txt", 4); };
    EXPECT_EQ(1, CountFolderFiles("q:", "txt"));
    EXPECT_EQ("Q:", net.asked);
    net.asked.clear();
    EXPECT_EQ(1, CountFolderFiles("q:", "txt"));
    EXPECT_EQ("", net.asked);  // a search that succeeds asks nothing
}

}  // namespace
