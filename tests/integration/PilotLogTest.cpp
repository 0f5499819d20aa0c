// What the pilot is told, end to end: the built module in simhost writes its lines into Log.txt (echoed on
// simhost's output), marks "Start Zephrane bridge" while the bridge serves and shows its status window; a
// port held by another program is said so, leaves no mark, and a later start succeeds once the port is free.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "ProtocolClient.h"
#include "ScratchDirectory.h"
#include "SimHostRun.h"
#include "SocketTestSupport.h"
#include "base/AutoreleasePool.h"
#include "io/IOSocketTCP.h"
#include "platform/NetworkInterfaces.h"

namespace {

constexpr uint16_t BridgePort = 21777;
const std::string LogPrefix = "simhost: Log.txt: Zephrane: ";

// A listening socket on every local address of the bridge's port, as another program would hold it.
IOSocketTCP* holdBridgePort() {
    auto* holder = new IOSocketTCP();
    holder->setAddress(nullptr, BridgePort);
    if (holder->listen()) return holder;
    release(holder);
    return nullptr;
}

void closeAndRelease(IOSocketTCP* socket) {
    socket->close();
    release(socket);
}

// The menu listing's line of the start item.
std::string startItemLine(SimHostProcess& host) {
    host.send("menu");
    return host.expectLine("\"Start Zephrane bridge\" reference");
}

// Runs this test, and the simhost it starts, in a folder of its own: every simhost starts Log.txt afresh in
// its working directory, and other tests' simhost runs share the build's.
class OwnWorkingDirectory {
public:
    OwnWorkingDirectory() : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder_.root());
    }
    ~OwnWorkingDirectory() { std::filesystem::current_path(previous_); }
    OwnWorkingDirectory(const OwnWorkingDirectory&) = delete;
    OwnWorkingDirectory& operator=(const OwnWorkingDirectory&) = delete;

private:
    std::filesystem::path previous_;
    ScratchDirectory folder_;
};

// The start's line: the version (and commit, when built from a checkout), the families and the addresses.
const std::regex StartedLine(R"(Zephrane: bridge \d+\.\d+\.\d+( \([0-9a-f]+\))? started, listening on port 21777 \(IPv4( and IPv6| only)\) at .)");

// An IPv4 address of an interface that is up, other than loopback, as the system's ip tool lists it:
// "192.168.1.20 (eth0)"; empty when the machine has none (or no ip tool).
std::string someAddressOfThisMachine() {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen("ip -o -4 addr show up scope global 2>/dev/null", "r"), pclose);
    char line[512];
    if (!pipe || !fgets(line, sizeof(line), pipe.get())) return "";
    std::istringstream fields(line);
    std::string index, name, family, address;
    fields >> index >> name >> family >> address;
    if (family != "inet") return "";
    return address.substr(0, address.find('/')) + " (" + name + ")";
}

// The status window's text as simhost draws it: what `windows` prints between the window's heading and the
// status line asked for after it. The window captures its text once a second.
std::string statusWindowText(SimHostProcess& host) {
    host.send("windows");
    host.send("status");
    if (!host.expect("simhost: t=")) return "";
    const std::string& output = host.output();
    size_t heading = output.rfind("window \"Zephrane bridge\"");
    size_t end = output.rfind("simhost: t=");
    if (heading == std::string::npos || heading > end) return "";
    return output.substr(heading, end - heading);
}

