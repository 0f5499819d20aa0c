// The XPLM window and text functions simhost offers to plug-ins, with the SDK's C signatures. As in
// XPLMFunctions.cpp, each one first checks that it runs on the main thread, then forwards to the process-wide
// simulator, and the executable exports exactly these names. A call that breaks a rule the SDK's headers state
// is reported with the header's words, one they only imply is reported in simhost's own (both abort in strict
// mode). A window identifier the caller does not hold (null, never handed out, destroyed, or another
// plug-in's) is reported and the call does nothing; a getter then gives 0. Text is recorded, never drawn.
#include <cstdint>
#include <string>
#include <vector>

#include "FontMetrics.h"
#include "PluginContext.h"
#include "Simulator.h"
#include "XPLMDisplay.h"
#include "XPLMGraphics.h"

namespace {

// The rules, in the words of the SDK's headers.
constexpr const char* WindowRule = "You use it to control your window.";
constexpr const char* StructSizeRule =
    "You must set the structSize of the structure to the size of the actual structure you used.";
constexpr const char* CallbackRule = "you must provide functions for every callback---you may not leave them null!";
constexpr const char* DrawingRule =
    "When this callback is called, the OpenGL context will be set properly for 2-D window drawing.";
constexpr const char* DeprecatedFontRule = "Deprecated, do not use.";

std::string number(const void* pointer) { return std::to_string(reinterpret_cast<uintptr_t>(pointer)); }

std::string refusal(WindowRegistry::Access access, XPLMWindowID window) {
    switch (access) {
    case WindowRegistry::Access::Null:
        return "a null window";
    case WindowRegistry::Access::Destroyed:
        return "window " + number(window) + " was destroyed";
    case WindowRegistry::Access::Foreign:
        return "window " + number(window) + " belongs to another plug-in";
    case WindowRegistry::Access::Unknown:
    case WindowRegistry::Access::Granted:
        break;
    }
    return "window " + number(window) + " was never handed out";
}

bool mayUse(const char* function, XPLMWindowID window) {
    WindowRegistry::Access access = simulator().windows.access(window, PluginContext::current());
    if (access == WindowRegistry::Access::Granted) return true;
    simulator().rules.breach(function, refusal(access, window), WindowRule);
    return false;
}

// Bounds name left, top, right, bottom with y upwards: a window whose left is right of its right, or whose
// bottom is above its top, has its sides swapped.
void checkBounds(const char* function, int left, int top, int right, int bottom) {
    if (left <= right && bottom <= top) return;
    simulator().rules.fault(function, "bounds left " + std::to_string(left) + ", top " + std::to_string(top) +
                                          ", right " + std::to_string(right) + ", bottom " + std::to_string(bottom) +
                                          (left > right ? ": left is right of right" : ": bottom is above top"));
}

// The first callback left null, or null when every one is given.
const char* missingCallback(const XPLMCreateWindow_t& parameters) {
    if (!parameters.drawWindowFunc) return "drawWindowFunc";
    if (!parameters.handleMouseClickFunc) return "handleMouseClickFunc";
    if (!parameters.handleKeyFunc) return "handleKeyFunc";
    if (!parameters.handleCursorFunc) return "handleCursorFunc";
    if (!parameters.handleMouseWheelFunc) return "handleMouseWheelFunc";
    if (!parameters.handleRightClickFunc) return "handleRightClickFunc";
    return nullptr;
}

bool checkParameters(const char* function, const XPLMCreateWindow_t* parameters) {
    if (!parameters) {
        simulator().rules.fault(function, "null parameters");
        return false;
    }
    if (parameters->structSize != static_cast<int>(sizeof(XPLMCreateWindow_t))) {
        simulator().rules.breach(function,
                                 "structSize " + std::to_string(parameters->structSize) + ", not the " +
                                     std::to_string(sizeof(XPLMCreateWindow_t)) + " of the SDK's structure",
                                 StructSizeRule);
        return false;
    }
    if (const char* missing = missingCallback(*parameters)) {
        simulator().rules.breach(function, std::string("a null ") + missing, CallbackRule);
        return false;
    }
    return true;
}

bool mayDraw(const char* function) {
    if (simulator().windows.isDrawing()) return true;
    simulator().rules.breach(function, "called outside a window's draw callback", DrawingRule);
    return false;
}

bool checkFont(const char* function, XPLMFontID font) {
    switch (FontMetrics::kind(font)) {
    case FontMetrics::Kind::Supported:
        return true;
    case FontMetrics::Kind::Deprecated:
        simulator().rules.breach(function, "deprecated font " + std::to_string(font), DeprecatedFontRule);
        return false;
    case FontMetrics::Kind::Unknown:
        break;
    }
    simulator().rules.fault(function, "no font " + std::to_string(font));
    return false;
}

void put(int* destination, int value) {
    if (destination) *destination = value;
}

}  // namespace

