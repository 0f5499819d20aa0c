#include "RawPingPong.h"

RawPingPong::RawPingPong(size_t requestBytes, size_t replyBytes)
    : request_(requestBytes, 0x15), reply_(replyBytes, 0x0D), received_(replyBytes) {
    client_ = PlainSocket::connectLoopback(listener_.port());
    server_ = std::thread(&RawPingPong::serve, this, listener_.accept());
}

RawPingPong::~RawPingPong() {
    client_.close();  // the server sees the end of the stream and returns
    server_.join();
}

bool RawPingPong::roundTrip() {
    return client_.sendAll(request_.data(), request_.size()) &&
           client_.receiveExactly(received_.data(), received_.size());
}

void RawPingPong::serve(PlainSocket socket) {
    std::vector<uint8_t> request(request_.size());
    while (socket.receiveExactly(request.data(), request.size()) && socket.sendAll(reply_.data(), reply_.size())) {
    }
}
