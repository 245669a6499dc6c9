#include "support/process.h"

#include <thread>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace testsupport {

namespace {

void ReadAll(HANDLE pipe, std::string& text) {
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
}

std::string Quote(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
        } else {
            quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
            backslashes = 0;
        }
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

}  // namespace

std::string BuiltProgram(const std::string& name) {
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self, length);
    return path.substr(0, path.find_last_of("\\/") + 1) + name + ".exe";
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options) {
    ProcessResult result;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd, writeEnd, errorRead, errorWrite;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
    if (!CreatePipe(&errorRead, &errorWrite, &inherit, 0)) {
        CloseHandle(readEnd);
        CloseHandle(writeEnd);
        return result;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errorRead, HANDLE_FLAG_INHERIT, 0);
    if (options.outputRefused) {
        // Writes into a pipe whose reading end is gone fail.
        CloseHandle(readEnd);
        readEnd = nullptr;
    }
    HANDLE nul = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                             nullptr);

    // An empty quoted program name: the child sees an empty argv[0].
    std::string commandLine = options.withoutProgramName ? "\"\"" : Quote(program);
    for (auto& a : args) commandLine += " " + Quote(a);
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back(0);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = writeEnd;
    startup.hStdError = errorWrite;
    PROCESS_INFORMATION info = {};
    // No console: a key prompt must not wait.
    BOOL ok = CreateProcessA(program.c_str(), writable.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr,
                             options.workDir.empty() ? nullptr : options.workDir.c_str(), &startup, &info);
    CloseHandle(writeEnd);
    CloseHandle(errorWrite);
    CloseHandle(nul);
    if (!ok) {
        if (readEnd != nullptr) CloseHandle(readEnd);
        CloseHandle(errorRead);
        return result;
    }
    result.started = true;
    // Both pipes are read at once: a child that fills one while the other
    // is read would wait for ever.
    std::thread errors([&result, errorRead] { ReadAll(errorRead, result.errors); });
    if (readEnd != nullptr) {
        ReadAll(readEnd, result.output);
        CloseHandle(readEnd);
    }
    errors.join();
    CloseHandle(errorRead);
    if (WaitForSingleObject(info.hProcess, DWORD(options.timeoutMs)) != WAIT_OBJECT_0) {
        TerminateProcess(info.hProcess, 0xDEAD);
        WaitForSingleObject(info.hProcess, INFINITE);
    } else {
        result.exited = true;
    }
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    result.status = code;
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return result;
}

TerminalRun RunInTerminal(const std::string&, const std::vector<std::string>&, int, const std::string&) {
    return TerminalRun{};  // a console of its own cannot be typed into from here
}

BackgroundRun RunInTerminalBackground(const std::string&, const std::vector<std::string>&, int) {
    return BackgroundRun{};  // consoles have no background jobs
}

bool IsPosix() { return false; }

bool IsRoot() { return false; }

bool MakeNestedFolders(const std::string&, int, const std::string&, uint64_t) { return false; }

int RunInChroot(const std::string&, int (*)(void*), void*) { return -1; }

int RunAsUser(long, long, const std::string&, int (*)(void*), void*) { return -1; }

bool MakeFolderLink(const std::string& link, const std::string& target) {
    const DWORD kDirectory = 0x1, kUnprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_*
    // Wine answers success without making the link: look whether it is there.
    return CreateSymbolicLinkA(link.c_str(), target.c_str(), kDirectory | kUnprivileged) != 0 &&
           GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool MakeFolderLink(const std::string& target, const std::string& link, std::string& why) {
    const DWORD unprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
    if (!CreateSymbolicLinkA(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY | unprivileged) &&
        !CreateSymbolicLinkA(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY)) {
        why = "cannot make a folder link: error " + std::to_string(GetLastError());
        return false;
    }
    // Wine reports success without making anything.
    if (GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES) {
        why = "the system reports a folder link made but none exists";
        return false;
    }
    return true;
}

FileHolder::FileHolder(const std::string& path, LockKind) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    handle_ = reinterpret_cast<intptr_t>(file);
    holding_ = true;
}

FileHolder::~FileHolder() {
    if (holding_) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

// Handles are bounded by memory only: there is no limit to lower.
ScopedDescriptorLimit::ScopedDescriptorLimit(int) {}
ScopedDescriptorLimit::~ScopedDescriptorLimit() {}

}  // namespace testsupport
