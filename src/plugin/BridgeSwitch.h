// BridgeSwitch: the module's one bridge. It holds the current bridge, and owns the one reference to it
// while the bridge runs, and knows whether the simulator has the plug-in enabled: a disabled plug-in's
// dataref reads return 0 and it gets no messages, so the bridge runs only while the plug-in is enabled.
// Start and stop run on the simulator's main thread, each inside an autorelease pool of its own.
#pragma once

class GPSBridge;

class BridgeSwitch {
public:
    // Creates the bridge unless one runs already; a second start is silent. While the plug-in is disabled it
    // only says so in the pilot's log.
    static void start();
    // The menu's Stop: tears the bridge down and releases it; with no bridge, writes the already-stopped
    // warning to stderr.
    static void stop();
    // XPluginDisable and XPluginStop: as stop, but silent when no bridge runs.
    static void stopIfRunning();
    // Main thread: XPluginEnable and XPluginDisable say whether the simulator has the plug-in enabled.
    static void setEnabled(bool enabled);
    // The running bridge, or null.
    static GPSBridge* current();
    static bool isEnabled();
    // Why the last start could not listen, in the system's words; empty once a start worked or after a stop.
    static const char* startFailure();
};
