#include "plugin/BridgeSwitch.h"

#include <cstdio>
#include <string>

#include "base/AutoreleasePool.h"
#include "base/PilotLog.h"
#include "plugin/BridgeStatus.h"
#include "plugin/BridgeVersion.h"
#include "plugin/GPSBridge.h"
#include "plugin/PilotLogWriter.h"
#include "plugin/PluginMenu.h"
#include "plugin/PluginPreferences.h"
#include "plugin/StatusWindow.h"

namespace {

constexpr const char* AlreadyStoppedWarning = "\nWARNING : bridge is already stopped\n";
constexpr const char* AnywhereLine =
    "apps are served whatever their address, also from outside this computer's networks "
    "(accept_apps_from_anywhere 1 in Zephrane.prf)";

GPSBridge* currentBridge = nullptr;
// Until XPluginEnable, the simulator has the plug-in loaded but not enabled.
bool pluginEnabled = false;
// Why the last start could not listen; empty once a start worked or the pilot stopped. Plain storage: the
// module's statics hold nothing that needs destroying.
char lastStartFailure[256] = "";

void rememberFailure(const std::string& failure) {
    std::snprintf(lastStartFailure, sizeof(lastStartFailure), "%s", failure.c_str());
}

void tearDown() {
    currentBridge->teardown();
    release(currentBridge);
    currentBridge = nullptr;
    PilotLog::write("stopped");
    rememberFailure("");
    PluginMenu::showServing(false);
    PilotLogWriter::writeWaitingLines();
    StatusWindow::refreshIfVisible();
}

// "bridge 1.1.0 (abc1234) started, listening on port 21777 (IPv4 and IPv6) at 192.168.1.20 (eth0); apps find
// it on the network as "X-Plane", and ...", or why it could not listen and what to do.
std::string startLine(GPSBridge* bridge) {
    std::string start = std::string("bridge ") + bridgeVersion();
    std::string port = std::to_string(GPSBridge::BridgePort);
    if (!bridge->isListening()) {
        return start + " could not listen on port " + port + ": " + lastStartFailure + ". Another X-Plane with "
               "Zephrane, or another program, holds that port on this computer: quit it, then choose Plugins > "
               "Zephrane > Start Zephrane bridge again. The bridge is not running";
    }
    std::string addresses = BridgeStatus::addressesText(bridge->listensOnBothFamilies());
    std::string listening = start + " started, listening on port " + port + " (" + bridge->addressFamilies() + ")";
    std::string found = "apps find it on the network as \"" + bridge->chosenName() + "\"";
    if (addresses.empty()) {
        return listening + ", but this computer has no network address: connect it to the network the phone or "
               "tablet is on (" + found + " then)";
    }
    return listening + " at " + addresses + "; " + found + ", and an app that does not can be given " +
           (addresses.find(',') == std::string::npos ? "that address" : "one of those addresses");
}

}  // namespace

// A bridge that could not listen is let go at once: it is not running, no check mark says otherwise, and the
// next start tries again.
void BridgeSwitch::start() {
    AutoreleasePool pool;
    if (currentBridge) return;
    if (!pluginEnabled) {
        PilotLog::write("the plug-in is disabled, so the bridge does not start: enable Zephrane in X-Plane's "
                        "Plugin Admin first");
        PilotLogWriter::writeWaitingLines();
        return;
    }
    // The start's own line comes first among those of this start, before the announcement's.
    PilotLogWriter::writeWaitingLines();
    Preferences preferences = PluginPreferences::read();
    BridgeSettings settings{preferences.acceptAppsFromAnywhere, preferences.serviceName};
    auto* bridge = new GPSBridge(GPSBridge::BridgePort, settings);
    rememberFailure(bridge->isListening() ? "" : bridge->listenError());
    PilotLogWriter::writeLine(startLine(bridge));
    if (bridge->isListening() && settings.acceptAppsFromAnywhere) PilotLogWriter::writeLine(AnywhereLine);
    if (bridge->isListening()) {
        currentBridge = bridge;
    } else {
        bridge->teardown();
        release(bridge);
    }
    PluginMenu::showServing(currentBridge != nullptr);
    PilotLogWriter::writeWaitingLines();
    StatusWindow::refreshIfVisible();  // the start's own line went out directly
}

void BridgeSwitch::stop() {
    AutoreleasePool pool;
    if (!currentBridge) {
        std::fputs(AlreadyStoppedWarning, stderr);
        std::fflush(stderr);
        return;
    }
    tearDown();
}

void BridgeSwitch::stopIfRunning() {
    AutoreleasePool pool;
    if (currentBridge) tearDown();
}

void BridgeSwitch::setEnabled(bool enabled) { pluginEnabled = enabled; }

GPSBridge* BridgeSwitch::current() { return currentBridge; }

bool BridgeSwitch::isEnabled() { return pluginEnabled; }

const char* BridgeSwitch::startFailure() { return lastStartFailure; }
