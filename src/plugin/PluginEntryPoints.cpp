#include "plugin/PluginEntryPoints.h"

#include <chrono>
#include <cstring>

#include "plugin/BridgeSwitch.h"
#include "thread/BaseThread.h"
#include "plugin/PluginMenu.h"

namespace {

constexpr char PluginName[] = "Zephrane";
constexpr char PluginSignature[] = "quillory.zephrane.bridge";
constexpr char PluginDescription[] = "A plugin that forward navigation coordinates to Zephrane for iPhone/iPad.";
constexpr std::chrono::seconds ThreadsEndLimit{2};

}  // namespace

// The simulator's buffers hold 256 bytes; each text is copied with its terminator.
int XPluginStart(char* outName, char* outSignature, char* outDescription) {
    std::memcpy(outName, PluginName, sizeof(PluginName));
    std::memcpy(outSignature, PluginSignature, sizeof(PluginSignature));
    std::memcpy(outDescription, PluginDescription, sizeof(PluginDescription));
    PluginMenu::build();
    return 1;
}

// The simulator may unload the module right after: threads that ended their own work (a connection that
// closed by itself) are given a moment to leave the module's code.
void XPluginStop(void) {
    BridgeSwitch::stop();
    BaseThread::waitForAllThreadsToEnd(ThreadsEndLimit);
}

int XPluginEnable(void) { return 1; }

void XPluginDisable(void) { XPluginStop(); }

void XPluginReceiveMessage(int, int, void*) {}
