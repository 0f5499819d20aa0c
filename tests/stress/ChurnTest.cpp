// Twenty thousand short visits, one after another: connect, log in, ask once, leave. Each visit's
// connection, receive thread and socket must be gone once the bridge has seen the client leave, so the
// process ends with the descriptors, threads and (outside sanitizer builds) resident memory it had after
// the warm-up.
#include <cstdio>
#include <thread>

#include "Eventually.h"
#include "ProcessResources.h"
#include "ProtocolClient.h"
#include "StressFixture.h"
#include "base/AutoreleasePool.h"
#include "plugin/GPSBridge.h"

namespace {

constexpr int Cycles = 20000;
constexpr int WarmUpCycles = 1000;
constexpr uint64_t MemoryTolerance = 2 * ProcessResources::MiB;
constexpr std::chrono::milliseconds ThreadEndGrace{100};

struct Resources {
    uint32_t descriptors;
    uint32_t threads;
    uint64_t resident;
};

class Churn : public StressFixture {
protected:
    // Returns false when the visit broke a rule.
    bool visitOnce() {
        AutoreleasePool pool;
        ProtocolClient client(port);
        if (client.loginAsApp() != stress::LoginOk) return false;
        double serial = 0.0;
        return stress::readSerial(client.request(), &serial);
    }

    // The bridge has let go of every client it had, and the last one's receive thread, which ends right
    // after the bridge forgets it, has had time to go.
    Resources settledResources() {
        EXPECT_TRUE(eventually([&] { return bridge->clientCount() == 0; }));
        std::this_thread::sleep_for(ThreadEndGrace);
        return {ProcessResources::openDescriptors(), ProcessResources::threads(), ProcessResources::residentBytes()};
    }
};

TEST_F(Churn, TwentyThousandVisitsLeaveNothingBehind) {
    ASSERT_TRUE(startBridge());
    runSerialFrame();
    int failures = 0;
    for (int cycle = 0; cycle < WarmUpCycles; ++cycle) failures += visitOnce() ? 0 : 1;
    Resources before = settledResources();
    for (int cycle = WarmUpCycles; cycle < Cycles; ++cycle) failures += visitOnce() ? 0 : 1;
    Resources after = settledResources();

    std::printf("churn: %u descriptors, %u threads, %llu KiB resident after the warm-up; %u, %u, %llu KiB at the end\n",
                before.descriptors, before.threads, static_cast<unsigned long long>(before.resident / 1024),
                after.descriptors, after.threads, static_cast<unsigned long long>(after.resident / 1024));
    EXPECT_EQ(failures, 0) << "visits that were not admitted or not answered";
    EXPECT_EQ(after.descriptors, before.descriptors);
    EXPECT_EQ(after.threads, before.threads);
    if (stress::sanitizedBuild()) return;
    EXPECT_LE(after.resident, before.resident + MemoryTolerance)
        << "resident memory grew from " << before.resident << " to " << after.resident << " bytes";
}

}  // namespace
