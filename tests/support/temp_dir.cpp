#include "support/temp_dir.h"

#include "support/process.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

namespace testsupport {

std::string Sep() { return std::string(1, char(fs::path::preferred_separator)); }

TempDir::TempDir() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = fs::temp_directory_path() / ("vorkstat-test-" + std::to_string(random() % 1000000000));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            path_ = candidate.string();
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    RemoveTree(path_);
    std::error_code error;
    if (!fs::exists(path_, error)) return;
    // Unreadable folders made by a test must not outlive it.
    for (auto it = fs::recursive_directory_iterator(path_, fs::directory_options::skip_permission_denied, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(path_, error);
    if (error) {
        // A second pass catches folders whose permissions were restored late.
        error.clear();
        for (auto it = fs::recursive_directory_iterator(path_, error); !error && it != fs::recursive_directory_iterator();
             it.increment(error))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
        error.clear();
        fs::remove_all(path_, error);
    }
}

ScopedCurrentDir::ScopedCurrentDir(const std::string& folder) : saved_(fs::current_path().string()) {
    fs::current_path(folder);
}

ScopedCurrentDir::~ScopedCurrentDir() {
    std::error_code error;
    fs::current_path(saved_, error);
}

std::string TempDir::operator/(const std::string& relative) const {
    return (fs::path(path_) / fs::path(relative).make_preferred()).string();
}

void TempDir::MakeDir(const std::string& relative) const { fs::create_directories(*this / relative); }

void TempDir::WriteFile(const std::string& relative, uint64_t size) const {
    fs::path file = *this / relative;
    fs::create_directories(file.parent_path());
    { std::ofstream(file, std::ios::binary); }
    fs::resize_file(file, size);
}

void TempDir::WriteText(const std::string& relative, const std::string& text) const {
    fs::path file = *this / relative;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

LongPathFile MakeLongPathFile(const TempDir& temp, const std::string& text) {
    LongPathFile made;
    made.folder = temp.path();
    while (made.folder.size() < 180) made.folder += Sep() + std::string(30, 'f');
    made.name = std::string(100, 'n') + ".txt";
    made.file = made.folder + Sep() + made.name;
    std::error_code error;
    fs::create_directories(made.folder, error);
    if (!error) temp.WriteText(made.file.substr(temp.path().size() + 1), text);
    if (error || !fs::exists(made.file, error)) return LongPathFile{};
    return made;
}

}  // namespace testsupport
