// PluginMenu: the "Zephrane" submenu under the simulator's Plugins menu, with the commands that start and
// stop the bridge, the choice whether it starts by itself and the status window. The module builds the menu at XPluginStart and
// removes it at XPluginStop, so that nothing of it outlives the module. It keeps the submenu's identifier, the
// index of its item in the Plugins menu and the indexes of the items with check marks: the start item carries
// one while the bridge serves, the automatic-start item one while that choice is on.
#pragma once

#include <cstdint>

class PluginMenu {
public:
    // The item references the simulator hands back to the handler.
    static constexpr intptr_t StartItemReference = 1;
    static constexpr intptr_t StopItemReference = 2;
    static constexpr intptr_t AutoStartItemReference = 3;
    static constexpr intptr_t StatusItemReference = 4;

    // Adds the "Zephrane" item to the Plugins menu and attaches the submenu to it. Main thread only.
    static void build();
    // Destroys the submenu, then removes the "Zephrane" item from the Plugins menu; nothing when the menu
    // is not built. Main thread only.
    static void remove();
    // The menu handler: 1 starts the bridge, 2 stops it, 3 turns the automatic start over, 4 shows or hides
    // the status window, anything else is ignored.
    static void handle(void* menuRef, void* itemRef);
    // Main thread: the check mark beside "Start Zephrane bridge", set by every start and stop.
    static void showServing(bool serving);
    // Main thread: the check mark beside "Start bridge automatically", showing the pilot's choice.
    static void showAutoStart(bool on);
};
