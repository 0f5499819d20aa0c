#include "platform/DnsSdLibrary.h"

#include <atomic>
#include <cstdlib>

namespace {

// Avahi's DNS-SD compatibility library (Debian libavahi-compat-libdnssd1), which talks to avahi-daemon.
constexpr const char* PlatformLibrary = "libdns_sd.so.1";
std::atomic<const char*> libraryName{PlatformLibrary};

}  // namespace

const char* dnsSdLibraryName() { return libraryName.load(); }

void setDnsSdLibraryName(const char* name) { libraryName.store(name ? name : PlatformLibrary); }

void prepareDnsSdLibrary() { setenv("AVAHI_COMPAT_NOWARN", "1", 0); }
