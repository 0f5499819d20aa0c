// Finds the bridge on the local network by DNS-SD: browses for "_zephrane_gps._tcp", resolves the first
// instance to a host and port, and looks the host's IPv4 address up, all through the DNS-SD library
// loaded at run time.
#pragma once

#include <chrono>
#include <optional>
#include <string>

struct DiscoveredBridge {
    std::string name;
    std::string address;
    uint16_t port = 0;
    std::string txt;  // the TXT entries, "key=value" separated by spaces
};

std::optional<DiscoveredBridge> discoverBridge(std::chrono::milliseconds limit, std::string* error);
