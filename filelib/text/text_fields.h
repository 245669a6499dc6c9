// Fields of separated lines, character codes inside fields, and clean-up of
// 8-bit texts (Windows-1252) read from data and settings files.
#pragma once

#include <cstddef>
#include <cstdint>

// Size of the static buffer that GetField returns; a longer field is cut to
// kFieldBufferSize - 1 characters.
constexpr size_t kFieldBufferSize = 3000;

// Field `index` (0 for the first) of `text` split at `separator`, with its
// character codes decoded. Empty for a negative index or one past the last
// field. The result is a static buffer, valid until the next call; it is
// writable so that callers can trim or unquote the field in place.
char* GetField(const char* text, int index, char separator);

// 0 for an empty text, else 1 + the number of separators.
int CountFields(const char* text, char separator);

// Ends the text before its first ';'. Returns the text.
char* CutAtSemicolon(char* text);

// Replaces every group "(CHR n)" by the character with the low 8 bits of n,
// so that a field can hold its own separator (or any byte). Other groups in
// parentheses and unfinished groups stay as they are. Works in place: the
// result is never longer than the text. Returns the text.
char* DecodeCharCodes(char* text);

// Removes leading and trailing blanks and tabs in place. Returns the text.
char* TrimBlanks(char* text);

// TrimBlanks, then runs of blanks inside shortened to one (tabs stay).
char* TrimAndCollapseBlanks(char* text);

// Removes enclosing single quotes: "'abc'", "'abc" and "abc'" give "abc",
// "'a'b'" gives "a". Returns the text.
char* StripQuotes(char* text);

// The seven German letters that both conversions below know: their
// Windows-1252 byte and the second byte of their UTF-8 form (the first is
// always kUtf8GermanLead).
struct GermanLetter {
    unsigned char ansi;
    unsigned char utf8Second;
};
constexpr unsigned char kUtf8GermanLead = 0xC3;
constexpr int kGermanLetterCount = 7;
extern const GermanLetter kGermanLetters[kGermanLetterCount];

// The two-byte UTF-8 forms of the seven letters become their single bytes;
// every other byte stays. Returns the text.
char* Utf8UmlautsToAnsi(char* text);

// The seven single bytes become their UTF-8 forms. The text grows by one
// byte per letter: the caller's buffer must have that room.
char* AnsiUmlautsToUtf8(char* text);

// The same within a buffer of `bufferSize` bytes: letters whose UTF-8 form
// no longer fits stay single bytes. Returns the text.
char* AnsiUmlautsToUtf8(char* text, size_t bufferSize);

// Reads a decimal integer the way the runtime's atoi does (leading white
// space, an optional sign, digits up to the first non-digit, 0 without
// digits), from at most `length` characters, and saturates at the 32-bit
// limits instead of overflowing, so every platform reads the same value.
int32_t ReadLeadingInt(const char* text, size_t length = SIZE_MAX);
