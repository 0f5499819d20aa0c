#include "platform/Socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include "platform/posix/Pipe.h"
#include "platform/posix/SocketCalls.h"

namespace {

static_assert(sizeof(sockaddr_storage) <= SocketAddress::Capacity, "every socket address fits the block");
static_assert(alignof(sockaddr_storage) <= alignof(SocketAddress), "the block is aligned for any address");

template <class Native>
SocketAddress addressFrom(const Native& native) {
    SocketAddress address;
    std::memcpy(address.bytes, &native, sizeof(native));
    address.length = sizeof(native);
    return address;
}

// A copy of the block in the system's type; the part beyond the address's length reads as zero.
template <class Native>
Native nativeOf(const SocketAddress& address) {
    Native native{};
    std::memcpy(&native, address.bytes, std::min<size_t>(sizeof(native), address.length));
    return native;
}

const sockaddr* generic(const SocketAddress& address) { return reinterpret_cast<const sockaddr*>(address.bytes); }

std::string numericText(int family, const void* ip) {
    char text[INET6_ADDRSTRLEN] = {};
    return inet_ntop(family, ip, text, sizeof(text)) ? text : std::string();
}

// IPv4 peers of a socket listening on the IPv6 wildcard arrive as ::ffff:a.b.c.d; the IPv4 text is the one
// people know.
std::string ipv6Text(const in6_addr& ip) {
    if (!IN6_IS_ADDR_V4MAPPED(&ip)) return numericText(AF_INET6, &ip);
    in_addr ipv4;
    std::memcpy(&ipv4, ip.s6_addr + 12, sizeof(ipv4));
    return numericText(AF_INET, &ipv4);
}

// Without this the system decides: Linux follows net.ipv6.bindv6only, the BSDs and macOS take IPv6 alone.
bool takeIPv4PeersToo(int socket) {
    int off = 0;
    return setsockopt(socket, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof(off)) == 0;
}

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
    if (openPipe(ends, true)) {
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

SocketHandle createStreamSocket(AddressFamily family) {
    if (family == AddressFamily::Unknown) return InvalidSocket;
    int socket = openStreamSocket(family == AddressFamily::IPv6 ? AF_INET6 : AF_INET);
    return socket < 0 ? InvalidSocket : socket;
}

void setStreamSocketOptions(SocketHandle socket, int bufferBytes) {
    int one = 1;
    setsockopt(fd(socket), SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    setsockopt(fd(socket), SOL_SOCKET, SO_SNDBUF, &bufferBytes, sizeof(bufferBytes));
    setsockopt(fd(socket), SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof(bufferBytes));
}

bool enableKeepAlive(SocketHandle socket, const KeepAliveTiming& timing) {
    return setKeepAliveTiming(fd(socket), timing);
}

bool limitSendWait(SocketHandle socket, int seconds) {
    timeval limit{seconds, 0};
    return setsockopt(fd(socket), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit)) == 0;
}

// AI_ADDRCONFIG is left out on purpose: it hides ::1 on a host whose only IPv6 address is the loopback one.
std::vector<SocketAddress> resolveHost(const char* host, uint16_t port) {
    std::vector<SocketAddress> found;
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* answers = nullptr;
    if (!host || getaddrinfo(host, std::to_string(port).c_str(), &hints, &answers) != 0) return found;
    for (const addrinfo* answer = answers; answer; answer = answer->ai_next) {
        if (answer->ai_family != AF_INET && answer->ai_family != AF_INET6) continue;
        if (answer->ai_addrlen > SocketAddress::Capacity) continue;
        SocketAddress address;
        std::memcpy(address.bytes, answer->ai_addr, answer->ai_addrlen);
        address.length = static_cast<uint32_t>(answer->ai_addrlen);
        found.push_back(address);
    }
    freeaddrinfo(answers);
    return found;
}

SocketAddress wildcardAddress(AddressFamily family, uint16_t port) {
    if (family == AddressFamily::IPv6) {
        sockaddr_in6 ipv6{};  // all zero: in6addr_any
        ipv6.sin6_family = AF_INET6;
        ipv6.sin6_port = htons(port);
        return addressFrom(ipv6);
    }
    if (family == AddressFamily::Unknown) return SocketAddress{};
    sockaddr_in ipv4{};
    ipv4.sin_family = AF_INET;
    ipv4.sin_port = htons(port);
    ipv4.sin_addr.s_addr = htonl(INADDR_ANY);
    return addressFrom(ipv4);
}

AddressFamily addressFamily(const SocketAddress& address) {
    sa_family_t family = nativeOf<sockaddr_storage>(address).ss_family;
    if (family == AF_INET && address.length >= sizeof(sockaddr_in)) return AddressFamily::IPv4;
    if (family == AF_INET6 && address.length >= sizeof(sockaddr_in6)) return AddressFamily::IPv6;
    return AddressFamily::Unknown;
}

ListenResult bindAndListen(SocketHandle socket, const SocketAddress& address, int backlog) {
    if (addressFamily(address) == AddressFamily::IPv6 && !takeIPv4PeersToo(fd(socket))) {
        return ListenResult::FamilyUnavailable;
    }
    if (::bind(fd(socket), generic(address), address.length) != 0) {
        return errno == EAFNOSUPPORT || errno == EADDRNOTAVAIL ? ListenResult::FamilyUnavailable
                                                               : ListenResult::Failed;
    }
    return ::listen(fd(socket), backlog) == 0 ? ListenResult::Listening : ListenResult::Failed;
}

bool connectSocket(SocketHandle socket, const SocketAddress& address) {
    int result;
    do {
        result = ::connect(fd(socket), generic(address), address.length);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

AcceptResult acceptConnection(SocketHandle listener, SocketHandle* accepted, SocketAddress* peer) {
    socklen_t length = SocketAddress::Capacity;
    int socket = acceptStreamSocket(fd(listener), reinterpret_cast<sockaddr*>(peer->bytes), &length);
    if (socket >= 0) {
        *accepted = socket;
        peer->length = length;
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

int waitForAnyReadable(const std::vector<SocketHandle>& sockets, int timeoutMs) {
    std::vector<pollfd> watched(sockets.size());
    for (size_t i = 0; i < sockets.size(); ++i) {
        watched[i].fd = fd(sockets[i]);
        watched[i].events = POLLIN;
    }
    if (pollUntilDeadline(watched.data(), watched.size(), timeoutMs) <= 0) return -1;
    for (size_t i = 0; i < watched.size(); ++i) {
        if (flagsFrom(watched[i].revents) & SocketReadable) return static_cast<int>(i);
    }
    return -1;  // only a descriptor that cannot be waited on
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
        sent = sendWithoutSignal(fd(socket), source, count);
    } while (sent < 0 && errno == EINTR);
    return sent;
}

void shutdownSocket(SocketHandle socket) { ::shutdown(fd(socket), SHUT_RDWR); }

void closeSocket(SocketHandle socket) { ::close(fd(socket)); }

void closeSocketWithReset(SocketHandle socket) {
    linger immediately{1, 0};
    setsockopt(fd(socket), SOL_SOCKET, SO_LINGER, &immediately, sizeof(immediately));
    ::close(fd(socket));
}

SocketFailure lastSocketFailure() {
    switch (errno) {
        case ECONNRESET:
        case ECONNABORTED:
        case EPIPE:
            return SocketFailure::Reset;
        case ETIMEDOUT:
        case EAGAIN:  // a blocking send whose wait for room ran out (limitSendWait)
            return SocketFailure::TimedOut;
        default:
            return SocketFailure::Other;
    }
}

uint16_t toNetworkOrder(uint16_t value) { return htons(value); }

std::string addressText(const SocketAddress& address) {
    switch (addressFamily(address)) {
        case AddressFamily::IPv4: {
            in_addr ip = nativeOf<sockaddr_in>(address).sin_addr;
            return numericText(AF_INET, &ip);
        }
        case AddressFamily::IPv6:
            return ipv6Text(nativeOf<sockaddr_in6>(address).sin6_addr);
        default:
            return std::string();
    }
}

std::string recordAddressText(const void* data, size_t length, uint32_t interfaceIndex) {
    if (length == sizeof(in_addr)) return numericText(AF_INET, data);
    if (length != sizeof(in6_addr)) return std::string();
    in6_addr ip;
    std::memcpy(&ip, data, sizeof(ip));
    std::string text = numericText(AF_INET6, &ip);
    if (IN6_IS_ADDR_LINKLOCAL(&ip) && interfaceIndex != 0 && !text.empty()) {
        text += "%" + std::to_string(interfaceIndex);
    }
    return text;
}

uint16_t addressPort(const SocketAddress& address) {
    switch (addressFamily(address)) {
        case AddressFamily::IPv4:
            return ntohs(nativeOf<sockaddr_in>(address).sin_port);
        case AddressFamily::IPv6:
            return ntohs(nativeOf<sockaddr_in6>(address).sin6_port);
        default:
            return 0;
    }
}

bool ipAddressOf(const SocketAddress& address, IPAddress* ip) {
    switch (addressFamily(address)) {
        case AddressFamily::IPv4: {
            in_addr ipv4 = nativeOf<sockaddr_in>(address).sin_addr;
            *ip = IPAddress{};
            std::memcpy(ip->bytes.data(), &ipv4, IPAddress::IPv4Bytes);
            return true;
        }
        case AddressFamily::IPv6: {
            in6_addr ipv6 = nativeOf<sockaddr_in6>(address).sin6_addr;
            ip->ipv6 = true;
            std::memcpy(ip->bytes.data(), ipv6.s6_addr, IPAddress::IPv6Bytes);
            return true;
        }
        default:
            return false;
    }
}

bool localAddress(SocketHandle socket, SocketAddress* address) {
    socklen_t length = SocketAddress::Capacity;
    if (getsockname(fd(socket), reinterpret_cast<sockaddr*>(address->bytes), &length) != 0) return false;
    address->length = length;
    return true;
}
