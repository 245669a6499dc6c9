// The current folder and drive, the exclusive-open test and free space.

#include "filelib/platform/platform.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/platform_test_tree.h"
#include "support/process.h"

namespace {

using plat::Error;
using platformtest::Exists;

class PlatformWorkingFolder : public platformtest::WorkTree {
protected:
    void SetUp() override {
        WorkTree::SetUp();
        ASSERT_TRUE(plat::GetCurrentDir(saved_, sizeof saved_));
    }
    void TearDown() override {
        EXPECT_EQ(Error::None, plat::ChangeDir(saved_));
        WorkTree::TearDown();
    }
    char saved_[4096];
};

TEST_F(PlatformWorkingFolder, ChangeDirMovesAndReports) {
    Write("marker", "x");
    Write("file", "x");
    ASSERT_EQ(Error::None, plat::ChangeDir(work_.c_str()));
    EXPECT_TRUE(Exists("marker"));
    char now[4096];
    ASSERT_TRUE(plat::GetCurrentDir(now, sizeof now));
    EXPECT_EQ(plat::ReadAttributes(work_.c_str()), plat::ReadAttributes(now));

    struct Case {
        std::string path;
        Error expected;
    } cases[] = {
        {In("missing"), Error::NotFound},
        {In("file"), Error::NotFolder},
        {"", Error::NotFound},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, plat::ChangeDir(c.path.c_str())) << c.path;
        EXPECT_TRUE(Exists("marker")) << "the current folder moved on a failed change to " << c.path;
    }
    EXPECT_EQ(Error::NotFound, plat::ChangeDir(nullptr));
}

TEST_F(PlatformWorkingFolder, CurrentDirThatDoesNotFitIsRefused) {
    char tiny[4] = {'x', 'x', 'x', 0};
    EXPECT_FALSE(plat::GetCurrentDir(tiny, sizeof tiny));
    EXPECT_EQ(0, tiny[0]);
    EXPECT_FALSE(plat::GetCurrentDir(nullptr, 10));
}

TEST_F(PlatformWorkingFolder, CurrentDrive) {
    const int drive = plat::GetCurrentDrive();
    if (testsupport::IsPosix()) {
        EXPECT_EQ(0, drive);
    } else {
        EXPECT_GE(drive, 1);
        EXPECT_LE(drive, 26);
    }
    EXPECT_EQ(Error::None, plat::SetCurrentDrive(drive == 0 ? 3 : drive));
    EXPECT_EQ(drive, plat::GetCurrentDrive());
    char now[4096];
    ASSERT_TRUE(plat::GetCurrentDir(now, sizeof now));
    EXPECT_STREQ(saved_, now);
}

class PlatformFileLocks : public platformtest::WorkTree {};

TEST_F(PlatformFileLocks, ExclusiveOpenTellsCausesApart) {
    Write("free", "x");
    Write("read-only", "x");
    SetReadOnly("read-only");
    MakeDir("folder");
    struct Case {
        const char* name;
        Error expected;
    } cases[] = {
        {"free", Error::None},
        {"read-only", Error::None},
        {"missing", Error::NotFound},
        {"folder", Error::AccessDenied},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, plat::TryExclusiveOpen(In(c.name).c_str())) << c.name;
        // The test leaves nothing open behind it.
        EXPECT_EQ(c.expected, plat::TryExclusiveOpen(In(c.name).c_str())) << c.name << ", again";
    }
    EXPECT_EQ(Error::NotFound, plat::TryExclusiveOpen(""));
}

TEST_F(PlatformFileLocks, FileHeldByAnotherHolder) {
    Write("other", "y");
    for (auto kind : {testsupport::LockKind::FileLock, testsupport::LockKind::RecordLock}) {
        Write("held", "x");
        {
            testsupport::FileHolder holder(In("held"), kind);
            ASSERT_TRUE(holder.holding());
            EXPECT_EQ(Error::SharingViolation, plat::TryExclusiveOpen(In("held").c_str()));
            EXPECT_EQ(Error::None, plat::TryExclusiveOpen(In("other").c_str())) << "only the held file is in use";
        }
        EXPECT_EQ(Error::None, plat::TryExclusiveOpen(In("held").c_str())) << "still held after the holder went";
    }
}

TEST(PlatformDrives, FreeBytesForCaller) {
    testsupport::TempDir dir;
    uint64_t bytes = 12345;
    if (testsupport::IsPosix()) {
        EXPECT_EQ(Error::NotFound, plat::FreeBytesForCaller("C:", &bytes));
        EXPECT_EQ(0u, bytes);
        return;
    }
    const std::string drive = dir.path().substr(0, 2);
    ASSERT_EQ(':', drive[1]);
    EXPECT_EQ(Error::None, plat::FreeBytesForCaller(drive.c_str(), &bytes));
    EXPECT_GT(bytes, 0u);
    EXPECT_NE(Error::None, plat::FreeBytesForCaller("", &bytes));
    EXPECT_EQ(0u, bytes);
}

}  // namespace
