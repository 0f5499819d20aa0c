// Simulator: the state behind simhost's XPLM functions, one per process: the main-thread guard and the other
// usage rules, which plug-ins are enabled, the menus, the windows, the datarefs, the flight model that writes
// them, the flight loops, the plug-ins' features, the preferences folder, a log of the menu calls and Log.txt.
// The frame loop (simhost itself, or a test standing in for it) calls runFrame on the main thread; plug-ins
// reach the rest through XPLM calls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CallLog.h"
#include "DatarefTable.h"
#include "DebugLog.h"
#include "FlightLoopScheduler.h"
#include "FlightModel.h"
#include "MainThreadGuard.h"
#include "MenuRegistry.h"
#include "PluginContext.h"
#include "PluginFeatures.h"
#include "PluginStates.h"
#include "PreferencesFolder.h"
#include "UsageRules.h"
#include "WindowRegistry.h"

class Simulator {
public:
    MainThreadGuard threadGuard;
    UsageRules rules;
    PluginStates plugins;
    MenuRegistry menus{plugins};
    WindowRegistry windows{plugins};
    DatarefTable datarefs;
    FlightModel model{datarefs};
    FlightLoopScheduler flightLoops{plugins};
    PluginFeatures features;
    PreferencesFolder preferences;
    CallLog calls;
    DebugLog log;

    // One frame as X-Plane runs it: the flight loops that are due (registered before the flight model, as
    // XPLMRegisterFlightLoopCallback's are), then the aircraft moves by seconds, then the visible windows are
    // drawn (what they draw is not kept).
    void runFrame(double seconds);
    // The menus, items, windows and flight loops the plug-in registered and still holds, one line each.
    std::vector<std::string> leftBehind(PluginTag plugin) const;
    // Drops what the plug-in registered and its state, before its module is unloaded.
    void forgetPlugin(PluginTag plugin);
    double time() const { return time_; }
    uint64_t frames() const { return frames_; }

private:
    double time_ = 0.0;
    uint64_t frames_ = 0;
};

// The process-wide simulator the XPLM functions use.
Simulator& simulator();
