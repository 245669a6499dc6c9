#include "filelib/amount/amount.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int64_t kMaxHundredths = int64_t(INT32_MAX) * 100 + 99;

// The amount that a signed count of hundredths stands for, built field by
// field so it does not depend on the operations under test.
CAmount Exact(int64_t hundredths) {
    const int64_t magnitude = hundredths < 0 ? -hundredths : hundredths;
    return CAmount(int(magnitude / 100), uint8_t(magnitude % 100), hundredths < 0 ? 1 : 0);
}

::testing::AssertionResult Same(const CAmount& actual, const CAmount& expected) {
    if (actual.IsEqual(expected)) return ::testing::AssertionSuccess();
    std::string a = actual.Format();
    return ::testing::AssertionFailure() << "got " << a << " (digits " << actual.FormatDigits() << "), expected "
                                         << expected.Format();
}

// Amounts of every size: small ones, ones near the range of int hundredths
// and near the largest magnitude.
std::vector<int64_t> GeneratedHundredths(size_t count, uint32_t seed) {
    std::mt19937_64 random(seed);
    const int64_t limits[] = {99, 100000, int64_t(INT32_MAX), kMaxHundredths / 2};
    std::vector<int64_t> values;
    for (size_t i = 0; i < count; ++i) {
        const int64_t limit = limits[i % 4];
        int64_t n = int64_t(random() % uint64_t(limit + 1));
        if (random() & 1) n = -n;
        values.push_back(n);
    }
    return values;
}

TEST(Amount, FormatGroupsThousandsWithDots) {
    struct Case {
        CAmount amount;
        const char* text;
        const char* digits;
    };
    const Case cases[] = {
        {CAmount(1234567, 89, 0), "1.234.567,89", "123456789"},
        {CAmount(0, 5, 0), "0,05", "005"},
        {CAmount(1000, 0, 1), "-1.000,00", "-100000"},
        {CAmount(999, 0, 0), "999,00", "99900"},
        {CAmount(100, 0, 0), "100,00", "10000"},
        {CAmount(1000, 0, 0), "1.000,00", "100000"},
        {CAmount(12345, 0, 0), "12.345,00", "1234500"},
        {CAmount(123456, 7, 0), "123.456,07", "12345607"},
        {CAmount(1000000, 0, 0), "1.000.000,00", "100000000"},
        {CAmount(12, 5, 0), "12,05", "1205"},
        {CAmount(0, 50, 1), "-0,50", "-050"},
        {CAmount(INT32_MAX, 99, 1), "-2.147.483.647,99", "-214748364799"},
        {CAmount(), "0,00", ""},
        {CAmount(0, 0, 1), "0,00", ""},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(c.text, c.amount.Format());
        EXPECT_STREQ(c.digits, c.amount.FormatDigits());
    }
}

TEST(Amount, FormatStaysInItsBufferForUncheckedFields) {
    // Only the unchecked constructor builds these; the texts must still fit.
    EXPECT_STREQ("--2.147.483.648,255", CAmount(INT32_MIN, 255, 1).Format());
    EXPECT_STREQ("-2147483648255", CAmount(INT32_MIN, 255, 0).FormatDigits());
    EXPECT_STREQ("-1.234,05", CAmount(-1234, 5, 0).Format());
}

TEST(Amount, FormatReturnsOneBufferPerOperation) {
    const char* first = CAmount(1, 0, 0).Format();
    const char* second = CAmount(2, 0, 0).Format();
    EXPECT_EQ(first, second);
    EXPECT_STREQ("2,00", first);
    const char* digits = CAmount(3, 0, 0).FormatDigits();
    EXPECT_STREQ("2,00", first);
    EXPECT_STREQ("300", digits);
}

