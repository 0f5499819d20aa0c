// DebugManager: the debug channel of the bridge, built without any debug output. Its only behaviour is the
// two lines its constructor writes to standard output, which tell that a bridge has started.
#pragma once

#include "base/BaseObject.h"

class DebugManager : public BaseObject {
public:
    // An absent format or target is written as "(null)".
    DebugManager(const char* format, const char* target, const char* filter);
};
