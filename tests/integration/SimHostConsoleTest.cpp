// simhost itself: its console answers bad input with one error line and carries on, its flight model moves
// every value the bridge reports, its strict mode stops a plug-in that calls it from another thread or breaks
// another rule of the SDK, it reloads plug-ins, tells them what X-Plane tells them and lists what they leave
// behind, and it prints what windows draw.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "SimHostRun.h"
#include "SocketTestSupport.h"

namespace {

void launch(SimHostProcess& host) {
    ASSERT_TRUE(host.running()) << host.startError();
    ASSERT_TRUE(host.expect("simhost: ready")) << host.output() << host.errors();
}

// simhost's datarefs: the ten the bridge reports, and local_ax and local_ay.
constexpr int DatarefCount = 12;

// The values listed by the datarefs command, by name.
std::map<std::string, std::string> listDatarefs(SimHostProcess& host) {
    host.send("datarefs");
    std::map<std::string, std::string> values;
    for (int i = 0; i < DatarefCount; ++i) {
        std::string line = host.expectLine("simhost: dataref ");
        size_t equals = line.rfind(" = ");
        if (equals == std::string::npos) break;
        values[line.substr(17, equals - 17)] = line.substr(equals + 3);
    }
    return values;
}

// Waits for the periodic status line of a later second.
void waitForSecond(SimHostProcess& host, int second) {
    ASSERT_TRUE(host.expect("simhost: t=" + std::to_string(second) + ".0s")) << host.output();
}

size_t lineCount(const std::string& text) { return occurrences(text, "\n"); }

}  // namespace

TEST(SimHostConsole, BadCommandsGetOneErrorLineEachAndChangeNothing) {
    SimHostProcess host(SimHostProgram, strictRun());
    launch(host);
    const char* bad[] = {
        "fly away",
        "takeoff",
        "click Land now",
        "handler Zephrane one",
        "handler Nowhere 1",
        "set sim/flightmodel/position/groundspeed",
        "set sim/no/such/dataref 1",
        "set sim/flightmodel/position/local az 1",
        "set sim/flightmodel/position/groundspeed fast",
        "set sim/flightmodel/position/groundspeed 1e39",
        "set sim/flightmodel/position/latitude nan",
        "set sim/flightmodel/position/latitude 12abc",
        "enable",
    };
    for (const char* command : bad) host.send(command);
    host.send("status");
    std::string status = host.expectLine("simhost: t=");
    ASSERT_FALSE(status.empty()) << host.output() << host.errors();
    EXPECT_NE(status.find("bridge=stopped"), std::string::npos);
    EXPECT_NE(status.find("speed=60.0m/s"), std::string::npos) << status;
    host.collect();
    EXPECT_EQ(lineCount(host.errors()), std::size(bad)) << host.errors();
    EXPECT_EQ(occurrences(host.errors(), "simhost: error: "), std::size(bad)) << host.errors();
    EXPECT_EQ(host.quit(), 0);
}

// X-Plane has no dataref whose name holds a space: such a name is refused whole, not read as a bad value.
TEST(SimHostConsole, SetTakesTheLastWordAsTheValueAndOnlyXPlanesNames) {
    SimHostProcess host(SimHostProgram, strictRun());
    launch(host);
    host.send("set sim/flightmodel/position/local az -1.5");
    host.send("set sim/flightmodel/position/local_az -1.5");
    ASSERT_TRUE(host.expect("simhost: set sim/flightmodel/position/local_az = -1.5 (flight model frozen)"));
    host.send("set sim/flightmodel/position/groundspeed 51.2");
    ASSERT_TRUE(host.expect("simhost: set sim/flightmodel/position/groundspeed = 51.2"));
    std::map<std::string, std::string> values = listDatarefs(host);
    EXPECT_EQ(values.count("sim/flightmodel/position/local az"), 0u);
    EXPECT_EQ(values["sim/flightmodel/position/local_az"], "-1.5");
    // A float dataref holds the float nearest to the value.
    EXPECT_EQ(values["sim/flightmodel/position/groundspeed"], "51.200000762939453");
    EXPECT_EQ(host.quit(), 0);
    EXPECT_EQ(occurrences(host.errors(), "simhost: error: "), 1u) << host.errors();
    EXPECT_EQ(occurrences(host.errors(), "simhost: error: no dataref \"sim/flightmodel/position/local az\"\n"), 1u);
}

