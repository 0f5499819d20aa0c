// Mutex and RecursiveMutex: the locks of the code, a std::mutex and a std::recursive_mutex that clang's
// thread-safety analysis knows as capabilities (platform/ThreadAnnotations.h), so that a field declared
// GUARDED_BY one of them cannot be touched without it. MutexLock holds either for one scope.
//
// Each is exactly its standard mutex: a Mutex is constant-initialised and trivially destroyed wherever a
// std::mutex is, and both live in NeverDestroyed statics as the standard ones do.
#pragma once

#include <mutex>

#include "platform/ThreadAnnotations.h"

class CAPABILITY("mutex") Mutex {
public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void lock() ACQUIRE() { mutex_.lock(); }
    void unlock() RELEASE() { mutex_.unlock(); }
    // The standard mutex inside, for ConditionVariable's waits only.
    std::mutex& native() RETURN_CAPABILITY(this) { return mutex_; }

private:
    std::mutex mutex_;
};

// May be taken again by the thread that holds it. The analysis does not know that: a function that holds
// one and calls another that takes it again must leave that second function unannotated.
class CAPABILITY("mutex") RecursiveMutex {
public:
    RecursiveMutex() = default;
    RecursiveMutex(const RecursiveMutex&) = delete;
    RecursiveMutex& operator=(const RecursiveMutex&) = delete;

    void lock() ACQUIRE() { mutex_.lock(); }
    void unlock() RELEASE() { mutex_.unlock(); }

private:
    std::recursive_mutex mutex_;
};

// Holds a Mutex or a RecursiveMutex from construction to the end of the scope: MutexLock guard(mutex_);
template <class Lockable>
class SCOPED_CAPABILITY MutexLock {
public:
    explicit MutexLock(Lockable& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
    ~MutexLock() RELEASE() { mutex_.unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    Lockable& mutex_;
};
