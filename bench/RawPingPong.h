// RawPingPong: the floor loopback allows for one request and its report. Two plain sockets in this
// process: a server thread that reads requestBytes and answers with replyBytes, and the client side that
// the benchmark times. Same sizes as the bridge's messages, same default socket options, one send each way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <thread>
#include <vector>

#include "PlainSocket.h"

class RawPingPong {
public:
    RawPingPong(size_t requestBytes, size_t replyBytes);
    ~RawPingPong();
    RawPingPong(const RawPingPong&) = delete;
    RawPingPong& operator=(const RawPingPong&) = delete;

    // Client side: sends the request and waits for the whole reply.
    bool roundTrip();

private:
    void serve(PlainSocket socket);

    std::vector<uint8_t> request_;
    std::vector<uint8_t> reply_;
    std::vector<uint8_t> received_;
    PlainListener listener_;
    PlainSocket client_;
    std::thread server_;
};
