// ModuleExit: the plug-in's last step at XPluginStop, after which the simulator may unload the module at once
// (at quit, at "Reload plugins"). Either nothing of ours runs any more, and every shared object the module
// made is given back so that nothing is left on the heap; or something still may (a thread stuck in a DNS-SD
// daemon that stopped answering, Windows' own DNS-SD calling into the module on its threads), and the module
// pins itself in memory, keeps its objects, and says so in the pilot's log in one line. Should the pin fail
// while a thread of ours runs, the objects are kept all the same, and the line says that X-Plane may crash.
// Main thread only.
#pragma once

#include <chrono>
#include <string>

class ModuleExit {
public:
    using Clock = std::chrono::steady_clock;

    // Waits until deadline at most for the threads of ours to end, then pins or releases as above.
    static void leave(Clock::time_point deadline);

    // What leave does once it knows whether every thread of ours ended, why the module is pinned (null: it is
    // not) and, when a thread still runs and it could not be pinned, the system's reason.
    struct Plan {
        bool releaseObjects = false;  // only when nothing of ours can run any more
        std::string logLine;          // the one line for the pilot's log, or empty
    };
    static Plan plan(bool threadsEnded, const char* pinnedBecause, const std::string& pinError);
};
