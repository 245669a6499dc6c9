#include "filelib/datetime/datetime_rec.h"

#include "datetime/records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

using datetimetest::Rec;
using datetimetest::Same;
using datetimetest::Show;

// A record with a recognisable pattern in the half that a parser must not touch.
constexpr DATETIMEREC kJunk = {0xABAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB};

using Formatter = const char* (*)(const DATETIMEREC*);

TEST(DateTimeText, Formats) {
    const DATETIMEREC rec = Rec(2005, 3, 7, 9, 5, 0);
    struct Case {
        Formatter format;
        const char* text;
    } cases[] = {
        {FormatDate, "07.03.2005"},
        {FormatTime, "09:05:00"},
        {FormatDateTime, "07.03.2005  09:05:00"},
        {FormatDateDigits, "07032005"},
        {FormatDateDigitsShort, "070305"},
        {FormatDateSortable, "20050307"},
        {FormatTimeDigits, "090500"},
        {FormatDateTimeDigits, "07032005090500"},
        {FormatDateTimeDigitsShort, "070305090500"},
        {FormatDateTimeSortable, "20050307090500"},
    };
    for (const Case& c : cases) EXPECT_STREQ(c.text, c.format(&rec));
}

TEST(DateTimeText, FormatsOfUnusualRecords) {
    struct Case {
        DATETIMEREC rec;
        Formatter format;
        const char* text;
    } cases[] = {
        {Rec(0, 0, 0), FormatDate, "__.__.____"},
        {Rec(0, 5, 7, 1, 2, 3), FormatDate, "__.__.____"},  // any record of year 0
        {Rec(0, 0, 0), FormatDateTime, "__.__.____  00:00:00"},
        {Rec(0, 0, 0), FormatDateDigits, "00000000"},      // only the German form has a placeholder
        {Rec(0, 0, 0), FormatDateSortable, "00000000"},
        {Rec(1999, 12, 31), FormatDateDigitsShort, "311299"},
        {Rec(2000, 1, 1), FormatDateDigitsShort, "010100"},
        {Rec(5, 1, 2), FormatDate, "02.01.0005"},
        // Fields wider than their digits print whole, and the buffers hold them.
        {Rec(65535, 255, 255, 255, 255, 255), FormatDate, "255.255.65535"},
        {Rec(65535, 255, 255, 255, 255, 255), FormatTime, "255:255:255"},
        {Rec(65535, 255, 255, 255, 255, 255), FormatDateTime, "255.255.65535  255:255:255"},
        {Rec(65535, 255, 255, 255, 255, 255), FormatDateTimeDigits, "25525565535255255255"},
        {Rec(65535, 255, 255, 255, 255, 255), FormatDateTimeDigitsShort, "25525563535255255255"},
        {Rec(65535, 255, 255, 255, 255, 255), FormatDateTimeSortable, "65535255255255255255"},
        {Rec(1, 255, 255), FormatDateDigitsShort, "255255-1899"},
        {Rec(2100, 1, 1), FormatDateDigitsShort, "0101100"},
    };
    for (const Case& c : cases) EXPECT_STREQ(c.text, c.format(&c.rec)) << Show(c.rec);
}

TEST(DateTimeText, EachFormatterHasItsOwnBuffer) {
    const Formatter all[] = {FormatDate,         FormatTime,           FormatDateTime,           FormatDateDigits,
                             FormatDateDigitsShort, FormatDateSortable, FormatTimeDigits,        FormatDateTimeDigits,
                             FormatDateTimeDigitsShort, FormatDateTimeSortable};
    const DATETIMEREC a = Rec(2005, 3, 7, 9, 5, 0), b = Rec(1999, 12, 31, 23, 59, 58);
    std::vector<const char*> buffers;
    std::vector<std::string> texts;
    for (Formatter f : all) {
        buffers.push_back(f(&a));
        texts.push_back(f(&a));
    }
    for (size_t i = 0; i < buffers.size(); ++i)
        for (size_t j = i + 1; j < buffers.size(); ++j) EXPECT_NE(buffers[i], buffers[j]) << i << ' ' << j;
    // Formatting another record changes only that formatter's text.
    for (size_t i = 0; i < std::size(all); ++i) {
        all[i](&b);
        EXPECT_NE(texts[i], buffers[i]) << i;
        for (size_t j = i + 1; j < std::size(all); ++j) EXPECT_EQ(texts[j], buffers[j]) << i << ' ' << j;
    }
}

