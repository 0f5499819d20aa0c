#include "serialization/SerializerTypeTable.h"

#include <bit>
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

// The rows a class name matches, one bit per row in table order.
using RowMask = uint16_t;
static_assert(SerializerTypeRowCount <= 16, "a row mask has a bit for every row");

// Recently seen className pointers on this thread with the rows their names match. className returns the
// same literal for every object of a class, so an equal pointer means an equal name and the names are
// compared once per class and thread instead of once per object. Slots are reused in turn.
constexpr int NameCacheSlots = 8;

struct NameRows {
    const char* name = nullptr;
    RowMask rows = 0;
};

struct NameCache {
    NameRows slots[NameCacheSlots];
    unsigned nextSlot = 0;
};

thread_local NameCache nameCache;

RowMask rowsNamed(const char* name) {
    RowMask rows = 0;
    for (int i = 0; i < SerializerTypeRowCount; ++i) {
        if (std::strcmp(SerializerTypeRows[i].className, name) == 0) rows |= static_cast<RowMask>(1u << i);
    }
    return rows;
}

// A null name matches no row (an empty slot answers for it).
RowMask cachedRowsNamed(const char* name) {
    NameCache& cache = nameCache;
    for (const NameRows& slot : cache.slots) {
        if (slot.name == name) return slot.rows;
    }
    NameRows& slot = cache.slots[cache.nextSlot++ % NameCacheSlots];
    slot = {name, rowsNamed(name)};
    return slot.rows;
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
    for (RowMask rows = cachedRowsNamed(object->className()); rows != 0; rows &= rows - 1) {
        const SerializerTypeRow& row = SerializerTypeRows[std::countr_zero(rows)];
        if (!row.condition || row.condition(object)) return &row;
    }
    return nullptr;
}

const SerializerTypeRow* rowForReading(int32_t tag) {
    for (const SerializerTypeRow& row : SerializerTypeRows) {
        if (row.tag == tag) return &row;
    }
    return nullptr;
}
