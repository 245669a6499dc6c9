#include "filelib/amount/amount.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr int64_t kMaxWhole = INT32_MAX;
constexpr int64_t kMaxHundredths = kMaxWhole * 100 + 99;

int64_t ClampMagnitude(int64_t magnitude) { return magnitude > kMaxHundredths ? kMaxHundredths : magnitude; }

bool IsSeparator(char c) { return c == '.' || c == ','; }

const char* SkipSeparators(const char* p) {
    while (IsSeparator(*p)) ++p;
    return p;
}

// The text from p on with the separators left out: count of characters.
size_t CountWithoutSeparators(const char* p) {
    size_t count = 0;
    for (; *p != 0; ++p) count += IsSeparator(*p) ? 0 : 1;
    return count;
}

// Moves past `count` characters that are not separators.
const char* Advance(const char* p, size_t count) {
    for (; count > 0; --count) p = SkipSeparators(p) + 1;
    return p;
}

bool IsAtoiBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Reads the next `count` characters that are not separators as the runtime's
// atoi does (leading white space, a sign, digits up to the first other
// character), but stops growing past kMaxWhole instead of overflowing.
int64_t ReadNumber(const char* p, size_t count) {
    auto next = [&p, &count]() -> char {
        if (count == 0) return 0;
        --count;
        p = SkipSeparators(p);
        return *p++;
    };
    char c = next();
    while (IsAtoiBlank(c)) c = next();
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        c = next();
    }
    int64_t value = 0;
    for (; c >= '0' && c <= '9'; c = next()) {
        if (value <= kMaxWhole) value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

// Puts a '.' between the groups of three digits of a "%i" text, counted from
// the right; a leading '-' is not a digit.
void GroupThousands(const char* digits, char* out) {
    if (*digits == '-') *out++ = *digits++;
    const size_t length = std::strlen(digits);
    for (size_t p = 0; p < length; ++p) {
        if (p > 0 && (length - p) % 3 == 0) *out++ = '.';
        *out++ = digits[p];
    }
    *out = 0;
}

}  // namespace

CAmount::CAmount(int nWhole, uint8_t nCents, uint8_t bNegative)
    : m_nWhole(nWhole), m_nCents(nCents), m_bNegative(bNegative) {}

CAmount& CAmount::Copy(const CAmount& other) {
    *this = other;
    return *this;
}

int64_t CAmount::Hundredths() const {
    const int64_t magnitude = int64_t(m_nWhole) * 100 + m_nCents;
    return m_bNegative != 0 ? -magnitude : magnitude;
}

void CAmount::SetHundredths(int64_t n) {
    const int64_t magnitude = ClampMagnitude(n < 0 ? -n : n);
    m_bNegative = n < 0 ? 1 : 0;
    m_nWhole = int32_t(magnitude / 100);
    m_nCents = uint8_t(magnitude % 100);
}

CAmount& CAmount::SetWhole(int n) {
    SetHundredths(int64_t(n) * 100);
    return *this;
}

CAmount& CAmount::SetCents(int n) {
    SetHundredths(n);
    return *this;
}

CAmount& CAmount::SetValue(double x) {
    if (std::isnan(x)) {
        SetHundredths(0);
        return *this;
    }
    const double v = x * 100.0;
    double n = v < 0 ? -std::trunc(-v + 0.49) : std::trunc(v + 0.49);
    // Compared as doubles: beyond the range the conversion would be undefined.
    const double limit = double(kMaxHundredths);
    if (n > limit) n = limit;
    if (n < -limit) n = -limit;
    SetHundredths(int64_t(n));
    return *this;
}

CAmount& CAmount::Parse(const char* text) {
    *this = CAmount();
    if (text == nullptr) return *this;
    const char* p = SkipSeparators(text);
    if (*p == '-') {
        m_bNegative = 1;
        ++p;
    }
    const size_t length = CountWithoutSeparators(p);
    const size_t wholeLength = length < 3 ? 0 : length - 2;
    const int64_t whole = ReadNumber(p, wholeLength);
    const int64_t cents = ReadNumber(Advance(p, wholeLength), length - wholeLength);
    if (whole > kMaxWhole) {
        m_nWhole = int32_t(kMaxWhole);
        m_nCents = 99;
        return *this;
    }
    // A second sign inside the digits is no part of an amount.
    m_nWhole = whole < 0 ? 0 : int32_t(whole);
    m_nCents = cents < 0 ? 0 : uint8_t(cents);
    return *this;
}

int CAmount::GetCents() const {
    const int64_t n = Hundredths();
    if (n > INT32_MAX) return INT32_MAX;
    if (n < INT32_MIN) return INT32_MIN;
    return int(n);
}

double CAmount::GetValue() const { return double(Hundredths()) / 100.0; }

const char* CAmount::Format() const {
    static char result[32];
    if (IsZero()) {
        std::memcpy(result, "0,00", 5);
        return result;
    }
    char digits[16];
    std::snprintf(digits, sizeof digits, "%i", int(m_nWhole));
    char grouped[24];
    GroupThousands(digits, grouped);
    std::snprintf(result, sizeof result, m_bNegative != 0 ? "-%s,%02i" : "%s,%02i", grouped, int(m_nCents));
    return result;
}

const char* CAmount::FormatDigits() const {
    static char result[32];
    result[0] = 0;
    if (!IsZero()) {
        std::snprintf(result, sizeof result, m_bNegative != 0 ? "-%i%02i" : "%i%02i", int(m_nWhole), int(m_nCents));
    }
    return result;
}

bool CAmount::IsZero() const { return m_nWhole == 0 && m_nCents == 0; }

bool CAmount::IsEqual(const CAmount& other) const {
    return m_nWhole == other.m_nWhole && m_nCents == other.m_nCents && m_bNegative == other.m_bNegative;
}

bool CAmount::IsLess(const CAmount& other) const {
    CAmount difference(*this);
    return difference.Subtract(other).m_bNegative != 0;
}

bool CAmount::IsGreater(const CAmount& other) const {
    CAmount difference(other);
    return difference.Subtract(*this).m_bNegative != 0;
}

bool CAmount::IsLessOrEqual(const CAmount& other) const { return IsEqual(other) || IsLess(other); }

bool CAmount::IsGreaterOrEqual(const CAmount& other) const { return IsEqual(other) || IsGreater(other); }

CAmount& CAmount::Add(const CAmount& other) {
    // Exact in 64 bits; the sign is taken before the magnitude is clamped,
    // so comparisons stay right at the edges of the range.
    const int64_t sum = Hundredths() + other.Hundredths();
    const bool keepNegativeZero = sum == 0 && m_bNegative != 0 && other.m_bNegative != 0;
    SetHundredths(sum);
    if (keepNegativeZero) m_bNegative = 1;
    return *this;
}

CAmount& CAmount::Subtract(const CAmount& other) {
    CAmount negated(other);
    negated.m_bNegative = other.m_bNegative != 0 ? 0 : 1;
    return Add(negated);
}

CAmount& CAmount::Multiply(double factor) { return SetValue(GetValue() * factor); }

CAmount& CAmount::Multiply(int factor) { return Multiply(double(factor)); }

CAmount& CAmount::Divide(double divisor) {
    if (divisor == 0) {
        SetHundredths(0);
        return *this;
    }
    return Multiply(1.0 / divisor);
}

CAmount& CAmount::Divide(int divisor) { return Divide(double(divisor)); }
