// The thread count the host asks of the library for one job.
#ifndef SELVANE_TOOLS_THREAD_SETTING_H
#define SELVANE_TOOLS_THREAD_SETTING_H

#include <string>

namespace selvane::host {

// Selvane() takes no thread count: it reads SELVANE_THREADS at every call.
// While this lives, the process's SELVANE_THREADS is threads (when
// positive); the earlier value, or its absence, comes back after.
class ThreadSetting {
public:
    explicit ThreadSetting(int threads);
    ~ThreadSetting();
    ThreadSetting(const ThreadSetting&) = delete;
    ThreadSetting& operator=(const ThreadSetting&) = delete;

private:
    bool changed_ = false;
    bool had_ = false;
    std::string previous_;
};

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_THREAD_SETTING_H