TEST(Amount, ParseReadsTheLastTwoDigitsAsHundredths) {
    const std::string leadingZeros(40, '0');
    struct Case {
        const char* text;
        CAmount expected;
    };
    const std::string longText = leadingZeros + "1,50";
    const Case cases[] = {
        {"1.234,56", CAmount(1234, 56, 0)},
        {"12,50", CAmount(12, 50, 0)},
        {"12,5", CAmount(1, 25, 0)},
        {"12", CAmount(0, 12, 0)},
        {"5", CAmount(0, 5, 0)},
        {"1205", CAmount(12, 5, 0)},
        {"-12,5", CAmount(1, 25, 1)},
        {"+12,50", CAmount(12, 50, 0)},
        {".-,1.2,3", CAmount(1, 23, 1)},
        {"-0,00", CAmount(0, 0, 1)},
        {"-", CAmount(0, 0, 1)},
        {"", CAmount()},
        {"2.147.483.647,99", CAmount(INT32_MAX, 99, 0)},
        // Leading zeros of any number do not cut the amount short.
        {longText.c_str(), CAmount(1, 50, 0)},
        // Beyond the largest amount: clamped.
        {"2.147.483.648,00", CAmount(INT32_MAX, 99, 0)},
        {"-99.999.999.999.999.999.999.999.999,99", CAmount(INT32_MAX, 99, 1)},
        // Reading stops at the first character that is not a digit, as atoi.
        {"12a34", CAmount(12, 34, 0)},
        {"12-5", CAmount(12, 0, 0)},
        {"--1234", CAmount(0, 34, 1)},
        {" 12,34", CAmount(12, 34, 0)},
        {"abc", CAmount()},
    };
    for (const Case& c : cases) {
        CAmount amount(7, 7, 1);
        EXPECT_TRUE(Same(amount.Parse(c.text), c.expected)) << "text \"" << c.text << '"';
    }
    CAmount amount(7, 7, 1);
    EXPECT_TRUE(Same(amount.Parse(nullptr), CAmount()));
}

TEST(Amount, NegativeZeroFromParseIsZeroButNotEqualToZero) {
    CAmount negativeZero;
    negativeZero.Parse("-0,00");
    EXPECT_TRUE(negativeZero.IsZero());
    EXPECT_FALSE(negativeZero.IsEqual(CAmount()));
    EXPECT_STREQ("0,00", negativeZero.Format());
    EXPECT_EQ(0, negativeZero.GetCents());
}

TEST(Amount, SetValueDropsHalfAHundredth) {
    struct Case {
        double value;
        int64_t hundredths;
    };
    const Case cases[] = {
        {2.345, 234},
        {2.346, 235},
        {-2.346, -235},
        {0.005, 0},
        {0.006, 1},
        {-0.006, -1},
        {-0.001, 0},
        {-0.0, 0},
        {12.5, 1250},
        {21474836.47, 2147483647},
        {-21474836.48, -2147483648LL},
        // Beyond int hundredths, exact up to the largest amount.
        {1000000000.25, 100000000025LL},
        {1e12, kMaxHundredths},
        {-1e300, -kMaxHundredths},
        {std::numeric_limits<double>::infinity(), kMaxHundredths},
        {-std::numeric_limits<double>::infinity(), -kMaxHundredths},
        {std::nan(""), 0},
    };
    for (const Case& c : cases) {
        CAmount amount(7, 7, 1);
        EXPECT_TRUE(Same(amount.SetValue(c.value), Exact(c.hundredths))) << c.value;
    }
}

TEST(Amount, SetWholeAndSetCentsSplitTheMagnitude) {
    CAmount amount;
    EXPECT_TRUE(Same(amount.SetCents(-5), CAmount(0, 5, 1)));
    EXPECT_TRUE(Same(amount.SetCents(0), CAmount()));
    EXPECT_TRUE(Same(amount.SetCents(123456), CAmount(1234, 56, 0)));
    EXPECT_TRUE(Same(amount.SetCents(INT32_MIN), CAmount(21474836, 48, 1)));
    EXPECT_TRUE(Same(amount.SetWhole(-7), CAmount(7, 0, 1)));
    EXPECT_TRUE(Same(amount.SetWhole(0), CAmount()));
    EXPECT_TRUE(Same(amount.SetWhole(INT32_MAX), CAmount(INT32_MAX, 0, 0)));
    // 2147483648 units do not fit the whole part: the largest amount.
    EXPECT_TRUE(Same(amount.SetWhole(INT32_MIN), CAmount(INT32_MAX, 99, 1)));
}

