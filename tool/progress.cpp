#include "tool/progress.h"

#include <algorithm>
#include <utility>

// A walk that counts no files (as yet) shows its bytes alone rather than
// a count of 0 that is not true.
std::string ComposeProgressText(uint64_t files, uint64_t bytes) {
    std::string counted;
    if (files != 0) counted = std::to_string(files) + (files == 1 ? " Datei, " : " Dateien, ");
    return "vorkstat: " + counted + std::to_string(bytes) + " Bytes ...";
}

// Carriage return and blanks rather than a terminal's erase sequence: every
// console and terminal takes them, with or without escape sequences.
std::string ComposeProgressUpdate(const std::string& text, size_t shownLength) {
    std::string update = "\r" + text;
    if (shownLength > text.size()) update.append(shownLength - text.size(), ' ');
    return update;
}

std::string ComposeProgressErase(size_t shownLength) {
    if (shownLength == 0) return "";
    return "\r" + std::string(shownLength, ' ') + "\r";
}

ProgressDisplay::ProgressDisplay(const WalkProgress& progress, bool onTerminal, Writer write, ProgressTiming timing)
    : m_progress(progress), m_write(std::move(write)), m_timing(timing) {
    if (onTerminal) m_thread = std::thread(&ProgressDisplay::Show, this);
}

ProgressDisplay::~ProgressDisplay() { Stop(); }

void ProgressDisplay::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

// True once Stop was called; waits at most `time` for it.
bool ProgressDisplay::WaitForStop(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds time) {
    return m_wake.wait_for(lock, time, [this] { return m_stopping; });
}

void ProgressDisplay::Show() {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (WaitForStop(lock, m_timing.delay)) return;
    size_t shown = 0;
    do {
        // Relaxed reads: the figures are a glimpse, the total comes from the walk.
        const std::string text = ComposeProgressText(m_progress.files.load(std::memory_order_relaxed),
                                                     m_progress.bytes.load(std::memory_order_relaxed));
        m_write(ComposeProgressUpdate(text, shown));
        shown = std::max(shown, text.size());
    } while (!WaitForStop(lock, m_timing.interval));
    m_write(ComposeProgressErase(shown));
}
