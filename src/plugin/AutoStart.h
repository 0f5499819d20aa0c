// AutoStart: the pilot's choice whether the bridge starts by itself when the plug-in is enabled (at X-Plane's
// start and after a re-enable), shown by the check mark of "Start bridge automatically" and kept in
// the plug-in's preferences file (PluginPreferences.h). Off unless the file says on. It holds the choice for
// the module's life; main thread only, like every call into the simulator.
#pragma once

class AutoStart {
public:
    // XPluginStart, after the menu is built and native paths are enabled: finds the file and reads the choice.
    static void load();
    // Turns the choice over and saves it at once; a choice that cannot be saved stays as it was.
    static void toggle();
    // XPluginEnable: when the choice is on, starts the bridge just as "Start Zephrane bridge" does.
    static void startIfChosen();
};
