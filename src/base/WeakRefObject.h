// WeakRefObject: refers to an object without owning it. Equality, hash and notifications are forwarded
// to the target, so collections treat the reference as the target itself. It does not notice the target's
// destruction: an observer unregisters itself before it goes away.
#pragma once

#include "base/BaseObject.h"

class WeakRefObject : public BaseObject {
public:
    explicit WeakRefObject(BaseObject* target) : target_(target) {}
    ~WeakRefObject() override { target_ = nullptr; }

    BaseObject* target() const { return target_; }

    bool isEqual(const BaseObject* other) const override;
    uint32_t hash() const override;
    int32_t observeNotification(BaseString* name, BaseObject* info, BaseObject* sender) override;

private:
    BaseObject* target_;
};
