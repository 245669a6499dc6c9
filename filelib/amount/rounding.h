// Rounding half away from zero, and reading hexadecimal text.
#pragma once

#include <cstdint>

// 2.5 gives 3, -2.5 gives -3. Values beyond the range of int are clamped to
// it; NaN gives 0.
int RoundToInt(double x);

// Rounds half away from zero to `places` decimals, -3 (thousands) to 3
// (thousandths); any other count rounds to whole numbers. Values too large
// for int are rounded all the same; NaN and infinities come back unchanged.
double RoundToPlaces(double x, int places);

// Digits 0-9 and upper-case A-F; reading stops at the first other character.
// Only the low 32 bits of a longer number are kept ("FFFFFFFF" is -1).
int HexToInt(const char* text);

// Upper-cases the text in place, then reads its first two characters as a
// hexadecimal byte ("ff" gives 255). A text of one character is read as a
// single digit ("a" gives 10), an empty one gives 0.
uint8_t HexPairToByte(char* text);
