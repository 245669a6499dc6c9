// Attributes, time stamps, search data, removing, moving and making entries.

#include "filelib/platform/platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/platform_test_tree.h"
#include "support/process.h"

namespace {

namespace fs = std::filesystem;
using platformtest::Exists;
using platformtest::IsReadOnly;
using platformtest::ReadText;
using plat::Error;

class PlatformFileSystem : public platformtest::WorkTree {};

FILETIME FromTicks(uint64_t ticks) {
    FILETIME ft;
    ft.dwLowDateTime = DWORD(ticks & 0xFFFFFFFFu);
    ft.dwHighDateTime = DWORD(ticks >> 32);
    return ft;
}

uint64_t Ticks(const FILETIME& ft) { return (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime; }

// 100-ns ticks of a UTC time given in seconds since 1970 and a 100-ns rest.
uint64_t TicksOf(int64_t unixSeconds, uint32_t rest) {
    return uint64_t((unixSeconds + 11644473600LL) * 10000000LL + rest);
}

TEST_F(PlatformFileSystem, WriteAttributesSwitchesReadOnly) {
    struct Case {
        const char* name;
        bool startReadOnly;
        DWORD write;
        bool expectReadOnly;
    } cases[] = {
        {"set", false, FILE_ATTRIBUTE_READONLY, true},
        {"set-again", true, FILE_ATTRIBUTE_READONLY, true},
        {"clear", true, FILE_ATTRIBUTE_NORMAL, false},
        {"clear-with-archive", true, FILE_ATTRIBUTE_ARCHIVE, false},
        {"set-with-archive", false, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, true},
    };
    for (const Case& c : cases) {
        Write(c.name, "x");
        if (c.startReadOnly) SetReadOnly(c.name);
        EXPECT_EQ(Error::None, plat::WriteAttributes(In(c.name).c_str(), c.write)) << c.name;
        EXPECT_EQ(c.expectReadOnly, IsReadOnly(In(c.name))) << c.name;
        EXPECT_EQ("x", ReadText(In(c.name))) << c.name;
    }
    EXPECT_EQ(Error::NotFound, plat::WriteAttributes(In("missing").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(Error::NotFound, plat::WriteAttributes("", FILE_ATTRIBUTE_READONLY));
}

TEST_F(PlatformFileSystem, ReadOnlyTakesEveryWritePermissionOnPosix) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "permission bits are POSIX's";
    Write("f", "x");
    fs::permissions(In("f"), fs::perms(0666));
    ASSERT_EQ(Error::None, plat::WriteAttributes(In("f").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(fs::perms(0444), fs::status(In("f")).permissions());
    // Other bits cannot be kept here: the name decides what is hidden.
    EXPECT_EQ(0u, plat::ReadAttributes(In("f").c_str()) & FILE_ATTRIBUTE_HIDDEN);
    ASSERT_EQ(Error::None, plat::WriteAttributes(In("f").c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(fs::perms(0644), fs::status(In("f")).permissions());
}

TEST_F(PlatformFileSystem, HiddenIsKeptOnWindows) {
    if (testsupport::IsPosix()) GTEST_SKIP() << "POSIX takes hidden from the name";
    Write("f", "x");
    ASSERT_EQ(Error::None, plat::WriteAttributes(In("f").c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_NE(0u, plat::ReadAttributes(In("f").c_str()) & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(PlatformFileSystem, FileTimesRoundTripExactly) {
    struct Case {
        const char* name;
        uint64_t access, write;
        bool readOnly;
    } cases[] = {
        {"summer", TicksOf(1626352496, 1234567), TicksOf(1626352400, 9999999), false},
        {"winter", TicksOf(1610000000, 0), TicksOf(1610000001, 1), false},
        {"read-only", TicksOf(1500000000, 5000000), TicksOf(1400000000, 42), true},
        {"after-2038", TicksOf(4102444800LL, 7), TicksOf(4102444801LL, 8), false},
    };
    for (const Case& c : cases) {
        Write(c.name, "x");
        if (c.readOnly) SetReadOnly(c.name);
        const FILETIME access = FromTicks(c.access), write = FromTicks(c.write);
        ASSERT_EQ(Error::None, plat::WriteFileTimes(In(c.name).c_str(), nullptr, &access, &write)) << c.name;
        FILETIME gotCreation = {}, gotAccess = {}, gotWrite = {};
        ASSERT_EQ(Error::None, plat::ReadFileTimes(In(c.name).c_str(), &gotCreation, &gotAccess, &gotWrite));
        EXPECT_EQ(c.access, Ticks(gotAccess)) << c.name;
        EXPECT_EQ(c.write, Ticks(gotWrite)) << c.name;
        EXPECT_NE(0u, Ticks(gotCreation)) << c.name;
    }
}

TEST_F(PlatformFileSystem, NullTimesAreLeftAlone) {
    Write("f", "x");
    const FILETIME access = FromTicks(TicksOf(1300000000, 100)), write = FromTicks(TicksOf(1200000000, 200));
    ASSERT_EQ(Error::None, plat::WriteFileTimes(In("f").c_str(), nullptr, &access, &write));
    const FILETIME laterAccess = FromTicks(TicksOf(1350000000, 300));
    ASSERT_EQ(Error::None, plat::WriteFileTimes(In("f").c_str(), nullptr, &laterAccess, nullptr));
    FILETIME gotAccess = {}, gotWrite = {};
    ASSERT_EQ(Error::None, plat::ReadFileTimes(In("f").c_str(), nullptr, &gotAccess, &gotWrite));
    EXPECT_EQ(Ticks(laterAccess), Ticks(gotAccess));
    EXPECT_EQ(Ticks(write), Ticks(gotWrite));
    const FILETIME laterWrite = FromTicks(TicksOf(1250000000, 400));
    ASSERT_EQ(Error::None, plat::WriteFileTimes(In("f").c_str(), nullptr, nullptr, &laterWrite));
    ASSERT_EQ(Error::None, plat::ReadFileTimes(In("f").c_str(), nullptr, &gotAccess, &gotWrite));
    EXPECT_EQ(Ticks(laterAccess), Ticks(gotAccess));
    EXPECT_EQ(Ticks(laterWrite), Ticks(gotWrite));
    EXPECT_EQ(Error::None, plat::WriteFileTimes(In("f").c_str(), nullptr, nullptr, nullptr));
}

TEST_F(PlatformFileSystem, TimesOfMissingPaths) {
    const FILETIME t = FromTicks(TicksOf(1300000000, 0));
    FILETIME got = FromTicks(77);
    EXPECT_EQ(Error::NotFound, plat::ReadFileTimes(In("missing").c_str(), nullptr, nullptr, &got));
    EXPECT_EQ(77u, Ticks(got));
    EXPECT_EQ(Error::NotFound, plat::WriteFileTimes(In("missing").c_str(), &t, &t, &t));
    EXPECT_FALSE(Exists(In("missing")));
}

TEST_F(PlatformFileSystem, FindDataOfOnePath) {
    const uint64_t big = (uint64_t(1) << 32) + 1;
    root_.WriteFile("work/big.bin", big);
    MakeDir("sub");
    const FILETIME write = FromTicks(TicksOf(1500000000, 1234567));
    ASSERT_EQ(Error::None, plat::WriteFileTimes(In("big.bin").c_str(), nullptr, &write, &write));

    WIN32_FIND_DATAA data;
    ASSERT_EQ(Error::None, plat::ReadFindData(In("big.bin").c_str(), &data));
    EXPECT_STREQ("big.bin", data.cFileName);
    EXPECT_EQ(1u, data.nFileSizeHigh);
    EXPECT_EQ(1u, data.nFileSizeLow);
    EXPECT_EQ(0u, data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(Ticks(write), Ticks(data.ftLastWriteTime));
    FILETIME creation = {};
    ASSERT_EQ(Error::None, plat::ReadFileTimes(In("big.bin").c_str(), &creation, nullptr, nullptr));
    EXPECT_EQ(Ticks(creation), Ticks(data.ftCreationTime));

    // The first match of a pattern decides.
    ASSERT_EQ(Error::None, plat::ReadFindData(In("*.bin").c_str(), &data));
    EXPECT_STREQ("big.bin", data.cFileName);
    EXPECT_EQ(Ticks(write), Ticks(data.ftLastWriteTime));

    ASSERT_EQ(Error::None, plat::ReadFindData(In("sub").c_str(), &data));
    EXPECT_STREQ("sub", data.cFileName);
    EXPECT_NE(0u, data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(0u, data.nFileSizeLow);

    std::memset(&data, 0x5A, sizeof data);
    EXPECT_EQ(Error::NotFound, plat::ReadFindData(In("missing").c_str(), &data));
    WIN32_FIND_DATAA cleared;
    std::memset(&cleared, 0, sizeof cleared);
    EXPECT_EQ(0, std::memcmp(&cleared, &data, sizeof data));
}

TEST_F(PlatformFileSystem, RemoveFileEntryKeepsWindowsRules) {
    struct Case {
        const char* name;
        enum { File, ReadOnlyFile, Folder, Missing } kind;
        Error expected;
        bool remains;
    } cases[] = {
        {"plain", Case::File, Error::None, false},
        {"read-only", Case::ReadOnlyFile, Error::ReadOnly, true},
        {"folder", Case::Folder, Error::IsFolder, true},
        {"missing", Case::Missing, Error::NotFound, false},
    };
    for (const Case& c : cases) {
        if (c.kind == Case::Folder) MakeDir(c.name);
        if (c.kind == Case::File || c.kind == Case::ReadOnlyFile) Write(c.name, "x");
        if (c.kind == Case::ReadOnlyFile) SetReadOnly(c.name);
        EXPECT_EQ(c.expected, plat::RemoveFileEntry(In(c.name).c_str())) << c.name;
        EXPECT_EQ(c.remains, Exists(In(c.name))) << c.name;
    }
    // An empty folder is refused as well: the C runtime's remove would take it.
    EXPECT_TRUE(Exists(In("folder")));
    EXPECT_EQ(Error::NotFound, plat::RemoveFileEntry(""));
}

TEST_F(PlatformFileSystem, RemoveFileEntryTakesTheLinkNotItsTarget) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "links need privileges on Windows";
    Write("target", "data");
    MakeDir("folder");
    fs::create_symlink(In("target"), In("link"));
    fs::create_directory_symlink(In("folder"), In("folder-link"));
    EXPECT_EQ(Error::None, plat::RemoveFileEntry(In("link").c_str()));
    EXPECT_EQ(Error::None, plat::RemoveFileEntry(In("folder-link").c_str()));
    EXPECT_FALSE(fs::is_symlink(fs::symlink_status(In("link"))));
    EXPECT_FALSE(fs::is_symlink(fs::symlink_status(In("folder-link"))));
    EXPECT_EQ("data", ReadText(In("target")));
    EXPECT_TRUE(fs::is_directory(In("folder")));
}

TEST_F(PlatformFileSystem, MovePathNeverLosesATarget) {
    enum Target { None, File, ReadOnlyFile, Folder, InMissingFolder };
    struct Case {
        const char* name;
        Target target;
        plat::MoveMode mode;
        Error expected;
    } cases[] = {
        {"new-keep", None, plat::MoveMode::KeepTarget, Error::None},
        {"new-replace", None, plat::MoveMode::ReplaceTarget, Error::None},
        {"file-keep", File, plat::MoveMode::KeepTarget, Error::Exists},
        {"file-replace", File, plat::MoveMode::ReplaceTarget, Error::None},
        {"ro-keep", ReadOnlyFile, plat::MoveMode::KeepTarget, Error::Exists},
        {"ro-replace", ReadOnlyFile, plat::MoveMode::ReplaceTarget, Error::ReadOnly},
        {"folder-keep", Folder, plat::MoveMode::KeepTarget, Error::Exists},
        {"folder-replace", Folder, plat::MoveMode::ReplaceTarget, Error::Exists},
        {"nowhere-keep", InMissingFolder, plat::MoveMode::KeepTarget, Error::NotFound},
        {"nowhere-replace", InMissingFolder, plat::MoveMode::ReplaceTarget, Error::NotFound},
    };
    for (const Case& c : cases) {
        const std::string from = std::string(c.name) + ".old";
        std::string to = std::string(c.name) + ".new";
        Write(from, "source");
        if (c.target == File || c.target == ReadOnlyFile) Write(to, "target");
        if (c.target == ReadOnlyFile) SetReadOnly(to);
        if (c.target == Folder) MakeDir(to);
        if (c.target == InMissingFolder) to = "missing" + testsupport::Sep() + to;
        EXPECT_EQ(c.expected, plat::MovePath(In(from).c_str(), In(to).c_str(), c.mode)) << c.name;
        if (c.expected == Error::None) {
            EXPECT_FALSE(Exists(In(from))) << c.name;
            EXPECT_EQ("source", ReadText(In(to))) << c.name;
        } else {
            EXPECT_EQ("source", ReadText(In(from))) << c.name;
            if (c.target == File || c.target == ReadOnlyFile) {
                EXPECT_EQ("target", ReadText(In(to))) << c.name;
            }
            if (c.target == ReadOnlyFile) {
                EXPECT_TRUE(IsReadOnly(In(to))) << c.name;
            }
            if (c.target == Folder) {
                EXPECT_TRUE(fs::is_directory(In(to))) << c.name;
            }
        }
    }
}

TEST_F(PlatformFileSystem, MovePathOfFoldersAndMissingSources) {
    MakeDir("folder");
    Write("folder/inside", "x");
    EXPECT_EQ(Error::None, plat::MovePath(In("folder").c_str(), In("moved").c_str(), plat::MoveMode::KeepTarget));
    EXPECT_EQ("x", ReadText(In("moved" + testsupport::Sep() + "inside")));
    EXPECT_FALSE(Exists(In("folder")));
    Write("read-only", "r");
    SetReadOnly("read-only");
    // A read-only file may be renamed; only replacing one is refused.
    EXPECT_EQ(Error::None,
              plat::MovePath(In("read-only").c_str(), In("renamed").c_str(), plat::MoveMode::ReplaceTarget));
    EXPECT_TRUE(IsReadOnly(In("renamed")));
    Write("target", "t");
    EXPECT_EQ(Error::NotFound,
              plat::MovePath(In("missing").c_str(), In("target").c_str(), plat::MoveMode::ReplaceTarget));
    EXPECT_EQ("t", ReadText(In("target")));
}

TEST_F(PlatformFileSystem, MakeAndRemoveFolders) {
    Write("file", "x");
    MakeDir("full");
    Write("full/inside", "kept");
    MakeDir("read-only");
    SetReadOnly("read-only");
    struct Case {
        const char* what;
        Error (*call)(const char*);
        std::string path;
        Error expected;
    } cases[] = {
        {"make new", plat::MakeFolder, In("new"), Error::None},
        {"make existing", plat::MakeFolder, In("new"), Error::Exists},
        {"make over a file", plat::MakeFolder, In("file"), Error::Exists},
        {"make in missing", plat::MakeFolder, In("missing" + testsupport::Sep() + "x"), Error::NotFound},
        {"remove empty", plat::RemoveFolder, In("new"), Error::None},
        {"remove again", plat::RemoveFolder, In("new"), Error::NotFound},
        {"remove with entries", plat::RemoveFolder, In("full"), Error::NotEmpty},
        {"remove a file", plat::RemoveFolder, In("file"), Error::NotFolder},
        {"remove read-only", plat::RemoveFolder, In("read-only"), Error::ReadOnly},
    };
    // Wine keeps no read-only attribute on folders; Windows and POSIX do.
    const bool folderKeepsReadOnly = IsReadOnly(In("read-only"));
    if (!folderKeepsReadOnly) {
        ASSERT_TRUE(testsupport::RunningUnderWine()) << "a folder lost its read-only attribute";
    }
    for (const Case& c : cases) {
        if (c.expected == Error::ReadOnly && !folderKeepsReadOnly) continue;
        EXPECT_EQ(c.expected, c.call(c.path.c_str())) << c.what;
    }
    EXPECT_EQ("kept", ReadText(In("full" + testsupport::Sep() + "inside")));
    EXPECT_EQ("x", ReadText(In("file")));
    if (folderKeepsReadOnly) {
        EXPECT_TRUE(fs::is_directory(In("read-only")));
    }
    EXPECT_FALSE(Exists(In("new")));
}

}  // namespace
