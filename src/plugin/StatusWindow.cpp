#include "plugin/StatusWindow.h"

#include <algorithm>
#include <string>
#include <vector>

#include "XPLMDisplay.h"
#include "XPLMGraphics.h"
#include "XPLMProcessing.h"
#include "plugin/BridgeStatus.h"

namespace {

constexpr const char* WindowTitle = "Zephrane bridge";
constexpr XPLMFontID Font = xplmFont_Basic;
// Boxels between the text and the window's edges, and from the desktop's top left corner to the window.
constexpr int Margin = 10;
constexpr int LineSpacing = 4;
constexpr int DesktopOffsetX = 60;
constexpr int DesktopOffsetY = 120;
// The flight loop's interval while the window exists, in seconds.
constexpr float RefreshSeconds = 1.0f;
// The system's interface list is asked for when the window opens and then every this many refreshes: on
// Windows the call can take milliseconds of the simulator's frame, and addresses seldom change.
constexpr int RefreshesPerAddressLookup = 10;
float TextColour[3] = {0.95f, 0.95f, 0.95f};

// Touched on the main thread only. The lines and addresses live as long as the window, so that nothing of
// the module's is left to destroy at its unload.
XPLMWindowID window = nullptr;
std::vector<std::string>* lines = nullptr;
std::vector<InterfaceAddress>* addresses = nullptr;
int refreshesSinceLookup = 0;

int lineHeight() {
    int height = 0;
    XPLMGetFontDimensions(Font, nullptr, &height, nullptr);
    return height + LineSpacing;
}

// The window keeps its top left corner and takes the size of its text.
void fitToText() {
    int charWidth = 0;
    XPLMGetFontDimensions(Font, &charWidth, nullptr, nullptr);
    size_t longest = 0;
    for (const std::string& line : *lines) longest = std::max(longest, line.size());
    int width = static_cast<int>(longest) * charWidth + 2 * Margin;
    int height = static_cast<int>(lines->size()) * lineHeight() + 2 * Margin;
    int left = 0, top = 0, right = 0, bottom = 0;
    XPLMGetWindowGeometry(window, &left, &top, &right, &bottom);
    if (right - left != width || top - bottom != height) XPLMSetWindowGeometry(window, left, top, left + width, top - height);
}

void refresh(bool lookUpAddresses) {
    if (lookUpAddresses || ++refreshesSinceLookup >= RefreshesPerAddressLookup) {
        *addresses = localInterfaceAddresses();
        refreshesSinceLookup = 0;
    }
    *lines = BridgeStatus::capture(*addresses);
    fitToText();
}

void draw(XPLMWindowID id, void*) {
    int left = 0, top = 0;
    XPLMGetWindowGeometry(id, &left, &top, nullptr, nullptr);
    int step = lineHeight();
    int baseline = top - Margin - step + LineSpacing;
    for (const std::string& line : *lines) {
        XPLMDrawString(TextColour, left + Margin, baseline, line.c_str(), nullptr, Font);
        baseline -= step;
    }
}

// The window is opaque: it takes the clicks and wheel turns over it, and does nothing with them.
int takeClick(XPLMWindowID, int, int, XPLMMouseStatus, void*) { return 1; }
int takeWheel(XPLMWindowID, int, int, int, int, void*) { return 1; }
void ignoreKey(XPLMWindowID, char, XPLMKeyFlags, char, void*, int) {}
XPLMCursorStatus defaultCursor(XPLMWindowID, int, int, void*) { return xplm_CursorDefault; }

float refreshWhileVisible(float, float, int, void*) {
    if (StatusWindow::isVisible()) refresh(false);
    return RefreshSeconds;
}

void create() {
    int desktopLeft = 0, desktopTop = 0;
    XPLMGetScreenBoundsGlobal(&desktopLeft, &desktopTop, nullptr, nullptr);
    XPLMCreateWindow_t parameters{};
    parameters.structSize = sizeof(parameters);
    parameters.left = desktopLeft + DesktopOffsetX;
    parameters.top = desktopTop - DesktopOffsetY;
    parameters.right = parameters.left + 2 * Margin;
    parameters.bottom = parameters.top - 2 * Margin;
    parameters.visible = 0;
    parameters.drawWindowFunc = draw;
    parameters.handleMouseClickFunc = takeClick;
    parameters.handleRightClickFunc = takeClick;
    parameters.handleKeyFunc = ignoreKey;
    parameters.handleCursorFunc = defaultCursor;
    parameters.handleMouseWheelFunc = takeWheel;
    parameters.decorateAsFloatingWindow = xplm_WindowDecorationRoundRectangle;
    parameters.layer = xplm_WindowLayerFloatingWindows;
    window = XPLMCreateWindowEx(&parameters);
    if (!window) return;
    lines = new std::vector<std::string>();
    addresses = new std::vector<InterfaceAddress>();
    XPLMSetWindowPositioningMode(window, xplm_WindowPositionFree, -1);
    XPLMSetWindowTitle(window, WindowTitle);
    XPLMRegisterFlightLoopCallback(refreshWhileVisible, RefreshSeconds, nullptr);
}

}  // namespace

void StatusWindow::toggle() {
    if (!window) create();
    if (!window) return;
    if (isVisible()) {
        XPLMSetWindowIsVisible(window, 0);
        return;
    }
    refresh(true);
    XPLMSetWindowIsVisible(window, 1);
}

void StatusWindow::refreshIfVisible() {
    if (isVisible()) refresh(false);
}

bool StatusWindow::isVisible() { return window && XPLMGetWindowIsVisible(window); }

void StatusWindow::destroy() {
    if (!window) return;
    XPLMUnregisterFlightLoopCallback(refreshWhileVisible, nullptr);
    XPLMDestroyWindow(window);
    window = nullptr;
    delete lines;
    lines = nullptr;
    delete addresses;
    addresses = nullptr;
}
