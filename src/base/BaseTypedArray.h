// BaseTypedArray: a BaseArray whose elements are all of type T. It adds no state and no behaviour, only
// typed access for the code that uses it; it answers "BaseArray" and passes every test a plain array does.
#pragma once

#include "base/BaseArray.h"

template <class T>
class BaseTypedArray : public BaseArray {
public:
    using BaseArray::BaseArray;

    T* objectAtIndex(uint32_t index) const { return static_cast<T*>(BaseArray::objectAtIndex(index)); }
    static T* lastObject(const BaseArray* array) { return static_cast<T*>(BaseArray::lastObject(array)); }
};
