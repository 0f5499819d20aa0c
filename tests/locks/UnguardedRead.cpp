// Not part of any build: make check-locks compiles it with the thread-safety analysis and expects the
// compiler to refuse it, which shows that the analysis runs and reads our annotations. The one fault is a
// field read without the lock that guards it.
#include "platform/Mutex.h"

class Counter {
public:
    void add() {
        MutexLock guard(mutex_);
        ++count_;
    }
    int unguardedRead() const { return count_; }

private:
    mutable Mutex mutex_;
    int count_ GUARDED_BY(mutex_) = 0;
};

int countAfterOneAdd() {
    Counter counter;
    counter.add();
    return counter.unguardedRead();
}
