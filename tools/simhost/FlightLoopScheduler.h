// FlightLoopScheduler: the flight loop callbacks plug-ins register, called by the frame loop when due.
// A callback's interval (at registration, and its result after each call) schedules the next call: a
// negative value means after that many frames, a positive one after that many seconds of wall-clock time,
// 0 means not again until registered anew. A callback gets the wall-clock seconds since its own last call
// (or its registration) and since the previous frame's flight loops (or the scheduler's creation). Callbacks
// may register and unregister callbacks while they run; no lock is held during a call. Each callback
// carries the plug-in that registered it and runs in that plug-in's context; a disabled plug-in's due
// callbacks wait, and are called at the first frame after it is enabled again.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "PluginContext.h"
#include "PluginStates.h"
#include "XPLMProcessing.h"

class FlightLoopScheduler {
public:
    using Clock = std::chrono::steady_clock;

    explicit FlightLoopScheduler(const PluginStates& plugins);

    // A callback already registered with this refcon is scheduled anew.
    void registerCallback(XPLMFlightLoop_f callback, float interval, void* refcon, PluginTag owner);
    void unregisterCallback(XPLMFlightLoop_f callback, void* refcon);
    // True while this very callback (function and refcon) is being called.
    bool isRunning(XPLMFlightLoop_f callback, void* refcon) const;
    // One line for each callback owner registered and did not unregister: flight loop <address> with
    // refcon <address>.
    std::vector<std::string> leftBehind(PluginTag owner) const;
    // Unregisters every callback owner registered.
    void forget(PluginTag owner);
    // Counts one frame and calls every callback due now.
    void runFrame();
    size_t count() const;

private:
    struct Registration {
        XPLMFlightLoop_f callback;
        void* refcon;
        PluginTag owner;
        Clock::time_point lastCall;
        bool scheduled = false;
        int64_t dueFrame = 0;
        Clock::time_point dueTime{};
        bool removed = false;
    };

    void schedule(Registration& registration, float interval, Clock::time_point from);
    bool isDue(const Registration& registration, Clock::time_point now) const;
    bool takeDue(size_t index, Clock::time_point now, Registration& due);
    void finishCall(const Registration& called, float next, Clock::time_point now);

    const PluginStates& plugins_;
    mutable std::mutex mutex_;
    std::vector<Registration> registrations_;
    int64_t frame_ = 0;
    Clock::time_point lastFrameTime_ = Clock::now();
    // The callback being called, if any: a null callback when none is.
    XPLMFlightLoop_f runningCallback_ = nullptr;
    void* runningRefcon_ = nullptr;
};
