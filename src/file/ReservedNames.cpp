#include "file/ReservedNames.h"

#include <cstdio>

#include "base/BaseString.h"
#include "base/InternString.h"
#include "base/SharedObjectsLock.h"

namespace {

constexpr unsigned char FirstPrintableByte = 0x20;
constexpr char ReservedCharacters[] = "\\:*?\"<>|";
constexpr int NumberedDevices = 10;

SharedInstance<ReservedNames> sharedReservedNames;

}  // namespace

ReservedNames* ReservedNames::shared() {
    return sharedReservedNames.get([] { return new ReservedNames(); });
}

ReservedNames::ReservedNames() {
    for (const char* name : {"con", "prn", "aux", "nul"}) addName(name);
    // Made without autoreleased temporaries: the first use may come from a thread without a pool.
    char numbered[8];
    for (int n = 0; n < NumberedDevices; ++n) {
        std::snprintf(numbered, sizeof(numbered), "com%d", n);
        addName(numbered);
        std::snprintf(numbered, sizeof(numbered), "lpt%d", n);
        addName(numbered);
    }
    for (unsigned byte = 0; byte < FirstPrintableByte; ++byte) reservedBytes_[byte] = true;
    for (const char* c = ReservedCharacters; *c; ++c) reservedBytes_[static_cast<unsigned char>(*c)] = true;
}

void ReservedNames::addName(const char* name) {
    auto* key = new BaseString(name);
    setObjectForKey(internString(""_lit), key);
    release(key);
}

bool ReservedNames::isReservedName(const BaseString* name) const { return findEntry(name) != nullptr; }
