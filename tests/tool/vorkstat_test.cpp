// The command as a user meets it, on real temporary trees: the switch table
// through the run computed in-process, and the built program started as a
// process for what only a process shows (exit status, line ends, the key
// prompt, a failed start, output that cannot be written).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"
#include "tool/options.h"
#include "tool/report.h"
#include "tool/vorkstat.h"

namespace {

using testsupport::ProcessOptions;
using testsupport::ProcessResult;
using testsupport::TempDir;

const char kUsage[] =
    "\nVORKSTAT.EXE V2.0, vorkstat-Entwicklerteam 2026\n"
    "\nProgrammaufruf : vorkstat.exe <Pfad> [Parameter (optional)]\n\n"
    "          'vorkstat.exe' ermittelt die gesamte Speichergroesse\n"
    "          des angegebenen Pfades (inkl.Unterverzeichnisse)\n"
    "\n"
    "          Der Rueckgabewert ist die Speichergroesse in Bytes\n"
    "\n"
    "          [Parameter (optional)]\n"
    "          /E=<0,1,2> Einheit der Eingabe- und Ausgabewerte.\n"
    "               <0> ... Einheit ist Byte (dafault)\n"
    "               <1> ... Einheit ist Kilobyte (1024 Bytes)\n"
    "               <2> ... Einheit ist Megabyte (1024 Kilobytes)\n"
    "          /L=<Wert> Limit in der ausgewaehlten Einheit.\n"
    "               wird ein Limit eingegeben, dann ist der\n"
    "               Rueckgabewert 0 oder 1.\n"
    "               0 .. unter dem Limit, 1 .. ueber dem Limit.\n"
    "          /X   ohne abschliessende Eingabeaufforderung.\n";

// A Windows console program writes its lines in text mode: "\r\n".
std::string Native(const std::string& text) {
    if (testsupport::IsPosix()) return text;
    std::string native;
    for (char c : text) native += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return native;
}

std::string Program() { return testsupport::BuiltProgram("vorkstat"); }

ProcessResult RunVorkstat(const std::vector<std::string>& args, const ProcessOptions& options = {}) {
    ProcessResult result = testsupport::RunProcess(Program(), args, options);
    EXPECT_TRUE(result.started) << Program();
    EXPECT_TRUE(result.exited);
    return result;
}

// The status a caller sees: all 32 bits on Windows, the low 8 on POSIX.
uint32_t Status(uint64_t code) {
    return testsupport::IsPosix() ? uint32_t(code & 0xFF) : uint32_t(code & 0xFFFFFFFFu);
}

// 1536 bytes in three files at three depths.
void MakeSmallTree(const TempDir& dir) {
    dir.WriteFile("a.bin", 1000);
    dir.WriteFile("sub/b.bin", 500);
    dir.WriteFile("sub/deeper/c.bin", 36);
}

TEST(Vorkstat, NoPathPrintsUsageAndReturnsMinusOne) {
    ProcessResult result = RunVorkstat({});
    EXPECT_EQ(Native(kUsage), result.output);
    EXPECT_EQ(Status(0xFFFFFFFFu), result.status);
}

TEST(Vorkstat, FailedStartPrintsFatalMessageAndReturnsMinusOne) {
    ProcessOptions options;
    options.withoutProgramName = true;
    ProcessResult result = RunVorkstat({}, options);
    EXPECT_EQ(Native("Schwerwiegender Fehler: MFC-Initialisierung fehlgeschlagen\n"), result.output);
    EXPECT_EQ(Status(0xFFFFFFFFu), result.status);
}

TEST(Vorkstat, EmptyFolderReportsZero) {
    TempDir dir;
    ProcessResult result = RunVorkstat({dir.path(), "/X"});
    EXPECT_EQ(Native("Speicherbedarf: 0 Bytes\n"), result.output);
    EXPECT_EQ("", result.errors);
    EXPECT_EQ(0u, result.status);
}

TEST(Vorkstat, OutputThatCannotBeWrittenIsNoResult) {
    TempDir dir;
    MakeSmallTree(dir);
    struct Case {
        const char* label;
        bool refused;
        bool closed;
        std::vector<std::string> args;
    } cases[] = {
        {"refused", true, false, {dir.path(), "/X"}},
        {"refused, within the limit", true, false, {dir.path(), "/L=2000", "/X"}},
        {"refused, usage", true, false, {}},
        {"closed", false, true, {dir.path(), "/X"}},
        {"closed, within the limit", false, true, {dir.path(), "/L=2000", "/X"}},
    };
    for (const Case& c : cases) {
        if (c.closed && !testsupport::IsPosix()) continue;  // a Windows child always gets some handle
        ProcessOptions options;
        options.outputRefused = c.refused;
        options.outputClosed = c.closed;
        ProcessResult result = RunVorkstat(c.args, options);
        EXPECT_EQ(Status(0xFFFFFFFFu), result.status) << c.label;
        EXPECT_EQ(Native("vorkstat: Fehler beim Schreiben der Ausgabe, kein Ergebnis\n"), result.errors) << c.label;
    }
}

TEST(Vorkstat, BackgroundRunNeverStopsItself) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "background jobs of a terminal are a POSIX matter";
    TempDir dir;
    MakeSmallTree(dir);
    // Without /X: a run in the background has no key to wait for, and
    // setting the terminal's mode from there would stop it.
    testsupport::BackgroundRun run = testsupport::RunInTerminalBackground(Program(), {dir.path()}, 5000);
    if (!run.started) GTEST_SKIP() << "no terminal can be opened here";
    EXPECT_FALSE(run.stoppedByTerminal);
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(Status(1536), run.status);
}

