#include "PlainSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <utility>

namespace {

sockaddr_in loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

}  // namespace

PlainSocket::~PlainSocket() { close(); }

PlainSocket::PlainSocket(PlainSocket&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}

PlainSocket& PlainSocket::operator=(PlainSocket&& other) noexcept {
    if (this != &other) {
        close();
        descriptor_ = std::exchange(other.descriptor_, -1);
    }
    return *this;
}

PlainSocket PlainSocket::connectLoopback(uint16_t port) {
    int descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(port);
    if (descriptor >= 0 && ::connect(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(descriptor);
        descriptor = -1;
    }
    return PlainSocket(descriptor);
}

bool PlainSocket::sendAll(const uint8_t* bytes, size_t count) {
    while (count > 0) {
        ssize_t sent = ::send(descriptor_, bytes, count, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        bytes += sent;
        count -= static_cast<size_t>(sent);
    }
    return true;
}

bool PlainSocket::receiveExactly(uint8_t* bytes, size_t count) {
    while (count > 0) {
        ssize_t received = ::recv(descriptor_, bytes, count, 0);
        if (received <= 0) return false;
        bytes += received;
        count -= static_cast<size_t>(received);
    }
    return true;
}

void PlainSocket::close() {
    if (descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = -1;
}

PlainListener::PlainListener() {
    descriptor_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof(address);
    if (descriptor_ < 0 || ::bind(descriptor_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(descriptor_, 5) != 0 ||
        ::getsockname(descriptor_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return;
    }
    port_ = ntohs(address.sin_port);
}

PlainListener::~PlainListener() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

PlainSocket PlainListener::accept() { return PlainSocket(::accept4(descriptor_, nullptr, nullptr, SOCK_CLOEXEC)); }
