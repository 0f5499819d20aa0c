#include "base/BaseDictionary.h"

#include <bit>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "base/AutoreleasePool.h"
#include "base/BaseArray.h"
#include "base/BaseDictionaryEnumerator.h"
#include "base/BaseNull.h"
#include "base/BaseNumber.h"
#include "base/BaseString.h"
#include "base/BaseTypedArray.h"
#include "base/Description.h"
#include "base/SharedObjectsLock.h"
#include "base/StringFormat.h"

namespace {

constexpr uint32_t LargestBucketCount = 0x80000000u;
SharedInstance<BaseDictionary> sharedEmptyDictionaryHolder;

constexpr std::string_view LuaReservedWords[] = {
    "and", "break", "do", "else", "elseif", "end", "false", "for", "function", "goto", "if",
    "in", "local", "nil", "not", "or", "repeat", "return", "then", "true", "until", "while"};

uint32_t powerOfTwoAtLeast(uint32_t count) {
    if (count <= 1) return 1;
    if (count > LargestBucketCount) return LargestBucketCount;
    return std::bit_ceil(count);
}

bool isStringKey(const BaseObject* key) { return hasClassName(key, "BaseString"); }

// A key that Lua accepts bare: an identifier that is not one of Lua's reserved words.
bool isLuaName(const BaseObject* key) {
    if (!isStringKey(key)) return false;
    const BaseString* string = static_cast<const BaseString*>(key);
    if (!string->isIdentifier()) return false;
    std::string_view name(string->chars(), string->length());
    for (std::string_view word : LuaReservedWords) {
        if (name == word) return false;
    }
    return true;
}

bool sameBytes(const BaseObject* key, const char* text, std::size_t length) {
    if (!isStringKey(key)) return false;
    const BaseString* string = static_cast<const BaseString*>(key);
    return string->length() == length && std::memcmp(string->chars(), text, length) == 0;
}

const BaseObject* renderable(const BaseObject* object) { return object ? object : sharedNull(); }

BaseString* keyText(const BaseObject* key, uint32_t flags) {
    uint32_t style = descriptionStyle(flags);
    if (style == StyleJSON) return key->description(StyleJSON);
    if (style == StyleLua) {
        if (isLuaName(key)) return static_cast<BaseString*>(const_cast<BaseObject*>(key));
        return stringWithFormat("[%@]", key);
    }
    if (style == StyleXMLPlist) {
        BaseString* name = key->description(StyleBare);
        BaseString* element = createAutoreleased<BaseString>("<key>");
        appendXmlEscaped(element, name->chars(), name->length());
        element->appendBytes("</key>");
        return element;
    }
    return key->description(StyleBare);
}

}  // namespace

BaseDictionary::BaseDictionary() { allocateBuckets(DefaultBuckets); }

BaseDictionary::BaseDictionary(uint32_t bucketCount) { allocateBuckets(powerOfTwoAtLeast(bucketCount)); }

BaseDictionary::BaseDictionary(LockableForm form) : BaseLockableCollection(form) { allocateBuckets(DefaultBuckets); }

BaseDictionary::~BaseDictionary() {
    removeAllObjects();
    std::free(buckets_);
}

void BaseDictionary::allocateBuckets(uint32_t count) {
    buckets_ = static_cast<DictionaryEntry**>(std::calloc(count, sizeof(DictionaryEntry*)));
    if (!buckets_) throw std::bad_alloc();
    bucketCount_ = count;
}

DictionaryEntry* BaseDictionary::findEntry(const BaseObject* key) const {
    if (!key) return nullptr;
    for (DictionaryEntry* entry = buckets_[bucketFor(key->hash())]; entry; entry = entry->next) {
        if (entry->key->isEqual(key)) return entry;
    }
    return nullptr;
}

BaseObject* BaseDictionary::objectForKey(const BaseDictionary* dictionary, const BaseObject* key) {
    if (!dictionary) return nullptr;
    DictionaryEntry* entry = dictionary->findEntry(key);
    return entry ? entry->value : nullptr;
}

