// AutoreleasePool: a scope that owns one reference to every object autoreleased into it and releases them
// when it closes, last autoreleased first. Pools are local objects only, never on the heap. Each thread has
// a stack of its open pools (the stack holds a reference to each pool); the innermost pool receives
// autoreleased objects. A pool closed while a newer one is still open hands its objects to that newer pool.
//
// Each pool also keeps a table of three pending allocations: storage handed out by allocAutoreleased
// whose BaseObject constructor has not run yet, with the level of the pool it is meant for.
#pragma once

#include "base/BaseArray.h"

class AutoreleasePool : public BaseArray {
public:
    static constexpr int PendingEntries = 3;

    AutoreleasePool();
    ~AutoreleasePool() override;

    // The pool `level` steps below the top of the calling thread's stack (0 = innermost), or null.
    static AutoreleasePool* currentPool(int level = 0);

    // Records storage about to be constructed; false when all entries are taken.
    bool registerPending(void* storage, int level);
    // Frees the entry for storage and reports its level; false when storage was not pending here.
    bool takePending(const void* storage, int* level);
    // Removes the newest reference to object without releasing it (its construction failed).
    bool forgetObject(const void* object);

private:
    struct PendingAllocation {
        const void* address = nullptr;
        int32_t level = 0;
    };

    void leaveThreadStack();
    void drain();

    PendingAllocation pending_[PendingEntries];
};
