// DistantObjectsCenter: one end of a connection that carries whole objects. It owns a TCP socket, a
// serializer over a buffering filter over that socket (reads take whatever has arrived, up to 4096 bytes, in
// one receive; writes are gathered into one send of up to 17000 bytes per message), and a thread that reads
// one object after another and hands each to its delegate. A message the delegate names as frequent is
// recognised by its exact bytes when they have all arrived, without decoding.
//
// The same class plays two roles. A listening center owns the listening socket: for each accepted socket
// (announced by "NEW_CLIENT_CONNECTED_NOTIFICATION" on the accept thread) it makes a per-connection center
// and starts its login (a PendingLogin, on a thread of its own, so that logins are read side by side and
// the accept thread only accepts); once the login object has arrived it answers it and hands the
// connection to the delegate, or parks it among the pending connections when there is no delegate. A
// per-connection center reads requests on its own thread and sends replies with sendObject. The delegate
// is never retained: it clears itself from every center before it goes away.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "base/BaseObject.h"
#include "platform/Mutex.h"
#include "platform/Socket.h"
#include "thread/BaseThread.h"

class BaseArray;
class BaseSerializer;
class BaseString;
class DistantObjectDelegate;
class IOBufferFilter;
class IOSocketTCP;
class LocalNetworks;
class PendingLogin;

class DistantObjectsCenter : public BaseObject, public BaseThread {
public:
    static constexpr uint32_t WriteBufferBytes = 17000;
    // The whole login object must arrive within this time of the accept, or the connection is closed.
    static constexpr std::chrono::seconds LoginDeadline{5};
    // Accepted connections probe a silent peer after 30 s and close after three unanswered probes 10 s
    // apart, so a client that vanished without closing frees its place within about a minute; a client that
    // reads nothing of what is sent to it for as long is closed as well.
    static constexpr KeepAliveTiming ConnectionKeepAlive{30, 10, 3};
    // Logins read at once. When a connection arrives while this many wait, the one that has waited longest
    // is closed without a reply to make room: a burst of silent peers cannot keep out an app that logs in.
    static constexpr uint32_t MostPendingLogins = 32;
    // Logins one address may have waiting at once. A connection beyond it closes that address's own oldest
    // waiting login: a storm from one address cannot push out the logins of others.
    static constexpr uint32_t MostPendingLoginsPerAddress = 4;

    // Which peers a listening center lets log in: those on this computer's networks (LocalNetworks.h), or
    // any. Others are closed at once, before their login is read, without a reply.
    enum class PeerScope { LocalNetworks, Anywhere };

    explicit DistantObjectsCenter(IOSocketTCP* stream);
    ~DistantObjectsCenter() override;

    // A listening center on port (any local address), advertised by DNS-SD when both names are given, taking
    // peers of scope. Autoreleased; it listens until disconnected.
    static DistantObjectsCenter* createListeningCenter(uint16_t port, BaseString* serviceName, BaseString* serviceType,
                                                       PeerScope scope = PeerScope::LocalNetworks);

    // Starts the receive thread when a delegate arrives on an open connection. True when the receive thread
    // runs (or ran), so that the delegate hears connectionDidClose when the connection ends; false when the
    // connection had ended already, and nothing will tell of it.
    bool setDelegate(DistantObjectDelegate* delegate);
    DistantObjectDelegate* delegate() const { return delegate_.load(); }
    void setDeviceName(BaseString* name) EXCLUDES(mutex_);
    // The name announced to clients at login (autoreleased): for a listening center that announces itself by
    // DNS-SD, the name the network knows it by now.
    BaseString* deviceName() EXCLUDES(mutex_);
    // An accepted connection's peer address as text, kept from its acceptance so that it can still be named
    // after the socket closed (autoreleased; "?" when unknown).
    BaseString* peerName() EXCLUDES(mutex_);

    // Encodes object and sends it at once; a failed send is noticed by the next read.
    void sendObject(BaseObject* object) EXCLUDES(sendMutex_);
    // Sends bytes already encoded in the record form (a whole record) at once, through the same buffer as
    // sendObject; a failed send is noticed by the next read.
    void sendEncoded(const char* bytes, uint64_t length) EXCLUDES(sendMutex_);
    // How many sendEncoded calls have handed their bytes to the system.
    uint64_t encodedMessagesSent() const { return encodedMessagesSent_.load(std::memory_order_relaxed); }
    // When the center was made: for an accepted connection, when its peer connected.
    std::chrono::system_clock::time_point createdAt() const { return createdAt_; }
    // Stops observing new connections, closes the socket and stops the receive thread (without waiting
    // for it when called on that thread). A listening center first ends its pending logins, without waiting
    // for their deadlines. Harmless when repeated.
    void disconnect();
    // On a new connection, before login: its first object, which must arrive by the read deadline set at
    // accept; null (and the connection closed) when it does not, or when it is not a dictionary.
    BaseObject* readLoginRequest();
    // On the listening center, from a login's thread: answers the login request read on connection and, when
    // the client is let in, hands the connection to the delegate (or parks it).
    void admit(DistantObjectsCenter* connection, BaseObject* request) EXCLUDES(admissionMutex_);

