// The whole bridge: the built module in simhost --strict (any XPLM call off the main thread aborts it),
// serving real clients on port 21777 over loopback.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include "ExternalTool.h"
#include "ProtocolClient.h"
#include "SimHostRun.h"
#include "base/AutoreleasePool.h"
#include "base/BaseDictionary.h"
#include "base/BaseNumber.h"
#include "io/IOSocketTCP.h"

namespace {

constexpr uint16_t BridgePort = 21777;
const std::string ClientProgram = ZEPHRANE_CLIENT;
const std::string IndependentClient = ZEPHRANE_INDEPENDENT_CLIENT;

bool portIsFree() {
    auto* probe = new IOSocketTCP();
    probe->setAddress("127.0.0.1", BridgePort);
    bool free = probe->listen();
    probe->close();
    release(probe);
    return free;
}

double value(BaseDictionary* report, const char* key) {
    BaseObject* number = BaseDictionary::objectForCStringKey(report, key);
    return hasClassName(number, "BaseNumber") ? static_cast<BaseNumber*>(number)->doubleValue() : -1e300;
}

class BridgeEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!portIsFree()) GTEST_SKIP() << "port 21777 is in use by another program: the bridge cannot listen";
        host = std::make_unique<SimHostProcess>(SimHostProgram, strictRun({"--start"}));
        ASSERT_TRUE(host->running()) << host->startError();
        ASSERT_TRUE(host->expect("simhost: ready")) << host->output() << host->errors();
        ASSERT_TRUE(waitForBridge());
    }
    void TearDown() override {
        if (!host) return;
        std::optional<int> status = host->quit();
        EXPECT_EQ(status, 0) << host->output() << host->errors();
    }
    // The bridge listens once "Start Zephrane bridge" has run; logging in proves it.
    bool waitForBridge() {
        for (int i = 0; i < 200; ++i) {
            ProtocolClient probe(BridgePort);
            if (probe.connected() && probe.loginAsApp() == 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    void setDataref(const std::string& name, const std::string& text) {
        host->send("set " + name + " " + text);
        ASSERT_TRUE(host->expect("simhost: set " + name + " = ")) << host->output() << host->errors();
    }

    AutoreleasePool pool;
    std::unique_ptr<SimHostProcess> host;
};

}  // namespace

TEST_F(BridgeEndToEnd, ReportsCarryTheSimulatorsValuesEvenBackToBack) {
    setDataref("sim/flightmodel/position/latitude", "46.5");
    setDataref("sim/flightmodel/position/groundspeed", "51.2");
    ProtocolClient client(BridgePort);
    ASSERT_EQ(client.loginAsApp(), 0);
    BaseDictionary* report = nullptr;
    for (int i = 0; i < 100 && (!report || value(report, "latitude") != 46.5); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));  // the next frame takes the snapshot
        report = client.request();
    }
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(value(report, "latitude"), 46.5);
    EXPECT_EQ(value(report, "speed"), static_cast<double>(51.2f));
    for (int i = 0; i < 100; ++i) {
        auto* request = createAutoreleased<BaseDictionary>();
        request->setStringForCStringKey("1", "cmd_id");
        ASSERT_TRUE(client.send(request));
    }
    for (int i = 0; i < 100; ++i) {
        AutoreleasePool each;
        auto* next = static_cast<BaseDictionary*>(client.receive());
        ASSERT_NE(next, nullptr) << "report " << i;
        EXPECT_EQ(value(next, "latitude"), 46.5);
    }
}

TEST_F(BridgeEndToEnd, StoppingClosesEveryClientAndStartingAgainServes) {
    std::vector<std::unique_ptr<ProtocolClient>> clients;
    for (int i = 0; i < 3; ++i) {
        clients.push_back(std::make_unique<ProtocolClient>(BridgePort));
        ASSERT_EQ(clients.back()->loginAsApp(), 0);
    }
    host->send("click Stop Zephrane bridge");
    ASSERT_TRUE(host->expect("simhost: clicked \"Stop Zephrane bridge\""));
    for (auto& client : clients) EXPECT_TRUE(client->closedByPeer(std::chrono::seconds(2)));
    host->send("click Start Zephrane bridge");
    ASSERT_TRUE(host->expect("simhost: clicked \"Start Zephrane bridge\""));
    ASSERT_TRUE(waitForBridge());
    ProtocolClient again(BridgePort);
    ASSERT_EQ(again.loginAsApp(), 0);
    EXPECT_NE(again.request(), nullptr);
}

TEST_F(BridgeEndToEnd, ReferenceClientPrintsFiveMovingPositions) {
    ToolResult run = runTool("'" + ClientProgram + "' --host 127.0.0.1 --count 5 --rate 10", "");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::istringstream lines(run.output);
    std::vector<std::vector<double>> rows;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::vector<double> numbers;
        for (double number; fields >> number;) numbers.push_back(number);
        if (numbers.size() == 11) rows.push_back(numbers);  // time and the ten values
    }
    ASSERT_EQ(rows.size(), 5u) << run.output;
    EXPECT_NE(rows.front()[2], rows.back()[2]) << "the longitude did not move:\n" << run.output;
}

TEST_F(BridgeEndToEnd, ReferenceClientReportsARefusedLogin) {
    ToolResult run = runTool("'" + ClientProgram + "' --host 127.0.0.1 --password wrong --count 1", "");
    EXPECT_EQ(run.exitCode, 3) << run.output;
    EXPECT_NE(run.output.find("login wrong password (code 2)"), std::string::npos) << run.output;
}

TEST_F(BridgeEndToEnd, AnIndependentClientWrittenFromTheProtocolGuideAgrees) {
    if (!toolAvailable("python3")) GTEST_SKIP() << "python3 is not installed: the independent client cannot run";
    ToolResult run = runTool("python3 '" + IndependentClient + "' 127.0.0.1 21777", "");
    EXPECT_EQ(run.exitCode, 0) << run.output;
}
