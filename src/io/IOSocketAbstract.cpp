#include "io/IOSocketAbstract.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "base/AutoreleasePool.h"
#include "base/BaseDictionary.h"
#include "base/BaseDictionaryEnumerator.h"
#include "base/BaseString.h"
#include "base/StringFormat.h"
#include "discovery/ServiceAdvertisement.h"
#include "platform/SocketError.h"

namespace {

// A pause after an accept or wait that failed for a passing reason, so that it cannot spin.
constexpr auto TransientFailurePause = std::chrono::milliseconds(10);
constexpr int32_t LongestWaitSeconds = 2147483;  // the longest wait that still fits in milliseconds

std::atomic<bool> socketsStarted{false};

// How a failed receive or send ended the connection, from the system's error of that call; a time-out means
// the peer stopped answering (a receive) or stopped reading (a send).
IOSocketAbstract::EndReason failureEnd(IOSocketAbstract::EndReason timedOut) {
    switch (lastSocketFailure()) {
        case SocketFailure::Reset: return IOSocketAbstract::EndReason::PeerReset;
        case SocketFailure::TimedOut: return timedOut;
        default: return IOSocketAbstract::EndReason::Failed;
    }
}

int millisecondsFor(int32_t seconds) { return std::clamp(seconds, 0, LongestWaitSeconds) * 1000; }

BaseString* serviceString(BaseDictionary* info, const char* key) {
    BaseObject* value = BaseDictionary::objectForCStringKey(info, key);
    return hasClassName(value, "BaseString") ? static_cast<BaseString*>(value) : nullptr;
}

// The TXT entries of the service info whose keys and values are strings, in the dictionary's order.
std::vector<std::pair<std::string, std::string>> txtEntries(BaseDictionary* info) {
    std::vector<std::pair<std::string, std::string>> entries;
    auto* found = BaseDictionary::objectForCStringKey(info, "SOCKET_TXT_RECORD_ENTRIES");
    if (!hasClassName(found, "BaseDictionary")) return entries;
    for (BaseDictionaryEnumerator e(static_cast<BaseDictionary*>(found)); !e.atEnd(); e.advance()) {
        if (!hasClassName(e.key(), "BaseString") || !hasClassName(e.value(), "BaseString")) continue;
        entries.emplace_back(static_cast<BaseString*>(e.key())->chars(), static_cast<BaseString*>(e.value())->chars());
    }
    return entries;
}

}  // namespace

IOSocketAbstract::IOSocketAbstract() {
    if (!socketsStarted.load()) socketsStarted.store(startSockets());
}

IOSocketAbstract::~IOSocketAbstract() {
    close();
    unregisterService();
    release(serviceInfo_);
}

void IOSocketAbstract::setAddressBlock(const SocketAddress& address) {
    MutexLock guard(socketLock_);
    address_ = std::make_unique<SocketAddress>(address);
}

void IOSocketAbstract::adoptAccepted(SocketHandle handle, const SocketAddress& peer) {
    socket_.adopt(handle);
    setAddressBlock(peer);
    setOpen(true);
}

bool IOSocketAbstract::enableKeepAlive(const KeepAliveTiming& timing) {
    SocketUse use(socket_);
    return use.isValid() && ::enableKeepAlive(use.handle(), timing);
}

bool IOSocketAbstract::limitSendWait(int seconds) {
    SocketUse use(socket_);
    return use.isValid() && ::limitSendWait(use.handle(), seconds);
}

const char* IOSocketAbstract::serviceProtocol() const { return nullptr; }

bool IOSocketAbstract::createSocket() { return false; }

void IOSocketAbstract::setAddress(const char* host, uint16_t port) {
    hasHost_ = host != nullptr;
    host_ = host ? host : "";
    port_ = port;
    if (!hasAddressBlock() || !socket_.isValid()) createSocket();
}

bool IOSocketAbstract::hasAddressBlock() {
    MutexLock guard(socketLock_);
    return address_ != nullptr;
}

void IOSocketAbstract::setServiceInfo(BaseDictionary* info, uint32_t maximumClients) {
    if (isListening()) return;
    assignRetained(serviceInfo_, info);
    maximumClients_ = maximumClients;
}