// The run without the process around it: the switches as argv gives them,
// the walk and the report line with the whole 32-bit exit code.
ReportOutcome MeasureInProcess(const std::string& path, const std::vector<std::string>& switches) {
    std::vector<std::string> args = {"vorkstat", path};
    args.insert(args.end(), switches.begin(), switches.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    const RunOptions options = ParseOptions(int(args.size()), argv.data());
    return MeasurePath(path.c_str(), options);
}

TEST(Vorkstat, SwitchesUnitsAndLimits) {
    TempDir dir;
    MakeSmallTree(dir);
    struct Case {
        std::vector<std::string> switches;
        const char* line;
        int32_t status;
    } cases[] = {
        {{"/X"}, "Speicherbedarf: 1536 Bytes\n", 1536},
        {{"/E=1", "/X"}, "Speicherbedarf: 1.50 kB\n", 1},
        {{"/e=1", "/x"}, "Speicherbedarf: 1.50 kB\n", 1},
        {{"/E=2", "/X"}, "Speicherbedarf: 0.00 MB\n", 0},
        {{"/E=2", "/E=0", "/X"}, "Speicherbedarf: 0.00 MB\n", 0},
        {{"/E=3", "/X"}, "Speicherbedarf: 1536 Bytes\n", 1536},
        {{"/E=abc", "/X"}, "Speicherbedarf: 1536 Bytes\n", 1536},
        {{"/E=1", "/L=1.5", "/X"}, "Speicherbedarf: 1.50 kB ... innerhalb des Limits\n", 0},
        {{"/E=1", "/L=1.4", "/X"}, "Speicherbedarf: 1.50 kB ... ausserhalb des Limits\n", 1},
        {{"/L=1.5", "/E=1", "/X"}, "Speicherbedarf: 1.50 kB ... innerhalb des Limits\n", 0},
        {{"/L=1536", "/X"}, "Speicherbedarf: 1536 Bytes ... innerhalb des Limits\n", 0},
        {{"/L=1535.9", "/X"}, "Speicherbedarf: 1536 Bytes ... ausserhalb des Limits\n", 1},
        {{"/L=1,5", "/E=1", "/X"}, "Speicherbedarf: 1.50 kB ... ausserhalb des Limits\n", 1},
        {{"/L=5", "/E=1", "/X"}, "Speicherbedarf: 1.50 kB ... innerhalb des Limits\n", 0},
        {{"/L=0", "/X"}, "Speicherbedarf: 1536 Bytes\n", 1536},
        {{"/L=abc", "/X"}, "Speicherbedarf: 1536 Bytes\n", 1536},
        {{"/L=", "/X"}, "Speicherbedarf: 1536 Bytes\n", 1536},
        {{"/L=100", "/L=0", "/X"}, "Speicherbedarf: 1536 Bytes\n", 1536},
        {{"/L=-1", "/X"}, "Speicherbedarf: 1536 Bytes ... ausserhalb des Limits\n", 1},
        {{"/L=99999999999999999999999", "/X"}, "Speicherbedarf: 1536 Bytes ... innerhalb des Limits\n", 0},
        {{"/E=99999999999999999999", "/X"}, "Speicherbedarf: 1536 Bytes\n", 1536},
        {{"/Xtra", "unknown", "/Q"}, "Speicherbedarf: 1536 Bytes\n", 1536},
        // "/L=" is read as a limit, so "/L=X" does not switch the prompt off
        // (no key can be pressed here, so the run still ends).
        {{"/L=X"}, "Speicherbedarf: 1536 Bytes\n", 1536},
    };
    for (const Case& c : cases) {
        const ReportOutcome outcome = MeasureInProcess(dir.path(), c.switches);
        std::string label = c.switches.empty() ? "" : c.switches[0];
        EXPECT_EQ(c.line, outcome.line) << label;
        EXPECT_EQ(c.status, outcome.exitCode) << label;
    }
    // The same run as a process: the line as the console writes it, the
    // status as the system keeps it.
    ProcessResult result = RunVorkstat({dir.path(), "/E=1", "/L=1.4", "/X"});
    EXPECT_EQ(Native("Speicherbedarf: 1.50 kB ... ausserhalb des Limits\n"), result.output);
    EXPECT_EQ(1u, result.status);
}

TEST(Vorkstat, ExitCodeKeepsThirtyTwoBitsOfTheTotal) {
    TempDir dir;
    dir.WriteFile("three/a", 3221225472ull);
    dir.WriteFile("five/b", 5368709120ull);
    struct Case {
        std::string path;
        std::vector<std::string> switches;
        const char* line;
        int32_t status;
    } cases[] = {
        {dir / "three", {"/X"}, "Speicherbedarf: 3221225472 Bytes\n", -1073741824},
        {dir / "five", {"/X"}, "Speicherbedarf: 5368709120 Bytes\n", 1073741824},
        {dir / "five", {"/E=1"}, "Speicherbedarf: 5242880.00 kB\n", 5242880},
        {dir.path(), {"/E=2"}, "Speicherbedarf: 8192.00 MB\n", 8192},
        {dir.path(), {"/L=8589934591"}, "Speicherbedarf: 8589934592 Bytes ... ausserhalb des Limits\n", 1},
        {dir.path(), {"/L=8589934592"}, "Speicherbedarf: 8589934592 Bytes ... innerhalb des Limits\n", 0},
    };
    for (const Case& c : cases) {
        const ReportOutcome outcome = MeasureInProcess(c.path, c.switches);
        EXPECT_EQ(c.line, outcome.line) << c.path << " " << c.switches[0];
        EXPECT_EQ(c.status, outcome.exitCode) << c.path << " " << c.switches[0];
    }
}

TEST(Vorkstat, EverythingIsCountedHiddenEmptyAndDotNames) {
    TempDir dir;
    dir.WriteFile(".hidden", 7);
    dir.WriteFile("empty", 0);
    dir.WriteFile(".cache/inner", 5);
    dir.WriteFile("noext", 3);
    dir.MakeDir("only/subfolders/here");
    dir.WriteFile("only/subfolders/x.dat", 11);
    ProcessResult result = RunVorkstat({dir.path(), "/X"});
    EXPECT_EQ(Native("Speicherbedarf: 26 Bytes\n"), result.output);
    EXPECT_EQ(26u, result.status);
}

TEST(Vorkstat, UnusablePathsReportZeroAndSayWhy) {
    const bool posix = testsupport::IsPosix();
    TempDir dir;
    MakeSmallTree(dir);
    dir.MakeDir("closed");
    struct Case {
        std::string path;
        std::string cause;
        bool asOrdinaryUser;
    } cases[] = {
        {dir / "missing", "Pfad nicht gefunden", false},
        {dir / "missing" + testsupport::Sep() + "deeper", "Pfad nicht gefunden", false},
        {dir / "a.bin", "Pfad ist kein Verzeichnis", false},
        // A wildcard is no name on Windows; on POSIX it is one, of nothing here.
        {dir / "*", posix ? "Pfad nicht gefunden" : "Pfad ungueltig", false},
        {dir / "s?b", posix ? "Pfad nicht gefunden" : "Pfad ungueltig", false},
        {dir / std::string(5000, 'n'), "Pfad zu lang", false},
        // Root reads anything: the command runs as an ordinary user then.
        {dir / "closed", "Zugriff verweigert", true},
    };
    if (posix) {
        std::filesystem::permissions(dir / "closed", std::filesystem::perms::none);
        std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all | std::filesystem::perms::others_read |
                                                     std::filesystem::perms::others_exec);
    }
    for (const Case& c : cases) {
        if (c.asOrdinaryUser && !posix) continue;  // permissions are tested on POSIX
        ProcessOptions options;
        options.asUnprivilegedUser = c.asOrdinaryUser;
        ProcessResult result = RunVorkstat({c.path, "/X", "/E=1", "/L=1"}, options);
        EXPECT_EQ(Native("Speicherbedarf: 0.00 kB ... innerhalb des Limits\n"), result.output) << c.path;
        EXPECT_EQ(0u, result.status) << c.path;
        EXPECT_EQ(Native("vorkstat: " + c.cause + ": " + c.path + "\n"), result.errors) << c.path;
    }
    // The path in the notice is the one typed, a bare drive without the root
    // slash the walk gives it.
    const ReportOutcome drive = MeasureInProcess("Q:", {"/X"});
    EXPECT_EQ("vorkstat: Pfad nicht gefunden: Q:\n", drive.notice);
}