    IOSocketTCP* stream() const { return stream_; }
    BaseSerializer* serializer() const { return serializer_; }
    uint16_t port() const { return port_; }
    // The keep-alive timing of connections accepted from now on (tests shorten it).
    static void setKeepAliveTiming(const KeepAliveTiming& timing);
    // For an accepted connection: how long its peer may leave the probes and the data sent unanswered before
    // the connection is dropped, in seconds.
    int silenceLimitSeconds() const { return silenceLimitSeconds_; }
    // The logged-in connections accepted while no delegate was set (autoreleased copy).
    BaseArray* pendingConnections() EXCLUDES(mutex_);

    const char* className() const override;
    int32_t observeNotification(BaseString* name, BaseObject* info, BaseObject* sender) override;

protected:
    // The receive loop of a per-connection center.
    void threadMethod() override;

private:
    // Answers the delegate's frequent message when its whole bytes are next in the read-ahead; false when
    // the next object must go through the decoder.
    bool answerFrequentMessage();
    void acceptNewestConnection();
    // True when a login started for connection; false beyond MostPendingLogins or while disconnecting.
    bool startLogin(DistantObjectsCenter* connection) EXCLUDES(loginsMutex_);
    // Joins and lets go of the logins whose threads have ended.
    void reapFinishedLogins() EXCLUDES(loginsMutex_);
    // Closes and joins the oldest waiting login of peer when it has MostPendingLoginsPerAddress waiting, or,
    // when MostPendingLogins wait, the oldest of the address that has the most.
    void makeRoomForLogin(const std::string& peer) EXCLUDES(loginsMutex_);
    void abandonLogins() EXCLUDES(loginsMutex_);
    // The server side of the login: the result code for the client's request, LoginRefused when refuse.
    int32_t loginResult(BaseObject* request, bool refuse);
    // Sends the client its result code, with the device name when it is let in.
    void sendLoginReply(int32_t code);
    void park(DistantObjectsCenter* connection) EXCLUDES(mutex_);
    void disconnectOthers() EXCLUDES(mutex_);
    // Closes a new connection whose peer is outside the listening center's scope, and tells of it.
    bool refuseOffNetwork(IOSocketTCP* socket);
    // How many logins peer has waiting.
    uint32_t waitingLoginsOf(const std::string& peer) REQUIRES(loginsMutex_);
    // The oldest waiting login to close for a connection from peer, taken off the list; null when there is
    // room.
    PendingLogin* takeLoginToClose(const std::string& peer) REQUIRES(loginsMutex_);

    IOSocketTCP* stream_;
    IOBufferFilter* buffer_;  // between the serializer and the socket; read on the receive thread only
    BaseSerializer* serializer_;
    uint16_t port_ = 0;
    // Only a listening center observes new connections. A per-connection center, which may go away on a
    // login's thread while the accept thread delivers a notification, never touches the observer list.
    bool observing_ = false;
    std::atomic<DistantObjectDelegate*> delegate_{nullptr};
    // A listening center's rule for its peers; null when any may log in. Used on the accept thread only.
    std::unique_ptr<LocalNetworks> localNetworks_;
    Mutex mutex_;
    BaseString* deviceName_ GUARDED_BY(mutex_);
    BaseString* peerName_ GUARDED_BY(mutex_) = nullptr;
    BaseArray* pending_ GUARDED_BY(mutex_) = nullptr;
    Mutex loginsMutex_;
    BaseArray* logins_ GUARDED_BY(loginsMutex_) = nullptr;  // the PendingLogins not yet joined
    bool closing_ GUARDED_BY(loginsMutex_) = false;         // no login starts any more
    // Held while one login is answered and adopted, so that logins ending together cannot both take the
    // last place the delegate has.
    Mutex admissionMutex_;
    // One message at a time goes through the serializer and the write buffer.
    Mutex sendMutex_;
    std::atomic<uint64_t> encodedMessagesSent_{0};
    int silenceLimitSeconds_ = 0;  // set before the connection is handed to any other thread
    const std::chrono::system_clock::time_point createdAt_ = std::chrono::system_clock::now();
};
