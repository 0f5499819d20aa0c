#include "plugin/PluginEntryPoints.h"

#include <chrono>
#include <cstring>

#include "XPLMPlugin.h"
#include "plugin/AutoStart.h"
#include "plugin/BridgeSwitch.h"
#include "plugin/PluginMenu.h"
#include "thread/BaseThread.h"

namespace {

constexpr char PluginName[] = "Zephrane";
constexpr char PluginSignature[] = "quillory.zephrane.bridge";
constexpr char PluginDescription[] = "A plugin that forward navigation coordinates to Zephrane for iPhone/iPad.";
// A DNS-SD library call under way (a withdrawal from a daemon that stopped answering) ends by the library's
// own time-out, 25 s for Avahi's D-Bus calls: the unload waits that long at most, so that no thread is left
// running in the module's code.
constexpr std::chrono::seconds ThreadsEndLimit{30};
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
    PluginMenu::build();
    AutoStart::load();
    return 1;
}

// The simulator may unload the module right after: threads that ended their own work (a connection that
// closed by itself, an announcement withdrawn in the background) are waited for, so that none is left in
// the module's code. Normally they are gone at once.
void XPluginStop(void) {
    BridgeSwitch::stop();
    BaseThread::waitForAllThreadsToEnd(ThreadsEndLimit);
    PluginMenu::remove();
}

// At X-Plane's start and after a re-enable, the bridge starts here when the pilot chose so.
int XPluginEnable(void) {
    AutoStart::startIfChosen();
    return 1;
}

// Stops the bridge as XPluginStop does, but the module stays loaded: nothing waits for the DNS-SD daemon.
void XPluginDisable(void) { BridgeSwitch::stop(); }

void XPluginReceiveMessage(int, int, void*) {}
