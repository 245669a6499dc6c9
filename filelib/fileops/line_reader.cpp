#include "filelib/fileops/line_reader.h"

#include <cstring>

#include "filelib/text/text_fields.h"

namespace {

// Peeks at the next character: true, and it is consumed, when it is a line
// feed. A line of exactly kLineReadMax characters thus ends where it ends
// instead of coming back as an empty line.
bool ConsumeLineFeed(FILE* stream) {
    const int next = std::getc(stream);
    if (next == '\n') return true;
    if (next != EOF) std::ungetc(next, stream);
    return false;
}

// One read into `work`, its line end removed and cut to size - 1
// characters. False at the end of the stream or on a read error.
bool ReadIntoWork(FILE* stream, char (&work)[kLineWorkSize], int size) {
    if (std::fgets(work, kLineWorkSize, stream) == nullptr) return false;
    size_t length = std::strlen(work);
    bool ended = length > 0 && work[length - 1] == '\n';
    if (ended) {
        --length;
    } else if (length == size_t(kLineReadMax)) {
        ended = ConsumeLineFeed(stream);
    }
    // A text-mode stream on Windows drops the CR of CR LF; do the same for
    // every stream, so a file reads alike on both systems.
    if (ended && length > 0 && work[length - 1] == '\r') --length;
    if (length > size_t(size - 1)) length = size_t(size - 1);
    work[length] = 0;
    return true;
}

enum class SemicolonRule { None, CutComment, AfterSemicolon };

int ReadLineWith(FILE* stream, char* dest, int size, SemicolonRule rule) {
    if (stream == nullptr || dest == nullptr || size < 1) return 1;
    if (size > kLineWorkSize) size = kLineWorkSize;
    dest[0] = 0;
    char work[kLineWorkSize];
    if (!ReadIntoWork(stream, work, size)) return 1;
    const char* text = work;
    if (rule == SemicolonRule::CutComment) {
        CutAtSemicolon(work);
    } else if (rule == SemicolonRule::AfterSemicolon) {
        const char* semicolon = std::strchr(work, ';');
        text = semicolon != nullptr ? semicolon + 1 : "";
    }
    // `text` is no longer than the cut line, so it fits `size`.
    std::memcpy(dest, text, std::strlen(text) + 1);
    return 0;
}

// Copies `text` into a static buffer, or gives "" when it does not fit.
char* CopyToStatic(char (&buffer)[kStaticTextSize], const char* text) {
    if (text == nullptr) text = "";
    const size_t length = std::strlen(text);
    if (length >= sizeof buffer) {
        buffer[0] = 0;
        return buffer;
    }
    std::memcpy(buffer, text, length + 1);
    return buffer;
}

}  // namespace

int ReadLine(FILE* stream, char* dest, int size) {
    return ReadLineWith(stream, dest, size, SemicolonRule::None);
}

int ReadLineCutComment(FILE* stream, char* dest, int size) {
    return ReadLineWith(stream, dest, size, SemicolonRule::CutComment);
}

int ReadLineAfterSemicolon(FILE* stream, char* dest, int size) {
    return ReadLineWith(stream, dest, size, SemicolonRule::AfterSemicolon);
}

int CopyBounded(char* dest, int size, const char* source) {
    if (dest == nullptr || size < 1) return 1;
    if (source == nullptr) source = "";
    const size_t length = std::strlen(source);
    const bool cut = length >= size_t(size);
    const size_t kept = cut ? size_t(size - 1) : length;
    // memmove: the source may lie inside the destination.
    std::memmove(dest, source, kept);
    dest[kept] = 0;
    return cut ? 1 : 0;
}

int AppendBounded(char* dest, int size, const char* source) {
    if (dest == nullptr || size < 1) return 1;
    if (source == nullptr) source = "";
    const void* end = std::memchr(dest, 0, size_t(size));
    if (end == nullptr) {
        dest[size - 1] = 0;
        return 1;
    }
    const size_t used = size_t(static_cast<const char*>(end) - dest);
    const size_t room = size_t(size) - 1 - used;
    const size_t length = std::strlen(source);
    const bool cut = length > room;
    const size_t kept = cut ? room : length;
    std::memmove(dest + used, source, kept);
    dest[used + kept] = 0;
    return cut ? 1 : 0;
}

const char* UpperCopy(const char* text) {
    static char buffer[kStaticTextSize];
    for (char* p = CopyToStatic(buffer, text); *p != 0; ++p) {
        if (*p >= 'a' && *p <= 'z') *p = char(*p - 'a' + 'A');
    }
    return buffer;
}

const char* LowerCopy(const char* text) {
    static char buffer[kStaticTextSize];
    for (char* p = CopyToStatic(buffer, text); *p != 0; ++p) {
        if (*p >= 'A' && *p <= 'Z') *p = char(*p - 'A' + 'a');
    }
    return buffer;
}

const char* FlattenLineBreaks(const char* text) {
    static char buffer[kStaticTextSize];
    // The result is never longer than the text, so a text that fits the
    // buffer can be flattened inside it.
    const char* in = CopyToStatic(buffer, text);
    char* out = buffer;
    while (*in != 0) {
        size_t advance = 1;
        char produced = ' ';
        if (std::strncmp(in, "<br>", 4) == 0) {
            advance = 4;
        } else if ((in[0] == '\r' || in[0] == '\t') && in[1] == '\n') {
            advance = 2;
        } else if (in[0] != '\r' && in[0] != '\n') {
            produced = in[0];
        }
        *out++ = produced;
        in += advance;
    }
    if (out > buffer && out[-1] == ' ') --out;
    *out = 0;
    return buffer;
}
