// BaseArrayEnumerator: walks the live storage of an array from the first element to the last without
// copying. A null array is walked as the shared empty array. Valid only while the array is neither appended
// to nor shortened; a caller sharing the array holds its lock for the whole walk.
//   for (BaseObject* element : BaseArrayEnumerator(array)) { ... }
#pragma once

#include "base/BaseArray.h"

class BaseArrayEnumerator {
public:
    explicit BaseArrayEnumerator(const BaseArray* array)
        : array_(array ? array : sharedEmptyArray()),
          position_(array_->items()),
          end_(array_->items() + array_->count()) {}

    bool atEnd() const { return position_ == end_; }
    BaseObject* object() const { return *position_; }
    void advance() { ++position_; }

    BaseObject* const* begin() const { return position_; }
    BaseObject* const* end() const { return end_; }

private:
    const BaseArray* array_;
    BaseObject* const* position_;
    BaseObject* const* end_;
};
