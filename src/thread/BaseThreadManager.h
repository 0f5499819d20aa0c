// BaseThreadManager: the registry of every live BaseThread, keyed by address. BaseThread registers itself
// on construction and leaves on destruction, from whichever thread does that; the registry is guarded.
#pragma once

#include <cstddef>
#include <set>

#include "base/BaseObject.h"
#include "platform/Mutex.h"

class BaseThread;

class BaseThreadManager : public BaseObject {
public:
    void registerThread(BaseThread* thread) EXCLUDES(mutex_);
    void unregisterThread(BaseThread* thread) EXCLUDES(mutex_);
    std::size_t registeredCount() EXCLUDES(mutex_);
    bool isRegistered(BaseThread* thread) EXCLUDES(mutex_);

private:
    Mutex mutex_;
    std::set<BaseThread*> registry_ GUARDED_BY(mutex_);
};

// The one manager, a shared object (base/SharedObjectsLock.h): never destroyed at exit or unload.
BaseThreadManager* sharedThreadManager();
