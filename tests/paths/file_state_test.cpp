#include "filelib/paths/file_state.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "filelib/enum/file_finder.h"
#include "filelib/fileops/file_ops.h"
#include "filelib/paths/path_parts.h"
#include "filelib/platform/platform.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Sep;
using testsupport::LongPathFile;
using testsupport::MakeLongPathFile;
using testsupport::TempDir;

// Restores the current folder a test changed.
class CurrentFolderGuard {
public:
    CurrentFolderGuard() : saved_(fs::current_path()) {}
    ~CurrentFolderGuard() {
        std::error_code error;
        fs::current_path(saved_, error);
    }

private:
    fs::path saved_;
};

bool Writable(const std::string& path) {
    return (fs::status(path).permissions() & fs::perms::owner_write) != fs::perms::none;
}

bool HasAttribute(const std::string& path, DWORD bit) {
    const DWORD attrib = GetAttributes(path.c_str());
    return attrib != INVALID_FILE_ATTRIBUTES && (attrib & bit) != 0;
}

TEST(SetReadOnly, SwitchesWithFourWayResult) {
    TempDir temp;
    temp.WriteText("data.txt", "x");
    temp.WriteText("beside.txt", "y");
    temp.MakeDir("folder");
    const std::string file = temp / "data.txt";
    struct Step {
        bool readOnly;
        int result;
        bool writableAfter;
    } steps[] = {
        {false, READONLY_ALREADY, true},
        {true, READONLY_CHANGED, false},
        {true, READONLY_ALREADY, false},
        {false, READONLY_CHANGED, true},
        {false, READONLY_ALREADY, true},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(s.result, SetReadOnly(file.c_str(), s.readOnly)) << s.readOnly;
        EXPECT_EQ(s.writableAfter, Writable(file));
        EXPECT_EQ(!s.writableAfter, HasAttribute(file, FILE_ATTRIBUTE_READONLY));
    }
    EXPECT_TRUE(Writable(temp / "beside.txt"));
    struct NoFile {
        std::string path;
    } noFiles[] = {{temp / "folder"}, {temp / "missing.txt"}, {""}};
    for (const NoFile& n : noFiles) {
        EXPECT_EQ(READONLY_NO_FILE, SetReadOnly(n.path.c_str(), true)) << n.path;
        EXPECT_EQ(READONLY_NO_FILE, SetReadOnly(n.path.c_str(), false)) << n.path;
    }
    EXPECT_FALSE(HasAttribute(temp / "folder", FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(fs::exists(temp / "missing.txt"));
}

TEST(SetReadOnly, KeepsTheOtherAttributes) {
    TempDir temp;
    temp.WriteText(".settings", "x");
    const std::string file = temp / ".settings";
    DWORD kept = FILE_ATTRIBUTE_HIDDEN;
    if (!testsupport::IsPosix()) {
        kept |= FILE_ATTRIBUTE_ARCHIVE;
        ASSERT_EQ(plat::Error::None, plat::WriteAttributes(file.c_str(), kept));
    }
    ASSERT_EQ(kept, GetAttributes(file.c_str()) & kept);
    EXPECT_EQ(READONLY_CHANGED, SetReadOnly(file.c_str(), true));
    EXPECT_EQ(kept | FILE_ATTRIBUTE_READONLY, GetAttributes(file.c_str()) & (kept | FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(READONLY_CHANGED, SetReadOnly(file.c_str(), false));
    EXPECT_EQ(kept, GetAttributes(file.c_str()) & (kept | FILE_ATTRIBUTE_READONLY));
}

TEST(IsFileInUse, TellsAFileHeldByAnotherProcess) {
    TempDir temp;
    temp.WriteText("free.txt", "free");
    temp.WriteText("held.txt", "held");
    temp.MakeDir("folder");
    const std::string held = temp / "held.txt";
    const std::string free = temp / "free.txt";
    for (testsupport::LockKind kind : {testsupport::LockKind::FileLock, testsupport::LockKind::RecordLock}) {
        testsupport::FileHolder holder(held, kind);
        ASSERT_TRUE(holder.holding());
        struct Case {
            std::string path;
            bool inUse;
        } cases[] = {
            {held, true}, {free, false}, {temp / "missing.txt", false}, {temp / "folder", false}, {"", false},
        };
        for (const Case& c : cases) EXPECT_EQ(c.inUse, IsFileInUse(c.path.c_str())) << c.path;
    }
    // Once the other process has let go, the file is free again; and the
    // test leaves it closed: a second look sees it free as well.
    EXPECT_FALSE(IsFileInUse(held.c_str()));
    EXPECT_FALSE(IsFileInUse(free.c_str()));
    fs::remove(free);
    EXPECT_FALSE(fs::exists(free));
    EXPECT_TRUE(fs::exists(held));
}

TEST(IsFileInUse, ReadOnlyAndHiddenFilesAreFree) {
    TempDir temp;
    temp.WriteText(".hidden", "h");
    temp.WriteText("readonly.txt", "r");
    if (!testsupport::IsPosix()) plat::WriteAttributes((temp / ".hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
    ASSERT_EQ(READONLY_CHANGED, SetReadOnly((temp / "readonly.txt").c_str(), true));
    EXPECT_FALSE(IsFileInUse((temp / ".hidden").c_str()));
    EXPECT_FALSE(IsFileInUse((temp / "readonly.txt").c_str()));
    SetReadOnly((temp / "readonly.txt").c_str(), false);
}

TEST(IsFileInUse, AccessDeniedIsNoUse) {
    if (!testsupport::IsPosix() || testsupport::IsRoot())
        GTEST_SKIP() << "needs a file this user may not open, which root and Windows tests do not have";
    TempDir temp;
    temp.WriteText("closed.txt", "c");
    fs::permissions(temp / "closed.txt", fs::perms::none);
    EXPECT_FALSE(IsFileInUse((temp / "closed.txt").c_str()));
    fs::permissions(temp / "closed.txt", fs::perms::owner_all);
}

// Records the reconnection asked for; can make a file appear on reconnection.
class FakeNet : public plat::NetProvider {
public:
    long GetConnection(const char* localName, char* remote, DWORD* length) override {
        asked.push_back(localName);
        std::snprintf(remote, *length, "\\\\server\\share");
        return ERROR_CONNECTION_UNAVAIL;
    }
    long AddConnection(const char* localName, const char*) override {
        added.push_back(localName);
        if (!createOnConnect.empty()) {
            std::FILE* file = std::fopen(createOnConnect.c_str(), "w");
            if (file != nullptr) std::fclose(file);
        }
        return NO_ERROR;
    }
    unsigned QueryDriveType(const char*) override { return DRIVE_NO_ROOT_DIR; }

    std::vector<std::string> asked, added;
    std::string createOnConnect;
};

class WithFakeNet : public ::testing::Test {
protected:
    void SetUp() override { plat::SetNetProvider(&net); }
    void TearDown() override { plat::SetNetProvider(nullptr); }
    FakeNet net;
};

using OpenFileRetryTest = WithFakeNet;

TEST_F(OpenFileRetryTest, OpensOrRetriesOnceAfterReconnecting) {
    TempDir temp;
    temp.WriteText("data.txt", "content");
    temp.MakeDir("folder");
    // A failed open on a drive letter reconnects it, the temporary folder's
    // own too.
    const std::vector<std::string> tempDrive =
        GetDriveLetter(temp.path().c_str()) != 0 ? std::vector<std::string>{temp.path().substr(0, 2)}
                                                 : std::vector<std::string>{};
    struct Case {
        std::string path;
        const char* mode;
        bool opens;
        std::vector<std::string> asked;
    } cases[] = {
        {temp / "data.txt", "r", true, {}},
        {temp / "new.txt", "w", true, {}},
        {temp / "missing.txt", "r", false, tempDrive},
        {temp / "folder", "r", false, tempDrive},
        {"x:\\datei.txt", "r", false, {"X:"}},
        {"Q:\\" + std::string(400, 'n') + ".txt", "r", false, {"Q:"}},
    };
    for (const Case& c : cases) {
        net.asked.clear();
        std::FILE* file = OpenFileRetry(c.path.c_str(), c.mode);
        EXPECT_EQ(c.opens, file != nullptr) << c.path;
        if (file != nullptr) std::fclose(file);
        EXPECT_EQ(c.asked, net.asked) << c.path;
    }
    std::FILE* file = OpenFileRetry((temp / "data.txt").c_str(), "r");
    ASSERT_NE(nullptr, file);
    char text[20] = {};
    EXPECT_NE(nullptr, std::fgets(text, sizeof text, file));
    std::fclose(file);
    EXPECT_STREQ("content", text);
    EXPECT_EQ(nullptr, OpenFileRetry(nullptr, "r"));
    EXPECT_EQ(nullptr, OpenFileRetry((temp / "data.txt").c_str(), nullptr));
}

TEST_F(OpenFileRetryTest, SecondTryFindsWhatTheReconnectionBrought) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "a drive letter cannot be faked on Windows";
    // On POSIX "X:\datei.txt" is a plain name in the current folder, so the
    // fake connection can make it appear.
    TempDir temp;
    CurrentFolderGuard guard;
    fs::current_path(temp.path());
    net.createOnConnect = "X:\\datei.txt";
    std::FILE* file = OpenFileRetry("X:\\datei.txt", "r");
    EXPECT_NE(nullptr, file);
    if (file != nullptr) std::fclose(file);
    EXPECT_EQ(std::vector<std::string>{"X:"}, net.added);
}

using DriveFreeSpace = WithFakeNet;

TEST_F(DriveFreeSpace, ReconnectsAndReportsBytesFree) {
    if (testsupport::IsPosix()) {
        EXPECT_EQ(0.0, GetDriveFreeSpace('C'));
        EXPECT_EQ(std::vector<std::string>{"C:"}, net.asked);
        return;
    }
    const char letter = char(std::toupper(static_cast<unsigned char>(TempDir().path()[0])));
    const double bytes = GetDriveFreeSpace(letter);
    EXPECT_GT(bytes, 0.0);
    const fs::space_info space = fs::space(std::string(1, letter) + ":\\");
    EXPECT_NEAR(double(space.available), bytes, 1e9);
    EXPECT_EQ(std::vector<std::string>{std::string(1, letter) + ":"}, net.asked);
    EXPECT_EQ(0.0, GetDriveFreeSpace('1'));
}

TEST(CurrentFolder, ChangedAndRestored) {
    TempDir temp;
    temp.MakeDir("inner");
    temp.WriteText("file.txt", "f");
    CurrentFolderGuard guard;
    const std::string before = fs::current_path().string();
    char folder[kCurrentFolderSize + 16];
    std::memset(folder, '#', sizeof folder);
    GetCurrentFolder(folder);
    EXPECT_EQ(before, folder);

    EXPECT_EQ(0, ChangeToFolder(temp.path().c_str()));
    GetCurrentFolder(folder);
    EXPECT_EQ(fs::current_path().string(), folder);
    EXPECT_TRUE(fs::equivalent(temp.path(), fs::current_path()));

    struct Case {
        std::string path;
        int result;
        std::string after;  // relative to temp
    } cases[] = {
        {temp / "inner", 0, "inner"},
        {temp / "missing", -1, "inner"},
        {temp / "file.txt", -1, "inner"},
        {"", -1, "inner"},
        {temp.path(), 0, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.result, ChangeToFolder(c.path.c_str())) << c.path;
        EXPECT_TRUE(fs::equivalent(c.after.empty() ? temp.path() : temp / c.after, fs::current_path())) << c.path;
    }
    EXPECT_EQ(0, ChangeToFolder(before.c_str()));
    GetCurrentFolder(folder);
    EXPECT_EQ(before, folder);
}

TEST(CurrentFolder, RootKeepsItsSeparator) {
    CurrentFolderGuard guard;
    const std::string root = fs::current_path().root_path().string();
    ASSERT_EQ(0, ChangeToFolder(root.c_str()));
    char folder[kCurrentFolderSize];
    GetCurrentFolder(folder);
    EXPECT_EQ(root, folder);
}

TEST(CurrentFolder, TooLongForTheFieldGivesEmptyText) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "Windows does not make folders this deep current";
    TempDir temp;
    std::string deep = temp.path();
    while (deep.size() < size_t(kCurrentFolderSize) + 40) deep += "/" + std::string(50, 'd');
    fs::create_directories(deep);
    CurrentFolderGuard guard;
    ASSERT_EQ(0, ChangeToFolder(deep.c_str()));
    char folder[kCurrentFolderSize + 16];
    std::memset(folder, '#', sizeof folder);
    GetCurrentFolder(folder);
    EXPECT_STREQ("", folder);
    for (size_t i = kCurrentFolderSize; i < sizeof folder; ++i) EXPECT_EQ('#', folder[i]);
}

// Paths longer than the system takes at once are worked on from inside
// their folder; the current folder is the same afterwards.
TEST(FileState, LongPathsWorkAndLeaveTheCurrentFolder) {
    TempDir temp;
    const LongPathFile made = MakeLongPathFile(temp, "long");
    if (made.file.empty()) GTEST_SKIP() << "the system makes no paths this long here";
    const std::string& file = made.file;
    temp.WriteText("beside.txt", "b");
    const fs::path before = fs::current_path();

    std::FILE* opened = OpenFileRetry(file.c_str(), "r");
    ASSERT_NE(nullptr, opened);
    char text[8] = {};
    EXPECT_NE(nullptr, std::fgets(text, sizeof text, opened));
    std::fclose(opened);
    EXPECT_STREQ("long", text);
    EXPECT_FALSE(IsFileInUse(file.c_str()));
    EXPECT_EQ(READONLY_CHANGED, SetReadOnly(file.c_str(), true));
    EXPECT_FALSE(Writable(file));
    EXPECT_EQ(READONLY_CHANGED, SetReadOnly(file.c_str(), false));
    EXPECT_TRUE(Writable(file));
    EXPECT_TRUE(Writable(temp / "beside.txt"));
    EXPECT_EQ(before, fs::current_path());
}

}  // namespace
