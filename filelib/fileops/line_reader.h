// Reading one line of a text stream into a bounded buffer, bounded copies
// with a truncation report, case-converted copies, and flattening line
// breaks into spaces.
#pragma once

#include <cstdio>

// ------------------------------------------------------------ line reading
// Each call takes at most kLineReadMax characters of a line; the rest of a
// longer line comes back as the next line. `size` is the caller's buffer
// size, terminator included, taken as kLineWorkSize when larger. A line
// that does not fit `size` loses its end (the next call still continues
// after what was read). The line feed, and a carriage return before it, are
// removed, so CR LF files read the same on every system.
//
// 0 when a line was read; 1 at the end of the stream or on a read error,
// with `dest` "". A size below 1, a missing stream or buffer give 1 and
// write nothing: there is no room even for the terminator.
constexpr int kLineWorkSize = 3000;
constexpr int kLineReadMax = kLineWorkSize - 1;

int ReadLine(FILE* stream, char* dest, int size);
// As ReadLine; the line ends before its first ';'.
int ReadLineCutComment(FILE* stream, char* dest, int size);
// As ReadLine; `dest` gets only what follows the first ';', "" when the
// line holds none (still 0).
int ReadLineAfterSemicolon(FILE* stream, char* dest, int size);

// ------------------------------------------------------------ bounded text
// 0 when copied whole; 1 when `source` had `size` characters or more and
// only its first size - 1 went in. A size below 1 writes nothing and gives 1.
int CopyBounded(char* dest, int size, const char* source);
// Appends `source` to the text in `dest` the same way: 0 whole, 1 cut to
// size - 1 characters. A `dest` without terminator inside `size` is ended
// at size - 1 and gives 1.
int AppendBounded(char* dest, int size, const char* source);

// ------------------------------------------------------------ static results
// One static buffer of kStaticTextSize bytes per operation, valid until the
// next call of the same one. A text of kStaticTextSize characters or more
// does not fit and gives "" (never a cut text).
constexpr int kStaticTextSize = 2000;

// Only A-Z and a-z change, as in the C locale.
const char* UpperCopy(const char* text);
const char* LowerCopy(const char* text);
// Every line break (CR LF, lone CR, LF, tab before LF) and every "<br>" in
// lower case becomes one space; one trailing space is removed.
const char* FlattenLineBreaks(const char* text);
