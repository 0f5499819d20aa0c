#include "BenchClient.h"

BenchClient::BenchClient(uint16_t port, const WireMessages& messages)
    : messages_(messages), socket_(PlainSocket::connectLoopback(port)) {}

bool BenchClient::logIn() {
    std::vector<uint8_t> reply(messages_.loginReply.size());
    return socket_.sendAll(messages_.login.data(), messages_.login.size()) &&
           socket_.receiveExactly(reply.data(), reply.size()) && reply == messages_.loginReply;
}

bool BenchClient::roundTrip() {
    received_.resize(messages_.report.size());
    return socket_.sendAll(messages_.request.data(), messages_.request.size()) &&
           socket_.receiveExactly(received_.data(), received_.size());
}

std::vector<uint8_t> BenchClient::learnReport() {
    constexpr int QuietMilliseconds = 300;
    if (!socket_.sendAll(messages_.request.data(), messages_.request.size())) return {};
    return socket_.receiveUntilQuiet(QuietMilliseconds);
}
