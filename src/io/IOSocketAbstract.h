// IOSocketAbstract: a TCP/IP socket as a driver. It connects as a client, or binds, listens and accepts
// peers on its driver thread; it reads and writes with optional time-outs; a listening socket can announce
// itself through DNS-SD (service info keys "MDNS_SERVICE_NAME", "MDNS_SERVICE_TYPE",
// "SOCKET_TXT_RECORD_ENTRIES"): the announcement runs on a thread of its own (ServiceAdvertisement), so
// listening and closing never wait for the DNS-SD daemon.
//
// Without a host it listens on the IPv6 wildcard taking IPv4 peers too, or on the IPv4 wildcard alone where
// the host has no IPv6. A host may be a name, a dotted IPv4 or an IPv6 address; connect tries each address
// it stands for in turn. The OS socket takes the family of the address it is used with: setAddress makes an
// IPv4 one, and listen and connect make it anew for another family.
//
// The accept loop runs with the socket lock held and wakes at least every 2 s to see a stop request;
// close also wakes it at once, so stopping a listening socket does not wait out the 2 s. A new peer is
// announced (observers of the new-client notification run) on the accept thread, with the lock held, so
// observers only hand the peer on. The backlog takes a burst of connections while the thread is busy.
// Reads and writes of accepted sockets take no lock; close may come from any thread, and the OS handle is
// only given back once no read or write uses it any more. A listening socket's accept thread holds a
// reference to it: close it before letting it go.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "io/IODriverAbstract.h"
#include "io/SharedSocketHandle.h"
#include "platform/Mutex.h"

class BaseDictionary;
class BaseString;
class ServiceAdvertisement;

class IOSocketAbstract : public IODriverAbstract {
public:
    static constexpr int BufferBytes = 524288;
    static constexpr int Backlog = 64;
    static constexpr int AcceptWakeMilliseconds = 2000;

    // Why an accepted or connected socket ended; the first cause seen is kept.
    enum class EndReason {
        None,                  // still open, or never opened
        PeerClosed,            // the peer closed its end in order
        PeerReset,             // the peer reset the connection
        PeerStoppedReading,    // data sent to the peer went unread or unacknowledged for too long
        PeerStoppedAnswering,  // the peer answered no keep-alive probe: it left the network
        ReadDeadline,          // the read deadline passed with bytes still missing
        Unreadable,            // the peer sent bytes that do not decode (noted by the reader)
        Failed,                // the connection broke for another reason
        Closed,                // closed by this side
    };

    IOSocketAbstract();
    ~IOSocketAbstract() override;

    bool close() override;
    bool connect() override;
    bool listen() override;
    void acceptLoop() override;
    bool isReadable() override;
    bool readWithTimeout(void* destination, uint64_t* count, int32_t seconds) override;
    // Waits as read does (without limit, or until the read deadline) for the first bytes, then returns what
    // one receive brought, up to *count.
    bool readAvailable(void* destination, uint64_t* count) override;
    bool writeWithTimeout(const void* source, uint64_t count, int32_t seconds) override;

    // Ignored while listening. maximumClients 0 means no limit.
    virtual void setServiceInfo(BaseDictionary* info, uint32_t maximumClients);
    BaseDictionary* serviceInfo() const { return serviceInfo_; }
    uint32_t maximumClients() const { return maximumClients_; }
    virtual const char* serviceProtocol() const;
    // A null host means every local address; creates the OS socket when there is none.
    virtual void setAddress(const char* host, uint16_t port);
    // Makes an OS socket of socketFamily().
    virtual bool createSocket();
    // Stores the first address the host stands for; false when it stands for none.
    virtual bool resolveAddress();

