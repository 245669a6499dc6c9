// An amount of money with exactly two decimal places, held as a whole part,
// hundredths and a sign flag, read and written in German notation
// ("1.234.567,89").
#pragma once

#include <cstdint>

// Every operation that builds an amount keeps its magnitude within
// 2.147.483.647,99, the largest one the fields hold: results beyond it are
// clamped to it. Only the unchecked constructor can build other values.
class CAmount {
public:
    CAmount() = default;
    // Stored as given, unchecked.
    CAmount(int nWhole, uint8_t nCents, uint8_t bNegative);

    CAmount& Copy(const CAmount& other);
    CAmount& SetWhole(int n);
    // n is a signed count of hundredths.
    CAmount& SetCents(int n);
    // Rounds to hundredths, dropping a remainder of up to half a hundredth:
    // 2.345 gives 2,34 and 2.346 gives 2,35. NaN gives zero.
    CAmount& SetValue(double x);
    // The last two digits are the hundredths wherever a comma stands; '.'
    // and ',' are left out anywhere. "-" before the digits makes the amount
    // negative, also when it is zero.
    CAmount& Parse(const char* text);

    // Signed count of hundredths, clamped to the range of int.
    int GetCents() const;
    double GetValue() const;
    // "1.234,50", "-0,05", "0,00". Static buffer, valid until the next call.
    const char* Format() const;
    // "123450", "-005", "" for zero. Static buffer, valid until the next call.
    const char* FormatDigits() const;

    // Zero whatever the sign flag says.
    bool IsZero() const;
    // All three fields: a negative zero from Parse("-0") is not equal to zero.
    bool IsEqual(const CAmount& other) const;
    bool IsLess(const CAmount& other) const;
    bool IsGreater(const CAmount& other) const;
    bool IsLessOrEqual(const CAmount& other) const;
    bool IsGreaterOrEqual(const CAmount& other) const;

    CAmount& Add(const CAmount& other);
    CAmount& Subtract(const CAmount& other);
    // Products and quotients are rounded like SetValue.
    CAmount& Multiply(double factor);
    CAmount& Multiply(int factor);
    // A divisor of 0 makes the amount zero: there is no amount to give.
    CAmount& Divide(double divisor);
    CAmount& Divide(int divisor);

private:
    int64_t Hundredths() const;
    void SetHundredths(int64_t n);

    int32_t m_nWhole = 0;
    uint8_t m_nCents = 0;
    uint8_t m_bNegative = 0;
};
