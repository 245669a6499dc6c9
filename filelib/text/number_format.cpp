#include "filelib/text/number_format.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kBufferSize = 100;
constexpr int kDefaultDecimals = 6;

// The runtimes disagree on these ("-nan(ind)", "1.#INF"); one spelling
// everywhere.
const char* NonFiniteText(double value) {
    if (std::isnan(value)) return "nan";
    return value < 0 ? "-inf" : "inf";
}

void StripTrailingZeros(char* text, bool fillWithBlanks) {
    const char* point = std::strchr(text, '.');
    if (point == nullptr) return;
    const char replacement = fillWithBlanks ? ' ' : 0;
    char* p = text + std::strlen(text);
    while (p > point && p[-1] == '0') *--p = replacement;
    if (p - 1 == point) p[-1] = replacement;
}

}  // namespace

const char* FormatNumber(double value, int decimals, bool stripZeros, bool fillWithBlanks) {
    static char result[kBufferSize];
    result[0] = 0;
    if (!std::isfinite(value)) {
        std::memcpy(result, NonFiniteText(value), std::strlen(NonFiniteText(value)) + 1);
        return result;
    }
    // "0." and the decimals alone would not fit.
    if (decimals >= kBufferSize) return result;
    const int length = std::snprintf(result, sizeof result, "%.*f", decimals < 0 ? kDefaultDecimals : decimals, value);
    if (length < 0 || length >= kBufferSize) {
        result[0] = 0;
        return result;
    }
    if (stripZeros) StripTrailingZeros(result, fillWithBlanks);
    return result;
}
