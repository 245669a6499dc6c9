// Windows backend, program and process: the program's path, the start that
// stands in for the application framework, the key press at the console,
// waiting. Nothing else lives here.

#include "filelib/platform/process.h"

#include "filelib/platform/win_system.h"
#include <conio.h>

namespace plat {

const bool kDashOptions = false;

bool GetProgramPath(char* buf, size_t size) {
    if (buf == nullptr || size == 0) return false;
    DWORD length = GetModuleFileNameA(nullptr, buf, DWORD(size));
    if (length == 0 || length >= size) {
        buf[0] = 0;
        return false;
    }
    return true;
}

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

bool StandardErrorIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace plat
