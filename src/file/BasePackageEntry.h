// BasePackageEntry: one named entry of a package table. The name identifies the entry (the table keeps
// its first 40 bytes); the two numbers locate the entry's bytes: the offset from the start of the data
// region, then the length.
#pragma once

#include <cstdint>

#include "base/BaseObject.h"

class BasePackageEntry : public BaseObject {
public:
    BasePackageEntry(const BaseString* name, uint64_t offset, uint64_t length);
    ~BasePackageEntry() override;

    BaseString* name() const { return name_; }
    uint64_t offset() const { return offset_; }
    uint64_t length() const { return length_; }

    const char* className() const override;

private:
    BaseString* name_;
    uint64_t offset_;
    uint64_t length_;
};
