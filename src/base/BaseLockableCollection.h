// BaseLockableCollection: the optional recursive lock of arrays and dictionaries. Collections never lock
// themselves; a collection shared between threads is made in its lockable form and its users hold the lock
// around each compound use (look up then insert, iterate then act). The collection owns its mutex.
#pragma once

#include <mutex>

// Selects the lockable constructor of a collection; every user in the system wants the lock.
struct LockableForm {
    bool withoutLock = false;
};

class BaseLockableCollection {
public:
    BaseLockableCollection() = default;
    explicit BaseLockableCollection(LockableForm form);
    ~BaseLockableCollection();
    BaseLockableCollection(const BaseLockableCollection&) = delete;
    BaseLockableCollection& operator=(const BaseLockableCollection&) = delete;

    bool hasLock() const { return mutex_ != nullptr; }
    // Only for collections made in the lockable form. Usable with std::lock_guard.
    void lock() const { mutex_->lock(); }
    void unlock() const { mutex_->unlock(); }

private:
    // A plain std::recursive_mutex, unseen by the thread-safety analysis: what it guards is the collection's
    // contents, reached through methods that unshared collections call without any lock, which GUARDED_BY
    // cannot express.
    std::recursive_mutex* mutex_ = nullptr;
};
