#include "ProgressIndicator.h"

#include <cstdio>
#include <utility>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace selvane::host {

ProgressIndicator::ProgressIndicator(std::ostream& err, std::string label,
                                     std::chrono::milliseconds delay,
                                     std::chrono::milliseconds interval)
    : err_(err),
      label_(std::move(label)),
      delay_(delay),
      interval_(interval),
      start_(std::chrono::steady_clock::now()),
      thread_(&ProgressIndicator::Run, this) {}

ProgressIndicator::~ProgressIndicator() { Stop(); }

void ProgressIndicator::Passes(int done, int total) {
    const auto since = std::chrono::steady_clock::now() - start_;
    doneAt_.store(std::chrono::duration_cast<std::chrono::microseconds>(since).count(),
                  std::memory_order_relaxed);
    total_.store(total, std::memory_order_relaxed);
    done_.store(done, std::memory_order_relaxed);
}

void ProgressIndicator::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    if (widest_ > 0) {
        // Spaces rather than an escape sequence: every console honours them.
        err_ << '\r' << std::string(widest_, ' ') << '\r' << std::flush;
        widest_ = 0;
    }
}

std::string ProgressIndicator::Line(double seconds, int done, int total, double doneAt) {
    char text[96];
    if (done < 1 || total < 1) {
        (void)std::snprintf(text, sizeof text, "%.1f s", seconds);
    } else {
        // A guess, and said so.
        double left = doneAt / done * (total - done) - (seconds - doneAt);
        if (left < 0.0) left = 0.0;
        (void)std::snprintf(text, sizeof text, "%d of %d passes, %.1f s, about %.0f s left", done,
                            total, seconds, left);
    }
    return text;
}

void ProgressIndicator::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    auto next = start_ + delay_;
    while (!wake_.wait_until(lock, next, [this] { return stopping_; })) {
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
        const int total = total_.load(std::memory_order_relaxed);
        const int done = done_.load(std::memory_order_relaxed);
        const double doneAt = 1e-6 * static_cast<double>(doneAt_.load(std::memory_order_relaxed));
        std::string line = label_ + " " + Line(elapsed.count(), done, total, doneAt);
        // Blanks over what a longer line left.
        const std::size_t width = line.size();
        if (width < widest_) line += std::string(widest_ - width, ' ');
        err_ << '\r' << line << std::flush;
        if (width > widest_) widest_ = width;
        next += interval_;
    }
}

bool StandardErrorIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

}  // namespace selvane::host
