// DistantObjectsCenter: one end of a connection that carries whole objects. It owns a TCP socket, a
// serializer over a buffering filter over that socket (reads take whatever has arrived, up to 4096 bytes, in
// one receive; writes are gathered into one send of up to 17000 bytes per message), and a thread that reads
// one object after another and hands each to its delegate.
//
// The same class plays two roles. A listening center owns the listening socket: for each accepted socket
// (announced by "NEW_CLIENT_CONNECTED_NOTIFICATION" on the accept thread) it makes a per-connection center,
// runs the login on it and hands it to the delegate, or parks it among the pending connections when there
// is no delegate. A per-connection center reads requests on its own thread and sends replies with
// sendObject. The delegate is never retained: it clears itself from every center before it goes away.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>

#include "base/BaseObject.h"
#include "platform/Socket.h"
#include "thread/BaseThread.h"

class BaseArray;
class BaseSerializer;
class BaseString;
class DistantObjectDelegate;
class IOSocketTCP;

class DistantObjectsCenter : public BaseObject, public BaseThread {
public:
    static constexpr uint32_t WriteBufferBytes = 17000;
    // The whole login object must arrive within this time of the accept, or the connection is closed.
    static constexpr std::chrono::seconds LoginDeadline{5};
    // Accepted connections probe a silent peer after 30 s and close after three unanswered probes 10 s
    // apart, so a client that vanished without closing frees its place within about a minute.
    static constexpr KeepAliveTiming ConnectionKeepAlive{30, 10, 3};

    explicit DistantObjectsCenter(IOSocketTCP* stream);
    ~DistantObjectsCenter() override;

    // A listening center on port (any local address), advertised by DNS-SD when both names are given.
    // Autoreleased; it listens until disconnected.
    static DistantObjectsCenter* createListeningCenter(uint16_t port, BaseString* serviceName, BaseString* serviceType);

    // Starts the receive thread when a delegate arrives on an open connection.
    void setDelegate(DistantObjectDelegate* delegate);
    DistantObjectDelegate* delegate() const { return delegate_.load(); }
    void setDeviceName(BaseString* name);
    // The name announced to clients at login (autoreleased).
    BaseString* deviceName();

    // Encodes object and sends it at once; a failed send is noticed by the next read.
    void sendObject(BaseObject* object);
    // Stops observing new connections, closes the socket and stops the receive thread (without waiting
    // for it when called on that thread). Harmless when repeated.
    void disconnect();
    // The server side of the login on a new connection; true when the client is let in.
    bool runLoginHandshake(bool refuse);

    IOSocketTCP* stream() const { return stream_; }
    BaseSerializer* serializer() const { return serializer_; }
    uint16_t port() const { return port_; }
    // The keep-alive timing of connections accepted from now on (tests shorten it).
    static void setKeepAliveTiming(const KeepAliveTiming& timing);
    // The logged-in connections accepted while no delegate was set (autoreleased copy).
    BaseArray* pendingConnections();

    const char* className() const override;
    int32_t observeNotification(BaseString* name, BaseObject* info, BaseObject* sender) override;

protected:
    // The receive loop of a per-connection center.
    void threadMethod() override;

private:
    void acceptNewestConnection();
    void park(DistantObjectsCenter* connection);
    void trackLogin(DistantObjectsCenter* connection);
    void disconnectOthers();

    IOSocketTCP* stream_;
    BaseSerializer* serializer_;
    uint16_t port_ = 0;
    std::atomic<DistantObjectDelegate*> delegate_{nullptr};
    std::mutex mutex_;  // guards deviceName_, pending_ and loginInProgress_
    BaseString* deviceName_;
    BaseArray* pending_ = nullptr;
    DistantObjectsCenter* loginInProgress_ = nullptr;
    std::mutex sendMutex_;
};
