// What the client makes of the bridges DNS-SD finds, said in the pilot's words: --list prints them all,
// --name picks one by its service name, and otherwise the first to answer is taken, with a word on how to
// choose another when several answered.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "BridgeDiscovery.h"
#include "ClientOptions.h"

struct ChosenBridge {
    std::vector<std::string> addresses;  // to try in turn; never empty
    uint16_t port = 0;
};

// Prints every bridge found, one a line on standard output; false, with what to check on the error output,
// when none was found.
bool listBridges(const ClientOptions& options);
// The bridge the options choose, said on the error output; nothing (and why, said there too) when none.
std::optional<ChosenBridge> chooseBridge(const ClientOptions& options);
// The line --list prints for a bridge: "NAME"  host HOST  port N  addresses A, B
std::string bridgeListLine(const DiscoveredBridge& bridge);
