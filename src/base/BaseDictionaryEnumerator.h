// BaseDictionaryEnumerator: walks the entries of a dictionary in its iteration order, bucket 0 first and
// the newest entry first within a bucket. A null dictionary is walked as the shared empty one. Valid only
// while the dictionary is not changed; a caller sharing it holds its lock for the whole walk.
//   for (BaseDictionaryEnumerator e(dictionary); !e.atEnd(); e.advance()) use(e.key(), e.value());
#pragma once

#include "base/BaseDictionary.h"

class BaseDictionaryEnumerator {
public:
    explicit BaseDictionaryEnumerator(const BaseDictionary* dictionary)
        : dictionary_(dictionary ? dictionary : sharedEmptyDictionary()) {
        moveToNextBucket();
    }

    bool atEnd() const { return entry_ == nullptr; }
    DictionaryEntry* entry() const { return entry_; }
    BaseObject* key() const { return entry_->key; }
    BaseObject* value() const { return entry_->value; }

    void advance() {
        entry_ = entry_->next;
        if (!entry_) moveToNextBucket();
    }

private:
    void moveToNextBucket() {
        while (!entry_ && ++bucket_ < static_cast<int32_t>(dictionary_->bucketCount())) {
            entry_ = dictionary_->bucketHead(static_cast<uint32_t>(bucket_));
        }
    }

    const BaseDictionary* dictionary_;
    DictionaryEntry* entry_ = nullptr;
    int32_t bucket_ = -1;
};
