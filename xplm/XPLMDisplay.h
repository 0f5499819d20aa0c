// The simulator's window functions the plug-in calls, with the C signatures of the X-Plane SDK (the modern
// window API, XPLM300 and later). Windows are placed in global desktop "boxels": the origin is the lower left
// of the whole desktop, x grows to the right and y upwards. Every call belongs on the simulator's main thread.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

typedef void* XPLMWindowID;
typedef int XPLMKeyFlags;
typedef int XPLMMouseStatus;

// What the simulator does with the cursor over a window: xplm_CursorDefault lets it decide.
enum {
    xplm_CursorDefault = 0,
    xplm_CursorHidden = 1,
    xplm_CursorArrow = 2,
    xplm_CursorCustom = 3,
};
typedef int XPLMCursorStatus;

// The layer a window lives in; floating windows are those like the simulator's map.
enum {
    xplm_WindowLayerFlightOverlay = 0,
    xplm_WindowLayerFloatingWindows = 1,
    xplm_WindowLayerModal = 2,
    xplm_WindowLayerGrowlNotifications = 3,
};
typedef int XPLMWindowLayer;

// How the simulator frames a window: RoundRectangle gives it the simulator's own solid background (with the
// title of XPLMSetWindowTitle) and lets the pilot drag and resize it; None draws nothing and lets clicks pass
// through; the self-decorated ones draw nothing but stop clicks (and the last lets the pilot resize).
enum {
    xplm_WindowDecorationNone = 0,
    xplm_WindowDecorationRoundRectangle = 1,
    xplm_WindowDecorationSelfDecorated = 2,
    xplm_WindowDecorationSelfDecoratedResizable = 3,
};
typedef int XPLMWindowDecoration;

// Where the simulator keeps a window: Free leaves it where its geometry and the pilot put it.
enum {
    xplm_WindowPositionFree = 0,
    xplm_WindowCenterOnMonitor = 1,
    xplm_WindowFullScreenOnMonitor = 2,
    xplm_WindowFullScreenOnAllMonitors = 3,
    xplm_WindowPopOut = 4,
    xplm_WindowVR = 5,
};
typedef int XPLMWindowPositioningMode;

typedef void (*XPLMDrawWindow_f)(XPLMWindowID inWindowID, void* inRefcon);
typedef void (*XPLMHandleKey_f)(XPLMWindowID inWindowID, char inKey, XPLMKeyFlags inFlags, char inVirtualKey,
                                void* inRefcon, int losingFocus);
// Returns 1 when the window consumed the click.
typedef int (*XPLMHandleMouseClick_f)(XPLMWindowID inWindowID, int x, int y, XPLMMouseStatus inMouse,
                                      void* inRefcon);
typedef XPLMCursorStatus (*XPLMHandleCursor_f)(XPLMWindowID inWindowID, int x, int y, void* inRefcon);
typedef int (*XPLMHandleMouseWheel_f)(XPLMWindowID inWindowID, int x, int y, int wheel, int clicks,
                                      void* inRefcon);

// The window's parameters, in global desktop boxels; structSize is sizeof(XPLMCreateWindow_t). XPLMCreateWindowEx
// needs every callback, the right-click one included: none may be null.
typedef struct {
    int structSize;
    int left;
    int top;
    int right;
    int bottom;
    int visible;
    XPLMDrawWindow_f drawWindowFunc;
    XPLMHandleMouseClick_f handleMouseClickFunc;
    XPLMHandleKey_f handleKeyFunc;
    XPLMHandleCursor_f handleCursorFunc;
    XPLMHandleMouseWheel_f handleMouseWheelFunc;
    void* refcon;
    XPLMWindowDecoration decorateAsFloatingWindow;
    XPLMWindowLayer layer;
    XPLMHandleMouseClick_f handleRightClickFunc;
} XPLMCreateWindow_t;

XPLMWindowID XPLMCreateWindowEx(XPLMCreateWindow_t* inParams);
// The window's callbacks are not called after this.
void XPLMDestroyWindow(XPLMWindowID inWindowID);
// The bounds of the simulator's global desktop, in boxels; any argument may be null.
void XPLMGetScreenBoundsGlobal(int* outLeft, int* outTop, int* outRight, int* outBottom);
// Any of the four outputs may be null.
void XPLMGetWindowGeometry(XPLMWindowID inWindowID, int* outLeft, int* outTop, int* outRight, int* outBottom);
void XPLMSetWindowGeometry(XPLMWindowID inWindowID, int inLeft, int inTop, int inRight, int inBottom);
int XPLMGetWindowIsVisible(XPLMWindowID inWindowID);
void XPLMSetWindowIsVisible(XPLMWindowID inWindowID, int inIsVisible);
// A negative monitor index means the monitor with the simulator's menu bar.
void XPLMSetWindowPositioningMode(XPLMWindowID inWindowID, XPLMWindowPositioningMode inPositioningMode,
                                  int inMonitorIndex);
// Shown in the title bar of a window decorated as a floating window.
void XPLMSetWindowTitle(XPLMWindowID inWindowID, const char* inWindowTitle);

#ifdef __cplusplus
}
#endif
