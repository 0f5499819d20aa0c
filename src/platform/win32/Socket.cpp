#include "platform/Socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <string>

#include "platform/Mutex.h"

namespace {

static_assert(sizeof(sockaddr_storage) <= SocketAddress::Capacity, "every socket address fits the block");
static_assert(alignof(sockaddr_storage) <= alignof(SocketAddress), "the block is aligned for any address");

// Windows Sockets 2.0 is all the bridge needs.
constexpr WORD RequestedSocketsVersion = MAKEWORD(2, 0);
// The probe count option of Windows 10 1703 and later (ws2ipdef.h); older systems ignore it and send ten.
constexpr int KeepAliveCountOption = 16;
constexpr u_long MillisecondsPerSecond = 1000;
// One send or receive moves at most this many bytes: the calls take an int count.
constexpr uint64_t LargestTransfer = INT_MAX;

std::atomic<bool> socketsStarted{false};
Mutex startLock;

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
int lengthOf(const SocketAddress& address) { return static_cast<int>(address.length); }

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

// Windows makes IPv6 sockets take IPv6 alone unless told otherwise.
bool takeIPv4PeersToo(SOCKET socket) {
    DWORD off = 0;
    return setsockopt(socket, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&off), sizeof(off)) == 0;
}

SOCKET native(SocketHandle socket) { return static_cast<SOCKET>(socket); }
SocketHandle handleOf(SOCKET socket) { return socket == INVALID_SOCKET ? InvalidSocket : static_cast<SocketHandle>(socket); }

// Child processes must not inherit the bridge's sockets (a port stays taken while any holder lives).
void keepFromChildren(SOCKET socket) {
    SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
}

int clampedCount(uint64_t count) { return static_cast<int>(std::min(count, LargestTransfer)); }

timeval* timeoutFor(int timeoutMs, timeval* storage) {
    if (timeoutMs < 0) return nullptr;
    storage->tv_sec = timeoutMs / 1000;
    storage->tv_usec = (timeoutMs % 1000) * 1000;
    return storage;
}

}  // namespace

// The wake channel is a UDP socket bound to loopback that sends itself a byte: select sees it readable.
WakeChannel::WakeChannel() {
    if (!startSockets()) return;
    SOCKET socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (socket == INVALID_SOCKET) return;
    keepFromChildren(socket);
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(self);
    u_long nonBlocking = 1;
    if (::bind(socket, reinterpret_cast<sockaddr*>(&self), length) != 0 ||
        getsockname(socket, reinterpret_cast<sockaddr*>(&self), &length) != 0 ||
        ::connect(socket, reinterpret_cast<sockaddr*>(&self), length) != 0 ||
        ioctlsocket(socket, FIONBIO, &nonBlocking) != 0) {
        closesocket(socket);
        return;
    }
    readEnd_ = static_cast<int64_t>(socket);
    writeEnd_ = readEnd_;
}

WakeChannel::~WakeChannel() {
    if (readEnd_ >= 0) closesocket(native(readEnd_));
}

void WakeChannel::signal() {
    char byte = 1;
    if (writeEnd_ >= 0) ::send(native(writeEnd_), &byte, 1, 0);
}

void WakeChannel::drain() {
    char bytes[64];
    while (readEnd_ >= 0 && ::recv(native(readEnd_), bytes, sizeof(bytes), 0) > 0) {
    }
}

// WSAStartup once per process; the flag is raised only by a start that succeeded, so a failed start is
// tried again by the next caller. Sockets are never shut down for the process.
bool startSockets() {
    if (socketsStarted.load()) return true;
    MutexLock guard(startLock);
    if (socketsStarted.load()) return true;
    WSADATA data;
    if (WSAStartup(RequestedSocketsVersion, &data) != 0) return false;
    socketsStarted.store(true);
    return true;
}

SocketHandle createStreamSocket(AddressFamily family) {
    if (family == AddressFamily::Unknown) return InvalidSocket;
    SOCKET socket = ::socket(family == AddressFamily::IPv6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket != INVALID_SOCKET) keepFromChildren(socket);
    return handleOf(socket);
}

// Windows listens again on a port whose last connections linger in TIME_WAIT without any option, so the
// address option is left out: SO_REUSEADDR there would let another socket bind 21777 while the bridge
// listens on it, and SO_EXCLUSIVEADDRUSE would keep the bridge itself from restarting while its closed
// connections linger.
void setStreamSocketOptions(SocketHandle socket, int bufferBytes) {
    const char* buffer = reinterpret_cast<const char*>(&bufferBytes);
    setsockopt(native(socket), SOL_SOCKET, SO_SNDBUF, buffer, sizeof(bufferBytes));
    setsockopt(native(socket), SOL_SOCKET, SO_RCVBUF, buffer, sizeof(bufferBytes));
}

// Idle time and interval go through SIO_KEEPALIVE_VALS, which every Windows takes; the probe count only
// where the system offers it.
bool enableKeepAlive(SocketHandle socket, const KeepAliveTiming& timing) {
    tcp_keepalive values{};
    values.onoff = 1;
    values.keepalivetime = static_cast<u_long>(timing.idleSeconds) * MillisecondsPerSecond;
    values.keepaliveinterval = static_cast<u_long>(timing.intervalSeconds) * MillisecondsPerSecond;
    DWORD returned = 0;
    bool set = WSAIoctl(native(socket), SIO_KEEPALIVE_VALS, &values, sizeof(values), nullptr, 0, &returned, nullptr,
                        nullptr) == 0;
    DWORD probes = static_cast<DWORD>(timing.probes);
    setsockopt(native(socket), IPPROTO_TCP, KeepAliveCountOption, reinterpret_cast<const char*>(&probes),
               sizeof(probes));
    return set;
}

