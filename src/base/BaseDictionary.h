// BaseDictionary: the keyed collection, a separately chained hash table of its own. Keys are compared with
// their `hash` and `isEqual`; in practice they are strings, and the text-key operations look strings up by
// their bytes without making a string object. The dictionary holds one reference to every key and value.
//
// The bucket order is part of the wire format: an entry lives in bucket hash & (bucketCount - 1), new
// entries go to the head of their chain, and the table doubles (starting from 8 buckets) as soon as the
// count exceeds the bucket count. Iteration runs bucket by bucket, newest entry first within a bucket.
// The dictionary never locks itself; a shared one is made in its lockable form and its users hold the lock.
#pragma once

#include "base/BaseLockableCollection.h"
#include "base/BaseObject.h"

class BaseArray;

struct DictionaryEntry {
    BaseObject* key;
    BaseObject* value;
    DictionaryEntry* next;
};

class BaseDictionary : public BaseObject, public BaseLockableCollection {
public:
    static constexpr uint32_t DefaultBuckets = 8;

    BaseDictionary();
    // A count that is 0 or not a power of two is rounded up to one, so that every index fits the table.
    explicit BaseDictionary(uint32_t bucketCount);
    explicit BaseDictionary(LockableForm form);
    ~BaseDictionary() override;

    uint32_t count() const { return count_; }
    uint32_t bucketCount() const { return bucketCount_; }
    DictionaryEntry* bucketHead(uint32_t index) const { return buckets_[index]; }

    DictionaryEntry* findEntry(const BaseObject* key) const;
    static BaseObject* objectForKey(const BaseDictionary* dictionary, const BaseObject* key);
    // Both are retained; an existing equal key keeps its first key object and gets the new value.
    void setObjectForKey(BaseObject* value, BaseObject* key);

    DictionaryEntry* findEntryForCString(const char* text) const;
    static BaseObject* objectForCStringKey(const BaseDictionary* dictionary, const char* text);
    void setObjectForCStringKey(BaseObject* value, const char* text);
    void setStringForCStringKey(const char* valueText, const char* keyText);
    // Stores a number, or (asNumber false) its "%f" text.
    void setDoubleForKey(double number, BaseObject* key, bool asNumber);
    void addEntriesFromDictionary(const BaseDictionary* other);
    // An autoreleased unlocked array of the keys in iteration order.
    BaseArray* allKeys() const;
    void removeAllObjects();
    void growBuckets();

    bool isEqual(const BaseObject* other) const override;
    uint32_t hash() const override;
    const char* className() const override;
    // Mode 0 copies the values, mode 1 shares them; keys are always shared. Owned by the caller.
    BaseObject* copy(int mode) const override;
    BaseString* description(uint32_t flags) const override;
    int32_t setValueForKey(BaseObject* value, BaseString* key) override;
    BaseObject* valueForKey(BaseString* key) const override;

private:
    void allocateBuckets(uint32_t count);
    uint32_t bucketFor(uint32_t hash) const { return hash & (bucketCount_ - 1); }
    void insertNewEntry(BaseObject* key, BaseObject* value);
    void removeEntry(DictionaryEntry* entry);
    BaseString* entryText(const DictionaryEntry* entry, uint32_t flags) const;

    DictionaryEntry** buckets_ = nullptr;
    uint32_t count_ = 0;
    uint32_t bucketCount_ = 0;
};

// The process-wide empty dictionary that stands in for a null one; lives until the module unloads.
BaseDictionary* sharedEmptyDictionary();
