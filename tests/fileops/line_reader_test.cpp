#include "filelib/fileops/line_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;

using Reader = int (*)(FILE*, char*, int);

struct ReadResult {
    std::vector<std::string> lines;
    int calls = 0;  // reads that returned 0
};

// Reads the whole file with one reader and a buffer of `size`; the buffer
// is larger than `size` and guarded, so a write past `size` shows.
ReadResult ReadAll(const std::string& path, const char* mode, Reader reader, int size) {
    ReadResult result;
    FILE* file = std::fopen(path.c_str(), mode);
    if (file == nullptr) {
        ADD_FAILURE() << "cannot open " << path;
        return result;
    }
    std::vector<char> buffer(size_t(size) + 64, '#');
    while (reader(file, buffer.data(), size) == 0) {
        result.lines.emplace_back(buffer.data());
        for (size_t i = size_t(size); i < buffer.size(); ++i) {
            if (buffer[i] != '#') {
                ADD_FAILURE() << "written past the size " << size;
                break;
            }
        }
        if (++result.calls > 100000) break;
    }
    EXPECT_STREQ("", buffer.data()) << "the end of the stream leaves the buffer empty";
    std::fclose(file);
    return result;
}

const std::string kLong3500 = std::string(2999, 'a') + std::string(501, 'b');

TEST(LineReader, ReadersOverFilesInBothOpenModes) {
    struct Case {
        const char* what;
        std::string content;
        Reader reader;
        int size;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"line feeds", "one\ntwo\n", ReadLine, 100, {"one", "two"}},
        {"CR LF lines", "one\r\ntwo\r\n", ReadLine, 100, {"one", "two"}},
        {"last line without line feed", "one\ntwo", ReadLine, 100, {"one", "two"}},
        {"CR LF, last line without", "one\r\ntwo", ReadLine, 100, {"one", "two"}},
        {"empty lines kept", "\n\r\nx\n", ReadLine, 100, {"", "", "x"}},
        {"empty file", "", ReadLine, 100, {}},
        {"cut to the size", "abcdefg\nxy\n", ReadLine, 5, {"abcd", "xy"}},
        {"CR LF cut to the size", "abcdefg\r\nxy\r\n", ReadLine, 5, {"abcd", "xy"}},
        {"size 1 gives empty lines", "abc\nd\n", ReadLine, 1, {"", ""}},
        {"size above the work buffer", kLong3500 + "\n", ReadLine, 10000,
         {std::string(2999, 'a'), std::string(501, 'b')}},
        {"long line cut continues after the read", kLong3500 + "\nend\n", ReadLine, 10,
         {std::string(9, 'a'), std::string(9, 'b'), "end"}},
        {"exactly the read length", std::string(2999, 'c') + "\nnext\n", ReadLine, 3000,
         {std::string(2999, 'c'), "next"}},
        {"exactly the read length with CR LF", std::string(2998, 'c') + "\r\nnext\r\n", ReadLine, 3000,
         {std::string(2998, 'c'), "next"}},
        {"comment cut", "key=value ; note\n;whole line\nplain\n", ReadLineCutComment, 100,
         {"key=value ", "", "plain"}},
        {"comment cut, CR LF", "a;b\r\n", ReadLineCutComment, 100, {"a"}},
        {"comment after the cut is not seen", "abcdef;x\n", ReadLineCutComment, 4, {"abc"}},
        {"after the semicolon", "key;value;more\nnone\n;\n", ReadLineAfterSemicolon, 100,
         {"value;more", "", ""}},
        {"after the semicolon, CR LF", "k;v\r\n", ReadLineAfterSemicolon, 100, {"v"}},
    };
    for (const char* mode : {"r", "rb"}) {
        for (const Case& c : cases) {
            TempDir temp;
            temp.WriteText("lines.txt", c.content);
            const ReadResult result = ReadAll(temp / "lines.txt", mode, c.reader, c.size);
            EXPECT_EQ(c.lines, result.lines) << c.what << " (mode " << mode << ")";
        }
    }
}

TEST(LineReader, EndOfStreamLeavesEmptyText) {
    const Reader readers[] = {ReadLine, ReadLineCutComment, ReadLineAfterSemicolon};
    for (Reader reader : readers) {
        TempDir temp;
        temp.WriteText("one.txt", "x;y\n");
        FILE* file = std::fopen((temp / "one.txt").c_str(), "r");
        ASSERT_NE(nullptr, file);
        char buffer[20];
        EXPECT_EQ(0, reader(file, buffer, sizeof buffer));
        std::strcpy(buffer, "stale");
        EXPECT_EQ(1, reader(file, buffer, sizeof buffer));
        EXPECT_STREQ("", buffer);
        std::fclose(file);
    }
}

TEST(LineReader, UnusableArgumentsWriteNothing) {
    TempDir temp;
    temp.WriteText("one.txt", "abc\n");
    FILE* file = std::fopen((temp / "one.txt").c_str(), "r");
    ASSERT_NE(nullptr, file);
    char guard[4] = {'#', '#', '#', '#'};
    struct Case {
        FILE* stream;
        char* dest;
        int size;
    } cases[] = {{file, guard, 0}, {file, guard, -5}, {nullptr, guard, 4}, {file, nullptr, 4}};
    for (const Case& c : cases) {
        EXPECT_EQ(1, ReadLine(c.stream, c.dest, c.size)) << c.size;
        EXPECT_EQ('#', guard[0]);
    }
    // Refused calls do not take the line away.
    char line[10];
    EXPECT_EQ(0, ReadLine(file, line, sizeof line));
    EXPECT_STREQ("abc", line);
    std::fclose(file);
}

