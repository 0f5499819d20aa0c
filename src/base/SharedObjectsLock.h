// The module-wide recursive mutex that guards the first-use creation of process-wide shared objects, and
// SharedInstance, the holder of such an object (the intern table, the shared login manager, the
// notification center, the pilot's waiting log lines, the thread table, ...).
//
// A thread of ours may use a shared object at any time, and may still be running while the process exits or
// the module unloads. So the C++ runtime never destroys one: holders have no destructor, and the mutex is
// never destroyed. Instead releaseSharedInstances() lets go of every object made so far, newest first, once
// the module knows that none of its threads runs any more (the plug-in calls it from XPluginStop, just
// before the simulator unloads it): nothing the module made is then left on the heap, and every holder is
// empty again, so that a later use makes its object afresh. Should a thread of ours never end, the objects
// are simply kept, and the module with them.
#pragma once

#include <atomic>
#include <type_traits>

#include "base/BaseObject.h"
#include "platform/Mutex.h"

RecursiveMutex& sharedObjectsMutex();

// The part of a holder that the list of made objects links; see SharedInstance.
class SharedHolder {
public:
    SharedHolder(const SharedHolder&) = delete;
    SharedHolder& operator=(const SharedHolder&) = delete;

protected:
    using ReleaseFunction = void (*)(SharedHolder* holder);
    constexpr explicit SharedHolder(ReleaseFunction releaseHeld) : releaseHeld_(releaseHeld) {}
    // Puts the holder on the list of those holding an object.
    void enlist() REQUIRES(sharedObjectsMutex());

private:
    friend void releaseSharedInstances();

    const ReleaseFunction releaseHeld_;
    SharedHolder* next_ GUARDED_BY(sharedObjectsMutex()) = nullptr;
    bool listed_ GUARDED_BY(sharedObjectsMutex()) = false;
};

// A process-wide object made on first use: test, take the module-wide mutex, test again, create. The holder
// owns the object's one reference (a BaseObject is released, anything else deleted). Declare holders at
// namespace scope: their constructor is constant and their destructor trivial, so they exist before any code
// runs and are never destroyed.
template <class T>
class SharedInstance : private SharedHolder {
public:
    constexpr SharedInstance() : SharedHolder(&SharedInstance::releaseHeld) {}

    // make returns a new object owned by the caller (plain creation).
    template <class Make>
    T* get(Make make) {
        T* existing = instance_.load(std::memory_order_acquire);
        if (existing) return existing;
        MutexLock guard(sharedObjectsMutex());
        existing = instance_.load(std::memory_order_relaxed);
        if (!existing) {
            existing = make();
            instance_.store(existing, std::memory_order_release);
            enlist();
        }
        return existing;
    }
    T* get() {
        return get([] { return new T(); });
    }

    // The object held, or null; no reference for the caller.
    T* current() const { return instance_.load(std::memory_order_acquire); }
    // Holds object from now on, taking over the caller's reference to it (null empties the holder), and
    // hands the caller the reference to the one held before (may be null).
    T* exchange(T* object) {
        MutexLock guard(sharedObjectsMutex());
        if (object) enlist();
        return instance_.exchange(object, std::memory_order_acq_rel);
    }
    // Empties the holder when it holds object, without letting go of it: for an object going away by itself.
    void forget(T* object) {
        MutexLock guard(sharedObjectsMutex());
        T* expected = object;
        instance_.compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel);
    }

private:
    static void releaseHeld(SharedHolder* holder) { dispose(static_cast<SharedInstance*>(holder)->instance_.exchange(nullptr)); }
    static void dispose(T* object) {
        if constexpr (std::is_base_of_v<BaseObject, T>) {
            release(object);
        } else {
            delete object;
        }
    }

    std::atomic<T*> instance_{nullptr};
};

// Lets go of every shared object made so far, newest first (an object made later may use one made before),
// and empties their holders. Only when no thread of ours runs and none will until the next use: the
// plug-in's last step before it is unloaded.
void releaseSharedInstances();
