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

}  // namespace

// A bridge that could not listen is let go at once: it is not running, no check mark says otherwise, and the
// next start tries again.
void BridgeSwitch::start() {
    AutoreleasePool pool;
    if (currentBridge) return;
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
    currentBridge->teardown();
    release(currentBridge);
    currentBridge = nullptr;
    PilotLog::write("stopped");
    PluginMenu::showServing(false);
    PilotLogWriter::writeWaitingLines();
}

GPSBridge* BridgeSwitch::current() { return currentBridge; }
