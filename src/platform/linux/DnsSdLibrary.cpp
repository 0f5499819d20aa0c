#include "platform/DnsSdLibrary.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace {

// Avahi's DNS-SD compatibility library (Debian libavahi-compat-libdnssd1), which talks to avahi-daemon.
constexpr const char* PlatformLibrary = "libdns_sd.so.1";
std::atomic<const char*> libraryName{PlatformLibrary};
std::once_flag environmentPrepared;
// Avahi's own client library, on every desktop that runs avahi-daemon.
constexpr const char* PlatformAvahiClient = "libavahi-client.so.3";
constexpr const char* PlatformAvahiCommon = "libavahi-common.so.3";
std::atomic<const char*> avahiClientName{PlatformAvahiClient};
std::atomic<const char*> avahiCommonName{PlatformAvahiCommon};

}  // namespace

const char* dnsSdLibraryName() { return libraryName.load(); }

void setDnsSdLibraryName(const char* name) { libraryName.store(name ? name : PlatformLibrary); }

// setenv races with getenv on other threads: the environment is changed once, from the main thread before
// any thread of ours runs, and later calls leave it alone.
void prepareDnsSdLibrary() {
    std::call_once(environmentPrepared, [] { setenv("AVAHI_COMPAT_NOWARN", "1", 0); });
}

const char* avahiClientLibraryName() { return avahiClientName.load(); }

const char* avahiCommonLibraryName() { return avahiCommonName.load(); }

void setAvahiLibraryNames(const char* client, const char* common) {
    avahiClientName.store(client ? client : PlatformAvahiClient);
    avahiCommonName.store(common ? common : PlatformAvahiCommon);
}

const char* dnsSdServiceWords() { return "avahi-daemon (the DNS-SD service)"; }

const char* dnsSdInstallHint() {
    return "install avahi-daemon (on Ubuntu and Debian: sudo apt install avahi-daemon) and start it (sudo "
           "systemctl enable --now avahi-daemon)";
}

const char* dnsSdStartHint() {
    return "start avahi-daemon (sudo systemctl enable --now avahi-daemon)";
}
