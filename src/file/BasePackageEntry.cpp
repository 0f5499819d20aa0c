#include "file/BasePackageEntry.h"

#include "base/BaseString.h"

BasePackageEntry::BasePackageEntry(const BaseString* name, uint64_t offset, uint64_t length)
    : name_(new BaseString(name)), offset_(offset), length_(length) {}

BasePackageEntry::~BasePackageEntry() { release(name_); }

const char* BasePackageEntry::className() const { return "BasePackageEntry"; }
