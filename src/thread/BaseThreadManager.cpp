#include "thread/BaseThreadManager.h"

#include "base/SharedObjectsLock.h"

void BaseThreadManager::registerThread(BaseThread* thread) {
    MutexLock guard(mutex_);
    registry_.insert(thread);
}

void BaseThreadManager::unregisterThread(BaseThread* thread) {
    MutexLock guard(mutex_);
    registry_.erase(thread);
}

std::size_t BaseThreadManager::registeredCount() {
    MutexLock guard(mutex_);
    return registry_.size();
}

bool BaseThreadManager::isRegistered(BaseThread* thread) {
    MutexLock guard(mutex_);
    return registry_.count(thread) > 0;
}

namespace {

SharedInstance<BaseThreadManager> manager;

}  // namespace

// Threads leave the registry from their own last steps: it is released only with the other shared objects.
BaseThreadManager* sharedThreadManager() { return manager.get(); }
