#include "filelib/text/text_conv.h"

#include <cstring>
#include <memory>
#include <new>

#include "filelib/platform/platform.h"
#include "filelib/text/text_fields.h"

namespace {

// Builds a result in a fixed buffer. Once something does not fit, the
// result is refused and everything after is ignored, so callers may stop
// early without checking each step.
class BoundedText {
public:
    template <size_t N>
    explicit BoundedText(char (&buffer)[N]) : m_buffer(buffer), m_capacity(N - 1) {
        buffer[0] = 0;
    }

    void Put(const char* text, size_t length) {
        if (m_overflow || length > m_capacity - m_length) {
            m_overflow = true;
            return;
        }
        std::memcpy(m_buffer + m_length, text, length);
        m_length += length;
    }
    void Put(char c) { Put(&c, 1); }
    bool Overflowed() const { return m_overflow; }

    const char* Finish() {
        m_buffer[m_overflow ? 0 : m_length] = 0;
        return m_buffer;
    }

private:
    char* m_buffer;
    size_t m_capacity;  // characters, without the terminator
    size_t m_length = 0;
    bool m_overflow = false;
};

const char* UmlautReplacement(unsigned char c) {
    switch (c) {
    case 0xE4: return "ae";
    case 0xC4: return "Ae";
    case 0xF6: return "oe";
    case 0xD6: return "Oe";
    case 0xFC: return "ue";
    case 0xDC: return "Ue";
    default: return nullptr;
    }
}

// For each prefix find[0..q] the length of its longest proper border (a
// prefix that is also a suffix), so a failed comparison never goes back in
// the text.
std::unique_ptr<size_t[]> BorderTable(const char* find, size_t length) {
    std::unique_ptr<size_t[]> border(new (std::nothrow) size_t[length]);
    if (!border) return border;
    border[0] = 0;
    size_t k = 0;
    for (size_t q = 1; q < length; ++q) {
        while (k > 0 && find[q] != find[k]) k = border[k - 1];
        if (find[q] == find[k]) ++k;
        border[q] = k;
    }
    return border;
}

void Wrap(BoundedText& out, const char* text, const char* lineBreak, size_t breakLength, unsigned width) {
    const size_t length = std::strlen(text);
    if (length <= width) {
        out.Put(text, length);
        return;
    }
    size_t line = 0;
    for (size_t i = 0; i < length && !out.Overflowed(); ++i) {
        out.Put(text[i]);
        ++line;
        if (text[i] != ' ') continue;
        // The next word with its own blank; each character is measured once.
        size_t end = i + 1;
        while (end < length && text[end] != ' ') ++end;
        if (end < length) ++end;
        if (end - (i + 1) + line > width) {
            out.Put(lineBreak, breakLength);
            line = 0;
        }
    }
}

}  // namespace

const char* ReplaceUmlauts(const char* text) {
    static char result[3000];
    BoundedText out(result);
    for (const char* p = text != nullptr ? text : ""; *p != 0 && !out.Overflowed(); ++p) {
        const char* replacement = UmlautReplacement(static_cast<unsigned char>(*p));
        if (replacement != nullptr) {
            out.Put(replacement, 2);
        } else {
            out.Put(*p);
        }
    }
    return out.Finish();
}

const char* ReplaceText(const char* text, const char* find, const char* replacement) {
    static char result[3000];
    BoundedText out(result);
    if (text == nullptr) text = "";
    if (find == nullptr) find = "";
    if (replacement == nullptr) replacement = "";
    const size_t length = std::strlen(text);
    const size_t findLength = std::strlen(find);
    if (findLength == 0 || findLength > length) {
        out.Put(text, length);
        return out.Finish();
    }
    const std::unique_ptr<size_t[]> border = BorderTable(find, findLength);
    if (!border) return out.Finish();
    const size_t replacementLength = std::strlen(replacement);
    // text[i - matched, i) equals find[0, matched) and is not written yet.
    size_t matched = 0;
    for (size_t i = 0; i < length && !out.Overflowed(); ++i) {
        while (matched > 0 && find[matched] != text[i]) {
            const size_t keep = border[matched - 1];
            out.Put(text + i - matched, matched - keep);
            matched = keep;
        }
        if (find[matched] == text[i]) {
            ++matched;
        } else {
            out.Put(text[i]);
        }
        if (matched == findLength) {
            out.Put(replacement, replacementLength);
            matched = 0;
        }
    }
    out.Put(text + length - matched, matched);
    return out.Finish();
}

const char* WrapText(const char* text, bool html, unsigned width) {
    static char result[2000];
    BoundedText out(result);
    const char* lineBreak = html ? "<br>" : "\n";
    Wrap(out, text != nullptr ? text : "", lineBreak, std::strlen(lineBreak), width);
    return out.Finish();
}

const char* WrapTextWith(const char* text, char breakChar, unsigned width) {
    static char result[2000];
    BoundedText out(result);
    // Written as given, even a 0 that ends the result at the first break.
    Wrap(out, text != nullptr ? text : "", &breakChar, 1, width);
    return out.Finish();
}

const char* WideToAnsi(const WCHAR* text) {
    static char result[1000];
    std::memset(result, 0, sizeof result);
    if (text == nullptr) return result;
    // A conversion that does not fit fails, but may leave the buffer partly
    // filled and without its terminator.
    if (plat::WideToAnsiCodePage(text, result, int(sizeof result)) == 0) {
        std::memset(result, 0, sizeof result);
        return result;
    }
    TrimBlanks(result);
    if (std::strcmp(result, "null") == 0) result[0] = 0;
    return result;
}
