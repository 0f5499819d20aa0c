// The position report: ten real numbers taken from the snapshot that the bridge's flight loop refreshes
// on the simulator's main thread, built on any thread.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "SimulatorFixture.h"
#include "XPLMDataAccess.h"
#include "base/AutoreleasePool.h"
#include "base/BaseDictionaryEnumerator.h"
#include "base/BaseNumber.h"
#include "base/BaseString.h"
#include "plugin/GPSBridge.h"
#include "plugin/PositionFields.h"

namespace {

struct SetValue {
    const char* dataref;
    double value;
    const char* key;
    double expected;  // as the report must hold it: floats widened from the float
};

const SetValue DistinctValues[] = {
    {"sim/flightmodel/position/latitude", 51.50123456789012, "latitude", 51.50123456789012},
    {"sim/flightmodel/position/longitude", -0.12345678901234, "longitude", -0.12345678901234},
    {"sim/flightmodel/position/elevation", 1234.5678912345, "altitude", 1234.5678912345},
    {"sim/flightmodel/position/groundspeed", 51.2, "speed", static_cast<double>(51.2f)},
    {"sim/flightmodel/position/hpath", 271.3, "course", static_cast<double>(271.3f)},
    {"sim/flightmodel/position/theta", -3.3, "pitch", static_cast<double>(-3.3f)},
    {"sim/flightmodel/position/phi", 12.7, "roll", static_cast<double>(12.7f)},
    {"sim/flightmodel/position/psi", 268.1, "yaw", static_cast<double>(268.1f)},
    {"sim/flightmodel/misc/slip", 0.4, "slip", static_cast<double>(0.4f)},
    {"sim/flightmodel/position/local_az", -0.98, "accelerationZ", static_cast<double>(-0.98f)},
};

void setEveryDataref(double value) {
    for (const PositionField& field : PositionFields) simulator().datarefs.set(field.dataref, value);
}

const BaseNumber* numberFor(const BaseDictionary* report, const char* key) {
    BaseObject* value = BaseDictionary::objectForCStringKey(report, key);
    return hasClassName(value, "BaseNumber") ? static_cast<const BaseNumber*>(value) : nullptr;
}

double speedIn(const BaseDictionary* report) { return numberFor(report, "speed")->doubleValue(); }

std::string keyOrder(const BaseDictionary* dictionary) {
    std::string order;
    for (BaseDictionaryEnumerator e(dictionary); !e.atEnd(); e.advance()) {
        order += static_cast<BaseString*>(e.key())->chars();
        order += ' ';
    }
    return order;
}

// A report-sized dictionary filled in the given order, for comparing iteration orders.
BaseDictionary* filledInOrder(const std::vector<const char*>& keys) {
    auto* dictionary = createAutoreleased<BaseDictionary>();
    for (const char* key : keys) dictionary->setDoubleForKey(0.0, createAutoreleased<BaseString>(key), true);
    return dictionary;
}

// X-Plane's datarefs by name, each with its type as the list names it ("double", "float"), read from the list
// the build names; empty when it cannot be read.
std::map<std::string, std::string> xplaneDatarefs() {
    std::map<std::string, std::string> types;
    std::ifstream list(ZEPHRANE_XPLANE_DATAREFS);
    for (std::string line; std::getline(list, line);) {
        if (line.empty() || line.front() == '#') continue;
        std::istringstream columns(line);
        std::string name, type;
        if (std::getline(columns, name, '\t') && std::getline(columns, type, '\t') && name != "name") types[name] = type;
    }
    return types;
}

}  // namespace

using PositionReport = SimulatorFixture;

TEST_F(PositionReport, HoldsExactlyTheTenKeysAsRealNumbersOfTheirDatarefs) {
    AutoreleasePool pool;
    for (const SetValue& set : DistinctValues) ASSERT_TRUE(simulator().datarefs.set(set.dataref, set.value));
    ASSERT_TRUE(startBridge());
    BaseDictionary* report = bridge->buildPositionReport();

    EXPECT_EQ(report->count(), 10u);
    for (const SetValue& set : DistinctValues) {
        const BaseNumber* number = numberFor(report, set.key);
        ASSERT_NE(number, nullptr) << set.key;
        EXPECT_EQ(number->kind(), NumberReal) << set.key;
        EXPECT_EQ(number->doubleValue(), set.expected) << set.key;
    }
    // The float dataref's value, not the double nearest to the text that was set.
    EXPECT_NE(numberFor(report, "speed")->doubleValue(), 51.2);
}

TEST_F(PositionReport, EntriesAreInsertedInTheTableOrder) {
    AutoreleasePool pool;
    ASSERT_TRUE(startBridge());
    BaseDictionary* report = bridge->buildPositionReport();
    std::vector<const char*> tableOrder;
    for (const PositionField& field : PositionFields) tableOrder.push_back(field.key.chars);
    EXPECT_EQ(keyOrder(report), keyOrder(filledInOrder(tableOrder)));
}

using PositionSnapshotTest = SimulatorFixture;

TEST_F(PositionSnapshotTest, FirstSnapshotIsTakenWhenTheBridgeStarts) {
    AutoreleasePool pool;
    simulator().datarefs.set("sim/flightmodel/position/groundspeed", 10.0);
    ASSERT_TRUE(startBridge());
    EXPECT_EQ(speedIn(bridge->buildPositionReport()), 10.0);
}

