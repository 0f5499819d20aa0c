#include "platform/NativeDnsSd.h"

bool systemMayHaveNativeDnsSd() { return false; }

// Linux advertises through Avahi's libraries and the Mac through the DNS-SD calls of its system library
// (DnsSdLibrary): neither has a registration of another kind beside them.
std::unique_ptr<NativeDnsSd> openNativeDnsSd(std::string* reason) {
    *reason = "the system has no DNS-SD registration of its own";
    return nullptr;
}
