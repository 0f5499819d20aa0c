// What the simulator sees of a plug-in: the menu calls it makes when it starts and stops, the menus and
// flight loops it registered, which must all go before its module is unloaded, each plug-in's own menus and
// indexes, what it may do while disabled, when and how its flight loops run, and the SDK's rules that simhost
// reports.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "ProtocolClient.h"
#include "SimulatorFixture.h"
#include "XPLMDataAccess.h"
#include "XPLMMenus.h"
#include "XPLMPlugin.h"
#include "XPLMProcessing.h"
#include "base/AutoreleasePool.h"
#include "plugin/GPSBridge.h"
#include "plugin/PluginEntryPoints.h"
#include "plugin/PluginMenu.h"

namespace {

constexpr PluginTag LeavingPlugin = 101;
constexpr PluginTag StayingPlugin = 102;
constexpr PluginTag BridgePlugin = 103;
constexpr const char* Longitude = "sim/flightmodel/position/longitude";

int leavingLoopCalls = 0;
int stayingLoopCalls = 0;
int stayingHandlerCalls = 0;

// Both flight loops ask to be called again the next frame.
float leavingLoop(float, float, int, void*) {
    ++leavingLoopCalls;
    return -1.0f;
}
float stayingLoop(float, float, int, void*) {
    ++stayingLoopCalls;
    return -1.0f;
}
void stayingHandler(void*, void*) { ++stayingHandlerCalls; }
// Registers a flight loop from a menu handler, as the bridge's start item does.
void registeringHandler(void*, void*) { XPLMRegisterFlightLoopCallback(leavingLoop, -1.0f, nullptr); }

// A submenu under the Plugins menu with one item, made in the plug-in's context.
XPLMMenuID addMenu(PluginTag plugin, const char* title, XPLMMenuHandler_f handler, const char* itemText) {
    PluginContext context(plugin);
    int item = XPLMAppendMenuItem(XPLMFindPluginsMenu(), title, nullptr, 1);
    XPLMMenuID menu = XPLMCreateMenu(title, XPLMFindPluginsMenu(), item, handler, nullptr);
    XPLMAppendMenuItem(menu, itemText, nullptr, 1);
    return menu;
}

MenuRegistry::Outcome click(const char* text) { return simulator().menus.click(text).outcome; }

class SimulatorPlugins : public SimulatorFixture {
protected:
    void SetUp() override {
        SimulatorFixture::SetUp();
        simulator().menus.clear();
        simulator().calls.clear();
        findingsBefore_ = simulator().rules.findings();
    }
    void TearDown() override {
        for (PluginTag plugin : {LeavingPlugin, StayingPlugin, BridgePlugin}) simulator().forgetPlugin(plugin);
        simulator().menus.clear();
        SimulatorFixture::TearDown();
    }
    uint64_t newFindings() const { return simulator().rules.findings() - findingsBefore_; }

private:
    uint64_t findingsBefore_ = 0;
};

}  // namespace

// Another plug-in's item comes first in the Plugins menu, yet the bridge's own first item there is its 0,
// and the submenu hangs on that; at stop the bridge takes away exactly what it made.
TEST_F(SimulatorPlugins, StartAndStopMakeAndTakeAwayItsMenuWithItsOwnIndexes) {
    {
        PluginContext other(StayingPlugin);
        XPLMAppendMenuItem(XPLMFindPluginsMenu(), "Other", nullptr, 1);
    }
    simulator().calls.clear();
    PluginContext bridge(BridgePlugin);
    char name[256], signature[256], description[256];
    ASSERT_EQ(XPluginStart(name, signature, description), 1);
    std::string handler = std::to_string(reinterpret_cast<intptr_t>(&PluginMenu::handle));
    std::vector<std::string> expected{
        "XPLMEnableFeature(\"XPLM_USE_NATIVE_PATHS\", 1)",
        "XPLMFindPluginsMenu()",
        "XPLMAppendMenuItem(1, \"Zephrane\", 0, 1)",
        "XPLMFindPluginsMenu()",
        "XPLMCreateMenu(\"Zephrane\", 1, 0, " + handler + ", 0)",
        "XPLMAppendMenuItem(2, \"Start Zephrane bridge\", 1, 1)",
        "XPLMAppendMenuItem(2, \"Stop Zephrane bridge\", 2, 1)",
        "XPLMAppendMenuItem(2, \"Start bridge automatically\", 3, 1)",
        "XPLMAppendMenuItem(2, \"Show bridge status\", 4, 1)",
        "XPLMGetPrefsPath()",
        "XPLMCheckMenuItem(2, 2, 1)",
    };
    EXPECT_EQ(simulator().calls.calls(), expected);
    EXPECT_EQ(simulator().leftBehind(BridgePlugin).size(), 6u);

    simulator().calls.clear();
    XPluginStop();
    expected = {"XPLMDestroyMenu(2)", "XPLMFindPluginsMenu()", "XPLMRemoveMenuItem(1, 0)"};
    EXPECT_EQ(simulator().calls.calls(), expected);
    EXPECT_EQ(simulator().leftBehind(BridgePlugin), std::vector<std::string>{});
    std::vector<std::string> listing{"menu \"Plugins\"", "  item 0 \"Other\" reference 0"};
    EXPECT_EQ(simulator().menus.listing(), listing);
    EXPECT_EQ(newFindings(), 0u);
}

