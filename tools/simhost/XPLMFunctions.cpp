// The XPLM functions simhost offers to plug-ins, with the SDK's C signatures. Each one first checks that it
// runs on the main thread, then forwards to the process-wide simulator. The executable exports exactly
// these names so that a loaded plug-in's undefined XPLM symbols resolve to them. What a plug-in registers
// is tagged with the plug-in whose code is running, and the menu, feature and preferences-path calls are logged
// with their arguments. A call that breaks a rule the SDK's headers state is reported with the header's words
// (and aborts in strict mode); the call then goes on as the function's description says for a bad argument.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "PluginContext.h"
#include "Simulator.h"
#include "XPLMDataAccess.h"
#include "XPLMMenus.h"
#include "XPLMPlugin.h"
#include "XPLMProcessing.h"
#include "XPLMUtilities.h"

namespace {

std::string number(const void* pointer) { return std::to_string(reinterpret_cast<intptr_t>(pointer)); }
std::string number(XPLMMenuHandler_f handler) { return std::to_string(reinterpret_cast<intptr_t>(handler)); }
std::string text(const char* text) { return text ? "\"" + std::string(text) + "\"" : "null"; }

// The size the SDK asks callers of XPLMGetPrefsPath to provide; a longer path is cut to fit, terminator included.
constexpr size_t PathBufferSize = 512;

// The rules, in the words of the SDK's headers.
constexpr const char* MenuTitleRule =
    "you must pass a valid, non-empty menu title even if the menu is a submenu where the title is not visible.";
constexpr const char* FeatureRule = "It is an error to call this routine with an unsupported feature.";
constexpr const char* DatarefRule =
    "to keep the overhead of reading datarefs low, these routines do not do full validation of a dataref; passing "
    "a junk value for a dataref can result in crashing the sim.";
constexpr const char* UnregisterRule = "Do NOT call it from your flight loop callback.";

void checkFeature(const char* function, const char* feature) {
    if (PluginFeatures::isSupported(feature)) return;
    simulator().rules.breach(function, "unsupported feature " + text(feature), FeatureRule);
}

// A null handle reads as 0 (the SDK checks for it); any other value simhost did not hand out is junk. A
// disabled plug-in reads 0 from every dataref.
bool mayRead(const char* function, XPLMDataRef handle) {
    if (!handle) return false;
    if (!simulator().datarefs.handedOut(handle)) {
        simulator().rules.breach(function, "dataref handle " + number(handle) + " was never handed out", DatarefRule);
        return false;
    }
    return !simulator().plugins.isDisabled(PluginContext::current());
}

}  // namespace

