// ConditionVariable: a std::condition_variable whose waits take our Mutex, which the caller holds (through a
// MutexLock) before and after each wait. The predicate runs with the mutex held: a predicate that reads
// guarded fields says so with REQUIRES, as in
//     changed_.wait(mutex_, [this]() REQUIRES(mutex_) { return state_ != State::Registering; });
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/Mutex.h"
#include "platform/ThreadAnnotations.h"

class ConditionVariable {
public:
    ConditionVariable() = default;
    ConditionVariable(const ConditionVariable&) = delete;
    ConditionVariable& operator=(const ConditionVariable&) = delete;

    void notifyAll() { changed_.notify_all(); }

    // Waits until done() holds.
    template <class Predicate>
    void wait(Mutex& mutex, Predicate done) REQUIRES(mutex) {
        // The wait lets go of the mutex and takes it again inside the standard library, out of the analysis'
        // sight; the caller holds it before and after, as REQUIRES says.
        std::unique_lock<std::mutex> lock(mutex.native(), std::adopt_lock);
        changed_.wait(lock, done);
        lock.release();
    }

    // Waits until done() holds or limit has passed; returns done().
    template <class Rep, class Period, class Predicate>
    bool waitFor(Mutex& mutex, std::chrono::duration<Rep, Period> limit, Predicate done) REQUIRES(mutex) {
        // As in wait: the mutex is let go and taken again inside the standard library.
        std::unique_lock<std::mutex> lock(mutex.native(), std::adopt_lock);
        bool held = changed_.wait_for(lock, limit, done);
        lock.release();
        return held;
    }

private:
    std::condition_variable changed_;
};
