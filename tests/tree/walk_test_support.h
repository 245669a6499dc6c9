// Helpers shared by the tree walker tests.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

#include "support/temp_dir.h"

namespace walktest {

// Makes a folder current for the life of the object.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::string& folder) : m_saved(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~CurrentFolder() {
        std::error_code error;
        std::filesystem::current_path(m_saved, error);
    }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    std::filesystem::path m_saved;
};

// A link to a folder outside the tree, full of files. False (with the
// reason in `why`) where the system does not let the test make one.
inline bool MakeFolderLink(const std::string& target, const std::string& link, std::string& why) {
    std::error_code error;
    std::filesystem::create_directory_symlink(target, link, error);
    if (error) why = "cannot make a folder link here: " + error.message();
    return !error;
}

}  // namespace walktest
