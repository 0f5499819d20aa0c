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

// Destroyed at unload after the thread table, which first waits for every thread to end.
BaseThreadManager* sharedThreadManager() {
    static BaseThreadManager manager;
    return &manager;
}