std::vector<SocketAddress> IOSocketAbstract::candidateAddresses() const {
    if (hasHost_) return resolveHost(host_.c_str(), port_);
    return {wildcardAddress(AddressFamily::IPv6, port_), wildcardAddress(AddressFamily::IPv4, port_)};
}

bool IOSocketAbstract::resolveAddress() {
    MutexLock guard(socketLock_);
    if (!address_) return false;
    std::vector<SocketAddress> candidates = candidateAddresses();
    if (candidates.empty()) return false;
    *address_ = candidates.front();
    return true;
}

bool IOSocketAbstract::replaceSocket(AddressFamily family) {
    socket_.shutdownAndClose();
    family_ = family;
    return createSocket();
}

// A name may stand for addresses the server does not listen on (::1 before 127.0.0.1 for a server on IPv4
// alone), so each is tried in turn, each on a socket of its own: a socket whose connect failed is spent.
bool IOSocketAbstract::connect() {
    if (isOpen() || !hasAddressBlock()) return false;
    bool fresh = true;
    for (const SocketAddress& candidate : candidateAddresses()) {
        AddressFamily family = addressFamily(candidate);
        if ((!fresh || family != family_ || !socket_.isValid()) && !replaceSocket(family)) continue;
        fresh = false;
        SocketUse use(socket_);
        if (use.isValid() && connectSocket(use.handle(), candidate)) {
            setAddressBlock(candidate);
            setOpen(true);
            return true;
        }
    }
    return false;
}

// Moves on to the next candidate only when the host cannot serve this one's family (no IPv6 there): a port
// taken by another program fails the listen rather than leaving IPv6 clients out unseen.
bool IOSocketAbstract::bindFirstCandidate() {
    for (const SocketAddress& candidate : candidateAddresses()) {
        AddressFamily family = addressFamily(candidate);
        if ((family != family_ || !socket_.isValid()) && !replaceSocket(family)) continue;
        SocketUse use(socket_);
        ListenResult result = use.isValid() ? bindAndListen(use.handle(), candidate, Backlog) : ListenResult::Failed;
        if (result == ListenResult::Failed) return false;
        if (result == ListenResult::Listening) {
            setAddressBlock(candidate);
            bothFamilies_.store(candidate == wildcardAddress(AddressFamily::IPv6, port_));
            return true;
        }
    }
    return false;
}

bool IOSocketAbstract::listen() {
    MutexLock guard(socketLock_);
    if (!address_ || !bindFirstCandidate()) {
        listenError_ = lastSocketErrorText();  // the failed call was the last one made
        return false;
    }
    listenError_.clear();
    if (wake_) {
        wake_->drain();
    } else {
        wake_ = std::make_unique<WakeChannel>();
    }
    stopRequested_.store(false);
    bool accepting = IODriverAbstract::listen();
    // The accept thread is started first: the announcement's thread loads the DNS-SD library, which holds
    // the process's loader lock for milliseconds, and a thread started meanwhile waits for that lock.
    if (accepting && serviceInfo_) registerService();
    return accepting;
}

// The body of the driver thread: waits for peers (or a wake-up from close) at most 2 s at a time.
void IOSocketAbstract::acceptLoop() {
    while (running() && isListening() && !stopRequested_.load()) {
        AutoreleasePool pool;
        MutexLock guard(socketLock_);
        SocketUse use(socket_);
        if (!use.isValid()) break;
        int seen = waitForSocket(use.handle(), SocketReadable, AcceptWakeMilliseconds, wake_.get());
        if (seen < 0) {
            std::this_thread::sleep_for(TransientFailurePause);
        } else if (seen & SocketWoken) {
            wake_->drain();
        } else if (seen & SocketReadable) {
            if (!acceptOne(use.handle())) break;
        } else if (seen & SocketException) {
            break;
        }
    }
}