struct ParseCase {
    const char* text;
    bool ok;
    int first, second, third;  // day, month, year or hour, minute, second
};

TEST(DateTimeText, ParseDate) {
    const ParseCase cases[] = {
        {"__.__.____", true, 0, 0, 0},  {"1.2.3", true, 1, 2, 2003},      {"1.2.51", true, 1, 2, 1951},
        {"1.2.50", true, 1, 2, 2050},   {"1.2.0", true, 1, 2, 2000},      {"0.0.0", true, 0, 0, 0},
        {"..", true, 0, 0, 0},          {"0.5.0", true, 0, 5, 0},         {"31.02.2005", true, 31, 2, 2005},
        {"010299", true, 1, 2, 1999},   {"010250", true, 1, 2, 2050},     {"07032005", true, 7, 3, 2005},
        {"20050307", true, 7, 3, 2005}, {"01011899", true, 99, 18, 101},  {"07/03/2005", true, 7, 3, 2005},
        {"07-03-2005", true, 7, 3, 2005}, {"7/03/2005", true, 7, 3, 2005}, {"2005-03-07", true, 7, 3, 2005},
        {"7.3", false, 0, 0, 0},        {"", false, 0, 0, 0},             {"12345", false, 0, 0, 0},
        {"1.2.3.4", false, 0, 0, 0},    {"  \t7.3.2005 \t", true, 7, 3, 2005},
        {"7.3.100", true, 7, 3, 100},   {"7.3.99", true, 7, 3, 1999},     {"0.0.7", true, 0, 0, 2007},
        {"7.0.5", true, 7, 0, 2005},    {"256.3.0", true, 0, 3, 0},       // day's low 8 bits are 0: no year
        {"7.3.-1", true, 7, 3, 65535},  {"7.3.70000", true, 7, 3, 70000 & 0xFFFF},
        {"7. 3. 2005", true, 7, 3, 2005}, {"a.b.c", true, 0, 0, 0},
        {"7.3.99999999999999", true, 7, 3, 0xFFFF},  // atoi that saturates, not overflows
        {"1.1.1234567890", true, 1, 1, 1234567890 & 0xFFFF},
        {"1.1.000000000002005", true, 1, 1, 2005},   // 19 characters: the longest accepted
        {"1.1.0000000000002005", false, 0, 0, 0},    // 20 characters: longer than any date
        {"              1.1.5               ", true, 1, 1, 2005},
    };
    for (const ParseCase& c : cases) {
        std::vector<char> text(c.text, c.text + std::strlen(c.text) + 1);
        DATETIMEREC rec = kJunk;
        EXPECT_EQ(c.ok, ParseDate(&rec, text.data())) << c.text;
        EXPECT_EQ(c.first, rec.bDay) << c.text;
        EXPECT_EQ(c.second, rec.bMonth) << c.text;
        EXPECT_EQ(c.third, rec.wYear) << c.text;
        EXPECT_EQ(0, std::memcmp(&kJunk.bHour, &rec.bHour, 4)) << "time half touched: " << c.text;
    }
    char text[] = " \t07.03.2005  ";
    DATETIMEREC rec;
    ParseDate(&rec, text);
    EXPECT_STREQ("07.03.2005", text) << "the caller's text is trimmed in place";
}

