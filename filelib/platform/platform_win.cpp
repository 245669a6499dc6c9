// Windows backend: the Win32 API and the C runtime, nothing else.
// Must build with mingw-w64 and MSVC alike: no GNU-only constructs.

#include "filelib/platform/platform.h"
#include "filelib/platform/name_match.h"

#include "filelib/platform/win_system.h"
#include <winnetwk.h>
#include <conio.h>

#include <cstring>
#include <new>
#include <string>

namespace plat {

const char kPathSep = '\\';

// ------------------------------------------------------------- program

bool GetProgramPath(char* buf, size_t size) {
    if (buf == nullptr || size == 0) return false;
    DWORD length = GetModuleFileNameA(nullptr, buf, DWORD(size));
    if (length == 0 || length >= size) {
        buf[0] = 0;
        return false;
    }
    return true;
}

// ------------------------------------------------------------- process

bool StartApplication(int argc, char** argv) {
    if (argc < 1 || argv == nullptr || argv[0] == nullptr || argv[0][0] == 0) return false;
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

// --------------------------------------------------------------- text

int WideToAnsiCodePage(const WCHAR* text, char* out, int size) {
    if (text == nullptr || out == nullptr || size <= 0) return 0;
    // Without best fit: it would turn characters the code page lacks into
    // look-alikes, such as a fullwidth solidus into '/' or a fullwidth
    // quotation mark into '"', which changes what a path or command means.
    // "?" as on POSIX.
    return WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, out, size, nullptr, nullptr);
}

// -------------------------------------------------------- network drives

namespace {

class SystemNet : public NetProvider {
public:
    long GetConnection(const char* localName, char* remote, DWORD* length) override {
        return long(WNetGetConnectionA(localName, remote, length));
    }
    long AddConnection(const char* localName, const char* remote) override {
        NETRESOURCEA request;
        std::memset(&request, 0, sizeof request);
        request.dwType = RESOURCETYPE_DISK;
        request.lpLocalName = const_cast<char*>(localName);
        request.lpRemoteName = const_cast<char*>(remote);
        return long(WNetAddConnection2A(&request, nullptr, nullptr, CONNECT_UPDATE_PROFILE));
    }
    unsigned QueryDriveType(const char* root) override { return GetDriveTypeA(root); }
};

SystemNet g_systemNet;
NetProvider* g_provider = &g_systemNet;

}  // namespace

NetProvider& GetNetProvider() { return *g_provider; }
void SetNetProvider(NetProvider* provider) { g_provider = provider != nullptr ? provider : &g_systemNet; }

}  // namespace plat
