#include "thread/BaseThreadManager.h"

#include "base/SharedObjectsLock.h"

void BaseThreadManager::registerThread(BaseThread* thread) {
    std::lock_guard<std::mutex> guard(mutex_);
    registry_.insert(thread);
}

void BaseThreadManager::unregisterThread(BaseThread* thread) {
    std::lock_guard<std::mutex> guard(mutex_);
    registry_.erase(thread);
}

std::size_t BaseThreadManager::registeredCount() {
    std::lock_guard<std::mutex> guard(mutex_);
    return registry_.size();
}

bool BaseThreadManager::isRegistered(BaseThread* thread) {
    std::lock_guard<std::mutex> guard(mutex_);
    return registry_.count(thread) > 0;
}

namespace {

SharedInstance<BaseThreadManager> manager;

}  // namespace

// Threads leave the registry from their own last steps: it is released only with the other shared objects.
BaseThreadManager* sharedThreadManager() { return manager.get(); }
