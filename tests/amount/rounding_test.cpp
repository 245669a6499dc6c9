#include "filelib/amount/rounding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(Rounding, RoundToIntHalfAwayFromZero) {
    struct Case {
        double x;
        int expected;
    };
    const Case cases[] = {
        {0.5, 1},
        {-0.5, -1},
        {0.49, 0},
        {-0.49, 0},
        {2.5, 3},
        {-2.5, -3},
        {2.4999, 2},
        {0.0, 0},
        {-7.51, -8},
        {2147483646.5, INT32_MAX},
        {-2147483647.5, INT32_MIN},
        // Beyond int: clamped; NaN has no nearer integer than 0.
        {2147483647.5, INT32_MAX},
        {1e10, INT32_MAX},
        {-1e10, INT32_MIN},
        {kInf, INT32_MAX},
        {-kInf, INT32_MIN},
        {std::nan(""), 0},
        // Just below one half: adding 0.5 in floating point would give 1.
        {0.49999999999999994, 0},
        {-0.49999999999999994, 0},
        {std::nextafter(2.5, 0.0), 2},
        {std::nextafter(-2.5, 0.0), -2},
        {std::nextafter(2.5, 3.0), 3},
        {1.5, 2},
        {-1.5, -2},
        {4503599.5, 4503600},
        {std::nextafter(4503599.5, 0.0), 4503599},
        {5e-324, 0},
        {-0.0, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, RoundToInt(c.x)) << std::hexfloat << c.x;
}

TEST(Rounding, RoundToPlacesByCode) {
    struct Case {
        double x;
        int places;
        double expected;
    };
    const Case cases[] = {
        {2.345, 2, 2.35},
        {1234.5, -2, 1200},
        {1250, -2, 1300},
        {-1250, -2, -1300},
        {7.7, 9, 8},
        {7.7, -4, 8},
        {7.5, 0, 8},
        {15, -1, 20},
        {-15, -1, -20},
        {1499, -3, 1000},
        {1500, -3, 2000},
        {1234.5678, 1, 1234.6},
        {-1234.5678, 1, -1234.6},
        {1234.5678, 3, 1234.568},
        // Beyond the range of int the value is still rounded, not clamped.
        {1e12 + 0.5, 0, 1e12 + 1},
        {3e9 + 0.25, 1, 3e9 + 0.3},
        {4503599627370497.0, 0, 4503599627370497.0},
        {-4503599627370497.0, 0, -4503599627370497.0},
        {0.49999999999999994, 0, 0},
        {2251799813685247.5, 0, 2251799813685248.0},
        {-2251799813685247.5, 0, -2251799813685248.0},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(c.expected, RoundToPlaces(c.x, c.places)) << c.x << " to " << c.places;
    }
    EXPECT_TRUE(std::isnan(RoundToPlaces(std::nan(""), 2)));
    EXPECT_EQ(kInf, RoundToPlaces(kInf, 2));
    EXPECT_EQ(-kInf, RoundToPlaces(-kInf, -3));
}

TEST(Rounding, HexToIntReadsUpperCaseDigits) {
    struct Case {
        const char* text;
        int expected;
    };
    const Case cases[] = {
        {"FF", 255},
        {"1A2B", 6699},
        {"", 0},
        {"0", 0},
        {"7FFFFFFF", INT32_MAX},
        // Only the low 32 bits are kept.
        {"FFFFFFFF", -1},
        {"80000000", INT32_MIN},
        {"123456789", 0x23456789},
        // Reading stops at the first character that is no digit.
        {"ff", 0},
        {"1G", 1},
        {"0x1F", 0},
        {"12 34", 0x12},
        {"A\xC4", 10},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, HexToInt(c.text)) << '"' << c.text << '"';
    EXPECT_NE(255, HexToInt("ff"));
    EXPECT_EQ(0, HexToInt(nullptr));
}

TEST(Rounding, HexPairToByteUpperCasesInPlace) {
    struct Case {
        const char* text;
        int expected;
        const char* after;
    };
    const Case cases[] = {
        {"ff", 255, "FF"},
        {"0a", 10, "0A"},
        {"7F", 127, "7F"},
        {"00", 0, "00"},
        {"abc", 0xAB, "ABC"},
        // Other characters by the same rule: 'Z' counts 35.
        {"z9", (35 * 16 + 9) & 0xFF, "Z9"},
        {"a", 10, "A"},
        {"", 0, ""},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(c.expected, HexPairToByte(&text[0])) << '"' << c.text << '"';
        EXPECT_EQ(c.after, text);
    }
    EXPECT_EQ(0, HexPairToByte(nullptr));
}

}  // namespace
