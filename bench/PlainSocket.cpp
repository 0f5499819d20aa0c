#include "PlainSocket.h"

#include <utility>

namespace {

constexpr const char* Loopback = "127.0.0.1";
constexpr int Backlog = 5;

bool loopbackAddress(uint16_t port, SocketAddress* address) {
    std::vector<SocketAddress> found = resolveHost(Loopback, port);
    if (found.empty()) return false;
    *address = found.front();
    return true;
}

}  // namespace

PlainSocket::~PlainSocket() { close(); }

PlainSocket::PlainSocket(PlainSocket&& other) noexcept : socket_(std::exchange(other.socket_, InvalidSocket)) {}

PlainSocket& PlainSocket::operator=(PlainSocket&& other) noexcept {
    if (this != &other) {
        close();
        socket_ = std::exchange(other.socket_, InvalidSocket);
    }
    return *this;
}

PlainSocket PlainSocket::connectLoopback(uint16_t port) {
    SocketAddress address;
    if (!startSockets() || !loopbackAddress(port, &address)) return PlainSocket();
    SocketHandle socket = createStreamSocket(addressFamily(address));
    if (socket != InvalidSocket && !connectSocket(socket, address)) {
        closeSocket(socket);
        socket = InvalidSocket;
    }
    return PlainSocket(socket);
}

bool PlainSocket::sendAll(const uint8_t* bytes, size_t count) {
    while (count > 0) {
        int64_t sent = sendSome(socket_, bytes, count);
        if (sent <= 0) return false;
        bytes += sent;
        count -= static_cast<size_t>(sent);
    }
    return true;
}

std::vector<uint8_t> PlainSocket::receiveUntilQuiet(int quietMs) {
    std::vector<uint8_t> received;
    uint8_t chunk[4096];
    while (waitForSocket(socket_, SocketReadable, quietMs, nullptr) & SocketReadable) {
        int64_t count = receiveSome(socket_, chunk, sizeof chunk);
        if (count <= 0) break;
        received.insert(received.end(), chunk, chunk + count);
    }
    return received;
}

bool PlainSocket::receiveExactly(uint8_t* bytes, size_t count) {
    while (count > 0) {
        int64_t received = receiveSome(socket_, bytes, count);
        if (received <= 0) return false;
        bytes += received;
        count -= static_cast<size_t>(received);
    }
    return true;
}

void PlainSocket::close() {
    if (socket_ != InvalidSocket) closeSocket(socket_);
    socket_ = InvalidSocket;
}

PlainListener::PlainListener() {
    SocketAddress address;
    if (!startSockets() || !loopbackAddress(0, &address)) return;
    socket_ = createStreamSocket(addressFamily(address));
    if (socket_ == InvalidSocket || bindAndListen(socket_, address, Backlog) != ListenResult::Listening ||
        !localAddress(socket_, &address)) {
        return;
    }
    port_ = addressPort(address);
}

PlainListener::~PlainListener() {
    if (socket_ != InvalidSocket) closeSocket(socket_);
}

PlainSocket PlainListener::accept() {
    SocketHandle accepted = InvalidSocket;
    SocketAddress peer;
    return acceptConnection(socket_, &accepted, &peer) == AcceptResult::Accepted ? PlainSocket(accepted)
                                                                                  : PlainSocket();
}
