#include "support/process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
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
    int errorFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return result;
    if (pipe2(errorFds, O_CLOEXEC) != 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        return result;
    }
    std::vector<char*> argv = Argv(program, args, !options.withoutProgramName);
    pid_t child = fork();
    if (child < 0) return result;
    if (child == 0) {
        setsid();  // no controlling terminal: a key prompt must not wait
        if (options.maxOpenFiles > 0) {
            struct rlimit files = {rlim_t(options.maxOpenFiles), rlim_t(options.maxOpenFiles)};
            if (setrlimit(RLIMIT_NOFILE, &files) != 0) _exit(124);
        }
        if (options.asUnprivilegedUser && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(125);
        int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, 0);
        dup2(pipeFds[1], 1);
        dup2(errorFds[1], 2);
        if (options.outputRefused) {
            int full = open("/dev/full", O_WRONLY);
            if (full < 0 || dup2(full, 1) < 0) _exit(123);
        }
        if (options.outputClosed) close(1);
        if (!options.workDir.empty() && chdir(options.workDir.c_str()) != 0) _exit(126);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    close(errorFds[1]);
    result.started = true;
    const long long deadline = NowMs() + options.timeoutMs;
    bool closed = Drain(pipeFds[0], &result.output, deadline);
    // What a program writes to standard error is short: the output pipe
    // cannot fill up while this one waits.
    closed = Drain(errorFds[0], &result.errors, deadline) && closed;
    close(pipeFds[0]);
    close(errorFds[0]);
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
    // Watch it for waitMs after its first line: a program that does not
    // wait for a key ends by then.
    int raw = 0;
    for (long long until = NowMs() + 20000; NowMs() < until && run.screen.find('\n') == std::string::npos;)
        Drain(master, &run.screen, NowMs() + 50);
    const long long deadline = NowMs() + waitMs;
    while (NowMs() < deadline && !run.exitedBeforeKey) {
        if (Drain(master, &run.screen, std::min(deadline, NowMs() + 50))) usleep(10000);
        run.exitedBeforeKey = waitpid(child, &raw, WNOHANG) == child;
    }
    if (!run.exitedBeforeKey) {
        if (write(master, keys.data(), keys.size()) < 0) { /* the child may have gone */ }
        bool reaped = false;
        for (int i = 0; i < 200 && !reaped; ++i) {
            // Once the terminal is closed Drain returns at once; the child
            // may need a moment more to end.
            if (Drain(master, &run.screen, NowMs() + 50)) usleep(10000);
            reaped = waitpid(child, &raw, WNOHANG) == child;
        }
        if (!reaped) {
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

namespace {

// In the session leader of the terminal, standing in for the shell: starts
// the job in the background, watches it, and writes what became of it to
// the terminal as one line "job exited N", "job stopped" or "job hangs".
[[noreturn]] void PlayShellWithBackgroundJob(const std::string& program, std::vector<char*>& argv,
                                             int timeoutMs) {
    pid_t job = fork();
    if (job == 0) {
        setpgid(0, 0);
        int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, 1);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    if (job < 0) _exit(1);
    setpgid(job, job);  // as shells do, against the race with the job's own call
    char line[64];
    std::strcpy(line, "job hangs\n");
    for (long long until = NowMs() + timeoutMs; NowMs() < until;) {
        int raw = 0;
        pid_t got = waitpid(job, &raw, WUNTRACED | WNOHANG);
        if (got == job && WIFSTOPPED(raw)) {
            std::strcpy(line, "job stopped\n");
            break;
        }
        if (got == job && WIFEXITED(raw)) {
            std::snprintf(line, sizeof line, "job exited %d\n", WEXITSTATUS(raw));
            job = -1;
            break;
        }
        usleep(10000);
    }
    if (job > 0) {
        kill(job, SIGKILL);
        waitpid(job, nullptr, 0);
    }
    if (write(1, line, std::strlen(line)) < 0) _exit(2);
    _exit(0);
}

}  // namespace

BackgroundRun RunInTerminalBackground(const std::string& program, const std::vector<std::string>& args,
                                      int timeoutMs) {
    BackgroundRun run;
    int master = -1;
    std::vector<char*> argv = Argv(program, args, true);
    pid_t session = forkpty(&master, nullptr, nullptr, nullptr);
    if (session < 0) return run;
    if (session == 0) PlayShellWithBackgroundJob(program, argv, timeoutMs);
    run.started = true;
    std::string screen;
    Drain(master, &screen, NowMs() + timeoutMs + 5000);
    close(master);
    waitpid(session, nullptr, 0);
    run.stoppedByTerminal = screen.find("job stopped") != std::string::npos;
    const size_t exited = screen.find("job exited ");
    if (exited != std::string::npos) {
        run.exited = true;
        run.status = uint32_t(std::strtoul(screen.c_str() + exited + 11, nullptr, 10));
    }
    return run;
}

bool RunningUnderWine() { return false; }

bool IsPosix() { return true; }

bool IsRoot() { return geteuid() == 0; }

bool MakeNestedFolders(const std::string& root, int depth, const std::string& name, uint64_t fileSize) {
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; fd >= 0 && level < depth; ++level) {
        if (mkdirat(fd, name.c_str(), 0755) != 0) break;
        int next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(fd);
        fd = next;
        if (fd < 0) return false;
        if (fileSize > 0) {
            int file = openat(fd, "f", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            if (file < 0 || ftruncate(file, off_t(fileSize)) != 0) return false;
            close(file);
        }
        if (level == depth - 1) {
            close(fd);
            return true;
        }
    }
    if (fd >= 0) close(fd);
    return false;
}

bool MakeFolderLink(const std::string& link, const std::string& target) {
    return symlink(target.c_str(), link.c_str()) == 0;
}

namespace {

// Runs `body` in a child process as root, once `enter` has set the child
// up (false: it could not). The child's exit status (0-254) is body's
// result, -1 when it could not be started.
template <typename Enter>
int RunInChildAsRoot(Enter enter, int (*body)(void* context), void* context) {
    if (geteuid() != 0) return -1;
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (!enter()) _exit(255);
        // Nothing may leave the child but its status: an exception would
        // run the rest of the tests, and their clean-up, a second time.
        try {
            _exit(body(context) & 0x7F);
        } catch (...) {
            _exit(254);
        }
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status) == 255 ? -1 : WEXITSTATUS(status);
}

}  // namespace

int RunInChroot(const std::string& dir, int (*body)(void* context), void* context) {
    return RunInChildAsRoot([&] { return chroot(dir.c_str()) == 0 && chdir("/") == 0; }, body, context);
}

int RunAsUser(long user, long group, const std::string& dir, int (*body)(void* context), void* context) {
    // The folder first, while root may still enter it.
    return RunInChildAsRoot(
        [&] {
            return chdir(dir.c_str()) == 0 && setgroups(0, nullptr) == 0 && setgid(gid_t(group)) == 0 &&
                   setuid(uid_t(user)) == 0;
        },
        body, context);
}

void RemoveTree(const std::string& root) {
    // rm works relative to open folders: no depth or length stops it.
    std::string quoted = "'" + root + "'";
    std::string command = "chmod -R u+rwx " + quoted + " 2>/dev/null; rm -rf " + quoted;
    if (std::system(command.c_str()) != 0) { /* what is left stays in the temporary folder */ }
}

bool MakeFolderLink(const std::string& target, const std::string& link, std::string& why) {
    if (symlink(target.c_str(), link.c_str()) == 0) return true;
    why = std::string("cannot make a folder link: ") + std::strerror(errno);
    return false;
}

namespace {

bool TakeLock(int fd, LockKind kind) {
    if (kind == LockKind::FileLock) return flock(fd, LOCK_EX | LOCK_NB) == 0;
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return fcntl(fd, F_SETLK, &lock) == 0;
}

}  // namespace

FileHolder::FileHolder(const std::string& path, LockKind kind) {
    int ready[2], release[2];
    if (pipe2(ready, O_CLOEXEC) != 0) return;
    if (pipe2(release, O_CLOEXEC) != 0) {
        close(ready[0]);
        close(ready[1]);
        return;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(ready[0]);
        close(release[1]);
        const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
        const char answer = fd >= 0 && TakeLock(fd, kind) ? '1' : '0';
        if (write(ready[1], &answer, 1) != 1) _exit(1);
        char none;
        while (read(release[0], &none, 1) < 0 && errno == EINTR) {
        }
        _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    if (pid < 0) {
        close(ready[0]);
        close(release[1]);
        return;
    }
    pid_ = pid;
    release_ = release[1];
    char answer = '0';
    while (read(ready[0], &answer, 1) < 0 && errno == EINTR) {
    }
    close(ready[0]);
    holding_ = answer == '1';
}

FileHolder::~FileHolder() {
    if (release_ >= 0) close(release_);
    if (pid_ > 0) {
        int status;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

ScopedDescriptorLimit::ScopedDescriptorLimit(int spare) {
    struct rlimit files;
    if (getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY || files.rlim_cur > 65536) return;
    // New descriptors take the lowest free numbers, and only numbers below
    // the limit: it goes just past the `spare`-th free one.
    rlim_t limit = 0;
    for (int free = 0; free < spare && limit < files.rlim_cur; ++limit) {
        if (fcntl(int(limit), F_GETFD) < 0) ++free;
    }
    const rlim_t saved = files.rlim_cur;
    files.rlim_cur = limit;
    if (setrlimit(RLIMIT_NOFILE, &files) == 0) saved_ = (long long)saved;
}

ScopedDescriptorLimit::~ScopedDescriptorLimit() {
    struct rlimit files;
    if (saved_ < 0 || getrlimit(RLIMIT_NOFILE, &files) != 0) return;
    files.rlim_cur = rlim_t(saved_);
    setrlimit(RLIMIT_NOFILE, &files);
}

}  // namespace testsupport
