// The bridge's figures under load, measured in one run so that ratios compare like with like on a noisy
// machine: the round trip of a position request through the bridge against a raw ping-pong of the same
// byte sizes on two plain loopback sockets (percentiles of per-iteration times, taken in alternating
// blocks); reports per second with 1 and 17 clients polling as fast as they can; the time Start (without
// DNS-SD) and Stop with 17 clients take on the simulator's thread; the work the bridge's flight loop adds to
// each simulator frame; the status window's draw callback and capture; and resident memory per connected
// client. Round trips are measured twice: with the
// threads placed by the system, and with every thread on one CPU, where no wake-up waits for another CPU.
//
// This thread stands in for the simulator's main thread; no simulator frame runs except in the flight-loop
// measurement, so every report carries the same values and has the same size.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "BenchClient.h"
#include "LatencySamples.h"
#include "PinnedCpu.h"
#include "QuietStandardOutput.h"
#include "RawPingPong.h"
#include "ResidentMemory.h"
#include "Simulator.h"
#include "WireMessages.h"
#include "base/AutoreleasePool.h"
#include "base/BaseDictionary.h"
#include "io/BaseBuffer.h"
#include "io/IOBufferFilter.h"
#include "platform/NetworkInterfaces.h"
#include "plugin/BridgeStatus.h"
#include "plugin/BridgeSwitch.h"
#include "plugin/EncodedReport.h"
#include "plugin/GPSBridge.h"
#include "plugin/StatusWindow.h"
#include "serialization/BaseSerializer.h"

