// BenchClient: a client of the bridge on a plain loopback socket that sends the prepared bytes of
// WireMessages and reads back exactly the expected number of bytes, so that timing it measures the bridge
// and loopback and nothing of a client-side decoder.
#pragma once

#include <vector>

#include "PlainSocket.h"
#include "WireMessages.h"

class BenchClient {
public:
    BenchClient(uint16_t port, const WireMessages& messages);

    // Sends the login; true when the expected successful reply came back.
    bool logIn();
    // One position request and its report; true when a report of the expected size came back.
    bool roundTrip();
    // Sends one request and gives back every byte that arrives until nothing more comes for a while: the
    // report of a bridge whose values stay as they are.
    std::vector<uint8_t> learnReport();
    // Whether the last report held exactly the bytes expected.
    bool lastReportMatches() const { return received_ == messages_.report; }

private:
    const WireMessages& messages_;
    PlainSocket socket_;
    std::vector<uint8_t> received_;
};
