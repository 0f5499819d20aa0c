// BaseObject: the root of every class. It carries an atomic reference count and an optional owned side
// object, and defines the seventeen virtual operations every class keeps in the same slot order.
//
// Ownership: an object made by plain creation (`new T(...)`) has a count of 1 owned by its creator; an
// object made by `createAutoreleased<T>(...)` belongs to the innermost autorelease pool of the calling
// thread. `retain` adds an owner, `release` removes one and destroys the object when the last goes,
// `autorelease` hands the caller's reference to a pool. Every one of them accepts null.
#pragma once

#include <atomic>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

class BaseString;
class BaseBuffer;

class BaseObject {
public:
    BaseObject();
    BaseObject(const BaseObject&) = delete;
    BaseObject& operator=(const BaseObject&) = delete;

    // Slot 0. Releases the side object.
    virtual ~BaseObject();
    // Slot 1. True when other is not null and has the same hash.
    virtual bool isEqual(const BaseObject* other) const;
    // Slot 2. -1, 0 or 1: by class name (descending), then by address.
    virtual int compare(const BaseObject* other) const;
    // Slot 3. The object's address folded to 32 bits.
    virtual uint32_t hash() const;
    // Slot 4. The name used by `hasClassName`.
    virtual const char* className() const;
    // Slot 5. A new object owned by the caller (count 1), or null when the class cannot copy.
    virtual BaseObject* copy(int mode) const;
    // Slot 6. An autoreleased text rendering in the style chosen by the low bits of flags.
    virtual BaseString* description(uint32_t flags) const;
    // Slot 7. An autoreleased empty string.
    virtual BaseString* textValue() const;
    // Slot 8. Does nothing.
    virtual void reservedHook8();
    // Slot 9. Called by the notification center for observed names; returns 0.
    virtual int32_t observeNotification(BaseString* name, BaseObject* info, BaseObject* sender);
    // Slot 10. Writes `encodedBuffer(flags)` to the file at path.
    virtual bool writeToFile(BaseString* path, uint32_t flags);
    // Slot 11. An autoreleased buffer holding `writeToBuffer(buffer, flags)`, or null. Slots 10 to 12
    // encode through the encoder the serializer installs (base/ObjectEncoder.h), and fail without one.
    virtual BaseBuffer* encodedBuffer(uint32_t flags);
    // Slot 12. Appends the JSON text (flags bit 0) or the serialized record (flag 0x80) to buffer.
    virtual bool writeToBuffer(BaseBuffer* buffer, uint32_t flags);
    // Slot 13. Key-value store; -1 when the class has no keys.
    virtual int32_t setValueForKey(BaseObject* value, BaseString* key);
    // Slot 14. Key-value lookup; null when the class has no keys.
    virtual BaseObject* valueForKey(BaseString* key) const;
    // Slots 15 and 16. Do nothing.
    virtual void reservedHook15();
    virtual void reservedHook16();

    int32_t retainCount() const { return retainCount_.load(std::memory_order_relaxed); }
    BaseObject* sideObject() const { return sideObject_; }

private:
    friend void retainObject(BaseObject* object);
    friend BaseObject* releaseObject(BaseObject* object);

    std::atomic<int32_t> retainCount_;
    BaseObject* sideObject_;
};

// Counting primitives on the plain object type; the templates below keep the caller's static type.
void retainObject(BaseObject* object);
BaseObject* releaseObject(BaseObject* object);
BaseObject* autoreleaseObject(BaseObject* object, int level);

template <class T>
T* retain(T* object) {
    if (object) retainObject(const_cast<BaseObject*>(static_cast<const BaseObject*>(object)));
    return object;
}

// Returns null when this call destroyed the object, else the object.
template <class T>
T* release(T* object) {
    if (!object) return nullptr;
    return releaseObject(const_cast<BaseObject*>(static_cast<const BaseObject*>(object))) ? object : nullptr;
}

// Gives the caller's reference to the pool `level` steps below the innermost one (0 = innermost).
// Without such a pool the caller keeps its reference.
template <class T>
T* autorelease(T* object, int level = 0) {
    autoreleaseObject(const_cast<BaseObject*>(static_cast<const BaseObject*>(object)), level);
    return object;
}

// Stores object in an owning field: the new value is retained, the old one released.
template <class Field, class T>
void assignRetained(Field*& field, T* object) {
    if (field == object) return;
    Field* old = field;
    field = retain(object);
    release(old);
}

// The system's type test: object is not null and its className is exactly name.
bool hasClassName(const BaseObject* object, const char* name);

// Autoreleasing creation, raw form: allocates size bytes and records them in the innermost pool's pending
// table with level (0 = that pool, 1 = the pool below); the BaseObject constructor that runs in this storage
// completes the step. Use createAutoreleased, which also cleans up when a constructor throws.
void* allocAutoreleased(std::size_t size, int level);
// Undoes allocAutoreleased for storage whose construction threw. Does not free the storage.
void abandonAutoreleased(void* storage);

template <class T, class... Args>
T* createAutoreleasedAtLevel(int level, Args&&... args) {
    static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__, "objects use the default allocation");
    void* storage = allocAutoreleased(sizeof(T), level);
    try {
        T* object = ::new (storage) T(std::forward<Args>(args)...);
        // The pending entry is matched against the BaseObject part's address: it must come first.
        assert(static_cast<void*>(static_cast<BaseObject*>(object)) == storage);
        return object;
    } catch (...) {
        abandonAutoreleased(storage);
        ::operator delete(storage);
        throw;
    }
}

// The usual factory form: the new object belongs to the calling thread's innermost pool.
template <class T, class... Args>
T* createAutoreleased(Args&&... args) {
    return createAutoreleasedAtLevel<T>(0, std::forward<Args>(args)...);
}
