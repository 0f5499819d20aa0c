// PositionSnapshot: the latest values of the ten position datarefs, for threads that may not call the
// simulator. The simulator's SDK may only be used on its main thread, so while the snapshot runs, a flight
// loop refreshes it on that thread every frame; any thread may take a copy of the latest values.
//
// Each refresh whose values differ, bit for bit, from the ones before advances the snapshot's generation, so
// that work derived from the values (the encoded report) can be done once per generation and reused while
// the generation stays the same.
//
// The dataref handles are looked up once, when the snapshot starts. The owner (the bridge) starts it and
// stops it on the main thread; destruction stops it too.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "XPLMDataAccess.h"
#include "platform/Mutex.h"
#include "plugin/PositionFields.h"

class PositionSnapshot {
public:
    using Values = std::array<double, PositionFieldCount>;
    // Values together with the generation they belong to.
    struct Reading {
        Values values;
        uint64_t generation;
    };

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
    Values latest() const EXCLUDES(mutex_);
    // Any thread: the latest values and their generation, taken together.
    Reading reading() const EXCLUDES(mutex_);
    // Any thread, without a lock: the latest generation. Values stored before it advanced are what
    // reading() returns once this is seen.
    uint64_t generation() const { return generation_.load(std::memory_order_acquire); }

private:
    static float refreshEachFrame(float sinceLastCall, float sinceLastFlightLoop, int counter, void* refcon);
    void refresh() EXCLUDES(mutex_);

    std::array<XPLMDataRef, PositionFieldCount> handles_{};
    mutable Mutex mutex_;
    Values values_ GUARDED_BY(mutex_) = {};
    std::atomic<uint64_t> generation_{0};  // written under mutex_, read without it
    bool running_ = false;
};
