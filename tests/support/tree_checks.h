// Set-ups and checks for tests of operations that delete, copy, prune or
// add up whole trees.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace testsupport {

// A file beside a test's tree, which no operation on the tree may touch.
class GuardFile {
public:
    explicit GuardFile(const TempDir& dir);
    // True while the file is there, a plain file, with its text unchanged.
    bool Intact() const;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Everything below `root`, as sorted relative paths with '/' between parts
// (links listed, never followed); `skip` is left out.
std::vector<std::string> EntriesBelow(const std::string& root, const std::string& skip = "guard.txt");

// A writable text, as the library's folder arguments want it.
using WritableText = FixedText<1200>;

// Makes `link` a link to the folder `target`, one the tree operations
// know as a link: "" when made, else why the test must skip.
std::string FolderLinkOrWhy(const std::string& target, const std::string& link);

// A folder "outside" beside a tree, holding "o1.<extension>" and
// "deeper/o2.<extension>", and a link to it at `link` inside the tree
// (both below dir): what a tree operation must never reach through the
// link. "" when made, else why the test must skip.
std::string LinkToOutsideOrWhy(const TempDir& dir, const std::string& link, const std::string& extension = "txt");

// Takes every write permission away, as a read-only attribute does.
void MakeReadOnly(const std::string& path);

constexpr uint64_t kGiB = uint64_t(1) << 30;

// The large files of the whole-length totals: 3 GiB at `three` and 2 GiB
// at `two` (paths below dir), sparse where the system allows. Returns the
// lengths of both as the file system reports them, which a whole total
// must reach (5 GiB; a 32-bit total wraps to 1 GiB).
uint64_t WriteLargeFilePair(const TempDir& dir, const std::string& three, const std::string& two);

// One file of a tree made from a table: its path below the tree's top,
// UTF-8 with '/' between names, and its length.
struct TreeFile {
    std::string path;
    uint64_t size;
};

// Trees that a walk over the 8-bit, 260-character search loses from: the
// deepest files more than 2,800 characters down (folders of 35-character
// names, ASCII and Cyrillic), and names in many scripts, emoji included,
// some of them alike in the ANSI code page ("??" for 日本 and for 中文).
std::vector<TreeFile> DeepTree();
std::vector<TreeFile> ScriptsTree();

// Both of them, each with a label for the test's trace.
struct LabelledTree {
    const char* label;
    std::vector<TreeFile> files;
};
std::vector<LabelledTree> LongAndForeignTrees();

// Makes the folder `root` and the files of `tree` below it (through WriteFileAt,
// so no length or name stops it) and returns the sum of their lengths:
// the total any walk must give on any system. UINT64_MAX when a file could
// not be made.
uint64_t WriteTree(const std::string& root, const std::vector<TreeFile>& tree);

}  // namespace testsupport
