#include "SocketTestSupport.h"

#include <fstream>
#include <thread>

#include "base/AutoreleasePool.h"
#include "base/BaseString.h"
#include "base/NotificationCenter.h"

namespace {

BaseString* notificationName() { return constantString("NEW_CLIENT_CONNECTED_NOTIFICATION"_lit); }

}  // namespace

PeerCollector::PeerCollector(IOSocketTCP* listener) : listener_(listener) {
    AutoreleasePool pool;
    sharedNotificationCenter()->addObserver(this, notificationName());
}

PeerCollector::~PeerCollector() {
    AutoreleasePool pool;
    sharedNotificationCenter()->removeObserver(this, notificationName());
    for (IOSocketTCP* peer : peers_) release(peer);
}

int32_t PeerCollector::observeNotification(BaseString*, BaseObject*, BaseObject* sender) {
    if (sender != listener_) return 0;
    auto* peer = static_cast<IOSocketTCP*>(listener_->clientAtIndex(listener_->clientCount() - 1));
    std::lock_guard<std::mutex> guard(mutex_);
    peers_.push_back(retain(peer));
    arrived_.notify_all();
    return 0;
}

IOSocketTCP* PeerCollector::waitForPeer(size_t index, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait_for(lock, limit, [&] { return peers_.size() > index; });
    return peers_.size() > index ? peers_[index] : nullptr;
}

size_t PeerCollector::peerCount() {
    std::lock_guard<std::mutex> guard(mutex_);
    return peers_.size();
}

IOSocketTCP* newListener(uint32_t maximumClients, const char* host) {
    auto* listener = new IOSocketTCP();
    listener->setAddress(host, 0);
    listener->setServiceInfo(nullptr, maximumClients);
    listener->listen();
    return listener;
}

IOSocketTCP* newConnectedClient(uint16_t port, const char* host) {
    auto* client = new IOSocketTCP();
    client->setAddress(host, port);
    if (!client->connect()) {
        release(client);
        return nullptr;
    }
    return client;
}

bool loopbackPortIsFree(uint16_t port) {
    IOSocketTCP* probe = new IOSocketTCP();
    probe->setAddress("127.0.0.1", port);
    bool free = probe->listen();
    probe->close();
    release(probe);
    return free;
}

// On Linux the kernel's own list of IPv6 addresses answers without the code under test; elsewhere a socket
// listening on ::1 does.
std::string ipv6LoopbackMissing() {
#ifdef __linux__
    constexpr const char* IPv6LoopbackEntry = "00000000000000000000000000000001 ";  // ::1, as the list writes it
    std::ifstream addresses("/proc/net/if_inet6");
    if (!addresses) return "this machine has no IPv6 (/proc/net/if_inet6 is missing)";
    for (std::string line; std::getline(addresses, line);) {
        if (line.rfind(IPv6LoopbackEntry, 0) == 0) return std::string();
    }
    return "this machine's loopback interface has no IPv6 address ::1";
#else
    IOSocketTCP* probe = newListener(0, "::1");
    bool listening = probe->isListening();
    probe->close();
    release(probe);
    return listening ? std::string() : "nothing can listen on ::1 here: no IPv6 loopback";
#endif
}
