// IPv4 and IPv6 stream sockets of the platform. Every call reports failure as a value and never raises a
// signal (a send to a vanished peer fails instead of raising SIGPIPE); waits use poll (descriptor numbers
// above 1024 are normal inside a simulator).
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using SocketHandle = int64_t;
constexpr SocketHandle InvalidSocket = -1;

enum class AddressFamily { Unknown, IPv4, IPv6 };

// A socket address of either family in the system's own layout, in a block as large as the system's
// largest (sockaddr_storage); length is the part in use, 0 for an empty address.
struct SocketAddress {
    static constexpr uint32_t Capacity = 128;
    alignas(8) unsigned char bytes[Capacity] = {};
    uint32_t length = 0;

    bool operator==(const SocketAddress& other) const {
        return length == other.length && std::memcmp(bytes, other.bytes, length) == 0;
    }
};

// An IP address of either family as bytes in network order, without port or scope: what the rule about which
// peers may connect looks at.
struct IPAddress {
    static constexpr size_t IPv4Bytes = 4;
    static constexpr size_t IPv6Bytes = 16;
    bool ipv6 = false;
    std::array<uint8_t, IPv6Bytes> bytes{};  // an IPv4 address in the first four

    bool operator==(const IPAddress& other) const { return ipv6 == other.ipv6 && bytes == other.bytes; }
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

// A stream socket of family; InvalidSocket when the system has no such family (or no handle to spare).
SocketHandle createStreamSocket(AddressFamily family);

// When the system starts asking a silent peer whether it is still there, how often, and how many unanswered
// questions close the connection.
struct KeepAliveTiming {
    int idleSeconds;
    int intervalSeconds;
    int probes;
};
// Turns on keep-alive probes with this timing; false when the system refused.
bool enableKeepAlive(SocketHandle socket, const KeepAliveTiming& timing);
// A send that finds no room for seconds fails (as a time-out) instead of waiting on; false when refused.
bool limitSendWait(SocketHandle socket, int seconds);
// SO_REUSEADDR, and send and receive buffers of bufferBytes; results are ignored.
void setStreamSocketOptions(SocketHandle socket, int bufferBytes);
// Every address host stands for (a name, a dotted IPv4 address or an IPv6 address), of both families, in
// the system's order of preference, with port; empty when host is none of these.
std::vector<SocketAddress> resolveHost(const char* host, uint16_t port);
// The address of family that stands for every local address, with port.
SocketAddress wildcardAddress(AddressFamily family, uint16_t port);
AddressFamily addressFamily(const SocketAddress& address);

// FamilyUnavailable: the host cannot serve this address's family (no IPv6 there), so another family is worth
// trying; Failed: anything else, the port being taken included.
enum class ListenResult { Listening, FamilyUnavailable, Failed };
// An IPv6 socket is first made to take IPv4 peers as well (as IPv4-mapped addresses); where the system
// refuses that, the result is FamilyUnavailable, so that IPv4 peers are not locked out.
ListenResult bindAndListen(SocketHandle socket, const SocketAddress& address, int backlog);
bool connectSocket(SocketHandle socket, const SocketAddress& address);

enum class AcceptResult { Accepted, TryAgain, Failed };
// TryAgain covers what a hostile or busy peer can cause (a connection reset before it was accepted, no
// descriptors left for a moment); Failed means the listening socket itself is unusable.
AcceptResult acceptConnection(SocketHandle listener, SocketHandle* accepted, SocketAddress* peer);

// Waits up to timeoutMs (-1: without limit) for what interest asks (SocketReadable, SocketWritable); the
// exception condition is always watched, and wake (may be null) ends the wait with SocketWoken.
// Returns the flags seen, 0 on time-out, -1 on error.
int waitForSocket(SocketHandle socket, int interest, int timeoutMs, WakeChannel* wake);
// Waits up to timeoutMs (-1: without limit) until one of sockets is readable (or failed, which its next read
// reports). Returns its index, or -1 when the time passed or the wait itself failed.
int waitForAnyReadable(const std::vector<SocketHandle>& sockets, int timeoutMs);

// Bytes received (> 0), 0 when the peer closed, -1 on error.
int64_t receiveSome(SocketHandle socket, void* destination, uint64_t count);
// Bytes sent (>= 0), -1 on error (a vanished peer included; no signal is raised).
int64_t sendSome(SocketHandle socket, const void* source, uint64_t count);
// Wakes every thread blocked on the socket; the handle stays allocated.
void shutdownSocket(SocketHandle socket);
void closeSocket(SocketHandle socket);
// Closes the socket so that the peer sees a reset (RST) rather than an orderly close; unsent bytes are lost.
void closeSocketWithReset(SocketHandle socket);

// How the last failed receive or send on this thread failed, as far as the end of a connection goes.
enum class SocketFailure {
    Reset,     // the peer reset the connection (or it was aborted)
    TimedOut,  // the peer stopped acknowledging: keep-alive probes or sent data went unanswered
    Other,
};
SocketFailure lastSocketFailure();

uint16_t toNetworkOrder(uint16_t value);
// Dotted text for IPv4, also for an IPv4-mapped IPv6 address ("127.0.0.1", not "::ffff:127.0.0.1"); the
// usual text for IPv6 ("::1"); empty for an empty address.
std::string addressText(const SocketAddress& address);
// The text of an address as a DNS record carries it (4 bytes for IPv4, 16 for IPv6, in network order), as
// resolveHost takes it. A link-local IPv6 address is reachable only through the interface it was learnt on,
// so its text ends in "%" and interfaceIndex (when not 0). Empty for any other length.
std::string recordAddressText(const void* data, size_t length, uint32_t interfaceIndex);
uint16_t addressPort(const SocketAddress& address);
// The IP address of a socket address (an IPv4-mapped IPv6 one stays IPv6); false when it is of neither family.
bool ipAddressOf(const SocketAddress& address, IPAddress* ip);
bool localAddress(SocketHandle socket, SocketAddress* address);