TEST(SimHostFlightModel, EveryValueMovesWhileFlyingAndNoneWhileFrozen) {
    SimHostProcess host(SimHostProgram, strictRun({"--fps", "100"}));
    launch(host);
    std::map<std::string, std::string> before = listDatarefs(host);
    waitForSecond(host, 2);
    std::map<std::string, std::string> after = listDatarefs(host);
    ASSERT_EQ(before.size(), static_cast<size_t>(DatarefCount));
    for (const auto& [name, value] : before) EXPECT_NE(after[name], value) << name;

    host.send("freeze");
    ASSERT_TRUE(host.expect("simhost: flight model frozen"));
    std::map<std::string, std::string> frozen = listDatarefs(host);
    waitForSecond(host, 3);
    EXPECT_EQ(listDatarefs(host), frozen);
    EXPECT_EQ(host.quit(), 0);
}

TEST(SimHostRunLength, DurationEndsTheRunCleanly) {
    SimHostProcess host(SimHostProgram, strictRun({"--start", "--duration", "0.3"}));
    ASSERT_TRUE(host.running()) << host.startError();
    ASSERT_EQ(host.waitForExit(), 0) << host.output() << host.errors();
    EXPECT_NE(host.output().find("simhost: duration reached"), std::string::npos);
    EXPECT_NE(host.output().find("simhost: Zephrane: unloaded"), std::string::npos);
}

TEST(SimHostOptions, BadOptionsAndUnloadableModulesAreRefusedWithOneLine) {
    SimHostProcess badRate(SimHostProgram, {"--fps", "0"});
    EXPECT_EQ(badRate.waitForExit(), 2);
    EXPECT_NE(badRate.errors().find("simhost: error: --fps needs a whole number"), std::string::npos);

    SimHostProcess noCycles(SimHostProgram, {"--reload-cycles", "0"});
    EXPECT_EQ(noCycles.waitForExit(), 2);
    EXPECT_NE(noCycles.errors().find("simhost: error: --reload-cycles needs a whole number"), std::string::npos);

    SimHostProcess missing(SimHostProgram, {"--plugin", "/nonexistent/Zephrane.xpl"});
    EXPECT_EQ(missing.waitForExit(), 1);
    EXPECT_NE(missing.errors().find("simhost: error: cannot load /nonexistent/Zephrane.xpl"), std::string::npos);
    EXPECT_EQ(lineCount(missing.errors()), 1u) << missing.errors();
}

TEST(SimHostThreadRule, StrictModeAbortsAtACallFromAnotherThread) {
    SimHostProcess host(SimHostProgram, {"--plugin", OffThreadModule, "--strict", "--duration", RunLimitSeconds});
    launch(host);
    host.send("click Call from another thread");
    std::optional<int> status = host.waitForExit();
    ASSERT_TRUE(status.has_value()) << host.output();
    EXPECT_NE(*status, 0);
    EXPECT_NE(host.errors().find("simhost: XPLMFindDataRef called off the simulator's main thread"), std::string::npos)
        << host.errors();
}

TEST(SimHostThreadRule, WithoutStrictACallFromAnotherThreadIsReportedAndTheRunGoesOn) {
    SimHostProcess host(SimHostProgram, {"--plugin", OffThreadModule, "--duration", RunLimitSeconds});
    launch(host);
    host.send("click Call from another thread");
    ASSERT_TRUE(host.expect("simhost: clicked \"Call from another thread\""));
    EXPECT_EQ(host.quit(), 0);
    EXPECT_EQ(host.errors(), "simhost: XPLMFindDataRef called off the simulator's main thread\n");
}

namespace {

std::vector<std::string> probeRun(bool strict, std::vector<std::string> extra = {}) {
    std::vector<std::string> arguments{"--plugin", ProbeModule, "--duration", RunLimitSeconds};
    if (strict) arguments.push_back("--strict");
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
}

// The probe's menu items that break a rule, each with the SDK's words simhost quotes.
struct Breach {
    const char* item;
    const char* words;
};
const Breach Breaches[] = {
    {"Read a junk dataref", "passing a junk value for a dataref can result in crashing the sim."},
    {"Enable an unknown feature", "It is an error to call this routine with an unsupported feature."},
    {"Make an untitled menu", "you must pass a valid, non-empty menu title even if the menu is a submenu"},
    {"Unregister from inside", "Do NOT call it from your flight loop callback."},
    {"Make a window without a callback", "you must provide functions for every callback---you may not leave them"},
    {"Draw outside a window", "the OpenGL context will be set properly for 2-D window drawing."},
    {"Use a destroyed window", "You use it to control your window."},
};

// What the probe leaves behind once told to: its Plugins item, its menu, the menu's ten items, a flight loop
// and a window.
constexpr size_t ProbeLeftovers = 14;

}  // namespace

