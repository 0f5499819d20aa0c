#include "base/WeakRefObject.h"

// A reference compares equal to its target, and to another reference to the same target.
bool WeakRefObject::isEqual(const BaseObject* other) const {
    if (!target_) return false;
    if (const auto* reference = dynamic_cast<const WeakRefObject*>(other)) return target_ == reference->target_;
    return target_->isEqual(other);
}

uint32_t WeakRefObject::hash() const { return target_ ? target_->hash() : 0; }

int32_t WeakRefObject::observeNotification(BaseString* name, BaseObject* info, BaseObject* sender) {
    return target_ ? target_->observeNotification(name, info, sender) : 0;
}
