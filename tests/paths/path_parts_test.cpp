#include "filelib/paths/path_parts.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <string>

#include "filelib/paths/filelib_context.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

TEST(PathParts, SplitPathTable) {
    struct Case {
        const char* path;
        const char* dir;
        const char* title;
        const char* ext;
    } cases[] = {
        {"C:\\data\\report.txt", "C:\\data", "report", "txt"},
        {"C:\\report", "C:", "report", ""},
        {"C:\\", "C:", "", ""},
        {"C:\\data\\", "C:\\data", "", ""},
        {"report.tar.gz", "", "report.tar", "gz"},
        {"C:\\data\\.profile", "C:\\data", "", "profile"},
        {"lib.d\\readme", "lib.d", "readme", ""},
        {"C:file.txt", "", "C:file", "txt"},
        {"/usr/x.y", "/usr", "x", "y"},
        {"name.", "", "name", ""},
        {"", "", "", ""},
        {"a/b\\c.d/e", "a/b\\c.d", "e", ""},
        {"archive.2005.zip", "", "archive.2005", "zip"},
    };
    for (const Case& c : cases) {
        char dir[SPLIT_PART_SIZE], title[SPLIT_PART_SIZE], ext[SPLIT_PART_SIZE];
        EXPECT_EQ(0, SplitPath(c.path, dir, title, ext));
        EXPECT_STREQ(c.dir, dir) << c.path;
        EXPECT_STREQ(c.title, title) << c.path;
        EXPECT_STREQ(c.ext, ext) << c.path;
        EXPECT_STREQ(c.dir, GetPathDir(c.path)) << c.path;
        EXPECT_STREQ(c.title, GetPathTitle(c.path)) << c.path;
        EXPECT_STREQ(c.ext, GetPathExt(c.path)) << c.path;
    }
}

TEST(PathParts, NoExtJoinsWithThePlatformSeparator) {
    // Only the separator before the name is the library's own; the others
    // stay as written.
    const std::string sep = testsupport::Sep();
    struct Case {
        std::string path;
        std::string expected;
    } cases[] = {
        {"C:/data/a.txt", "C:/data" + sep + "a"},
        {"a.txt", "a"},
        {"C:\\data\\", "C:\\data" + sep},
        {"x/y.z.w", "x" + sep + "y.z"},
        {"/usr/x.y", "/usr" + sep + "x"},
        {"", ""},
        // A name at the root keeps its separator: "x" alone is another file.
        {"/x.y", sep + "x"},
        {"\\x", sep + "x"},
        {"C:file.txt", "C:file"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, GetPathNoExt(c.path.c_str())) << c.path;
}

TEST(PathParts, NoExtOfPartsTooLongIsEmptyNeverAnotherPath) {
    const std::string sep = testsupport::Sep();
    const std::string fits(SPLIT_PART_SIZE - 3, 'd');  // folder, separator and "t" just fit
    struct Case {
        std::string path;
        std::string expected;
    } cases[] = {
        {std::string(700, 'd') + "/file.txt", ""},
        {"dir/" + std::string(700, 't') + ".txt", ""},
        {"dir/" + std::string(700, 't'), ""},
        {std::string(400, 'd') + "\\" + std::string(400, 't'), ""},
        {fits + "/t.txt", fits + sep + "t"},
        {fits + "/tt.txt", ""},
        {std::string(SPLIT_PART_SIZE, 'n') + ".e", ""},
        {std::string(SPLIT_PART_SIZE - 1, 'n') + ".e", std::string(SPLIT_PART_SIZE - 1, 'n')},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, GetPathNoExt(c.path.c_str())) << c.path.size();
}

TEST(PathParts, WrappersShareOneBufferPerOperation) {
    const char* first = GetPathTitle("C:\\a\\one.txt");
    const char* second = GetPathTitle("C:\\a\\two.txt");
    EXPECT_EQ(first, second);
    EXPECT_STREQ("two", first);
    EXPECT_NE(static_cast<const void*>(GetPathDir("x")), static_cast<const void*>(GetPathExt("x")));
}

TEST(PathParts, OverlongPartsAreLeftEmptyNeverOverrun) {
    const std::string longDir(700, 'd');
    const std::string longName(700, 'n');
    struct Case {
        std::string path;
        const char* dir;
        const char* title;
        const char* ext;
    } cases[] = {
        {longDir + "\\t.e", "", "t", "e"},
        {"d\\" + longName + ".e", "d", "", "e"},
        {"d\\t." + longName, "d", "t", ""},
    };
    for (const Case& c : cases) {
        char dir[SPLIT_PART_SIZE], title[SPLIT_PART_SIZE], ext[SPLIT_PART_SIZE];
        SplitPath(c.path.c_str(), dir, title, ext);
        EXPECT_STREQ(c.dir, dir);
        EXPECT_STREQ(c.title, title);
        EXPECT_STREQ(c.ext, ext);
    }
    EXPECT_STREQ("", GetPathNoExt((std::string(400, 'd') + "\\" + std::string(400, 't')).c_str()));
}

TEST(PathParts, DriveLetter) {
    struct Case {
        const char* path;
        char letter;
    } cases[] = {{"d:\\x", 'D'}, {"C:", 'C'}, {"\\\\server\\share", 0}, {"data\\sub", 0}, {"", 0}, {"x", 0}, {"1:", '1'}};
    for (const Case& c : cases) EXPECT_EQ(c.letter, GetDriveLetter(c.path)) << c.path;
    EXPECT_EQ(0, GetDriveLetter(nullptr));
}

TEST(FileLibContext, StartUpRecordsFolderDriveAndTitle) {
    std::strcpy(g_FileLibContext.szKindDirs[3], "override");
    EXPECT_EQ(0, InitFileLibrary());
    EXPECT_STREQ("", g_FileLibContext.szKindDirs[3]);
    EXPECT_EQ(std::filesystem::current_path().string(), g_FileLibContext.szStartDir);
    EXPECT_STREQ("filelib_tests", g_FileLibContext.szProgTitle);
    if (testsupport::IsPosix()) {
        EXPECT_EQ(0, g_FileLibContext.nStartDrive);
    } else {
        const char letter = g_FileLibContext.szStartDir[0];
        EXPECT_EQ(std::toupper(static_cast<unsigned char>(letter)) - 'A' + 1, g_FileLibContext.nStartDrive);
    }
}

}  // namespace
