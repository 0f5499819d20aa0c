// The pilot's menu, two hundred times: start the bridge on its own port, let clients in, stop it while they
// keep coming. Nothing may crash, and at the end no thread of the foundation may still run and the process
// may hold no more threads or descriptors than before the first start.
#include <atomic>
#include <thread>
#include <vector>

#include "Eventually.h"
#include "ProcessResources.h"
#include "ProtocolClient.h"
#include "SocketTestSupport.h"
#include "StressFixture.h"
#include "base/AutoreleasePool.h"
#include "plugin/BridgeSwitch.h"
#include "plugin/GPSBridge.h"
#include "thread/BaseThread.h"

namespace {

constexpr int Cycles = 200;
constexpr int Visitors = 2;
constexpr std::chrono::milliseconds RetryPause{1};
constexpr std::chrono::milliseconds ThreadEndGrace{100};
// A stopped bridge's announcement ends on its own thread just after the stop (it never makes Stop wait for it):
// within a moment, as XPluginStop waits for it.
constexpr std::chrono::milliseconds AnnouncementEndLimit{2000};

// Visits the bridge's port over and over; a visit that finds no bridge, or a bridge stopping under it, is
// simply tried again.
void visit(const std::atomic<bool>& stop, std::atomic<uint64_t>* admitted) {
    while (!stop.load()) {
        AutoreleasePool pool;
        ProtocolClient client(GPSBridge::BridgePort);
        if (!client.connected() || client.loginAsApp() != stress::LoginOk) {
            std::this_thread::sleep_for(RetryPause);
            continue;
        }
        ++*admitted;
        client.request();
    }
}

class StartStop : public StressFixture {};

TEST_F(StartStop, TwoHundredCyclesWithClientsArrivingLeaveNoThreadBehind) {
    SKIP_WHILE_BRIDGE_PORT_IS_HELD();
    // Sanitizer runtimes start a helper thread of their own along with the process's first thread.
    std::thread([] {}).join();
    uint32_t threadsBefore = ProcessResources::threads();
    uint32_t descriptorsBefore = ProcessResources::openDescriptors();
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> admitted{0};
    std::vector<std::thread> visitors;
    for (int i = 0; i < Visitors; ++i) visitors.emplace_back(visit, std::cref(stop), &admitted);

    int cyclesWithoutClients = 0;
    for (int cycle = 0; cycle < Cycles; ++cycle) {
        uint64_t admittedBefore = admitted.load();
        BridgeSwitch::start();
        // Another program may take the port between two cycles: the visitors still end before the test does.
        if (!BridgeSwitch::current()) {
            ADD_FAILURE() << "cycle " << cycle << ": the bridge could not listen on port 21777";
            break;
        }
        runSerialFrame();
        if (!eventually([&] { return admitted.load() > admittedBefore; })) ++cyclesWithoutClients;
        BridgeSwitch::stop();
    }
    stop = true;
    for (auto& thread : visitors) thread.join();

    EXPECT_EQ(cyclesWithoutClients, 0);
    EXPECT_TRUE(BaseThread::waitForAllThreadsToEnd(AnnouncementEndLimit)) << "a thread outlived its bridge";
    std::this_thread::sleep_for(ThreadEndGrace);
    EXPECT_EQ(ProcessResources::threads(), threadsBefore);
    EXPECT_EQ(ProcessResources::openDescriptors(), descriptorsBefore);
}

}  // namespace
