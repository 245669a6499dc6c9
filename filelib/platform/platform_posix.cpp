// POSIX backend: stands in for the Windows services with the same results.
// The program, the process, the code page and the network provider; the
// search has files of its own. Only generic POSIX code lives here.

#include "filelib/platform/platform.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace plat {

const char kPathSep = '/';

// ------------------------------------------------------------- program

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

// ------------------------------------------------------------- process

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

// --------------------------------------------------------------- text

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

// -------------------------------------------------------- network drives

namespace {

// Without drive letters there are no remembered mappings.
class NoMappings : public NetProvider {
public:
    long GetConnection(const char*, char* remote, DWORD*) override {
        if (remote != nullptr) remote[0] = 0;
        return 2250L;  // ERROR_NOT_CONNECTED
    }
    long AddConnection(const char*, const char*) override { return 2250L; }
    unsigned QueryDriveType(const char*) override { return DRIVE_NO_ROOT_DIR; }
};

NoMappings g_noMappings;
NetProvider* g_provider = &g_noMappings;

}  // namespace

NetProvider& GetNetProvider() { return *g_provider; }
void SetNetProvider(NetProvider* provider) { g_provider = provider != nullptr ? provider : &g_noMappings; }

}  // namespace plat

// ------------------------------------------------- Win32 time conversions

namespace {

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kTicksPerDay = kTicksPerSecond * 86400;
// Days from 1 January 1601 to 1 January 1970.
constexpr int64_t kDays1601To1970 = 134774;

// Days since 1 January 1970 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t* y, unsigned* m, unsigned* d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = int64_t(yoe) + era * 400 + (*m <= 2);
}

bool IsLeap(unsigned y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned DaysInMonth(unsigned y, unsigned m) {
    static const unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

int64_t TicksOf(const FILETIME* ft) {
    return int64_t((uint64_t(ft->dwHighDateTime) << 32) | ft->dwLowDateTime);
}

void SetTicks(FILETIME* ft, int64_t ticks) {
    ft->dwLowDateTime = DWORD(uint64_t(ticks) & 0xFFFFFFFFu);
    ft->dwHighDateTime = DWORD(uint64_t(ticks) >> 32);
}

// Offset of local time from UTC now, in seconds, as Windows applies it.
int64_t CurrentLocalBiasSeconds() {
    time_t now = time(nullptr);
    struct tm local;
    if (localtime_r(&now, &local) == nullptr) return 0;
    return local.tm_gmtoff;
}

}  // namespace

BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime) {
    if (fileTime == nullptr || systemTime == nullptr) return FALSE;
    const int64_t ticks = TicksOf(fileTime);
    if (ticks < 0) return FALSE;  // Windows refuses values with the top bit set
    const int64_t days = ticks / kTicksPerDay;
    const int64_t rest = ticks % kTicksPerDay;
    int64_t year;
    unsigned month, day;
    CivilFromDays(days - kDays1601To1970, &year, &month, &day);
    systemTime->wYear = WORD(year);
    systemTime->wMonth = WORD(month);
    systemTime->wDay = WORD(day);
    systemTime->wDayOfWeek = WORD((days + 1) % 7);  // 1 January 1601 was a Monday
    systemTime->wHour = WORD(rest / (3600 * kTicksPerSecond));
    systemTime->wMinute = WORD(rest / (60 * kTicksPerSecond) % 60);
    systemTime->wSecond = WORD(rest / kTicksPerSecond % 60);
    systemTime->wMilliseconds = WORD(rest / 10000 % 1000);
    return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, FILETIME* fileTime) {
    if (systemTime == nullptr || fileTime == nullptr) return FALSE;
    const SYSTEMTIME& st = *systemTime;
    if (st.wYear < 1601 || st.wYear > 30827 || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 ||
        st.wDay > DaysInMonth(st.wYear, st.wMonth) || st.wHour > 23 || st.wMinute > 59 || st.wSecond > 59 ||
        st.wMilliseconds > 999)
        return FALSE;
    const int64_t days = DaysFromCivil(st.wYear, st.wMonth, st.wDay) + kDays1601To1970;
    const int64_t seconds = days * 86400 + st.wHour * 3600 + st.wMinute * 60 + st.wSecond;
    SetTicks(fileTime, seconds * kTicksPerSecond + int64_t(st.wMilliseconds) * 10000);
    return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME* localFileTime, FILETIME* fileTime) {
    if (localFileTime == nullptr || fileTime == nullptr) return FALSE;
    const int64_t ticks = TicksOf(localFileTime) - CurrentLocalBiasSeconds() * kTicksPerSecond;
    if (ticks < 0) return FALSE;
    SetTicks(fileTime, ticks);
    return TRUE;
}
