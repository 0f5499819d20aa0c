// WireMessages: the exact bytes the benchmark's clients exchange with a bridge, encoded once with the
// foundation's serializer: the app's login and the reply it gets, a position request, and the report the
// bridge answers with while its snapshot stays as it is (no simulator frame runs during the benchmark, so
// every report is the same bytes).
#pragma once

#include <cstdint>
#include <vector>

class GPSBridge;

struct WireMessages {
    std::vector<uint8_t> login;
    std::vector<uint8_t> loginReply;
    std::vector<uint8_t> request;
    std::vector<uint8_t> report;

    static WireMessages forBridge(const GPSBridge& bridge);
    // Everything but the report, for a bridge whose values this process does not know.
    static WireMessages withoutReport();
};
