// The simulator's flight loop functions the plug-in calls, with the C signatures of the X-Plane SDK.
// A flight loop callback runs on the simulator's main thread. Its result schedules the next call: a negative
// value means after that many frames, a positive one after that many seconds, 0 means not again.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

typedef float (*XPLMFlightLoop_f)(float inElapsedSinceLastCall, float inElapsedTimeSinceLastFlightLoop,
                                  int inCounter, void* inRefcon);

// inInterval schedules the first call the same way a callback's result does.
void XPLMRegisterFlightLoopCallback(XPLMFlightLoop_f inFlightLoop, float inInterval, void* inRefcon);
void XPLMUnregisterFlightLoopCallback(XPLMFlightLoop_f inFlightLoop, void* inRefcon);

#ifdef __cplusplus
}
#endif
