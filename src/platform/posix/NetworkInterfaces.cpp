#include "platform/NetworkInterfaces.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

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

// The number of leading one bits of a netmask.
uint32_t prefixLength(const uint8_t* mask, size_t bytes) {
    uint32_t length = 0;
    for (size_t i = 0; i < bytes && mask[i] != 0; ++i) {
        for (uint8_t bit = 0x80; bit != 0 && (mask[i] & bit); bit >>= 1) ++length;
    }
    return length;
}

// The address and the prefix its netmask gives; false for another family or a missing mask.
bool prefixOf(const ifaddrs& entry, NetworkPrefix* prefix) {
    if (!entry.ifa_netmask) return false;
    if (entry.ifa_addr->sa_family == AF_INET) {
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry.ifa_addr);
        const auto* mask = reinterpret_cast<const sockaddr_in*>(entry.ifa_netmask);
        std::memcpy(prefix->address.bytes.data(), &address->sin_addr, IPAddress::IPv4Bytes);
        prefix->length = prefixLength(reinterpret_cast<const uint8_t*>(&mask->sin_addr), IPAddress::IPv4Bytes);
        return true;
    }
    if (entry.ifa_addr->sa_family != AF_INET6) return false;
    const auto* address = reinterpret_cast<const sockaddr_in6*>(entry.ifa_addr);
    const auto* mask = reinterpret_cast<const sockaddr_in6*>(entry.ifa_netmask);
    prefix->address.ipv6 = true;
    std::memcpy(prefix->address.bytes.data(), address->sin6_addr.s6_addr, IPAddress::IPv6Bytes);
    prefix->length = prefixLength(mask->sin6_addr.s6_addr, IPAddress::IPv6Bytes);
    return true;
}

}  // namespace

std::vector<InterfaceAddress> localInterfaceAddresses() {
    std::vector<InterfaceAddress> found;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return found;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!usable(*entry)) continue;
        std::string text = addressText(entry->ifa_addr);
        if (text.empty()) continue;
        bool ipv6 = entry->ifa_addr->sa_family == AF_INET6;
        const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        bool linkLocal = !ipv6 && isLinkLocalIPv4(reinterpret_cast<const unsigned char*>(&ipv4->sin_addr));
        found.push_back({text, entry->ifa_name, ipv6, linkLocal});
    }
    freeifaddrs(list);
    return found;
}

std::vector<NetworkPrefix> localNetworkPrefixes() {
    std::vector<NetworkPrefix> found;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return found;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        NetworkPrefix prefix;
        if (entry->ifa_addr && (entry->ifa_flags & IFF_UP) && prefixOf(*entry, &prefix)) found.push_back(prefix);
    }
    freeifaddrs(list);
    return found;
}

std::string computerName() {
    char name[256] = {};
    if (gethostname(name, sizeof(name) - 1) != 0) return "";
    return name;
}
