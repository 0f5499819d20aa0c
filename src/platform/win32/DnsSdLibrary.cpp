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
