#include "ThreadSetting.h"

#include <cstdlib>
#include <string>

namespace selvane::host {

namespace {

const char kVariable[] = "SELVANE_THREADS";

void Set(const char* value) {
#ifdef _WIN32
    // An empty value removes the variable.
    _putenv_s(kVariable, value != nullptr ? value : "");
#else
    if (value != nullptr) {
        setenv(kVariable, value, 1);
    } else {
        unsetenv(kVariable);
    }
#endif
}

}  // namespace

ThreadSetting::ThreadSetting(int threads) {
    if (threads <= 0) return;
    const char* previous = std::getenv(kVariable);
    had_ = previous != nullptr;
    if (had_) previous_ = previous;
    Set(std::to_string(threads).c_str());
    changed_ = true;
}

ThreadSetting::~ThreadSetting() {
    if (changed_) Set(had_ ? previous_.c_str() : nullptr);
}

}  // namespace selvane::host
