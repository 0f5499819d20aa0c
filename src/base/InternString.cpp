#include "base/InternString.h"

#include <mutex>

#include "base/BaseTypedDictionary.h"
#include "base/SharedObjectsLock.h"

namespace {

SharedInstance<BaseTypedDictionary<BaseString>> internTable;

BaseTypedDictionary<BaseString>* table() {
    return internTable.get([] { return new BaseTypedDictionary<BaseString>(LockableForm{}); });
}

}  // namespace

BaseString* internString(const StringLiteral& literal) {
    BaseTypedDictionary<BaseString>* strings = table();
    std::lock_guard<BaseLockableCollection> guard(*strings);
    if (DictionaryEntry* entry = strings->findEntryForCString(literal.chars)) {
        return static_cast<BaseString*>(entry->value);
    }
    auto* string = new BaseString(literal);
    strings->setObjectForKey(string, string);
    release(string);
    return string;
}
