#include "serialization/WritableGraph.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "base/BaseArray.h"
#include "base/BaseDate.h"
#include "base/BaseDictionaryEnumerator.h"
#include "base/BaseNumber.h"
#include "file/BaseFile.h"
#include "file/BasePackageIndex.h"
#include "serialization/CompactInteger.h"
#include "serialization/SerializerTypeTable.h"

namespace {

constexpr uint32_t MaxCount = 0x7FFFFFFF;  // counts travel in the 32-bit width

class GraphCheck {
public:
    bool check(const BaseObject* object) {
        const SerializerTypeRow* row = rowForWriting(object);
        if (!row) return false;
        switch (row->tag) {
            case TagString:
            case TagBuffer:
            case TagNull:
            case TagBoolean:
                return true;
            case TagInteger:
                return static_cast<const BaseNumber*>(object)->int64Value() != std::numeric_limits<int64_t>::min();
            case TagReal:
                return !isUnencodableReal(static_cast<const BaseNumber*>(object)->doubleValue());
            case TagDate:
                return !isUnencodableReal(static_cast<const BaseDate*>(object)->value());
            case TagArray:
            case TagDictionary:
                return checkContainer(object, row->tag);
            case TagFile:
                return checkFile(static_cast<const BaseFile*>(object));
            case TagPackageIndex:
                // An index read from a stream has no table to write: the reader would take what follows
                // for one.
                return static_cast<const BasePackageIndex*>(object)->entries() != nullptr;
            default:
                return false;  // no writer for this kind
        }
    }

private:
    bool checkContainer(const BaseObject* container, SerializerTag tag) {
        if (static_cast<int>(path_.size()) >= SerializerMaxDepth) return false;
        if (std::find(path_.begin(), path_.end(), container) != path_.end()) return false;
        path_.push_back(container);
        bool writable = tag == TagArray ? checkArray(static_cast<const BaseArray*>(container))
                                        : checkDictionary(static_cast<const BaseDictionary*>(container));
        path_.pop_back();
        return writable;
    }

    // A file's attributes travel as a dictionary one level below the file, its context one level further.
    bool checkFile(const BaseFile* file) {
        if (static_cast<int>(path_.size()) + 1 >= SerializerMaxDepth) return false;
        const BaseObject* context = file->context();
        if (!context) return true;
        if (std::find(path_.begin(), path_.end(), file) != path_.end()) return false;
        path_.push_back(file);
        path_.push_back(nullptr);  // the attribute dictionary's level
        bool writable = check(context);
        path_.resize(path_.size() - 2);
        return writable;
    }

    bool checkArray(const BaseArray* array) {
        if (array->count() > MaxCount) return false;
        for (uint32_t i = 0; i < array->count(); ++i) {
            if (!check(array->objectAtIndex(i))) return false;
        }
        return true;
    }

    bool checkDictionary(const BaseDictionary* dictionary) {
        if (dictionary->count() > MaxCount) return false;
        for (BaseDictionaryEnumerator e(dictionary); !e.atEnd(); e.advance()) {
            if (!check(e.key()) || !check(e.value())) return false;
        }
        return true;
    }

    std::vector<const BaseObject*> path_;
};

}  // namespace

bool isWritableGraph(const BaseObject* root) { return GraphCheck().check(root); }
