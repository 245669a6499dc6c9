// POSIX backend, the process and the system around it: everything
// process.h declares (the program's path, its start, the key press at the
// terminal, waiting, local time, the code page), the Win32 time
// conversions that win_types.h declares for POSIX, and the one mapping
// from errno to plat::Error. Needs Linux for the program's path
// (/proc/self/exe); the rest is plain POSIX. Logic that Windows shares
// goes to platform.cpp, not here.

#include "filelib/platform/backend.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace plat {

Error ErrorFromSystemCode(long code) {
    switch (code) {
        case 0: return Error::None;
        case ENOENT:
        case ENOTDIR:  // a folder on the way is a file: Windows says the path is not found
            return Error::NotFound;
        case EACCES:
        case EPERM:
            return Error::AccessDenied;
        case EBUSY:
        case ETXTBSY:
        case EAGAIN:
            return Error::SharingViolation;
        case EROFS: return Error::ReadOnly;
        case EEXIST: return Error::Exists;
        case ENOTEMPTY: return Error::NotEmpty;
        case ENOSPC:
        case EDQUOT:
            return Error::DiskFull;
        case ENAMETOOLONG: return Error::NameTooLong;
        case EISDIR: return Error::IsFolder;
        case EXDEV: return Error::CrossDevice;
        case EINVAL:
        case EILSEQ:
            return Error::InvalidName;
        case ENOSYS:
        case EOPNOTSUPP:
            return Error::Unsupported;
        default: return Error::Other;
    }
}

Error LastSystemError() { return ErrorFromSystemCode(errno); }

const bool kDashOptions = true;

size_t ReadProgramPath(char* buf, size_t size) {
    const ssize_t length = readlink("/proc/self/exe", buf, size);
    if (length <= 0) return 0;
    if (size_t(length) < size) buf[length] = 0;
    return size_t(length);
}

bool StartOnSystem() {
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

// localtime_r reads the zone once per process.
bool BreakDownLocalTime(std::time_t t, std::tm* out) { return localtime_r(&t, out) != nullptr; }


// ------------------------------------------------------ the code page

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

// ------------------------------------------------------ Win32 time conversions
// On the portable calendar: FILETIME and SYSTEMTIME, UTC and local.

namespace {

// Offset of local time from UTC now, in seconds, as Windows applies it.
int64_t CurrentLocalBiasSeconds() {
    struct tm local;
    if (!plat::BreakDownLocalTime(std::time(nullptr), &local)) return 0;
    return local.tm_gmtoff;
}

}  // namespace

BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime) {
    if (fileTime == nullptr || systemTime == nullptr) return FALSE;
    // Windows refuses counts with the top bit set.
    return plat::TicksToSystemTime(plat::TicksOf(*fileTime), systemTime) ? TRUE : FALSE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, FILETIME* fileTime) {
    if (systemTime == nullptr || fileTime == nullptr) return FALSE;
    int64_t ticks;
    if (!plat::SystemTimeToTicks(*systemTime, &ticks)) return FALSE;
    *fileTime = plat::FileTimeOfTicks(ticks);
    return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME* localFileTime, FILETIME* fileTime) {
    if (localFileTime == nullptr || fileTime == nullptr) return FALSE;
    const int64_t ticks = plat::TicksOf(*localFileTime) - CurrentLocalBiasSeconds() * plat::kTicksPerSecond;
    if (ticks < 0) return FALSE;
    *fileTime = plat::FileTimeOfTicks(ticks);
    return TRUE;
}
