// Text conversions with one static result buffer each, valid until the same
// conversion runs again: umlauts written out, text replaced throughout, word
// wrap, and wide text to the ANSI code page.
//
// A result that would not fit its buffer is refused: the result is the empty
// text. A cut result could end inside a replacement or a "<br>" and pass for
// a whole one.
#pragma once

#include "filelib/platform/win_types.h"

// The umlauts of Windows-1252 (0xE4, 0xF6, 0xFC, 0xC4, 0xD6, 0xDC) as ae, oe,
// ue, Ae, Oe, Ue; every other byte, the sharp s (0xDF) too, stays.
// Buffer 3000 bytes: texts of up to 1499 characters always fit.
const char* ReplaceUmlauts(const char* text);

// Every occurrence of `find`, left to right and without overlap, by
// `replacement`; a replacement is not searched again. An empty `find`
// copies the text. Buffer 3000 bytes.
const char* ReplaceText(const char* text, const char* find, const char* replacement);

// A text longer than `width` gets a break after each blank whose following
// word (up to and including its own blank) would carry the line beyond
// `width`: "<br>" with `html`, else a line feed. Words are never split.
// Buffer 2000 bytes, breaks included.
const char* WrapText(const char* text, bool html, unsigned width);

// The same with a break character of the caller's choice.
const char* WrapTextWith(const char* text, char breakChar, unsigned width);

// Converts to the ANSI code page ("?" for what it cannot hold) and trims
// blanks and tabs at both ends; the exact word "null" gives the empty text.
// Buffer 1000 bytes.
const char* WideToAnsi(const WCHAR* text);