bool limitSendWait(SocketHandle socket, int seconds) {
    DWORD milliseconds = static_cast<DWORD>(seconds) * MillisecondsPerSecond;
    return setsockopt(native(socket), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&milliseconds),
                      sizeof(milliseconds)) == 0;
}

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
        sockaddr_in6 ipv6{};  // all zero: the IPv6 wildcard
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
    ADDRESS_FAMILY family = nativeOf<sockaddr_storage>(address).ss_family;
    if (family == AF_INET && address.length >= sizeof(sockaddr_in)) return AddressFamily::IPv4;
    if (family == AF_INET6 && address.length >= sizeof(sockaddr_in6)) return AddressFamily::IPv6;
    return AddressFamily::Unknown;
}

ListenResult bindAndListen(SocketHandle socket, const SocketAddress& address, int backlog) {
    if (addressFamily(address) == AddressFamily::IPv6 && !takeIPv4PeersToo(native(socket))) {
        return ListenResult::FamilyUnavailable;
    }
    if (::bind(native(socket), generic(address), lengthOf(address)) != 0) {
        int error = WSAGetLastError();
        return error == WSAEAFNOSUPPORT || error == WSAEADDRNOTAVAIL ? ListenResult::FamilyUnavailable
                                                                     : ListenResult::Failed;
    }
    return ::listen(native(socket), backlog) == 0 ? ListenResult::Listening : ListenResult::Failed;
}

bool connectSocket(SocketHandle socket, const SocketAddress& address) {
    return ::connect(native(socket), generic(address), lengthOf(address)) == 0;
}

AcceptResult acceptConnection(SocketHandle listener, SocketHandle* accepted, SocketAddress* peer) {
    int length = SocketAddress::Capacity;
    SOCKET socket = ::accept(native(listener), reinterpret_cast<sockaddr*>(peer->bytes), &length);
    if (socket != INVALID_SOCKET) {
        keepFromChildren(socket);
        *accepted = static_cast<SocketHandle>(socket);
        peer->length = static_cast<uint32_t>(length);
        return AcceptResult::Accepted;
    }
    switch (WSAGetLastError()) {
        case WSANOTINITIALISED:
        case WSAENOTSOCK:
        case WSAEINVAL:
        case WSAEOPNOTSUPP:
        case WSAEFAULT:
            return AcceptResult::Failed;
        default:
            return AcceptResult::TryAgain;
    }
}

// select takes a set of handles, not a bitmap of descriptor numbers, so large handle values are no issue.
// No signal interrupts a Winsock select, so one call is the whole wait: there is nothing to retry.
int waitForSocket(SocketHandle socket, int interest, int timeoutMs, WakeChannel* wake) {
    fd_set readable, writable, exceptional;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&exceptional);
    if (interest & SocketReadable) FD_SET(native(socket), &readable);
    if (interest & SocketWritable) FD_SET(native(socket), &writable);
    FD_SET(native(socket), &exceptional);
    bool watchWake = wake && wake->handle() >= 0;
    if (watchWake) FD_SET(native(wake->handle()), &readable);
    timeval storage{};
    int ready = ::select(0, &readable, &writable, &exceptional, timeoutFor(timeoutMs, &storage));
    if (ready < 0) return -1;
    if (ready == 0) return 0;
    int flags = 0;
    if (FD_ISSET(native(socket), &readable)) flags |= SocketReadable;
    if (FD_ISSET(native(socket), &writable)) flags |= SocketWritable;
    if (FD_ISSET(native(socket), &exceptional)) flags |= SocketException;
    if (watchWake && FD_ISSET(native(wake->handle()), &readable)) flags |= SocketWoken;
    return flags;
}

int waitForAnyReadable(const std::vector<SocketHandle>& sockets, int timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    for (SocketHandle socket : sockets) FD_SET(native(socket), &readable);
    timeval storage{};
    if (::select(0, &readable, nullptr, nullptr, timeoutFor(timeoutMs, &storage)) <= 0) return -1;
    for (size_t i = 0; i < sockets.size(); ++i) {
        if (FD_ISSET(native(sockets[i]), &readable)) return static_cast<int>(i);
    }
    return -1;
}

int64_t receiveSome(SocketHandle socket, void* destination, uint64_t count) {
    int received = ::recv(native(socket), static_cast<char*>(destination), clampedCount(count), 0);
    return received == SOCKET_ERROR ? -1 : received;
}

// Windows raises no signal for a vanished peer: a failed send is only a failed send.
int64_t sendSome(SocketHandle socket, const void* source, uint64_t count) {
    int sent = ::send(native(socket), static_cast<const char*>(source), clampedCount(count), 0);
    return sent == SOCKET_ERROR ? -1 : sent;
}

// A shutdown alone does not end a receive that another thread is blocked in: its pending I/O on the socket
// is cancelled as well, which makes that receive fail at once.
void shutdownSocket(SocketHandle socket) {
    ::shutdown(native(socket), SD_BOTH);
    CancelIoEx(reinterpret_cast<HANDLE>(native(socket)), nullptr);
}

void closeSocket(SocketHandle socket) { closesocket(native(socket)); }

void closeSocketWithReset(SocketHandle socket) {
    linger immediately{1, 0};
    setsockopt(native(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&immediately),
               sizeof(immediately));
    closesocket(native(socket));
}

SocketFailure lastSocketFailure() {
    switch (WSAGetLastError()) {
        case WSAECONNRESET:
        case WSAECONNABORTED:
            return SocketFailure::Reset;
        case WSAETIMEDOUT:
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
    int length = SocketAddress::Capacity;
    if (getsockname(native(socket), reinterpret_cast<sockaddr*>(address->bytes), &length) != 0) return false;
    address->length = static_cast<uint32_t>(length);
    return true;
}