TEST(Amount, GetCentsAndGetValue) {
    EXPECT_EQ(-1205, CAmount(12, 5, 1).GetCents());
    EXPECT_DOUBLE_EQ(-12.05, CAmount(12, 5, 1).GetValue());
    EXPECT_EQ(INT32_MAX, CAmount(21474836, 47, 0).GetCents());
    EXPECT_EQ(INT32_MIN, CAmount(21474836, 48, 1).GetCents());
    // Beyond int: clamped, while the value stays exact.
    EXPECT_EQ(INT32_MAX, CAmount(21474836, 48, 0).GetCents());
    EXPECT_EQ(INT32_MIN, CAmount(INT32_MAX, 99, 1).GetCents());
    EXPECT_DOUBLE_EQ(1000000000.5, CAmount(1000000000, 50, 0).GetValue());
}

TEST(Amount, AddAndSubtractKeepTheSignFlagRules) {
    CAmount a;
    EXPECT_TRUE(Same(a.Parse("0,30").Subtract(CAmount(1, 20, 0)), CAmount(0, 90, 1)));
    EXPECT_TRUE(Same(a.Parse("1,20").Subtract(CAmount(0, 30, 0)), CAmount(0, 90, 0)));
    EXPECT_TRUE(Same(a.Parse("-1,20").Add(CAmount(1, 20, 0)), CAmount()));
    EXPECT_TRUE(Same(a.Parse("-1,20").Subtract(CAmount(1, 20, 1)), CAmount()));
    EXPECT_TRUE(Same(a.Parse("1,99").Add(CAmount(0, 1, 0)), CAmount(2, 0, 0)));
    EXPECT_TRUE(Same(a.Parse("-1,99").Add(CAmount(0, 2, 1)), CAmount(2, 1, 1)));
    EXPECT_TRUE(Same(a.Parse("2,01").Add(CAmount(0, 2, 1)), CAmount(1, 99, 0)));
    // Two negative zeros keep their sign flag; zero and a negative zero do not.
    EXPECT_TRUE(Same(a.Parse("-0").Add(CAmount(0, 0, 1)), CAmount(0, 0, 1)));
    EXPECT_TRUE(Same(a.Parse("-0").Add(CAmount()), CAmount()));
}

TEST(Amount, AddAndSubtractAgreeWithExactHundredths) {
    const std::vector<int64_t> as = GeneratedHundredths(4000, 1);
    const std::vector<int64_t> bs = GeneratedHundredths(4000, 2);
    for (size_t i = 0; i < as.size(); ++i) {
        CAmount sum(Exact(as[i]));
        ASSERT_TRUE(Same(sum.Add(Exact(bs[i])), Exact(as[i] + bs[i]))) << as[i] << " + " << bs[i];
        CAmount difference(Exact(as[i]));
        ASSERT_TRUE(Same(difference.Subtract(Exact(bs[i])), Exact(as[i] - bs[i]))) << as[i] << " - " << bs[i];
    }
}

TEST(Amount, AddBeyondTheLargestAmountIsClamped) {
    const CAmount largest(INT32_MAX, 99, 0);
    const CAmount smallest(INT32_MAX, 99, 1);
    CAmount a(largest);
    EXPECT_TRUE(Same(a.Add(CAmount(0, 1, 0)), largest));
    EXPECT_TRUE(Same(a.Add(largest), largest));
    a = smallest;
    EXPECT_TRUE(Same(a.Subtract(largest), smallest));
    a = largest;
    EXPECT_TRUE(Same(a.Add(smallest), CAmount()));
}

