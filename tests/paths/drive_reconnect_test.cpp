#include "filelib/paths/drive_reconnect.h"

#include <gtest/gtest.h>

#include <string>

#include "filelib/platform/platform.h"
#include "support/recording_net.h"
#include "support/temp_dir.h"

namespace {

// Every drive is remembered and reconnects.
class DriveReconnect : public testsupport::WithRecordingNet {
protected:
    void SetUp() override {
        WithRecordingNet::SetUp();
        net.answer = ERROR_CONNECTION_UNAVAIL;
        net.remote.clear();
    }
};

TEST_F(DriveReconnect, OnlyPathsWithADriveLetter) {
    struct Case {
        const char* path;
        bool reconnects;
        const char* asked;
    } cases[] = {
        {"x:\\daten\\a.txt", true, "X:"},
        {"Q:", true, "Q:"},
        {"\\\\server\\share", false, ""},
        {"daten:x", false, ""},
        {"/usr/x", false, ""},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        net.asked.clear();
        EXPECT_EQ(c.reconnects, ReconnectDriveOf(c.path)) << c.path;
        EXPECT_EQ(c.asked, net.asked) << c.path;
    }
    EXPECT_FALSE(ReconnectDriveOf(nullptr));
}

TEST_F(DriveReconnect, TriesOnceMoreAfterReconnecting) {
    struct Case {
        const char* path;
        int succeedOnAttempt;  // 0: never
        int expectedAttempts;
        const char* asked;
    } cases[] = {
        {"d:\\a", 1, 1, ""}, {"d:\\a", 2, 2, "D:"}, {"d:\\a", 0, 2, "D:"}, {"rel\\a", 0, 1, ""}, {"rel\\a", 2, 1, ""},
    };
    for (const Case& c : cases) {
        net.asked.clear();
        int attempts = 0;
        const bool result = TryWithReconnect(c.path, [&] { return ++attempts == c.succeedOnAttempt; });
        EXPECT_EQ(c.expectedAttempts, attempts) << c.path << " " << c.succeedOnAttempt;
        EXPECT_EQ(c.succeedOnAttempt != 0 && c.succeedOnAttempt <= c.expectedAttempts, result) << c.path;
        EXPECT_EQ(c.asked, net.asked) << c.path << " " << c.succeedOnAttempt;
    }
}

TEST_F(DriveReconnect, ProbeReconnectsOnlyWhenTheFolderCannotBeSearched) {
    testsupport::TempDir dir;
    ProbeFolder(dir.path().c_str());  // found (with or without a drive letter): nothing to reopen
    EXPECT_EQ("", net.asked);
    ProbeFolder("q:\\vorkstat-no-such-folder");
    EXPECT_EQ("Q:", net.asked);
    net.asked.clear();
    ProbeFolder("vorkstat-no-such-folder");
    EXPECT_EQ("", net.asked);
}

}  // namespace
