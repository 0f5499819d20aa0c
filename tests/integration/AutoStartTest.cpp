// "Start bridge automatically" as the pilot meets it: simhost runs the built module with a preferences folder
// of the test's own, and the choice made in one run decides whether the next run serves without a click.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>

#include "ProtocolClient.h"
#include "ScratchDirectory.h"
#include "SimHostRun.h"
#include "SocketTestSupport.h"

namespace {

constexpr uint16_t BridgePort = 21777;
const std::string AutoStartItem = "Start bridge automatically";
const std::string StartItem = "Start Zephrane bridge";
const std::string StartedLine = "simhost: Log.txt: Zephrane: started, listening on port 21777";
// Where simhost is told to keep its preferences: a folder it has to make.
const std::string PreferencesFolder = "simulator/preferences";
const std::string ChoiceFile = PreferencesFolder + "/Zephrane.prf";
// Binary bytes around the line that would turn the choice on.
constexpr char DamagedChoice[] = "\0\xff\x13start_automatically 1\x80\n";

class AutoStart : public ::testing::Test {
protected:
    void SetUp() override {
        if (!loopbackPortIsFree(BridgePort)) GTEST_SKIP() << "port 21777 is in use by another program";
    }

    // A simhost at its console, the plug-in started and enabled.
    std::unique_ptr<SimHostProcess> launch() {
        auto host = std::make_unique<SimHostProcess>(SimHostProgram,
                                                     strictRun({"--prefs", scratch.path(PreferencesFolder)}));
        EXPECT_TRUE(host->running()) << host->startError();
        EXPECT_TRUE(host->expect("simhost: ready")) << host->output() << host->errors();
        return host;
    }

    static void click(SimHostProcess& host, const std::string& item) {
        host.send("click " + item);
        ASSERT_TRUE(host.expect("simhost: clicked \"" + item + "\"")) << host.output() << host.errors();
    }

    // "[x]", "[ ]" or "" (no mark) beside the item, as simhost's menu listing shows it.
    static std::string markOf(SimHostProcess& host, const std::string& item) {
        host.send("menu");
        std::string line = host.expectLine("\"" + item + "\"");
        return line.size() > 3 && line.back() == ']' ? line.substr(line.size() - 3) : "";
    }

    static void quit(SimHostProcess& host) { EXPECT_EQ(host.quit(), 0) << host.output() << host.errors(); }

    ScratchDirectory scratch;
};

}  // namespace

TEST_F(AutoStart, TurnedOnTheNextLaunchServesWithoutAClickAndTurnedOffItDoesNot) {
    {
        auto host = launch();
        EXPECT_EQ(markOf(*host, AutoStartItem), "[ ]");
        click(*host, AutoStartItem);
        EXPECT_EQ(markOf(*host, AutoStartItem), "[x]");
        quit(*host);
    }
    // The choice alone, saved in place, with no temporary file left beside it.
    std::map<std::string, int64_t> saved{{"simulator", -1}, {PreferencesFolder, -1}, {ChoiceFile, 22}};
    EXPECT_EQ(scratch.snapshot(), saved);
    {
        auto host = launch();
        EXPECT_NE(host->output().find(StartedLine), std::string::npos) << host->output();
        ProtocolClient client(BridgePort);
        EXPECT_EQ(client.loginAsApp(), 0);
        client.close();
        EXPECT_EQ(markOf(*host, StartItem), "[x]");
        EXPECT_EQ(markOf(*host, AutoStartItem), "[x]");
        // A re-enabled plug-in starts the bridge again by itself.
        host->send("disable");
        ASSERT_TRUE(host->expect("simhost: Zephrane: XPluginDisable done"));
        host->send("enable");
        ASSERT_TRUE(host->expect(StartedLine)) << host->output();
        click(*host, AutoStartItem);
        EXPECT_EQ(markOf(*host, AutoStartItem), "[ ]");
        quit(*host);
    }
    {
        auto host = launch();
        EXPECT_EQ(host->output().find("Zephrane: started"), std::string::npos) << host->output();
        EXPECT_FALSE(ProtocolClient(BridgePort).connected());
        EXPECT_EQ(markOf(*host, AutoStartItem), "[ ]");
        EXPECT_EQ(markOf(*host, StartItem), "");
        quit(*host);
    }
}

TEST_F(AutoStart, ADamagedFileReadsAsOffAndLogTxtSaysSo) {
    scratch.write(ChoiceFile, std::string(DamagedChoice, sizeof(DamagedChoice) - 1));
    auto host = launch();
    std::string expected = "Zephrane: could not read " + scratch.path(ChoiceFile) +
                           " (it does not hold the choice); the bridge will not start by itself";
    EXPECT_NE(host->output().find(expected), std::string::npos) << host->output();
    EXPECT_EQ(host->output().find("Zephrane: started"), std::string::npos);
    EXPECT_EQ(markOf(*host, AutoStartItem), "[ ]");
    quit(*host);
}

// A folder where the file belongs can be neither read nor replaced: the choice stays off, and Log.txt says so.
TEST_F(AutoStart, AFolderInTheFilesPlaceReadsAsOffAndTheChoiceCannotBeSavedOverIt) {
    scratch.write(ChoiceFile + "/keep", "not the plug-in's");
    auto host = launch();
    std::string path = scratch.path(ChoiceFile);
    EXPECT_NE(host->output().find("Zephrane: could not read " + path + " (it is not a file)"), std::string::npos)
        << host->output();
    click(*host, AutoStartItem);
    EXPECT_NE(host->output().find("Zephrane: could not save the choice in " + path), std::string::npos)
        << host->output();
    EXPECT_EQ(markOf(*host, AutoStartItem), "[ ]");
    quit(*host);
    EXPECT_EQ(scratch.read(ChoiceFile + "/keep"), "not the plug-in's");
}
