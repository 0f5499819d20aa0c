// The addresses of this computer that an app on the local network can use to reach it: every IPv4 address
// (link-local ones marked) and every global or unique-local IPv6 address of each interface that is up and
// not a loopback, with the interface's name ("eth0", "en0", "Ethernet 2"). Link-local IPv6 addresses are
// left out: an app would need the interface's scope to use one. Empty when the system does not say.
#pragma once

#include <string>
#include <vector>

#include "platform/Socket.h"

struct InterfaceAddress {
    std::string address;    // numeric text: "192.168.1.20", "fd00::5"
    std::string interfaceName;  // the name the system shows the pilot
    bool ipv6 = false;
    bool linkLocal = false;  // 169.254/16: reachable only on the same link, without a router between
};

std::vector<InterfaceAddress> localInterfaceAddresses();

// The numeric text of an address found on an interface (4 bytes for IPv4, 16 for IPv6, in network order), or
// empty when it is not one an app can be given: an IPv6 address must be global unicast (2000::/3) or
// unique-local (fc00::/7).
std::string reachableAddressText(const unsigned char* bytes, bool ipv6);

// One network this computer is on: an address of one of its interfaces and the length of the prefix that
// the interface's network shares (192.168.1.20/24).
struct NetworkPrefix {
    IPAddress address;
    uint32_t length = 0;
};

// Every address of every interface that is up, loopback and link-local ones included, with its prefix;
// empty when the system does not say.
std::vector<NetworkPrefix> localNetworkPrefixes();

// This computer's name on the network ("flightdeck"), as the system gives it; empty when it does not.
std::string computerName();

// Whether an address found on an interface (4 bytes for IPv4, in network order) is IPv4 link-local.
bool isLinkLocalIPv4(const unsigned char* bytes);
