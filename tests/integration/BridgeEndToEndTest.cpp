// The whole bridge: the built module in simhost --strict (any XPLM call off the main thread aborts it),
// serving real clients on port 21777 over loopback.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "ExternalTool.h"
#include "ProtocolClient.h"
#include "SimHostRun.h"
#include "SocketTestSupport.h"
#include "base/AutoreleasePool.h"
#include "base/BaseDictionary.h"
#include "base/BaseNumber.h"
#include "io/IOSocketTCP.h"

namespace {

constexpr uint16_t BridgePort = 21777;
const std::string ClientProgram = ZEPHRANE_CLIENT;
const std::string IndependentClient = ZEPHRANE_INDEPENDENT_CLIENT;

// Reads every line of standard input as a JSON object holding the ten report values as numbers.
constexpr const char* ReportLinesCheck = R"(import json, sys
keys = {"latitude", "longitude", "altitude", "speed", "course", "pitch", "roll", "yaw", "slip", "accelerationZ"}
lines = sys.stdin.read().splitlines()
for line in lines:
    report = json.loads(line)
    missing = keys - report.keys()
    if missing or not all(isinstance(report[key], (int, float)) for key in keys):
        sys.exit("bad report line: " + line)
print(len(lines), "reports")
)";

double value(BaseDictionary* report, const char* key) {
    BaseObject* number = BaseDictionary::objectForCStringKey(report, key);
    return hasClassName(number, "BaseNumber") ? static_cast<BaseNumber*>(number)->doubleValue() : -1e300;
}

class BridgeEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WHILE_BRIDGE_PORT_IS_HELD();
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

// accelerationZ comes from X-Plane's local_az: a value set there arrives in the report.
TEST_F(BridgeEndToEnd, ReportsCarryTheSimulatorsValuesEvenBackToBack) {
    setDataref("sim/flightmodel/position/latitude", "46.5");
    setDataref("sim/flightmodel/position/groundspeed", "51.2");
    setDataref("sim/flightmodel/position/local_az", "-2.75");
    ProtocolClient client(BridgePort);
    ASSERT_EQ(client.loginAsApp(), 0);
    BaseDictionary* report = nullptr;
    for (int i = 0; i < 100 && (!report || value(report, "accelerationZ") != -2.75); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));  // the next frame takes the snapshot
        report = client.request();
    }
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(value(report, "accelerationZ"), -2.75);
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

TEST_F(BridgeEndToEnd, ReferenceClientReachesTheBridgeOverIPv6) {
    std::string missing = ipv6LoopbackMissing();
    if (!missing.empty()) GTEST_SKIP() << missing;
    ToolResult run = runTool("'" + ClientProgram + "' --host ::1 --json --count 1", "");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("logged in to \"X-Plane\""), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("\"latitude\""), std::string::npos) << run.output;
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

TEST_F(BridgeEndToEnd, ReferenceClientBenchPrintsOrderedPercentilesAndARate) {
    ToolResult run = runTool("'" + ClientProgram + "' --host 127.0.0.1 --bench 50", "");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::smatch found;
    const std::regex line(
        R"(requests 50  p50 ([0-9.]+) us  p90 ([0-9.]+) us  p99 ([0-9.]+) us  max ([0-9.]+) us  ([0-9]+) reports/s)");
    ASSERT_TRUE(std::regex_search(run.output, found, line)) << run.output;
    std::vector<double> figures;
    for (size_t i = 1; i < found.size(); ++i) figures.push_back(std::stod(found[i]));
    EXPECT_GT(figures[0], 0.0) << run.output;
    EXPECT_LE(figures[0], figures[1]) << run.output;
    EXPECT_LE(figures[1], figures[2]) << run.output;
    EXPECT_LE(figures[2], figures[3]) << run.output;
    EXPECT_GT(figures[4], 0.0) << run.output;
}

TEST_F(BridgeEndToEnd, ReferenceClientJsonLinesAreJsonWithTheTenValues) {
    if (!toolAvailable("python3")) GTEST_SKIP() << "python3 is not installed: nothing to parse the lines with";
    ToolResult run = runTool("'" + ClientProgram + "' --host 127.0.0.1 --json --count 3 --rate 20 >reports.txt" +
                                 " && python3 check.py <reports.txt",
                             "", {{"check.py", ReportLinesCheck}});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("3 reports"), std::string::npos) << run.output;
}

// The client polls until the bridge goes away under it: it ends with the lost-connection status and says
// so in one line of its own.
TEST_F(BridgeEndToEnd, ReferenceClientEndsWithOneLineWhenTheBridgeStops) {
    SimHostProcess client(ClientProgram, {"--host", "127.0.0.1", "--json", "--rate", "20", "--count", "1200"});
    ASSERT_TRUE(client.running()) << client.startError();
    ASSERT_TRUE(client.expect("}")) << client.output() << client.errors();  // logged in and polling
    host->send("click Stop Zephrane bridge");
    ASSERT_TRUE(host->expect("simhost: clicked \"Stop Zephrane bridge\""));
    EXPECT_EQ(client.waitForExit(), 2) << client.output() << client.errors();
    EXPECT_EQ(client.errors(), "zephrane-client: logged in to \"X-Plane\"\nzephrane-client: connection lost\n");
}

// Whoever answers the client may be a stranger that merely advertised the service: a reply carrying a file
// must not put that file on the client's disk.
TEST(ReferenceClient, RefusesAFileInTheServersReply) {
    // A listening socket standing in for the server, and an empty temporary directory for the client.
    struct FakeServer {
        AutoreleasePool pool;
        std::filesystem::path directory = std::filesystem::temp_directory_path() /
                                          ("zephrane-client-files-" + std::to_string(std::random_device()()));
        IOSocketTCP* listener = newListener();
        PeerCollector* peers = new PeerCollector(listener);
        FakeServer() { std::filesystem::create_directories(directory); }
        ~FakeServer() {
            release(peers);
            listener->close();
            release(listener);
            std::filesystem::remove_all(directory);
        }
    } server;
    SimHostProcess client("/usr/bin/env", {"TMPDIR=" + server.directory.string(), ClientProgram, "--host",
                                           "127.0.0.1", "--port", std::to_string(server.listener->boundPort()),
                                           "--count", "1"});
    ASSERT_TRUE(client.running()) << client.startError();
    IOSocketTCP* peer = server.peers->waitForPeer(0);
    ASSERT_NE(peer, nullptr);
    // {"x": <file "dropped", 3 bytes "abc">} as the login reply.
    auto record = [](const std::string& text) {
        return std::string("\x0A\x00", 2) + static_cast<char>(text.size()) + text;
    };
    std::string attributes = std::string("\x15\x00\x02", 3) + record("fa_name") + record("dropped") +
                             record("fa_size") + std::string("\x0C\x00\x03", 3);
    std::string reply = std::string("\x15\x00\x01", 3) + record("x") + std::string("\x02\x00", 2) + attributes + "abc";
    EXPECT_TRUE(peer->write(reply.data(), reply.size()));
    EXPECT_EQ(client.waitForExit(), 2) << client.errors();
    EXPECT_NE(client.errors().find("login no proper reply"), std::string::npos) << client.errors();
    EXPECT_TRUE(std::filesystem::is_empty(server.directory)) << server.directory << " holds what the server sent";
}
