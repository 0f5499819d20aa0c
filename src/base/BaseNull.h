// BaseNull: the one object that stands for a missing value inside collections and serialized graphs.
// Exactly one instance exists, in static storage that is never destroyed (decoded graphs on any thread
// point to it); it is never released to zero by its users.
#pragma once

#include "base/BaseObject.h"
#include "base/NeverDestroyed.h"

class BaseNull : public BaseObject {
public:
    uint32_t hash() const override;
    const char* className() const override;
    // The instance itself, retained for the caller.
    BaseObject* copy(int mode) const override;
    BaseString* description(uint32_t flags) const override;

private:
    friend class NeverDestroyed<BaseNull>;
    BaseNull() = default;
};

BaseNull* sharedNull();
