#include "distant/DistantObjectsCenter.h"

#include "base/AutoreleasePool.h"
#include "base/BaseArray.h"
#include "base/BaseArrayEnumerator.h"
#include "base/BaseDictionary.h"
#include "base/BaseNumber.h"
#include "base/BaseString.h"
#include "base/InternString.h"
#include "base/NeverDestroyed.h"
#include "base/NotificationCenter.h"
#include "base/PilotLog.h"
#include "distant/DistantObjectDelegate.h"
#include "distant/LoginManager.h"
#include "distant/PendingLogin.h"
#include "io/IOBufferFilter.h"
#include "io/IOSocketTCP.h"
#include "io/LocalNetworks.h"
#include "serialization/BaseSerializer.h"

namespace {

// A request's dozen small fields come out of one receive instead of one receive each.
constexpr uint32_t ReadAheadBytes = 4096;
// The mode asked for when the handshake is the first to use the shared manager (the bridge always is not).
constexpr int32_t HandshakeLoginMode = LoginCheckUsername | LoginCheckPassword;

// Interned: disconnect may run in a destructor while its thread's last pool drains, with no pool to take
// a temporary.
BaseString* newClientNotification() { return internString("NEW_CLIENT_CONNECTED_NOTIFICATION"_lit); }

BaseDictionary* serviceInfo(BaseString* serviceName, BaseString* serviceType) {
    auto* entries = createAutoreleased<BaseDictionary>();
    entries->setStringForCStringKey("1", "txtvers");
    entries->setStringForCStringKey("1", "qtotal");
    entries->setStringForCStringKey("30", "priority");
    auto* info = createAutoreleased<BaseDictionary>();
    info->setObjectForCStringKey(entries, "SOCKET_TXT_RECORD_ENTRIES");
    info->setObjectForCStringKey(BaseString::stringWithString(serviceName), "MDNS_SERVICE_NAME");
    info->setObjectForCStringKey(serviceType, "MDNS_SERVICE_TYPE");
    return info;
}

// A "Protocol_Version" that is a string reading as anything but 0; any other value counts as absent.
bool unsupportedProtocolVersion(BaseDictionary* request) {
    BaseObject* version = BaseDictionary::objectForCStringKey(request, "Protocol_Version");
    return hasClassName(version, "BaseString") && static_cast<BaseString*>(version)->intValue() != 0;
}

// Never destroyed: connection threads may read the timing while the process exits.
Mutex& keepAliveMutex() {
    static NeverDestroyed<Mutex> mutex;
    return *mutex;
}
KeepAliveTiming chosenKeepAlive GUARDED_BY(keepAliveMutex()) = DistantObjectsCenter::ConnectionKeepAlive;

KeepAliveTiming currentKeepAliveTiming() {
    MutexLock guard(keepAliveMutex());
    return chosenKeepAlive;
}

}  // namespace

void DistantObjectsCenter::setKeepAliveTiming(const KeepAliveTiming& timing) {
    MutexLock guard(keepAliveMutex());
    chosenKeepAlive = timing;
}

DistantObjectsCenter::DistantObjectsCenter(IOSocketTCP* stream)
    : BaseThread(true, false), stream_(retain(stream)), deviceName_(new BaseString()) {
    buffer_ = new IOBufferFilter(stream, ReadAheadBytes, WriteBufferBytes);
    serializer_ = new BaseSerializer(buffer_);
}

DistantObjectsCenter::~DistantObjectsCenter() {
    disconnect();
    delegate_.store(nullptr);
    stopThread();
    release(deviceName_);
    release(peerName_);
    release(pending_);
    release(serializer_);
    release(buffer_);
    release(stream_);
}

const char* DistantObjectsCenter::className() const { return "DistantObjectsCenter"; }

DistantObjectsCenter* DistantObjectsCenter::createListeningCenter(uint16_t port, BaseString* serviceName,
                                                                  BaseString* serviceType, PeerScope scope) {
    auto* socket = new IOSocketTCP();
    socket->setAddress(nullptr, port);
    auto* center = createAutoreleased<DistantObjectsCenter>(socket);
    center->port_ = port;
    if (scope == PeerScope::LocalNetworks) center->localNetworks_ = std::make_unique<LocalNetworks>();
    if (serviceName && serviceType) {
        AutoreleasePool pool;
        socket->setServiceInfo(serviceInfo(serviceName, serviceType), 0);
    }
    center->observing_ = true;
    sharedNotificationCenter()->addObserver(center, newClientNotification());
    socket->listen();  // a port that cannot be bound leaves the center silent
    release(socket);
    return center;
}

