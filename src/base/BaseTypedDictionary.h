// BaseTypedDictionary: a BaseDictionary whose values are all of type T. It adds no state and no behaviour,
// only typed access; it answers "BaseDictionary" and passes every test a plain dictionary does.
#pragma once

#include "base/BaseDictionary.h"

template <class T>
class BaseTypedDictionary : public BaseDictionary {
public:
    using BaseDictionary::BaseDictionary;

    static T* objectForKey(const BaseDictionary* dictionary, const BaseObject* key) {
        return static_cast<T*>(BaseDictionary::objectForKey(dictionary, key));
    }
    static T* objectForCStringKey(const BaseDictionary* dictionary, const char* text) {
        return static_cast<T*>(BaseDictionary::objectForCStringKey(dictionary, text));
    }
};
