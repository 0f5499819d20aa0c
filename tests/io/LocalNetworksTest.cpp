#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "io/LocalNetworks.h"
#include "platform/Socket.h"

namespace {

IPAddress ip(const char* text) {
    std::vector<SocketAddress> found = resolveHost(text, 0);
    IPAddress address;
    EXPECT_TRUE(!found.empty() && ipAddressOf(found.front(), &address)) << text;
    return address;
}

NetworkPrefix prefix(const char* text, uint32_t length) { return {ip(text), length}; }

bool local(const char* peer, const std::vector<NetworkPrefix>& prefixes = {}) {
    return LocalNetworks::isLocal(ip(peer), prefixes);
}

}  // namespace

TEST(LocalNetworks, LoopbackLinkLocalPrivateSharedAndUniqueLocalAreLocalInBothForms) {
    for (const char* peer : {"127.0.0.1", "127.255.0.9", "169.254.3.4", "10.1.2.3", "172.16.0.1", "172.31.255.254",
                             "192.168.1.20", "100.64.0.1", "100.127.255.254", "::1", "fe80::1", "febf::1", "fd00::5",
                             "fc00::1", "::ffff:192.168.1.20", "::ffff:127.0.0.1", "::ffff:100.100.1.1"}) {
        EXPECT_TRUE(local(peer)) << peer;
    }
}

TEST(LocalNetworks, AddressesJustOutsideTheRangesAndPublicOnesAreNot) {
    for (const char* peer : {"203.0.113.2", "198.51.100.1", "8.8.8.8", "172.15.255.255", "172.32.0.1", "100.63.255.255",
                             "100.128.0.1", "11.0.0.1", "192.169.0.1", "169.255.0.1", "2001:db8:2::2", "fec0::1",
                             "fe00::1", "::2", "::", "::ffff:203.0.113.2", "::ffff:8.8.8.8"}) {
        EXPECT_FALSE(local(peer)) << peer;
    }
}

TEST(LocalNetworks, APeerInsideAnInterfacesPrefixIsLocalAndOneBitOutsideIsNot) {
    std::vector<NetworkPrefix> prefixes = {prefix("198.51.100.1", 24), prefix("2001:db8:1::1", 64),
                                           prefix("203.0.113.9", 29)};
    EXPECT_TRUE(local("198.51.100.77", prefixes));
    EXPECT_TRUE(local("::ffff:198.51.100.77", prefixes));
    EXPECT_TRUE(local("2001:db8:1::2", prefixes));
    EXPECT_TRUE(local("2001:db8:1:0:ffff:ffff:ffff:ffff", prefixes));
    EXPECT_TRUE(local("203.0.113.15", prefixes));
    EXPECT_FALSE(local("203.0.113.16", prefixes));
    EXPECT_FALSE(local("198.51.101.1", prefixes));
    EXPECT_FALSE(local("2001:db8:2::2", prefixes));
}

// A prefix that would take in a good part of the internet (a tunnel set up as 0.0.0.0/0) is passed over.
TEST(LocalNetworks, AnInterfaceClaimingAHugePrefixDoesNotOpenTheBridgeToEveryone) {
    std::vector<NetworkPrefix> prefixes = {prefix("203.0.113.2", 0), prefix("2001:db8::1", 3)};
    EXPECT_FALSE(local("8.8.8.8", prefixes));
    EXPECT_FALSE(local("2001:4860::8888", prefixes));
}

// Whatever this computer's addresses are, a peer at one of them is on one of its networks: the system's
// interfaces are read, with prefixes that take their own addresses in.
TEST(LocalNetworks, APeerAtAnyOfThisComputersAddressesIsLocal) {
    LocalNetworks networks;
    std::vector<NetworkPrefix> own = localNetworkPrefixes();
    EXPECT_FALSE(own.empty()) << "no interface found, not even loopback";
    for (const NetworkPrefix& mine : own) {
        std::string text = recordAddressText(mine.address.bytes.data(),
                                             mine.address.ipv6 ? IPAddress::IPv6Bytes : IPAddress::IPv4Bytes, 0);
        std::vector<SocketAddress> found = resolveHost(text.c_str(), 0);
        ASSERT_FALSE(found.empty()) << text;
        EXPECT_TRUE(networks.isLocal(found.front())) << text << "/" << mine.length;
    }
}
