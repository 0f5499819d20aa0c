#include "HostileConnection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

HostileConnection::HostileConnection(uint16_t port) {
    socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket_ < 0) return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(socket_);
        socket_ = -1;
    }
}

HostileConnection::~HostileConnection() {
    if (socket_ >= 0) ::close(socket_);
}

bool HostileConnection::sendAll(const uint8_t* bytes, size_t count) {
    while (count > 0) {
        ssize_t sent = ::send(socket_, bytes, count, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        bytes += sent;
        count -= static_cast<size_t>(sent);
    }
    return true;
}

bool HostileConnection::waitReadable(int milliseconds) const {
    pollfd watched{socket_, POLLIN, 0};
    return ::poll(&watched, 1, milliseconds) > 0;
}

void HostileConnection::drainReplies() {
    auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(MostDrainMilliseconds);
    int wait = FirstReplyMilliseconds;
    uint8_t scratch[4096];
    while (std::chrono::steady_clock::now() < giveUp && waitReadable(wait)) {
        if (::recv(socket_, scratch, sizeof(scratch), MSG_DONTWAIT) <= 0) return;  // closed by the bridge
        wait = QuietMilliseconds;
    }
}
