// The module-wide recursive mutex that guards the first-use creation of process-wide shared objects (the
// intern table, the shared login manager, the notification center), and SharedInstance, the holder that
// creates such an object once and releases it when the module unloads.
#pragma once

#include <atomic>
#include <mutex>

#include "base/BaseObject.h"

std::recursive_mutex& sharedObjectsMutex();

// A process-wide object made on first use: test, take the module-wide mutex, test again, create. The
// holder owns the object's one reference and gives it back at unload. Declare holders at namespace scope:
// their constructor is constant, so they exist before any code runs.
template <class T>
class SharedInstance {
public:
    constexpr SharedInstance() = default;
    ~SharedInstance() { release(instance_.exchange(nullptr)); }
    SharedInstance(const SharedInstance&) = delete;
    SharedInstance& operator=(const SharedInstance&) = delete;

    // make returns a new object owned by the caller (plain creation).
    template <class Make>
    T* get(Make make) {
        T* existing = instance_.load(std::memory_order_acquire);
        if (existing) return existing;
        std::lock_guard<std::recursive_mutex> guard(sharedObjectsMutex());
        existing = instance_.load(std::memory_order_relaxed);
        if (!existing) {
            existing = make();
            instance_.store(existing, std::memory_order_release);
        }
        return existing;
    }

private:
    std::atomic<T*> instance_{nullptr};
};
