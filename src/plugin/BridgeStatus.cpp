#include "plugin/BridgeStatus.h"

#include <chrono>
#include <ctime>

#include "plugin/BridgeSwitch.h"
#include "plugin/BridgeVersion.h"
#include "plugin/GPSBridge.h"

namespace {

using Lines = std::vector<std::string>;

constexpr const char* AnywhereText =
    "Apps at any address are served, also from outside this computer's networks (accept_apps_from_anywhere 1)";
constexpr const char* NoAddress = "no network address to give an app (loopback and link-local ones are not listed)";

// "14:02:31" in the computer's local time. The C library's clock conversion keeps its result in shared
// storage; only the main thread uses it.
std::string clockText(std::chrono::system_clock::time_point at) {
    std::time_t seconds = std::chrono::system_clock::to_time_t(at);
    char text[16] = "";
    if (const std::tm* local = std::localtime(&seconds)) std::strftime(text, sizeof(text), "%H:%M:%S", local);
    return text;
}

std::vector<InterfaceAddress> reachableAddresses(const std::vector<InterfaceAddress>& all, bool ipv6Too) {
    std::vector<InterfaceAddress> addresses;
    for (const InterfaceAddress& address : all) {
        if (ipv6Too || !address.ipv6) addresses.push_back(address);
    }
    return addresses;
}

std::string named(const InterfaceAddress& address) { return address.address + " (" + address.interfaceName + ")"; }

// Adds text as one line, or as several when it is long: broken at spaces, the later ones indented.
void addWrapped(Lines& lines, const std::string& text) {
    std::string rest = text;
    std::string indent;
    while (indent.size() + rest.size() > BridgeStatus::LongestLine) {
        size_t room = BridgeStatus::LongestLine - indent.size();
        size_t cut = rest.rfind(' ', room);
        if (cut == std::string::npos || cut == 0) break;
        lines.push_back(indent + rest.substr(0, cut));
        rest = rest.substr(cut + 1);
        indent = BridgeStatus::DetailIndent;
    }
    lines.push_back(indent + rest);
}

std::string stateText(GPSBridge* bridge) {
    if (bridge) return "serving";
    if (*BridgeSwitch::startFailure()) {
        return std::string("could not listen on port ") + std::to_string(GPSBridge::BridgePort) + ": " +
               BridgeSwitch::startFailure() + " (another program may be using it)";
    }
    return BridgeSwitch::isEnabled() ? "stopped" : "stopped (the plug-in is disabled in X-Plane's Plugin Admin)";
}

void addAddresses(Lines& lines, GPSBridge* bridge, const std::vector<InterfaceAddress>& all) {
    bool ipv6Too = !bridge || bridge->listensOnBothFamilies();
    std::string families = bridge ? " (" + bridge->addressFamilies() + ")" : "";
    lines.push_back("Port " + std::to_string(GPSBridge::BridgePort) + families + ", at this computer's addresses:");
    std::vector<InterfaceAddress> addresses = reachableAddresses(all, ipv6Too);
    if (addresses.empty()) addWrapped(lines, BridgeStatus::DetailIndent + std::string(NoAddress));
    for (const InterfaceAddress& address : addresses) lines.push_back(BridgeStatus::DetailIndent + named(address));
}

void addAdvertisement(Lines& lines, GPSBridge* bridge) {
    if (!bridge) return lines.push_back("DNS-SD: not advertised while the bridge is stopped");
    std::optional<std::string> outcome = bridge->advertisementOutcome();
    if (!outcome) return lines.push_back("DNS-SD: not advertised");
    if (outcome->empty()) return lines.push_back("DNS-SD: being advertised, waiting for the DNS-SD service to answer");
    addWrapped(lines, "DNS-SD: " + *outcome);
}

void addClients(Lines& lines, GPSBridge* bridge) {
    if (bridge->acceptsAppsFromAnywhere()) addWrapped(lines, AnywhereText);
    std::vector<GPSBridge::ClientStatus> clients = bridge->clientStatuses();
    lines.push_back("Apps logged in: " + std::to_string(clients.size()) + " of " + std::to_string(GPSBridge::MostClients));
    for (const GPSBridge::ClientStatus& client : clients) {
        lines.push_back(BridgeStatus::DetailIndent + client.address + " since " + clockText(client.since) + ", " +
                        std::to_string(client.reportsSent) + " reports sent");
    }
}

void addRefusals(Lines& lines, GPSBridge* bridge) {
    std::vector<RecentRefusals::Refusal> refusals = bridge->recentRefusals();
    if (refusals.empty()) return;
    lines.push_back("Refused lately:");
    for (const RecentRefusals::Refusal& refusal : refusals) {
        addWrapped(lines, BridgeStatus::DetailIndent + clockText(refusal.at) + " " + refusal.peer + " refused: " +
                              refusalText(refusal.code));
    }
}

}  // namespace

std::vector<std::string> BridgeStatus::capture(const std::vector<InterfaceAddress>& addresses) {
    GPSBridge* bridge = BridgeSwitch::current();
    Lines lines;
    addWrapped(lines, std::string("Zephrane bridge ") + bridgeVersion() + ": " + stateText(bridge));
    addAddresses(lines, bridge, addresses);
    addAdvertisement(lines, bridge);
    if (bridge) addClients(lines, bridge);
    if (bridge) addRefusals(lines, bridge);
    return lines;
}

std::string BridgeStatus::addressesText(bool ipv6Too) {
    std::string text;
    for (const InterfaceAddress& address : reachableAddresses(localInterfaceAddresses(), ipv6Too)) text += (text.empty() ? "" : ", ") + named(address);
    return text.empty() ? NoAddress : text;
}
