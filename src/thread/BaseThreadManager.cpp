#include "thread/BaseThreadManager.h"

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

// Made once and never destroyed: threads that were stopped from themselves may still leave the registry
// while the process or the module is shutting down.
BaseThreadManager* sharedThreadManager() {
    static BaseThreadManager* manager = new BaseThreadManager();
    return manager;
}