extern "C" {

XPLMMenuID XPLMFindPluginsMenu(void) {
    simulator().threadGuard.check(__func__);
    simulator().calls.record(std::string(__func__) + "()");
    return simulator().menus.pluginsMenu();
}

XPLMMenuID XPLMCreateMenu(const char* inName, XPLMMenuID inParentMenu, int inParentItem, XPLMMenuHandler_f inHandler,
                          void* inMenuRef) {
    simulator().threadGuard.check(__func__);
    simulator().calls.record(std::string(__func__) + "(" + text(inName) + ", " + number(inParentMenu) + ", " +
                             std::to_string(inParentItem) + ", " + number(inHandler) + ", " + number(inMenuRef) + ")");
    if (!inName || !*inName) {
        simulator().rules.breach(__func__, inName ? "an empty menu title" : "a null menu title", MenuTitleRule);
        return nullptr;
    }
    return simulator().menus.createMenu(inName, inParentMenu, inParentItem, inHandler, inMenuRef,
                                        PluginContext::current());
}

int XPLMAppendMenuItem(XPLMMenuID inMenu, const char* inItemName, void* inItemRef, int inForceEnglish) {
    simulator().threadGuard.check(__func__);
    simulator().calls.record(std::string(__func__) + "(" + number(inMenu) + ", " + text(inItemName) + ", " +
                             number(inItemRef) + ", " + std::to_string(inForceEnglish) + ")");
    return simulator().menus.appendItem(inMenu, inItemName, inItemRef, PluginContext::current());
}

void XPLMCheckMenuItem(XPLMMenuID inMenu, int index, XPLMMenuCheck inCheck) {
    simulator().threadGuard.check(__func__);
    simulator().calls.record(std::string(__func__) + "(" + number(inMenu) + ", " + std::to_string(index) + ", " +
                             std::to_string(inCheck) + ")");
    simulator().menus.checkItem(inMenu, index, inCheck, PluginContext::current());
}

void XPLMDestroyMenu(XPLMMenuID inMenuID) {
    simulator().threadGuard.check(__func__);
    simulator().calls.record(std::string(__func__) + "(" + number(inMenuID) + ")");
    simulator().menus.destroyMenu(inMenuID, PluginContext::current());
}

void XPLMClearAllMenuItems(XPLMMenuID inMenuID) {
    simulator().threadGuard.check(__func__);
    simulator().calls.record(std::string(__func__) + "(" + number(inMenuID) + ")");
    simulator().menus.clearItems(inMenuID, PluginContext::current());
}

void XPLMRemoveMenuItem(XPLMMenuID inMenu, int inIndex) {
    simulator().threadGuard.check(__func__);
    simulator().calls.record(std::string(__func__) + "(" + number(inMenu) + ", " + std::to_string(inIndex) + ")");
    simulator().menus.removeItem(inMenu, inIndex, PluginContext::current());
}

void XPLMDebugString(const char* inString) {
    simulator().threadGuard.check(__func__);
    simulator().log.append(inString);
}

// The preferences file's path, in native form once the calling plug-in has enabled XPLM_USE_NATIVE_PATHS.
void XPLMGetPrefsPath(char* outPrefsPath) {
    simulator().threadGuard.check(__func__);
    simulator().calls.record(std::string(__func__) + "()");
    bool native = simulator().features.isEnabled(PluginContext::current(), PluginFeatures::NativePaths);
    std::string path = simulator().preferences.filePath(native);
    size_t length = std::min(path.size(), PathBufferSize - 1);
    std::memcpy(outPrefsPath, path.data(), length);
    outPrefsPath[length] = '\0';
}

// An unsupported feature is reported and left off.
void XPLMEnableFeature(const char* inFeature, int inEnable) {
    simulator().threadGuard.check(__func__);
    simulator().calls.record(std::string(__func__) + "(" + text(inFeature) + ", " + std::to_string(inEnable) + ")");
    checkFeature(__func__, inFeature);
    if (inFeature) simulator().features.enable(PluginContext::current(), inFeature, inEnable != 0);
}

int XPLMIsFeatureEnabled(const char* inFeature) {
    simulator().threadGuard.check(__func__);
    checkFeature(__func__, inFeature);
    return inFeature && simulator().features.isEnabled(PluginContext::current(), inFeature) ? 1 : 0;
}

XPLMDataRef XPLMFindDataRef(const char* inDataRefName) {
    simulator().threadGuard.check(__func__);
    return simulator().datarefs.find(inDataRefName);
}

double XPLMGetDatad(XPLMDataRef inDataRef) {
    simulator().threadGuard.check(__func__);
    return mayRead(__func__, inDataRef) ? simulator().datarefs.getDouble(inDataRef) : 0.0;
}

float XPLMGetDataf(XPLMDataRef inDataRef) {
    simulator().threadGuard.check(__func__);
    return mayRead(__func__, inDataRef) ? simulator().datarefs.getFloat(inDataRef) : 0.0f;
}

void XPLMRegisterFlightLoopCallback(XPLMFlightLoop_f inFlightLoop, float inInterval, void* inRefcon) {
    simulator().threadGuard.check(__func__);
    simulator().flightLoops.registerCallback(inFlightLoop, inInterval, inRefcon, PluginContext::current());
}

void XPLMUnregisterFlightLoopCallback(XPLMFlightLoop_f inFlightLoop, void* inRefcon) {
    simulator().threadGuard.check(__func__);
    if (simulator().flightLoops.isRunning(inFlightLoop, inRefcon)) {
        simulator().rules.breach(__func__, "called from the flight loop callback it unregisters", UnregisterRule);
    }
    simulator().flightLoops.unregisterCallback(inFlightLoop, inRefcon);
}

}  // extern "C"
