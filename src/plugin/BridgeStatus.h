// BridgeStatus: what the status window shows, as plain lines of text: the version, this computer's name and
// the bridge's state, whether and as which name apps find it, this computer's addresses an app can be given,
// the apps logged in (or what to check when there is none) and the last logins refused; when the bridge does
// not serve, what to do. The main thread captures it from the bridge switch, the running
// bridge (whose network threads keep their facts under their own short locks) and the system's interfaces;
// the window only reads the captured lines.
#pragma once

#include <string>
#include <vector>

#include "platform/NetworkInterfaces.h"

namespace BridgeStatus {

// Lines longer than this are wrapped at a space, the rest indented as a detail.
inline constexpr size_t LongestLine = 88;
inline constexpr const char* DetailIndent = "    ";

// Main thread: the window's lines, top to bottom, with this computer's addresses as listed by
// localInterfaceAddresses (the caller decides how often to ask the system for them).
std::vector<std::string> capture(const std::vector<InterfaceAddress>& addresses);
// "192.168.1.20 (eth0), fd00::5 (eth0)": the addresses an app can use, IPv6 ones only with ipv6Too; empty
// when there is none.
std::string addressesText(bool ipv6Too);

}  // namespace BridgeStatus
