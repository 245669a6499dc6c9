#include "filelib/text/text_fields.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Runs an in-place operation on a writable copy with guard bytes behind it,
// and checks that the operation returned its argument and wrote nothing
// past the room it was given.
template <typename Op>
std::string InPlace(Op op, const std::string& text, size_t extraRoom = 0) {
    std::vector<char> buffer(text.size() + 1 + extraRoom + 16, '#');
    std::memcpy(buffer.data(), text.c_str(), text.size() + 1);
    EXPECT_EQ(buffer.data(), op(buffer.data())) << text;
    for (size_t i = text.size() + 1 + extraRoom; i < buffer.size(); ++i)
        EXPECT_EQ('#', buffer[i]) << "written past the text: " << text;
    return buffer.data();
}

TEST(TextFields, CountFields) {
    EXPECT_EQ(4, CountFields("a;b;;c", ';'));
    EXPECT_EQ(0, CountFields("", ';'));
    EXPECT_EQ(0, CountFields(nullptr, ';'));
    EXPECT_EQ(1, CountFields("abc", ';'));
    EXPECT_EQ(3, CountFields(";;", ';'));
    EXPECT_EQ(2, CountFields("a,b;c", ','));
}

TEST(TextFields, GetFieldByIndex) {
    struct Case {
        const char* text;
        int index;
        char separator;
        const char* field;
    } cases[] = {
        {"a;b;;c", 0, ';', "a"},      {"a;b;;c", 1, ';', "b"},          {"a;b;;c", 2, ';', ""},
        {"a;b;;c", 3, ';', "c"},      {"a;b;;c", 4, ';', ""},           {"a;b;;c", -1, ';', ""},
        {"x,A(CHR 44)B", 1, ',', "A,B"}, {"k;(CHR 59);z", 1, ';', ";"}, {";lead", 0, ';', ""},
        {"trail;", 1, ';', ""},       {"no separator", 0, ';', "no separator"},
        {"", 0, ';', ""},             {"a\tb", 1, '\t', "b"},
    };
    for (const Case& c : cases) EXPECT_STREQ(c.field, GetField(c.text, c.index, c.separator)) << c.text << " #" << c.index;
    EXPECT_STREQ("", GetField(nullptr, 0, ';'));
}

TEST(TextFields, GetFieldReusesOneClearedBuffer) {
    char* first = GetField("long field;x", 0, ';');
    char* second = GetField("ab;x", 0, ';');
    EXPECT_EQ(first, second);
    EXPECT_STREQ("ab", second);
    EXPECT_EQ(0, std::memcmp(second + 2, std::string(kFieldBufferSize - 2, '\0').data(), kFieldBufferSize - 2));
    // Callers clean the field up in place.
    EXPECT_STREQ("v", StripQuotes(TrimBlanks(GetField("k; 'v' ", 1, ';'))));
}

TEST(TextFields, GetFieldCutsOverlongFieldsInsideItsBuffer) {
    const std::string huge = "a;" + std::string(kFieldBufferSize * 2, 'x') + ";b";
    const char* field = GetField(huge.c_str(), 1, ';');
    EXPECT_EQ(kFieldBufferSize - 1, std::strlen(field));
    EXPECT_STREQ("b", GetField(huge.c_str(), 2, ';'));
    // A field of exactly the largest length that fits is whole.
    const std::string fits = std::string(kFieldBufferSize - 1, 'y');
    EXPECT_EQ(fits, GetField(fits.c_str(), 0, ';'));
}

