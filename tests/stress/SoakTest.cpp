// A minute of full load: seventeen places taken by clients polling as fast as they can, while others keep
// connecting, logging in, asking a few times and leaving (or being refused while all places are taken).
// Every report must be well-formed and no older than the one before it, no poller may starve, and the
// process's resident memory must end where it stood after the warm-up.
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "Eventually.h"
#include "ProcessResources.h"
#include "ProtocolClient.h"
#include "StressFixture.h"
#include "base/AutoreleasePool.h"
#include "base/BaseDictionary.h"

namespace {

constexpr std::chrono::seconds SoakDuration{60};
constexpr std::chrono::seconds WarmUp{10};
constexpr int SteadyPollers = 16;  // the seventeenth place goes to whichever visitor gets it
constexpr int Visitors = 3;
constexpr int VisitRequests = 5;
constexpr std::chrono::seconds PollersLoginLimit{30};
constexpr std::chrono::milliseconds PauseAfterRefusal{5};
constexpr uint64_t MemoryTolerance = 2 * ProcessResources::MiB;
// A poller is starved when it gets less than this share of the average poller's reports.
constexpr uint64_t StarvationDivisor = 4;

struct PollerResult {
    std::atomic<bool> admitted{false};
    std::atomic<uint64_t> reports{0};
};

struct VisitorResult {
    std::atomic<uint64_t> admitted{0};
    std::atomic<uint64_t> refused{0};
};

// Asks once and checks the report against the last serial this client saw.
bool askInOrder(ProtocolClient& client, double* lastSerial) {
    AutoreleasePool pool;
    double serial = 0.0;
    if (!stress::readSerial(client.request(), &serial)) {
        ADD_FAILURE() << "a request got no well-formed report";
        return false;
    }
    if (serial < *lastSerial) {
        ADD_FAILURE() << "a report of frame " << serial << " came after one of frame " << *lastSerial;
        return false;
    }
    *lastSerial = serial;
    return true;
}

void poll(uint16_t port, const std::atomic<bool>& stop, PollerResult* result) {
    AutoreleasePool pool;
    ProtocolClient client(port);
    if (client.loginAsApp() != stress::LoginOk) {
        ADD_FAILURE() << "a steady poller was not admitted";
        return;
    }
    result->admitted = true;
    double lastSerial = stress::NoFrame;
    while (!stop.load() && askInOrder(client, &lastSerial)) ++result->reports;
}

// Returns false when the visit broke a rule.
bool visitOnce(uint16_t port, VisitorResult* result) {
    AutoreleasePool pool;
    ProtocolClient client(port);
    int32_t code = client.loginAsApp();
    if (code == stress::LoginRefused) {
        ++result->refused;
        std::this_thread::sleep_for(PauseAfterRefusal);
        return true;
    }
    if (code != stress::LoginOk) {
        ADD_FAILURE() << "a visitor's login answered " << code;
        return false;
    }
    double lastSerial = stress::NoFrame;
    for (int i = 0; i < VisitRequests; ++i) {
        if (!askInOrder(client, &lastSerial)) return false;
    }
    ++result->admitted;
    return true;
}

void visit(uint16_t port, const std::atomic<bool>& stop, VisitorResult* result) {
    while (!stop.load() && visitOnce(port, result)) {
    }
}

class Soak : public StressFixture {};

TEST_F(Soak, SeventeenPollersAndComingAndGoingVisitorsForAMinute) {
    ASSERT_TRUE(startBridge());
    std::atomic<bool> stop{false};
    std::vector<PollerResult> pollers(SteadyPollers);
    VisitorResult visitors;
    std::vector<std::thread> threads;
    for (auto& result : pollers) threads.emplace_back(poll, port, std::cref(stop), &result);
    // The pollers hold their places before any visitor competes for the one left.
    EXPECT_TRUE(eventually([&] {
        for (auto& result : pollers) {
            if (!result.admitted.load()) return false;
        }
        return true;
    }, PollersLoginLimit));
    for (int i = 0; i < Visitors; ++i) threads.emplace_back(visit, port, std::cref(stop), &visitors);

    runFramesFor(WarmUp);
    uint64_t residentAfterWarmUp = ProcessResources::residentBytes();
    runFramesFor(SoakDuration - WarmUp);
    uint64_t residentAtEnd = ProcessResources::residentBytes();
    stop = true;
    for (auto& thread : threads) thread.join();

    uint64_t total = 0;
    for (auto& result : pollers) total += result.reports.load();
    uint64_t floor = total / SteadyPollers / StarvationDivisor;
    for (size_t i = 0; i < pollers.size(); ++i) {
        EXPECT_GT(pollers[i].reports.load(), floor) << "poller " << i << " starved; all pollers: " << total;
    }
    EXPECT_GT(visitors.admitted.load(), 0u) << "no visitor ever got the free place";
    std::printf("soak: %llu reports to steady pollers, %llu visits admitted, %llu refused; resident %llu KiB after "
                "the warm-up, %llu KiB at the end\n",
                static_cast<unsigned long long>(total), static_cast<unsigned long long>(visitors.admitted.load()),
                static_cast<unsigned long long>(visitors.refused.load()),
                static_cast<unsigned long long>(residentAfterWarmUp / 1024),
                static_cast<unsigned long long>(residentAtEnd / 1024));
    if (stress::sanitizedBuild()) return;
    EXPECT_LE(residentAtEnd, residentAfterWarmUp + MemoryTolerance)
        << "resident memory grew from " << residentAfterWarmUp << " to " << residentAtEnd << " bytes";
}

}  // namespace
