#include "base/SharedObjectsLock.h"

#include "base/NeverDestroyed.h"

namespace {

// The holders that hold an object, the newest first.
SharedHolder* newestHolder GUARDED_BY(sharedObjectsMutex()) = nullptr;

}  // namespace

RecursiveMutex& sharedObjectsMutex() {
    static NeverDestroyed<RecursiveMutex> mutex;
    return *mutex;
}

void SharedHolder::enlist() {
    if (listed_) return;
    listed_ = true;
    next_ = newestHolder;
    newestHolder = this;
}

// Each object is let go outside the list's lock; its destructor may use (and so make again) another
// shared object, which is then let go in its turn.
void releaseSharedInstances() {
    for (;;) {
        SharedHolder* holder = nullptr;
        {
            MutexLock guard(sharedObjectsMutex());
            holder = newestHolder;
            if (!holder) return;
            newestHolder = holder->next_;
            holder->next_ = nullptr;
            holder->listed_ = false;
        }
        holder->releaseHeld_(holder);
    }
}
