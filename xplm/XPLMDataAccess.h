// The simulator's data access functions the plug-in calls, with the C signatures of the X-Plane SDK.
// A dataref is an opaque handle to one named simulator variable; null means the name is unknown.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

typedef void* XPLMDataRef;

XPLMDataRef XPLMFindDataRef(const char* inDataRefName);
double XPLMGetDatad(XPLMDataRef inDataRef);
float XPLMGetDataf(XPLMDataRef inDataRef);

#ifdef __cplusplus
}
#endif
