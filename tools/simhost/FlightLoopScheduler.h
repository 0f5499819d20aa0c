// FlightLoopScheduler: the flight loop callbacks plug-ins register, called by the frame loop when due.
// A callback's interval (at registration, and its result after each call) schedules the next call: a
// negative value means after that many frames, a positive one after that many seconds, 0 means not
// again until registered anew. Callbacks may register and unregister callbacks, themselves included,
// while they run; no lock is held during a call. Each callback carries the plug-in that registered it and
// runs in that plug-in's context.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "PluginContext.h"
#include "XPLMProcessing.h"

class FlightLoopScheduler {
public:
    // A callback already registered with this refcon is scheduled anew.
    void registerCallback(XPLMFlightLoop_f callback, float interval, void* refcon, PluginTag owner);
    void unregisterCallback(XPLMFlightLoop_f callback, void* refcon);
    // Unregisters every callback owner registered.
    void forget(PluginTag owner);
    // Calls every callback due at simulated time now (seconds); counts one frame.
    void runFrame(double now);
    size_t count() const;

private:
    struct Registration {
        XPLMFlightLoop_f callback;
        void* refcon;
        PluginTag owner;
        double lastCall;
        bool scheduled = false;
        int64_t dueFrame = 0;
        double dueTime = 0.0;
        bool removed = false;
    };

    void schedule(Registration& registration, float interval);
    bool isDue(const Registration& registration, double now) const;
    bool takeDue(size_t index, double now, Registration& due);
    void finishCall(const Registration& called, float next, double now);

    mutable std::mutex mutex_;
    std::vector<Registration> registrations_;
    int64_t frame_ = 0;
    double now_ = 0.0;
    double lastFrameTime_ = 0.0;
};
