#include "support/tree_checks.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "filelib/fileops/file_ops.h"
#include "support/file_system.h"
#include "support/process.h"

namespace fs = std::filesystem;

namespace testsupport {

namespace {

constexpr const char* kGuardName = "guard.txt";
constexpr const char* kGuardText = "guard";

}  // namespace

GuardFile::GuardFile(const TempDir& dir) : path_(dir / kGuardName) { dir.WriteText(kGuardName, kGuardText); }

bool GuardFile::Intact() const {
    std::error_code error;
    if (!fs::is_regular_file(fs::symlink_status(path_, error))) return false;
    std::ifstream in(path_, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return text == kGuardText;
}

std::vector<std::string> EntriesBelow(const std::string& root, const std::string& skip) {
    std::vector<std::string> entries;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        // Taken apart as text: fs::relative would resolve a link to its target.
        const std::string relative = it->path().lexically_relative(root).generic_string();
        if (relative != skip) entries.push_back(relative);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::string FolderLinkOrWhy(const std::string& target, const std::string& link) {
    std::string why;
    if (!MakeFolderLink(target, link, why)) return why;
    // Wine can make a host link that the system then shows as a plain folder.
    if (!IsPosix() && (GetAttributes(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return "the system shows the link as a plain folder, not a reparse point (Wine maps it to a host link)";
    return "";
}

std::string LinkToOutsideOrWhy(const TempDir& dir, const std::string& link, const std::string& extension) {
    dir.WriteFile("outside/o1." + extension, 1);
    dir.WriteFile("outside/deeper/o2." + extension, 1);
    return FolderLinkOrWhy(dir / "outside", dir / link);
}

void MakeReadOnly(const std::string& path) {
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

uint64_t WriteLargeFilePair(const TempDir& dir, const std::string& three, const std::string& two) {
    dir.WriteFile(three, 3 * kGiB);
    dir.WriteFile(two, 2 * kGiB);
    return uint64_t(fs::file_size(dir / three)) + uint64_t(fs::file_size(dir / two));
}

std::vector<TreeFile> DeepTree() {
    std::vector<TreeFile> tree;
    // 80 levels of 35 ASCII characters: past 260 after seven, past 1,000
    // after 28, past 2,800 at the bottom (Wine holds a path as a host path
    // of at most 4,096 bytes); every level has a file, so a level left out
    // shows.
    std::string chain;
    for (int level = 0; level < 80; ++level) {
        chain += std::string(34, char('a' + level % 26)) + char('0' + level % 10) + "/";
        tree.push_back({chain + "f", uint64_t(1) << (level % 20)});
    }
    tree.push_back({chain + std::string(200, 'n'), 1000000});
    // Twelve levels of 35 Cyrillic letters: 420 characters, 840 bytes in UTF-8.
    std::string cyrillic;
    for (int level = 0; level < 12; ++level) {
        for (int letter = 0; letter < 5; ++letter) cyrillic += "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82\x5f";  // Привет_
        cyrillic += "/";
        tree.push_back({cyrillic + "g", 3000 + uint64_t(level)});
    }
    return tree;
}

std::vector<TreeFile> ScriptsTree() {
    return {
        {"\xe6\x97\xa5\xe6\x9c\xac/a.txt", 1},                                        // 日本
        {"\xe6\x97\xa5\xe6\x9c\xac/\xe4\xb8\xad\xe6\x96\x87/b.txt", 2},               // 日本/中文
        {"\xe4\xb8\xad\xe6\x96\x87/c.txt", 4},                                        // 中文: "??" as 日本
        {"\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82/\xd0\xbc\xd0\xb8\xd1\x80.txt", 8},  // Привет/мир.txt
        {"\xe4\xb8\xad\xe6\x96\x87\xe7\x9b\xae\xe5\xbd\x95/\xe6\x96\x87\xe4\xbb\xb6", 16},    // 中文目录/文件
        {"\xf0\x9f\x98\x80/\xf0\x9f\x98\x80\xf0\x9f\x8e\x89.txt", 32},                  // 😀/😀🎉.txt
        {"\xf0\x9f\x98\x80/\xf0\x9f\x8e\x89/x", 64},                                 // 😀/🎉/x
        {"\xc3\x84\xc3\x96\xc3\x9c/\xc3\xa4\xc3\xb6\xc3\xbc\xc3\x9f", 128},             // ÄÖÜ/äöüß
        {"\xce\x95\xce\xbb\xce\xbb\xce\xb7\xce\xbd\xce\xb9\xce\xba\xce\xac/y", 256},      // Ελληνικά
        {"\xd7\xa2\xd7\x91\xd7\xa8\xd7\x99\xd7\xaa/z", 512},                        // עברית
        {"\xd8\xa7\xd9\x84\xd8\xb9\xd8\xb1\xd8\xa8\xd9\x8a\xd8\xa9/w", 1024},            // العربية
        {"\xed\x95\x9c\xea\xb5\xad\xec\x96\xb4/\xed\x8c\x8c\xec\x9d\xbc", 2048},        // 한국어/파일
        {"\xe0\xa4\xb9\xe0\xa4\xbf\xe0\xa4\xa8\xe0\xa5\x8d\xe0\xa4\xa6\xe0\xa5\x80/v", 4096},  // हिन्दी
        {"e\xcc\x81t\xc3\xa9/u", 8192},  // "été" with a combining accent first, then a composed one
        {"plain/ascii.txt", 16384},
    };
}

std::vector<LabelledTree> LongAndForeignTrees() { return {{"deep", DeepTree()}, {"scripts", ScriptsTree()}}; }

uint64_t WriteTree(const std::string& root, const std::vector<TreeFile>& tree) {
    std::error_code error;
    fs::create_directories(root, error);
    uint64_t total = 0;
    for (const TreeFile& file : tree) {
        if (!WriteFileAt(root, file.path, file.size)) return UINT64_MAX;
        total += file.size;
    }
    return total;
}

}  // namespace testsupport
