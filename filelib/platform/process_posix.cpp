// POSIX backend, program and process: the program's path, the start that
// stands in for the application framework, the key press at the terminal,
// waiting. Nothing else lives here.

#include "filelib/platform/process.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

namespace plat {

const bool kDashOptions = true;

bool GetProgramPath(char* buf, size_t size) {
    if (buf == nullptr || size == 0) return false;
    ssize_t length = readlink("/proc/self/exe", buf, size);
    if (length <= 0 || size_t(length) >= size) {
        buf[0] = 0;
        return false;
    }
    buf[length] = 0;
    return true;
}

bool StartApplication(int argc, char** argv) {
    if (argc < 1 || argv == nullptr || argv[0] == nullptr || argv[0][0] == 0) return false;
    // A walk holds one open folder per level of depth; Windows sets no such
    // low limit on search handles, so take all the system allows.
    struct rlimit files;
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
    return true;
}

namespace {

// Only the terminal's foreground job may set its mode or read from it: a
// job in the background would be stopped by the system for trying.
bool IsForegroundOf(int terminal) {
    const pid_t foreground = tcgetpgrp(terminal);
    return foreground >= 0 && foreground == getpgrp();
}

}  // namespace

void WaitForKey() {
    // The console of a Windows program is its controlling terminal here,
    // whatever standard input is redirected to. In the background there
    // is no key to wait for, as without a terminal.
    int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return;
    struct termios saved;
    if (IsForegroundOf(fd) && tcgetattr(fd, &saved) == 0) {
        struct termios raw = saved;
        raw.c_lflag &= ~tcflag_t(ICANON | ECHO);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        // TCSANOW keeps a key typed ahead, as the Windows console does.
        if (tcsetattr(fd, TCSANOW, &raw) == 0) {
            char key;
            while (read(fd, &key, 1) < 0 && errno == EINTR) {
            }
            tcsetattr(fd, TCSANOW, &saved);
        }
    }
    close(fd);
}

void SleepMilliseconds(DWORD milliseconds) {
    struct timespec wait = {time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace plat
