// Finds the bridge on the local network by DNS-SD: browses for "_zephrane_gps._tcp", resolves the first
// instance to a host and port, and asks for the host's IPv4 and IPv6 addresses, all through the DNS-SD
// library loaded at run time.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

struct DiscoveredBridge {
    std::string name;
    // Every address the host gave, IPv4 ones first, each as resolveHost takes it (a link-local IPv6 one
    // with "%" and its interface); never empty.
    std::vector<std::string> addresses;
    uint16_t port = 0;
    std::string txt;  // the TXT entries, "key=value" separated by spaces
};

std::optional<DiscoveredBridge> discoverBridge(std::chrono::milliseconds limit, std::string* error);