// False when the listening socket can no longer accept. A peer beyond the limit of live peers is closed
// at once without notice.
bool IOSocketAbstract::acceptOne(SocketHandle listener) {
    SocketHandle accepted = InvalidSocket;
    SocketAddress peer;
    AcceptResult result = acceptConnection(listener, &accepted, &peer);
    if (result == AcceptResult::Failed) return false;
    if (result == AcceptResult::TryAgain) {
        std::this_thread::sleep_for(TransientFailurePause);
        return true;
    }
    auto* client = dynamic_cast<IOSocketAbstract*>(
        maximumClients_ != 0 && liveClientCount() >= maximumClients_ ? nullptr : newClient());
    if (!client) {
        closeSocket(accepted);
        return true;
    }
    client->adoptAccepted(accepted, peer);
    addClient(client);
    release(client);
    return true;
}

bool IOSocketAbstract::isReadable() {
    if (!isOpen()) return false;
    SocketUse use(socket_);
    return use.isValid() && (waitForSocket(use.handle(), SocketReadable, 0, nullptr) & SocketReadable);
}

void IOSocketAbstract::setReadDeadline(std::chrono::steady_clock::time_point deadline) {
    auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(deadline.time_since_epoch()).count();
    readDeadline_.store(std::max<int64_t>(milliseconds, 1));
}

void IOSocketAbstract::clearReadDeadline() { readDeadline_.store(0); }

bool IOSocketAbstract::readWaitFor(int32_t seconds, int* milliseconds) {
    if (seconds != NoTimeout) {
        *milliseconds = millisecondsFor(seconds);
        return true;
    }
    int64_t deadline = readDeadline_.load();
    if (deadline == 0) {
        *milliseconds = -1;
        return true;
    }
    auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch()).count();
    if (now >= deadline) return false;
    *milliseconds = static_cast<int>(std::min<int64_t>(deadline - now, LongestWaitSeconds * 1000LL));
    return true;
}

bool IOSocketAbstract::readWithTimeout(void* destination, uint64_t* count, int32_t seconds) {
    return receive(destination, count, seconds, false);
}

bool IOSocketAbstract::readAvailable(void* destination, uint64_t* count) {
    return receive(destination, count, NoTimeout, true);
}

bool IOSocketAbstract::receive(void* destination, uint64_t* count, int32_t seconds, bool firstBytesSuffice) {
    if (*count == 0) return true;
    EndReason failure = EndReason::None;
    uint64_t received = 0;
    {
        SocketUse use(socket_);
        if (!use.isValid()) return false;
        auto* bytes = static_cast<char*>(destination);
        while (received < *count) {
            int milliseconds = -1;
            if (!readWaitFor(seconds, &milliseconds)) {
                failure = EndReason::ReadDeadline;
                break;
            }
            if (milliseconds >= 0) {
                int seen = waitForSocket(use.handle(), SocketReadable, milliseconds, nullptr);
                if (seen == 0) {
                    if (seconds == NoTimeout) continue;  // the deadline is checked again above
                    break;                               // a plain time-out leaves the socket open
                }
                if (seen < 0 || !(seen & SocketReadable)) {
                    failure = EndReason::Failed;
                    break;
                }
            }
            int64_t n = receiveSome(use.handle(), bytes + received, *count - received);
            if (n <= 0) {
                failure = n == 0 ? EndReason::PeerClosed : failureEnd(EndReason::PeerStoppedAnswering);
                break;
            }
            received += static_cast<uint64_t>(n);
            if (firstBytesSuffice) break;
        }
    }
    *count = received;
    if (failure != EndReason::None) {
        noteEnd(failure);
        close();
    }
    return received > 0;
}

bool IOSocketAbstract::writeWithTimeout(const void* source, uint64_t count, int32_t seconds) {
    EndReason failure = EndReason::None;
    uint64_t sent = 0;
    {
        SocketUse use(socket_);
        if (!use.isValid()) return false;
        const auto* bytes = static_cast<const char*>(source);
        while (sent < count && isOpen()) {
            if (seconds != NoTimeout) {
                int seen = waitForSocket(use.handle(), SocketWritable, millisecondsFor(seconds), nullptr);
                if (seen <= 0 || !(seen & SocketWritable)) {
                    failure = seen == 0 ? EndReason::PeerStoppedReading : EndReason::Failed;
                    break;
                }
            }
            int64_t n = sendSome(use.handle(), bytes + sent, count - sent);
            if (n < 0) {
                failure = failureEnd(EndReason::PeerStoppedReading);
                break;
            }
            sent += static_cast<uint64_t>(n);
        }
    }
    if (failure != EndReason::None) {
        noteEnd(failure);
        close();
    }
    return sent == count;
}

