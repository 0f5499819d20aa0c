// The plug-in as the simulator sees it: simhost loads the built module and the tests drive it through the
// console, checking what the plug-in writes into simhost's buffers and menus and what it prints.
#include <gtest/gtest.h>

#include "SimHostRun.h"
#include "SocketTestSupport.h"

namespace {

// Starts simhost with the bridge module and waits until its console is ready.
void launch(SimHostProcess& host) {
    ASSERT_TRUE(host.running()) << host.startError();
    ASSERT_TRUE(host.expect("simhost: ready")) << host.output() << host.errors();
}

void click(SimHostProcess& host, const std::string& item) {
    host.send("click " + item);
    ASSERT_TRUE(host.expect("simhost: clicked \"" + item + "\"")) << host.output() << host.errors();
}

std::string bridgeState(SimHostProcess& host) {
    host.send("status");
    std::string line = host.expectLine("simhost: t=");
    size_t at = line.find("bridge=");
    return at == std::string::npos ? "no status line" : line.substr(at + 7);
}

void quitCleanly(SimHostProcess& host) {
    std::optional<int> status = host.quit();
    EXPECT_EQ(status, 0) << host.output() << host.errors();
}

}  // namespace

TEST(PluginIdentity, StringsAreWrittenWordForWord) {
    SimHostProcess host(SimHostProgram, strictRun());
    launch(host);
    EXPECT_TRUE(host.output().find("simhost: plugin name: Zephrane\n"
                                   "simhost: plugin signature: quillory.zephrane.bridge\n"
                                   "simhost: plugin description: A plugin that forward navigation coordinates to "
                                   "Zephrane for iPhone/iPad.\n"
                                   "simhost: Zephrane: XPluginStart returned 1\n"
                                   "simhost: Zephrane: XPluginEnable returned 1\n") != std::string::npos)
        << host.output();
    quitCleanly(host);
}

TEST(PluginMenu, ZephraneSubmenuHoldsStartStopAndTheUncheckedAutomaticStart) {
    SimHostProcess host(SimHostProgram, strictRun());
    launch(host);
    host.send("menu");
    ASSERT_TRUE(host.expect("simhost:   item 2 \"Start bridge automatically\""));
    EXPECT_TRUE(host.output().find("simhost: menu \"Plugins\"\n"
                                   "simhost:   item 0 \"Zephrane\" reference 0 opens menu \"Zephrane\"\n"
                                   "simhost: menu \"Zephrane\"\n"
                                   "simhost:   item 0 \"Start Zephrane bridge\" reference 1\n"
                                   "simhost:   item 1 \"Stop Zephrane bridge\" reference 2\n"
                                   "simhost:   item 2 \"Start bridge automatically\" reference 3 [ ]\n") !=
                    std::string::npos)
        << host.output();
    quitCleanly(host);
}

TEST(BridgeCommands, StartTwiceMakesOneBridgeAndEachStartPrintsTheDebugLines) {
    SKIP_WHILE_BRIDGE_PORT_IS_HELD();
    SimHostProcess host(SimHostProgram, strictRun());
    launch(host);
    click(host, "Start Zephrane bridge");
    click(host, "Start Zephrane bridge");
    EXPECT_EQ(bridgeState(host), "running");
    EXPECT_EQ(occurrences(host.output(), DebugManagerLines), 1u) << host.output();
    EXPECT_EQ(occurrences(host.output(), "DebugManager"), 1u);

    click(host, "Stop Zephrane bridge");
    EXPECT_EQ(bridgeState(host), "stopped");
    click(host, "Start Zephrane bridge");
    EXPECT_EQ(bridgeState(host), "running");
    EXPECT_EQ(occurrences(host.output(), DebugManagerLines), 2u);
    host.collect();
    EXPECT_EQ(host.errors(), "");
    quitCleanly(host);
}

TEST(BridgeCommands, StopWhileStoppedPrintsExactlyTheWarningOnStandardError) {
    SimHostProcess host(SimHostProgram, strictRun());
    launch(host);
    click(host, "Stop Zephrane bridge");
    host.collect();
    EXPECT_EQ(host.errors(), AlreadyStoppedWarning);
    EXPECT_EQ(bridgeState(host), "stopped");
    quitCleanly(host);
}

