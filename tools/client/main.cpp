// zephrane-client: the reference client of the bridge. Finds the bridge (by DNS-SD, the first to answer or
// the one --name names, or at --host), logs in, then polls position reports and prints them, or measures
// request latency with --bench. --list prints the bridges DNS-SD finds instead.
// Exit status: 0 done (--list: one found at least), 1 bad usage or no bridge reachable (--list: none found),
// 2 connection lost, 3 login refused.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "BridgeChoice.h"
#include "BridgeConnection.h"
#include "ClientOptions.h"
#include "ReportPrinter.h"
#include "base/AutoreleasePool.h"
#include "base/BaseString.h"
#include "discovery/MDnsWrapper.h"
#include "distant/BaseMD5.h"
#include "distant/BridgeCredential.h"

namespace {

using Clock = std::chrono::steady_clock;

enum ExitStatus { Done = 0, Unreachable = 1, Lost = 2, Refused = 3 };

int poll(BridgeConnection& connection, const ClientOptions& options) {
    ReportPrinter printer(stdout, options.json);
    auto start = Clock::now();
    auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / options.rate));
    auto next = start;
    for (uint64_t printed = 0; options.count == 0 || printed < options.count; ++printed) {
        AutoreleasePool pool;
        BaseDictionary* report = connection.sendRequest() ? connection.receiveReport() : nullptr;
        if (!report) {
            std::fprintf(stderr, "zephrane-client: connection lost\n");
            return Lost;
        }
        printer.print(report, std::chrono::duration<double>(Clock::now() - start).count());
        next += period;
        std::this_thread::sleep_until(next);
    }
    return Done;
}

// A connection to the first of addresses that takes one; each that does not is named on the error output.
std::unique_ptr<BridgeConnection> connectToFirst(const std::vector<std::string>& addresses, uint16_t port) {
    for (const std::string& address : addresses) {
        auto connection = std::make_unique<BridgeConnection>();
        if (connection->open(address, port)) return connection;
        std::fprintf(stderr, "zephrane-client: cannot connect to %s port %u\n", address.c_str(), port);
    }
    return nullptr;
}

double percentile(const std::vector<double>& sorted, double fraction) {
    size_t index = static_cast<size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(index, sorted.size() - 1)];
}

int bench(BridgeConnection& connection, uint64_t requests) {
    std::vector<double> microseconds;
    microseconds.reserve(requests);
    auto start = Clock::now();
    for (uint64_t i = 0; i < requests; ++i) {
        AutoreleasePool pool;
        auto sent = Clock::now();
        if (!connection.sendRequest() || !connection.receiveReport()) {
            std::fprintf(stderr, "zephrane-client: connection lost after %llu reports\n",
                         static_cast<unsigned long long>(i));
            return Lost;
        }
        microseconds.push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::sort(microseconds.begin(), microseconds.end());
    std::printf("requests %llu  p50 %.1f us  p90 %.1f us  p99 %.1f us  max %.1f us  %.0f reports/s\n",
                static_cast<unsigned long long>(requests), percentile(microseconds, 0.50),
                percentile(microseconds, 0.90), percentile(microseconds, 0.99), microseconds.back(),
                static_cast<double>(requests) / seconds);
    return Done;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    std::optional<ClientOptions> options = parseClientOptions(argc, argv, &error);
    if (!options) {
        std::fputs(error.c_str(), stderr);
        return Unreachable;
    }
    prepareProcessForDnsSd();
    AutoreleasePool pool;
    if (options->list) return listBridges(*options) ? Done : Unreachable;
    std::optional<ChosenBridge> bridge = ChosenBridge{{options->host}, options->port};
    if (options->host.empty()) bridge = chooseBridge(*options);
    if (!bridge) return Unreachable;
    std::unique_ptr<BridgeConnection> connected = connectToFirst(bridge->addresses, bridge->port);
    if (!connected) return Unreachable;
    BridgeConnection& connection = *connected;
    std::string password = options->password;
    if (password.empty()) password = md5HexString(constantString(BridgePassPhrase))->chars();
    std::string deviceName;
    int32_t code = connection.login(options->userAgent, password, &deviceName);
    if (code != 0) {
        std::fprintf(stderr, "zephrane-client: login %s (code %d)\n", loginResultText(code), code);
        return code < 0 ? Lost : Refused;
    }
    std::fprintf(stderr, "zephrane-client: logged in to \"%s\"\n", deviceName.c_str());
    return options->bench > 0 ? bench(connection, options->bench) : poll(connection, *options);
}
