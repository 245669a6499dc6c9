// A fresh folder per test, removed with everything in it afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace testsupport {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() joined with a relative path in the platform's separator.
    std::string operator/(const std::string& relative) const;

    // Creates a file of `size` bytes (sparse where the system allows),
    // making the folders on the way.
    void WriteFile(const std::string& relative, uint64_t size) const;
    void WriteText(const std::string& relative, const std::string& text) const;
    void MakeDir(const std::string& relative) const;

private:
    std::string path_;
};

// Makes a folder current for its lifetime and brings back the one that was
// current before.
class ScopedCurrentDir {
public:
    explicit ScopedCurrentDir(const std::string& folder);
    ~ScopedCurrentDir();
    ScopedCurrentDir(const ScopedCurrentDir&) = delete;
    ScopedCurrentDir& operator=(const ScopedCurrentDir&) = delete;

private:
    std::string saved_;
};

// The platform's path separator as text, for building expected paths.
std::string Sep();

// A file whose whole path is longer than the system takes at once, below
// folders each short enough to be made current: folders of 30 characters
// down to 180, then a name of 100. Both texts are empty where the system
// cannot make such a path.
struct LongPathFile {
    std::string folder;
    std::string file;
    std::string name;
};
LongPathFile MakeLongPathFile(const TempDir& temp, const std::string& text);

// A writable copy of a text in a field of `Size` bytes, as the library's
// operations that change their arguments in place want it.
template <size_t Size>
struct FixedText {
    explicit FixedText(const std::string& value) { std::snprintf(text, sizeof text, "%s", value.c_str()); }
    char text[Size];
};

// A writable folder text, as the finder and its listings want it.
using DirText = FixedText<600>;

}  // namespace testsupport