TEST(Vorkstat, FoldersThatCannotBeReadAreCountedOutLoud) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "permissions are tested on POSIX";
    TempDir dir;
    dir.WriteFile("open/a", 5);
    dir.WriteFile("one/closed/b", 1000);
    dir.WriteFile("one/c", 2);
    dir.WriteFile("three/x/gone", 1000);
    dir.WriteFile("three/y/gone", 1000);
    dir.WriteFile("three/z/inner/gone", 1000);
    dir.WriteFile("three/d", 3);
    dir.WriteFile("none/e", 4);
    for (const char* closed : {"one/closed", "three/x", "three/y", "three/z"})
        std::filesystem::permissions(dir / closed, std::filesystem::perms::none);
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all | std::filesystem::perms::others_read |
                                                 std::filesystem::perms::others_exec);
    const std::string several = " Unterverzeichnisse nicht lesbar, nicht mitgezaehlt, das erste: ";
    struct Case {
        std::string top;
        std::string total;
        std::string notice;                // up to the first folder's path
        std::vector<std::string> firsts;   // the folders the walk may meet first
    } cases[] = {
        {dir / "none", "4", "", {""}},
        {dir / "one", "2", "vorkstat: 1 Unterverzeichnis nicht lesbar, nicht mitgezaehlt: ", {dir / "one/closed"}},
        {dir / "three", "3", "vorkstat: 3" + several, {dir / "three/x", dir / "three/y", dir / "three/z"}},
        {dir.path(), "14", "vorkstat: 4" + several,
         {dir / "one/closed", dir / "three/x", dir / "three/y", dir / "three/z"}},
    };
    // Root reads anything, so the command runs as an ordinary user.
    ProcessOptions options;
    options.asUnprivilegedUser = true;
    for (const Case& c : cases) {
        ProcessResult result = RunVorkstat({c.top, "/X"}, options);
        EXPECT_EQ("Speicherbedarf: " + c.total + " Bytes\n", result.output) << c.top;
        bool named = false;
        for (const std::string& first : c.firsts) named = named || result.errors == c.notice + first + (c.notice.empty() ? "" : "\n");
        EXPECT_TRUE(named) << c.top << ": " << result.errors;
    }
}

