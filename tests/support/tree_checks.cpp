#include "support/tree_checks.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "filelib/fileops/file_ops.h"
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

}  // namespace testsupport
