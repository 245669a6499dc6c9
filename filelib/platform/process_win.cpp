// Windows backend, the process and the system around it: everything
// process.h declares (the program's path, its start, the key press at the
// console, waiting, local time, the code page) and the one mapping from
// GetLastError codes to plat::Error, through the Win32 API and the C
// runtime. Must build with mingw-w64 and MSVC alike: no GNU-only
// constructs. Logic that POSIX shares goes to platform.cpp, not here.

#include "filelib/platform/backend.h"

#include <conio.h>
#include <time.h>

namespace plat {

Error ErrorFromSystemCode(long code) {
    switch (DWORD(code)) {
        case ERROR_SUCCESS: return Error::None;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_NOT_READY:
            return Error::NotFound;
        case ERROR_ACCESS_DENIED: return Error::AccessDenied;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_BUSY:
            return Error::SharingViolation;
        case ERROR_WRITE_PROTECT: return Error::ReadOnly;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return Error::Exists;
        case ERROR_DIR_NOT_EMPTY: return Error::NotEmpty;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return Error::DiskFull;
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_BUFFER_OVERFLOW:
            return Error::NameTooLong;
        case ERROR_DIRECTORY: return Error::NotFolder;
        case ERROR_NOT_SAME_DEVICE: return Error::CrossDevice;
        case ERROR_INVALID_NAME: return Error::InvalidName;
        case ERROR_NOT_SUPPORTED:
        case ERROR_CALL_NOT_IMPLEMENTED:
            return Error::Unsupported;
        default: return Error::Other;
    }
}

Error LastSystemError() { return ErrorFromSystemCode(long(GetLastError())); }

const bool kDashOptions = false;

size_t ReadProgramPath(char* buf, size_t size) { return GetModuleFileNameA(nullptr, buf, DWORD(size)); }

bool StartOnSystem() {
    const char* commandLine = GetCommandLineA();
    return GetModuleHandleA(nullptr) != nullptr && commandLine != nullptr && commandLine[0] != 0;
}

void WaitForKey() {
    // _getch reads the console, not standard input; without one it must not wait.
    HANDLE console = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    const bool isConsole = GetConsoleMode(console, &mode) != 0;
    CloseHandle(console);
    if (isConsole) _getch();
}

void SleepMilliseconds(DWORD milliseconds) { Sleep(milliseconds); }

bool StandardErrorIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

// The runtime's localtime_s (MSVC and mingw-w64 alike).
bool BreakDownLocalTime(std::time_t t, std::tm* out) { return localtime_s(out, &t) == 0; }


int WideToAnsiCodePage(const WCHAR* text, char* out, int size) {
    if (text == nullptr || out == nullptr || size <= 0) return 0;
    // Without best fit: it would turn characters the code page lacks into
    // look-alikes, such as a fullwidth solidus into '/' or a fullwidth
    // quotation mark into '"', which changes what a path or command means.
    // "?" as on POSIX.
    return WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, out, size, nullptr, nullptr);
}

}  // namespace plat
