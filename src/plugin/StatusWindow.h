// StatusWindow: the "Zephrane bridge" window, which shows the pilot the bridge from inside the simulator: its version
// and state, the addresses to give an app, the DNS-SD announcement, the apps logged in and the logins refused. It is a
// floating window of the simulator's own style, sized to its text. A flight loop captures the lines (BridgeStatus) once
// a second while the window shows, and they are captured at once whenever the pilot's log gets a line (the bridge
// started or stopped, its name or findability changed, an app came or went); the draw callback only draws the captured
// lines, with no lock and no allocation. The menu item shows and hides it (its close box hides it too); XPluginStop
// destroys it. Main thread only; the module owns the one window.
#pragma once

class StatusWindow {
public:
    // Shows the window (made on first use), or hides it when it shows.
    static void toggle();
    // Whether the window exists and shows.
    static bool isVisible();
    // Captures the lines again now, when the window shows.
    static void refreshIfVisible();
    // Destroys the window and stops its flight loop; nothing when there is none.
    static void destroy();
};
