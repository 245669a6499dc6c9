#include "filelib/text/text_fields.h"

#include <cstring>

const GermanLetter kGermanLetters[kGermanLetterCount] = {
    {0xC4, 0x84},  // Ä
    {0xD6, 0x96},  // Ö
    {0xDC, 0x9C},  // Ü
    {0xE4, 0xA4},  // ä
    {0xF6, 0xB6},  // ö
    {0xFC, 0xBC},  // ü
    {0xDF, 0x9F},  // ß
};

namespace {

const char kCodePrefix[] = "(CHR ";
constexpr size_t kCodePrefixLength = sizeof kCodePrefix - 1;

bool IsBlankOrTab(char c) { return c == ' ' || c == '\t'; }

bool IsAtoiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

const GermanLetter* FindByAnsi(unsigned char c) {
    for (const GermanLetter& letter : kGermanLetters)
        if (letter.ansi == c) return &letter;
    return nullptr;
}

const GermanLetter* FindByUtf8Second(unsigned char c) {
    for (const GermanLetter& letter : kGermanLetters)
        if (letter.utf8Second == c) return &letter;
    return nullptr;
}

// A finished group "(...)" from `group` to `close` (the ')').
bool IsCodeGroup(const char* group, const char* close) {
    return size_t(close - group) >= kCodePrefixLength && std::memcmp(group, kCodePrefix, kCodePrefixLength) == 0;
}

// Moves [begin, end) down to text + out; `out` never passes `begin`, since
// nothing written so far is longer than what it was made from.
size_t KeepUnchanged(char* text, size_t out, const char* begin, const char* end) {
    const size_t length = size_t(end - begin);
    std::memmove(text + out, begin, length);
    return out + length;
}

}  // namespace

int32_t ReadLeadingInt(const char* text, size_t length) {
    if (text == nullptr) return 0;
    size_t i = 0;
    while (i < length && IsAtoiSpace(text[i])) ++i;
    bool negative = false;
    if (i < length && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const int64_t limit = negative ? -int64_t(INT32_MIN) : INT32_MAX;
    int64_t value = 0;
    for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit) value = limit;
    }
    return int32_t(negative ? -value : value);
}

char* GetField(const char* text, int index, char separator) {
    static char field[kFieldBufferSize];
    std::memset(field, 0, sizeof field);
    if (text == nullptr || index < 0) return field;
    int separatorsSeen = 0;
    size_t length = 0;
    for (const char* p = text; *p != 0; ++p) {
        if (*p == separator) {
            if (++separatorsSeen > index) break;
        } else if (separatorsSeen == index && length < kFieldBufferSize - 1) {
            field[length++] = *p;
        }
    }
    return DecodeCharCodes(field);
}

int CountFields(const char* text, char separator) {
    if (text == nullptr || text[0] == 0) return 0;
    int count = 1;
    for (const char* p = text; *p != 0; ++p)
        if (*p == separator) ++count;
    return count;
}

char* CutAtSemicolon(char* text) {
    if (text == nullptr) return text;
    char* semicolon = std::strchr(text, ';');
    if (semicolon != nullptr) *semicolon = 0;
    return text;
}

char* DecodeCharCodes(char* text) {
    if (text == nullptr || std::strstr(text, kCodePrefix) == nullptr) return text;
    size_t out = 0;
    const char* group = nullptr;  // the pending group, still in place in the text
    const char* p = text;
    for (; *p != 0; ++p) {
        if (*p == '(') {
            // A group that a new '(' interrupts is kept as written, not lost.
            if (group != nullptr) out = KeepUnchanged(text, out, group, p);
            group = p;
        } else if (group == nullptr) {
            text[out++] = *p;
        } else if (*p == ')') {
            if (IsCodeGroup(group, p)) {
                const char* number = group + kCodePrefixLength;
                const char decoded = char(ReadLeadingInt(number, size_t(p - number)) & 0xFF);
                text[out++] = decoded;
                if (decoded == 0) return text;  // a decoded zero ends the text
            } else {
                out = KeepUnchanged(text, out, group, p + 1);
            }
            group = nullptr;
        }
    }
    if (group != nullptr) out = KeepUnchanged(text, out, group, p);
    text[out] = 0;
    return text;
}

char* TrimBlanks(char* text) {
    if (text == nullptr) return text;
    const char* begin = text;
    while (IsBlankOrTab(*begin)) ++begin;
    size_t length = std::strlen(begin);
    while (length > 0 && IsBlankOrTab(begin[length - 1])) --length;
    std::memmove(text, begin, length);
    text[length] = 0;
    return text;
}

char* TrimAndCollapseBlanks(char* text) {
    if (TrimBlanks(text) == nullptr) return text;
    size_t out = 0;
    for (size_t in = 0; text[in] != 0; ++in)
        if (!(text[in] == ' ' && out > 0 && text[out - 1] == ' ')) text[out++] = text[in];
    text[out] = 0;
    return text;
}

char* StripQuotes(char* text) {
    if (text == nullptr) return text;
    if (text[0] == '\'') {
        const char* inner = text + 1;
        const char* close = std::strchr(inner, '\'');
        const size_t length = close != nullptr ? size_t(close - inner) : std::strlen(inner);
        std::memmove(text, inner, length);
        text[length] = 0;
    }
    const size_t length = std::strlen(text);
    if (length > 0 && text[length - 1] == '\'') text[length - 1] = 0;
    return text;
}

char* Utf8UmlautsToAnsi(char* text) {
    if (text == nullptr) return text;
    size_t out = 0;
    for (size_t in = 0; text[in] != 0; ++in) {
        const GermanLetter* letter = static_cast<unsigned char>(text[in]) == kUtf8GermanLead
                                         ? FindByUtf8Second(static_cast<unsigned char>(text[in + 1]))
                                         : nullptr;
        if (letter != nullptr) {
            text[out++] = char(letter->ansi);
            ++in;
        } else {
            text[out++] = text[in];
        }
    }
    text[out] = 0;
    return text;
}

char* AnsiUmlautsToUtf8(char* text) { return AnsiUmlautsToUtf8(text, SIZE_MAX); }

char* AnsiUmlautsToUtf8(char* text, size_t bufferSize) {
    if (text == nullptr) return text;
    const size_t length = std::strlen(text);
    size_t letters = 0;
    for (size_t i = 0; i < length; ++i)
        if (FindByAnsi(static_cast<unsigned char>(text[i])) != nullptr) ++letters;
    const size_t room = bufferSize > length ? bufferSize - 1 - length : 0;
    const size_t converted = letters < room ? letters : room;
    // From the end, so that every byte moves once; only the first
    // `converted` letters of the text grow.
    size_t out = length + converted;
    text[out] = 0;
    size_t lettersBefore = letters;
    for (size_t in = length; in-- > 0;) {
        const GermanLetter* letter = FindByAnsi(static_cast<unsigned char>(text[in]));
        if (letter != nullptr && --lettersBefore < converted) {
            text[--out] = char(letter->utf8Second);
            text[--out] = char(kUtf8GermanLead);
        } else {
            text[--out] = text[in];
        }
    }
    return text;
}
