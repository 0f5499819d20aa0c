// Finds bridges on the local network by DNS-SD: browses for "_zephrane_gps._tcp" and resolves each
// instance while the browse goes on, through the DNS-SD library loaded at run time. One search serves the
// first bridge to answer, the bridge of a given service name, or every bridge that answers.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct DiscoveredBridge {
    std::string name;  // the service name, as the browse gave it
    std::string host;  // as the resolve gave it (with its final dot); empty when not resolved
    // Every address the host gave, IPv4 ones first, each as resolveHost takes it (a link-local IPv6 one
    // with "%" and its interface); empty when none came.
    std::vector<std::string> addresses;
    uint16_t port = 0;
    std::string txt;  // the TXT entries, "key=value" separated by spaces
};

struct DiscoveryRequest {
    enum class Goal {
        First,  // ends soon after the first bridge is resolved, having counted the others that answered
        Named,  // ends once the bridge named is resolved; others are only named
        All,    // browses the whole time, then resolves every bridge seen
    };
    Goal goal = Goal::First;
    std::string name;  // Named: the exact service name
    std::chrono::milliseconds limit{5000};  // how long the browse goes on at most
};

// Every bridge seen, in the order they answered, those that were resolved with their addresses; or nothing,
// with why in error, when there is no DNS-SD library to search with.
std::optional<std::vector<DiscoveredBridge>> discoverBridges(const DiscoveryRequest& request, std::string* error);
