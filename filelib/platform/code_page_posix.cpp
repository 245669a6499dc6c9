// POSIX backend, code page: UTF-16 to Windows-1252, the ANSI code page that
// the library's texts are in. Nothing else lives here.

#include "filelib/platform/code_page.h"

namespace plat {

namespace {

// Windows-1252 bytes 0x80 to 0x9F. Windows maps its five unassigned bytes
// to the control characters of the same number, and back.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char ToCp1252(char16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return char(unit);
    for (int i = 0; i < 32; ++i) {
        if (kCp1252High[i] == unit) return char(0x80 + i);
    }
    return '?';
}

}  // namespace

int WideToAnsiCodePage(const WCHAR* text, char* out, int size) {
    if (text == nullptr || out == nullptr || size <= 0) return 0;
    int written = 0;
    for (const WCHAR* p = text;; ++p) {
        if (written >= size) return 0;
        if (*p == 0) {
            out[written++] = 0;
            return written;
        }
        // Unit by unit as Windows converts to a single-byte code page: a
        // surrogate pair gives two "?".
        out[written++] = ToCp1252(*p);
    }
}

}  // namespace plat