// A receive thread started on a connection that closes meanwhile ends at once and reports the close.
bool DistantObjectsCenter::setDelegate(DistantObjectDelegate* delegate) {
    delegate_.store(delegate);
    if (!delegate) return false;
    if (hasThread()) return true;
    return stream_->isOpen() && startThread();
}

void DistantObjectsCenter::setDeviceName(BaseString* name) {
    MutexLock guard(mutex_);
    assignRetained(deviceName_, name);
}

BaseString* DistantObjectsCenter::deviceName() {
    std::string advertised = observing_ ? stream_->advertisedName() : std::string();
    if (!advertised.empty()) return createAutoreleased<BaseString>(advertised.c_str());
    MutexLock guard(mutex_);
    return autorelease(retain(deviceName_));
}

BaseString* DistantObjectsCenter::peerName() {
    MutexLock guard(mutex_);
    return peerName_ ? autorelease(retain(peerName_)) : constantString("?"_lit);
}

BaseArray* DistantObjectsCenter::pendingConnections() {
    MutexLock guard(mutex_);
    return pending_ ? autorelease(static_cast<BaseArray*>(pending_->copy(1))) : nullptr;
}

void DistantObjectsCenter::sendObject(BaseObject* object) {
    MutexLock guard(sendMutex_);
    serializer_->setRootObject(object);
    serializer_->writeObject(object);
    serializer_->setRootObject(nullptr);
}

// The serializer's own stream is the connection's write buffer: the bytes leave in one send, as a record
// written by sendObject does.
void DistantObjectsCenter::sendEncoded(const char* bytes, uint64_t length) {
    MutexLock guard(sendMutex_);
    IOAbstract* buffer = serializer_->baseStream();
    if (buffer->write(bytes, length) && buffer->flush()) encodedMessagesSent_.fetch_add(1, std::memory_order_relaxed);
}

// The pending logins and the parked connections are closed first, so that nothing this center accepted
// outlives it and no login waits out its deadline.
void DistantObjectsCenter::disconnect() {
    disconnectOthers();
    if (observing_) sharedNotificationCenter()->removeObserver(this, newClientNotification());
    stream_->close();
    stopThread();
}

// Logins go first: one that ends meanwhile may still park its connection.
void DistantObjectsCenter::disconnectOthers() {
    abandonLogins();
    BaseArray* parked = nullptr;
    {
        MutexLock guard(mutex_);
        parked = pending_;
        pending_ = nullptr;
    }
    for (BaseObject* connection : BaseArrayEnumerator(parked)) static_cast<DistantObjectsCenter*>(connection)->disconnect();
    release(parked);
}

// Every login is woken first, then joined: a login thread holds a reference to itself while it runs, so
// letting go of the list alone would not wait for it.
void DistantObjectsCenter::abandonLogins() {
    BaseArray* logins = nullptr;
    {
        MutexLock guard(loginsMutex_);
        closing_ = true;
        logins = logins_;
        logins_ = nullptr;
    }
    for (BaseObject* login : BaseArrayEnumerator(logins)) static_cast<PendingLogin*>(login)->abandon();
    for (BaseObject* login : BaseArrayEnumerator(logins)) static_cast<PendingLogin*>(login)->stopThread();
    release(logins);
}

void DistantObjectsCenter::reapFinishedLogins() {
    auto* ended = createAutoreleased<BaseArray>();
    {
        MutexLock guard(loginsMutex_);
        for (uint32_t i = logins_ ? logins_->count() : 0; i-- > 0;) {
            auto* login = static_cast<PendingLogin*>(logins_->objectAtIndex(i));
            if (!login->finished()) continue;
            ended->addObject(login);
            logins_->removeObjectAtIndex(i);
        }
    }
    for (BaseObject* login : BaseArrayEnumerator(ended)) static_cast<PendingLogin*>(login)->stopThread();
}

