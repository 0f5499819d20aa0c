#include "serialization/SerializerTypeTable.h"

#include <cstring>

#include "base/BaseNumber.h"
#include "file/BaseFile.h"

namespace {

bool numberOfKind(const BaseObject* object, NumberKind kind) {
    return static_cast<const BaseNumber*>(object)->kind() == kind;
}

bool isIntegerNumber(const BaseObject* object) { return numberOfKind(object, NumberInteger); }
bool isRealNumber(const BaseObject* object) { return numberOfKind(object, NumberReal); }
bool isBooleanNumber(const BaseObject* object) { return numberOfKind(object, NumberBoolean); }

// Files travel only when their status says regular file or directory.
bool isExistingFile(const BaseObject* object) {
    return static_cast<const BaseFile*>(object)->existsAsFileOrDirectory();
}

}  // namespace

const SerializerTypeRow SerializerTypeRows[SerializerTypeRowCount] = {
    {"BaseString", TagString, nullptr},
    {"BaseBuffer", TagBuffer, nullptr},
    {"BaseArray", TagArray, nullptr},
    {"BaseDictionary", TagDictionary, nullptr},
    {"BaseNumber", TagInteger, isIntegerNumber},
    {"BaseNumber", TagReal, isRealNumber},
    {"BaseFile", TagFile, isExistingFile},
    {"BaseNull", TagNull, nullptr},
    {"BaseDate", TagDate, nullptr},
    {"BaseNumber", TagBoolean, isBooleanNumber},
    {"BasePackageIndex", TagPackageIndex, nullptr},
};

const SerializerTypeRow* rowForWriting(const BaseObject* object) {
    if (!object) return nullptr;
    const char* name = object->className();
    for (const SerializerTypeRow& row : SerializerTypeRows) {
        if (std::strcmp(row.className, name) == 0 && (!row.condition || row.condition(object))) return &row;
    }
    return nullptr;
}

const SerializerTypeRow* rowForReading(int32_t tag) {
    for (const SerializerTypeRow& row : SerializerTypeRows) {
        if (row.tag == tag) return &row;
    }
    return nullptr;
}
