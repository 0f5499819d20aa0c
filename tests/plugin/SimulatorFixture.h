// A test fixture that stands in for simhost's frame loop: the test's thread is the simulator's main thread,
// the flight model is frozen so that datarefs keep the values a test sets, and every test must leave no
// bridge and no flight loop behind. The fixture owns the bridge that startBridge makes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "Simulator.h"
#include "base/AutoreleasePool.h"
#include "plugin/BridgeSwitch.h"
#include "plugin/GPSBridge.h"

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
        stopBridge();
        if (BridgeSwitch::current()) BridgeSwitch::stop();
        EXPECT_EQ(simulator().flightLoops.count(), 0u) << "a flight loop outlived its bridge";
    }

    static void runFrame() { simulator().runFrame(FrameSeconds); }
    // A bridge with its flight loop, as the menu's start makes, but on an ephemeral port: tests that need a
    // running bridge and not its port also run beside a simulator that holds port 21777.
    ::testing::AssertionResult startBridge() {
        AutoreleasePool pool;  // for what starting a bridge autoreleases, as the menu's start has one
        return adoptBridge(new GPSBridge(0));
    }
    // As startBridge, with a bridge the test made (a subclass on port 0); the fixture takes its reference.
    ::testing::AssertionResult adoptBridge(GPSBridge* made) {
        stopBridge();
        bridge = made;
        port = bridge->listeningPort();
        if (port != 0) return ::testing::AssertionSuccess();
        std::string reason = bridge->listenError();
        stopBridge();
        return ::testing::AssertionFailure() << "the bridge could not listen on an ephemeral port: " << reason;
    }
    void stopBridge() {
        if (!bridge) return;
        AutoreleasePool pool;
        bridge->teardown();
        release(bridge);
        bridge = nullptr;
        port = 0;
    }
    uint64_t newViolations() const { return simulator().threadGuard.violations() - violationsBefore_; }

    GPSBridge* bridge = nullptr;
    uint16_t port = 0;

private:
    uint64_t violationsBefore_ = 0;
};
