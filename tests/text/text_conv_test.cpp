#include "filelib/text/text_conv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

// Left to right, without overlap, never looking at a replacement again.
std::string ReplaceNaively(const std::string& text, const std::string& find, const std::string& replacement) {
    if (find.empty()) return text;
    std::string result;
    for (size_t i = 0; i < text.size();) {
        if (text.compare(i, find.size(), find) == 0) {
            result += replacement;
            i += find.size();
        } else {
            result += text[i++];
        }
    }
    return result;
}

std::string Repeat(const std::string& part, size_t count) {
    std::string result;
    for (size_t i = 0; i < count; ++i) result += part;
    return result;
}

std::basic_string<WCHAR> Wide(const std::u16string& text) {
    return std::basic_string<WCHAR>(text.begin(), text.end());
}

TEST(TextConv, ReplaceUmlautsWritesThemOut) {
    // "Größe Übung" and the six umlauts in Windows-1252.
    EXPECT_STREQ("Groe\xDF" "e Uebung", ReplaceUmlauts("Gr\xF6\xDF" "e \xDC" "bung"));
    EXPECT_STREQ("aeoeueAeOeUe\xDF", ReplaceUmlauts("\xE4\xF6\xFC\xC4\xD6\xDC\xDF"));
    EXPECT_STREQ("\x80\xE5\xFF plain", ReplaceUmlauts("\x80\xE5\xFF plain"));
    EXPECT_STREQ("", ReplaceUmlauts(""));
    EXPECT_STREQ("", ReplaceUmlauts(nullptr));
}

TEST(TextConv, ReplaceUmlautsRefusesWhatDoesNotFit) {
    EXPECT_EQ(Repeat("ae", 1499), ReplaceUmlauts(Repeat("\xE4", 1499).c_str()));
    EXPECT_STREQ("", ReplaceUmlauts(Repeat("\xE4", 1500).c_str()));
    EXPECT_EQ(Repeat("x", 2999), ReplaceUmlauts(Repeat("x", 2999).c_str()));
    EXPECT_STREQ("", ReplaceUmlauts(Repeat("x", 3000).c_str()));
}

