#include "platform/Socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <mutex>

namespace {

static_assert(sizeof(sockaddr_in) == sizeof(SocketAddress::bytes), "an IPv4 address block is 16 bytes");

// Windows Sockets 2.0 is all the bridge needs.
constexpr WORD RequestedSocketsVersion = MAKEWORD(2, 0);
// The probe count option of Windows 10 1703 and later (ws2ipdef.h); older systems ignore it and send ten.
constexpr int KeepAliveCountOption = 16;
constexpr u_long MillisecondsPerSecond = 1000;
// One send or receive moves at most this many bytes: the calls take an int count.
constexpr uint64_t LargestTransfer = INT_MAX;

std::atomic<bool> socketsStarted{false};
std::mutex startLock;

sockaddr_in* asIPv4(SocketAddress* address) { return reinterpret_cast<sockaddr_in*>(address->bytes); }
const sockaddr_in* asIPv4(const SocketAddress& address) {
    return reinterpret_cast<const sockaddr_in*>(address.bytes);
}
const sockaddr* asGeneric(const SocketAddress& address) { return reinterpret_cast<const sockaddr*>(address.bytes); }

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
    std::lock_guard<std::mutex> guard(startLock);
    if (socketsStarted.load()) return true;
    WSADATA data;
    if (WSAStartup(RequestedSocketsVersion, &data) != 0) return false;
    socketsStarted.store(true);
    return true;
}

SocketHandle createStreamSocket() {
    SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
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
    return ::bind(native(socket), asGeneric(address), sizeof(sockaddr_in)) == 0 &&
           ::listen(native(socket), backlog) == 0;
}

bool connectSocket(SocketHandle socket, const SocketAddress& address) {
    return ::connect(native(socket), asGeneric(address), sizeof(sockaddr_in)) == 0;
}

AcceptResult acceptConnection(SocketHandle listener, SocketHandle* accepted, SocketAddress* peer) {
    int length = sizeof(peer->bytes);
    SOCKET socket = ::accept(native(listener), reinterpret_cast<sockaddr*>(peer->bytes), &length);
    if (socket != INVALID_SOCKET) {
        keepFromChildren(socket);
        *accepted = static_cast<SocketHandle>(socket);
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

uint16_t toNetworkOrder(uint16_t value) { return htons(value); }

std::string addressText(const SocketAddress& address) {
    char text[INET_ADDRSTRLEN] = {};
    in_addr ipv4 = asIPv4(address)->sin_addr;
    if (!inet_ntop(AF_INET, &ipv4, text, sizeof(text))) return std::string();
    return text;
}

uint16_t addressPort(const SocketAddress& address) { return ntohs(asIPv4(address)->sin_port); }

bool localAddress(SocketHandle socket, SocketAddress* address) {
    int length = sizeof(address->bytes);
    return getsockname(native(socket), reinterpret_cast<sockaddr*>(address->bytes), &length) == 0;
}
