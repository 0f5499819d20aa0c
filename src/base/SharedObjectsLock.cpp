#include "base/SharedObjectsLock.h"

// Made on first use and never destroyed: holders at namespace scope lock it from their destructors at
// process exit, and a function-local static made after them would already be gone by then. The pointer
// stays reachable, so it is no leak.
std::recursive_mutex& sharedObjectsMutex() {
    static auto* mutex = new std::recursive_mutex;
    return *mutex;
}
