// ModuleExit: the plug-in's last step at XPluginStop, after which the simulator may unload the module at once
// (at quit, at "Reload plugins"). Either nothing of ours runs any more, and every shared object the module
// made is given back so that nothing is left on the heap; or something still may (a thread stuck in a DNS-SD
// daemon that stopped answering, an answer Windows may still deliver to a registration), and the module pins
// itself in memory, keeps its objects, and says so in the pilot's log in one line. Main thread only.
#pragma once

#include <chrono>

class ModuleExit {
public:
    using Clock = std::chrono::steady_clock;

    // Waits until deadline at most for the threads of ours to end, then pins or releases as above.
    static void leave(Clock::time_point deadline);
};
