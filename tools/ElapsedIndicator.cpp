#include "ElapsedIndicator.h"

#include <cstdio>
#include <utility>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace selvane::host {

namespace {

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

}  // namespace

ElapsedIndicator::ElapsedIndicator(std::ostream& err, std::string label,
                                   std::chrono::milliseconds delay,
                                   std::chrono::milliseconds interval)
    : err_(err),
      label_(std::move(label)),
      delay_(delay),
      interval_(interval),
      start_(std::chrono::steady_clock::now()),
      thread_(&ElapsedIndicator::Run, this) {}

ElapsedIndicator::~ElapsedIndicator() { Stop(); }

void ElapsedIndicator::Stop() {
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

void ElapsedIndicator::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    auto next = start_ + delay_;
    while (!wake_.wait_until(lock, next, [this] { return stopping_; })) {
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
        const std::string line = label_ + " " + Seconds(elapsed.count());
        err_ << '\r' << line << std::flush;
        if (line.size() > widest_) widest_ = line.size();
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