TEST(Amount, ComparisonsAgreeWithExactHundredths) {
    std::vector<int64_t> as = GeneratedHundredths(3000, 3);
    std::vector<int64_t> bs = GeneratedHundredths(3000, 4);
    // Equal amounts and amounts of equal magnitude, and the extremes.
    for (size_t i = 0; i < 300; ++i) bs[i] = as[i];
    for (size_t i = 300; i < 600; ++i) bs[i] = -as[i];
    as.insert(as.end(), {kMaxHundredths, -kMaxHundredths, kMaxHundredths, 0, 1});
    bs.insert(bs.end(), {-kMaxHundredths, kMaxHundredths, kMaxHundredths - 1, -1, 0});
    for (size_t i = 0; i < as.size(); ++i) {
        const CAmount a = Exact(as[i]);
        const CAmount b = Exact(bs[i]);
        SCOPED_TRACE(std::to_string(as[i]) + " against " + std::to_string(bs[i]));
        ASSERT_EQ(as[i] < bs[i], a.IsLess(b));
        ASSERT_EQ(as[i] > bs[i], a.IsGreater(b));
        ASSERT_EQ(as[i] <= bs[i], a.IsLessOrEqual(b));
        ASSERT_EQ(as[i] >= bs[i], a.IsGreaterOrEqual(b));
        ASSERT_EQ(as[i] == bs[i], a.IsEqual(b));
    }
}

TEST(Amount, ComparisonsOfTheListedAmounts) {
    CAmount a;
    a.Parse("0,30");
    EXPECT_TRUE(a.IsLess(CAmount(1, 20, 0)));
    EXPECT_FALSE(a.IsGreater(CAmount(1, 20, 0)));
    a.Parse("-1,20");
    EXPECT_FALSE(a.IsLess(CAmount(1, 20, 1)));
    EXPECT_FALSE(a.IsGreater(CAmount(1, 20, 1)));
    EXPECT_TRUE(a.IsLessOrEqual(CAmount(1, 20, 1)));
    EXPECT_TRUE(a.IsGreaterOrEqual(CAmount(1, 20, 1)));
}

TEST(Amount, FormatAndFormatDigitsReadBack) {
    std::vector<int64_t> values = GeneratedHundredths(4000, 5);
    values.insert(values.end(), {0, 1, -1, 99, -100, kMaxHundredths, -kMaxHundredths});
    // Whole parts of every digit count.
    for (int64_t whole = 1; whole <= INT32_MAX; whole *= 10) values.push_back(whole * 100 + 1);
    for (int64_t n : values) {
        const CAmount amount = Exact(n);
        CAmount read(7, 7, 1);
        ASSERT_TRUE(Same(read.Parse(amount.Format()), amount)) << amount.Format();
        read = CAmount(7, 7, 1);
        ASSERT_TRUE(Same(read.Parse(amount.FormatDigits()), amount)) << amount.FormatDigits();
    }
}

TEST(Amount, MultiplyAndDivideRoundLikeSetValue) {
    CAmount a;
    EXPECT_TRUE(Same(a.Parse("0,10").Multiply(3), CAmount(0, 30, 0)));
    EXPECT_TRUE(Same(a.Parse("1,00").Divide(3), CAmount(0, 33, 0)));
    EXPECT_TRUE(Same(a.Parse("-1,00").Divide(3.0), CAmount(0, 33, 1)));
    EXPECT_TRUE(Same(a.Parse("2,00").Multiply(-1.5), CAmount(3, 0, 1)));
    EXPECT_TRUE(Same(a.Parse("0,01").Multiply(0.5), CAmount()));
    EXPECT_TRUE(Same(a.Parse("-12,34").Multiply(0), CAmount()));
    // Products beyond the largest amount are clamped.
    EXPECT_TRUE(Same(a.Parse("20.000.000,00").Multiply(1000), CAmount(INT32_MAX, 99, 0)));
    EXPECT_TRUE(Same(a.Parse("1.000.000.000,00").Multiply(3), CAmount(INT32_MAX, 99, 0)));
    EXPECT_TRUE(Same(a.Parse("1,00").Multiply(std::nan("")), CAmount()));
}

TEST(Amount, DivideByZeroGivesZero) {
    CAmount a;
    EXPECT_TRUE(Same(a.Parse("12,34").Divide(0), CAmount()));
    EXPECT_TRUE(Same(a.Parse("-12,34").Divide(0.0), CAmount()));
    EXPECT_TRUE(Same(a.Parse("12,34").Divide(-0.0), CAmount()));
    EXPECT_TRUE(Same(a.Parse("-0").Divide(0), CAmount()));
    // A divisor so small that its reciprocal is infinite is no zero.
    EXPECT_TRUE(Same(a.Parse("12,34").Divide(1e-320), CAmount(INT32_MAX, 99, 0)));
}

}  // namespace