// The ISO form beside the German forms it must not disturb. A text that opens
// with four digits and a dash is read as YYYY-MM-DD or refused; ranges are
// not checked by the parser (as 31.02.2005 shows) but by IsValidDate.
TEST(DateTimeText, ParseDateReadsIsoDates) {
    const struct {
        const char* text;
        bool ok;
        int day, month, year;
        bool valid;  // IsValidDate of what was read
    } cases[] = {
        {"2005-03-07", true, 7, 3, 2005, true},      {"  2005-03-07\t", true, 7, 3, 2005, true},
        {"1999-12-31", true, 31, 12, 1999, true},    {"2004-02-29", true, 29, 2, 2004, true},
        {"0000-00-00", true, 0, 0, 0, true},         {"0099-01-02", true, 2, 1, 99, true},
        {"2005-13-01", true, 1, 13, 2005, false},    {"2005-02-30", true, 30, 2, 2005, false},
        {"2005-00-07", true, 7, 0, 2005, false},     {"2005-3-7", false, 0, 0, 0, true},
        {"2005-03-7", false, 0, 0, 0, true},         {"2005-3-07", false, 0, 0, 0, true},
        {"2005-03-07x", false, 0, 0, 0, true},       {"2005-03-07 09", false, 0, 0, 0, true},
        {"2005-03-0x", false, 0, 0, 0, true},        {"2005-03/07", false, 0, 0, 0, true},
        {"2005-+3-07", false, 0, 0, 0, true},        {"2005- 3-07", false, 0, 0, 0, true},
        {"2005-.3.07", false, 0, 0, 0, true},        {"2005-", false, 0, 0, 0, true},
        {"20050307", true, 7, 3, 2005, true},        {"07-03-2005", true, 7, 3, 2005, true},
        {"7-3-2005", true, 7, 3, 2005, true},        {"07.03.2005", true, 7, 3, 2005, true},
        {"7.3.05", true, 7, 3, 2005, true},          {"070305", true, 7, 3, 2005, true},
        {"31.02.2005", true, 31, 2, 2005, false},    {"2005.03.07", true, 2005 & 0xFF, 3, 2007, false},
    };
    for (const auto& c : cases) {
        std::vector<char> text(c.text, c.text + std::strlen(c.text) + 1);
        DATETIMEREC rec = kJunk;
        EXPECT_EQ(c.ok, ParseDate(&rec, text.data())) << c.text;
        DATETIMEREC expected = kJunk;  // the time half stays as it was
        expected.wYear = uint16_t(c.year);
        expected.bMonth = uint8_t(c.month);
        expected.bDay = uint8_t(c.day);
        EXPECT_TRUE(Same(expected, rec)) << c.text << " -> " << Show(rec);
        EXPECT_EQ(c.valid, IsValidDate(&rec)) << c.text;
    }
}

TEST(DateTimeText, ParseTime) {
    const ParseCase cases[] = {
        {"12:30", false, 0, 0, 0},   {"9:5:0", true, 9, 5, 0},       {"123456", true, 12, 34, 56},
        {"1-23-45", true, 1, 23, 45}, {"09:05:00", true, 9, 5, 0},   {"23.59.59", true, 23, 59, 59},
        {"77:88:99", true, 77, 88, 99}, {"::", true, 0, 0, 0},        {"", false, 0, 0, 0},
        {"1:2:3:4", true, 1, 2, 0},  // three colons: "01:2:3:4" by position
        {" 1:2:3 ", true, 1, 2, 3},   {"300:0:0", true, 300 & 0xFF, 0, 0},
        {"12345", false, 0, 0, 0},    {"0000000000:1:2", true, 0, 1, 2},
        {"1:2:000000000000000000", false, 0, 0, 0},  // 22 characters
    };
    for (const ParseCase& c : cases) {
        std::vector<char> text(c.text, c.text + std::strlen(c.text) + 1);
        DATETIMEREC rec = kJunk;
        EXPECT_EQ(c.ok, ParseTime(&rec, text.data())) << c.text;
        EXPECT_EQ(c.first, rec.bHour) << c.text;
        EXPECT_EQ(c.second, rec.bMinute) << c.text;
        EXPECT_EQ(c.third, rec.bSecond) << c.text;
        EXPECT_EQ(0, rec.bReserved) << c.text;
        EXPECT_EQ(0, std::memcmp(&kJunk, &rec, 4)) << "date half touched: " << c.text;
    }
}

