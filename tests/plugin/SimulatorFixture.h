// A test fixture that stands in for simhost's frame loop: the test's thread is the simulator's main thread,
// the flight model is frozen so that datarefs keep the values a test sets, and every test must leave no
// bridge and no flight loop behind.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "Simulator.h"
#include "plugin/BridgeSwitch.h"

class SimulatorFixture : public ::testing::Test {
protected:
    static constexpr double FrameSeconds = 1.0 / 60.0;

    void SetUp() override {
        simulator().threadGuard.bindToCurrentThread();
        simulator().threadGuard.setStrict(false);
        simulator().model.reset();
        simulator().model.freeze();
        violationsBefore_ = simulator().threadGuard.violations();
        BridgeSwitch::setEnabled(true);  // as after XPluginEnable
    }

    void TearDown() override {
        if (BridgeSwitch::current()) BridgeSwitch::stop();
        EXPECT_EQ(simulator().flightLoops.count(), 0u) << "a flight loop outlived its bridge";
    }

    static void runFrame() { simulator().runFrame(FrameSeconds); }
    // The menu's start, which needs the bridge's own port: false, with the reason, when another program
    // holds it (the bridge then does not run), so that a test stops there instead of using no bridge.
    static ::testing::AssertionResult startBridge() {
        BridgeSwitch::start();
        if (BridgeSwitch::current()) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the bridge could not listen: is port 21777 held by another program?";
    }
    uint64_t newViolations() const { return simulator().threadGuard.violations() - violationsBefore_; }

private:
    uint64_t violationsBefore_ = 0;
};