    // The stored address as text (for an accepted socket, the peer's), or null. IPv4 peers are dotted
    // ("127.0.0.1"), also those that reached an IPv6 socket. Autoreleased.
    BaseString* peerAddress();
    // The port the socket is bound to (useful after listening on port 0), or 0.
    uint16_t boundPort();
    // Why the last listen failed, in the system's words; empty after a listen that worked.
    std::string listenError();
    // True while listening on the IPv6 wildcard, which takes IPv4 peers as well; false when listening on
    // IPv4 alone (the host has no IPv6), on one address, or not at all.
    bool listensOnBothFamilies() const { return bothFamilies_.load(); }
    // Starts announcing the service of the service info (returns at once; false when there is nothing to
    // announce); the socket's destruction withdraws it in the background. Listening calls it.
    bool registerService() EXCLUDES(advertisementMutex_);
    bool unregisterService() EXCLUDES(advertisementMutex_);
    // Until cleared, reads that would wait without limit wait only until deadline; a read still waiting
    // then closes the socket. Used for the login, whose whole first object must arrive in time.
    void setReadDeadline(std::chrono::steady_clock::time_point deadline);
    void clearReadDeadline();
    EndReason endReason() const { return endReason_.load(); }
    // Records why the socket is about to end, unless a cause is known already.
    void noteEnd(EndReason reason);
    // Closes so that the peer sees a reset rather than an orderly close.
    void resetConnection();
    // The stored address (for an accepted socket, the peer's); an empty one when there is none.
    SocketAddress socketAddress();
    // Lets the system find a peer that vanished without closing (a phone that left the network): after
    // the timing's silence and unanswered probes, reads fail and the socket closes as for any lost peer.
    bool enableKeepAlive(const KeepAliveTiming& timing);
    // A write that finds no room for seconds (the peer reads nothing) fails and closes the socket, its end
    // PeerStoppedReading, instead of waiting on.
    bool limitSendWait(int seconds);

    // Whether the DNS-SD service has confirmed the announcement; waits for its outcome at most limit.
    bool isServiceRegistered(std::chrono::milliseconds limit = std::chrono::milliseconds(0))
        EXCLUDES(advertisementMutex_);
    // What came of the announcement, as the pilot's log says it; empty while it is under way, and nothing
    // when the socket announces nothing.
    std::optional<std::string> serviceOutcome() EXCLUDES(advertisementMutex_);
    // The name the network knows the announced service by now (another computer may hold the one asked
    // for); empty when the socket announces nothing.
    std::string advertisedName() EXCLUDES(advertisementMutex_);

protected:
    SharedSocketHandle& socketHandle() { return socket_; }
    AddressFamily socketFamily() const { return family_; }
    // Takes the socket lock, which listen already holds when it binds: the analysis cannot say "held or not"
    // of a recursive lock, so this one carries no lock annotation.
    void setAddressBlock(const SocketAddress& address);
    // Gives an accepted socket its handle and its peer's address, and opens it.
    void adoptAccepted(SocketHandle handle, const SocketAddress& peer);

private:
    // Whether setAddress has been called since the last close.
    bool hasAddressBlock();
    // With a host, the addresses it stands for; without, the IPv6 wildcard and then the IPv4 one.
    std::vector<SocketAddress> candidateAddresses() const;
    // Gives the object a new OS socket of family in place of the current one.
    bool replaceSocket(AddressFamily family);
    // Binds and listens on the first candidate the host can serve; false when none or on any other failure.
    bool bindFirstCandidate();
    bool acceptOne(SocketHandle listener);
    // The wait before a read: milliseconds, -1 for no limit; false when the deadline has passed.
    bool readWaitFor(int32_t seconds, int* milliseconds);
    // The body of both reads: until *count bytes arrived, or only until the first receive brought some.
    bool receive(void* destination, uint64_t* count, int32_t seconds, bool firstBytesSuffice);
    void closeSocketLocked() REQUIRES(socketLock_);

    std::string host_;
    bool hasHost_ = false;
    uint16_t port_ = 0;
    std::unique_ptr<SocketAddress> address_ GUARDED_BY(socketLock_);
    SharedSocketHandle socket_;
    AddressFamily family_ = AddressFamily::IPv4;  // of the next or current OS socket; set by the owner's thread
    std::atomic<bool> bothFamilies_{false};
    RecursiveMutex socketLock_;
    BaseDictionary* serviceInfo_ = nullptr;
    uint32_t maximumClients_ = 0;
    std::string listenError_ GUARDED_BY(socketLock_);
    Mutex advertisementMutex_;
    ServiceAdvertisement* advertisement_ GUARDED_BY(advertisementMutex_) = nullptr;
    std::unique_ptr<WakeChannel> wake_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<int64_t> readDeadline_{0};  // steady-clock milliseconds; 0 means none
    std::atomic<EndReason> endReason_{EndReason::None};
};