TEST_F(SimulatorPlugins, AForgottenPluginLeavesNoMenuItemOrFlightLoopAndTheOthersStay) {
    XPLMMenuID leavingMenu = addMenu(LeavingPlugin, "Leaving", registeringHandler, "Register");
    addMenu(StayingPlugin, "Staying", stayingHandler, "Count");
    {
        PluginContext context(StayingPlugin);
        XPLMRegisterFlightLoopCallback(stayingLoop, -1.0f, nullptr);
    }
    // The handler runs in its plug-in's context, so the flight loop it registers is that plug-in's too.
    ASSERT_EQ(click("Register"), MenuRegistry::Outcome::Called);
    ASSERT_EQ(simulator().flightLoops.count(), 2u);

    simulator().forgetPlugin(LeavingPlugin);
    EXPECT_EQ(click("Register"), MenuRegistry::Outcome::NotFound);
    EXPECT_EQ(simulator().menus.callHandler("Leaving", nullptr).outcome, MenuRegistry::Outcome::NotFound);
    {
        PluginContext context(LeavingPlugin);
        EXPECT_EQ(XPLMAppendMenuItem(leavingMenu, "Stale", nullptr, 1), -1);
    }
    leavingLoopCalls = stayingLoopCalls = 0;
    runFrame();
    EXPECT_EQ(leavingLoopCalls, 0);
    EXPECT_EQ(stayingLoopCalls, 1);
    std::vector<std::string> listing{"menu \"Plugins\"", "  item 0 \"Staying\" reference 0 opens menu \"Staying\"",
                                     "menu \"Staying\"", "  item 0 \"Count\" reference 0"};
    EXPECT_EQ(simulator().menus.listing(), listing);
    stayingHandlerCalls = 0;
    EXPECT_EQ(click("Count"), MenuRegistry::Outcome::Called);
    EXPECT_EQ(stayingHandlerCalls, 1);
}

