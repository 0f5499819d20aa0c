// NeverDestroyed: an object built in static storage on first use and never destroyed, for process-wide
// objects that hold nothing on the heap (a mutex, the null object, a string made from a literal). A thread
// of ours may still use such an object while the process exits or the module unloads, so the C++ runtime
// must never run its destructor; as it lives in the module's own storage, nothing is left behind when the
// module is unloaded. Declare it as a function-local static: `static NeverDestroyed<T> t(args...);`.
// Objects that own heap memory belong in a SharedInstance instead (SharedObjectsLock.h), which the module
// releases before it unloads.
#pragma once

#include <new>
#include <utility>

template <class T>
class NeverDestroyed {
public:
    template <class... Args>
    explicit NeverDestroyed(Args&&... args) {
        ::new (static_cast<void*>(storage_)) T(std::forward<Args>(args)...);
    }
    NeverDestroyed(const NeverDestroyed&) = delete;
    NeverDestroyed& operator=(const NeverDestroyed&) = delete;

    T* get() { return std::launder(reinterpret_cast<T*>(storage_)); }
    T& operator*() { return *get(); }

private:
    alignas(T) unsigned char storage_[sizeof(T)];
};
