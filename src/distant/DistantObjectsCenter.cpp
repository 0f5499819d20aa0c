#include "distant/DistantObjectsCenter.h"

#include "base/AutoreleasePool.h"
#include "base/BaseArray.h"
#include "base/BaseArrayEnumerator.h"
#include "base/BaseDictionary.h"
#include "base/BaseNumber.h"
#include "base/BaseString.h"
#include "base/InternString.h"
#include "distant/DistantObjectDelegate.h"
#include "distant/LoginManager.h"
#include "distant/NotificationCenter.h"
#include "io/IOBufferFilter.h"
#include "io/IOSocketTCP.h"
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

std::mutex keepAliveMutex;
KeepAliveTiming keepAliveTiming = DistantObjectsCenter::ConnectionKeepAlive;

KeepAliveTiming currentKeepAliveTiming() {
    std::lock_guard<std::mutex> guard(keepAliveMutex);
    return keepAliveTiming;
}

}  // namespace

void DistantObjectsCenter::setKeepAliveTiming(const KeepAliveTiming& timing) {
    std::lock_guard<std::mutex> guard(keepAliveMutex);
    keepAliveTiming = timing;
}

DistantObjectsCenter::DistantObjectsCenter(IOSocketTCP* stream)
    : BaseThread(true, false), stream_(retain(stream)), deviceName_(new BaseString()) {
    auto* filter = new IOBufferFilter(stream, ReadAheadBytes, WriteBufferBytes);
    serializer_ = new BaseSerializer(filter);
    release(filter);
}

DistantObjectsCenter::~DistantObjectsCenter() {
    disconnect();
    delegate_.store(nullptr);
    stopThread();
    release(deviceName_);
    release(pending_);
    release(serializer_);
    release(stream_);
}

const char* DistantObjectsCenter::className() const { return "DistantObjectsCenter"; }

DistantObjectsCenter* DistantObjectsCenter::createListeningCenter(uint16_t port, BaseString* serviceName,
                                                                  BaseString* serviceType) {
    auto* socket = new IOSocketTCP();
    socket->setAddress(nullptr, port);
    auto* center = createAutoreleased<DistantObjectsCenter>(socket);
    center->port_ = port;
    if (serviceName && serviceType) {
        AutoreleasePool pool;
        socket->setServiceInfo(serviceInfo(serviceName, serviceType), 0);
    }
    sharedNotificationCenter()->addObserver(center, newClientNotification());
    socket->listen();  // a port that cannot be bound leaves the center silent
    release(socket);
    return center;
}

void DistantObjectsCenter::setDelegate(DistantObjectDelegate* delegate) {
    delegate_.store(delegate);
    if (delegate && stream_->isOpen()) startThread();  // does nothing when the thread exists
}

void DistantObjectsCenter::setDeviceName(BaseString* name) {
    std::lock_guard<std::mutex> guard(mutex_);
    assignRetained(deviceName_, name);
}

BaseString* DistantObjectsCenter::deviceName() {
    std::lock_guard<std::mutex> guard(mutex_);
    return autorelease(retain(deviceName_));
}

BaseArray* DistantObjectsCenter::pendingConnections() {
    std::lock_guard<std::mutex> guard(mutex_);
    return pending_ ? autorelease(static_cast<BaseArray*>(pending_->copy(1))) : nullptr;
}

void DistantObjectsCenter::sendObject(BaseObject* object) {
    std::lock_guard<std::mutex> guard(sendMutex_);
    serializer_->setRootObject(object);
    serializer_->writeObject(object);
    serializer_->setRootObject(nullptr);
}

// A login still reading on the accept thread and the parked connections are closed first, so that the
// wait for the accept step to finish is short and nothing this center accepted outlives it.
void DistantObjectsCenter::disconnect() {
    disconnectOthers();
    sharedNotificationCenter()->removeObserver(this, newClientNotification());
    stream_->close();
    stopThread();
}