TEST(DateTimeText, ParseDateTime) {
    struct Case {
        std::string text;
        bool ok;
        DATETIMEREC rec;
    } cases[] = {
        {"07.03.2005  09:05:00", true, Rec(2005, 3, 7, 9, 5, 0)},
        {"070305090500", true, Rec(2005, 3, 7, 9, 5, 0)},
        {"07032005090500", true, Rec(2005, 3, 7, 9, 5, 0)},
        {"20050307090500", true, Rec(2005, 3, 7, 9, 5, 0)},
        {"1.1.05 12:00", false, Rec(0, 0, 0)},  // 12 characters: cut after the sixth
        {"  7.3.2005   9:05:00", true, Rec(2005, 3, 7, 9, 5, 0)},
        {"7.3.2005", false, Rec(0, 0, 0)},
        {"7.3.2005\t9:05:00", false, Rec(0, 0, 0)},  // a tab does not separate here
        {"7.3.2005 \t9:05:00\t", true, Rec(2005, 3, 7, 9, 5, 0)},
        {"7.3.2005 12:30", false, Rec(0, 0, 0)},  // the time fails: nothing is kept
        {"7.3 9:05:00", false, Rec(0, 0, 0)},
        {"", false, Rec(0, 0, 0)},
        {"            ", false, Rec(0, 0, 0)},
        {"   ", false, Rec(0, 0, 0)},
        {"7.3.2005 9:05:00 extra", true, Rec(2005, 3, 7, 9, 5, 0)},  // numbers end at a non-digit
        {"2005-03-07 09:05:00", true, Rec(2005, 3, 7, 9, 5, 0)},
        {"  2005-03-07   9:05:00 ", true, Rec(2005, 3, 7, 9, 5, 0)},
        {"2005-12-31 23:59:59", true, Rec(2005, 12, 31, 23, 59, 59)},
        {"2005-3-7 09:05:00", false, Rec(0, 0, 0)},
        {"2005-03-07x 09:05:00", false, Rec(0, 0, 0)},
        {"2005-03-07T09:05:00", false, Rec(0, 0, 0)},  // no blank between the parts
        {"2005-03-07 09:05", false, Rec(0, 0, 0)},
        {"7.3.2005" + std::string(88, ' ') + "9:05:00", true, Rec(2005, 3, 7, 9, 5, 0)},   // 103 characters
        {"7.3.2005" + std::string(89, ' ') + "9:05:00", false, Rec(0, 0, 0)},              // 104
        {std::string(5000, '7') + " 9:05:00", false, Rec(0, 0, 0)},
    };
    for (const Case& c : cases) {
        DATETIMEREC rec = kJunk;
        const std::string copy = c.text;
        EXPECT_EQ(c.ok, ParseDateTime(&rec, c.text.c_str())) << '[' << c.text << ']';
        EXPECT_TRUE(Same(c.rec, rec)) << '[' << c.text << "] " << Show(rec);
        EXPECT_EQ(copy, c.text) << "the text is not changed";
    }
}

TEST(DateTimeText, FormsReadBackToTheSameRecord) {
    struct Form {
        Formatter format;
        bool hasYear;  // false: only years 1951-2050 read back
    } forms[] = {{FormatDateTime, true},
                 {FormatDateTimeDigits, true},
                 {FormatDateTimeDigitsShort, false},
                 {FormatDateTimeSortable, true}};
    std::mt19937 gen(7032005);
    auto pick = [&gen](int from, int to) { return std::uniform_int_distribution<int>(from, to)(gen); };
    for (int i = 0; i < 2000; ++i) {
        const int y = pick(1951, 2050);
        const int m = pick(1, 12);
        DATETIMEREC rec = Rec(y, m, 1, pick(0, 23), pick(0, 59), pick(0, 59));
        rec.bDay = uint8_t(pick(1, DaysInMonth(&rec)));
        for (const Form& f : forms) {
            DATETIMEREC back = kJunk;
            const char* text = f.format(&rec);
            ASSERT_TRUE(ParseDateTime(&back, text)) << text;
            ASSERT_TRUE(Same(rec, back)) << text << " -> " << Show(back);
        }
        char date[kMaxDateOrTimeText + 1];
        std::snprintf(date, sizeof date, "%s", FormatDate(&rec));
        DATETIMEREC back = rec;
        ASSERT_TRUE(ParseDate(&back, date));
        ASSERT_TRUE(Same(rec, back)) << date;
    }
}

}  // namespace
