// Checks for tests of operations that delete, copy or prune whole trees.
#pragma once

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

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

}  // namespace testsupport
