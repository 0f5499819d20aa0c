#include "platform/NetworkInterfaces.h"

#include <arpa/inet.h>
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
    char text[INET6_ADDRSTRLEN] = {};
    if (address->sa_family == AF_INET) {
        const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(address);
        return inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof(text)) ? text : "";
    }
    if (address->sa_family != AF_INET6) return "";
    const auto* ipv6 = reinterpret_cast<const sockaddr_in6*>(address);
    if (!isReachableIPv6(ipv6->sin6_addr.s6_addr)) return "";
    return inet_ntop(AF_INET6, &ipv6->sin6_addr, text, sizeof(text)) ? text : "";
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
