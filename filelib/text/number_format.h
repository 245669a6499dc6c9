// A double as text with a chosen number of decimals, optionally without the
// insignificant zeros at its end.
#pragma once

// `decimals` below 0 gives six decimals. With `stripZeros` the zeros at the
// end of the decimals go, and the point with them when nothing is left
// behind it; with `fillWithBlanks` they become blanks instead, so the text
// keeps its width. Infinities and NaN give "inf", "-inf" and "nan".
//
// One static buffer of 100 bytes, overwritten by every call. A text that
// would not fit (more than 99 characters) is refused: the result is empty,
// since a cut figure would read as another number.
const char* FormatNumber(double value, int decimals, bool stripZeros, bool fillWithBlanks);
