#include "SocketTestSupport.h"

#include <thread>

#include "base/AutoreleasePool.h"
#include "base/BaseString.h"
#include "distant/NotificationCenter.h"

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

IOSocketTCP* newListener(uint32_t maximumClients) {
    auto* listener = new IOSocketTCP();
    listener->setAddress("127.0.0.1", 0);
    listener->setServiceInfo(nullptr, maximumClients);
    listener->listen();
    return listener;
}

IOSocketTCP* newConnectedClient(uint16_t port) {
    auto* client = new IOSocketTCP();
    client->setAddress("127.0.0.1", port);
    if (!client->connect()) {
        release(client);
        return nullptr;
    }
    return client;
}
