#include "platform/NetworkInterfaces.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <cstring>
#include <vector>

#include "platform/win32/WideText.h"

namespace {

// Enough for a machine with many adapters; the call says how much it needs when it is not.
constexpr ULONG FirstBufferBytes = 16384;
constexpr int Attempts = 3;
constexpr ULONG AdapterFlags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;

// The adapters' list, in a buffer that holds it; empty when the system does not give it.
std::vector<unsigned char> adapterList() {
    ULONG bytes = FirstBufferBytes;
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        std::vector<unsigned char> buffer(bytes);
        auto* first = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
        ULONG result = GetAdaptersAddresses(AF_UNSPEC, AdapterFlags, nullptr, first, &bytes);
        if (result == ERROR_SUCCESS) return buffer;
        if (result != ERROR_BUFFER_OVERFLOW) break;
    }
    return {};
}

// The address as numeric text, or empty when it is not one an app can use.
std::string addressText(const SOCKADDR* address) {
    if (address->sa_family == AF_INET) {
        const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(address);
        return reachableAddressText(reinterpret_cast<const unsigned char*>(&ipv4->sin_addr), false);
    }
    if (address->sa_family != AF_INET6) return "";
    return reachableAddressText(reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr.s6_addr, true);
}

// The address as bytes in network order; false for another family.
bool ipAddressAt(const SOCKADDR* address, IPAddress* ip) {
    if (address->sa_family == AF_INET) {
        std::memcpy(ip->bytes.data(), &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, IPAddress::IPv4Bytes);
        return true;
    }
    if (address->sa_family != AF_INET6) return false;
    ip->ipv6 = true;
    std::memcpy(ip->bytes.data(), reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr.s6_addr,
                IPAddress::IPv6Bytes);
    return true;
}

}  // namespace

std::vector<InterfaceAddress> localInterfaceAddresses() {
    std::vector<InterfaceAddress> found;
    std::vector<unsigned char> buffer = adapterList();
    if (buffer.empty()) return found;
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter; adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp || adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK) continue;
        std::string name = adapter->FriendlyName ? utf8FromWide(adapter->FriendlyName) : adapter->AdapterName;
        for (auto* unicast = adapter->FirstUnicastAddress; unicast; unicast = unicast->Next) {
            const SOCKADDR* address = unicast->Address.lpSockaddr;
            if (!address) continue;
            std::string text = addressText(address);
            if (text.empty()) continue;
            bool ipv6 = address->sa_family == AF_INET6;
            const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(address);
            bool linkLocal = !ipv6 && isLinkLocalIPv4(reinterpret_cast<const unsigned char*>(&ipv4->sin_addr));
            found.push_back({text, name, ipv6, linkLocal});
        }
    }
    return found;
}

std::vector<NetworkPrefix> localNetworkPrefixes() {
    std::vector<NetworkPrefix> found;
    std::vector<unsigned char> buffer = adapterList();
    if (buffer.empty()) return found;
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter; adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp) continue;
        for (auto* unicast = adapter->FirstUnicastAddress; unicast; unicast = unicast->Next) {
            NetworkPrefix prefix;
            if (!unicast->Address.lpSockaddr || !ipAddressAt(unicast->Address.lpSockaddr, &prefix.address)) continue;
            prefix.length = unicast->OnLinkPrefixLength;
            found.push_back(prefix);
        }
    }
    return found;
}

// The DNS host name; the first call asks for the size, with the terminating null.
std::string computerName() {
    DWORD size = 0;
    GetComputerNameExW(ComputerNameDnsHostname, nullptr, &size);
    std::wstring name(size, L'\0');
    if (size == 0 || !GetComputerNameExW(ComputerNameDnsHostname, name.data(), &size)) return "";
    name.resize(size);
    return utf8FromWide(name);
}
