#include "platform/DnsSdLibrary.h"

#include <atomic>

namespace {

// The DNS-SD client library of Bonjour for Windows.
constexpr const char* PlatformLibrary = "dnssd.dll";
std::atomic<const char*> libraryName{PlatformLibrary};

}  // namespace

const char* dnsSdLibraryName() { return libraryName.load(); }

void setDnsSdLibraryName(const char* name) { libraryName.store(name ? name : PlatformLibrary); }

// Bonjour's library needs nothing before it is loaded.
void prepareDnsSdLibrary() {}

// Windows has no Avahi.
const char* avahiClientLibraryName() { return nullptr; }

const char* avahiCommonLibraryName() { return nullptr; }

void setAvahiLibraryNames(const char*, const char*) {}

const char* dnsSdServiceWords() { return "the DNS-SD service (Bonjour)"; }

const char* dnsSdInstallHint() {
    return "install Apple's Bonjour (Bonjour Print Services for Windows), or update to Windows 10 version 1903 or "
           "later";
}

const char* dnsSdStartHint() {
    return "check that the Bonjour Service runs (in Windows' Services list)";
}
