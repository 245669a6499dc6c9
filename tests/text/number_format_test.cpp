#include "filelib/text/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

TEST(NumberFormat, DecimalsAndTrailingZeros) {
    struct Case {
        double value;
        int decimals;
        bool strip;
        bool fill;
        const char* expected;
    };
    const Case cases[] = {
        {2.5, 2, false, false, "2.50"},
        {2.5, 2, true, false, "2.5"},
        {2.5, 2, true, true, "2.5 "},
        {3.0, 2, true, false, "3"},
        {3.0, 2, true, true, "3   "},
        {100, 0, true, false, "100"},
        {1000, 2, true, false, "1000"},
        {10, 3, true, true, "10    "},
        {0.0, 2, true, false, "0"},
        {1.25, -1, false, false, "1.250000"},
        {1.25, -1, true, false, "1.25"},
        {1.25, -7, true, true, "1.25    "},
        {-2.5, 3, true, true, "-2.5  "},
        {1.05, 1, false, false, "1.1"},
        {2.675, 2, false, false, "2.67"},
        {1e20, 2, false, false, "100000000000000000000.00"},
        {1.5, 0, false, false, "2"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(c.expected, FormatNumber(c.value, c.decimals, c.strip, c.fill))
            << c.value << " with " << c.decimals << " decimals, strip " << c.strip << ", fill " << c.fill;
    }
}

TEST(NumberFormat, InfinityAndNaNAreSpelledTheSameEverywhere) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_STREQ("inf", FormatNumber(inf, 2, false, false));
    EXPECT_STREQ("-inf", FormatNumber(-inf, 2, true, true));
    EXPECT_STREQ("nan", FormatNumber(std::nan(""), 2, true, false));
    EXPECT_STREQ("nan", FormatNumber(-std::nan(""), -1, false, false));
}

TEST(NumberFormat, TextsOfAHundredCharactersAreRefused) {
    EXPECT_EQ(99u, std::strlen(FormatNumber(1e95, 2, false, false)));
    EXPECT_STREQ("", FormatNumber(1e96, 2, false, false));
    EXPECT_EQ(99u, std::strlen(FormatNumber(0.5, 97, false, false)));
    EXPECT_STREQ("", FormatNumber(0.5, 98, true, false));
    EXPECT_STREQ("", FormatNumber(1e300, 2, false, false));
    EXPECT_STREQ("", FormatNumber(1.0, 1 << 30, false, false));
}

TEST(NumberFormat, EveryCallOverwritesTheOneBuffer) {
    const char* first = FormatNumber(1.5, 1, false, false);
    const char* second = FormatNumber(22.75, 2, false, false);
    EXPECT_EQ(first, second);
    EXPECT_STREQ("22.75", first);
}

}  // namespace