// Menus are sandboxed: a plug-in's indexes count its own items only, and another plug-in's menus are out of
// its reach. What is still there at unload is what it left behind.
TEST_F(SimulatorPlugins, MenusAreEachPluginsOwnAndWhatRemainsIsLeftBehind) {
    XPLMMenuID leaving = addMenu(LeavingPlugin, "Leaving", stayingHandler, "First");
    XPLMMenuID staying = addMenu(StayingPlugin, "Staying", stayingHandler, "Count");
    PluginContext context(LeavingPlugin);
    XPLMMenuID plugins = XPLMFindPluginsMenu();
    EXPECT_EQ(XPLMAppendMenuItem(plugins, "Second top", nullptr, 1), 1);
    EXPECT_EQ(XPLMAppendMenuItem(staying, "Foreign", nullptr, 1), -1);
    EXPECT_EQ(XPLMCreateMenu("Foreign", staying, 0, stayingHandler, nullptr), nullptr);
    XPLMDestroyMenu(staying);
    XPLMCheckMenuItem(plugins, 1, xplm_Menu_Checked);
    EXPECT_EQ(simulator().menus.checkOf("Second top"), xplm_Menu_Checked);
    EXPECT_EQ(simulator().menus.checkOf("Staying"), xplm_Menu_NoCheck);
    XPLMAppendMenuItem(leaving, "Second", nullptr, 1);
    XPLMRegisterFlightLoopCallback(leavingLoop, 0.0f, nullptr);
    std::vector<std::string> left = simulator().leftBehind(LeavingPlugin);
    ASSERT_EQ(left.size(), 6u);
    EXPECT_EQ(left[0], "menu item \"Leaving\" in menu \"Plugins\"");
    EXPECT_EQ(left[1], "menu item \"Second top\" in menu \"Plugins\"");
    EXPECT_EQ(left[2], "menu \"Leaving\"");
    EXPECT_EQ(left[3], "menu item \"First\" in menu \"Leaving\"");
    EXPECT_EQ(left[4], "menu item \"Second\" in menu \"Leaving\"");
    EXPECT_EQ(left[5].rfind("flight loop ", 0), 0u) << left[5];

    // Removing its first Plugins item moves its second up to 0; the other plug-in's item stays.
    XPLMRemoveMenuItem(plugins, 0);
    XPLMCheckMenuItem(plugins, 0, xplm_Menu_Unchecked);
    EXPECT_EQ(simulator().menus.checkOf("Second top"), xplm_Menu_Unchecked);
    XPLMClearAllMenuItems(plugins);
    XPLMClearAllMenuItems(leaving);
    EXPECT_EQ(simulator().leftBehind(LeavingPlugin).size(), 2u);
    XPLMDestroyMenu(leaving);
    XPLMUnregisterFlightLoopCallback(leavingLoop, nullptr);
    EXPECT_EQ(simulator().leftBehind(LeavingPlugin), std::vector<std::string>{});
    std::vector<std::string> listing{"menu \"Plugins\"", "  item 0 \"Staying\" reference 0 opens menu \"Staying\"",
                                     "menu \"Staying\"", "  item 0 \"Count\" reference 0"};
    EXPECT_EQ(simulator().menus.listing(), listing);
    EXPECT_EQ(newFindings(), 0u);
}

// A disabled plug-in is not called (menu handlers, flight loops) and reads 0 from every dataref; enabled
// again, it is called and reads the values.
TEST_F(SimulatorPlugins, ADisabledPluginIsNotCalledAndReadsZero) {
    simulator().plugins.add(StayingPlugin);
    addMenu(StayingPlugin, "Staying", stayingHandler, "Count");
    XPLMDataRef longitude = XPLMFindDataRef(Longitude);
    {
        PluginContext context(StayingPlugin);
        XPLMRegisterFlightLoopCallback(stayingLoop, -1.0f, nullptr);
        EXPECT_EQ(XPLMGetDatad(longitude), 0.0);
    }
    ASSERT_NE(XPLMGetDatad(longitude), 0.0);
    stayingHandlerCalls = stayingLoopCalls = 0;
    MenuRegistry::Click choice = simulator().menus.click("Count");
    EXPECT_EQ(choice.outcome, MenuRegistry::Outcome::OwnerDisabled);
    EXPECT_EQ(choice.owner, StayingPlugin);
    runFrame();
    EXPECT_EQ(stayingHandlerCalls, 0);
    EXPECT_EQ(stayingLoopCalls, 0);

    simulator().plugins.setEnabled(StayingPlugin, true);
    EXPECT_EQ(click("Count"), MenuRegistry::Outcome::Called);
    runFrame();
    EXPECT_EQ(stayingHandlerCalls, 1);
    EXPECT_EQ(stayingLoopCalls, 1);
    PluginContext context(StayingPlugin);
    EXPECT_EQ(XPLMGetDatad(longitude), simulator().datarefs.value(Longitude));
}

namespace {

struct LoopCall {
    float sinceLastCall;
    float sinceLastFlightLoop;
    double longitude;
};
std::vector<LoopCall> loopCalls;

float recordingLoop(float sinceLastCall, float sinceLastFlightLoop, int, void*) {
    loopCalls.push_back({sinceLastCall, sinceLastFlightLoop, XPLMGetDatad(XPLMFindDataRef(Longitude))});
    return -1.0f;
}

}  // namespace