TEST(Vorkstat, NoticeNamesEveryCauseOnOnePlainLine) {
    struct Case {
        plat::Error topError;
        uint64_t leftOut;
        std::string path;
        const char* notice;
    } cases[] = {
        {plat::Error::None, 0, "x", ""},
        {plat::Error::Other, 0, "x", "vorkstat: Pfad nicht lesbar: x\n"},
        {plat::Error::SharingViolation, 0, "x", "vorkstat: Pfad nicht lesbar: x\n"},
        {plat::Error::InvalidName, 0, "D:\\dta", "vorkstat: Pfad ungueltig: D:\\dta\n"},
        // The top's own cause says all: what lies below it was not seen.
        {plat::Error::AccessDenied, 2, "x", "vorkstat: Zugriff verweigert: x\n"},
        // A name with line ends or terminal controls stays on one plain line.
        {plat::Error::NotFound, 0, "a\nb\x1b[2Jc\x7f", "vorkstat: Pfad nicht gefunden: a?b?[2Jc?\n"},
        {plat::Error::None, 1, "a\rb", "vorkstat: 1 Unterverzeichnis nicht lesbar, nicht mitgezaehlt: a?b\n"},
        {plat::Error::None, 12345678901ull, "t", "vorkstat: 12345678901 Unterverzeichnisse nicht lesbar, nicht mitgezaehlt, das erste: t\n"},
    };
    for (const Case& c : cases) {
        WalkOutcome outcome;
        outcome.topError = c.topError;
        outcome.foldersLeftOut = c.leftOut;
        outcome.firstLeftOut = c.path;
        EXPECT_EQ(c.notice, ComposeWalkNotice(c.path.c_str(), outcome)) << c.notice;
    }
}