// Asks for the window's text until it holds every one of texts (it changes once a second), at most 5 s.
std::string statusWindowShowing(SimHostProcess& host, const std::vector<std::string>& texts) {
    std::string text;
    for (int attempt = 0; attempt < 25; ++attempt) {
        text = statusWindowText(host);
        bool all = true;
        for (const std::string& wanted : texts) all = all && text.find(wanted) != std::string::npos;
        if (all) return text;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return text;
}

// The count of reports of the window's first client line ("127.0.0.1 since 14:02:31, 12 reports sent").
long firstClientsReports(const std::string& text) {
    std::smatch match;
    static const std::regex ClientLine(R"(since \d\d:\d\d:\d\d, (\d+) reports sent)");
    return std::regex_search(text, match, ClientLine) ? std::stol(match[1]) : -1;
}

std::string fileText(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

TEST(PilotLog, StartClientsAndStopAreToldAndTheMenuShowsTheState) {
    IOSocketTCP* probe = holdBridgePort();
    if (!probe) GTEST_SKIP() << "port 21777 is in use by another program: the bridge cannot listen";
    closeAndRelease(probe);
    OwnWorkingDirectory here;
    SimHostProcess host(SimHostProgram, strictRun({"--start"}));
    std::string started = host.expectLine(LogPrefix + "bridge ");
    EXPECT_TRUE(std::regex_search(started, StartedLine)) << host.output();
    std::string address = someAddressOfThisMachine();
    if (!address.empty()) {
        EXPECT_NE(started.find(address), std::string::npos) << started;
    }
    ASSERT_TRUE(host.expect("simhost: ready"));
    EXPECT_NE(startItemLine(host).find("[x]"), std::string::npos);
    {
        AutoreleasePool pool;
        ProtocolClient client(BridgePort);
        ASSERT_EQ(client.loginAsApp(), 0);
        ASSERT_TRUE(host.expect(LogPrefix + "app 127.0.0.1 logged in (1 of 17)")) << host.output();
        ProtocolClient stranger(BridgePort);
        EXPECT_EQ(stranger.login("Some Other App", nullptr), 3);
        ASSERT_TRUE(host.expect(LogPrefix + "app 127.0.0.1 refused: not the Zephrane app (code 3)")) << host.output();
    }
    ASSERT_TRUE(host.expect(LogPrefix + "app 127.0.0.1 left")) << host.output();
    host.send("click Stop Zephrane bridge");
    ASSERT_TRUE(host.expect(LogPrefix + "stopped")) << host.output();
    EXPECT_NE(startItemLine(host).find("[ ]"), std::string::npos);
    EXPECT_EQ(host.quit(), 0) << host.output() << host.errors();
    std::string logFile = fileText("Log.txt");  // in simhost's working directory
    EXPECT_NE(logFile.find(" started, listening on port 21777"), std::string::npos) << logFile;
    EXPECT_NE(logFile.find("Zephrane: stopped\n"), std::string::npos) << logFile;
}

TEST(PilotLog, APortHeldByAnotherProgramIsToldAndALaterStartTakesIt) {
    IOSocketTCP* holder = holdBridgePort();
    if (!holder) GTEST_SKIP() << "port 21777 is in use by another program: the test cannot hold it itself";
    SimHostProcess host(SimHostProgram, strictRun({"--start"}));
    std::string refusal = host.expectLine(" could not listen on port 21777: ");
    EXPECT_NE(refusal.find("Another X-Plane with Zephrane, or another program, holds that port on this computer: quit "
                           "it, then choose Plugins > Zephrane > Start Zephrane bridge again. The bridge is not running"),
              std::string::npos) << host.output();
    ASSERT_TRUE(host.expect("simhost: ready"));
    EXPECT_NE(startItemLine(host).find("[ ]"), std::string::npos);
    host.send("click Show bridge status");
    std::string window = statusWindowText(host);
    EXPECT_NE(window.find(": not serving: port 21777 is taken ("), std::string::npos) << window;
    EXPECT_NE(window.find("Quit it, then choose Plugins > Zephrane > Start Zephrane bridge again."), std::string::npos)
        << window;
    host.send("status");
    EXPECT_NE(host.expectLine("simhost: t=").find("bridge=stopped"), std::string::npos);

    closeAndRelease(holder);
    host.send("click Start Zephrane bridge");
    ASSERT_TRUE(host.expect(" started, listening on port 21777")) << host.output();
    EXPECT_NE(startItemLine(host).find("[x]"), std::string::npos);
    EXPECT_NE(statusWindowShowing(host, {": serving"}).find(": serving"), std::string::npos) << host.output();
    AutoreleasePool pool;
    ProtocolClient client(BridgePort);
    EXPECT_EQ(client.loginAsApp(), 0);
    EXPECT_NE(client.request(), nullptr);
    EXPECT_EQ(host.quit(), 0) << host.output() << host.errors();
}

// The window as the pilot meets it: the version and state, this machine's address, the announcement, the
// apps with counts that grow, the 18th app's refusal; the item hides and shows it, Stop shows "stopped", and
// the plug-in takes the window away at its stop (strict simhost fails the exit otherwise).
TEST(PilotLog, TheStatusWindowShowsTheBridgeItsAppsAndItsRefusals) {
    SKIP_WHILE_BRIDGE_PORT_IS_HELD();
    OwnWorkingDirectory here;
    SimHostProcess host(SimHostProgram, strictRun({"--start"}));
    std::string started = host.expectLine(LogPrefix + "bridge ");
    std::string version = started.substr(started.find("bridge ") + 7);
    version = version.substr(0, version.find(" started"));
    ASSERT_TRUE(host.expect("simhost: ready")) << host.output();
    host.send("click Show bridge status");
    std::vector<std::string> expected{"Zephrane bridge " + version + " on " + computerName() + ": serving",
                                      "(port 21777,", "as \"X-Plane\"", "Apps logged in: 0 of 17",
                                      "None yet. If the app does not connect"};
    std::string address = someAddressOfThisMachine();
    if (!address.empty()) {
        expected.push_back(address);
    }
    std::string text = statusWindowShowing(host, expected);
    for (const std::string& wanted : expected) EXPECT_NE(text.find(wanted), std::string::npos) << wanted << " in\n" << text;

    AutoreleasePool pool;
    std::vector<std::unique_ptr<ProtocolClient>> apps;
    for (int i = 0; i < 17; ++i) {
        apps.push_back(std::make_unique<ProtocolClient>(BridgePort));
        ASSERT_EQ(apps.back()->loginAsApp(), 0) << "app " << i + 1;
        ASSERT_NE(apps.back()->request(), nullptr);
    }
    ProtocolClient eighteenth(BridgePort);
    EXPECT_EQ(eighteenth.loginAsApp(), 4);
    text = statusWindowShowing(host, {"Apps logged in: 17 of 17", "127.0.0.1 refused: no room"});
    EXPECT_EQ(occurrences(text, "127.0.0.1 since "), 17u) << text;
    EXPECT_NE(text.find("127.0.0.1 refused: no room, 17 apps are logged in (code 4)"), std::string::npos) << text;
    long before = firstClientsReports(text);
    EXPECT_GE(before, 1) << text;
    for (int i = 0; i < 3; ++i) ASSERT_NE(apps.front()->request(), nullptr);
    for (int attempt = 0; attempt < 25 && firstClientsReports(text) < before + 3; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        text = statusWindowText(host);
    }
    EXPECT_EQ(firstClientsReports(text), before + 3) << text;

    host.send("click Show bridge status");
    host.send("windows");
    EXPECT_TRUE(host.expect("no window is visible")) << host.output();
    host.send("click Show bridge status");
    host.send("click Stop Zephrane bridge");
    text = statusWindowText(host);  // at once: the window does not wait for its next second
    EXPECT_NE(text.find("Zephrane bridge " + version), std::string::npos) << text;
    EXPECT_NE(text.find(": stopped\n"), std::string::npos) << text;
    EXPECT_NE(text.find("To serve apps, choose Plugins > Zephrane > Start Zephrane bridge."), std::string::npos) << text;
    EXPECT_EQ(text.find("(port 21777"), std::string::npos) << text;
    host.send("click Start Zephrane bridge");
    EXPECT_NE(statusWindowText(host).find(": serving\n"), std::string::npos) << host.output();  // at once too
    EXPECT_EQ(host.quit(), 0) << host.output() << host.errors();
}
