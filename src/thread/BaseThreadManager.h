// BaseThreadManager: the registry of every live BaseThread, keyed by address. BaseThread registers itself
// on construction and leaves on destruction, from whichever thread does that; the registry is guarded.
#pragma once

#include <cstddef>
#include <mutex>
#include <set>

#include "base/BaseObject.h"

class BaseThread;

class BaseThreadManager : public BaseObject {
public:
    void registerThread(BaseThread* thread);
    void unregisterThread(BaseThread* thread);
    std::size_t registeredCount();
    bool isRegistered(BaseThread* thread);

private:
    std::mutex mutex_;
    std::set<BaseThread*> registry_;
};

// The one manager, a shared object (base/SharedObjectsLock.h): never destroyed at exit or unload.
BaseThreadManager* sharedThreadManager();
