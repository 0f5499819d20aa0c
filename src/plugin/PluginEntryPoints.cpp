#include "plugin/PluginEntryPoints.h"

#include <cstring>

#include "plugin/BridgeSwitch.h"
#include "plugin/PluginMenu.h"

namespace {

constexpr char PluginName[] = "Zephrane";
constexpr char PluginSignature[] = "quillory.zephrane.bridge";
constexpr char PluginDescription[] = "A plugin that forward navigation coordinates to Zephrane for iPhone/iPad.";

}  // namespace

// The simulator's buffers hold 256 bytes; each text is copied with its terminator.
int XPluginStart(char* outName, char* outSignature, char* outDescription) {
    std::memcpy(outName, PluginName, sizeof(PluginName));
    std::memcpy(outSignature, PluginSignature, sizeof(PluginSignature));
    std::memcpy(outDescription, PluginDescription, sizeof(PluginDescription));
    PluginMenu::build();
    return 1;
}

void XPluginStop(void) { BridgeSwitch::stop(); }

int XPluginEnable(void) { return 1; }

void XPluginDisable(void) { BridgeSwitch::stop(); }

void XPluginReceiveMessage(int, int, void*) {}
