#include "base/BaseArray.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "base/BaseString.h"
#include "base/BaseTypedArray.h"
#include "base/Description.h"
#include "base/NeverDestroyed.h"

namespace {

constexpr uint32_t MinimumCapacity = 8;

// The text of a key read as a signed decimal integer and taken as an unsigned 32-bit index.
uint32_t keyReading(const BaseString* key) { return static_cast<uint32_t>(key->intValue()); }

}  // namespace

BaseArray::BaseArray() = default;

BaseArray::BaseArray(uint32_t capacity) {
    if (capacity > 0) resizeItems(capacity);
}

BaseArray::BaseArray(LockableForm form) : BaseLockableCollection(form) {}

BaseArray::~BaseArray() {
    removeAllObjects();
    std::free(items_);
}

void BaseArray::resizeItems(uint32_t newCapacity) {
    void* block = std::realloc(items_, sizeof(BaseObject*) * static_cast<size_t>(newCapacity));
    if (!block) throw std::bad_alloc();
    items_ = static_cast<BaseObject**>(block);
    capacity_ = newCapacity;
}

// Grows when the element being added would take the last free slot, so one slot always stays free:
// 0 -> 8 -> 16 -> 32 ...
void BaseArray::growForOneMore() {
    if (count_ + 1 < capacity_) return;
    uint64_t doubled = std::max<uint64_t>(2ull * capacity_, capacity_ + 1ull);
    resizeItems(static_cast<uint32_t>(std::clamp<uint64_t>(doubled, MinimumCapacity, NotFound)));
}

void BaseArray::addObject(BaseObject* object) {
    if (!object) return;
    growForOneMore();
    items_[count_++] = retain(object);
}

void BaseArray::addObjectsFromArray(const BaseArray* other, uint32_t start) {
    if (!other) return;
    if (other == this) {
        BaseArray* snapshot = static_cast<BaseArray*>(copy(1));
        addObjectsFromArray(snapshot, start);
        release(snapshot);
        return;
    }
    uint32_t otherCount = other->count_;
    if (static_cast<uint64_t>(count_) + otherCount >= capacity_) {
        uint64_t wanted = std::max<uint64_t>(2ull * capacity_, static_cast<uint64_t>(capacity_) + otherCount);
        resizeItems(static_cast<uint32_t>(std::clamp<uint64_t>(wanted, MinimumCapacity, NotFound)));
    }
    for (uint32_t i = start; i < otherCount; ++i) {
        BaseObject* element = other->items_[i];
        if (!element) continue;
        growForOneMore();
        items_[count_++] = retain(element);
    }
}

BaseObject* BaseArray::objectAtIndex(uint32_t index) const { return index < count_ ? items_[index] : nullptr; }

BaseObject* BaseArray::lastObject(const BaseArray* array) {
    if (!array || array->count_ == 0) return nullptr;
    return array->items_[array->count_ - 1];
}

uint32_t BaseArray::indexOfObject(const BaseObject* probe) const {
    if (!probe) return NotFound;
    for (uint32_t i = 0; i < count_; ++i) {
        if (probe->isEqual(items_[i])) return i;
    }
    return NotFound;
}

uint32_t BaseArray::indexOfObjectIdenticalTo(const BaseObject* object) const {
    if (!object) return NotFound;
    for (uint32_t i = count_; i-- > 0;) {
        if (items_[i] == object) return i;
    }
    return NotFound;
}

void BaseArray::replaceObjectAtIndex(uint32_t index, BaseObject* object) {
    if (index >= count_) return;
    BaseObject* old = items_[index];
    items_[index] = retain(object);
    release(old);
}

BaseObject* BaseArray::detachObjectAtIndex(uint32_t index) {
    BaseObject* element = items_[index];
    std::memmove(items_ + index, items_ + index + 1, sizeof(BaseObject*) * (count_ - index - 1));
    --count_;
    return element;
}

bool BaseArray::removeObjectAtIndex(uint32_t index) {
    if (index >= count_) return false;
    release(detachObjectAtIndex(index));
    return true;
}

void BaseArray::removeLastObject() {
    if (count_ == 0) return;
    --count_;
    release(items_[count_]);
}

bool BaseArray::removeObject(const BaseObject* probe) {
    if (!probe) return false;
    uint32_t write = 0;
    uint32_t removed = 0;
    for (uint32_t read = 0; read < count_; ++read) {
        if (probe->isEqual(items_[read])) {
            release(items_[read]);
            ++removed;
        } else {
            items_[write++] = items_[read];
        }
    }
    count_ -= removed;
    return removed > 0;
}

