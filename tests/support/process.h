// Starts a built program as a user would, and collects what it printed and
// its exit status.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct ProcessResult {
    bool started = false;
    std::string output;   // standard output
    std::string errors;   // standard error
    uint32_t status = 0;  // the whole status where the system keeps it (Windows), else the low 8 bits
    bool exited = false;  // false when it had to be killed after the time limit
};

struct ProcessOptions {
    std::string workDir;             // empty: the test's own
    bool withoutProgramName = false; // start it with no argv[0] / an empty command line
    int timeoutMs = 60000;
    bool asUnprivilegedUser = false; // POSIX: when root, run as "nobody" so permissions apply
    int maxOpenFiles = 0;            // POSIX: a hard limit on open descriptors; 0 leaves it
    bool outputRefused = false;      // every write to standard output fails: /dev/full on POSIX,
                                     // a pipe nobody reads on Windows
    bool outputClosed = false;       // POSIX: started with standard output closed
};

// Path of a program built beside the running test binary.
std::string BuiltProgram(const std::string& name);

// Runs without a console or terminal, standard input empty.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options = {});

// Runs with a terminal of its own (POSIX); `keys` are typed waitMs after
// the first line of output.
// started is false where the system offers no terminals to tests.
struct TerminalRun {
    bool started = false;
    bool exitedBeforeKey = false;  // ended before the key was typed
    bool exited = false;
    uint32_t status = 0;
    std::string screen;
};
TerminalRun RunInTerminal(const std::string& program, const std::vector<std::string>& args, int waitMs,
                          const std::string& keys);

// Runs the program as a shell runs "program args >/dev/null &" at a
// terminal (POSIX): in a process group of its own beside the terminal's
// foreground group, its standard input the terminal. started is false
// where the system offers no terminals to tests.
struct BackgroundRun {
    bool started = false;
    bool exited = false;             // ended by itself within the time limit
    bool stoppedByTerminal = false;  // the system stopped it for touching the terminal
    uint32_t status = 0;
};
BackgroundRun RunInTerminalBackground(const std::string& program, const std::vector<std::string>& args,
                                      int timeoutMs);

// True when running under Wine rather than Windows itself.
bool RunningUnderWine();

// True on the POSIX build.
bool IsPosix();
// True when the tests run with root's rights (permissions do not bind them).
bool IsRoot();

// POSIX only (false elsewhere): folders nested `depth` deep below root, each
// named `name`, with a file of `fileSize` bytes in every level; made
// relative to open folders, so no path length limits it.
bool MakeNestedFolders(const std::string& root, int depth, const std::string& name, uint64_t fileSize);
// A symbolic link to a folder (on Windows a folder link, which needs the
// right to make one); false where it cannot be made.
bool MakeFolderLink(const std::string& link, const std::string& target);
// POSIX as root only (-1 elsewhere): runs `body` in a child process whose
// root folder is `dir`, so that "/" names only that folder; the child's
// exit status (0-254) is body's result, -1 when it could not be started.
int RunInChroot(const std::string& dir, int (*body)(void* context), void* context);
// POSIX as root only (-1 elsewhere): runs `body` in a child process with
// the user and group ids given (no other groups) and `dir` its current
// folder; the child's exit status (0-254) is body's result, -1 when it
// could not be started.
int RunAsUser(long user, long group, const std::string& dir, int (*body)(void* context), void* context);
// Removes a tree of any depth and any permissions.
void RemoveTree(const std::string& root);
// A link `link` to the folder `target` (a symbolic link; on Windows one
// with the folder flag, a reparse point). False, with the reason in `why`,
// where the system does not let the test make one.
bool MakeFolderLink(const std::string& target, const std::string& link, std::string& why);

// POSIX: lowers this process's limit on open descriptors so that `spare`
// more can be opened, for the object's lifetime. active() is false where the
// limit cannot be lowered (Windows has none of this kind).
class ScopedDescriptorLimit {
public:
    explicit ScopedDescriptorLimit(int spare);
    ~ScopedDescriptorLimit();
    ScopedDescriptorLimit(const ScopedDescriptorLimit&) = delete;
    ScopedDescriptorLimit& operator=(const ScopedDescriptorLimit&) = delete;
    bool active() const { return saved_ >= 0; }

private:
    long long saved_ = -1;  // the soft limit before
};

// Another holder of a file, for the in-use tests. On POSIX a child process
// that holds a lock of the kind asked for until this object goes; on
// Windows an open of this process without sharing, which is how another
// program's exclusive open looks to the system (sharing is checked per
// open there), whatever the kind.
enum class LockKind {
    FileLock,    // flock(2) on POSIX
    RecordLock,  // an fcntl write lock over the whole file on POSIX
};

class FileHolder {
public:
    FileHolder(const std::string& path, LockKind kind);
    ~FileHolder();
    FileHolder(const FileHolder&) = delete;
    FileHolder& operator=(const FileHolder&) = delete;

    // True once the file is held.
    bool holding() const { return holding_; }

private:
    bool holding_ = false;
    [[maybe_unused]] intptr_t handle_ = -1;  // Windows: the open file
    [[maybe_unused]] int pid_ = -1;          // POSIX: the holding child
    [[maybe_unused]] int release_ = -1;      // POSIX: closing this ends the child
};

}  // namespace testsupport
