#include "plugin/PluginEntryPoints.h"

#include <chrono>
#include <cstring>

#include "XPLMPlugin.h"
#include "discovery/MDnsWrapper.h"
#include "plugin/AutoStart.h"
#include "plugin/BridgeSwitch.h"
#include "plugin/ModuleExit.h"
#include "plugin/PluginMenu.h"
#include "plugin/StatusWindow.h"

namespace {

constexpr char PluginName[] = "Zephrane";
constexpr char PluginSignature[] = "quillory.zephrane.bridge";
constexpr char PluginDescription[] = "A plugin that forward navigation coordinates to Zephrane for iPhone/iPad.";
// XPluginStop returns within a second, whatever the network or a DNS-SD daemon does: X-Plane is frozen
// meanwhile, at quit and at "Reload plugins". A thread still running after that pins the module.
constexpr std::chrono::milliseconds StopLimit{800};
// Paths from the simulator in the OS's own form ("/" between folders, UTF-8) on every platform.
constexpr const char* NativePathsFeature = "XPLM_USE_NATIVE_PATHS";

}  // namespace

// The simulator's buffers hold 256 bytes; each text is copied with its terminator. The automatic-start
// choice is read here so that its check mark shows from the start; it acts at XPluginEnable.
int XPluginStart(char* outName, char* outSignature, char* outDescription) {
    std::memcpy(outName, PluginName, sizeof(PluginName));
    std::memcpy(outSignature, PluginSignature, sizeof(PluginSignature));
    std::memcpy(outDescription, PluginDescription, sizeof(PluginDescription));
    XPLMEnableFeature(NativePathsFeature, 1);
    prepareProcessForDnsSd();
    PluginMenu::build();
    AutoStart::load();
    return 1;
}

// The simulator may unload the module right after: threads that ended their own work (a connection that
// closed by itself, an announcement withdrawn in the background) are waited for, so that none is left in
// the module's code; normally they are gone at once. One that is not gone in time pins the module.
void XPluginStop(void) {
    ModuleExit::Clock::time_point deadline = ModuleExit::Clock::now() + StopLimit;
    BridgeSwitch::stopIfRunning();
    StatusWindow::destroy();
    PluginMenu::remove();
    ModuleExit::leave(deadline);
}

// At X-Plane's start, after a re-enable and after "Reload plugins", the bridge starts here when the pilot
// chose so.
int XPluginEnable(void) {
    BridgeSwitch::setEnabled(true);
    AutoStart::startIfChosen();
    return 1;
}

// Stops the bridge, but the module stays loaded: nothing waits for the DNS-SD daemon.
void XPluginDisable(void) {
    BridgeSwitch::stopIfRunning();
    BridgeSwitch::setEnabled(false);
}

void XPluginReceiveMessage(int, int, void*) {}
