#include "platform/NativeDnsSd.h"

bool systemMayHaveNativeDnsSd() { return false; }

// Linux advertises through Avahi's libraries; it has no other registration of its own.
std::unique_ptr<NativeDnsSd> openNativeDnsSd(std::string* reason) {
    *reason = "the system has no DNS-SD registration of its own";
    return nullptr;
}
