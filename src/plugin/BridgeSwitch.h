// BridgeSwitch: the module's one bridge. It holds the module's only global of its own, the current bridge,
// and owns the one reference to it while the bridge runs. Start and stop run on the simulator's main
// thread, each inside an autorelease pool of its own.
#pragma once

class GPSBridge;

class BridgeSwitch {
public:
    // Creates the bridge unless one runs already; a second start is silent.
    static void start();
    // Tears the bridge down and releases it; with no bridge, writes the already-stopped warning to stderr.
    static void stop();
    // The running bridge, or null.
    static GPSBridge* current();
};