uint32_t DistantObjectsCenter::waitingLoginsOf(const std::string& peer) {
    uint32_t waiting = 0;
    for (BaseObject* element : BaseArrayEnumerator(logins_)) {
        auto* login = static_cast<PendingLogin*>(element);
        waiting += login->peer() == peer && login->waiting();
    }
    return waiting;
}

// The peer's own oldest when it has its share waiting; otherwise, when the list is full, the oldest of the
// address with the most waiting. The oldest login is the first in the list; one whose object has arrived
// finishes in a moment and is passed by.
PendingLogin* DistantObjectsCenter::takeLoginToClose(const std::string& peer) {
    if (!logins_) return nullptr;
    std::string crowded = peer;
    if (waitingLoginsOf(peer) < MostPendingLoginsPerAddress) {
        if (logins_->count() < MostPendingLogins) return nullptr;
        uint32_t most = 0;
        for (BaseObject* element : BaseArrayEnumerator(logins_)) {
            const std::string& address = static_cast<PendingLogin*>(element)->peer();
            uint32_t waiting = waitingLoginsOf(address);
            if (waiting > most) {
                most = waiting;
                crowded = address;
            }
        }
    }
    for (uint32_t i = 0; i < logins_->count(); ++i) {
        auto* login = static_cast<PendingLogin*>(logins_->objectAtIndex(i));
        if (login->peer() != crowded || !login->waiting()) continue;
        retain(login);
        logins_->removeObjectAtIndex(i);
        return login;
    }
    return nullptr;
}

// Only the accept thread adds logins, so the room made here is still there when the next one starts.
void DistantObjectsCenter::makeRoomForLogin(const std::string& peer) {
    PendingLogin* oldest = nullptr;
    {
        MutexLock guard(loginsMutex_);
        oldest = takeLoginToClose(peer);
    }
    if (!oldest) return;
    bool samePeer = oldest->peer() == peer;
    oldest->abandon();
    oldest->stopThread();
    PilotLog::writeForPeer("app " + oldest->peer() + " closed before it logged in: " +
                           (samePeer ? std::to_string(MostPendingLoginsPerAddress) + " connections from its address"
                                     : std::to_string(MostPendingLogins) + " connections") +
                           " were waiting to log in");
    release(oldest);
}

// The thread starts under the lock, so that a disconnect that takes the list finds it running and joins it.
bool DistantObjectsCenter::startLogin(DistantObjectsCenter* connection) {
    MutexLock guard(loginsMutex_);
    if (closing_ || (logins_ && logins_->count() >= MostPendingLogins)) return false;
    if (!logins_) logins_ = new BaseArray();
    auto* login = new PendingLogin(this, connection);
    logins_->addObject(login);
    release(login);
    return login->startThread();
}

int32_t DistantObjectsCenter::observeNotification(BaseString*, BaseObject*, BaseObject* sender) {
    if (sender != stream_) return 0;
    AutoreleasePool pool;
    acceptNewestConnection();
    return 0;
}

void DistantObjectsCenter::park(DistantObjectsCenter* connection) {
    {
        MutexLock guard(mutex_);
        if (!pending_) pending_ = new BaseArray();
        pending_->addObject(connection);
    }
    connection->startThread();
}

// On the accept thread, which only hands the connection on: its login deadline counts from here. A
// connection for which no login starts is closed by the release below, without a reply.
void DistantObjectsCenter::acceptNewestConnection() {
    auto* socket = dynamic_cast<IOSocketTCP*>(stream_->clientAtIndex(stream_->clientCount() - 1));
    if (!socket || refuseOffNetwork(socket)) return;
    socket->setReadDeadline(std::chrono::steady_clock::now() + LoginDeadline);
    KeepAliveTiming keepAlive = currentKeepAliveTiming();
    socket->enableKeepAlive(keepAlive);
    auto* connection = new DistantObjectsCenter(socket);
    connection->silenceLimitSeconds_ = keepAlive.idleSeconds + keepAlive.intervalSeconds * keepAlive.probes;
    socket->limitSendWait(connection->silenceLimitSeconds_);
    {
        MutexLock guard(connection->mutex_);  // uncontended: no other thread knows the connection yet
        connection->peerName_ = retain(socket->peerAddress());
    }
    reapFinishedLogins();
    makeRoomForLogin(connection->peerName()->chars());
    startLogin(connection);
    release(connection);
}

