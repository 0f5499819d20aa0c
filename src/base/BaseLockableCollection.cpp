#include "base/BaseLockableCollection.h"

BaseLockableCollection::BaseLockableCollection(LockableForm form)
    : mutex_(form.withoutLock ? nullptr : new std::recursive_mutex) {}

BaseLockableCollection::~BaseLockableCollection() { delete mutex_; }