void BaseDictionary::insertNewEntry(BaseObject* key, BaseObject* value) {
    uint32_t bucket = bucketFor(key->hash());
    buckets_[bucket] = new DictionaryEntry{key, value, buckets_[bucket]};
    if (++count_ > bucketCount_) growBuckets();
}

void BaseDictionary::setObjectForKey(BaseObject* value, BaseObject* key) {
    if (!key) return;
    if (DictionaryEntry* entry = findEntry(key)) {
        assignRetained(entry->value, value);
        return;
    }
    insertNewEntry(retain(key), retain(value));
}

DictionaryEntry* BaseDictionary::findEntryForCString(const char* text) const {
    if (!text) return nullptr;
    std::size_t length = std::strlen(text);
    uint32_t hash = stringHash(text, length);
    for (DictionaryEntry* entry = buckets_[bucketFor(hash)]; entry; entry = entry->next) {
        if (sameBytes(entry->key, text, length)) return entry;
    }
    return nullptr;
}

BaseObject* BaseDictionary::objectForCStringKey(const BaseDictionary* dictionary, const char* text) {
    if (!dictionary) return nullptr;
    DictionaryEntry* entry = dictionary->findEntryForCString(text);
    return entry ? entry->value : nullptr;
}

void BaseDictionary::setObjectForCStringKey(BaseObject* value, const char* text) {
    if (!text) return;
    if (DictionaryEntry* entry = findEntryForCString(text)) {
        assignRetained(entry->value, value);
        return;
    }
    insertNewEntry(new BaseString(text), retain(value));
}

void BaseDictionary::setStringForCStringKey(const char* valueText, const char* keyText) {
    setObjectForCStringKey(createAutoreleased<BaseString>(valueText), keyText);
}

// A number is made owned here and handed straight to the dictionary: passing it through the pool as well
// would cost a pool entry and a later release for every number of every position report.
void BaseDictionary::setDoubleForKey(double number, BaseObject* key, bool asNumber) {
    if (!asNumber) {
        setObjectForKey(stringWithFormat("%f", number), key);
        return;
    }
    // Owned here rather than by the pool (one report makes ten of them); released on every way out.
    auto* value = new BaseNumber(number);
    try {
        setObjectForKey(value, key);
    } catch (...) {
        release(value);
        throw;
    }
    release(value);
}

void BaseDictionary::addEntriesFromDictionary(const BaseDictionary* other) {
    if (other == this) return;
    for (BaseDictionaryEnumerator e(other); !e.atEnd(); e.advance()) setObjectForKey(e.value(), e.key());
}

BaseArray* BaseDictionary::allKeys() const {
    auto* keys = createAutoreleased<BaseArray>(count_);
    for (BaseDictionaryEnumerator e(this); !e.atEnd(); e.advance()) keys->addObject(e.key());
    return keys;
}

void BaseDictionary::removeAllObjects() {
    for (uint32_t i = 0; i < bucketCount_; ++i) {
        DictionaryEntry* entry = buckets_[i];
        buckets_[i] = nullptr;
        while (entry) {
            DictionaryEntry* next = entry->next;
            release(entry->key);
            release(entry->value);
            delete entry;
            entry = next;
        }
    }
    count_ = 0;
}

// Relinks every entry, without copying it, at the head of its bucket in a table twice the size.
void BaseDictionary::growBuckets() {
    if (bucketCount_ >= LargestBucketCount) return;
    DictionaryEntry** old = buckets_;
    uint32_t oldCount = bucketCount_;
    allocateBuckets(oldCount * 2);
    for (uint32_t i = 0; i < oldCount; ++i) {
        for (DictionaryEntry* entry = old[i]; entry;) {
            DictionaryEntry* next = entry->next;
            uint32_t bucket = bucketFor(entry->key->hash());
            entry->next = buckets_[bucket];
            buckets_[bucket] = entry;
            entry = next;
        }
    }
    std::free(old);
}

