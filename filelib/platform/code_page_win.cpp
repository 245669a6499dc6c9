// Windows backend, code page: UTF-16 to the system's ANSI code page.
// Nothing else lives here.

#include "filelib/platform/code_page.h"

#include "filelib/platform/win_system.h"

namespace plat {

int WideToAnsiCodePage(const WCHAR* text, char* out, int size) {
    if (text == nullptr || out == nullptr || size <= 0) return 0;
    // Without best fit: it would turn characters the code page lacks into
    // look-alikes, such as a fullwidth solidus into '/' or a fullwidth
    // quotation mark into '"', which changes what a path or command means.
    // "?" as on POSIX.
    return WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, out, size, nullptr, nullptr);
}

}  // namespace plat
