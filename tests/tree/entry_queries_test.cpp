#include "filelib/tree/entry_queries.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

#include "filelib/enum/file_finder.h"
#include "filelib/platform/platform.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/tree_checks.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Sep;
using testsupport::LongPathFile;
using testsupport::MakeLongPathFile;
using testsupport::TempDir;

bool AllZero(const void* data, size_t size) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i)
        if (bytes[i] != 0) return false;
    return true;
}

// A file marked hidden the way the system marks it: by its leading dot on
// POSIX, by the attribute as well on Windows.
void MakeHidden(const std::string& path) {
    if (!testsupport::IsPosix()) plat::WriteAttributes(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
}

class EntryQueries : public ::testing::Test {
protected:
    void SetUp() override {
        temp.WriteText("a.txt", "hello");
        temp.WriteText("sub" + Sep() + "inner.dat", "123");
        temp.WriteText(".hidden", "hh");
        MakeHidden(temp / ".hidden");
        temp.WriteText("locked.txt", "readonly");
        testsupport::MakeReadOnly(temp / "locked.txt");
        temp.WriteFile("empty.bin", 0);
    }
    void TearDown() override {
        fs::permissions(temp / "locked.txt", fs::perms::owner_write, fs::perm_options::add);
    }
    TempDir temp;
};

TEST_F(EntryQueries, FileFolderAndSizeTable) {
    const std::string root = testsupport::IsPosix() ? "/" : fs::path(temp.path()).root_path().string();
    struct Case {
        std::string path;
        bool isFile;
        bool isFolder;
        uint64_t size;
    } cases[] = {
        {temp / "a.txt", true, false, 5},
        {temp / "empty.bin", true, false, 0},
        {temp / ".hidden", true, false, 2},
        {temp / "locked.txt", true, false, 8},
        {temp / "sub", false, true, 0},
        {temp / "sub" + Sep() + "inner.dat", true, false, 3},
        // A folder with a trailing separator and a root find nothing.
        {temp / "sub" + Sep(), false, false, 0},
        {root, false, false, 0},
        {temp / "missing", false, false, 0},
        {temp / "missing" + Sep() + "a.txt", false, false, 0},
        {"", false, false, 0},
        // Wildcards: the first match decides.
        {temp / "a.t?t", true, false, 5},
        {temp / "a.*", true, false, 5},
        {temp / "s?b", false, true, 0},
        {temp / "sub" + Sep() + "*.dat", true, false, 3},
        {temp / "*.nothing", false, false, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.isFile, IsFile(c.path.c_str())) << c.path;
        EXPECT_EQ(c.isFolder, IsFolder(c.path.c_str())) << c.path;
        EXPECT_EQ(c.size, QueryFileSize(c.path.c_str())) << c.path;
    }
    EXPECT_FALSE(IsFile(nullptr));
    EXPECT_FALSE(IsFolder(nullptr));
}

TEST_F(EntryQueries, DotEntriesAreNoFiles) {
    // Whether "sub/." names the folder itself or its entry "." is the
    // system's matter; a file it never is.
    for (const char* dot : {".", ".."}) {
        const std::string path = temp / "sub" + Sep() + dot;
        EXPECT_FALSE(IsFile(path.c_str())) << path;
    }
}

TEST_F(EntryQueries, SizesOf4GiBAndMoreAreWhole) {
    const uint64_t size = (uint64_t(5) << 30) + 7;  // sparse where the system allows
    temp.WriteFile("big.bin", size);
    EXPECT_EQ(size, QueryFileSize((temp / "big.bin").c_str()));
    FILESTAMP stamp;
    ASSERT_TRUE(QueryFileStamp((temp / "big.bin").c_str(), &stamp));
    EXPECT_EQ(uint32_t(size), stamp.dwSize) << "the stamp keeps the low 32 bits";
}

TEST_F(EntryQueries, WriteTimeDateAndStamp) {
    const std::string path = temp / "a.txt";
    // Ten years back, set through the standard library, so the expected
    // time does not come from the code under test.
    const auto tenYears = std::chrono::hours(24 * 3652);
    fs::last_write_time(path, fs::last_write_time(path) - tenYears);
    const time_t expected = std::time(nullptr) - time_t(24 * 3652) * 3600;
    const time_t written = QueryFileWriteTime(path.c_str());
    EXPECT_NEAR(double(expected), double(written), 120.0);

    DATETIMEREC date, fromTime;
    std::memset(&date, 0xAB, sizeof date);
    EXPECT_EQ(0, QueryFileWriteDate(path.c_str(), &date));
    TimeTToDateTimeRec(&fromTime, written);
    EXPECT_EQ(0, std::memcmp(&date, &fromTime, sizeof date));

    FILESTAMP stamp;
    std::memset(&stamp, 0xAB, sizeof stamp);
    ASSERT_TRUE(QueryFileStamp(path.c_str(), &stamp));
    EXPECT_STREQ("a.txt", stamp.szName);
    EXPECT_EQ(5u, stamp.dwSize);
    FILETIME local;
    TimeTToFileTime(&local, written);
    EXPECT_EQ(local.dwLowDateTime, stamp.ftWrite.dwLowDateTime);
    EXPECT_EQ(local.dwHighDateTime, stamp.ftWrite.dwHighDateTime);
    EXPECT_EQ(0, std::memcmp(&stamp.ftWrite, &stamp.ftWrite2, sizeof stamp.ftWrite));
    // Nothing but the name's own bytes and its terminator in the name field.
    EXPECT_TRUE(AllZero(stamp.szName + 6, sizeof stamp.szName - 6));
}

TEST_F(EntryQueries, MissingPathsGiveZeroAndClearedRecords) {
    const std::string missing = temp / "missing.txt";
    EXPECT_EQ(0, QueryFileWriteTime(missing.c_str()));
    DATETIMEREC date, epoch;
    EXPECT_EQ(0, QueryFileWriteDate(missing.c_str(), &date));
    TimeTToDateTimeRec(&epoch, 0);
    EXPECT_EQ(0, std::memcmp(&date, &epoch, sizeof date));

    FILESTAMP stamp;
    std::memset(&stamp, 0xAB, sizeof stamp);
    EXPECT_FALSE(QueryFileStamp(missing.c_str(), &stamp));
    EXPECT_TRUE(AllZero(&stamp, sizeof stamp));

    for (const std::string& path : {missing, temp / "sub"}) {
        WIN32_FIND_DATAA data;
        std::memset(&data, 0xAB, sizeof data);
        EXPECT_EQ(0, QueryFindData(path.c_str(), &data));
        EXPECT_TRUE(AllZero(&data, sizeof data)) << path;
    }
}

TEST_F(EntryQueries, FindDataOfFiles) {
    struct Case {
        const char* name;
        uint32_t size;
        bool readOnly;
    } cases[] = {{"a.txt", 5, false}, {".hidden", 2, false}, {"locked.txt", 8, true}};
    for (const Case& c : cases) {
        WIN32_FIND_DATAA data;
        std::memset(&data, 0xAB, sizeof data);
        EXPECT_EQ(0, QueryFindData((temp / c.name).c_str(), &data));
        EXPECT_STREQ(c.name, data.cFileName);
        EXPECT_EQ(c.size, data.nFileSizeLow);
        EXPECT_EQ(0u, data.nFileSizeHigh);
        EXPECT_EQ(0u, data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        EXPECT_EQ(c.readOnly, (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) << c.name;
        EXPECT_NE(0u, data.ftLastWriteTime.dwHighDateTime) << c.name;
    }
    WIN32_FIND_DATAA hidden;
    QueryFindData((temp / ".hidden").c_str(), &hidden);
    EXPECT_NE(0u, hidden.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN);
}

fs::file_time_type WriteTimeOf(const std::string& path) { return fs::last_write_time(path); }

// Moves a file's write time back by `hours`, to a whole second, so that
// every system's time stamps hold it exactly.
void MoveWriteTimeBack(const std::string& path, int hours) {
    const fs::file_time_type back = fs::last_write_time(path) - std::chrono::hours(hours);
    fs::last_write_time(path, std::chrono::floor<std::chrono::seconds>(back));
}

TEST_F(EntryQueries, ApplyFileTimesCarriesTimesOver) {
    const std::string source = temp / "a.txt";
    const std::string target = temp / "sub" + Sep() + "inner.dat";
    const std::string bystander = temp / "empty.bin";
    MoveWriteTimeBack(source, 24 * 400);
    const fs::file_time_type bystanderBefore = WriteTimeOf(bystander);

    WIN32_FIND_DATAA data;
    ASSERT_EQ(0, QueryFindData(source.c_str(), &data));
    EXPECT_EQ(0, ApplyFileTimes(target.c_str(), &data));
    EXPECT_EQ(WriteTimeOf(source), WriteTimeOf(target));
    WIN32_FIND_DATAA copied;
    QueryFindData(target.c_str(), &copied);
    EXPECT_EQ(0, std::memcmp(&data.ftLastWriteTime, &copied.ftLastWriteTime, sizeof(FILETIME)));
    EXPECT_EQ(0, std::memcmp(&data.ftLastAccessTime, &copied.ftLastAccessTime, sizeof(FILETIME)));
    EXPECT_EQ(bystanderBefore, WriteTimeOf(bystander));
}

TEST_F(EntryQueries, ApplyFileTimesLeavesWhatItCannotWrite) {
    const std::string source = temp / "a.txt";
    MoveWriteTimeBack(source, 24 * 400);
    WIN32_FIND_DATAA data;
    ASSERT_EQ(0, QueryFindData(source.c_str(), &data));

    // A read-only file cannot be opened for writing, on either system.
    const std::string locked = temp / "locked.txt";
    const fs::file_time_type lockedBefore = WriteTimeOf(locked);
    EXPECT_EQ(0, ApplyFileTimes(locked.c_str(), &data));
    EXPECT_EQ(lockedBefore, WriteTimeOf(locked));

    const std::string folder = temp / "sub";
    const fs::file_time_type folderBefore = WriteTimeOf(folder);
    EXPECT_EQ(0, ApplyFileTimes(folder.c_str(), &data));
    EXPECT_EQ(folderBefore, WriteTimeOf(folder));

    const std::string missing = temp / "missing.txt";
    EXPECT_EQ(0, ApplyFileTimes(missing.c_str(), &data));
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_EQ(0, ApplyFileTimes(nullptr, &data));
    EXPECT_EQ(0, ApplyFileTimes(source.c_str(), nullptr));
}

TEST_F(EntryQueries, ApplyFileTimesLeavesAFileHeldByAnotherProcess) {
    const std::string source = temp / "a.txt";
    MoveWriteTimeBack(source, 24 * 400);
    WIN32_FIND_DATAA data;
    ASSERT_EQ(0, QueryFindData(source.c_str(), &data));
    const std::string held = temp / "empty.bin";
    const fs::file_time_type before = WriteTimeOf(held);
    for (testsupport::LockKind kind : {testsupport::LockKind::FileLock, testsupport::LockKind::RecordLock}) {
        testsupport::FileHolder holder(held, kind);
        ASSERT_TRUE(holder.holding());
        EXPECT_EQ(0, ApplyFileTimes(held.c_str(), &data));
        EXPECT_EQ(before, WriteTimeOf(held));
    }
}

TEST(EntryQueriesLong, LongPathsAreFoundAndLeaveTheCurrentFolder) {
    TempDir temp;
    const LongPathFile made = MakeLongPathFile(temp, "long!");
    if (made.file.empty()) GTEST_SKIP() << "the system makes no paths this long here";
    const std::string &file = made.file, &folder = made.folder, &name = made.name;
    const fs::path before = fs::current_path();

    EXPECT_TRUE(IsFile(file.c_str()));
    EXPECT_TRUE(IsFolder(folder.c_str()));
    EXPECT_EQ(5u, QueryFileSize(file.c_str()));
    EXPECT_NE(0, QueryFileWriteTime(file.c_str()));
    FILESTAMP stamp;
    EXPECT_TRUE(QueryFileStamp(file.c_str(), &stamp));
    EXPECT_EQ(name, stamp.szName);
    WIN32_FIND_DATAA data;
    QueryFindData(file.c_str(), &data);
    EXPECT_EQ(name, data.cFileName);
    EXPECT_EQ(5u, data.nFileSizeLow);

    MoveWriteTimeBack(file, 48);
    WIN32_FIND_DATAA older;
    QueryFindData(file.c_str(), &older);
    temp.WriteText("short.txt", "s");
    EXPECT_EQ(0, ApplyFileTimes((temp / "short.txt").c_str(), &older));
    EXPECT_EQ(fs::last_write_time(file), fs::last_write_time(temp / "short.txt"));
    EXPECT_EQ(before, fs::current_path());
}

}  // namespace
