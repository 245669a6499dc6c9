// Checks for tests of operations that delete, copy or prune whole trees.
#pragma once

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "filelib/fileops/file_ops.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace testsupport {

// A file beside a test's tree, which no operation on the tree may touch.
class GuardFile {
public:
    explicit GuardFile(const TempDir& dir) : path_(dir / "guard.txt") { dir.WriteText("guard.txt", "guard"); }
    bool Intact() const {
        std::error_code error;
        return std::filesystem::is_regular_file(path_, error) && std::filesystem::file_size(path_, error) == 5;
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Everything below `root`, as sorted relative paths with '/' between parts
// (links listed, never followed); `skip` is left out.
inline std::vector<std::string> EntriesBelow(const std::string& root, const std::string& skip = "guard.txt") {
    namespace fs = std::filesystem;
    std::vector<std::string> entries;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        const std::string relative = fs::relative(it->path(), root).generic_string();
        if (relative != skip) entries.push_back(relative);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

// A writable text, as the library's folder arguments want it.
struct WritableText {
    explicit WritableText(const std::string& value) { std::snprintf(text, sizeof text, "%s", value.c_str()); }
    char text[1200];
};

// Makes `link` a link to the folder `target`, one the tree operations
// know as a link: "" when made, else why the test must skip.
inline std::string FolderLinkOrWhy(const std::string& target, const std::string& link) {
    std::string why;
    if (!MakeFolderLink(target, link, why)) return why;
    // Wine can make a host link that the system then shows as a plain folder.
    if (!IsPosix() && (GetAttributes(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return "the system shows the link as a plain folder, not a reparse point (Wine maps it to a host link)";
    return "";
}

// Takes every write permission away, as a read-only attribute does.
inline void MakeReadOnly(const std::string& path) {
    namespace fs = std::filesystem;
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

}  // namespace testsupport