extern "C" {

XPLMWindowID XPLMCreateWindowEx(XPLMCreateWindow_t* inParams) {
    simulator().threadGuard.check(__func__);
    if (!checkParameters(__func__, inParams)) return nullptr;
    checkBounds(__func__, inParams->left, inParams->top, inParams->right, inParams->bottom);
    return simulator().windows.create(*inParams, PluginContext::current());
}

void XPLMDestroyWindow(XPLMWindowID inWindowID) {
    simulator().threadGuard.check(__func__);
    if (mayUse(__func__, inWindowID)) simulator().windows.destroy(inWindowID, PluginContext::current());
}

void XPLMGetScreenBoundsGlobal(int* outLeft, int* outTop, int* outRight, int* outBottom) {
    simulator().threadGuard.check(__func__);
    WindowRegistry::Bounds screen = WindowRegistry::screen();
    put(outLeft, screen.left);
    put(outTop, screen.top);
    put(outRight, screen.right);
    put(outBottom, screen.bottom);
}

void XPLMGetWindowGeometry(XPLMWindowID inWindowID, int* outLeft, int* outTop, int* outRight, int* outBottom) {
    simulator().threadGuard.check(__func__);
    WindowRegistry::Bounds bounds;
    if (mayUse(__func__, inWindowID)) bounds = simulator().windows.bounds(inWindowID, PluginContext::current());
    put(outLeft, bounds.left);
    put(outTop, bounds.top);
    put(outRight, bounds.right);
    put(outBottom, bounds.bottom);
}

void XPLMSetWindowGeometry(XPLMWindowID inWindowID, int inLeft, int inTop, int inRight, int inBottom) {
    simulator().threadGuard.check(__func__);
    if (!mayUse(__func__, inWindowID)) return;
    checkBounds(__func__, inLeft, inTop, inRight, inBottom);
    simulator().windows.setBounds(inWindowID, {inLeft, inTop, inRight, inBottom}, PluginContext::current());
}

int XPLMGetWindowIsVisible(XPLMWindowID inWindowID) {
    simulator().threadGuard.check(__func__);
    if (!mayUse(__func__, inWindowID)) return 0;
    return simulator().windows.isVisible(inWindowID, PluginContext::current()) ? 1 : 0;
}

void XPLMSetWindowIsVisible(XPLMWindowID inWindowID, int inIsVisible) {
    simulator().threadGuard.check(__func__);
    if (mayUse(__func__, inWindowID)) {
        simulator().windows.setVisible(inWindowID, inIsVisible != 0, PluginContext::current());
    }
}

// simhost has one monitor: every monitor index names it.
void XPLMSetWindowPositioningMode(XPLMWindowID inWindowID, XPLMWindowPositioningMode inPositioningMode,
                                  int /*inMonitorIndex*/) {
    simulator().threadGuard.check(__func__);
    if (!mayUse(__func__, inWindowID)) return;
    if (inPositioningMode < xplm_WindowPositionFree || inPositioningMode > xplm_WindowVR) {
        simulator().rules.fault(__func__, "no positioning mode " + std::to_string(inPositioningMode));
        return;
    }
    simulator().windows.setPositioningMode(inWindowID, inPositioningMode, PluginContext::current());
}

void XPLMSetWindowTitle(XPLMWindowID inWindowID, const char* inWindowTitle) {
    simulator().threadGuard.check(__func__);
    if (!mayUse(__func__, inWindowID)) return;
    if (!inWindowTitle) {
        simulator().rules.fault(__func__, "a null title");
        return;
    }
    simulator().windows.setTitle(inWindowID, inWindowTitle, PluginContext::current());
}

void XPLMDrawTranslucentDarkBox(int /*inLeft*/, int /*inTop*/, int /*inRight*/, int /*inBottom*/) {
    simulator().threadGuard.check(__func__);
    mayDraw(__func__);
}

// Each line of a wrapped string is recorded one character height below the one before.
void XPLMDrawString(float* inColorRGB, int inXOffset, int inYOffset, const char* inChar, int* inWordWrapWidth,
                    XPLMFontID inFontID) {
    simulator().threadGuard.check(__func__);
    if (!mayDraw(__func__)) return;
    if (!inColorRGB || !inChar) {
        simulator().rules.fault(__func__, inColorRGB ? "a null string" : "a null colour");
        return;
    }
    if (!checkFont(__func__, inFontID)) return;
    std::vector<std::string> lines{inChar};
    if (inWordWrapWidth) lines = FontMetrics::wrap(inChar, inFontID, *inWordWrapWidth);
    int y = inYOffset;
    for (const std::string& line : lines) {
        simulator().windows.record({inXOffset, y, {inColorRGB[0], inColorRGB[1], inColorRGB[2]}, inFontID, line, false});
        y -= FontMetrics::size(inFontID).height;
    }
}

void XPLMGetFontDimensions(XPLMFontID inFontID, int* outCharWidth, int* outCharHeight, int* outDigitsOnly) {
    simulator().threadGuard.check(__func__);
    FontMetrics::Size size;
    if (checkFont(__func__, inFontID)) size = FontMetrics::size(inFontID);
    put(outCharWidth, size.width);
    put(outCharHeight, size.height);
    put(outDigitsOnly, 0);
}

}  // extern "C"