bool BaseDictionary::isEqual(const BaseObject* other) const {
    if (other == this) return true;
    if (!hasClassName(other, "BaseDictionary")) return false;
    const BaseDictionary* dictionary = static_cast<const BaseDictionary*>(other);
    if (dictionary->count_ != count_) return false;
    for (BaseDictionaryEnumerator e(this); !e.atEnd(); e.advance()) {
        BaseObject* theirs = objectForKey(dictionary, e.key());
        if (e.value() ? !e.value()->isEqual(theirs) : theirs != nullptr) return false;
        if (!e.value() && !dictionary->findEntry(e.key())) return false;
    }
    return true;
}

// XOR is independent of order, so equal dictionaries hash alike whatever their insertion history.
uint32_t BaseDictionary::hash() const {
    uint32_t result = 0;
    for (BaseDictionaryEnumerator e(this); !e.atEnd(); e.advance()) {
        result ^= e.key()->hash() ^ (e.value() ? e.value()->hash() : 0);
    }
    return result;
}

const char* BaseDictionary::className() const { return "BaseDictionary"; }

BaseObject* BaseDictionary::copy(int mode) const {
    if (mode != 0 && mode != 1) return nullptr;
    auto* result = new BaseDictionary(count_);
    if (mode == 1) {
        result->addEntriesFromDictionary(this);
        return result;
    }
    for (BaseDictionaryEnumerator e(this); !e.atEnd(); e.advance()) {
        BaseObject* valueCopy = e.value() ? e.value()->copy(0) : nullptr;
        result->setObjectForKey(valueCopy, e.key());
        release(valueCopy);
    }
    return result;
}

BaseString* BaseDictionary::entryText(const DictionaryEntry* entry, uint32_t flags) const {
    BaseString* value = renderable(entry->value)->description(flags);
    BaseString* key = keyText(entry->key, flags);
    const char* separator = dictionaryPunctuation(descriptionStyle(flags)).keySeparator;
    return stringWithFormat((flags & DescriptionFlag::Compact) ? "%S%s%S" : "%S %s %S", key, separator, value);
}

// Each entry is rendered inside a pool of its own, so that only the entry texts outlive their entry.
BaseString* BaseDictionary::description(uint32_t flags) const {
    auto* texts = createAutoreleased<BaseTypedArray<BaseString>>(count_);
    for (BaseDictionaryEnumerator e(this); !e.atEnd(); e.advance()) {
        AutoreleasePool entryPool;
        texts->addObject(entryText(e.entry(), flags));
    }
    if (flags & DescriptionFlag::Sorted) texts->sortUsingCompare();
    const CollectionPunctuation& punctuation = dictionaryPunctuation(descriptionStyle(flags));
    BaseString* body = layoutCollection(flags, texts, punctuation.open, punctuation.close, punctuation.separator);
    return addDescriptionHeader(this, flags, body, count_, this);
}

int32_t BaseDictionary::setValueForKey(BaseObject* value, BaseString* key) {
    DictionaryEntry* entry = findEntry(key);
    bool present = entry && entry->value;
    if (!value) {
        if (!present) return BaseArray::KeyNothingToRemove;
        removeEntry(entry);
        return BaseArray::KeyRemoved;
    }
    setObjectForKey(value, key);
    return present ? BaseArray::KeyReplaced : BaseArray::KeyAdded;
}

void BaseDictionary::removeEntry(DictionaryEntry* doomed) {
    DictionaryEntry** link = &buckets_[bucketFor(doomed->key->hash())];
    while (*link && *link != doomed) link = &(*link)->next;
    if (!*link) return;
    *link = doomed->next;
    --count_;
    release(doomed->key);
    release(doomed->value);
    delete doomed;
}

BaseObject* BaseDictionary::valueForKey(BaseString* key) const { return objectForKey(this, key); }

// Its buckets are on the heap: it is released with the other shared objects before the module unloads.
BaseDictionary* sharedEmptyDictionary() { return sharedEmptyDictionaryHolder.get(); }
