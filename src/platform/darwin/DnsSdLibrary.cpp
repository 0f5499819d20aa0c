#include "platform/DnsSdLibrary.h"

#include <atomic>

namespace {

// The Mac's DNS-SD client calls (DNSServiceRegister, the TXTRecord calls) live in its system library, which
// talks to mDNSResponder; every process has it mapped, and loading it by name only finds it.
constexpr const char* PlatformLibrary = "/usr/lib/libSystem.B.dylib";
std::atomic<const char*> libraryName{PlatformLibrary};

}  // namespace

const char* dnsSdLibraryName() { return libraryName.load(); }

void setDnsSdLibraryName(const char* name) { libraryName.store(name ? name : PlatformLibrary); }

// The system library needs nothing before it is looked up.
void prepareDnsSdLibrary() {}

// The Mac has no Avahi: its own DNS-SD is the one backend.
const char* avahiClientLibraryName() { return nullptr; }

const char* avahiCommonLibraryName() { return nullptr; }

void setAvahiLibraryNames(const char*, const char*) {}

const char* dnsSdServiceWords() { return "mDNSResponder (the DNS-SD service)"; }

const char* dnsSdInstallHint() {
    return "check that mDNSResponder runs (it is part of macOS)";
}

const char* dnsSdStartHint() {
    return "check that mDNSResponder runs (it is part of macOS)";
}
