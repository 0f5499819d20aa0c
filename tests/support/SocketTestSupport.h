// Loopback helpers for socket tests: a listening socket on an ephemeral port that collects the peers it
// accepts, and connected clients.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
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

// A listening socket on 127.0.0.1 and an ephemeral port, with maximumClients; owned by the caller.
IOSocketTCP* newListener(uint32_t maximumClients = 0);
// A socket connected to port on 127.0.0.1, owned by the caller (null when the connection failed).
IOSocketTCP* newConnectedClient(uint16_t port);
