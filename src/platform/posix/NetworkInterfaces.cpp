#include "platform/NetworkInterfaces.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

bool usable(const ifaddrs& entry) {
    return entry.ifa_addr && (entry.ifa_flags & IFF_UP) && !(entry.ifa_flags & IFF_LOOPBACK) && entry.ifa_name;
}

// The address as numeric text, or empty when it is not one an app can use.
std::string addressText(const sockaddr* address) {
    if (address->sa_family == AF_INET) {
        const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(address);
        return reachableAddressText(reinterpret_cast<const unsigned char*>(&ipv4->sin_addr), false);
    }
    if (address->sa_family != AF_INET6) return "";
    return reachableAddressText(reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr.s6_addr, true);
}

}  // namespace

std::vector<InterfaceAddress> localInterfaceAddresses() {
    std::vector<InterfaceAddress> found;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return found;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!usable(*entry)) continue;
        std::string text = addressText(entry->ifa_addr);
        if (!text.empty()) found.push_back({text, entry->ifa_name, entry->ifa_addr->sa_family == AF_INET6});
    }
    freeifaddrs(list);
    return found;
}
