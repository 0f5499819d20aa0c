#include "io/IOSocketAbstract.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "base/AutoreleasePool.h"
#include "base/BaseDictionary.h"
#include "base/BaseDictionaryEnumerator.h"
#include "base/BaseString.h"
#include "base/StringFormat.h"
#include "distant/MDnsWrapper.h"

namespace {

// How long the simulator's thread may wait for the DNS-SD service to confirm a registration.
constexpr int RegistrationReplyMilliseconds = 5000;
// A pause after an accept or wait that failed for a passing reason, so that it cannot spin.
constexpr auto TransientFailurePause = std::chrono::milliseconds(10);
constexpr int32_t LongestWaitSeconds = 2147483;  // the longest wait that still fits in milliseconds
constexpr uint32_t LongestTxtValue = 255;

std::atomic<bool> socketsStarted{false};

int millisecondsFor(int32_t seconds) { return std::clamp(seconds, 0, LongestWaitSeconds) * 1000; }

void ignoreRegistrationReply(DNSServiceRef, DNSServiceFlags, DNSServiceErrorType, const char*, const char*,
                             const char*, void*) {}

BaseString* serviceString(BaseDictionary* info, const char* key) {
    BaseObject* value = BaseDictionary::objectForCStringKey(info, key);
    return hasClassName(value, "BaseString") ? static_cast<BaseString*>(value) : nullptr;
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
    std::lock_guard<std::recursive_mutex> guard(socketLock_);
    address_ = std::make_unique<SocketAddress>(address);
    addressLength_ = sizeof(SocketAddress::bytes);
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

const char* IOSocketAbstract::serviceProtocol() const { return nullptr; }

bool IOSocketAbstract::createSocket() { return false; }

void IOSocketAbstract::setAddress(const char* host, uint16_t port) {
    hasHost_ = host != nullptr;
    host_ = host ? host : "";
    port_ = port;
    if (!hasAddressBlock() || !socket_.isValid()) createSocket();
}

bool IOSocketAbstract::hasAddressBlock() {
    std::lock_guard<std::recursive_mutex> guard(socketLock_);
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
    std::lock_guard<std::recursive_mutex> guard(socketLock_);
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
    std::lock_guard<std::recursive_mutex> guard(socketLock_);
    if (!address_ || !bindFirstCandidate()) return false;
    if (serviceInfo_) registerService();
    if (wake_) {
        wake_->drain();
    } else {
        wake_ = std::make_unique<WakeChannel>();
    }
    stopRequested_.store(false);
    return IODriverAbstract::listen();
}

// The body of the driver thread: waits for peers (or a wake-up from close) at most 2 s at a time.
void IOSocketAbstract::acceptLoop() {
    while (running() && isListening() && !stopRequested_.load()) {
        AutoreleasePool pool;
        std::lock_guard<std::recursive_mutex> guard(socketLock_);
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
    bool failed = false;
    uint64_t received = 0;
    {
        SocketUse use(socket_);
        if (!use.isValid()) return false;
        auto* bytes = static_cast<char*>(destination);
        while (received < *count) {
            int milliseconds = -1;
            if (!readWaitFor(seconds, &milliseconds)) {
                failed = true;  // the deadline passed
                break;
            }
            if (milliseconds >= 0) {
                int seen = waitForSocket(use.handle(), SocketReadable, milliseconds, nullptr);
                if (seen == 0) {
                    if (seconds == NoTimeout) continue;  // the deadline is checked again above
                    break;                               // a plain time-out leaves the socket open
                }
                if (seen < 0 || !(seen & SocketReadable)) {
                    failed = true;
                    break;
                }
            }
            int64_t n = receiveSome(use.handle(), bytes + received, *count - received);
            if (n <= 0) {
                failed = true;  // the peer closed, or the connection broke
                break;
            }
            received += static_cast<uint64_t>(n);
            if (firstBytesSuffice) break;
        }
    }
    *count = received;
    if (failed) close();
    return received > 0;
}

bool IOSocketAbstract::writeWithTimeout(const void* source, uint64_t count, int32_t seconds) {
    bool failed = false;
    uint64_t sent = 0;
    {
        SocketUse use(socket_);
        if (!use.isValid()) return false;
        const auto* bytes = static_cast<const char*>(source);
        while (sent < count && isOpen()) {
            if (seconds != NoTimeout) {
                int seen = waitForSocket(use.handle(), SocketWritable, millisecondsFor(seconds), nullptr);
                if (seen <= 0 || !(seen & SocketWritable)) {
                    failed = true;
                    break;
                }
            }
            int64_t n = sendSome(use.handle(), bytes + sent, count - sent);
            if (n < 0) {
                failed = true;
                break;
            }
            sent += static_cast<uint64_t>(n);
        }
    }
    if (failed) close();
    return sent == count;
}

void IOSocketAbstract::closeSocketLocked() {
    socket_.shutdownAndClose();
    setOpen(false);
    bothFamilies_.store(false);
    address_.reset();
    addressLength_ = 0;
}

// Any OS socket is given back, also one that was made but never connected or listened.
bool IOSocketAbstract::close() {
    if (isOpen() || isListening() || socket_.isValid()) {
        stopRequested_.store(true);
        if (wake_) wake_->signal();
        stopThread();
        std::lock_guard<std::recursive_mutex> guard(socketLock_);
        closeSocketLocked();
    }
    IODriverAbstract::close();
    return !isOpen() && !isListening();
}

BaseString* IOSocketAbstract::peerAddress() {
    std::lock_guard<std::recursive_mutex> guard(socketLock_);
    if (!address_) return nullptr;
    return createAutoreleased<BaseString>(addressText(*address_).c_str());
}

uint16_t IOSocketAbstract::boundPort() {
    SocketUse use(socket_);
    SocketAddress bound;
    if (!use.isValid() || !localAddress(use.handle(), &bound)) return 0;
    return addressPort(bound);
}

void IOSocketAbstract::addTxtEntries(MDnsWrapper* wrapper) {
    auto* entries = BaseDictionary::objectForCStringKey(serviceInfo_, "SOCKET_TXT_RECORD_ENTRIES");
    if (!hasClassName(entries, "BaseDictionary")) return;
    for (BaseDictionaryEnumerator e(static_cast<BaseDictionary*>(entries)); !e.atEnd(); e.advance()) {
        if (!hasClassName(e.key(), "BaseString") || !hasClassName(e.value(), "BaseString")) continue;
        auto* value = static_cast<BaseString*>(e.value());
        if (value->length() > LongestTxtValue) continue;  // does not fit the 8-bit length
        wrapper->txtSetValueFunction()(&txtRecord_, static_cast<BaseString*>(e.key())->chars(),
                                       static_cast<uint8_t>(value->length()), value->chars());
    }
}

// Waits, for a bounded time, for the DNS-SD service's answer before reading it, so that a daemon that
// never answers cannot freeze the simulator's thread.
bool IOSocketAbstract::waitForRegistrationReply(MDnsWrapper* wrapper) {
    if (wrapper->socketFunction()) {
        int descriptor = wrapper->socketFunction()(registration_);
        if (descriptor < 0) return false;
        if (!(waitForSocket(descriptor, SocketReadable, RegistrationReplyMilliseconds, nullptr) & SocketReadable)) {
            return false;
        }
    }
    return wrapper->processResultFunction()(registration_) == kDNSServiceErr_NoError;
}

bool IOSocketAbstract::registerService() {
    AutoreleasePool pool;
    unregisterService();
    const char* protocol = serviceProtocol();
    dnsWrapper_ = sharedMDnsWrapper();
    if (!dnsWrapper_ || !protocol) return false;
    MDnsWrapper* wrapper = dnsWrapper_;
    if (!wrapper->canRegister()) return false;
    wrapper->txtCreateFunction()(&txtRecord_, 512, nullptr);
    txtRecordMade_ = true;
    addTxtEntries(wrapper);
    BaseString* type = serviceString(serviceInfo_, "MDNS_SERVICE_TYPE");
    BaseString* name = serviceString(serviceInfo_, "MDNS_SERVICE_NAME");
    if (!type || !name) return false;
    BaseString* registrationType = stringWithFormat("_%S.%s.", type, protocol);
    uint16_t port = port_ != 0 ? port_ : boundPort();
    DNSServiceErrorType error = wrapper->registerFunction()(
        &registration_, 0, 0, name->chars(), registrationType->chars(), nullptr, nullptr, toNetworkOrder(port),
        wrapper->txtLengthFunction()(&txtRecord_), wrapper->txtBytesFunction()(&txtRecord_),
        ignoreRegistrationReply, this);
    if (error != kDNSServiceErr_NoError) {
        registration_ = nullptr;
        return false;
    }
    serviceRegistered_ = waitForRegistrationReply(wrapper);
    return serviceRegistered_;
}

bool IOSocketAbstract::unregisterService() {
    if (dnsWrapper_ && dnsWrapper_->isLoaded()) {
        if (registration_ && dnsWrapper_->deallocateFunction()) dnsWrapper_->deallocateFunction()(registration_);
        if (txtRecordMade_ && dnsWrapper_->txtDeallocateFunction()) dnsWrapper_->txtDeallocateFunction()(&txtRecord_);
    }
    registration_ = nullptr;
    txtRecordMade_ = false;
    serviceRegistered_ = false;
    release(dnsWrapper_);
    dnsWrapper_ = nullptr;
    return true;
}
