// The few thread primitives the passes need, over POSIX threads (on Windows
// mingw-w64's winpthreads, linked statically). They report failure by their
// result rather than by an exception, so a thread that cannot be started is
// something the caller can work around. Internal.
#ifndef SELVANE_COMMON_WORKER_THREADS_H
#define SELVANE_COMMON_WORKER_THREADS_H

#include <pthread.h>

#include <cstdint>

namespace selvane {

class Mutex {
public:
    Mutex() { pthread_mutex_init(&mutex_, nullptr); }
    ~Mutex() { pthread_mutex_destroy(&mutex_); }
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
    void Lock() { pthread_mutex_lock(&mutex_); }
    void Unlock() { pthread_mutex_unlock(&mutex_); }
    pthread_mutex_t* native() { return &mutex_; }

private:
    pthread_mutex_t mutex_;
};

class Condition {
public:
    Condition() { pthread_cond_init(&condition_, nullptr); }
    ~Condition() { pthread_cond_destroy(&condition_); }
    Condition(const Condition&) = delete;
    Condition& operator=(const Condition&) = delete;
    // Waits with mutex locked; may wake without a signal.
    void Wait(Mutex& mutex) { pthread_cond_wait(&condition_, mutex.native()); }
    void Signal() { pthread_cond_signal(&condition_); }
    void Broadcast() { pthread_cond_broadcast(&condition_); }

private:
    pthread_cond_t condition_;
};

// Starts body(argument) on a new thread; false when no thread could be
// started.
bool StartThread(pthread_t* thread, void* (*body)(void*), void* argument);
void JoinThread(pthread_t thread);

// Test hook, process-wide: `count` thread starts from the first-th from now
// on (first = 1: the next) fail as if the system had refused them; a count
// of 0 cancels. Not for use while jobs run on other threads.
void FailThreadStarts(std::int64_t first, std::int64_t count);

}  // namespace selvane

#endif  // SELVANE_COMMON_WORKER_THREADS_H