// Flight loops run before the flight model moves the aircraft, and their times are the wall clock's,
// whatever the simulated frame.
TEST_F(SimulatorPlugins, FlightLoopsRunBeforeTheFlightModelWithWallClockSeconds) {
    constexpr auto Pause = std::chrono::milliseconds(150);
    constexpr float ShortestPause = 0.14f;
    simulator().model.fly();
    loopCalls.clear();
    XPLMRegisterFlightLoopCallback(recordingLoop, -1.0f, nullptr);
    double before = simulator().datarefs.value(Longitude);
    runFrame();
    ASSERT_NE(simulator().datarefs.value(Longitude), before);
    std::this_thread::sleep_for(Pause);
    double beforeSecond = simulator().datarefs.value(Longitude);
    runFrame();
    XPLMUnregisterFlightLoopCallback(recordingLoop, nullptr);
    ASSERT_EQ(loopCalls.size(), 2u);
    EXPECT_EQ(loopCalls[0].longitude, before);
    EXPECT_EQ(loopCalls[1].longitude, beforeSecond);
    EXPECT_GE(loopCalls[1].sinceLastCall, ShortestPause);
    EXPECT_GE(loopCalls[1].sinceLastFlightLoop, ShortestPause);
}

namespace {

float unregisteringLoop(float, float, int, void*) {
    XPLMUnregisterFlightLoopCallback(unregisteringLoop, nullptr);
    return -1.0f;
}

}  // namespace

// Without --strict each call that breaks a rule of the SDK's headers is reported once and the call goes
// on: a junk dataref reads 0, an unsupported feature stays off, an untitled menu is not made, and a flight
// loop that unregisters itself is gone. A null dataref, a documented feature and an empty item name are fine.
TEST_F(SimulatorPlugins, EachBreachOfTheSdksRulesIsReportedOnce) {
    XPLMDataRef junk = reinterpret_cast<XPLMDataRef>(static_cast<uintptr_t>(0x5eed));
    EXPECT_EQ(XPLMGetDatad(junk), 0.0);
    EXPECT_EQ(XPLMGetDataf(junk), 0.0f);
    EXPECT_EQ(XPLMGetDatad(nullptr), 0.0);
    EXPECT_EQ(newFindings(), 2u);

    XPLMEnableFeature("XPLM_NO_SUCH_FEATURE", 1);
    EXPECT_EQ(XPLMIsFeatureEnabled("XPLM_NO_SUCH_FEATURE"), 0);
    XPLMEnableFeature("XPLM_WANTS_REFLECTIONS", 1);
    EXPECT_EQ(XPLMIsFeatureEnabled("XPLM_WANTS_REFLECTIONS"), 1);
    XPLMEnableFeature("XPLM_WANTS_REFLECTIONS", 0);
    EXPECT_EQ(newFindings(), 4u);

    int item = XPLMAppendMenuItem(XPLMFindPluginsMenu(), "", nullptr, 1);
    EXPECT_EQ(item, 0);
    EXPECT_EQ(XPLMCreateMenu("", XPLMFindPluginsMenu(), item, stayingHandler, nullptr), nullptr);
    EXPECT_EQ(XPLMCreateMenu(nullptr, XPLMFindPluginsMenu(), item, stayingHandler, nullptr), nullptr);
    EXPECT_EQ(newFindings(), 6u);

    XPLMRegisterFlightLoopCallback(unregisteringLoop, -1.0f, nullptr);
    runFrame();
    EXPECT_EQ(newFindings(), 7u);
    EXPECT_EQ(simulator().flightLoops.count(), 0u);
}

// X-Plane may still call a disabled plug-in's menu handler: Start then starts nothing and says why in
// Log.txt; once the plug-in is enabled again, the same Start serves.
TEST_F(SimulatorPlugins, StartWhileDisabledOnlySaysSoAndServesOnceEnabled) {
    void* start = reinterpret_cast<void*>(PluginMenu::StartItemReference);
    BridgeSwitch::setEnabled(false);
    simulator().log.clear();
    PluginMenu::handle(nullptr, start);
    EXPECT_EQ(BridgeSwitch::current(), nullptr);
    EXPECT_EQ(simulator().flightLoops.count(), 0u);
    std::vector<std::string> said{"Zephrane: the plug-in is disabled, so the bridge does not start: enable "
                                  "Zephrane in X-Plane's Plugin Admin first"};
    EXPECT_EQ(simulator().log.lines(), said);

    BridgeSwitch::setEnabled(true);
    PluginMenu::handle(nullptr, start);
    if (!BridgeSwitch::current()) GTEST_SKIP() << "port 21777 is in use by another program";
    AutoreleasePool pool;
    ProtocolClient client(BridgeSwitch::current()->listeningPort());
    ASSERT_EQ(client.loginAsApp(), 0);
    EXPECT_NE(client.request(), nullptr);
}