namespace {

// measureRoundTrips leaves the timing thread where it is.
constexpr int NoCpu = -1;

using Clock = std::chrono::steady_clock;

constexpr int WarmUpRoundTrips = 2000;
constexpr int RoundTripBlocks = 10;
constexpr int RoundTripsPerBlock = 2000;  // 20,000 of each kind in all
constexpr std::chrono::seconds ThroughputPeriod{3};
constexpr int MostClients = 17;
constexpr int StartStopRepetitions = 20;
constexpr int FlightLoopFrames = 200000;
constexpr int WindowDraws = 20000;
constexpr int StatusCaptures = 200;

[[noreturn]] void fail(const char* what) {
    fprintf(stderr, "bridge_figures: %s\n", what);
    exit(1);
}

double micros(std::chrono::nanoseconds duration) { return static_cast<double>(duration.count()) / 1000.0; }
double millis(std::chrono::nanoseconds duration) { return static_cast<double>(duration.count()) / 1e6; }

std::string loadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

GPSBridge* startBridge() {
    QuietStandardOutput quiet;
    return new GPSBridge(0);
}

void stopBridge(GPSBridge* bridge) {
    bridge->teardown();
    release(bridge);
}

// Waits until the bridge has adopted count clients: a login reply leaves before the connection joins the
// list.
void awaitClients(GPSBridge* bridge, uint32_t count) {
    auto giveUp = Clock::now() + std::chrono::seconds(10);
    while (bridge->clientCount() != count) {
        if (Clock::now() > giveUp) fail("the bridge did not adopt every client");
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

std::vector<std::unique_ptr<BenchClient>> loggedInClients(GPSBridge* bridge, const WireMessages& messages,
                                                          int count) {
    std::vector<std::unique_ptr<BenchClient>> clients;
    for (int i = 0; i < count; ++i) {
        clients.push_back(std::make_unique<BenchClient>(bridge->listeningPort(), messages));
        if (!clients.back()->logIn()) fail("login failed");
    }
    awaitClients(bridge, static_cast<uint32_t>(count));
    return clients;
}

template <class RoundTrip>
void timeRoundTrips(RoundTrip roundTrip, int count, LatencySamples* samples) {
    for (int i = 0; i < count; ++i) {
        Clock::time_point begin = Clock::now();
        if (!roundTrip()) fail("a round trip failed");
        samples->add(Clock::now() - begin);
    }
}

void printLatencyRow(const char* name, LatencySamples& samples) {
    printf("  %-26s %8.1f %8.1f %8.1f %8.1f %9.1f\n", name, micros(samples.percentile(0.5)),
           micros(samples.percentile(0.9)), micros(samples.percentile(0.99)), micros(samples.maximum()),
           samples.mean() / 1000.0);
}

// The bridge's threads and the raw pair's server thread run where the calling thread may run when they
// start; clientCpu (when not NoCpu) then moves the timing thread, the client of both, to that CPU.
void measureRoundTrips(uint16_t port, const WireMessages& messages, const char* placement,
                       int clientCpu = NoCpu) {
    BenchClient client(port, messages);
    if (!client.logIn()) fail("login failed");
    RawPingPong raw(messages.request.size(), messages.report.size());
    std::optional<PinnedCpu> clientSide;
    if (clientCpu != NoCpu) clientSide.emplace(clientCpu);
    auto throughBridge = [&] { return client.roundTrip(); };
    auto plain = [&] { return raw.roundTrip(); };
    LatencySamples warmUp;
    timeRoundTrips(throughBridge, WarmUpRoundTrips, &warmUp);
    timeRoundTrips(plain, WarmUpRoundTrips, &warmUp);
    if (!client.lastReportMatches()) fail("the report is not the bytes expected");
    LatencySamples bridgeSamples, rawSamples;
    bridgeSamples.reserve(RoundTripBlocks * RoundTripsPerBlock);
    rawSamples.reserve(RoundTripBlocks * RoundTripsPerBlock);
    for (int block = 0; block < RoundTripBlocks; ++block) {
        timeRoundTrips(throughBridge, RoundTripsPerBlock, &bridgeSamples);
        timeRoundTrips(plain, RoundTripsPerBlock, &rawSamples);
    }
    printf("Round trip over loopback, %s: request %zu bytes, report %zu bytes, %zu of each\n"
           "(after %d warm-up), alternating blocks of %d\n",
           placement, messages.request.size(), messages.report.size(), bridgeSamples.count(), WarmUpRoundTrips,
           RoundTripsPerBlock);
    printf("  %-26s %8s %8s %8s %8s %9s   (µs)\n", "", "p50", "p90", "p99", "max", "mean");
    printLatencyRow("position request (bridge)", bridgeSamples);
    printLatencyRow("raw ping-pong", rawSamples);
    printf("  %-26s %7.2fx %8s %7.2fx\n\n", "ratio bridge / raw",
           micros(bridgeSamples.percentile(0.5)) / micros(rawSamples.percentile(0.5)), "",
           micros(bridgeSamples.percentile(0.99)) / micros(rawSamples.percentile(0.99)));
}

// Round trips per second of parties that each poll as fast as they can on a thread of their own.
template <class Party>
double roundTripsPerSecond(std::vector<std::unique_ptr<Party>>& parties) {
    std::atomic<bool> go{false}, stop{false};
    std::vector<uint64_t> counts(parties.size(), 0);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < parties.size(); ++i) {
        threads.emplace_back([&, i] {
            while (!go.load()) std::this_thread::yield();
            while (!stop.load()) {
                if (!parties[i]->roundTrip()) fail("a round trip failed");
                ++counts[i];
            }
        });
    }
    Clock::time_point begin = Clock::now();
    go.store(true);
    std::this_thread::sleep_for(ThroughputPeriod);
    stop.store(true);
    for (std::thread& thread : threads) thread.join();
    std::chrono::duration<double> elapsed = Clock::now() - begin;
    uint64_t total = 0;
    for (uint64_t count : counts) total += count;
    return static_cast<double>(total) / elapsed.count();
}

// The bridge's clients against as many raw ping-pong pairs (a server thread each, as the bridge has a
// receive thread per connection): the pairs show what loopback and the threads' wake-ups allow at best.
void measureThroughput(GPSBridge* bridge, const WireMessages& messages) {
    printf("Round trips per second, each client polling as fast as it can for %lld s:\n",
           static_cast<long long>(ThroughputPeriod.count()));
    for (int count : {1, MostClients}) {
        double reports = 0;
        {
            auto clients = loggedInClients(bridge, messages, count);
            reports = roundTripsPerSecond(clients);
        }
        awaitClients(bridge, 0);
        std::vector<std::unique_ptr<RawPingPong>> pairs;
        for (int i = 0; i < count; ++i) {
            pairs.push_back(std::make_unique<RawPingPong>(messages.request.size(), messages.report.size()));
        }
        double raw = roundTripsPerSecond(pairs);
        printf("  %2d client%s %10.0f reports/s, raw ping-pong %10.0f /s, bridge / raw %.2f\n", count,
               count == 1 ? " " : "s", reports, raw, reports / raw);
    }
    printf("\n");
}

void measureResidentMemory(GPSBridge* bridge, const WireMessages& messages) {
    uint64_t before = residentBytes();
    auto clients = loggedInClients(bridge, messages, MostClients);
    for (auto& client : clients) {
        if (!client->roundTrip()) fail("a round trip failed");
    }
    uint64_t after = residentBytes();
    double perClient = (static_cast<double>(after) - static_cast<double>(before)) / MostClients / 1024.0;
    printf("Resident memory: %.1f MiB with no client, %.1f MiB with %d logged-in clients that each asked once:\n"
           "  %.0f KiB per client (both ends of the connection live in this process)\n\n",
           static_cast<double>(before) / 1048576.0, static_cast<double>(after) / 1048576.0, MostClients, perClient);
    clients.clear();
    awaitClients(bridge, 0);
}

// What the bridge's receive thread does for one request besides the two system calls, on memory streams:
// recognise the usual request by its bytes in the read-ahead, take the report's bytes (encoded once per
// generation; the simulator is frozen here, so that is once in all) and copy them out, drain the pool. The
// round trip's excess over the raw ping-pong is mostly this.
class RequestWork {
public:
    static constexpr uint32_t ReadAheadBytes = 4096;

    RequestWork(GPSBridge* bridge, const WireMessages& messages)
        : bridge_(bridge), input_(createAutoreleased<BaseBuffer>()), output_(createAutoreleased<BaseBuffer>()) {
        input_->append(messages.request.data(), messages.request.size());
        reader_ = createAutoreleased<IOBufferFilter>(input_, ReadAheadBytes, ReadAheadBytes);
    }

    // One request, as the receive thread handles it. Kept out of line so that callgrind can count it alone.
    __attribute__((noinline)) void answerOne() {
        AutoreleasePool each;
        input_->setPosition(0);
        output_->setLength(0);
        if (!reader_->fillReadAhead() || !reader_->consumeIfNext(GPSBridge::usualPositionRequest())) {
            fail("the request was not recognised");
        }
        EncodedReport* report = bridge_->encodedPositionReport();
        output_->write(report->bytes(), report->length());
        release(report);
    }

private:
    GPSBridge* bridge_;
    BaseBuffer* input_;
    IOBufferFilter* reader_ = nullptr;
    BaseBuffer* output_;
};

void measureRequestWork(GPSBridge* bridge, const WireMessages& messages) {
    AutoreleasePool pool;
    RequestWork work(bridge, messages);
    LatencySamples samples;
    samples.reserve(RoundTripBlocks * RoundTripsPerBlock);
    for (int i = 0; i < RoundTripBlocks * RoundTripsPerBlock; ++i) {
        Clock::time_point begin = Clock::now();
        work.answerOne();
        samples.add(Clock::now() - begin);
    }
    printf("Work of one request on memory streams (recognise its bytes, copy the encoded report, drain):\n"
           "  p50 %.1f µs, p99 %.1f µs, mean %.1f µs\n\n",
           micros(samples.percentile(0.5)), micros(samples.percentile(0.99)), samples.mean() / 1000.0);
}

void printMillisRow(const char* name, LatencySamples& samples) {
    printf("  %-32s median %7.2f ms  max %7.2f ms  (%zu runs)\n", name, millis(samples.percentile(0.5)),
           millis(samples.maximum()), samples.count());
}

void measureStartAndStop(const WireMessages& messages) {
    LatencySamples starts, stops;
    for (int i = 0; i < StartStopRepetitions; ++i) {
        GPSBridge* bridge = nullptr;
        {
            QuietStandardOutput quiet;
            Clock::time_point begin = Clock::now();
            bridge = new GPSBridge(0);
            starts.add(Clock::now() - begin);
        }
        auto clients = loggedInClients(bridge, messages, MostClients);
        Clock::time_point begin = Clock::now();
        bridge->teardown();
        stops.add(Clock::now() - begin);
        release(bridge);
    }
    printf("On the simulator's thread (DNS-SD unreachable):\n");
    printMillisRow("Start (GPSBridge construction)", starts);
    printMillisRow("Stop with 17 clients (teardown)", stops);
    printf("\n");
}

std::chrono::nanoseconds runFrames(int frames) {
    Clock::time_point begin = Clock::now();
    for (int i = 0; i < frames; ++i) simulator().flightLoops.runFrame();
    return Clock::now() - begin;
}

void measureFlightLoop() {
    std::chrono::nanoseconds without = runFrames(FlightLoopFrames);
    GPSBridge* bridge = startBridge();
    runFrames(FlightLoopFrames / 10);  // warm-up
    std::chrono::nanoseconds with = runFrames(FlightLoopFrames);
    stopBridge(bridge);
    double perFrameWith = static_cast<double>(with.count()) / FlightLoopFrames;
    double perFrameWithout = static_cast<double>(without.count()) / FlightLoopFrames;
    printf("Flight loop, %d frames of simhost's scheduler:\n"
           "  %.0f ns a frame with the bridge running, %.0f ns without: the bridge adds %.0f ns a frame\n\n",
           FlightLoopFrames, perFrameWith, perFrameWithout, perFrameWith - perFrameWithout);
}

// The status window with 17 apps logged in, as the menu's start and "Show bridge status" make it (the bridge
// on port 21777): one run of its draw callback as simhost draws a frame (simhost's recording of the strings
// included), one capture of its text (once a second while it shows), and the frame's cost with the window
// hidden against the frame's cost before it was ever shown.
void measureStatusWindow(const WireMessages& messages) {
    BridgeSwitch::setEnabled(true);
    {
        QuietStandardOutput quiet;
        BridgeSwitch::start();
    }
    GPSBridge* bridge = BridgeSwitch::current();
    if (!bridge) {
        printf("Status window: not measured, port %u is taken\n\n", GPSBridge::BridgePort);
        return;
    }
    auto clients = loggedInClients(bridge, messages, MostClients);
    for (auto& client : clients) client->roundTrip();
    runFrames(FlightLoopFrames / 10);  // warm-up
    std::chrono::nanoseconds before = runFrames(FlightLoopFrames);
    StatusWindow::toggle();
    Clock::time_point begin = Clock::now();
    size_t strings = 0;
    for (int i = 0; i < WindowDraws; ++i) {
        for (const WindowRegistry::Drawing& drawing : simulator().windows.drawVisible()) strings += drawing.strings.size();
    }
    std::chrono::nanoseconds draws = Clock::now() - begin;
    begin = Clock::now();
    for (int i = 0; i < StatusCaptures; ++i) BridgeStatus::capture(localInterfaceAddresses());
    std::chrono::nanoseconds captures = Clock::now() - begin;
    StatusWindow::toggle();
    std::chrono::nanoseconds hidden = runFrames(FlightLoopFrames);
    StatusWindow::destroy();
    clients.clear();
    BridgeSwitch::stopIfRunning();
    printf("Status window with %d apps logged in (%zu lines):\n"
           "  draw callback, as simhost draws a frame: %.2f us\n"
           "  capture of its text (once a second while it shows): %.1f us\n"
           "  frame with the bridge, before the window was shown: %.0f ns; with it hidden: %.0f ns\n\n",
           MostClients, strings / WindowDraws, micros(draws) / WindowDraws, micros(captures) / StatusCaptures,
           static_cast<double>(before.count()) / FlightLoopFrames,
           static_cast<double>(hidden.count()) / FlightLoopFrames);
}

// Only the work of count requests on memory streams, for instruction counts under callgrind:
//   valgrind --tool=callgrind --toggle-collect='*RequestWork::answerOne*' zephrane_bridge_figures --request-work 2000
void runRequestWorkOnly(int count) {
    AutoreleasePool pool;
    GPSBridge* bridge = startBridge();
    {
        WireMessages messages = WireMessages::forBridge(*bridge);
        RequestWork work(bridge, messages);
        for (int i = 0; i < count; ++i) work.answerOne();
    }
    stopBridge(bridge);
}

// A bridge in another process (simhost with its model frozen, so that every report is the same bytes):
// the report is learnt from the first answer, then round trips are timed against a raw ping-pong of the
// same sizes in this process. Run both processes on one CPU (bench/through_simhost.sh does).
void measureAnotherProcess(uint16_t port) {
    WireMessages messages = WireMessages::withoutReport();
    BenchClient client(port, messages);
    if (!client.logIn()) fail("login failed");
    messages.report = client.learnReport();
    if (messages.report.empty()) fail("no report came");
    printf("Load average before: %s\n\n", loadAverage().c_str());
    measureRoundTrips(port, messages, "a bridge in another process");
    printf("Load average after: %s\n", loadAverage().c_str());
}

}  // namespace

int main(int argc, char** argv) {
    // Without DNS-SD: the bridges started here find no bus to register on.
    setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/zephrane-bench-bus", 1);
    simulator().threadGuard.bindToCurrentThread();
    simulator().model.freeze();
    if (argc == 3 && std::string(argv[1]) == "--request-work") {
        runRequestWorkOnly(std::atoi(argv[2]));
        return 0;
    }
    if (argc == 3 && std::string(argv[1]) == "--against") {
        measureAnotherProcess(static_cast<uint16_t>(std::atoi(argv[2])));
        return 0;
    }
    if (argc == 2 && std::string(argv[1]) == "--status-window") {
        AutoreleasePool pool;
        GPSBridge* bridge = startBridge();
        WireMessages messages = WireMessages::forBridge(*bridge);
        stopBridge(bridge);
        measureStatusWindow(messages);
        return 0;
    }
    if (argc == 2 && std::string(argv[1]) == "--throughput") {
        AutoreleasePool pool;
        GPSBridge* bridge = startBridge();
        measureThroughput(bridge, WireMessages::forBridge(*bridge));
        stopBridge(bridge);
        return 0;
    }
    PinnedCpu::usableCpus();  // notes the CPUs before anything is pinned
    printf("Load average before: %s\n\n", loadAverage().c_str());
    {
        AutoreleasePool pool;
        GPSBridge* bridge = startBridge();
        WireMessages messages = WireMessages::forBridge(*bridge);
        measureResidentMemory(bridge, messages);
        measureRoundTrips(bridge->listeningPort(), messages, "threads placed freely");
        measureRequestWork(bridge, messages);
        measureThroughput(bridge, messages);
        stopBridge(bridge);
        {
            PinnedCpu pinned(0);  // the bridge's threads, started from here, inherit it
            GPSBridge* pinnedBridge = startBridge();
            measureRoundTrips(pinnedBridge->listeningPort(), messages, "every thread on one CPU");
            stopBridge(pinnedBridge);
        }
        if (PinnedCpu::usableCpus() > 1) {
            PinnedCpu serverSide(1);  // the bridge's threads and the raw pair's server start here
            GPSBridge* splitBridge = startBridge();
            measureRoundTrips(splitBridge->listeningPort(), messages, "clients on one CPU, servers on another", 0);
            stopBridge(splitBridge);
        }
        measureStartAndStop(messages);
        measureFlightLoop();
        measureStatusWindow(messages);
    }
    printf("Load average after: %s\n", loadAverage().c_str());
    return 0;
}
