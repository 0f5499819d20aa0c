// What the pilot is told, end to end: the built module in simhost writes its lines into Log.txt (echoed on
// simhost's output) and marks "Start Zephrane bridge" while the bridge serves; a port held by another
// program is said so, leaves no mark, and a later start succeeds once the port is free.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "ProtocolClient.h"
#include "ScratchDirectory.h"
#include "SimHostRun.h"
#include "base/AutoreleasePool.h"
#include "io/IOSocketTCP.h"

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
    ASSERT_TRUE(host.expect(LogPrefix + "started, listening on port 21777 (IPv4")) << host.output();
    ASSERT_TRUE(host.expect("simhost: ready"));
    EXPECT_NE(startItemLine(host).find("[x]"), std::string::npos);
    {
        AutoreleasePool pool;
        ProtocolClient client(BridgePort);
        ASSERT_EQ(client.loginAsApp(), 0);
        ASSERT_TRUE(host.expect(LogPrefix + "client 127.0.0.1 logged in (1 of 17)")) << host.output();
        ProtocolClient stranger(BridgePort);
        EXPECT_EQ(stranger.login("Some Other App", nullptr), 3);
        ASSERT_TRUE(host.expect(LogPrefix + "client 127.0.0.1 refused: 3, not the Zephrane app")) << host.output();
    }
    ASSERT_TRUE(host.expect(LogPrefix + "client 127.0.0.1 left")) << host.output();
    host.send("click Stop Zephrane bridge");
    ASSERT_TRUE(host.expect(LogPrefix + "stopped")) << host.output();
    EXPECT_NE(startItemLine(host).find("[ ]"), std::string::npos);
    EXPECT_EQ(host.quit(), 0) << host.output() << host.errors();
    std::string logFile = fileText("Log.txt");  // in simhost's working directory
    EXPECT_NE(logFile.find("Zephrane: started, listening on port 21777"), std::string::npos) << logFile;
    EXPECT_NE(logFile.find("Zephrane: stopped\n"), std::string::npos) << logFile;
}

TEST(PilotLog, APortHeldByAnotherProgramIsToldAndALaterStartTakesIt) {
    IOSocketTCP* holder = holdBridgePort();
    if (!holder) GTEST_SKIP() << "port 21777 is in use by another program: the test cannot hold it itself";
    SimHostProcess host(SimHostProgram, strictRun({"--start"}));
    std::string refusal = host.expectLine(LogPrefix + "could not listen on port 21777: ");
    EXPECT_NE(refusal.find("(another program may be using it); the bridge is not running"), std::string::npos)
        << host.output();
    ASSERT_TRUE(host.expect("simhost: ready"));
    EXPECT_NE(startItemLine(host).find("[ ]"), std::string::npos);
    host.send("status");
    EXPECT_NE(host.expectLine("simhost: t=").find("bridge=stopped"), std::string::npos);

    closeAndRelease(holder);
    host.send("click Start Zephrane bridge");
    ASSERT_TRUE(host.expect(LogPrefix + "started, listening on port 21777")) << host.output();
    EXPECT_NE(startItemLine(host).find("[x]"), std::string::npos);
    AutoreleasePool pool;
    ProtocolClient client(BridgePort);
    EXPECT_EQ(client.loginAsApp(), 0);
    EXPECT_NE(client.request(), nullptr);
    EXPECT_EQ(host.quit(), 0) << host.output() << host.errors();
}
