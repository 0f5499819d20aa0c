#include "discovery/AdvertisingBackend.h"
#include "discovery/AvahiBackend.h"
#include "discovery/DnsSdBackend.h"
#include "discovery/NativeDnsSdBackend.h"
#include "platform/DnsSdLibrary.h"
#include "platform/NativeDnsSd.h"

// The DNS-SD client library first (where it is installed, it is what the pilot chose), then Avahi's own
// client library where the platform has Avahi, then the system's own registration.
std::vector<std::unique_ptr<AdvertisingBackend>> makeAdvertisingBackends() {
    std::vector<std::unique_ptr<AdvertisingBackend>> backends;
    backends.push_back(std::make_unique<DnsSdBackend>());
    if (avahiClientLibraryName()) backends.push_back(std::make_unique<AvahiBackend>());
    if (systemMayHaveNativeDnsSd()) backends.push_back(std::make_unique<NativeDnsSdBackend>());
    return backends;
}
