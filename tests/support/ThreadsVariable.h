// Sets an environment variable the library reads (SELVANE_THREADS,
// SELVANE_SWEEP) for a scope and unsets it afterwards.
#ifndef SELVANE_TESTS_SUPPORT_THREADS_VARIABLE_H
#define SELVANE_TESTS_SUPPORT_THREADS_VARIABLE_H

#include <cstdlib>
#include <string>

namespace selvane {
namespace test_support {

class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, const char* value) : name_(name) {
        Set(name, value);
    }
    ~EnvironmentVariable() { Set(name_, nullptr); }
    EnvironmentVariable(const EnvironmentVariable&) = delete;
    EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

    // nullptr unsets the variable.
    static void Set(const char* name, const char* value) {
#if defined(_WIN32)
        // The C runtime's own copy, which getenv reads; "NAME=" removes it.
        const std::string entry =
            std::string(name) + "=" + (value ? value : "");
        _putenv(entry.c_str());
#else
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
#endif
    }

private:
    const char* name_;
};

class ThreadsVariable : public EnvironmentVariable {
public:
    explicit ThreadsVariable(const char* value)
        : EnvironmentVariable("SELVANE_THREADS", value) {}
    static void Set(const char* value) {
        EnvironmentVariable::Set("SELVANE_THREADS", value);
    }
};

}  // namespace test_support
}  // namespace selvane

#endif  // SELVANE_TESTS_SUPPORT_THREADS_VARIABLE_H
