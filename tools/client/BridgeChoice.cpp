#include "BridgeChoice.h"

#include <algorithm>
#include <cstdio>

namespace {

using Goal = DiscoveryRequest::Goal;

std::string joined(const std::vector<std::string>& texts) {
    std::string line;
    for (const std::string& text : texts) line += (line.empty() ? "" : ", ") + text;
    return line;
}

// The name in double quotes. A quote or a backslash inside gets a backslash before it, and a control
// character becomes a backslash and its three-digit decimal code, so that a list line is always one line
// and the name ends at the first quote without a backslash.
std::string quoted(const std::string& name) {
    std::string text = "\"";
    for (char c : name) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else if (byte < 0x20 || byte == 0x7f) {
            char code[5];
            std::snprintf(code, sizeof(code), "\\%03u", static_cast<unsigned>(byte));
            text += code;
        } else {
            text += c;
        }
    }
    return text + "\"";
}

std::vector<std::string> quotedNames(const std::vector<DiscoveredBridge>& bridges) {
    std::vector<std::string> names;
    for (const DiscoveredBridge& bridge : bridges) names.push_back(quoted(bridge.name));
    return names;
}

// The host as pilots write it, without the final dot of a fully qualified name.
std::string hostText(const std::string& host) {
    return !host.empty() && host.back() == '.' ? host.substr(0, host.size() - 1) : host;
}

void say(const std::string& line) { std::fprintf(stderr, "zephrane-client: %s\n", line.c_str()); }

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof(text), "%g s", seconds);
    return text;
}

void sayNothingFound(const ClientOptions& options) {
    say("no bridge found on the local network within " + secondsText(options.discoverySeconds) +
        ": check that the bridge is started in X-Plane (Plugins > Zephrane > Start Zephrane bridge) and that this "
        "computer is on the same network, or give the bridge's address with --host");
}

// Says why a bridge that was seen has no address to connect to.
void sayUnreached(const DiscoveredBridge& bridge) {
    say(quoted(bridge.name) + (bridge.host.empty() ? " was seen but could not be resolved"
                                                   : " gave no address for " + hostText(bridge.host)));
}

std::optional<std::vector<DiscoveredBridge>> discover(const ClientOptions& options, Goal goal) {
    auto limit = std::chrono::milliseconds(static_cast<int64_t>(options.discoverySeconds * 1000));
    std::string error;
    auto found = discoverBridges(DiscoveryRequest{goal, options.name, limit}, &error);
    if (!found) say(error);
    return found;
}

void saySeveral(const std::vector<DiscoveredBridge>& bridges, const DiscoveredBridge& chosen) {
    const DiscoveredBridge& other = &chosen == &bridges.front() ? bridges[1] : bridges.front();
    say(std::to_string(bridges.size()) + " bridges answered: " + joined(quotedNames(bridges)) + "; connecting to " +
        quoted(chosen.name) + ", the first");
    say("to see them all: zephrane-client --list; to choose one: zephrane-client --name " + quoted(other.name));
}

// The first bridge with an address, in the order they answered; says so when several answered, and why
// when none can be reached.
const DiscoveredBridge* firstAnswered(const std::vector<DiscoveredBridge>& bridges, const ClientOptions& options) {
    auto reached = [](const DiscoveredBridge& bridge) { return !bridge.addresses.empty(); };
    auto chosen = std::find_if(bridges.begin(), bridges.end(), reached);
    if (bridges.empty()) sayNothingFound(options);
    if (chosen == bridges.end()) {
        std::for_each(bridges.begin(), bridges.end(), sayUnreached);
        return nullptr;
    }
    if (bridges.size() > 1) saySeveral(bridges, *chosen);
    return &*chosen;
}

// The bridge of the name asked for; says which were found when it is not among them.
const DiscoveredBridge* named(const std::vector<DiscoveredBridge>& bridges, const ClientOptions& options) {
    auto sameName = [&options](const DiscoveredBridge& bridge) { return bridge.name == options.name; };
    auto chosen = std::find_if(bridges.begin(), bridges.end(), sameName);
    if (chosen != bridges.end()) return &*chosen;
    say("no bridge named " + quoted(options.name) + " answered within " + secondsText(options.discoverySeconds) +
        "; " +
        (bridges.empty() ? "no bridge answered at all"
                         : "found " + joined(quotedNames(bridges)) + " (the name must match exactly)"));
    return nullptr;
}

}  // namespace

bool listBridges(const ClientOptions& options) {
    std::optional<std::vector<DiscoveredBridge>> found = discover(options, Goal::All);
    if (!found) return false;
    size_t listed = 0;
    for (const DiscoveredBridge& bridge : *found) {
        if (bridge.addresses.empty()) {
            sayUnreached(bridge);
            continue;
        }
        std::printf("%s\n", bridgeListLine(bridge).c_str());
        ++listed;
    }
    if (listed == 0) sayNothingFound(options);
    return listed > 0;
}

std::optional<ChosenBridge> chooseBridge(const ClientOptions& options) {
    bool byName = !options.name.empty();
    std::optional<std::vector<DiscoveredBridge>> found = discover(options, byName ? Goal::Named : Goal::First);
    if (!found) return std::nullopt;
    const DiscoveredBridge* chosen = byName ? named(*found, options) : firstAnswered(*found, options);
    if (!chosen) return std::nullopt;
    if (chosen->addresses.empty()) {
        sayUnreached(*chosen);
        return std::nullopt;
    }
    say("found " + quoted(chosen->name) + " at " + chosen->addresses.front() + " port " +
        std::to_string(chosen->port) + (chosen->txt.empty() ? "" : " (" + chosen->txt + ")"));
    if (chosen->addresses.size() > 1) {
        std::vector<std::string> others(chosen->addresses.begin() + 1, chosen->addresses.end());
        say(quoted(chosen->name) + " is also at " + joined(others));
    }
    return ChosenBridge{chosen->addresses, chosen->port};
}

std::string bridgeListLine(const DiscoveredBridge& bridge) {
    return quoted(bridge.name) + "  host " + hostText(bridge.host) + "  port " + std::to_string(bridge.port) +
           "  addresses " + joined(bridge.addresses);
}
