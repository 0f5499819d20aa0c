#include "io/LocalNetworks.h"

#include <algorithm>

namespace {

// A range of addresses that is never routed across the internet, or that the computer itself answers.
struct FixedRange {
    bool ipv6;
    std::array<uint8_t, 4> leading;  // the range's first bytes; the rest are zero
    uint32_t length;
};

constexpr FixedRange FixedLocalRanges[] = {
    {false, {127, 0, 0, 0}, 8},      // loopback
    {false, {169, 254, 0, 0}, 16},   // link-local
    {false, {10, 0, 0, 0}, 8},       // private
    {false, {172, 16, 0, 0}, 12},    // private
    {false, {192, 168, 0, 0}, 16},   // private
    {false, {100, 64, 0, 0}, 10},    // shared address space (carrier-grade NAT, VPN meshes)
    {true, {0xfe, 0x80, 0, 0}, 10},  // link-local
    {true, {0xfc, 0, 0, 0}, 7},      // unique-local
};

// An interface whose prefix is shorter than this claims a good part of the internet as its own network (a
// tunnel set up that way, say): such a prefix says nothing about which peers are near, and is passed over.
constexpr uint32_t ShortestIPv4Prefix = 8;
constexpr uint32_t ShortestIPv6Prefix = 16;

constexpr uint32_t IPv4MappedPrefixBytes = 12;
constexpr std::array<uint8_t, IPv4MappedPrefixBytes> IPv4MappedPrefix = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};

// Whether the first length bits of a and b are the same.
bool samePrefix(const uint8_t* a, const uint8_t* b, uint32_t length) {
    uint32_t whole = length / 8;
    if (!std::equal(a, a + whole, b)) return false;
    uint32_t rest = length % 8;
    if (rest == 0) return true;
    auto mask = static_cast<uint8_t>(0xff << (8 - rest));
    return (a[whole] & mask) == (b[whole] & mask);
}

bool isLoopbackIPv6(const IPAddress& ip) {
    return std::all_of(ip.bytes.begin(), ip.bytes.end() - 1, [](uint8_t byte) { return byte == 0; }) &&
           ip.bytes.back() == 1;
}

// ::ffff:a.b.c.d as a.b.c.d; any other address as it is.
IPAddress unmapped(const IPAddress& ip) {
    if (!ip.ipv6 || !std::equal(IPv4MappedPrefix.begin(), IPv4MappedPrefix.end(), ip.bytes.begin())) return ip;
    IPAddress ipv4;
    std::copy_n(ip.bytes.begin() + IPv4MappedPrefixBytes, IPAddress::IPv4Bytes, ipv4.bytes.begin());
    return ipv4;
}

bool inFixedRange(const IPAddress& ip) {
    if (ip.ipv6 && isLoopbackIPv6(ip)) return true;
    return std::any_of(std::begin(FixedLocalRanges), std::end(FixedLocalRanges), [&](const FixedRange& range) {
        std::array<uint8_t, IPAddress::IPv6Bytes> start{};
        std::copy(range.leading.begin(), range.leading.end(), start.begin());
        return range.ipv6 == ip.ipv6 && samePrefix(ip.bytes.data(), start.data(), range.length);
    });
}

bool inPrefix(const IPAddress& ip, const NetworkPrefix& prefix) {
    NetworkPrefix own{unmapped(prefix.address), prefix.length};
    uint32_t bits = (own.address.ipv6 ? IPAddress::IPv6Bytes : IPAddress::IPv4Bytes) * 8;
    uint32_t shortest = own.address.ipv6 ? ShortestIPv6Prefix : ShortestIPv4Prefix;
    if (own.address.ipv6 != ip.ipv6 || own.length < shortest) return false;
    return samePrefix(ip.bytes.data(), own.address.bytes.data(), std::min(own.length, bits));
}

}  // namespace

bool LocalNetworks::isLocal(const IPAddress& peer, const std::vector<NetworkPrefix>& prefixes) {
    IPAddress ip = unmapped(peer);
    if (inFixedRange(ip)) return true;
    return std::any_of(prefixes.begin(), prefixes.end(), [&](const NetworkPrefix& prefix) { return inPrefix(ip, prefix); });
}

bool LocalNetworks::isLocal(const SocketAddress& peer) {
    IPAddress ip;
    if (!ipAddressOf(peer, &ip)) return false;
    if (watch_.changed()) lookUp();
    if (isLocal(ip, prefixes_)) return true;
    if (Clock::now() - lookedUp_ < RefusalLookupInterval) return false;
    lookUp();
    return isLocal(ip, prefixes_);
}

void LocalNetworks::lookUp() {
    prefixes_ = localNetworkPrefixes();
    lookedUp_ = Clock::now();
}
