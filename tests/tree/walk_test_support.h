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

}  // namespace walktest
