// Sets SELVANE_THREADS for a scope and unsets it afterwards.
#ifndef SELVANE_TESTS_SUPPORT_THREADS_VARIABLE_H
#define SELVANE_TESTS_SUPPORT_THREADS_VARIABLE_H

#include <cstdlib>
#include <string>

namespace selvane {
namespace test_support {

class ThreadsVariable {
public:
    explicit ThreadsVariable(const char* value) { Set(value); }
    ~ThreadsVariable() { Set(nullptr); }
    ThreadsVariable(const ThreadsVariable&) = delete;
    ThreadsVariable& operator=(const ThreadsVariable&) = delete;

    // nullptr unsets the variable.
    static void Set(const char* value) {
#if defined(_WIN32)
        // The C runtime's own copy, which getenv reads; "NAME=" removes it.
        const std::string entry =
            std::string("SELVANE_THREADS=") + (value ? value : "");
        _putenv(entry.c_str());
#else
        if (value) {
            setenv("SELVANE_THREADS", value, 1);
        } else {
            unsetenv("SELVANE_THREADS");
        }
#endif
    }
};

}  // namespace test_support
}  // namespace selvane

#endif  // SELVANE_TESTS_SUPPORT_THREADS_VARIABLE_H
