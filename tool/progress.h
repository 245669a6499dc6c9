// The walk's progress at a terminal: files and bytes so far on standard
// error while a long walk runs, erased again before the report line.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "tool/size_walk.h"

// "vorkstat: 120345 Dateien, 15032385536 Bytes ..." (no line end); without
// the files while none are counted.
std::string ComposeProgressText(uint64_t files, uint64_t bytes);

// What puts `text` over the progress line shown so far (`shownLength`
// characters): back to the line's start, the text, and blanks over what
// would be left of a longer line.
std::string ComposeProgressUpdate(const std::string& text, size_t shownLength);

// What takes a line of `shownLength` characters off the terminal and leaves
// the cursor at its start: empty when nothing was shown.
std::string ComposeProgressErase(size_t shownLength);

struct ProgressTiming {
    std::chrono::milliseconds delay{1000};    // a walk shorter than this shows nothing
    std::chrono::milliseconds interval{250};  // between two updates
};

// Shows the counters of a running walk from a thread of its own, which
// only reads the counters and writes through `write`: it touches nothing
// of the walk or the library. Without a terminal it starts no thread and
// writes nothing.
class ProgressDisplay {
public:
    using Writer = std::function<void(const std::string&)>;

    ProgressDisplay(const WalkProgress& progress, bool onTerminal, Writer write, ProgressTiming timing = {});
    ~ProgressDisplay();
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;

    // Ends the display at once, whatever the timing, and erases what it
    // showed; when it returns nothing more is written.
    void Stop();

private:
    void Show();
    bool WaitForStop(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds time);

    const WalkProgress& m_progress;
    Writer m_write;
    ProgressTiming m_timing;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::thread m_thread;
};
