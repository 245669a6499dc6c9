// A work folder for tests that change the file system: everything happens
// inside it, and a file beside it must still be there at the end.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>

#include "filelib/platform/platform.h"
#include "support/temp_dir.h"

namespace platformtest {

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline bool Exists(const std::string& path) { return plat::ReadAttributes(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline bool IsReadOnly(const std::string& path) {
    const DWORD attrib = plat::ReadAttributes(path.c_str());
    return attrib != INVALID_FILE_ATTRIBUTES && (attrib & FILE_ATTRIBUTE_READONLY) != 0;
}

class WorkTree : public ::testing::Test {
protected:
    void SetUp() override {
        root_.WriteText("beside.txt", "keep");
        root_.MakeDir("work");
        work_ = root_ / "work";
    }

    void TearDown() override {
        // Read-only entries would stop the temporary folder's removal on Windows.
        std::error_code error;
        for (auto it = std::filesystem::recursive_directory_iterator(work_, error);
             !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
            plat::WriteAttributes(it->path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ("keep", ReadText(root_ / "beside.txt")) << "a file beside the work folder was touched";
    }

    // A path inside the work folder.
    std::string In(const std::string& relative) const { return work_ + testsupport::Sep() + relative; }
    void Write(const std::string& relative, const std::string& text) const { root_.WriteText("work/" + relative, text); }
    void MakeDir(const std::string& relative) const { root_.MakeDir("work/" + relative); }
    void SetReadOnly(const std::string& relative) const {
        ASSERT_EQ(plat::Error::None, plat::WriteAttributes(In(relative).c_str(), FILE_ATTRIBUTE_READONLY));
    }

    testsupport::TempDir root_;
    std::string work_;
};

}  // namespace platformtest

// Errors print by name in failure messages.
namespace plat {
inline std::ostream& operator<<(std::ostream& out, Error error) { return out << ErrorName(error); }
}  // namespace plat