void IOSocketAbstract::closeSocketLocked() {
    socket_.shutdownAndClose();
    setOpen(false);
    bothFamilies_.store(false);
    address_.reset();
}

// Any OS socket is given back, also one that was made but never connected or listened.
bool IOSocketAbstract::close() {
    if (isOpen() || isListening() || socket_.isValid()) {
        noteEnd(EndReason::Closed);  // before the shutdown, which a blocked receive would take for the peer's
        stopRequested_.store(true);
        if (wake_) wake_->signal();
        stopThread();
        MutexLock guard(socketLock_);
        closeSocketLocked();
    }
    IODriverAbstract::close();
    return !isOpen() && !isListening();
}

void IOSocketAbstract::noteEnd(EndReason reason) {
    EndReason none = EndReason::None;
    endReason_.compare_exchange_strong(none, reason);
}

// The handle is closed here, without the orderly shutdown close makes; close then finds no handle to close.
void IOSocketAbstract::resetConnection() {
    noteEnd(EndReason::Closed);
    socket_.resetAndClose();
    close();
}

SocketAddress IOSocketAbstract::socketAddress() {
    MutexLock guard(socketLock_);
    return address_ ? *address_ : SocketAddress{};
}

BaseString* IOSocketAbstract::peerAddress() {
    MutexLock guard(socketLock_);
    if (!address_) return nullptr;
    return createAutoreleased<BaseString>(addressText(*address_).c_str());
}

std::string IOSocketAbstract::listenError() {
    MutexLock guard(socketLock_);
    return listenError_;
}

uint16_t IOSocketAbstract::boundPort() {
    SocketUse use(socket_);
    SocketAddress bound;
    if (!use.isValid() || !localAddress(use.handle(), &bound)) return 0;
    return addressPort(bound);
}

bool IOSocketAbstract::registerService() {
    AutoreleasePool pool;
    unregisterService();
    const char* protocol = serviceProtocol();
    BaseString* type = serviceString(serviceInfo_, "MDNS_SERVICE_TYPE");
    BaseString* name = serviceString(serviceInfo_, "MDNS_SERVICE_NAME");
    if (!protocol || !type || !name) return false;
    ServiceDescription service;
    service.name = name->chars();
    service.type = stringWithFormat("_%S.%s", type, protocol)->chars();
    service.port = port_ != 0 ? port_ : boundPort();
    service.txt = txtEntries(serviceInfo_);
    auto* advertisement = new ServiceAdvertisement(std::move(service), makeAdvertisingBackends());
    MutexLock guard(advertisementMutex_);
    advertisement_ = advertisement;
    return advertisement->start();
}

bool IOSocketAbstract::unregisterService() {
    ServiceAdvertisement* advertisement = nullptr;
    {
        MutexLock guard(advertisementMutex_);
        advertisement = advertisement_;
        advertisement_ = nullptr;
    }
    if (advertisement) advertisement->stop();
    release(advertisement);
    return true;
}

bool IOSocketAbstract::isServiceRegistered(std::chrono::milliseconds limit) {
    ServiceAdvertisement* advertisement = nullptr;
    {
        MutexLock guard(advertisementMutex_);
        advertisement = retain(advertisement_);
    }
    bool published = advertisement && advertisement->waitForOutcome(limit) == ServiceAdvertisement::State::Published;
    release(advertisement);
    return published;
}

std::optional<std::string> IOSocketAbstract::serviceOutcome() {
    MutexLock guard(advertisementMutex_);
    if (!advertisement_) return std::nullopt;
    return advertisement_->outcome();
}

std::string IOSocketAbstract::advertisedName() {
    MutexLock guard(advertisementMutex_);
    return advertisement_ ? advertisement_->currentName() : std::string();
}
