#include "base/SharedObjectsLock.h"

// A function-local static: made on first use and destroyed at unload after every static object whose
// construction used it first. Holders that lock it from their destructors call it in their constructors.
std::recursive_mutex& sharedObjectsMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}
