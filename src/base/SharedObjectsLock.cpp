#include "base/SharedObjectsLock.h"

#include "base/NeverDestroyed.h"

namespace {

// The holders that hold an object, the newest first. Guarded by sharedObjectsMutex.
SharedHolder* newestHolder = nullptr;

}  // namespace

std::recursive_mutex& sharedObjectsMutex() {
    static NeverDestroyed<std::recursive_mutex> mutex;
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
            std::lock_guard<std::recursive_mutex> guard(sharedObjectsMutex());
            holder = newestHolder;
            if (!holder) return;
            newestHolder = holder->next_;
            holder->next_ = nullptr;
            holder->listed_ = false;
        }
        holder->releaseHeld_(holder);
    }
}
