#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstring>

namespace testsupport {

namespace {

std::vector<char*> Argv(const std::string& program, const std::vector<std::string>& args, bool withName) {
    std::vector<char*> argv;
    if (withName) argv.push_back(const_cast<char*>(program.c_str()));
    for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    return argv;
}

uint32_t StatusOf(int raw, bool* exited) {
    *exited = WIFEXITED(raw);
    return *exited ? uint32_t(WEXITSTATUS(raw)) : 0xFFFFFFFFu;
}

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Reads fd until it closes or the deadline passes; true when it closed.
bool Drain(int fd, std::string* into, long long deadline) {
    char buffer[4096];
    for (;;) {
        long long left = deadline - NowMs();
        if (left <= 0) return false;
        struct pollfd p = {fd, POLLIN, 0};
        int ready = poll(&p, 1, int(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return true;
        into->append(buffer, size_t(got));
    }
}

}  // namespace

std::string BuiltProgram(const std::string& name) {
    char self[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return name;
    self[length] = 0;
    std::string path(self);
    return path.substr(0, path.rfind('/') + 1) + name;
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options) {
    ProcessResult result;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return result;
    std::vector<char*> argv = Argv(program, args, !options.withoutProgramName);
    pid_t child = fork();
    if (child < 0) return result;
    if (child == 0) {
        setsid();  // no controlling terminal: a key prompt must not wait
        int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, 0);
        dup2(pipeFds[1], 1);
        if (!options.workDir.empty() && chdir(options.workDir.c_str()) != 0) _exit(126);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    result.started = true;
    bool closed = Drain(pipeFds[0], &result.output, NowMs() + options.timeoutMs);
    close(pipeFds[0]);
    if (!closed) kill(child, SIGKILL);
    int raw = 0;
    waitpid(child, &raw, 0);
    result.status = StatusOf(raw, &result.exited);
    return result;
}

TerminalRun RunInTerminal(const std::string& program, const std::vector<std::string>& args, int waitMs,
                          const std::string& keys) {
    TerminalRun run;
    int master = -1;
    std::vector<char*> argv = Argv(program, args, true);
    pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    if (child < 0) return run;
    if (child == 0) {
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    run.started = true;
    Drain(master, &run.screen, NowMs() + waitMs);
    int raw = 0;
    run.exitedBeforeKey = waitpid(child, &raw, WNOHANG) == child;
    if (!run.exitedBeforeKey) {
        if (write(master, keys.data(), keys.size()) < 0) { /* the child may have gone */ }
        Drain(master, &run.screen, NowMs() + 10000);
        for (int i = 0; i < 100 && waitpid(child, &raw, WNOHANG) != child; ++i) usleep(50000);
        if (kill(child, 0) == 0 && waitpid(child, &raw, WNOHANG) != child) {
            kill(child, SIGKILL);
            waitpid(child, &raw, 0);
            close(master);
            return run;
        }
    }
    close(master);
    run.status = StatusOf(raw, &run.exited);
    return run;
}

bool RunningUnderWine() { return false; }

}  // namespace testsupport
