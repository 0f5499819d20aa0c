// Shared ground of the stress tests: a bridge on an ephemeral port in this process, the test's thread as the
// simulator's main thread, and the checks every report must pass. Each frame the simulator writes one
// number, the frame's serial, into all ten datarefs, so a report shows which frame it came from: a
// well-formed report holds the same serial in all ten values, and one client's serials never go back.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "SimulatorFixture.h"
#include "base/AutoreleasePool.h"

class BaseDictionary;

namespace stress {

constexpr int32_t LoginOk = 0;
constexpr int32_t LoginRefused = 4;
// The serial of the frames written before the first one the test runs.
constexpr double NoFrame = -1.0;

// The frame serial a report carries, or nothing when it is not a well-formed report: exactly the ten keys,
// each a real number, all holding one serial.
bool readSerial(const BaseDictionary* report, double* serial);

// Whether the build carries sanitizers, whose allocators keep freed memory aside: resident memory is not
// compared there (LeakSanitizer judges leaks instead).
bool sanitizedBuild();

}  // namespace stress

class StressFixture : public SimulatorFixture {
protected:
    // Holds what the test's own thread autoreleases until the bridge is gone.
    AutoreleasePool pool;

    void SetUp() override;

    // Writes the next serial into the datarefs and runs one simulator frame.
    void runSerialFrame();
    // Runs frames on this thread, one about every millisecond, until done is set or the time is up.
    void runFramesUntil(const std::atomic<bool>& done, std::chrono::milliseconds limit);
    void runFramesFor(std::chrono::milliseconds duration);

private:
    double serial_ = 0.0;
};
