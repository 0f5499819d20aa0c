// The type table of the record form: which tag an object travels under, and which kind of object a tag
// reads back as. The row order matters: a writer takes the first row whose class name equals the object's
// className and whose condition holds; a reader takes the first row with the tag it read.
#pragma once

#include <cstdint>

class BaseObject;

enum SerializerTag : int32_t {
    TagBuffer = 1,
    TagFile = 2,
    TagString = 10,
    TagNull = 11,
    TagInteger = 12,
    TagReal = 13,
    TagDate = 14,
    TagBoolean = 15,
    TagArray = 20,
    TagDictionary = 21,
    TagPackageIndex = 23,
};

struct SerializerTypeRow {
    const char* className;
    SerializerTag tag;
    // Null when the row has no condition.
    bool (*condition)(const BaseObject* object);
};

constexpr int SerializerTypeRowCount = 11;
extern const SerializerTypeRow SerializerTypeRows[SerializerTypeRowCount];

// The row an object is written with, or null when it has no kind the form knows. Relies on className
// returning a string that never changes (each class returns one literal), as the lookup remembers names
// by address.
const SerializerTypeRow* rowForWriting(const BaseObject* object);
// The row a tag is read with, or null for an unknown tag.
const SerializerTypeRow* rowForReading(int32_t tag);