TEST_F(PositionSnapshotTest, EachFrameRefreshesTheValuesAndReportsBetweenFramesAgree) {
    AutoreleasePool pool;
    simulator().datarefs.set("sim/flightmodel/position/groundspeed", 10.0);
    ASSERT_TRUE(startBridge());
    simulator().datarefs.set("sim/flightmodel/position/groundspeed", 20.0);
    EXPECT_EQ(speedIn(bridge->buildPositionReport()), 10.0);
    runFrame();
    EXPECT_EQ(speedIn(bridge->buildPositionReport()), 20.0);
    simulator().datarefs.set("sim/flightmodel/position/groundspeed", 30.0);
    runFrame();
    EXPECT_EQ(speedIn(bridge->buildPositionReport()), 30.0);
}

// Once per start: each dataref's name, after its earlier name, which simhost (like X-Plane) does not have.
TEST_F(PositionSnapshotTest, HandlesAreLookedUpOncePerStart) {
    uint64_t names = 0;
    for (const PositionField& field : PositionFields) names += field.earlierDataref ? 2 : 1;
    uint64_t before = simulator().datarefs.lookups();
    ASSERT_TRUE(startBridge());
    for (int i = 0; i < 100; ++i) runFrame();
    EXPECT_EQ(simulator().datarefs.lookups() - before, names);
}

TEST_F(PositionSnapshotTest, FlightLoopRunsExactlyWhileTheBridgeRuns) {
    EXPECT_EQ(simulator().flightLoops.count(), 0u);
    ASSERT_TRUE(startBridge());
    EXPECT_EQ(simulator().flightLoops.count(), 1u);
    stopBridge();
    EXPECT_EQ(simulator().flightLoops.count(), 0u);
    // A flight loop left registered would now run on a destroyed bridge.
    runFrame();
}

// Reports are built on several threads while the main thread runs frames, each frame setting all ten
// datarefs to the frame's number: every report must hold one frame's values, and no thread but the main
// one may reach the simulator.
TEST_F(PositionSnapshotTest, ReportsBuiltOnOtherThreadsNeverCallTheSimulatorNorMixFrames) {
    constexpr int Builders = 4;
    constexpr int ReportsEach = 400;
    setEveryDataref(0);
    ASSERT_TRUE(startBridge());
    std::atomic<int> finished{0};
    std::atomic<int> mixed{0};
    std::vector<std::thread> builders;
    for (int b = 0; b < Builders; ++b) {
        builders.emplace_back([&] {
            for (int i = 0; i < ReportsEach; ++i) {
                AutoreleasePool pool;
                BaseDictionary* report = bridge->buildPositionReport();
                double first = numberFor(report, "latitude")->doubleValue();
                for (const PositionField& field : PositionFields) {
                    if (numberFor(report, field.key.chars)->doubleValue() != first) mixed.fetch_add(1);
                }
            }
            finished.fetch_add(1);
        });
    }
    for (int frame = 1; finished.load() < Builders; ++frame) {
        setEveryDataref(frame);
        runFrame();
    }
    for (std::thread& builder : builders) builder.join();
    EXPECT_EQ(mixed.load(), 0);
    EXPECT_EQ(newViolations(), 0u);
}

// The check the test above relies on: a call from another thread is seen and counted.
TEST_F(PositionSnapshotTest, ThreadGuardCountsACallFromAnotherThread) {
    std::thread caller([] { XPLMFindDataRef("sim/flightmodel/position/latitude"); });
    caller.join();
    EXPECT_EQ(newViolations(), 1u);
}

// In X-Plane a name it does not have finds no handle and a getter of the other type reads 0, both silently:
// the report would carry 0 for ever. simhost answers the same way, so only X-Plane's own names and types pass.
using XPlaneDatarefs = SimulatorFixture;

TEST_F(XPlaneDatarefs, TheBridgeReadsEachValueUnderXPlanesNameWithTheGetterOfItsType) {
    std::map<std::string, std::string> xplane = xplaneDatarefs();
    if (xplane.empty()) GTEST_SKIP() << "X-Plane's dataref list " << ZEPHRANE_XPLANE_DATAREFS << " cannot be read";
    for (const PositionField& field : PositionFields) {
        auto listed = xplane.find(field.dataref);
        ASSERT_NE(listed, xplane.end()) << field.dataref << " is not an X-Plane dataref";
        EXPECT_EQ(listed->second, field.reading == DatarefReading::Double ? "double" : "float") << field.dataref;
        EXPECT_NE(XPLMFindDataRef(field.dataref), nullptr) << field.dataref;
    }
    EXPECT_EQ(XPLMFindDataRef("sim/flightmodel/position/local az"), nullptr);
}

TEST_F(XPlaneDatarefs, SimhostOffersOnlyXPlanesDatarefsEachReadOnlyByTheGetterOfItsType) {
    std::map<std::string, std::string> xplane = xplaneDatarefs();
    if (xplane.empty()) GTEST_SKIP() << "X-Plane's dataref list " << ZEPHRANE_XPLANE_DATAREFS << " cannot be read";
    for (const std::string& name : simulator().datarefs.names()) {
        EXPECT_EQ(xplane.count(name), 1u) << name << " is not an X-Plane dataref";
    }
    constexpr double Value = 2.5;  // exact as a float
    for (const auto& [name, type] : xplane) {
        ASSERT_TRUE(type == "double" || type == "float") << name << " has type " << type;
        XPLMDataRef handle = XPLMFindDataRef(name.c_str());
        ASSERT_NE(handle, nullptr) << name;
        ASSERT_TRUE(simulator().datarefs.set(name, Value)) << name;
        bool isDouble = type == "double";
        EXPECT_EQ(XPLMGetDatad(handle), isDouble ? Value : 0.0) << name;
        EXPECT_EQ(XPLMGetDataf(handle), isDouble ? 0.0f : static_cast<float>(Value)) << name;
    }
    EXPECT_EQ(XPLMGetDatad(nullptr), 0.0);
    EXPECT_EQ(XPLMGetDataf(nullptr), 0.0f);
}
