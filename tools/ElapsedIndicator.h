// A line on a terminal that counts the seconds of a long library call, so
// that a person sees the program is working; gone again when the call ends.
#ifndef SELVANE_TOOLS_ELAPSED_INDICATOR_H
#define SELVANE_TOOLS_ELAPSED_INDICATOR_H

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

namespace selvane::host {

class ElapsedIndicator {
public:
    // Starts a thread that waits delay, then writes "\r<label> <s.s> s" to
    // err every interval until Stop(). Nothing else may write to err
    // until Stop() returns.
    ElapsedIndicator(std::ostream& err, std::string label,
                     std::chrono::milliseconds delay = std::chrono::milliseconds(1000),
                     std::chrono::milliseconds interval = std::chrono::milliseconds(100));
    ~ElapsedIndicator();
    ElapsedIndicator(const ElapsedIndicator&) = delete;
    ElapsedIndicator& operator=(const ElapsedIndicator&) = delete;

    // Ends the thread and blanks the line it wrote, if it wrote one; err's
    // cursor is then back at the start of that line. Idempotent.
    void Stop();

private:
    void Run();

    std::ostream& err_;
    const std::string label_;
    const std::chrono::milliseconds delay_;
    const std::chrono::milliseconds interval_;
    const std::chrono::steady_clock::time_point start_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::size_t widest_ = 0;  // longest line written, to blank it
    std::thread thread_;
};

// True when the process's standard error is an interactive terminal.
bool StandardErrorIsTerminal();

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_ELAPSED_INDICATOR_H
