// "Start bridge automatically" as the pilot meets it: simhost runs the built module with a preferences folder
// of the test's own, and the choice made in one run decides whether the next run serves without a click.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "Eventually.h"
#include "ProtocolClient.h"
#include "ScratchDirectory.h"
#include "SimHostRun.h"
#include "SocketTestSupport.h"
#include "base/AutoreleasePool.h"

namespace {

constexpr uint16_t BridgePort = 21777;
const std::string AutoStartItem = "Start bridge automatically";
const std::string StartItem = "Start Zephrane bridge";
// The start's line names the version between "Zephrane: bridge" and "started".
const std::string StartedLine = " started, listening on port 21777";
// Where simhost is told to keep its preferences: a folder it has to make.
const std::string PreferencesFolder = "simulator/preferences";
const std::string ChoiceFile = PreferencesFolder + "/Zephrane.prf";
// Reloads with apps polling: fewer where the sanitizers slow everything down.
#ifdef ZEPHRANE_SANITIZED_BUILD
constexpr int ReloadCycles = 10;
#else
constexpr int ReloadCycles = 100;
#endif
constexpr int PollingApps = 3;
constexpr auto ServedAgainLimit = std::chrono::seconds(10);
// Binary bytes around the line that would turn the choice on.
constexpr char DamagedChoice[] = "\0\xff\x13start_automatically 1\x80\n";

class AutoStart : public ::testing::Test {
protected:
    void SetUp() override { SKIP_WHILE_BRIDGE_PORT_IS_HELD(); }

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

// An app polling the bridge as fast as it is answered, logging in again whenever its connection ends, as
// apps do when the simulator reloads its plug-ins. It counts the reports it gets.
class PollingApp {
public:
    PollingApp() : thread_([this] { poll(); }) {}
    ~PollingApp() {
        stop_ = true;
        thread_.join();
    }
    uint64_t reports() const { return reports_.load(); }

private:
    void poll() {
        std::unique_ptr<ProtocolClient> client;
        while (!stop_) {
            AutoreleasePool pool;
            if (!client) client = logIn();
            if (!client) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            } else if (client->request("1", std::chrono::seconds(2))) {
                ++reports_;
            } else {
                client.reset();
            }
        }
    }
    static std::unique_ptr<ProtocolClient> logIn() {
        auto client = std::make_unique<ProtocolClient>(BridgePort);
        if (!client->connected() || client->loginAsApp() != 0) return nullptr;
        return client;
    }

    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> reports_{0};
    std::thread thread_;
};

// Every app gets a report it had not had before.
bool everyAppServedAgain(const std::vector<std::unique_ptr<PollingApp>>& apps) {
    std::vector<uint64_t> before;
    for (const auto& app : apps) before.push_back(app->reports());
    return eventually(
        [&] {
            for (size_t i = 0; i < apps.size(); ++i) {
                if (apps[i]->reports() <= before[i]) return false;
            }
            return true;
        },
        ServedAgainLimit);
}

// simhost's "resources" line, "threads=N descriptors=M".
std::string resources(SimHostProcess& host) {
    host.send("resources");
    std::string line = host.expectLine("simhost: resources ");
    return line.substr(line.find("threads="));
}

// How many "Zephrane" items the Plugins menu holds.
size_t zephraneItems(SimHostProcess& host) {
    size_t from = host.output().size();
    host.send("menu");
    EXPECT_TRUE(host.expect("simhost: menu \"Zephrane\""));
    EXPECT_TRUE(host.expect("\"Start bridge automatically\""));
    return occurrences(host.output().substr(from), "\"Zephrane\" reference 0 opens menu \"Zephrane\"");
}

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
        EXPECT_EQ(host->output().find(StartedLine), std::string::npos) << host->output();
        EXPECT_FALSE(ProtocolClient(BridgePort).connected());
        EXPECT_EQ(markOf(*host, AutoStartItem), "[ ]");
        EXPECT_EQ(markOf(*host, StartItem), "");
        quit(*host);
    }
}

TEST_F(AutoStart, ADamagedFileReadsAsOffAndLogTxtSaysSo) {
    scratch.write(ChoiceFile, std::string(DamagedChoice, sizeof(DamagedChoice) - 1));
    auto host = launch();
    std::string expected = "Zephrane: ignored line 1 of " + scratch.path(ChoiceFile) +
                           ": it is not a setting the plug-in knows";
    EXPECT_NE(host->output().find(expected), std::string::npos) << host->output();
    EXPECT_EQ(host->output().find(StartedLine), std::string::npos);
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

// X-Plane's "Reload plugins" with the automatic start on and apps polling: each reload disables, stops and
// unloads the module and loads, starts and enables it again; the bridge comes back by itself and the apps are
// served again. Nothing accumulates: simhost's threads and descriptors end where they were, the module was
// unmapped at every unload, nothing was left behind, and the Plugins menu holds one "Zephrane" item.
TEST_F(AutoStart, ReloadsWithAppsPollingLeaveNothingBehindAndTheAppsAreServedAgain) {
    auto host = launch();
    click(*host, AutoStartItem);
    click(*host, StartItem);
    std::vector<std::unique_ptr<PollingApp>> apps;
    for (int i = 0; i < PollingApps; ++i) apps.push_back(std::make_unique<PollingApp>());
    ASSERT_TRUE(everyAppServedAgain(apps));
    std::string atLaunch = resources(*host);

    for (int cycle = 1; cycle <= ReloadCycles; ++cycle) {
        host->send("reload");
        ASSERT_TRUE(host->expect("simhost: plug-ins reloaded")) << host->output() << host->errors();
        ASSERT_TRUE(everyAppServedAgain(apps)) << "cycle " << cycle << "\n" << host->output();
    }
    EXPECT_TRUE(eventually([&] { return resources(*host) == atLaunch; })) << atLaunch << " at launch, "
                                                                         << resources(*host) << " now";
    EXPECT_EQ(zephraneItems(*host), 1u);
    apps.clear();
    quit(*host);
    EXPECT_EQ(occurrences(host->output(), StartedLine), static_cast<size_t>(ReloadCycles + 1));
    for (const char* fault : {"could not", "stays in memory", "left behind", "still mapped", "off the simulator"}) {
        EXPECT_EQ(host->output().find(fault), std::string::npos) << fault;
        EXPECT_EQ(host->errors().find(fault), std::string::npos) << fault << "\n" << host->errors();
    }
}
