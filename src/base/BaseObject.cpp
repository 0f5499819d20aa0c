#include "base/BaseObject.h"

#include <cstring>

#include "base/AutoreleasePool.h"
#include "base/BaseString.h"
#include "base/Description.h"
#include "base/ObjectEncoder.h"
#include "base/StringFormat.h"

namespace {

int signOf(int value) { return (value > 0) - (value < 0); }

}  // namespace

// Runs first in every constructor chain. When this storage was handed out by allocAutoreleased, the
// innermost pool's pending entry says where the new object goes.
BaseObject::BaseObject() : retainCount_(1), sideObject_(nullptr) {
    AutoreleasePool* pool = AutoreleasePool::currentPool(0);
    if (!pool) return;
    int level = 0;
    if (!pool->takePending(this, &level)) return;
    if (level == 0) {
        pool->addObject(this);
        release(this);
    } else if (level == 1) {
        autorelease(this, 1);
    }
}

BaseObject::~BaseObject() { release(sideObject_); }

bool BaseObject::isEqual(const BaseObject* other) const { return other && other->hash() == hash(); }

int BaseObject::compare(const BaseObject* other) const {
    if (!other) return 1;
    int byName = std::strcmp(other->className(), className());
    if (byName != 0) return signOf(byName);
    if (this == other) return 0;
    return reinterpret_cast<uintptr_t>(this) > reinterpret_cast<uintptr_t>(other) ? 1 : -1;
}

uint32_t BaseObject::hash() const {
    uint64_t address = reinterpret_cast<uintptr_t>(this);
    return static_cast<uint32_t>(address) ^ static_cast<uint32_t>(address >> 32);
}

const char* BaseObject::className() const { return "BaseObject"; }

BaseObject* BaseObject::copy(int) const { return nullptr; }

BaseString* BaseObject::description(uint32_t flags) const {
    return stringWithFormat("Unknown object of class %s at %p", className(), this)->description(flags);
}

BaseString* BaseObject::textValue() const { return constantString(""_lit); }

void BaseObject::reservedHook8() {}

int32_t BaseObject::observeNotification(BaseString*, BaseObject*, BaseObject*) { return 0; }

// Slots 10 to 12 reach buffers, files and the record form through the installed encoder
// (base/ObjectEncoder.h); without one they fail.
bool BaseObject::writeToFile(BaseString* path, uint32_t flags) {
    BaseBuffer* buffer = encodedBuffer(flags);
    const ObjectEncoder* encoder = installedObjectEncoder();
    return buffer && encoder && encoder->writeToFile(buffer, path);
}

BaseBuffer* BaseObject::encodedBuffer(uint32_t flags) {
    const ObjectEncoder* encoder = installedObjectEncoder();
    if (!encoder) return nullptr;
    BaseBuffer* buffer = encoder->newBuffer();
    AutoreleasePool pool;
    return writeToBuffer(buffer, flags) ? buffer : nullptr;
}

// Bit 0 asks for the JSON text (so any odd style takes this branch), flag 0x80 for the record form.
bool BaseObject::writeToBuffer(BaseBuffer* buffer, uint32_t flags) {
    const ObjectEncoder* encoder = installedObjectEncoder();
    if (!encoder) return false;
    if (flags & 1) {
        encoder->appendText(buffer, description(StyleJSON));
        return true;
    }
    return (flags & DescriptionFlag::Serialized) && encoder->appendRecord(buffer, this);
}

int32_t BaseObject::setValueForKey(BaseObject*, BaseString*) { return -1; }

BaseObject* BaseObject::valueForKey(BaseString*) const { return nullptr; }

void BaseObject::reservedHook15() {}

void BaseObject::reservedHook16() {}

void retainObject(BaseObject* object) {
    if (object) object->retainCount_.fetch_add(1, std::memory_order_relaxed);
}

BaseObject* releaseObject(BaseObject* object) {
    if (!object) return nullptr;
    if (object->retainCount_.fetch_sub(1, std::memory_order_acq_rel) != 1) return object;
    delete object;
    return nullptr;
}

BaseObject* autoreleaseObject(BaseObject* object, int level) {
    if (!object) return nullptr;
    AutoreleasePool* pool = AutoreleasePool::currentPool(level);
    if (!pool) return object;
    pool->addObject(object);
    release(object);
    return object;
}

bool hasClassName(const BaseObject* object, const char* name) {
    return object && std::strcmp(object->className(), name) == 0;
}

void* allocAutoreleased(std::size_t size, int level) {
    void* storage = ::operator new(size);
    if (AutoreleasePool* pool = AutoreleasePool::currentPool(0)) pool->registerPending(storage, level);
    return storage;
}

void abandonAutoreleased(void* storage) {
    AutoreleasePool* pool = AutoreleasePool::currentPool(0);
    if (!pool) return;
    int level = 0;
    if (pool->takePending(storage, &level)) return;
    if (pool->forgetObject(storage)) return;
    if (AutoreleasePool* below = AutoreleasePool::currentPool(1)) below->forgetObject(storage);
}