TEST(BoundedText, CopyAndAppendReportCuts) {
    struct Case {
        const char* what;
        bool append;
        const char* before;
        int size;
        const char* source;
        int result;
        const char* after;
    };
    const Case cases[] = {
        {"copy cut", false, "", 4, "abcd", 1, "abc"},
        {"copy whole", false, "", 4, "abc", 0, "abc"},
        {"copy empty", false, "zz", 4, "", 0, ""},
        {"copy size 1", false, "zz", 1, "a", 1, ""},
        {"copy null source", false, "zz", 4, nullptr, 0, ""},
        {"append whole", true, "ab", 5, "cd", 0, "abcd"},
        {"append cut", true, "ab", 5, "cde", 1, "abcd"},
        {"append to a full text", true, "abcd", 5, "x", 1, "abcd"},
        {"append nothing to a full text", true, "abcd", 5, "", 0, "abcd"},
        {"append to empty", true, "", 3, "xyz", 1, "xy"},
    };
    for (const Case& c : cases) {
        char buffer[32];
        std::memset(buffer, '#', sizeof buffer);
        std::memcpy(buffer, c.before, std::strlen(c.before) + 1);
        const int result = c.append ? AppendBounded(buffer, c.size, c.source) : CopyBounded(buffer, c.size, c.source);
        EXPECT_EQ(c.result, result) << c.what;
        EXPECT_STREQ(c.after, buffer) << c.what;
        for (size_t i = size_t(c.size); i < sizeof buffer; ++i) {
            if (i > std::strlen(c.before)) {
                EXPECT_EQ('#', buffer[i]) << c.what << " at " << i;
            }
        }
    }
}

TEST(BoundedText, LongSourcesAndBrokenDestinations) {
    // Sources far beyond any work buffer are copied or cut without overrun.
    const std::string huge(10000, 'h');
    std::vector<char> big(8001, '#');
    EXPECT_EQ(1, CopyBounded(big.data(), 8000, huge.c_str()));
    EXPECT_EQ(std::string(7999, 'h'), big.data());
    EXPECT_EQ('#', big[8000]);
    std::vector<char> whole(10001);
    EXPECT_EQ(0, CopyBounded(whole.data(), 10001, huge.c_str()));
    EXPECT_EQ(huge, whole.data());

    // A destination without terminator is ended inside its size.
    char unended[6] = {'a', 'b', 'c', 'd', 'e', '#'};
    EXPECT_EQ(1, AppendBounded(unended, 5, "x"));
    EXPECT_STREQ("abcd", unended);
    EXPECT_EQ('#', unended[5]);

    // Appending a text to itself.
    char self[16] = "abc";
    EXPECT_EQ(0, AppendBounded(self, sizeof self, self));
    EXPECT_STREQ("abcabc", self);

    char untouched[2] = {'#', '#'};
    EXPECT_EQ(1, CopyBounded(untouched, 0, "a"));
    EXPECT_EQ(1, AppendBounded(untouched, 0, "a"));
    EXPECT_EQ('#', untouched[0]);
}

TEST(StaticText, CaseCopiesChangeOnlyAsciiLetters) {
    struct Case {
        const char* text;
        const char* upper;
        const char* lower;
    } cases[] = {
        {"Hello World 42", "HELLO WORLD 42", "hello world 42"},
        {"\xE4\xF6\xFC\xC4\xD6\xDC\xDF", "\xE4\xF6\xFC\xC4\xD6\xDC\xDF", "\xE4\xF6\xFC\xC4\xD6\xDC\xDF"},
        {"", "", ""},
        {"@[`{", "@[`{", "@[`{"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(c.upper, UpperCopy(c.text));
        EXPECT_STREQ(c.lower, LowerCopy(c.text));
    }
    const char* first = UpperCopy("a");
    EXPECT_EQ(first, UpperCopy("b"));
    EXPECT_STREQ("B", first);
    EXPECT_NE(static_cast<const void*>(UpperCopy("a")), static_cast<const void*>(LowerCopy("a")));
    EXPECT_STREQ("", UpperCopy(nullptr));
}

TEST(StaticText, FlattenLineBreaksTable) {
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {"first\r\nsecond\r\n", "first second"},
        {"a<br>b", "a b"},
        {"a<BR>b", "a<BR>b"},
        {"a<br", "a<br"},
        {"a\rb", "a b"},
        {"a\r\rb", "a  b"},
        {"a\t\nb", "a b"},
        {"a\tb", "a\tb"},
        {"a\n\nb", "a  b"},
        {"a\n", "a"},
        {"a  ", "a "},
        {"\n", ""},
        {"", ""},
        {"<br><br>", " "},
    };
    for (const Case& c : cases) EXPECT_STREQ(c.expected, FlattenLineBreaks(c.text)) << c.text;
}

TEST(StaticText, TextsBeyondTheBufferAreRefusedNotCut) {
    const std::string fits(kStaticTextSize - 1, 'x');
    const std::string tooLong(kStaticTextSize, 'x');
    EXPECT_EQ(std::string(kStaticTextSize - 1, 'X'), UpperCopy(fits.c_str()));
    EXPECT_EQ(fits, LowerCopy(fits.c_str()));
    EXPECT_EQ(fits, FlattenLineBreaks(fits.c_str()));
    EXPECT_STREQ("", UpperCopy(tooLong.c_str()));
    EXPECT_STREQ("", LowerCopy(tooLong.c_str()));
    EXPECT_STREQ("", FlattenLineBreaks(tooLong.c_str()));
}

}  // namespace
