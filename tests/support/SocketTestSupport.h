// Loopback helpers for socket tests: a listening socket on an ephemeral port that collects the peers it
// accepts, and connected clients.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Eventually.h"
#include "base/BaseObject.h"
#include "io/IOSocketTCP.h"

// Registers for the new-client notification of one listening socket and keeps every peer announced.
class PeerCollector : public BaseObject {
public:
    explicit PeerCollector(IOSocketTCP* listener);
    ~PeerCollector() override;

    int32_t observeNotification(BaseString* name, BaseObject* info, BaseObject* sender) override;
    // Waits until count peers arrived; the peer at index, retained by the collector.
    IOSocketTCP* waitForPeer(size_t index, std::chrono::milliseconds limit = std::chrono::seconds(5));
    size_t peerCount();

private:
    IOSocketTCP* listener_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<IOSocketTCP*> peers_;
};

// A listening socket on host (null: every local address, as the bridge listens) and an ephemeral port, with
// maximumClients; owned by the caller.
IOSocketTCP* newListener(uint32_t maximumClients = 0, const char* host = "127.0.0.1");
// A socket connected to port on host, owned by the caller (null when the connection failed).
IOSocketTCP* newConnectedClient(uint16_t port, const char* host = "127.0.0.1");

// True when nothing listens on port over IPv4 loopback, so a bridge started now can have it.
bool loopbackPortIsFree(uint16_t port);

// For a test whose bridge must listen on the bridge's own port 21777 (the menu's start, simhost's plug-in):
// skips it, with the reason, while another program holds the port, such as a simulator flying with the
// bridge on the developer's machine. Tests that only need some bridge take an ephemeral port instead.
#define SKIP_WHILE_BRIDGE_PORT_IS_HELD()                                                                         \
    if (loopbackPortIsFree(21777)) {                                                                             \
    } else                                                                                                       \
        GTEST_SKIP() << "port 21777 is in use by another program (a simulator running the bridge?): this test's " \
                        "bridge must listen there"

// Why this machine cannot run a test over IPv6 loopback (::1), or empty when it can; for GTEST_SKIP.
std::string ipv6LoopbackMissing();
