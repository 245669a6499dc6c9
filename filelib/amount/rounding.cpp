#include "filelib/amount/rounding.h"

#include <cmath>

namespace {

// Exact for every double: the fraction x - trunc(x) is representable, so
// nothing rounds before the comparison. Adding 0.5 before the cut (and some
// runtimes' round, mingw-w64's among them) turns 0.49999999999999994 into 1.
double RoundHalfAwayFromZero(double x) {
    const double whole = std::trunc(x);
    if (std::fabs(x - whole) >= 0.5) return whole + std::copysign(1.0, x);
    return whole;
}

double PlacesFactor(int places) {
    switch (places) {
    case -3: return 0.001;
    case -2: return 0.01;
    case -1: return 0.1;
    case 1: return 10.0;
    case 2: return 100.0;
    case 3: return 1000.0;
    default: return 1.0;
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Any character, not only a digit: '0'-'9' give 0-9, 'A'-'F' give 10-15.
int PairDigit(char c) {
    const int value = int(static_cast<unsigned char>(c)) - '0';
    return value > 9 ? value - 7 : value;
}

}  // namespace

int RoundToInt(double x) {
    const double rounded = RoundHalfAwayFromZero(x);
    if (std::isnan(rounded)) return 0;
    if (rounded >= double(INT32_MAX)) return INT32_MAX;
    if (rounded <= double(INT32_MIN)) return INT32_MIN;
    return int(rounded);
}

double RoundToPlaces(double x, int places) {
    const double factor = PlacesFactor(places);
    return RoundHalfAwayFromZero(x * factor) / factor;
}

int HexToInt(const char* text) {
    uint32_t value = 0;
    for (const char* p = text != nullptr ? text : ""; HexDigit(*p) >= 0; ++p) {
        value = value * 16 + uint32_t(HexDigit(*p));
    }
    return value <= uint32_t(INT32_MAX) ? int(value) : -int(~value) - 1;
}

uint8_t HexPairToByte(char* text) {
    if (text == nullptr) return 0;
    for (char* p = text; *p != 0; ++p) {
        if (*p >= 'a' && *p <= 'z') *p = char(*p - 'a' + 'A');
    }
    if (text[0] == 0) return 0;
    if (text[1] == 0) return uint8_t(PairDigit(text[0]));
    return uint8_t(PairDigit(text[0]) * 16 + PairDigit(text[1]));
}
