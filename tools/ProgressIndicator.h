// A line on a terminal that shows how far a long library call has got, so
// that a person sees the program is working and roughly how long it will
// take; gone again when the call ends.
#ifndef SELVANE_TOOLS_PROGRESS_INDICATOR_H
#define SELVANE_TOOLS_PROGRESS_INDICATOR_H

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

namespace selvane::host {

class ProgressIndicator {
public:
    // Starts a thread that waits delay, then writes "\r<label> <line>" to
    // err every interval until Stop(): the elapsed seconds, and once
    // Passes() has been told of one, the passes done and an estimate of
    // the time left. Nothing else may write to err until Stop() returns.
    ProgressIndicator(std::ostream& err, std::string label,
                      std::chrono::milliseconds delay = std::chrono::milliseconds(1000),
                      std::chrono::milliseconds interval = std::chrono::milliseconds(100));
    ~ProgressIndicator();
    ProgressIndicator(const ProgressIndicator&) = delete;
    ProgressIndicator& operator=(const ProgressIndicator&) = delete;

    // From any thread: done of total passes are finished.
    void Passes(int done, int total);

    // Ends the thread and blanks the line it wrote, if it wrote one; err's
    // cursor is then back at the start of that line. Idempotent.
    void Stop();

    // "12 of 200 passes, 3.1 s, about 48 s left" at `seconds`, the last
    // pass having finished at doneAt: the passes to come at the mean pace
    // so far, less the time the next has run. Before the first pass, the
    // seconds alone.
    static std::string Line(double seconds, int done, int total, double doneAt);

private:
    void Run();

    std::ostream& err_;
    const std::string label_;
    const std::chrono::milliseconds delay_;
    const std::chrono::milliseconds interval_;
    const std::chrono::steady_clock::time_point start_;
    std::atomic<int> done_{0};
    std::atomic<int> total_{0};
    std::atomic<std::int64_t> doneAt_{0};  // microseconds from start_
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::size_t widest_ = 0;  // longest line written, to blank it
    std::thread thread_;
};

// True when the process's standard error is an interactive terminal.
bool StandardErrorIsTerminal();

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_PROGRESS_INDICATOR_H
