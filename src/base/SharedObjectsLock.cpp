#include "base/SharedObjectsLock.h"

std::recursive_mutex& sharedObjectsMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}