TEST(Vorkstat, HelpSwitchesShowTheUsageText) {
    const bool posix = testsupport::IsPosix();
    TempDir dir;
    struct Case {
        std::vector<std::string> args;
        bool usage;
    } cases[] = {
        {{"/?"}, true},
        {{"/?", "/X", "/E=1"}, true},
        // Dashes are options where the system's programs take them; on
        // Windows the first argument is the path, whatever it looks like.
        {{"-h"}, posix},
        {{"--help", "/X"}, posix},
        {{"/?x", "/X"}, false},  // a name with a wildcard, no valid name on Windows
        {{"-?", "/X"}, false},
        {{"/h", "/X"}, false},
        {{"-help", "/X"}, false},
    };
    ProcessOptions options;
    options.workDir = dir.path();  // none of the names is there
    for (const Case& c : cases) {
        ProcessResult result = RunVorkstat(c.args, options);
        if (c.usage) {
            EXPECT_EQ(Native(kUsage), result.output) << c.args[0];
            EXPECT_EQ("", result.errors) << c.args[0];
            EXPECT_EQ(Status(0xFFFFFFFFu), result.status) << c.args[0];
        } else {
            EXPECT_EQ(Native("Speicherbedarf: 0 Bytes\n"), result.output) << c.args[0];
            const bool wildcard = c.args[0].find('?') != std::string::npos;
            const std::string cause = wildcard && !posix ? "Pfad ungueltig: " : "Pfad nicht gefunden: ";
            EXPECT_EQ(Native("vorkstat: " + cause + c.args[0] + "\n"), result.errors) << c.args[0];
            EXPECT_EQ(0u, result.status) << c.args[0];
        }
    }
}

TEST(Vorkstat, EmptyPathWalksTheCurrentFolder) {
    TempDir dir;
    MakeSmallTree(dir);
    ProcessOptions options;
    options.workDir = dir.path();
    ProcessResult result = RunVorkstat({"", "/X"}, options);
    EXPECT_EQ(Native("Speicherbedarf: 1536 Bytes\n"), result.output);
    ProcessResult relative = RunVorkstat({"sub", "/X"}, options);
    EXPECT_EQ(Native("Speicherbedarf: 536 Bytes\n"), relative.output);
}

TEST(Vorkstat, TotalsBeyondThirtyTwoBitsAreExact) {
    TempDir dir;
    // Sparse files: their length counts, not the space they take.
    dir.WriteFile("three/a", 3221225472ull);
    dir.WriteFile("five/b", 5368709120ull);
    ProcessResult three = RunVorkstat({dir / "three", "/X"});
    EXPECT_EQ(Native("Speicherbedarf: 3221225472 Bytes\n"), three.output);
    EXPECT_EQ(Status(3221225472ull), three.status);
    ProcessResult five = RunVorkstat({dir / "five", "/X"});
    EXPECT_EQ(Native("Speicherbedarf: 5368709120 Bytes\n"), five.output);
    EXPECT_EQ(Status(5368709120ull), five.status);
    ProcessResult limit = RunVorkstat({dir / "five", "/X", "/E=2", "/L=5120"});
    EXPECT_EQ(Native("Speicherbedarf: 5120.00 MB ... innerhalb des Limits\n"), limit.output);
    ProcessResult over = RunVorkstat({dir.path(), "/X", "/E=2", "/L=8191.99"});
    EXPECT_EQ(Native("Speicherbedarf: 8192.00 MB ... ausserhalb des Limits\n"), over.output);
    EXPECT_EQ(1u, over.status);
}

TEST(Vorkstat, KeyPromptWaitsAtATerminalUnlessSwitchedOff) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "typing into a console of its own needs a terminal";
    TempDir dir;
    MakeSmallTree(dir);
    struct Case {
        std::vector<std::string> args;
        bool waits;
    } cases[] = {
        {{dir.path()}, true},
        {{dir.path(), "/x"}, false},
        {{dir.path(), "/Xtra"}, false},
        {{"/X"}, true},  // the first argument is always the path
        {{}, true},      // the usage text waits too
        {{"/?", "/X"}, true},
        {{"--help"}, true},
    };
    for (const Case& c : cases) {
        testsupport::TerminalRun run = testsupport::RunInTerminal(Program(), c.args, 700, "k");
        ASSERT_TRUE(run.started);
        const std::string label = c.args.empty() ? "(none)" : c.args.back();
        EXPECT_EQ(!c.waits, run.exitedBeforeKey) << label;
        EXPECT_TRUE(run.exited) << label;
        // The key is read without echo.
        EXPECT_EQ(std::string::npos, run.screen.find('k', run.screen.rfind('\n') + 1)) << label;
    }
}

}  // namespace
