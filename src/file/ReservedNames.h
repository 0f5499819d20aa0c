// ReservedNames: what the generic file names must escape so that a name can live on any file system. It
// is a dictionary whose keys are the device names reserved on Windows ("con", "prn", "aux", "nul",
// "com0" to "com9", "lpt0" to "lpt9"; each maps to the interned empty string), plus one flag per byte
// value for the bytes no file name may hold there (0 to 31 and \ : * ? " < > |; the slash is a separator
// and is never escaped).
//
// One instance exists, made on first use under the module-wide mutex and released at unload. It is only
// read after it is made, so any thread may use it.
#pragma once

#include "base/BaseDictionary.h"

class BaseString;

class ReservedNames : public BaseDictionary {
public:
    static ReservedNames* shared();

    bool isReservedByte(unsigned char byte) const { return reservedBytes_[byte]; }
    // name is compared as it is: callers pass the lowercase stem.
    bool isReservedName(const BaseString* name) const;

private:
    ReservedNames();
    void addName(const char* name);

    bool reservedBytes_[256] = {};
};
