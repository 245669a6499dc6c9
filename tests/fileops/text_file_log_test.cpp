#include "filelib/fileops/text_file_log.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;

// Reads into a buffer with guard bytes behind the capacity, so that a
// write past it shows.
struct Guarded {
    static constexpr unsigned kGuard = 32;
    std::vector<char> bytes;
    unsigned capacity;
    explicit Guarded(unsigned cap) : bytes(cap + kGuard, '\x7f'), capacity(cap) {}
    bool GuardIntact() const {
        for (unsigned i = capacity; i < bytes.size(); ++i)
            if (bytes[i] != '\x7f') return false;
        return true;
    }
    std::string Text() const { return std::string(bytes.data()); }
};

struct ReadCase {
    const char* name;
    std::string content;
    unsigned capacity;
    bool dropComments;
    std::string expected;
};

TEST(ReadTextFile, JoinsTheLinesThatFit) {
    const std::string longLine(3100, 'x');
    const ReadCase cases[] = {
        {"comments dropped", "A\nB;Kommentar\nC\n", 100, true, "A\nB\nC"},
        {"comments kept", "A\nB;Kommentar\nC\n", 100, false, "A\nB;Kommentar\nC"},
        {"a later shorter line still fits", "AB\nCDE\nF\n", 5, false, "AB\nF"},
        {"the separator counts", "AB\nCDE\nF\n", 4, false, "AB"},
        {"capacity for nothing", "AB\n", 1, false, ""},
        {"a line needs room for its terminator and one more", "ABC\n", 4, false, ""},
        {"last line without line feed", "A\nB", 10, false, "A\nB"},
        {"CR LF lines", "A\r\nB\r\n", 10, false, "A\nB"},
        {"empty lines inside are kept", "A\n\nB\n", 10, false, "A\n\nB"},
        {"a leading empty line adds nothing", "\nA\n", 10, false, "A"},
        {"a comment line becomes an empty line", "A\n;x\nB\n", 10, true, "A\n\nB"},
        {"long lines come in pieces of 2999", longLine + "\n", 4000, false,
         std::string(2999, 'x') + "\n" + std::string(101, 'x')},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        dir.WriteText("in.txt", c.content);
        Guarded dest(c.capacity);
        EXPECT_TRUE(ReadTextFile((dir / "in.txt").c_str(), dest.bytes.data(), c.capacity, c.dropComments));
        EXPECT_EQ(c.expected, dest.Text());
        EXPECT_TRUE(dest.GuardIntact());
    }
}

TEST(ReadTextFile, MissingFileAndCapacityZero) {
    TempDir dir;
    dir.WriteText("in.txt", "A\nB\n");
    const std::string missing = dir / "missing.txt";
    const std::string present = dir / "in.txt";

    Guarded dest(10);
    std::memset(dest.bytes.data(), 'q', 10);
    EXPECT_FALSE(ReadTextFile(missing.c_str(), dest.bytes.data(), 10, false));
    EXPECT_EQ("", dest.Text());

    // Capacity 0 leaves even the first byte alone, for a file present or not.
    Guarded none(0);
    EXPECT_TRUE(ReadTextFile(present.c_str(), none.bytes.data(), 0, false));
    EXPECT_TRUE(none.GuardIntact());
    EXPECT_FALSE(ReadTextFile(missing.c_str(), none.bytes.data(), 0, true));
    EXPECT_TRUE(none.GuardIntact());
}

TEST(ReadTextFile, ManyLinesAllKept) {
    TempDir dir;
    std::ostringstream text;
    std::string expected;
    for (int i = 0; i < 100000; ++i) {
        text << "line " << i << '\n';
        expected += (i == 0 ? "" : "\n") + ("line " + std::to_string(i));
    }
    dir.WriteText("big.txt", text.str());
    std::vector<char> dest(expected.size() + 2);
    ASSERT_TRUE(ReadTextFile((dir / "big.txt").c_str(), dest.data(), unsigned(dest.size()), false));
    EXPECT_EQ(expected, std::string(dest.data()));
}

std::vector<std::string> LinesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

TEST(WriteTestOutput, AppendsOneStampedLinePerCall) {
    TempDir dir;
    testsupport::ScopedCurrentDir here(dir.path());
    EXPECT_EQ(0, WriteTestOutput("Kopie fertig"));
    EXPECT_EQ(0, WriteTestOutput("zweite Zeile"));
    const std::vector<std::string> lines = LinesOf(dir / "testoutput.txt");
    ASSERT_EQ(2u, lines.size());
    const std::regex stamp(R"(\d\d\.\d\d\.\d{4}  \d\d:\d\d:\d\d : (.*))");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[0], match, stamp)) << lines[0];
    EXPECT_EQ("Kopie fertig", match[1].str());
    ASSERT_TRUE(std::regex_match(lines[1], match, stamp)) << lines[1];
    EXPECT_EQ("zweite Zeile", match[1].str());
}

TEST(WriteTestOutput, WritesNothingWhereTheLogCannotBeOpened) {
    TempDir dir;
    dir.MakeDir("testoutput.txt");  // a folder cannot be opened for appending
    dir.WriteText("beside.txt", "keep");
    testsupport::ScopedCurrentDir here(dir.path());
    EXPECT_EQ(0, WriteTestOutput("lost"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "testoutput.txt"));
    EXPECT_EQ(std::vector<std::string>{"keep"}, LinesOf(dir / "beside.txt"));
}

}  // namespace