void DistantObjectsCenter::disconnectOthers() {
    BaseArray* parked = nullptr;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (loginInProgress_) loginInProgress_->stream()->close();
        parked = pending_;
        pending_ = nullptr;
    }
    for (BaseObject* connection : BaseArrayEnumerator(parked)) static_cast<DistantObjectsCenter*>(connection)->disconnect();
    release(parked);
}

int32_t DistantObjectsCenter::observeNotification(BaseString*, BaseObject*, BaseObject* sender) {
    if (sender != stream_) return 0;
    AutoreleasePool pool;
    acceptNewestConnection();
    return 0;
}

void DistantObjectsCenter::trackLogin(DistantObjectsCenter* connection) {
    std::lock_guard<std::mutex> guard(mutex_);
    assignRetained(loginInProgress_, connection);
}

void DistantObjectsCenter::park(DistantObjectsCenter* connection) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!pending_) pending_ = new BaseArray();
        pending_->addObject(connection);
    }
    connection->startThread();
}

// On the accept thread: the delegate's decision is taken before the login and carried into it, so a
// refused client still hears its result code.
void DistantObjectsCenter::acceptNewestConnection() {
    auto* socket = dynamic_cast<IOSocketTCP*>(stream_->clientAtIndex(stream_->clientCount() - 1));
    if (!socket) return;
    socket->setReadDeadline(std::chrono::steady_clock::now() + LoginDeadline);
    socket->enableKeepAlive(currentKeepAliveTiming());
    auto* connection = new DistantObjectsCenter(socket);
    DistantObjectDelegate* delegate = delegate_.load();
    bool refuse = delegate && !delegate->shouldAcceptConnection(connection);
    connection->setDeviceName(deviceName());
    trackLogin(connection);
    bool loggedIn = connection->runLoginHandshake(refuse);
    trackLogin(nullptr);
    socket->clearReadDeadline();
    if (loggedIn) {
        if ((delegate = delegate_.load())) {
            connection->serializer()->setFileDirectory(serializer_->fileDirectory());
            delegate->didAcceptConnection(connection);
        } else {
            park(connection);
        }
    }
    release(connection);  // a connection nobody kept closes here
}

// A peer that has not logged in may not put a file on this machine's disk: file records are refused until
// the login succeeds.
bool DistantObjectsCenter::runLoginHandshake(bool refuse) {
    AutoreleasePool pool;
    serializer_->setAcceptsFileRecords(false);
    BaseObject* request = serializer_->readObject();
    if (!hasClassName(request, "BaseDictionary")) return false;
    auto* login = static_cast<BaseDictionary*>(request);
    LoginResult code = LoginRefused;
    if (!refuse) {
        code = unsupportedProtocolVersion(login)
                   ? LoginBadProtocolVersion
                   : sharedLoginManager(HandshakeLoginMode)
                         ->checkLogin(BaseDictionary::objectForCStringKey(login, "User-Agent"),
                                      BaseDictionary::objectForCStringKey(login, "Username"),
                                      BaseDictionary::objectForCStringKey(login, "Password"));
    }
    auto* reply = createAutoreleased<BaseDictionary>();
    if (code == LoginOk) reply->setObjectForCStringKey(deviceName(), "Connected device_name");
    reply->setObjectForCStringKey(createAutoreleased<BaseNumber>(static_cast<int32_t>(code)), "Result");
    sendObject(reply);
    if (code == LoginOk) serializer_->setAcceptsFileRecords(true);
    return code == LoginOk;
}

void DistantObjectsCenter::threadMethod() {
    while (running() && stream_->isOpen()) {
        AutoreleasePool pool;
        BaseObject* object = serializer_->readObject();
        if (!object) {
            setRunning(false);
        } else if (DistantObjectDelegate* delegate = delegate_.load()) {
            delegate->didReceiveObject(object, this);
        }
    }
    if (DistantObjectDelegate* delegate = delegate_.load()) delegate->connectionDidClose(this);
}