void BaseArray::removeAllObjects() {
    while (count_ > 0) removeLastObject();
}

void BaseArray::sortUsingCompare() { sortRange(0, static_cast<int64_t>(count_) - 1); }

// In-place quicksort. Every index stays inside [low, high] whatever the elements' compare answers, so an
// inconsistent compare (a NaN among numbers, say) gives some order but never a stray access. Recursing
// into the smaller part bounds the stack depth by log2(count).
void BaseArray::sortRange(int64_t low, int64_t high) {
    while (low < high) {
        std::swap(items_[low + (high - low) / 2], items_[high]);
        BaseObject* pivot = items_[high];
        int64_t store = low;
        for (int64_t i = low; i < high; ++i) {
            const BaseObject* element = items_[i];
            bool before = element ? element->compare(pivot) < 0 : pivot != nullptr;
            if (before) std::swap(items_[i], items_[store++]);
        }
        std::swap(items_[store], items_[high]);
        if (store - low < high - store) {
            sortRange(low, store - 1);
            low = store + 1;
        } else {
            sortRange(store + 1, high);
            high = store - 1;
        }
    }
}

bool BaseArray::isEqual(const BaseObject* other) const {
    if (other == this) return true;
    if (!hasClassName(other, "BaseArray")) return false;
    const BaseArray* array = static_cast<const BaseArray*>(other);
    if (array->count_ != count_) return false;
    for (uint32_t i = 0; i < count_; ++i) {
        const BaseObject* mine = items_[i];
        if (mine ? !mine->isEqual(array->items_[i]) : array->items_[i] != nullptr) return false;
    }
    return true;
}

uint32_t BaseArray::hash() const {
    uint32_t result = 0;
    for (uint32_t i = 0; i < count_; ++i) {
        if (items_[i]) result ^= items_[i]->hash();
    }
    return result;
}

const char* BaseArray::className() const { return "BaseArray"; }

BaseObject* BaseArray::copy(int mode) const {
    if (mode != 0 && mode != 1) return nullptr;
    BaseArray* result = new BaseArray();
    if (mode == 1) {
        result->addObjectsFromArray(this, 0);
        return result;
    }
    for (uint32_t i = 0; i < count_; ++i) {
        BaseObject* elementCopy = items_[i] ? items_[i]->copy(0) : nullptr;
        result->addObject(elementCopy);
        release(elementCopy);
    }
    return result;
}

// Every element rendered with the same flags (null renderings left out), laid out with the style's
// array punctuation, under the header.
BaseString* BaseArray::description(uint32_t flags) const {
    auto* renderings = createAutoreleased<BaseTypedArray<BaseString>>(count_);
    for (uint32_t i = 0; i < count_; ++i) {
        if (items_[i]) renderings->addObject(items_[i]->description(flags));
    }
    const CollectionPunctuation& punctuation = arrayPunctuation(descriptionStyle(flags));
    BaseString* body = layoutCollection(flags, renderings, punctuation.open, punctuation.close, punctuation.separator);
    return addDescriptionHeader(this, flags, body, count_, this);
}

// A key is valid when its text reads as a number, or is exactly "0". A negative reading becomes a huge
// index that no element has.
bool BaseArray::indexForKey(const BaseString* key, uint32_t* index) const {
    if (!key) return false;
    *index = keyReading(key);
    return *index != 0 || key->isEqual(stringZero());
}

BaseObject* BaseArray::valueForKey(BaseString* key) const {
    uint32_t index = 0;
    return indexForKey(key, &index) ? objectAtIndex(index) : nullptr;
}

int32_t BaseArray::setValueForKey(BaseObject* value, BaseString* key) {
    uint32_t index = 0;
    if (!indexForKey(key, &index)) return KeyInvalid;
    if (!value) return removeObjectAtIndex(index) ? KeyRemoved : KeyNothingToRemove;
    if (index < count_) {
        replaceObjectAtIndex(index, value);
        return KeyReplaced;
    }
    if (index == count_) {
        addObject(value);
        return KeyAdded;
    }
    return KeyInvalid;
}

BaseArray* sharedEmptyArray() {
    // Built on first use; the language makes concurrent first uses wait for one complete object. An empty
    // array holds nothing on the heap.
    static NeverDestroyed<BaseArray> empty;
    return empty.get();
}
