#include "plugin/BridgeSwitch.h"

#include <cstdio>
#include <string>

#include "base/AutoreleasePool.h"
#include "base/PilotLog.h"
#include "plugin/GPSBridge.h"
#include "plugin/PilotLogWriter.h"
#include "plugin/PluginMenu.h"

namespace {

constexpr const char* AlreadyStoppedWarning = "\nWARNING : bridge is already stopped\n";

GPSBridge* currentBridge = nullptr;
// Until XPluginEnable, the simulator has the plug-in loaded but not enabled.
bool pluginEnabled = false;

void tearDown() {
    currentBridge->teardown();
    release(currentBridge);
    currentBridge = nullptr;
    PilotLog::write("stopped");
    PluginMenu::showServing(false);
    PilotLogWriter::writeWaitingLines();
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
    auto* bridge = new GPSBridge();
    std::string port = std::to_string(GPSBridge::BridgePort);
    if (bridge->isListening()) {
        currentBridge = bridge;
        PilotLog::write("started, listening on port " + port + " (" + bridge->addressFamilies() + ")");
    } else {
        PilotLog::write("could not listen on port " + port + ": " + bridge->listenError() +
                        " (another program may be using it); the bridge is not running");
        bridge->teardown();
        release(bridge);
    }
    PluginMenu::showServing(currentBridge != nullptr);
    PilotLogWriter::writeWaitingLines();
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
