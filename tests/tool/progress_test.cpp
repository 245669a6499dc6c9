// The progress display of a long walk: its text, how it is put over itself
// and taken off the terminal again, and when it shows nothing at all. A
// recording writer and short timings stand in for the terminal and the walk.

#include "tool/progress.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using std::chrono::milliseconds;

// One line of a terminal: a carriage return goes back to its start, every
// other character is written where the cursor stands.
struct TerminalLine {
    std::string cells;
    size_t cursor = 0;
    void Write(const std::string& text) {
        for (char c : text) {
            if (c == '\r') {
                cursor = 0;
                continue;
            }
            if (cursor == cells.size()) cells += c;
            else cells[cursor] = c;
            ++cursor;
        }
    }
    bool Blank() const { return cells.find_first_not_of(' ') == std::string::npos; }
};

// Writes of the display thread, kept in order.
class Recorder {
public:
    ProgressDisplay::Writer Writer() {
        return [this](const std::string& text) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_writes.push_back(text);
        };
    }
    std::vector<std::string> Writes() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_writes;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_writes;
};

TEST(Progress, TextIsPutOverItselfAndErasedWhole) {
    EXPECT_EQ("vorkstat: 0 Bytes ...", ComposeProgressText(0, 0));
    EXPECT_EQ("vorkstat: 4096 Bytes ...", ComposeProgressText(0, 4096));  // a walk that counts no files
    EXPECT_EQ("vorkstat: 1 Datei, 0 Bytes ...", ComposeProgressText(1, 0));
    EXPECT_EQ("vorkstat: 120345 Dateien, 15032385536 Bytes ...", ComposeProgressText(120345, 15032385536ull));
    // The longest line still fits a terminal of 80 columns.
    EXPECT_GE(80u, ComposeProgressText(UINT64_MAX, UINT64_MAX).size());
    struct Case {
        std::vector<std::string> shown;  // the texts, one after the other
        std::string screen;              // what the line then shows
    } cases[] = {
        {{"abc"}, "abc"},
        {{"abcdef", "xy"}, "xy    "},
        {{"abcdef", "xy", "123"}, "123   "},
        {{"ab", "wxyz"}, "wxyz"},
    };
    for (const Case& c : cases) {
        TerminalLine line;
        size_t shown = 0;
        for (const std::string& text : c.shown) {
            line.Write(ComposeProgressUpdate(text, shown));
            shown = std::max(shown, text.size());
        }
        EXPECT_EQ(c.screen, line.cells) << c.shown.back();
        line.Write(ComposeProgressErase(shown));
        EXPECT_TRUE(line.Blank()) << c.shown.back();
        EXPECT_EQ(0u, line.cursor) << c.shown.back();  // the report line starts at the left
    }
    EXPECT_EQ("", ComposeProgressErase(0));
}

TEST(Progress, ShownOnlyAtATerminalAndOnlyForALongWalk) {
    struct Case {
        const char* label;
        bool onTerminal;
        ProgressTiming timing;
        milliseconds walk;
        bool shown;
    } cases[] = {
        {"no terminal", false, {milliseconds(0), milliseconds(5)}, milliseconds(100), false},
        {"short walk", true, {milliseconds(1000), milliseconds(5)}, milliseconds(50), false},
        {"long walk", true, {milliseconds(20), milliseconds(5)}, milliseconds(200), true},
    };
    for (const Case& c : cases) {
        WalkProgress progress;
        Recorder recorder;
        const auto start = std::chrono::steady_clock::now();
        milliseconds stopping{0};
        {
            ProgressDisplay display(progress, c.onTerminal, recorder.Writer(), c.timing);
            for (int step = 1; step <= 10; ++step) {
                progress.files.fetch_add(3);
                progress.bytes.fetch_add(4096);
                std::this_thread::sleep_for(c.walk / 10);
            }
            const auto stop = std::chrono::steady_clock::now();
            display.Stop();
            stopping = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - stop);
        }
        // Ends at once, not after its delay or interval.
        EXPECT_GT(500, stopping.count()) << c.label;
        EXPECT_LE(c.walk.count(), std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start).count());
        const std::vector<std::string> writes = recorder.Writes();
        if (!c.shown) {
            EXPECT_TRUE(writes.empty()) << c.label;
            continue;
        }
        ASSERT_LE(3u, writes.size()) << c.label;  // updates, then the erase
        TerminalLine line;
        bool sawFigures = false;
        for (size_t i = 0; i + 1 < writes.size(); ++i) {
            line.Write(writes[i]);
            sawFigures = sawFigures || line.cells.find(" Dateien, ") != std::string::npos;
        }
        EXPECT_TRUE(sawFigures) << c.label;
        EXPECT_EQ("vorkstat: 30 Dateien, 40960 Bytes ...", line.cells.substr(0, line.cells.find(" ...") + 4))
            << "the last update shows the figures at the end of the walk";
        line.Write(writes.back());
        EXPECT_TRUE(line.Blank()) << c.label;
        EXPECT_EQ(0u, line.cursor) << c.label;
    }
}

}  // namespace
