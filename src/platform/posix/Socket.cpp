#include "platform/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

static_assert(sizeof(sockaddr_in) == sizeof(SocketAddress::bytes), "an IPv4 address block is 16 bytes");

sockaddr_in* asIPv4(SocketAddress* address) { return reinterpret_cast<sockaddr_in*>(address->bytes); }
const sockaddr_in* asIPv4(const SocketAddress& address) {
    return reinterpret_cast<const sockaddr_in*>(address.bytes);
}
const sockaddr* asGeneric(const SocketAddress& address) { return reinterpret_cast<const sockaddr*>(address.bytes); }

int fd(SocketHandle socket) { return static_cast<int>(socket); }

int flagsFrom(short events) {
    int flags = 0;
    // A hang-up or error makes the next receive or send report it, so it counts as ready.
    if (events & (POLLIN | POLLHUP | POLLERR)) flags |= SocketReadable;
    if (events & (POLLOUT | POLLHUP | POLLERR)) flags |= SocketWritable;
    if (events & (POLLPRI | POLLNVAL)) flags |= SocketException;
    return flags;
}

// A signal that interrupts the wait does not end it: poll runs again for the time that is left, so that a
// signal arriving during a timed read or write is not taken for its time-out.
int pollUntilDeadline(pollfd* watched, nfds_t count, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        int ready = ::poll(watched, count, timeoutMs);
        if (ready >= 0 || errno != EINTR) return ready;
        if (timeoutMs > 0) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            timeoutMs = static_cast<int>(std::max<int64_t>(left, 0));
        }
    }
}

}  // namespace

WakeChannel::WakeChannel() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        readEnd_ = ends[0];
        writeEnd_ = ends[1];
    }
}

WakeChannel::~WakeChannel() {
    if (readEnd_ >= 0) ::close(fd(readEnd_));
    if (writeEnd_ >= 0) ::close(fd(writeEnd_));
}

void WakeChannel::signal() {
    char byte = 1;
    if (writeEnd_ >= 0) (void)!::write(fd(writeEnd_), &byte, 1);
}

void WakeChannel::drain() {
    char bytes[64];
    while (readEnd_ >= 0 && ::read(fd(readEnd_), bytes, sizeof(bytes)) > 0) {
    }
}

bool startSockets() { return true; }

SocketHandle createStreamSocket() {
    int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return socket < 0 ? InvalidSocket : socket;
}

void setStreamSocketOptions(SocketHandle socket, int bufferBytes) {
    int one = 1;
    setsockopt(fd(socket), SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    setsockopt(fd(socket), SOL_SOCKET, SO_SNDBUF, &bufferBytes, sizeof(bufferBytes));
    setsockopt(fd(socket), SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof(bufferBytes));
}

// Probes only start on an idle connection; the user time-out gives up as soon on data that stays
// unacknowledged, so a peer that vanished with a report in flight is found as quickly.
bool enableKeepAlive(SocketHandle socket, const KeepAliveTiming& timing) {
    int one = 1;
    unsigned int giveUpMs =
        static_cast<unsigned int>(timing.idleSeconds + timing.intervalSeconds * timing.probes) * 1000u;
    return setsockopt(fd(socket), SOL_SOCKET, SO_KEEPALIVE, &one, sizeof(one)) == 0 &&
           setsockopt(fd(socket), IPPROTO_TCP, TCP_KEEPIDLE, &timing.idleSeconds, sizeof(int)) == 0 &&
           setsockopt(fd(socket), IPPROTO_TCP, TCP_KEEPINTVL, &timing.intervalSeconds, sizeof(int)) == 0 &&
           setsockopt(fd(socket), IPPROTO_TCP, TCP_KEEPCNT, &timing.probes, sizeof(int)) == 0 &&
           setsockopt(fd(socket), IPPROTO_TCP, TCP_USER_TIMEOUT, &giveUpMs, sizeof(giveUpMs)) == 0;
}

bool resolveIPv4Address(const char* host, uint16_t port, SocketAddress* address) {
    sockaddr_in* ipv4 = asIPv4(address);
    std::memset(address->bytes, 0, sizeof(address->bytes));
    ipv4->sin_family = AF_INET;
    ipv4->sin_port = htons(port);
    if (!host) {
        ipv4->sin_addr.s_addr = htonl(INADDR_ANY);
        return true;
    }
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) return false;
    ipv4->sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return true;
}

bool bindAndListen(SocketHandle socket, const SocketAddress& address, int backlog) {
    return ::bind(fd(socket), asGeneric(address), sizeof(sockaddr_in)) == 0 && ::listen(fd(socket), backlog) == 0;
}

bool connectSocket(SocketHandle socket, const SocketAddress& address) {
    int result;
    do {
        result = ::connect(fd(socket), asGeneric(address), sizeof(sockaddr_in));
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

AcceptResult acceptConnection(SocketHandle listener, SocketHandle* accepted, SocketAddress* peer) {
    socklen_t length = sizeof(peer->bytes);
    int socket = ::accept4(fd(listener), reinterpret_cast<sockaddr*>(peer->bytes), &length, SOCK_CLOEXEC);
    if (socket >= 0) {
        *accepted = socket;
        return AcceptResult::Accepted;
    }
    switch (errno) {
        case EBADF:
        case EINVAL:
        case ENOTSOCK:
        case EOPNOTSUPP:
        case EFAULT:
            return AcceptResult::Failed;
        default:
            return AcceptResult::TryAgain;
    }
}

int waitForSocket(SocketHandle socket, int interest, int timeoutMs, WakeChannel* wake) {
    pollfd watched[2] = {};
    watched[0].fd = fd(socket);
    watched[0].events = POLLPRI;
    if (interest & SocketReadable) watched[0].events |= POLLIN;
    if (interest & SocketWritable) watched[0].events |= POLLOUT;
    nfds_t count = 1;
    if (wake && wake->handle() >= 0) {
        watched[1].fd = fd(wake->handle());
        watched[1].events = POLLIN;
        count = 2;
    }
    int ready = pollUntilDeadline(watched, count, timeoutMs);
    if (ready < 0) return -1;
    if (ready == 0) return 0;
    int flags = flagsFrom(watched[0].revents) & (interest | SocketException);
    if (count == 2 && watched[1].revents) flags |= SocketWoken;
    return flags;
}

int64_t receiveSome(SocketHandle socket, void* destination, uint64_t count) {
    ssize_t received;
    do {
        received = ::recv(fd(socket), destination, count, 0);
    } while (received < 0 && errno == EINTR);
    return received;
}

int64_t sendSome(SocketHandle socket, const void* source, uint64_t count) {
    ssize_t sent;
    do {
        sent = ::send(fd(socket), source, count, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent;
}

void shutdownSocket(SocketHandle socket) { ::shutdown(fd(socket), SHUT_RDWR); }

void closeSocket(SocketHandle socket) { ::close(fd(socket)); }

uint16_t toNetworkOrder(uint16_t value) { return htons(value); }

std::string addressText(const SocketAddress& address) {
    char text[INET_ADDRSTRLEN] = {};
    if (!inet_ntop(AF_INET, &asIPv4(address)->sin_addr, text, sizeof(text))) return std::string();
    return text;
}

uint16_t addressPort(const SocketAddress& address) { return ntohs(asIPv4(address)->sin_port); }

bool localAddress(SocketHandle socket, SocketAddress* address) {
    socklen_t length = sizeof(address->bytes);
    return getsockname(fd(socket), reinterpret_cast<sockaddr*>(address->bytes), &length) == 0;
}