// Each reload closes the module and opens it afresh: the probe's start count begins again at 1 each time,
// the bridge's menu works from the new copy, and nothing is left behind or stays mapped.
TEST(SimHostReload, CyclesUnloadEachModuleCompletelyAndLoadItAfresh) {
    SKIP_WHILE_BRIDGE_PORT_IS_HELD();
    std::vector<std::string> arguments = strictRun({"--plugin", ProbeModule, "--start", "--reload-cycles", "3"});
    SimHostProcess host(SimHostProgram, arguments);
    launch(host);
    ASSERT_TRUE(host.expect("simhost: reload cycle 3 of 3 done")) << host.output() << host.errors();
    host.send("click Start Zephrane bridge");
    ASSERT_TRUE(host.expect("simhost: clicked \"Start Zephrane bridge\""));
    host.send("status");
    EXPECT_NE(host.expectLine("simhost: t=").find("bridge=running"), std::string::npos);
    host.send("reload");
    ASSERT_TRUE(host.expect("simhost: plug-ins reloaded"));
    EXPECT_EQ(host.quit(), 0) << host.errors();
    EXPECT_EQ(occurrences(host.output(), "simhost: Zephrane: XPluginStart returned 1\n"), 5u);
    EXPECT_EQ(occurrences(host.output(), "simhost: Log.txt: Probe: start 1\n"), 5u) << host.output();
    EXPECT_EQ(occurrences(host.output(), "simhost: Zephrane: unloaded\n"), 5u);
    EXPECT_EQ(host.errors().find("left behind"), std::string::npos) << host.errors();
    EXPECT_EQ(host.errors().find("still mapped"), std::string::npos) << host.errors();
}

// Enabled plug-ins hear, from the simulator (0), that the user's aircraft (0) is loaded and placed at an
// airport among its scenery, then a change of aircraft; a disabled one hears nothing, and reads 0 from
// datarefs before its enable and after its disable.
TEST(SimHostMessages, EnabledPluginsHearTheFlightStartAndThePlaneChange) {
    SimHostProcess host(SimHostProgram, probeRun(true));
    launch(host);
    const char* startUp[] = {"Probe: latitude at start 0\n", "Probe: latitude at enable 47.449\n",
                             "Probe: message 102 from 0 with 0\n", "Probe: message 103 from 0 with 0\n",
                             "Probe: message 104 from 0 with 0\n", "simhost: ready\n"};
    size_t at = 0;
    for (const char* line : startUp) {
        at = host.output().find(line, at);
        ASSERT_NE(at, std::string::npos) << line << " in order in\n" << host.output();
    }
    host.send("plane");
    ASSERT_TRUE(host.expect("Probe: message 106 from 0 with 0\n"));
    ASSERT_TRUE(host.expect("Probe: message 102 from 0 with 0\n"));
    host.send("disable");
    host.send("plane");
    ASSERT_TRUE(host.expect("simhost: sent XPLM_MSG_PLANE_UNLOADED (106) to 0 plug-ins"));
    EXPECT_EQ(host.quit(), 0) << host.errors();
    EXPECT_EQ(occurrences(host.output(), "Probe: message 106"), 1u);
    EXPECT_NE(host.output().find("Probe: latitude at stop 0\n"), std::string::npos);
}

// X-Plane's own worker threads exist before any plug-in starts; simhost's idle ones stand in for them.
TEST(SimHostThreads, IdleThreadsExistBeforeThePluginStarts) {
    constexpr int MainAndIdleThreads = 5;
    SimHostProcess host(SimHostProgram, probeRun(true));
    launch(host);
    std::string line = host.output().substr(host.output().find("Probe: threads "));
    EXPECT_GE(std::stoi(line.substr(std::string("Probe: threads ").size())), MainAndIdleThreads) << line;
    EXPECT_EQ(host.quit(), 0);
}

TEST(SimHostStrictRules, EachBreachAbortsWithTheSdksWords) {
    for (const Breach& breach : Breaches) {
        SimHostProcess host(SimHostProgram, probeRun(true));
        launch(host);
        host.send(std::string("click ") + breach.item);
        std::optional<int> status = host.waitForExit();
        ASSERT_TRUE(status.has_value()) << breach.item << "\n" << host.output();
        EXPECT_NE(*status, 0) << breach.item;
        EXPECT_NE(host.errors().find(breach.words), std::string::npos) << host.errors();
        EXPECT_NE(host.errors().find("simhost: strict mode: aborting\n"), std::string::npos) << host.errors();
    }
}