TEST(TextFields, DecodeCharCodes) {
    struct Case {
        const char* text;
        const char* decoded;
    } cases[] = {
        {"A(CHR 59)B", "A;B"},
        {"x (note) y", "x (note) y"},
        {"(CHR 65", "(CHR 65"},
        {"(CHR 0)abc", ""},
        {"ab(CHR 0)cd", "ab"},
        {"(chr 65)", "(chr 65)"},
        {"(CHR 65)(CHR 66)", "AB"},
        {"(CHR 321)", "A"},          // low 8 bits: 321 = 256 + 65
        {"(CHR -191)", "A"},         // -191 & 0xFF = 65
        {"(CHR  +66x)", "B"},        // atoi: blanks, sign, digits up to the first other character
        {"(CHR 99999999999)", "\xFF"},  // saturates at the 32-bit limit instead of overflowing
        {"(abc) (CHR 72)i", "(abc) Hi"},
        {"(CHR)(CHR 72)", "(CHR)H"},
        {"((CHR 72)", "(H"},          // the interrupted group is kept, not dropped
        {"(a (CHR 66) c)", "(a B c)"},
        {"end (CHR 7", "end (CHR 7"},
        {"(CHR 72) (", "H ("},
        {"no codes (CHR", "no codes (CHR"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.decoded, InPlace(DecodeCharCodes, c.text)) << c.text;
    EXPECT_EQ(nullptr, DecodeCharCodes(nullptr));
}

TEST(TextFields, DecodeCharCodesHasNoLengthLimit) {
    std::string text, expected;
    for (int i = 0; i < 5000; ++i) {
        text += "(CHR " + std::to_string(65 + i % 26) + ")-";
        expected += char('A' + i % 26);
        expected += '-';
    }
    EXPECT_EQ(expected, InPlace(DecodeCharCodes, text));
}

TEST(TextFields, CutAtSemicolon) {
    EXPECT_EQ("key=value ", InPlace(CutAtSemicolon, "key=value ; comment; more"));
    EXPECT_EQ("", InPlace(CutAtSemicolon, ";all comment"));
    EXPECT_EQ("plain", InPlace(CutAtSemicolon, "plain"));
}

TEST(TextFields, TrimBlanks) {
    struct Case {
        const char* text;
        const char* trimmed;
        const char* collapsed;
    } cases[] = {
        {"  a   b  ", "a   b", "a b"},
        {" \t \t", "", ""},
        {"", "", ""},
        {"\tx\t", "x", "x"},
        {"a\t\tb", "a\t\tb", "a\t\tb"},  // tabs are not collapsed
        {"a \t b", "a \t b", "a \t b"},
        {"\na\n", "\na\n", "\na\n"},      // only blanks and tabs are trimmed
        {"x", "x", "x"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.trimmed, InPlace(TrimBlanks, c.text)) << '[' << c.text << ']';
        EXPECT_EQ(c.collapsed, InPlace(TrimAndCollapseBlanks, c.text)) << '[' << c.text << ']';
    }
}

TEST(TextFields, StripQuotes) {
    struct Case {
        const char* text;
        const char* stripped;
    } cases[] = {
        {"'abc'", "abc"}, {"'abc", "abc"}, {"abc'", "abc"}, {"'a'b'", "a"}, {"''", ""},  {"'", ""},
        {"", ""},         {"abc", "abc"},  {"\"q\"", "\"q\""}, {"a'b", "a'b"}, {"'''", ""}, {" 'a'", " 'a"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.stripped, InPlace(StripQuotes, c.text)) << c.text;
}

TEST(TextFields, UmlautConversions) {
    const std::string ansi = "\xC4\xD6\xDC\xE4\xF6\xFC\xDF";
    const std::string utf8 = "\xC3\x84\xC3\x96\xC3\x9C\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F";
    EXPECT_EQ(utf8, InPlace([](char* t) { return AnsiUmlautsToUtf8(t); }, ansi, ansi.size()));
    EXPECT_EQ(ansi, InPlace(Utf8UmlautsToAnsi, utf8));
    EXPECT_EQ("Gr\xC3\xB6\xC3\x9F" "e", InPlace([](char* t) { return AnsiUmlautsToUtf8(t); }, "Gr\xF6\xDF" "e", 2));
    // Other UTF-8 forms with the same lead byte, and a lead byte at the end, stay.
    EXPECT_EQ("\xC3\xA9\xC3", InPlace(Utf8UmlautsToAnsi, "\xC3\xA9\xC3"));
    // Other Windows-1252 letters (é) are not converted.
    EXPECT_EQ("\xE9", InPlace([](char* t) { return AnsiUmlautsToUtf8(t); }, "\xE9"));
}

TEST(TextFields, UmlautConversionsRoundTrip) {
    // Every Windows-1252 byte survives the trip to UTF-8 and back.
    std::string all;
    for (int c = 1; c < 256; ++c) all += char(c);
    all += all;
    size_t letters = 2 * kGermanLetterCount;
    const std::string utf8 = InPlace([](char* t) { return AnsiUmlautsToUtf8(t); }, all, letters);
    EXPECT_EQ(all.size() + letters, utf8.size());
    EXPECT_EQ(all, InPlace(Utf8UmlautsToAnsi, utf8));
    // And UTF-8 text whose only non-ASCII letters are the seven survives the other way.
    const std::string text = "Stra\xC3\x9F" "e \xC3\x9C" "ber \xC3\xA4\xC3\xA4 \xC3\x96l";
    EXPECT_EQ(text, InPlace([](char* t) { return AnsiUmlautsToUtf8(Utf8UmlautsToAnsi(t)); }, text));
    // The one Windows-1252 text that does not come back: one that already
    // holds a UTF-8 form as two letters ("Ã¤") is read as that form.
    EXPECT_EQ("\xE4", InPlace([](char* t) { return Utf8UmlautsToAnsi(AnsiUmlautsToUtf8(t)); }, "\xC3\xA4", 2));
}

TEST(TextFields, AnsiUmlautsToUtf8StaysInsideTheGivenBuffer) {
    struct Case {
        size_t bufferSize;
        const char* expected;
    } cases[] = {
        {3, "\xE4\xF6"},                  // no room to grow: unchanged
        {4, "\xC3\xA4\xF6"},              // room for one letter: the first grows
        {5, "\xC3\xA4\xC3\xB6"},
        {50, "\xC3\xA4\xC3\xB6"},
        {0, "\xE4\xF6"},
    };
    for (const Case& c : cases) {
        char buffer[8] = "\xE4\xF6";
        std::memset(buffer + 3, '#', sizeof buffer - 3);
        EXPECT_STREQ(c.expected, AnsiUmlautsToUtf8(buffer, c.bufferSize)) << c.bufferSize;
        for (size_t i = c.bufferSize < 3 ? 3 : c.bufferSize; i < sizeof buffer; ++i) EXPECT_EQ('#', buffer[i]);
    }
}

TEST(TextFields, ReadLeadingIntReadsLikeAtoiOnEveryPlatform) {
    struct Case {
        const char* text;
        size_t length;
        int32_t value;
    } cases[] = {
        {"42", SIZE_MAX, 42},           {" \t\n-17x", SIZE_MAX, -17}, {"+5", SIZE_MAX, 5},
        {"", SIZE_MAX, 0},              {"abc", SIZE_MAX, 0},         {"- 5", SIZE_MAX, 0},
        {"12345", 3, 123},              {"  7", 2, 0},                {"2147483647", SIZE_MAX, INT32_MAX},
        {"2147483648", SIZE_MAX, INT32_MAX}, {"-2147483648", SIZE_MAX, INT32_MIN},
        {"-99999999999999999999", SIZE_MAX, INT32_MIN}, {"0007", SIZE_MAX, 7},
    };
    for (const Case& c : cases) EXPECT_EQ(c.value, ReadLeadingInt(c.text, c.length)) << c.text;
    EXPECT_EQ(0, ReadLeadingInt(nullptr, 5));
}

}  // namespace
