// PositionSnapshot: the latest values of the ten position datarefs, for threads that may not call the
// simulator. The simulator's SDK may only be used on its main thread, so while the snapshot runs, a flight
// loop refreshes it on that thread every frame; any thread may take a copy of the latest values.
//
// The dataref handles are looked up once, when the snapshot starts. The owner (the bridge) starts it and
// stops it on the main thread; destruction stops it too.
#pragma once

#include <array>
#include <mutex>

#include "XPLMDataAccess.h"
#include "plugin/PositionFields.h"

class PositionSnapshot {
public:
    using Values = std::array<double, PositionFieldCount>;

    PositionSnapshot() = default;
    ~PositionSnapshot();
    PositionSnapshot(const PositionSnapshot&) = delete;
    PositionSnapshot& operator=(const PositionSnapshot&) = delete;

    // Main thread: looks the datarefs up, takes the first snapshot, registers the flight loop.
    void start();
    // Main thread: unregisters the flight loop; the last values stay readable.
    void stop();
    // Any thread: the values of the latest snapshot, in the order of PositionFields. Float datarefs are
    // widened from the float the simulator returns.
    Values latest() const;

private:
    static float refreshEachFrame(float sinceLastCall, float sinceLastFlightLoop, int counter, void* refcon);
    void refresh();

    std::array<XPLMDataRef, PositionFieldCount> handles_{};
    mutable std::mutex mutex_;
    Values values_{};
    bool running_ = false;
};
