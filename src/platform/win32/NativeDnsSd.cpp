#include "platform/NativeDnsSd.h"

bool systemMayHaveNativeDnsSd() { return true; }

// Filled in with dnsapi.dll's DnsServiceRegister.
std::unique_ptr<NativeDnsSd> openNativeDnsSd(std::string* reason) {
    *reason = "DnsServiceRegister is not available";
    return nullptr;
}
