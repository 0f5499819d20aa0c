// The simulator's utility functions the plug-in calls, with the C signatures of the X-Plane SDK. The host
// process (X-Plane, or simhost) defines them; the plug-in leaves them undefined and the loader resolves them.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// Appends inString to the simulator's Log.txt, as it stands (the caller ends its lines with a newline).
void XPLMDebugString(const char* inString);

// Writes the full path of a file inside the simulator's preferences folder into outPrefsPath, which holds at
// least 512 bytes; the caller cuts the file name off to have the folder.
void XPLMGetPrefsPath(char* outPrefsPath);

#ifdef __cplusplus
}
#endif