TEST(TextConv, ReplaceTextCases) {
    struct Case {
        const char* text;
        const char* find;
        const char* replacement;
        const char* expected;
    };
    const Case cases[] = {
        {"a-b-c", "-", ", ", "a, b, c"},
        {"a-b-c", "", "x", "a-b-c"},
        {"aa", "a", "aa", "aaaa"},
        {"aaa", "aa", "b", "ba"},
        {"abcabd", "abd", "X", "abcX"},
        {"aabaabaaab", "aab", "-", "--a-"},
        {"ababab", "abab", "X", "Xab"},
        {"abcabcab", "abcab", "X", "Xcab"},
        {"abc", "abcd", "X", "abc"},
        {"abc", "abc", "", ""},
        {"", "a", "b", ""},
        {"x\xE4x", "\xE4", "ae", "xaex"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(c.expected, ReplaceText(c.text, c.find, c.replacement))
            << '"' << c.text << "\" \"" << c.find << "\" \"" << c.replacement << '"';
    }
    EXPECT_STREQ("abc", ReplaceText("abc", nullptr, "x"));
    EXPECT_STREQ("", ReplaceText(nullptr, "a", "x"));
}

TEST(TextConv, ReplaceTextAgreesWithANaiveScan) {
    // Small alphabets make many partial and overlapping matches.
    std::mt19937 random(7);
    auto word = [&random](size_t maxLength, const char* alphabet, size_t letters) {
        std::string text(random() % (maxLength + 1), 'a');
        for (char& c : text) c = alphabet[random() % letters];
        return text;
    };
    for (int i = 0; i < 20000; ++i) {
        const std::string text = word(40, "abc", 2 + i % 2);
        const std::string find = word(5, "abc", 2 + i % 2);
        const std::string replacement = word(3, "abX", 3);
        ASSERT_EQ(ReplaceNaively(text, find, replacement), ReplaceText(text.c_str(), find.c_str(), replacement.c_str()))
            << '"' << text << "\" \"" << find << "\" \"" << replacement << '"';
    }
}

TEST(TextConv, ReplaceTextRefusesWhatDoesNotFit) {
    EXPECT_EQ(Repeat("x", 2999), ReplaceText(Repeat("x", 2999).c_str(), "y", "z"));
    EXPECT_STREQ("", ReplaceText(Repeat("x", 3000).c_str(), "y", "z"));
    EXPECT_STREQ("", ReplaceText(Repeat("x", 3000).c_str(), "", "z"));
    EXPECT_EQ(Repeat("aa", 1499), ReplaceText(Repeat("a", 1499).c_str(), "a", "aa"));
    EXPECT_STREQ("", ReplaceText(Repeat("a", 1500).c_str(), "a", "aa"));
    // A long text whose result fits.
    EXPECT_STREQ("END", ReplaceText((Repeat("xy", 500000) + "END").c_str(), "xy", ""));
    const std::string longFind = Repeat("a", 5000);
    EXPECT_STREQ("-b", ReplaceText((longFind + "b").c_str(), longFind.c_str(), "-"));
}

// The result without its breaks, and the lines between them.
struct Wrapped {
    std::string text;
    std::vector<std::string> lines;
};

Wrapped SplitAtBreaks(const std::string& result, const std::string& lineBreak) {
    Wrapped wrapped;
    size_t start = 0;
    for (size_t at; (at = result.find(lineBreak, start)) != std::string::npos; start = at + lineBreak.size()) {
        wrapped.lines.push_back(result.substr(start, at - start));
        wrapped.text += wrapped.lines.back();
    }
    wrapped.lines.push_back(result.substr(start));
    wrapped.text += wrapped.lines.back();
    return wrapped;
}

TEST(TextConv, WrapTextCases) {
    EXPECT_STREQ("eins zwei drei", WrapText("eins zwei drei", false, 20));
    EXPECT_STREQ("eins zwei drei", WrapText("eins zwei drei", false, 14));
    EXPECT_STREQ("eins \nzwei \ndrei", WrapText("eins zwei drei", false, 8));
    EXPECT_STREQ("eins <br>zwei <br>drei", WrapText("eins zwei drei", true, 8));
    EXPECT_STREQ("eins zwei |drei", WrapTextWith("eins zwei drei", '|', 10));
    EXPECT_STREQ("eins |zwei drei", WrapTextWith("eins zwei drei", '|', 9));
    // A word longer than the line is never split.
    EXPECT_STREQ("Donaudampfschiff \nab", WrapText("Donaudampfschiff ab", false, 5));
    EXPECT_STREQ("Donaudampfschiff", WrapText("Donaudampfschiff", false, 5));
    EXPECT_STREQ("ab \n cd", WrapText("ab  cd", false, 3));
    // The blank at the end is followed by a break like any other.
    EXPECT_STREQ("aaaaaaaaaa \n", WrapText("aaaaaaaaaa ", false, 5));
    EXPECT_STREQ("", WrapText("", false, 0));
    EXPECT_STREQ("", WrapText(nullptr, true, 0));
    // A break character of 0 ends the result at the first break.
    EXPECT_STREQ("eins ", WrapTextWith("eins zwei drei", '\0', 8));
}

TEST(TextConv, WrapTextBreaksOnlyWhereTheNextWordWouldNotFit) {
    std::mt19937 random(11);
    for (int i = 0; i < 3000; ++i) {
        std::string text;
        const size_t words = random() % 30;
        for (size_t w = 0; w < words; ++w) {
            text += std::string(1 + random() % 9, char('a' + w % 26));
            text += std::string(random() % 5 == 0 ? 2 : 1, ' ');
        }
        if (random() % 2 != 0 && !text.empty()) text.pop_back();
        const unsigned width = random() % 25;
        const bool html = i % 2 != 0;
        const std::string lineBreak = html ? "<br>" : "\n";
        const Wrapped wrapped = SplitAtBreaks(WrapText(text.c_str(), html, width), lineBreak);
        SCOPED_TRACE('"' + text + "\" width " + std::to_string(width));
        ASSERT_EQ(text, wrapped.text);
        if (text.size() <= width) {
            ASSERT_EQ(1u, wrapped.lines.size());
            continue;
        }
        size_t offset = 0;
        for (size_t l = 0; l < wrapped.lines.size(); ++l) {
            const std::string& line = wrapped.lines[l];
            offset += line.size();
            // A line longer than the width is one word, with its blank
            // unless it ends the text.
            if (line.size() > width) {
                ASSERT_GE(line.find(' '), line.size() - 1) << "line " << l;
            }
            if (l + 1 == wrapped.lines.size()) break;
            // Each break follows a blank, and the next word would not fit.
            ASSERT_EQ(' ', line.back()) << "line " << l;
            size_t end = text.find(' ', offset);
            end = end == std::string::npos ? text.size() : end + 1;
            ASSERT_GT(line.size() + end - offset, width) << "line " << l;
        }
        // Where no break was made, the next word did fit.
        size_t lineLength = 0;
        size_t nextBreak = wrapped.lines[0].size();
        size_t line = 0;
        for (size_t p = 0; p < text.size(); ++p) {
            ++lineLength;
            if (p + 1 == nextBreak && line + 1 < wrapped.lines.size()) {
                nextBreak += wrapped.lines[++line].size();
                lineLength = 0;
                continue;
            }
            if (text[p] != ' ') continue;
            size_t end = text.find(' ', p + 1);
            end = end == std::string::npos ? text.size() : end + 1;
            ASSERT_LE(lineLength + end - (p + 1), width) << "no break after position " << p;
        }
    }
}

TEST(TextConv, WrapTextRefusesWhatDoesNotFit) {
    // Each "a " of a line one wide is followed by a break.
    EXPECT_EQ(Repeat("a \n", 666), WrapText(Repeat("a ", 666).c_str(), false, 1));
    EXPECT_STREQ("", WrapText(Repeat("a ", 667).c_str(), false, 1));
    EXPECT_EQ(Repeat("a <br>", 333), WrapText(Repeat("a ", 333).c_str(), true, 1));
    EXPECT_STREQ("", WrapText(Repeat("a ", 334).c_str(), true, 1));
    EXPECT_EQ(Repeat("a |", 666), WrapTextWith(Repeat("a ", 666).c_str(), '|', 1));
    EXPECT_STREQ("", WrapTextWith(Repeat("a ", 667).c_str(), '|', 1));
    EXPECT_EQ(Repeat("x", 1999), WrapText(Repeat("x", 1999).c_str(), false, 5000));
    EXPECT_STREQ("", WrapText(Repeat("x", 2000).c_str(), false, 5000));
    EXPECT_STREQ("", WrapText(Repeat("x", 100000).c_str(), false, 10));
}

TEST(TextConv, WrapTextAndWrapTextWithKeepTheirOwnBuffers) {
    const char* wrapped = WrapText("eins zwei drei", false, 8);
    const char* wrappedWith = WrapTextWith("eins zwei drei", '|', 8);
    EXPECT_NE(wrapped, wrappedWith);
    EXPECT_STREQ("eins \nzwei \ndrei", wrapped);
    EXPECT_STREQ("eins |zwei |drei", wrappedWith);
}

// The tests below need Windows-1252 as the ANSI code page, which POSIX
// always has and Windows has in Western Europe and the Americas.
bool AnsiIsWindows1252() {
    return std::string("\xE4\x80") == WideToAnsi(Wide(u"\u00E4\u20AC").c_str());
}

TEST(TextConv, WideToAnsiTrimsAndEmptiesNull) {
    struct Case {
        std::u16string text;
        const char* expected;
    };
    const Case cases[] = {
        {u"null", ""},
        {u"  Null  ", "Null"},
        {u"\t null \t", ""},
        {u"NULL", "NULL"},
        {u"nullnull", "nullnull"},
        {u" a b ", "a b"},
        {u" \t ", ""},
        {u"", ""},
    };
    for (const Case& c : cases) EXPECT_STREQ(c.expected, WideToAnsi(Wide(c.text).c_str()));
    EXPECT_STREQ("", WideToAnsi(nullptr));
}

TEST(TextConv, WideToAnsiUsesTheCodePageWithoutLookAlikes) {
    if (!AnsiIsWindows1252()) GTEST_SKIP() << "the ANSI code page is not Windows-1252";
    struct Case {
        std::u16string text;
        const char* expected;
    };
    const Case cases[] = {
        {u"Gr\u00F6\u00DFe \u00DCbung", "Gr\xF6\xDF" "e \xDC" "bung"},
        {u"\u20AC\u201A\u0152\u017E\u0178\u00A0\u00FF", "\x80\x82\x8C\x9E\x9F\xA0\xFF"},
        // The five bytes Windows-1252 leaves unassigned stand for the C1
        // controls of the same number; other C1 controls have no byte.
        {u"\u0081\u008D\u008F\u0090\u009D", "\x81\x8D\x8F\x90\x9D"},
        {u"\u0080\u009F", "??"},
        // No best fit: these are not turned into "A", "L", "8", "/", "\"".
        {u"\u0100\u0141\u221E\uFF0F\uFF02\uFF3C", "??????"},
        // A surrogate pair is two units that the code page cannot hold.
        {u"a\U0001F600b", "a??b"},
        {u"a\xD83D" u"b\xDE00", "a?b?"},
    };
    for (const Case& c : cases) EXPECT_STREQ(c.expected, WideToAnsi(Wide(c.text).c_str()));
}

TEST(TextConv, WideToAnsiRefusesWhatDoesNotFit) {
    EXPECT_EQ(std::string(999, 'x'), WideToAnsi(Wide(std::u16string(999, u'x')).c_str()));
    EXPECT_STREQ("", WideToAnsi(Wide(std::u16string(1000, u'x')).c_str()));
    EXPECT_STREQ("", WideToAnsi(Wide(u" " + std::u16string(999, u'x')).c_str()));
}

// Timings, run by hand:
//   filelib_tests --gtest_also_run_disabled_tests --gtest_filter=*DISABLED_Linear*
// The find text almost matches at each of the first 2999 places, which makes
// a search that compares from every place cost 3000 x 100000 steps; the
// input grows eightfold between the two ReplaceText runs.
TEST(TextConvPerformance, DISABLED_LinearReplaceAndWrap) {
    using Clock = std::chrono::steady_clock;
    auto fastest = [](auto&& run) {
        double best = 1e9;
        for (int i = 0; i < 5; ++i) {
            const auto start = Clock::now();
            run();
            best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        return best;
    };
    const std::string find = Repeat("a", 99999) + "b";
    double previous = 0;
    for (size_t copies : {3u, 24u}) {
        const std::string text = Repeat("a", 2999) + Repeat(find, copies);
        const double ms = fastest([&] { EXPECT_EQ(Repeat("a", 2999), ReplaceText(text.c_str(), find.c_str(), "")); });
        std::printf("ReplaceText, %zu characters: %.3f ms\n", text.size(), ms);
        if (previous > 0) {
            EXPECT_LT(ms / previous, 24.0) << "eight times the input";
        }
        previous = ms;
    }
    for (unsigned width : {10u, 1000u}) {
        const std::string text = Repeat("abcdefgh ", 180);
        const double ms = fastest([&] { EXPECT_STRNE("", WrapText(text.c_str(), false, width)); });
        std::printf("WrapText, %zu characters, width %u: %.4f ms\n", text.size(), width, ms);
    }
}

}  // namespace
