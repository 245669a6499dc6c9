// Every operation that deletes, renames, copies or clears, against each way
// a path can stand in its way. A row's result must say what the disk
// shows: only what is really not there counts as done; what could not be
// looked at never does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "filelib/enum/file_finder.h"
#include "filelib/fileops/file_copy.h"
#include "filelib/fileops/file_ops.h"
#include "filelib/tree/folder_emptying.h"
#include "filelib/tree/tree_ops.h"
#include "support/file_system.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/tree_checks.h"

namespace {

namespace fs = std::filesystem;
using testsupport::EntriesBelow;
using testsupport::TempDir;
using Entries = std::vector<std::string>;

enum class Case {
    Missing,           // nothing of that name
    PastSystemLimit,   // deeper than the system takes in one path
    UnreadableFolder,  // a folder that may not be read
    ReadOnlyFile,
    ReadOnlyFolder,    // a folder whose entries may not be changed
    PastFixedWidths,   // a name too long for the tables and the finder's records
    LinkForFolder,     // a link where a folder is expected
    FileForFolder,     // a file where a folder is expected
};

const char* const kCaseNames[] = {"missing path",     "path past the system's limit", "unreadable folder",
                                  "read-only file",   "read-only folder",             "name past the fixed widths",
                                  "link for a folder", "file for a folder"};

// What a row's operation is given, all below the test's folder.
struct Scene {
    std::string file;    // where a file is expected
    std::string folder;  // where a folder is expected, for the one-folder operations
    std::string tree;    // where a tree's root is expected
    std::string copy;    // a file copy's destination
    std::string out;     // a tree copy's destination
    std::string moved;   // a rename's new name
    std::string deep;    // an entry below the system's limit, checked by itself ("" for none)
    bool rightsBind = false;
};

std::string Join(const std::string& folder, const std::string& name) { return folder + testsupport::Sep() + name; }

// Builds the case below dir/t; "" when made, else why the case cannot be.
std::string Build(Case c, const TempDir& dir, Scene& s) {
    const std::string t = dir / "t";
    s.copy = dir / "copy";
    s.out = dir / "out";
    s.moved = dir / "moved";
    s.folder = s.tree = t;
    switch (c) {
        case Case::Missing:
            dir.WriteText("t/keep.txt", "k");
            s.file = Join(t, "missing.txt");
            s.folder = s.tree = Join(t, "missing");
            return "";
        case Case::PastSystemLimit: {
            if (!testsupport::IsPosix()) return "the test cannot make a path past the system's limit on Windows";
            dir.MakeDir("t");
            const std::string level(100, 'd');
            if (!testsupport::MakeNestedFolders(t, 45, level, 1)) return "the nested folders cannot be made";
            std::string deep = t;
            for (int i = 0; i < 45; ++i) deep = Join(deep, level);
            s.folder = s.tree = deep;
            s.file = s.deep = Join(deep, "f");
            return "";
        }
        case Case::UnreadableFolder:
            dir.WriteText("t/open/c.txt", "c");
            dir.WriteText("t/open/d.txt", "d");
            dir.WriteText("t/locked/a.txt", "a");
            dir.WriteText("t/locked/sub/b.txt", "b");
            fs::permissions(dir / "t/locked", fs::perms::none);
            s.file = dir / "t/locked/a.txt";
            s.folder = dir / "t/locked";
            s.rightsBind = true;
            return "";
        case Case::ReadOnlyFile:
            dir.WriteText("t/ro.txt", "r");
            dir.WriteText("t/rw.txt", "w");
            testsupport::MakeReadOnly(dir / "t/ro.txt");
            s.file = dir / "t/ro.txt";
            return "";
        case Case::ReadOnlyFolder:
            dir.WriteText("t/ro/a.txt", "a");
            testsupport::MakeReadOnly(dir / "t/ro");
            s.file = dir / "t/ro/a.txt";
            s.folder = dir / "t/ro";
            s.rightsBind = true;
            return "";
        case Case::PastFixedWidths:
            if (!testsupport::IsPosix()) return "Windows paths end at 260 characters";
            dir.WriteText("t/" + std::string(240, 'n') + ".txt", "n");
            dir.WriteText("t/short.txt", "s");
            dir.WriteText("t/short2.txt", "s");
            s.file = Join(t, std::string(240, 'n') + ".txt");
            return "";
        case Case::LinkForFolder:
            dir.MakeDir("t");
            s.file = s.folder = s.tree = dir / "t/link";
            return testsupport::LinkToOutsideOrWhy(dir, "t/link");
        case Case::FileForFolder:
            dir.WriteText("t/plain", "p");
            s.file = dir / "t/plain/a.txt";
            s.folder = s.tree = dir / "t/plain";
            return "";
    }
    return "no such case";
}

// A writable copy of any length, as the finder and the folder operations
// want their texts.
struct Writable {
    explicit Writable(const std::string& text) : buffer(text.begin(), text.end()) { buffer.resize(text.size() + 8, 0); }
    char* text() { return buffer.data(); }
    std::vector<char> buffer;
};

enum class Op {
    RemoveFile,
    RenameFile,
    DeleteFilesByExtension,
    RemoveFolderTree,
    DeleteTreeByPattern,
    PruneFolderTree,
    DeleteFolderFiles,
    ClearTree,
    CopyTree,
    CopyTreeByPattern,
    CopyFileWithTimes,
    CopyFileChecked,
};

const char* const kOpNames[] = {"RemoveFile",       "RenameFile",        "DeleteFilesByExtension", "RemoveFolderTree",
                                "DeleteTreeByPattern", "PruneFolderTree", "DeleteFolderFiles",      "ClearTree",
                                "CopyTree",         "CopyTreeByPattern", "CopyFileWithTimes",      "CopyFileChecked"};

// Runs the operation; true is 1 and false 0.
int RunOp(Op op, const Scene& s) {
    const std::string allFiles = Join(s.tree, "*.*");
    Writable folder(s.folder), tree(s.tree), out(s.out);
    CFileFinder finder;
    switch (op) {
        case Op::RemoveFile: return RemoveFile(s.file.c_str()) ? 1 : 0;
        case Op::RenameFile: return RenameFile(s.file.c_str(), s.moved.c_str());
        case Op::DeleteFilesByExtension: return DeleteFilesByExtension(folder.text(), "*");
        case Op::RemoveFolderTree: return RemoveFolderTree(folder.text()) ? 1 : 0;
        // Without removing folders, whose removal would fail on its own.
        case Op::DeleteTreeByPattern: return DeleteTreeByPattern(allFiles.c_str(), false, false);
        case Op::PruneFolderTree: return PruneFolderTree(s.tree.c_str());
        case Op::DeleteFolderFiles: return DeleteFolderFiles(s.folder.c_str());
        case Op::ClearTree: return finder.ClearTree(tree.text(), true);
        case Op::CopyTree: return finder.CopyTree(tree.text(), out.text());
        case Op::CopyTreeByPattern: return CopyTreeByPattern(allFiles.c_str(), s.out.c_str());
        case Op::CopyFileWithTimes: return CopyFileWithTimes(s.file.c_str(), s.copy.c_str());
        case Op::CopyFileChecked: return CopyFileChecked(s.file.c_str(), s.copy.c_str(), true, true);
    }
    return -1;
}

struct Call {
    Op op;
    const Scene* scene;
};

int RunCall(void* context) {
    const Call& call = *static_cast<const Call*>(context);
    return RunOp(call.op, *call.scene);
}

struct Row {
    Op op;
    Case c;
    int result;
    Entries gone;   // below the test's folder, '/' between parts
    Entries added;
};

const Row kRows[] = {
    // ---- missing: only what is not there counts as gone; nothing to copy
    {Op::RemoveFile, Case::Missing, 1, {}, {}},
    {Op::RenameFile, Case::Missing, RENAME_NOTHING_TO_DO, {}, {}},
    {Op::DeleteFilesByExtension, Case::Missing, 1, {}, {}},
    {Op::RemoveFolderTree, Case::Missing, 1, {}, {}},
    {Op::DeleteTreeByPattern, Case::Missing, 0, {}, {}},
    {Op::PruneFolderTree, Case::Missing, 0, {}, {}},
    {Op::DeleteFolderFiles, Case::Missing, 0, {}, {}},
    {Op::ClearTree, Case::Missing, 0, {}, {}},
    {Op::CopyTree, Case::Missing, 1, {}, {}},
    {Op::CopyTreeByPattern, Case::Missing, 0, {}, {}},
    {Op::CopyFileWithTimes, Case::Missing, 2, {}, {}},
    {Op::CopyFileChecked, Case::Missing, 2, {}, {}},
    // ---- past the system's limit: never looked at, never done
    {Op::RemoveFile, Case::PastSystemLimit, 0, {}, {}},
    {Op::RenameFile, Case::PastSystemLimit, RENAME_FAILED, {}, {}},
    {Op::DeleteFilesByExtension, Case::PastSystemLimit, 1, {}, {}},
    {Op::RemoveFolderTree, Case::PastSystemLimit, 0, {}, {}},
    {Op::DeleteTreeByPattern, Case::PastSystemLimit, 1, {}, {}},
    {Op::PruneFolderTree, Case::PastSystemLimit, 1, {}, {}},
    {Op::DeleteFolderFiles, Case::PastSystemLimit, 1, {}, {}},
    {Op::ClearTree, Case::PastSystemLimit, 1, {}, {}},
    {Op::CopyTree, Case::PastSystemLimit, 1, {}, {}},
    {Op::CopyTreeByPattern, Case::PastSystemLimit, 1, {}, {}},
    {Op::CopyFileWithTimes, Case::PastSystemLimit, 1, {}, {}},
    {Op::CopyFileChecked, Case::PastSystemLimit, 1, {}, {}},
    // ---- an unreadable folder: what it holds is not known to be gone
    {Op::RemoveFile, Case::UnreadableFolder, 0, {}, {}},
    {Op::RenameFile, Case::UnreadableFolder, RENAME_FAILED, {}, {}},
    {Op::DeleteFilesByExtension, Case::UnreadableFolder, 1, {}, {}},
    {Op::RemoveFolderTree, Case::UnreadableFolder, 0, {}, {}},
    {Op::DeleteTreeByPattern, Case::UnreadableFolder, 1, {"t/open/c.txt", "t/open/d.txt"}, {}},
    {Op::PruneFolderTree, Case::UnreadableFolder, 1, {}, {}},
    {Op::DeleteFolderFiles, Case::UnreadableFolder, 1, {}, {}},
    {Op::ClearTree, Case::UnreadableFolder, 1, {"t/open", "t/open/c.txt", "t/open/d.txt"}, {}},
    {Op::CopyTree, Case::UnreadableFolder, 2, {}, {"out", "out/open", "out/open/c.txt", "out/open/d.txt"}},
    {Op::CopyTreeByPattern, Case::UnreadableFolder, 1, {}, {"out", "out/open", "out/open/c.txt", "out/open/d.txt"}},
    {Op::CopyFileWithTimes, Case::UnreadableFolder, 1, {}, {}},
    {Op::CopyFileChecked, Case::UnreadableFolder, 1, {}, {}},
    // ---- a read-only file: deleted where the operation deletes read-only
    // files, kept (and the result says so) where it keeps them
    {Op::RemoveFile, Case::ReadOnlyFile, 1, {"t/ro.txt"}, {}},
    {Op::RenameFile, Case::ReadOnlyFile, RENAME_DONE, {"t/ro.txt"}, {"moved"}},
    {Op::DeleteFilesByExtension, Case::ReadOnlyFile, 0, {"t/ro.txt", "t/rw.txt"}, {}},
    {Op::RemoveFolderTree, Case::ReadOnlyFile, 0, {}, {}},
    {Op::DeleteTreeByPattern, Case::ReadOnlyFile, 1, {"t/rw.txt"}, {}},
    {Op::PruneFolderTree, Case::ReadOnlyFile, 1, {}, {}},
    {Op::DeleteFolderFiles, Case::ReadOnlyFile, 0, {"t/rw.txt"}, {}},
    {Op::ClearTree, Case::ReadOnlyFile, 2, {"t", "t/ro.txt", "t/rw.txt"}, {}},
    {Op::CopyTree, Case::ReadOnlyFile, 0, {}, {"out", "out/ro.txt", "out/rw.txt"}},
    {Op::CopyTreeByPattern, Case::ReadOnlyFile, 0, {}, {"out", "out/ro.txt", "out/rw.txt"}},
    {Op::CopyFileWithTimes, Case::ReadOnlyFile, 0, {}, {"copy"}},
    {Op::CopyFileChecked, Case::ReadOnlyFile, 0, {}, {"copy"}},
    // ---- a read-only folder: its entries stay, and no deletion says done;
    // it is read as any folder
    {Op::RemoveFile, Case::ReadOnlyFolder, 0, {}, {}},
    {Op::RenameFile, Case::ReadOnlyFolder, RENAME_FAILED, {}, {}},
    {Op::DeleteFilesByExtension, Case::ReadOnlyFolder, 1, {}, {}},
    {Op::RemoveFolderTree, Case::ReadOnlyFolder, 0, {}, {}},
    {Op::DeleteTreeByPattern, Case::ReadOnlyFolder, 1, {}, {}},
    {Op::PruneFolderTree, Case::ReadOnlyFolder, 1, {}, {}},
    {Op::DeleteFolderFiles, Case::ReadOnlyFolder, 0, {}, {}},  // a locked file stays, and the result is 0
    {Op::ClearTree, Case::ReadOnlyFolder, 1, {}, {}},
    {Op::CopyTree, Case::ReadOnlyFolder, 0, {}, {"out", "out/ro", "out/ro/a.txt"}},
    {Op::CopyTreeByPattern, Case::ReadOnlyFolder, 0, {}, {"out", "out/ro", "out/ro/a.txt"}},
    {Op::CopyFileWithTimes, Case::ReadOnlyFolder, 0, {}, {"copy"}},
    {Op::CopyFileChecked, Case::ReadOnlyFolder, 0, {}, {"copy"}},
    // ---- a name past the fixed widths: worked on where the operation
    // takes it, else left, and the result says so
    {Op::RemoveFile, Case::PastFixedWidths, 1, {"t/" + std::string(240, 'n') + ".txt"}, {}},
    {Op::RenameFile, Case::PastFixedWidths, RENAME_DONE, {"t/" + std::string(240, 'n') + ".txt"}, {"moved"}},
    {Op::DeleteFilesByExtension, Case::PastFixedWidths, 0,
     {"t/" + std::string(240, 'n') + ".txt", "t/short.txt", "t/short2.txt"}, {}},
    {Op::RemoveFolderTree, Case::PastFixedWidths, 0, {}, {}},
    {Op::DeleteTreeByPattern, Case::PastFixedWidths, 1, {"t/short.txt", "t/short2.txt"}, {}},
    {Op::PruneFolderTree, Case::PastFixedWidths, 1, {}, {}},
    {Op::DeleteFolderFiles, Case::PastFixedWidths, 1, {"t/short.txt", "t/short2.txt"}, {}},
    {Op::ClearTree, Case::PastFixedWidths, 1, {"t/short.txt", "t/short2.txt"}, {}},
    {Op::CopyTree, Case::PastFixedWidths, 2, {}, {"out", "out/short.txt", "out/short2.txt"}},
    {Op::CopyTreeByPattern, Case::PastFixedWidths, 1, {}, {"out", "out/short.txt", "out/short2.txt"}},
    {Op::CopyFileWithTimes, Case::PastFixedWidths, 0, {}, {"copy"}},
    {Op::CopyFileChecked, Case::PastFixedWidths, 0, {}, {"copy"}},
    // ---- a link where a folder is expected: no folder (the results of one
    // that is not there), and what it leads to is never touched; a file
    // operation works on the link itself
    {Op::RemoveFile, Case::LinkForFolder, 1, {"t/link"}, {}},
    {Op::RenameFile, Case::LinkForFolder, RENAME_DONE, {"t/link"}, {"moved"}},
    {Op::DeleteFilesByExtension, Case::LinkForFolder, 1, {}, {}},
    {Op::RemoveFolderTree, Case::LinkForFolder, 1, {}, {}},
    {Op::DeleteTreeByPattern, Case::LinkForFolder, 0, {}, {}},
    {Op::PruneFolderTree, Case::LinkForFolder, 0, {}, {}},
    {Op::DeleteFolderFiles, Case::LinkForFolder, 0, {}, {}},
    {Op::ClearTree, Case::LinkForFolder, 0, {}, {}},
    {Op::CopyTree, Case::LinkForFolder, 1, {}, {}},
    {Op::CopyTreeByPattern, Case::LinkForFolder, 0, {}, {}},
    {Op::CopyFileWithTimes, Case::LinkForFolder, 1, {}, {}},
    {Op::CopyFileChecked, Case::LinkForFolder, 1, {}, {}},
    // ---- a file where a folder is expected: no folder, nothing below it
    {Op::RemoveFile, Case::FileForFolder, 1, {}, {}},
    {Op::RenameFile, Case::FileForFolder, RENAME_NOTHING_TO_DO, {}, {}},
    {Op::DeleteFilesByExtension, Case::FileForFolder, 1, {}, {}},
    {Op::RemoveFolderTree, Case::FileForFolder, 1, {}, {}},
    {Op::DeleteTreeByPattern, Case::FileForFolder, 0, {}, {}},
    {Op::PruneFolderTree, Case::FileForFolder, 0, {}, {}},
    {Op::DeleteFolderFiles, Case::FileForFolder, 0, {}, {}},
    {Op::ClearTree, Case::FileForFolder, 0, {}, {}},
    {Op::CopyTree, Case::FileForFolder, 1, {}, {}},
    {Op::CopyTreeByPattern, Case::FileForFolder, 0, {}, {}},
    {Op::CopyFileWithTimes, Case::FileForFolder, 2, {}, {}},
    {Op::CopyFileChecked, Case::FileForFolder, 2, {}, {}},
};

// Everything below the test's folder, an unreadable folder's entries too.
Entries Snapshot(const TempDir& dir, Case c) {
    if (c != Case::UnreadableFolder) return EntriesBelow(dir.path());
    fs::permissions(dir / "t/locked", fs::perms::owner_all);
    Entries entries = EntriesBelow(dir.path());
    fs::permissions(dir / "t/locked", fs::perms::none);
    return entries;
}

Entries Expected(Entries before, const Row& row) {
    for (const std::string& gone : row.gone)
        before.erase(std::remove(before.begin(), before.end(), gone), before.end());
    before.insert(before.end(), row.added.begin(), row.added.end());
    std::sort(before.begin(), before.end());
    return before;
}

TEST(FailurePaths, EveryResultSaysWhatTheDiskShows) {
    int ran = 0;
    for (const Row& row : kRows) {
        const std::string name = std::string(kOpNames[int(row.op)]) + ", " + kCaseNames[int(row.c)];
        SCOPED_TRACE(name);
        TempDir dir;
        testsupport::GuardFile guard(dir);
        Scene scene;
        const std::string why = Build(row.c, dir, scene);
        if (!why.empty()) {
            std::printf("skipped %s: %s\n", name.c_str(), why.c_str());
            continue;
        }
        const Entries before = Snapshot(dir, row.c);
        int result = -1;
        Call call{row.op, &scene};
        if (scene.rightsBind) {
            std::string cannot;
            result = testsupport::RunWhereRightsBind(dir.path(), RunCall, &call, cannot);
            if (result < 0) {
                std::printf("skipped %s: %s\n", name.c_str(), cannot.c_str());
                continue;
            }
        } else {
            result = RunOp(row.op, scene);
        }
        ++ran;
        EXPECT_EQ(row.result, result);
        EXPECT_EQ(Expected(before, row), Snapshot(dir, row.c));
        if (!scene.deep.empty()) {
            EXPECT_TRUE(testsupport::EntryExists(scene.deep));
        }
        EXPECT_TRUE(guard.Intact());
    }
    EXPECT_GT(ran, 0);
}

}  // namespace