TEST(BridgeCommands, DisableStopsTheBridgeAndTheFollowingStopIsSilent) {
    SKIP_WHILE_BRIDGE_PORT_IS_HELD();
    SimHostProcess host(SimHostProgram, strictRun({"--start"}));
    launch(host);
    EXPECT_EQ(bridgeState(host), "running");
    host.send("disable");
    ASSERT_TRUE(host.expect("simhost: Zephrane: XPluginDisable done"));
    EXPECT_EQ(bridgeState(host), "stopped");
    host.collect();
    EXPECT_EQ(host.errors(), "");
    // Quitting stops the disabled plug-in without disabling it again; finding the bridge stopped, XPluginStop
    // says nothing (only the menu's Stop warns).
    quitCleanly(host);
    EXPECT_EQ(host.errors(), "");
    EXPECT_NE(host.output().find("simhost: Zephrane: XPluginStop done"), std::string::npos);
}

TEST(BridgeCommands, EnableAnswersOneAndLeavesTheBridgeStopped) {
    SimHostProcess host(SimHostProgram, strictRun({"--start"}));
    launch(host);
    host.send("disable");
    ASSERT_TRUE(host.expect("simhost: Zephrane: XPluginDisable done"));
    host.send("enable");
    ASSERT_TRUE(host.expect("simhost: Zephrane: XPluginEnable returned 1"));
    EXPECT_EQ(bridgeState(host), "stopped");
    EXPECT_EQ(occurrences(host.output(), DebugManagerLines), 1u);
    quitCleanly(host);
}

TEST(BridgeCommands, ItemReferencesOtherThanOneToThreeDoNothing) {
    SKIP_WHILE_BRIDGE_PORT_IS_HELD();
    SimHostProcess host(SimHostProgram, strictRun());
    launch(host);
    for (const char* reference : {"0", "4", "-1", "259"}) {
        host.send(std::string("handler Zephrane ") + reference);
        ASSERT_TRUE(host.expect(std::string("with item reference ") + reference));
    }
    EXPECT_EQ(bridgeState(host), "stopped");
    EXPECT_EQ(occurrences(host.output(), "DebugManager"), 0u);
    host.collect();
    EXPECT_EQ(host.errors(), "");
    // The same path with reference 1 does start the bridge.
    host.send("handler Zephrane 1");
    ASSERT_TRUE(host.expect("with item reference 1"));
    EXPECT_EQ(bridgeState(host), "running");
    quitCleanly(host);
}

TEST(BridgeCommands, InterruptStopsTheBridgeThenDisablesStopsAndUnloads) {
    SKIP_WHILE_BRIDGE_PORT_IS_HELD();
    SimHostProcess host(SimHostProgram, strictRun({"--start"}));
    launch(host);
    host.interrupt();
    std::optional<int> status = host.waitForExit();
    ASSERT_EQ(status, 0) << host.output() << host.errors();
    const std::string& out = host.output();
    size_t clicked = out.find("simhost: clicked \"Stop Zephrane bridge\"");
    size_t disabled = out.find("simhost: Zephrane: XPluginDisable done");
    size_t stopped = out.find("simhost: Zephrane: XPluginStop done");
    size_t unloaded = out.find("simhost: Zephrane: unloaded");
    ASSERT_NE(clicked, std::string::npos) << out;
    EXPECT_LT(clicked, disabled);
    EXPECT_LT(disabled, stopped);
    EXPECT_LT(stopped, unloaded);
    EXPECT_NE(unloaded, std::string::npos);
    // The click stopped the bridge, so disable and stop each find it stopped, and say nothing.
    EXPECT_EQ(host.errors(), "");
}

// A disabled plug-in's menu items call nothing: the click says so, and the bridge stays stopped until the
// plug-in is enabled again.
TEST(BridgeCommands, ItemsOfTheDisabledPluginCallNothing) {
    SKIP_WHILE_BRIDGE_PORT_IS_HELD();
    SimHostProcess host(SimHostProgram, strictRun());
    launch(host);
    host.send("disable");
    ASSERT_TRUE(host.expect("simhost: Zephrane: XPluginDisable done"));
    host.send("click Start Zephrane bridge");
    ASSERT_TRUE(
        host.expect("simhost: \"Start Zephrane bridge\" belongs to Zephrane, which is disabled: nothing called"));
    host.send("handler Zephrane 1");
    ASSERT_TRUE(host.expect("simhost: the handler of \"Zephrane\" belongs to Zephrane, which is disabled"));
    EXPECT_EQ(bridgeState(host), "stopped");
    host.send("enable");
    ASSERT_TRUE(host.expect("simhost: Zephrane: XPluginEnable returned 1"));
    click(host, "Start Zephrane bridge");
    EXPECT_EQ(bridgeState(host), "running");
    quitCleanly(host);
}
