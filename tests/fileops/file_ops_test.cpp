#include "filelib/fileops/file_ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "filelib/paths/filelib_context.h"
#include "fileops/sandbox.h"
#include "support/file_system.h"
#include "support/process.h"

namespace {

using namespace fileops_test;
using testsupport::Sep;

// ------------------------------------------------------------ attributes

class AttributesTest : public Sandbox {};

TEST_F(AttributesTest, ReadOnlySetAndClearedOthersKept) {
    Write("a.txt", "x");
    ASSERT_TRUE(SetAttributes(At("a.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(IsReadOnly(At("a.txt")));
    ASSERT_TRUE(SetAttributes(At("a.txt").c_str(), 0));
    EXPECT_FALSE(IsReadOnly(At("a.txt")));
    EXPECT_FALSE(SetAttributes(At("missing.txt").c_str(), 0));
    EXPECT_FALSE(SetAttributes("", 0));
}

TEST_F(AttributesTest, HiddenKeptWhereTheSystemSetsIt) {
    if (testsupport::IsPosix()) {
        Write(".profile", "x");
        EXPECT_TRUE(GetAttributes(At(".profile").c_str()) & FILE_ATTRIBUTE_HIDDEN);
        return;
    }
    Write("h.txt", "x");
    ASSERT_TRUE(SetAttributes(At("h.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    const DWORD attributes = GetAttributes(At("h.txt").c_str());
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_ARCHIVE);
}

TEST_F(AttributesTest, FileExistsOnlyForFiles) {
    Write("f.txt", "x");
    MakeDir("d");
    struct Case {
        std::string path;
        bool exists;
    } cases[] = {
        {At("f.txt"), true},
        {At("d"), false},
        {At("missing"), false},
        {At("d") + Sep(), false},
        {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.exists, FileExists(c.path.c_str())) << c.path;
}

// ------------------------------------------------------------ RemoveFile

class RemoveFileTest : public Sandbox {};

TEST_F(RemoveFileTest, DeletesWhateverTheAttributes) {
    struct Case {
        const char* name;
        DWORD attributes;
    } cases[] = {
        {"plain.txt", 0},
        {"readonly.txt", FILE_ATTRIBUTE_READONLY},
    };
    for (const Case& c : cases) {
        Write(c.name, "data");
        ASSERT_TRUE(SetAttributes(At(c.name).c_str(), c.attributes));
        EXPECT_TRUE(RemoveFile(At(c.name).c_str())) << c.name;
        EXPECT_FALSE(Exists(At(c.name))) << c.name;
    }
    EXPECT_TRUE(RemoveFile(At("never-there.txt").c_str()));
}

TEST_F(RemoveFileTest, NeverRemovesAFolder) {
    MakeDir("empty");
    EXPECT_TRUE(RemoveFile(At("empty").c_str()));  // no file of that name
    EXPECT_TRUE(fs::is_directory(At("empty")));
}

TEST_F(RemoveFileTest, FileThatStaysGetsItsAttributesBack) {
    Write("kept/locked.txt", "data");
    const std::string file = At("kept/locked.txt");
    ASSERT_TRUE(SetAttributes(file.c_str(), FILE_ATTRIBUTE_READONLY));
    {
        testsupport::UndeletableFile lock(file);
        if (!lock.Active()) GTEST_SKIP() << lock.Reason();
        EXPECT_FALSE(RemoveFile(file.c_str()));
        EXPECT_TRUE(Exists(file));
        EXPECT_TRUE(IsReadOnly(file));
    }
    EXPECT_EQ("data", ReadAll(file));
}

TEST_F(RemoveFileTest, LinkIsRemovedNotItsTarget) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "links need privileges on Windows";
    Write("target.txt", "data");
    fs::create_symlink(At("target.txt"), At("link"));
    EXPECT_TRUE(RemoveFile(At("link").c_str()));
    EXPECT_FALSE(Exists(At("link")));
    EXPECT_EQ("data", ReadAll(At("target.txt")));
}

// ------------------------------------------------------------ RenameFile

class RenameFileTest : public Sandbox {};

TEST_F(RenameFileTest, Results) {
    struct Case {
        const char* what;
        const char* oldName;      // created with "old" unless null
        DWORD oldAttributes;
        const char* targetName;   // created with "target" unless null
        DWORD targetAttributes;
        const char* newName;
        int result;
        bool moved;               // old gone, new holds "old"
    } cases[] = {
        {"plain", "a1", 0, nullptr, 0, "b1", RENAME_DONE, true},
        {"over a file", "a2", 0, "b2", 0, "b2", RENAME_DONE, true},
        {"over a read-only file", "a3", 0, "b3", FILE_ATTRIBUTE_READONLY, "b3", RENAME_DONE, true},
        {"read-only itself", "a4", FILE_ATTRIBUTE_READONLY, nullptr, 0, "b4", RENAME_DONE, true},
        {"into another folder", "a5", 0, nullptr, 0, "sub/b5", RENAME_DONE, true},
        {"old missing", nullptr, 0, "b6", 0, "b6", RENAME_NOTHING_TO_DO, false},
        {"new name empty", "a7", 0, nullptr, 0, "", RENAME_NOTHING_TO_DO, false},
        {"target folder missing", "a8", FILE_ATTRIBUTE_READONLY, nullptr, 0, "nowhere/b8", RENAME_FAILED, false},
        {"target is a folder", "a9", 0, nullptr, 0, "folder", RENAME_FAILED, false},
    };
    MakeDir("sub");
    MakeDir("folder");
    for (const Case& c : cases) {
        const std::string oldPath = c.oldName ? At(c.oldName) : At("no-such-file");
        const std::string newPath = c.newName[0] ? At(c.newName) : std::string();
        if (c.oldName) {
            Write(c.oldName, "old");
            SetWriteTime(oldPath, 1500000000);
            ASSERT_TRUE(SetAttributes(oldPath.c_str(), c.oldAttributes));
        }
        if (c.targetName) {
            Write(c.targetName, "target");
            ASSERT_TRUE(SetAttributes(At(c.targetName).c_str(), c.targetAttributes));
        }
        EXPECT_EQ(c.result, RenameFile(oldPath.c_str(), newPath.c_str())) << c.what;
        if (c.moved) {
            EXPECT_FALSE(Exists(oldPath)) << c.what;
            EXPECT_EQ("old", ReadAll(newPath)) << c.what;
            // The file keeps its own attributes and times, not the target's.
            EXPECT_EQ(c.oldAttributes == FILE_ATTRIBUTE_READONLY, IsReadOnly(newPath)) << c.what;
            EXPECT_EQ(1500000000, WriteTimeOf(newPath)) << c.what;
        } else {
            if (c.oldName) {
                EXPECT_EQ("old", ReadAll(oldPath)) << c.what;
                EXPECT_EQ(c.oldAttributes == FILE_ATTRIBUTE_READONLY, IsReadOnly(oldPath)) << c.what;
            }
            if (c.targetName) { EXPECT_EQ("target", ReadAll(At(c.targetName))) << c.what; }
        }
    }
    EXPECT_TRUE(fs::is_directory(At("folder")));
    EXPECT_TRUE(fs::is_empty(At("folder")));
}

TEST_F(RenameFileTest, OntoAnotherSpellingOfItselfKeepsTheFile) {
    Write("self.txt", "mine");
    const std::string spelled = Work() + Sep() + "." + Sep() + "self.txt";
    EXPECT_EQ(RENAME_DONE, RenameFile(At("self.txt").c_str(), spelled.c_str()));
    EXPECT_EQ("mine", ReadAll(At("self.txt")));
}

TEST_F(RenameFileTest, ReadOnlyTargetKeepsItsAttributeWhenTheRenameFails) {
    // A pattern finds the old file, but no file has that name: the rename
    // fails after the target lost its read-only attribute for it.
    Write("target.txt", "target");
    ASSERT_TRUE(SetAttributes(At("target.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    Write("src.txt", "old");
    EXPECT_EQ(RENAME_FAILED, RenameFile(At("src.tx?").c_str(), At("target.txt").c_str()));
    EXPECT_TRUE(IsReadOnly(At("target.txt")));
    EXPECT_EQ("target", ReadAll(At("target.txt")));
    EXPECT_EQ("old", ReadAll(At("src.txt")));
}

// Writes a file by its name from inside its folder, so that no path
// length limits the test's own tools.
void WriteInFolder(const std::string& folder, const std::string& name, const std::string& text) {
    const fs::path saved = fs::current_path();
    fs::current_path(folder);
    { std::ofstream(name, std::ios::binary) << text; }
    fs::current_path(saved);
}

std::string ReadInFolder(const std::string& folder, const std::string& name) {
    const fs::path saved = fs::current_path();
    fs::current_path(folder);
    const std::string text = Exists(name) ? ReadAll(name) : std::string("<none>");
    fs::current_path(saved);
    return text;
}

// Names of 256 to 599 characters: worked on from inside their folders on
// Windows, given to the system unchanged on POSIX; the results are the same.
TEST_F(RenameFileTest, LongNames) {
    const std::string folderA = Work() + Sep() + std::string(190, 'a');
    const std::string folderB = Work() + Sep() + std::string(190, 'b');
    PathText a(folderA), b(folderB);
    ASSERT_TRUE(CreateFolderPath(a.text));
    ASSERT_TRUE(CreateFolderPath(b.text));
    const std::string work = Work();
    const std::string name = std::string(70, 'n') + ".txt";
    struct Case {
        const char* what;
        std::string fromFolder, fromName, toFolder, toName;
        bool mayFail;  // two long names in two folders: Windows cannot spell both at once
    } cases[] = {
        {"old long", folderA, "1" + name, work, "short1.txt", false},
        {"new long", work, "short2.txt", folderA, "2" + name, false},
        {"both long, one folder", folderA, "3" + name, folderA, "4" + name, false},
        {"both long, two folders", folderA, "5" + name, folderB, "6" + name, true},
    };
    const fs::path before = fs::current_path();
    const std::string root = fs::path(work).root_path().string();
    for (const Case& c : cases) {
        const std::string from = c.fromFolder + Sep() + c.fromName;
        const std::string to = c.toFolder + Sep() + c.toName;
        ASSERT_GT(std::max(from.size(), to.size()), 255u) << c.what;
        WriteInFolder(c.fromFolder, c.fromName, "long");
        const int result = RenameFile(from.c_str(), to.c_str());
        EXPECT_EQ(before, fs::current_path()) << c.what;
        EXPECT_FALSE(Exists(root + c.fromName)) << c.what << ": a file was left in the root";
        if (result == RENAME_FAILED && c.mayFail) {
            EXPECT_EQ("long", ReadInFolder(c.fromFolder, c.fromName)) << c.what;
            EXPECT_EQ("<none>", ReadInFolder(c.toFolder, c.toName)) << c.what;
            continue;
        }
        EXPECT_EQ(RENAME_DONE, result) << c.what;
        EXPECT_EQ("<none>", ReadInFolder(c.fromFolder, c.fromName)) << c.what;
        EXPECT_EQ("long", ReadInFolder(c.toFolder, c.toName)) << c.what;
    }
}

// ------------------------------------------------- DeleteFilesByExtension

class DeleteFilesByExtensionTest : public Sandbox {};

TEST_F(DeleteFilesByExtensionTest, OnlyThisFoldersMatchingFiles) {
    struct Case {
        const char* pattern;
        std::vector<std::string> gone, kept;
        bool wineDiffers;
    } cases[] = {
        {"tmp", {"a.tmp", "ro.tmp"}, {"c.txt", "noext", "sub/d.tmp", "e.tmp/f.txt"}, false},
        {"", {"noext"}, {"c.txt", "sub/d.tmp", "e.tmp/f.txt"}, true},  // Wine's "*." matches every name
        {"*", {"a.tmp", "ro.tmp", "c.txt", "noext"}, {"sub/d.tmp", "e.tmp/f.txt"}, false},
    };
    for (const Case& c : cases) {
        if (c.wineDiffers && testsupport::RunningUnderWine()) continue;
        for (const char* name : {"a.tmp", "ro.tmp", "c.txt", "noext", "sub/d.tmp", "e.tmp/f.txt"}) Write(name, "x");
        ASSERT_TRUE(SetAttributes(At("ro.tmp").c_str(), FILE_ATTRIBUTE_READONLY));
        PathText folder(Work());
        EXPECT_EQ(0, DeleteFilesByExtension(folder.text, c.pattern)) << c.pattern;
        for (const std::string& name : c.gone) EXPECT_FALSE(Exists(At(name))) << c.pattern << ": " << name;
        for (const std::string& name : c.kept) EXPECT_TRUE(Exists(At(name))) << c.pattern << ": " << name;
        EXPECT_TRUE(fs::is_directory(At("e.tmp"))) << c.pattern;
        SetAttributes(At("ro.tmp").c_str(), 0);
    }
}

TEST_F(DeleteFilesByExtensionTest, RefusedFoldersAndPatterns) {
    Write("keep.tmp", "x");
    Write("sub/inner.tmp", "x");
    struct Case {
        std::string folder;
        const char* pattern;
    } cases[] = {
        {At("missing"), "tmp"},
        {At("keep.tmp"), "tmp"},  // a file, not a folder
        {At("sub"), "../*"},      // a pattern that reaches into another folder
        {std::string(5000, 'x'), "tmp"},
    };
    for (const Case& c : cases) {
        PathText folder(c.folder);
        EXPECT_EQ(1, DeleteFilesByExtension(folder.text, c.pattern)) << c.folder.substr(0, 80) << " " << c.pattern;
    }
    EXPECT_TRUE(Exists(At("keep.tmp")));
    EXPECT_TRUE(Exists(At("sub/inner.tmp")));
}

TEST_F(DeleteFilesByExtensionTest, EmptyFolderTextDeletesNothing) {
    Write("here.tmp", "x");
    const fs::path saved = fs::current_path();
    fs::current_path(Work());  // whatever happens, only this folder is at stake
    char empty[4] = "";
    EXPECT_EQ(1, DeleteFilesByExtension(empty, "tmp"));
    fs::current_path(saved);
    EXPECT_TRUE(Exists(At("here.tmp")));
}

// ------------------------------------------------------- folder chains

class FolderPathTest : public Sandbox {};

TEST_F(FolderPathTest, CreatesMissingParents) {
    Write("file", "x");
    struct Case {
        std::string path;
        bool created;
    } cases[] = {
        {At("a/b/c"), true},
        {At("a/b/c"), true},  // exists already
        {At("t/u/") , true},  // separator at the end
        {At("file/sub"), false},  // a file in the way
        {At("file"), false},
        {At(std::string(300, 'n')), false},  // no system takes a name this long
        {std::string(5000, 'x'), false},
    };
    for (const Case& c : cases) {
        PathText text(c.path);
        EXPECT_EQ(c.created, CreateFolderPath(text.text)) << c.path.substr(0, 80);
        EXPECT_EQ(c.created ? 0 : 1, MakeFolderPath(c.path.c_str())) << c.path.substr(0, 80);
    }
    EXPECT_TRUE(fs::is_directory(At("a/b/c")));
    EXPECT_TRUE(fs::is_directory(At("t/u")));
    EXPECT_EQ("x", ReadAll(At("file")));
}

TEST_F(FolderPathTest, MakeFolderPathLeavesItsArgument) {
    const std::string path = At("m/n/o");
    char text[600];
    std::snprintf(text, sizeof text, "%s", path.c_str());
    EXPECT_EQ(0, MakeFolderPath(text));
    EXPECT_EQ(path, std::string(text));
    EXPECT_TRUE(fs::is_directory(path));
}

TEST_F(FolderPathTest, LongChainIsCreated) {
    // More than 255 characters: folder by folder from inside the parent on Windows.
    std::string path = Work();
    // Five levels below the test's folder; the last parent stays short
    // enough to be made current on Windows.
    while (path.size() < 256) path += Sep() + std::string(44, char('p' + path.size() % 7));
    ASSERT_GT(path.size(), 255u);
    PathText text(path);
    const fs::path before = fs::current_path();
    const bool created = CreateFolderPath(text.text);
    EXPECT_EQ(before, fs::current_path());
    if (!created && !testsupport::IsPosix())
        GTEST_SKIP() << "the folder above the last one is longer than Windows can make current";
    EXPECT_TRUE(created);
    EXPECT_TRUE(fs::is_directory(path));
}

TEST_F(FolderPathTest, RemoveFolderTreeKeepsFilesAndTheirFolders) {
    for (const char* folder : {"t/a/b/c", "t/a/side1", "t/side2/x/y", "t/keep/l2/l3"}) MakeDir(folder);
    Write("t/keep/l2/l3/file.txt", "x");
    PathText tree(At("t"));
    EXPECT_FALSE(RemoveFolderTree(tree.text));
    EXPECT_TRUE(Exists(At("t/keep/l2/l3/file.txt")));
    for (const char* gone : {"t/a", "t/side2"}) EXPECT_FALSE(Exists(At(gone))) << gone;

    RemoveFile(At("t/keep/l2/l3/file.txt").c_str());
    EXPECT_TRUE(RemoveFolderTree(tree.text));
    EXPECT_FALSE(Exists(At("t")));
}

TEST_F(FolderPathTest, RemoveFolderTreeResults) {
    Write("plain.txt", "x");
    MakeDir("ro/inner");
    ASSERT_TRUE(SetAttributes(At("ro").c_str(), FILE_ATTRIBUTE_READONLY));
    struct Case {
        std::string path;
        bool result;
        bool goneAfter;
    } cases[] = {
        {At("plain.txt"), true, false},  // never a folder: nothing done
        {At("missing"), true, true},
        {At("ro"), true, true},  // a read-only folder goes too
        {std::string(5000, 'x'), false, true},
    };
    for (const Case& c : cases) {
        PathText text(c.path);
        EXPECT_EQ(c.result, RemoveFolderTree(text.text)) << c.path.substr(0, 80);
        if (c.path.size() < 1000) { EXPECT_EQ(!c.goneAfter, Exists(c.path)) << c.path; }
    }
    EXPECT_EQ("x", ReadAll(At("plain.txt")));
}

TEST_F(FolderPathTest, RemoveFolderTreeDoesNotFollowLinks) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "links need privileges on Windows";
    MakeDir("outside/empty");
    MakeDir("tree/sub");
    const std::string why = testsupport::FolderLinkOrWhy(At("outside"), At("tree/link"));
    if (!why.empty()) GTEST_SKIP() << why;
    PathText tree(At("tree"));
    EXPECT_FALSE(RemoveFolderTree(tree.text));  // the link is no empty folder
    EXPECT_TRUE(fs::is_directory(At("outside/empty")));
    EXPECT_FALSE(Exists(At("tree/sub")));
}

// ---------------------------------------------------------- data kinds

class KindPathTest : public Sandbox {
protected:
    void SetUp() override {
        Sandbox::SetUp();
        saved_ = g_FileLibContext;
        std::snprintf(g_FileLibContext.szStartDir, sizeof g_FileLibContext.szStartDir, "%s", Work().c_str());
        std::memset(g_FileLibContext.szKindDirs, 0, sizeof g_FileLibContext.szKindDirs);
    }
    void TearDown() override {
        g_FileLibContext = saved_;
        Sandbox::TearDown();
    }
    FILELIB_CONTEXT saved_;
};

TEST_F(KindPathTest, DefaultFolders) {
    struct Case {
        unsigned kind;
        const char* folder;
    } cases[] = {
        {11201, "daten"}, {11202, "ini"}, {11203, "msk"}, {11204, "drf"},
        {11205, "exp"},   {11206, "tmp"}, {11200, ""},    {11207, ""},   {99, ""},
    };
    for (const Case& c : cases) EXPECT_STREQ(c.folder, GetKindFolder(c.kind)) << c.kind;
}

TEST_F(KindPathTest, PathsAndTheirFolders) {
    const std::string absolute = At("conf");
    std::snprintf(g_FileLibContext.szKindDirs[4], 300, "%s", absolute.c_str());  // 11205
    std::snprintf(g_FileLibContext.szKindDirs[2], 300, "%s", "masks");          // 11203, relative
    struct Case {
        unsigned kind;
        std::string path;
        std::string folder;  // created; empty: none
    } cases[] = {
        {11202, Work() + Sep() + "ini" + Sep() + "a.dat", At("ini")},
        {11205, absolute + Sep() + "a.dat", absolute},
        {11203, Work() + Sep() + "masks" + Sep() + "a.dat", At("masks")},
        {99, "a.dat", ""},
    };
    // The folder is made where the path points, not in the current folder.
    const fs::path saved = fs::current_path();
    fs::current_path(Temp().path());
    for (const Case& c : cases) {
        EXPECT_EQ(c.path, std::string(MakeKindPath("a.dat", c.kind))) << c.kind;
        if (!c.folder.empty()) { EXPECT_TRUE(fs::is_directory(c.folder)) << c.kind; }
    }
    EXPECT_FALSE(Exists(Temp() / "ini"));
    EXPECT_FALSE(Exists(Temp() / "masks"));
    fs::current_path(saved);
    EXPECT_STREQ("ini", GetKindFolder(11202));
    EXPECT_STREQ(absolute.c_str(), GetKindFolder(11205));
}

TEST_F(KindPathTest, TooLongIsEmptyNeverCut) {
    std::snprintf(g_FileLibContext.szKindDirs[0], 300, "%s", At(std::string(250, 'k')).c_str());
    const std::string name(900, 'n');
    EXPECT_STREQ("", MakeKindPath(name.c_str(), 11201));
}

}  // namespace