TEST(SimHostStrictRules, WithoutStrictEachBreachIsOneLineAndTheCallGoesOn) {
    SimHostProcess host(SimHostProgram, probeRun(false));
    launch(host);
    for (const Breach& breach : Breaches) host.send(std::string("click ") + breach.item);
    ASSERT_TRUE(host.expect("simhost: clicked \"Use a destroyed window\""));
    host.send("status");
    ASSERT_FALSE(host.expectLine("simhost: t=").empty());
    EXPECT_EQ(host.quit(), 0);
    EXPECT_NE(host.output().find("Probe: junk read 0\n"), std::string::npos);
    EXPECT_NE(host.output().find("Probe: untitled menu 0\n"), std::string::npos);
    EXPECT_NE(host.output().find("Probe: window without a callback 0\n"), std::string::npos);
    EXPECT_EQ(lineCount(host.errors()), std::size(Breaches)) << host.errors();
    for (const Breach& breach : Breaches) EXPECT_EQ(occurrences(host.errors(), breach.words), 1u) << breach.words;
}

TEST(SimHostUnload, WhatAPluginLeavesBehindIsListedAndStrictAbortsAfterTheList) {
    for (bool strict : {false, true}) {
        SimHostProcess host(SimHostProgram, probeRun(strict));
        launch(host);
        host.send("click Leave everything behind");
        ASSERT_TRUE(host.expect("simhost: clicked \"Leave everything behind\""));
        host.send("quit");
        std::optional<int> status = host.waitForExit();
        ASSERT_TRUE(status.has_value());
        const std::string& errors = host.errors();
        EXPECT_EQ(occurrences(errors, "simhost: Probe left behind "), ProbeLeftovers) << errors;
        EXPECT_NE(errors.find("simhost: Probe left behind menu item \"Probe\" in menu \"Plugins\"\n"),
                  std::string::npos);
        EXPECT_NE(errors.find("simhost: Probe left behind menu \"Probe\"\n"), std::string::npos);
        EXPECT_NE(errors.find("simhost: Probe left behind flight loop "), std::string::npos);
        EXPECT_NE(errors.find("simhost: Probe left behind window \"Probe window\"\n"), std::string::npos);
        if (strict) {
            EXPECT_NE(*status, 0);
            EXPECT_GT(errors.find("simhost: strict mode: aborting"), errors.rfind("left behind")) << errors;
        } else {
            EXPECT_EQ(*status, 0);
            EXPECT_NE(host.output().find("simhost: Probe: unloaded"), std::string::npos);
        }
    }
}

// A module that keeps itself mapped is no fault, even in strict mode: simhost says so and goes on, and the
// next load finds the same copy, whose start count goes on.
TEST(SimHostUnload, AModuleStillMappedAfterUnloadIsReportedAndTheRunGoesOn) {
    SimHostProcess host(SimHostProgram, probeRun(true));
    launch(host);
    host.send("click Pin the module");
    host.send("reload");
    ASSERT_TRUE(host.expect("simhost: plug-ins reloaded")) << host.output() << host.errors();
    EXPECT_NE(host.output().find("simhost: Log.txt: Probe: start 2\n"), std::string::npos) << host.output();
    EXPECT_EQ(host.quit(), 0);
    EXPECT_EQ(host.errors(), "simhost: Probe: module still mapped after unload\n"
                             "simhost: Probe: module still mapped after unload\n");
}

// The probe's window draws its text out of reading order, one string wrapped and one outside the window; a
// disabled plug-in's window is not drawn.
TEST(SimHostWindows, WindowsPrintsWhatEachVisibleWindowDrawsTopToBottom) {
    SimHostProcess host(SimHostProgram, probeRun(true));
    launch(host);
    host.send("windows");
    ASSERT_TRUE(host.expect("simhost: no window is visible"));
    host.send("click Show a window");
    host.send("windows");
    EXPECT_TRUE(host.expect("simhost: window \"Probe window\" at 100,500 to 400,300 (Probe):\n"
                            "simhost:   top left\n"
                            "simhost:   top right\n"
                            "simhost:   middle\n"
                            "simhost:   one two\n"
                            "simhost:   three\n"
                            "simhost:   outside   [outside the window]"))
        << host.output();
    host.send("disable");
    host.send("windows");
    EXPECT_TRUE(host.expect("simhost: window \"Probe window\" at 100,500 to 400,300 (Probe) is not drawn: Probe is "
                            "disabled"));
    EXPECT_EQ(host.quit(), 0);
    EXPECT_EQ(host.errors(), "");
}