// The peer hears nothing: a reply would tell a stranger's scanner what listens here.
bool DistantObjectsCenter::refuseOffNetwork(IOSocketTCP* socket) {
    if (!localNetworks_ || localNetworks_->isLocal(socket->socketAddress())) return false;
    BaseString* peer = socket->peerAddress();
    socket->close();
    DistantObjectDelegate* delegate = delegate_.load();
    if (delegate) delegate->didRefusePeer(peer ? peer->chars() : "?", RefusedOffNetwork);
    return true;
}

// A peer that has not logged in may not put a file on this machine's disk: file records are refused until
// the login succeeds.
BaseObject* DistantObjectsCenter::readLoginRequest() {
    serializer_->setAcceptsFileRecords(false);
    BaseObject* request = serializer_->readObject();
    stream_->clearReadDeadline();
    if (hasClassName(request, "BaseDictionary")) return request;
    stream_->close();
    return nullptr;
}

// The delegate is asked for room only now that the login has arrived, and under the admission lock: with
// logins read side by side, room found earlier could be taken by another login meanwhile. A refused client
// still hears its result code, after the refusal has been told: once the client knows, nothing of its login
// reaches the delegate any more. A connection that ended while its reply was sent (a peer that reset at
// once) is never handed on: nothing would ever tell of its end.
void DistantObjectsCenter::admit(DistantObjectsCenter* connection, BaseObject* request) {
    MutexLock guard(admissionMutex_);
    DistantObjectDelegate* delegate = delegate_.load();
    bool refuse = delegate && !delegate->shouldAcceptConnection(connection);
    int32_t code = connection->loginResult(request, refuse);
    if (code == LoginOk) connection->setDeviceName(deviceName());  // as the network knows the bridge now
    if (code != LoginOk && delegate) {
        AutoreleasePool pool;
        delegate->didRefusePeer(connection->peerName()->chars(), code);
    }
    connection->sendLoginReply(code);
    if (code != LoginOk || !connection->stream()->isOpen()) return;
    if ((delegate = delegate_.load())) {
        connection->serializer()->setFileDirectory(serializer_->fileDirectory());
        delegate->didAcceptConnection(connection);
    } else {
        park(connection);
    }
}

int32_t DistantObjectsCenter::loginResult(BaseObject* request, bool refuse) {
    if (refuse) return LoginRefused;
    AutoreleasePool pool;
    auto* login = static_cast<BaseDictionary*>(request);
    if (unsupportedProtocolVersion(login)) return LoginBadProtocolVersion;
    return sharedLoginManager(HandshakeLoginMode)
        ->checkLogin(BaseDictionary::objectForCStringKey(login, "User-Agent"),
                     BaseDictionary::objectForCStringKey(login, "Username"),
                     BaseDictionary::objectForCStringKey(login, "Password"));
}

void DistantObjectsCenter::sendLoginReply(int32_t code) {
    AutoreleasePool pool;
    auto* reply = createAutoreleased<BaseDictionary>();
    if (code == LoginOk) reply->setObjectForCStringKey(deviceName(), "Connected device_name");
    reply->setObjectForCStringKey(createAutoreleased<BaseNumber>(code), "Result");
    sendObject(reply);
    if (code == LoginOk) serializer_->setAcceptsFileRecords(true);
}

bool DistantObjectsCenter::answerFrequentMessage() {
    DistantObjectDelegate* delegate = delegate_.load();
    if (!delegate) return false;
    std::string_view message = delegate->frequentMessage();
    if (message.empty() || !buffer_->fillReadAhead() || !buffer_->consumeIfNext(message)) return false;
    AutoreleasePool pool;
    delegate->didReceiveFrequentMessage(this);
    return true;
}

void DistantObjectsCenter::threadMethod() {
    while (running() && stream_->isOpen()) {
        if (answerFrequentMessage()) continue;
        AutoreleasePool pool;
        BaseObject* object = serializer_->readObject();
        if (!object) {
            stream_->noteEnd(IOSocketAbstract::EndReason::Unreadable);  // kept only while the stream is open
            setRunning(false);
        } else if (DistantObjectDelegate* delegate = delegate_.load()) {
            delegate->didReceiveObject(object, this);
        }
    }
    if (DistantObjectDelegate* delegate = delegate_.load()) delegate->connectionDidClose(this);
}
