#include "tool/report.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>

void PrintUsage() {
    std::printf("\n%s\n", "VORKSTAT.EXE V2.0, vorkstat-Entwicklerteam 2026");
    std::printf("\nProgrammaufruf : vorkstat.exe <Pfad> [Parameter (optional)]\n\n");
    std::printf("          'vorkstat.exe' ermittelt die gesamte Speichergroesse\n");
    std::printf("          des angegebenen Pfades (inkl.Unterverzeichnisse)\n");
    std::printf("\n");
    std::printf("          Der Rueckgabewert ist die Speichergroesse in Bytes\n");
    std::printf("\n");
    std::printf("          [Parameter (optional)]\n");
    std::printf("          /E=<0,1,2> Einheit der Eingabe- und Ausgabewerte.\n");
    std::printf("               <0> ... Einheit ist Byte (dafault)\n");
    std::printf("               <1> ... Einheit ist Kilobyte (1024 Bytes)\n");
    std::printf("               <2> ... Einheit ist Megabyte (1024 Kilobytes)\n");
    std::printf("          /L=<Wert> Limit in der ausgewaehlten Einheit.\n");
    std::printf("               wird ein Limit eingegeben, dann ist der\n");
    std::printf("               Rueckgabewert 0 oder 1.\n");
    std::printf("               0 .. unter dem Limit, 1 .. ueber dem Limit.\n");
    std::printf("          /X   ohne abschliessende Eingabeaufforderung.\n");
}

std::string FormatSizeText(uint64_t total, double unitFactor) {
    char text[64];
    if (unitFactor == 1024.0)
        std::snprintf(text, sizeof text, "%.2f kB", double(total) / 1024.0);
    else if (unitFactor == 1048576.0)
        std::snprintf(text, sizeof text, "%.2f MB", double(total) / 1048576.0);
    else
        std::snprintf(text, sizeof text, "%" PRIu64 " Bytes", total);
    return text;
}

bool ExceedsLimit(uint64_t total, double limit) {
    if (std::isnan(limit)) return false;  // as a comparison with NaN
    if (limit < 0.0) return true;
    if (limit >= 18446744073709551616.0) return false;
    // total > limit exactly: with whole bytes, total > floor(limit).
    return total > uint64_t(limit);
}

ReportOutcome ComposeReport(uint64_t total, const RunOptions& options) {
    const std::string size = FormatSizeText(total, options.unitFactor);
    if (options.limit == 0.0)
        return {"Speicherbedarf: " + size + "\n", int32_t(uint32_t(total / uint64_t(options.unitFactor)))};
    if (ExceedsLimit(total, options.limit)) return {"Speicherbedarf: " + size + " ... ausserhalb des Limits\n", 1};
    return {"Speicherbedarf: " + size + " ... innerhalb des Limits\n", 0};
}

namespace {

const char* CauseText(plat::Error error) {
    switch (error) {
        case plat::Error::NotFound: return "Pfad nicht gefunden";
        case plat::Error::AccessDenied: return "Zugriff verweigert";
        case plat::Error::NotFolder: return "Pfad ist kein Verzeichnis";
        case plat::Error::NameTooLong: return "Pfad zu lang";
        case plat::Error::InvalidName: return "Pfad ungueltig";
        default: return "Pfad nicht lesbar";
    }
}

// A name may hold line ends and terminal controls; the notice stays one
// plain line.
std::string Printable(const std::string& path) {
    std::string text = path;
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    }
    return text;
}

}  // namespace

std::string ComposeWalkNotice(const char* path, const WalkOutcome& outcome) {
    if (outcome.topError != plat::Error::None)
        return std::string("vorkstat: ") + CauseText(outcome.topError) + ": " + Printable(path) + "\n";
    if (outcome.foldersLeftOut == 0) return "";
    const std::string first = Printable(outcome.firstLeftOut);
    if (outcome.foldersLeftOut == 1)
        return "vorkstat: 1 Unterverzeichnis nicht lesbar, nicht mitgezaehlt: " + first + "\n";
    return "vorkstat: " + std::to_string(outcome.foldersLeftOut) +
           " Unterverzeichnisse nicht lesbar, nicht mitgezaehlt, das erste: " + first + "\n";
}

bool WriteOutput(const char* text) {
    const bool written = std::fputs(text, stdout) >= 0;
    // Buffered output fails only when it is flushed.
    return std::fflush(stdout) == 0 && written && !std::ferror(stdout);
}

void ReportOutputFailure() { WriteErrorText("vorkstat: Fehler beim Schreiben der Ausgabe, kein Ergebnis\n"); }

void WriteErrorText(const std::string& text) {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}
