// The simulator's plug-in feature functions the plug-in calls, with the C signatures of the X-Plane SDK. The
// host process (X-Plane, or simhost) defines them; the plug-in leaves them undefined and the loader resolves
// them.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// 1 when the named feature is enabled for the calling plug-in, else 0.
int XPLMIsFeatureEnabled(const char* inFeature);

// Enables (inEnable 1) or disables (0) the named feature for the calling plug-in.
void XPLMEnableFeature(const char* inFeature, int inEnable);

#ifdef __cplusplus
}
#endif
