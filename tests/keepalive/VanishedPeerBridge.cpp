// The bridge's side of the vanished-peer test: a bridge on its own port, inside the test's private network,
// with keep-alive probes shortened to seconds. It waits for one client to log in, then for the bridge to
// let that client go once the client's network has silently disappeared. Exits 0 when that happened.
#include <chrono>
#include <cstdio>
#include <thread>

#include "Simulator.h"
#include "base/AutoreleasePool.h"
#include "distant/DistantObjectsCenter.h"
#include "plugin/GPSBridge.h"
#include "thread/BaseThread.h"

namespace {

constexpr KeepAliveTiming ShortKeepAlive{1, 1, 2};
constexpr std::chrono::seconds ClientLimit{20};
constexpr std::chrono::seconds ReleaseLimit{30};

template <class Condition>
bool waitFor(Condition condition, std::chrono::seconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace

int main() {
    AutoreleasePool pool;
    simulator().threadGuard.bindToCurrentThread();
    DistantObjectsCenter::setKeepAliveTiming(ShortKeepAlive);
    auto* bridge = new GPSBridge();
    std::printf("listening on %u\n", bridge->listeningPort());
    std::fflush(stdout);
    bool admitted = waitFor([&] { return bridge->clientCount() == 1; }, ClientLimit);
    auto vanishedAt = std::chrono::steady_clock::now();
    bool released = admitted && waitFor([&] { return bridge->clientCount() == 0; }, ReleaseLimit);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - vanishedAt).count();
    if (!admitted) std::printf("no client logged in\n");
    else if (released) std::printf("the client was let go %.1f s after it logged in\n", seconds);
    else std::printf("the vanished client still holds its place after %.0f s\n", seconds);
    bridge->teardown();
    release(bridge);
    // As a plug-in does before it is unloaded: the threads that ended by themselves are joined.
    BaseThread::waitForAllThreadsToEnd(std::chrono::seconds(10));
    return released ? 0 : 1;
}
