// The five functions through which the simulator's plug-in manager drives the module. They are the only
// symbols the module exports; the simulator calls each of them on its main thread.
#pragma once

extern "C" {

// Writes the plug-in's name, signature and description into the simulator's buffers, builds the menu and
// reads the pilot's automatic-start choice.
__attribute__((visibility("default"))) int XPluginStart(char* outName, char* outSignature, char* outDescription);
// Stops the bridge if it runs and leaves nothing behind, within a second (see ModuleExit).
__attribute__((visibility("default"))) void XPluginStop(void);
// Answers 1; starts the bridge when the pilot chose "Start bridge automatically".
__attribute__((visibility("default"))) int XPluginEnable(void);
// Stops the bridge if it runs; a disabled plug-in starts no bridge until it is enabled again.
__attribute__((visibility("default"))) void XPluginDisable(void);
// Ignores every message from other plug-ins.
__attribute__((visibility("default"))) void XPluginReceiveMessage(int inFromWho, int inMessage, void* inParam);
}
