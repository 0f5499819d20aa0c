// BaseArray: the growable ordered collection of owning object pointers. The array holds one reference to
// every element it stores and gives it back when the element leaves. It never locks itself: a shared array
// is made in its lockable form and its users hold the lock around each compound use.
#pragma once

#include "base/BaseLockableCollection.h"
#include "base/BaseObject.h"

class BaseArray : public BaseObject, public BaseLockableCollection {
public:
    static constexpr uint32_t NotFound = 0xFFFFFFFF;

    // Key-value result codes, shared with dictionaries.
    static constexpr int32_t KeyInvalid = -1;
    static constexpr int32_t KeyAdded = 1;
    static constexpr int32_t KeyRemoved = 2;
    static constexpr int32_t KeyReplaced = 4;
    static constexpr int32_t KeyNothingToRemove = 8;

    BaseArray();
    // Allocates exactly capacity slots.
    explicit BaseArray(uint32_t capacity);
    explicit BaseArray(LockableForm form);
    ~BaseArray() override;

    uint32_t count() const { return count_; }
    uint32_t capacity() const { return capacity_; }
    // The live element block (count() slots); valid until the array next grows or shrinks.
    BaseObject* const* items() const { return items_; }

    // Null is ignored.
    void addObject(BaseObject* object);
    // Appends other's non-null elements from start on; other may be this array.
    void addObjectsFromArray(const BaseArray* other, uint32_t start = 0);
    BaseObject* objectAtIndex(uint32_t index) const;
    static BaseObject* lastObject(const BaseArray* array);
    // First index whose element the probe declares equal, or NotFound.
    uint32_t indexOfObject(const BaseObject* probe) const;
    // Highest index holding exactly this pointer, or NotFound.
    uint32_t indexOfObjectIdenticalTo(const BaseObject* object) const;
    bool containsObject(const BaseObject* probe) const { return indexOfObject(probe) != NotFound; }
    // index must be below count().
    void replaceObjectAtIndex(uint32_t index, BaseObject* object);
    bool removeObjectAtIndex(uint32_t index);
    void removeLastObject();
    // Removes every element equal to probe, keeping the order of the rest.
    bool removeObject(const BaseObject* probe);
    // Releases the elements from the last to the first; keeps the storage.
    void removeAllObjects();
    // Orders elements by their `compare`; equal elements may change places.
    void sortUsingCompare();

    bool isEqual(const BaseObject* other) const override;
    uint32_t hash() const override;
    const char* className() const override;
    // Mode 0 deep, mode 1 shallow; the copy is unlocked and owned by the caller.
    BaseObject* copy(int mode) const override;
    BaseString* description(uint32_t flags) const override;
    int32_t setValueForKey(BaseObject* value, BaseString* key) override;
    BaseObject* valueForKey(BaseString* key) const override;

protected:
    // Removes the element at index without releasing it; the caller takes over that reference.
    BaseObject* detachObjectAtIndex(uint32_t index);

private:
    void growForOneMore();
    void resizeItems(uint32_t newCapacity);
    void sortRange(int64_t low, int64_t high);
    bool indexForKey(const BaseString* key, uint32_t* index) const;

    uint32_t count_ = 0;
    uint32_t capacity_ = 0;
    BaseObject** items_ = nullptr;
};

// The process-wide empty array that stands in for a null array; lives until the module unloads.
BaseArray* sharedEmptyArray();
