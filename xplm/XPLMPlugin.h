// The simulator's plug-in functions and messages the plug-in uses, with the C signatures and values of the
// X-Plane SDK. The host process (X-Plane, or simhost) defines the functions; the plug-in leaves them undefined
// and the loader resolves them.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// A plug-in's identifier within one run of the simulator.
typedef int XPLMPluginID;

// No plug-in.
#define XPLM_NO_PLUGIN_ID (-1)
// The simulator itself, the sender of the messages below.
#define XPLM_PLUGIN_XPLANE (0)

// Messages the simulator sends to every enabled plug-in's XPluginReceiveMessage. The parameter of the plane
// messages holds a plane's index (0 is the user's aircraft) as the pointer's value; the others ignore it.
#define XPLM_MSG_PLANE_LOADED 102
#define XPLM_MSG_AIRPORT_LOADED 103
#define XPLM_MSG_SCENERY_LOADED 104
#define XPLM_MSG_PLANE_UNLOADED 106

// 1 when the named feature is enabled for the calling plug-in, else 0. Naming a feature the simulator does not
// support is an error.
int XPLMIsFeatureEnabled(const char* inFeature);

// Enables (inEnable 1) or disables (0) the named feature for the calling plug-in.
void XPLMEnableFeature(const char* inFeature, int inEnable);

#ifdef __cplusplus
}
#endif
