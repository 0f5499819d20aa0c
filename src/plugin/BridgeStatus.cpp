#include "plugin/BridgeStatus.h"

#include <chrono>
#include <ctime>

#include "plugin/BridgeSwitch.h"
#include "plugin/BridgeVersion.h"
#include "plugin/GPSBridge.h"

namespace {

using Lines = std::vector<std::string>;

constexpr const char* StartItem = "Plugins > Zephrane > Start Zephrane bridge";
constexpr const char* AnywhereText =
    "Apps at any address are served, also from outside this computer's networks (accept_apps_from_anywhere 1)";
constexpr const char* NoAppYet =
    "None yet. If the app does not connect: is the phone or tablet on the same network as this computer? Does "
    "the firewall let TCP port 21777 in? Or type one of the addresses above into the app.";

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

// "192.168.1.20 (eth0)", "169.254.7.1 (eth0, link-local)".
std::string named(const InterfaceAddress& address) {
    return address.address + " (" + address.interfaceName + (address.linkLocal ? ", link-local" : "") + ")";
}

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

std::string capitalized(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text;
}

std::string headline(GPSBridge* bridge) {
    std::string host = computerName();
    std::string title = std::string("Zephrane bridge ") + bridgeVersion() + (host.empty() ? "" : " on " + host) + ": ";
    if (bridge) return title + "serving";
    if (*BridgeSwitch::startFailure()) {
        return title + "not serving: port " + std::to_string(GPSBridge::BridgePort) + " is taken (" +
               BridgeSwitch::startFailure() + ")";
    }
    return title + (BridgeSwitch::isEnabled() ? "stopped" : "stopped (the plug-in is disabled in the Plugin Admin)");
}

// What the pilot does to serve apps, when the bridge does not.
std::string nextStep() {
    if (*BridgeSwitch::startFailure()) {
        return "Another X-Plane with Zephrane, or another program, holds TCP port " +
               std::to_string(GPSBridge::BridgePort) + " on this computer. Quit it, then choose " + StartItem +
               " again.";
    }
    if (!BridgeSwitch::isEnabled()) {
        return std::string("Enable Zephrane in X-Plane's Plugin Admin, then choose ") + StartItem + ".";
    }
    return std::string("To serve apps, choose ") + StartItem + ".";
}

void addFindability(Lines& lines, GPSBridge* bridge) {
    std::optional<std::string> outcome = bridge->advertisementOutcome();
    if (!outcome) return lines.push_back("Not announced on the network");
    if (outcome->empty()) {
        return addWrapped(lines, "Announcing it as \"" + bridge->currentName() +
                                     "\" on the network: waiting for the DNS-SD service to answer");
    }
    addWrapped(lines, capitalized(*outcome));
}

void addAddresses(Lines& lines, GPSBridge* bridge, const std::vector<InterfaceAddress>& all) {
    std::vector<InterfaceAddress> addresses = reachableAddresses(all, bridge->listensOnBothFamilies());
    std::string port = "port " + std::to_string(GPSBridge::BridgePort) + ", " + bridge->addressFamilies();
    if (addresses.empty()) {
        return addWrapped(lines, "An app that does not find it cannot be given an address either (" + port +
                                     "): this computer has no network address. Is it connected to the network?");
    }
    addWrapped(lines, std::string("An app that does not find it by itself can be given ") +
                          (addresses.size() == 1 ? "this address" : "one of these addresses") + " (" + port + "):");
    for (const InterfaceAddress& address : addresses) lines.push_back(BridgeStatus::DetailIndent + named(address));
}

void addApps(Lines& lines, GPSBridge* bridge) {
    if (bridge->acceptsAppsFromAnywhere()) addWrapped(lines, AnywhereText);
    std::vector<GPSBridge::ClientStatus> apps = bridge->clientStatuses();
    lines.push_back("Apps logged in: " + std::to_string(apps.size()) + " of " + std::to_string(GPSBridge::MostClients));
    if (apps.empty()) addWrapped(lines, BridgeStatus::DetailIndent + std::string(NoAppYet));
    for (const GPSBridge::ClientStatus& app : apps) {
        lines.push_back(BridgeStatus::DetailIndent + app.address + " since " + clockText(app.since) + ", " +
                        std::to_string(app.reportsSent) + " reports sent");
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
    addWrapped(lines, headline(bridge));
    if (!bridge) {
        addWrapped(lines, nextStep());
        return lines;
    }
    addFindability(lines, bridge);
    addAddresses(lines, bridge, addresses);
    addApps(lines, bridge);
    addRefusals(lines, bridge);
    return lines;
}

std::string BridgeStatus::addressesText(bool ipv6Too) {
    std::string text;
    for (const InterfaceAddress& address : reachableAddresses(localInterfaceAddresses(), ipv6Too)) {
        text += (text.empty() ? "" : ", ") + named(address);
    }
    return text;
}
