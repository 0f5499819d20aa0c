// Peers that connect and say nothing, held open: eight of them, then a storm of three hundred. Logins are
// read side by side, each against its own deadline, so an app that arrives among them is served at once,
// the silent ones are closed at their deadline, and the threads the bridge uses stay bounded. The times
// seen are printed for the record; what is asserted is the order of events and the thread count.
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "ProcessResources.h"
#include "ProtocolClient.h"
#include "StressFixture.h"
#include "plugin/GPSBridge.h"

namespace {

constexpr int SilentPeerCount = 8;
constexpr int StormPeerCount = 300;
constexpr uint32_t ThreadLimit = 64;
constexpr std::chrono::seconds ClosingLimit{10};

using Clock = std::chrono::steady_clock;
using Peers = std::vector<std::unique_ptr<ProtocolClient>>;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

Peers connectSilently(uint16_t port, int count) {
    Peers peers;
    for (int i = 0; i < count; ++i) peers.push_back(std::make_unique<ProtocolClient>(port));
    return peers;
}

// An app's login and first report; false when either failed.
bool serveApp(uint16_t port) {
    AutoreleasePool pool;
    ProtocolClient app(port);
    double serial = 0.0;
    return app.loginAsApp() == stress::LoginOk && stress::readSerial(app.request(), &serial);
}

}  // namespace

class SilentPeers : public StressFixture {};

TEST_F(SilentPeers, AnAppIsServedWhileEightWaitAndEachIsClosedAtItsDeadline) {
    ASSERT_TRUE(startBridge());
    auto connected = Clock::now();
    Peers silent = connectSilently(port, SilentPeerCount);
    for (auto& peer : silent) ASSERT_TRUE(peer->connected());

    auto arrived = Clock::now();
    EXPECT_TRUE(serveApp(port));
    double served = millisecondsSince(arrived);
    // All eight are still waiting: the app did not wait behind any of their deadlines.
    for (auto& peer : silent) EXPECT_FALSE(peer->closedByPeer(std::chrono::milliseconds(0)));

    for (auto& peer : silent) EXPECT_TRUE(peer->closedByPeer(ClosingLimit));
    std::printf("[ times    ] app logged in and served in %.1f ms with %d silent peers waiting; the last of them "
                "closed %.0f ms after connecting\n", served, SilentPeerCount, millisecondsSince(connected));
}

TEST_F(SilentPeers, AnAppIsServedDuringAStormOfThreeHundredAndThreadsStayBounded) {
    ASSERT_TRUE(startBridge());
    uint32_t threadsBefore = ProcessResources::threads();
    auto stormStarted = Clock::now();
    Peers storm = connectSilently(port, StormPeerCount);
    double stormMilliseconds = millisecondsSince(stormStarted);
    uint32_t threadsDuringStorm = ProcessResources::threads();

    auto arrived = Clock::now();
    EXPECT_TRUE(serveApp(port));
    double served = millisecondsSince(arrived);
    uint32_t threadsAfterApp = ProcessResources::threads();
    EXPECT_LT(threadsDuringStorm, ThreadLimit);
    EXPECT_LT(threadsAfterApp, ThreadLimit);

    // The storm's peers are all closed: those pushed out at once, the rest at their deadline.
    for (auto& peer : storm) EXPECT_TRUE(peer->closedByPeer(ClosingLimit));
    std::printf("[ times    ] %d silent connections in %.0f ms; app served %.1f ms after arriving; threads %u "
                "before, %u during the storm, %u with the app\n", StormPeerCount, stormMilliseconds, served,
                threadsBefore, threadsDuringStorm, threadsAfterApp);
}
