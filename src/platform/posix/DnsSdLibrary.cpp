#include "platform/DnsSdLibrary.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace {

// Avahi's DNS-SD compatibility library (Debian libavahi-compat-libdnssd1), which talks to avahi-daemon.
constexpr const char* PlatformLibrary = "libdns_sd.so.1";
std::atomic<const char*> libraryName{PlatformLibrary};
std::once_flag environmentPrepared;

}  // namespace

const char* dnsSdLibraryName() { return libraryName.load(); }

void setDnsSdLibraryName(const char* name) { libraryName.store(name ? name : PlatformLibrary); }

// setenv races with getenv on the simulator's other threads: the environment is changed once, before the
// first load, and later load attempts leave it alone.
void prepareDnsSdLibrary() {
    std::call_once(environmentPrepared, [] { setenv("AVAHI_COMPAT_NOWARN", "1", 0); });
}
