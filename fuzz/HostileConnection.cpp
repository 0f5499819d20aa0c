#include "HostileConnection.h"

#include <chrono>

namespace {

constexpr const char* Loopback = "127.0.0.1";

}  // namespace

HostileConnection::HostileConnection(uint16_t port) {
    SocketAddress address;
    if (!startSockets() || !resolveIPv4Address(Loopback, port, &address)) return;
    socket_ = createStreamSocket();
    if (socket_ != InvalidSocket && !connectSocket(socket_, address)) {
        closeSocket(socket_);
        socket_ = InvalidSocket;
    }
}

HostileConnection::~HostileConnection() {
    if (socket_ != InvalidSocket) closeSocket(socket_);
}

bool HostileConnection::sendAll(const uint8_t* bytes, size_t count) {
    while (count > 0) {
        int64_t sent = sendSome(socket_, bytes, count);
        if (sent <= 0) return false;
        bytes += sent;
        count -= static_cast<size_t>(sent);
    }
    return true;
}

bool HostileConnection::waitReadable(int milliseconds) const {
    return waitForSocket(socket_, SocketReadable, milliseconds, nullptr) > 0;
}

// A wait that saw the socket readable guarantees the receive returns at once.
void HostileConnection::drainReplies() {
    auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(MostDrainMilliseconds);
    int wait = FirstReplyMilliseconds;
    uint8_t scratch[4096];
    while (std::chrono::steady_clock::now() < giveUp && waitReadable(wait)) {
        if (receiveSome(socket_, scratch, sizeof(scratch)) <= 0) return;  // closed by the bridge
        wait = QuietMilliseconds;
    }
}
