#include "plugin/PluginMenu.h"

#include "XPLMMenus.h"
#include "plugin/AutoStart.h"
#include "plugin/BridgeSwitch.h"
#include "plugin/StatusWindow.h"

namespace {

constexpr const char* MenuTitle = "Zephrane";
constexpr const char* StartItemText = "Start Zephrane bridge";
constexpr const char* StopItemText = "Stop Zephrane bridge";
constexpr const char* AutoStartItemText = "Start bridge automatically";
constexpr const char* StatusItemText = "Show bridge status";
// The SDK's force-English argument, which it ignores.
constexpr int ForceEnglish = 1;

void* itemReference(intptr_t reference) { return reinterpret_cast<void*>(reference); }

// Touched on the main thread only.
XPLMMenuID submenu = nullptr;
int pluginsMenuItem = -1;
int startItem = -1;
int autoStartItem = -1;

void check(int item, bool on) {
    if (!submenu || item < 0) return;
    XPLMCheckMenuItem(submenu, item, on ? xplm_Menu_Checked : xplm_Menu_Unchecked);
}

}  // namespace

void PluginMenu::build() {
    pluginsMenuItem = XPLMAppendMenuItem(XPLMFindPluginsMenu(), MenuTitle, itemReference(0), ForceEnglish);
    submenu = XPLMCreateMenu(MenuTitle, XPLMFindPluginsMenu(), pluginsMenuItem, handle, nullptr);
    startItem = XPLMAppendMenuItem(submenu, StartItemText, itemReference(StartItemReference), ForceEnglish);
    XPLMAppendMenuItem(submenu, StopItemText, itemReference(StopItemReference), ForceEnglish);
    autoStartItem = XPLMAppendMenuItem(submenu, AutoStartItemText, itemReference(AutoStartItemReference), ForceEnglish);
    XPLMAppendMenuItem(submenu, StatusItemText, itemReference(StatusItemReference), ForceEnglish);
}

void PluginMenu::remove() {
    if (submenu) XPLMDestroyMenu(submenu);
    if (pluginsMenuItem >= 0) XPLMRemoveMenuItem(XPLMFindPluginsMenu(), pluginsMenuItem);
    submenu = nullptr;
    pluginsMenuItem = startItem = autoStartItem = -1;
}

void PluginMenu::handle(void*, void* itemRef) {
    if (itemRef == itemReference(StartItemReference)) BridgeSwitch::start();
    if (itemRef == itemReference(StopItemReference)) BridgeSwitch::stop();
    if (itemRef == itemReference(AutoStartItemReference)) AutoStart::toggle();
    if (itemRef == itemReference(StatusItemReference)) StatusWindow::toggle();
}

void PluginMenu::showServing(bool serving) { check(startItem, serving); }

void PluginMenu::showAutoStart(bool on) { check(autoStartItem, on); }
