// IPv4 stream sockets of the platform. Every call reports failure as a value and never raises a signal:
// sends use MSG_NOSIGNAL, waits use poll (descriptor numbers above 1024 are normal inside a simulator).
#pragma once

#include <cstdint>
#include <string>

using SocketHandle = int64_t;
constexpr SocketHandle InvalidSocket = -1;

// An IPv4 socket address in the system's own 16-byte layout.
struct SocketAddress {
    unsigned char bytes[16] = {};
};

// What waitForSocket saw; 0 means the time-out passed.
enum SocketWaitFlags : int {
    SocketReadable = 1,
    SocketWritable = 2,
    SocketException = 4,
    SocketWoken = 8,
};

// Wakes a thread waiting in waitForSocket from another thread.
class WakeChannel {
public:
    WakeChannel();
    ~WakeChannel();
    WakeChannel(const WakeChannel&) = delete;
    WakeChannel& operator=(const WakeChannel&) = delete;

    void signal();
    void drain();
    int64_t handle() const { return readEnd_; }

private:
    int64_t readEnd_ = -1;
    int64_t writeEnd_ = -1;
};

// Starts the socket library once per process; a failed start is tried again by the next call.
bool startSockets();

SocketHandle createStreamSocket();

// When the system starts asking a silent peer whether it is still there, how often, and how many unanswered
// questions close the connection.
struct KeepAliveTiming {
    int idleSeconds;
    int intervalSeconds;
    int probes;
};
// Turns on keep-alive probes with this timing; false when the system refused.
bool enableKeepAlive(SocketHandle socket, const KeepAliveTiming& timing);
// SO_REUSEADDR, and send and receive buffers of bufferBytes; results are ignored.
void setStreamSocketOptions(SocketHandle socket, int bufferBytes);
// A null host means every local address. False when host is neither a resolvable name nor a dotted address.
bool resolveIPv4Address(const char* host, uint16_t port, SocketAddress* address);
bool bindAndListen(SocketHandle socket, const SocketAddress& address, int backlog);
bool connectSocket(SocketHandle socket, const SocketAddress& address);

enum class AcceptResult { Accepted, TryAgain, Failed };
// TryAgain covers what a hostile or busy peer can cause (a connection reset before it was accepted, no
// descriptors left for a moment); Failed means the listening socket itself is unusable.
AcceptResult acceptConnection(SocketHandle listener, SocketHandle* accepted, SocketAddress* peer);

// Waits up to timeoutMs (-1: without limit) for what interest asks (SocketReadable, SocketWritable); the
// exception condition is always watched, and wake (may be null) ends the wait with SocketWoken.
// Returns the flags seen, 0 on time-out, -1 on error.
int waitForSocket(SocketHandle socket, int interest, int timeoutMs, WakeChannel* wake);

// Bytes received (> 0), 0 when the peer closed, -1 on error.
int64_t receiveSome(SocketHandle socket, void* destination, uint64_t count);
// Bytes sent (>= 0), -1 on error (a vanished peer included; no signal is raised).
int64_t sendSome(SocketHandle socket, const void* source, uint64_t count);
// Wakes every thread blocked on the socket; the handle stays allocated.
void shutdownSocket(SocketHandle socket);
void closeSocket(SocketHandle socket);

uint16_t toNetworkOrder(uint16_t value);
std::string addressText(const SocketAddress& address);
uint16_t addressPort(const SocketAddress& address);
bool localAddress(SocketHandle socket, SocketAddress* address);
