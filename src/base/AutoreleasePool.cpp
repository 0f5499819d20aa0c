#include "base/AutoreleasePool.h"

namespace {

// The calling thread's open pools, oldest first; exists only while at least one pool is open.
thread_local BaseArray* threadPoolStack = nullptr;

}  // namespace

AutoreleasePool::AutoreleasePool() {
    if (!threadPoolStack) threadPoolStack = new BaseArray();
    threadPoolStack->addObject(this);
}

AutoreleasePool::~AutoreleasePool() {
    leaveThreadStack();
    drain();
}

AutoreleasePool* AutoreleasePool::currentPool(int level) {
    BaseArray* stack = threadPoolStack;
    if (!stack || level < 0 || static_cast<uint32_t>(level) >= stack->count()) return nullptr;
    // Runs for every object made: the index is known to be in range, so the element block is read directly.
    return static_cast<AutoreleasePool*>(stack->items()[stack->count() - 1 - level]);
}

bool AutoreleasePool::registerPending(void* storage, int level) {
    for (PendingAllocation& entry : pending_) {
        if (entry.address) continue;
        entry.address = storage;
        entry.level = level;
        return true;
    }
    return false;
}

bool AutoreleasePool::takePending(const void* storage, int* level) {
    for (PendingAllocation& entry : pending_) {
        if (entry.address != storage) continue;
        *level = entry.level;
        entry.address = nullptr;
        return true;
    }
    return false;
}

bool AutoreleasePool::forgetObject(const void* object) {
    uint32_t index = indexOfObjectIdenticalTo(static_cast<const BaseObject*>(object));
    if (index == NotFound) return false;
    detachObjectAtIndex(index);
    return true;
}

// Takes this pool off the thread's stack. When a newer pool is still open, it receives this pool's
// objects so that they live on until it closes.
void AutoreleasePool::leaveThreadStack() {
    BaseArray* stack = threadPoolStack;
    if (!stack) return;
    uint32_t index = stack->indexOfObjectIdenticalTo(this);
    if (index == NotFound) return;
    bool newest = index + 1 == stack->count();
    stack->removeObjectAtIndex(index);
    if (!newest) static_cast<BaseArray*>(stack->objectAtIndex(index))->addObjectsFromArray(this, 0);
    if (stack->count() == 0) {
        threadPoolStack = nullptr;
        release(stack);
    }
}

// Releases the objects last first. Destructors that autorelease during the drain reach the next pool down,
// since this pool has already left the stack.
void AutoreleasePool::drain() {
    while (count() > 0) removeLastObject();
}
