#include "plugin/PluginMenu.h"

#include "XPLMMenus.h"
#include "plugin/BridgeSwitch.h"

namespace {

constexpr const char* MenuTitle = "Zephrane";
constexpr const char* StartItemText = "Start Zephrane bridge";
constexpr const char* StopItemText = "Stop Zephrane bridge";
// The SDK's force-English argument, which it ignores.
constexpr int ForceEnglish = 1;

void* itemReference(intptr_t reference) { return reinterpret_cast<void*>(reference); }

}  // namespace

void PluginMenu::build() {
    int item = XPLMAppendMenuItem(XPLMFindPluginsMenu(), MenuTitle, itemReference(0), ForceEnglish);
    XPLMMenuID menu = XPLMCreateMenu(MenuTitle, XPLMFindPluginsMenu(), item, handle, nullptr);
    XPLMAppendMenuItem(menu, StartItemText, itemReference(StartItemReference), ForceEnglish);
    XPLMAppendMenuItem(menu, StopItemText, itemReference(StopItemReference), ForceEnglish);
}

void PluginMenu::handle(void*, void* itemRef) {
    if (itemRef == itemReference(StartItemReference)) BridgeSwitch::start();
    if (itemRef == itemReference(StopItemReference)) BridgeSwitch::stop();
}
