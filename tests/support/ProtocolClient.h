// A client of the bridge for tests, speaking the protocol through the foundation's own socket and
// serializer: connect, log in, request positions, or send raw bytes. Every receive has a deadline.
#pragma once

#include <chrono>
#include <string>

#include "base/BaseObject.h"

class BaseDictionary;
class BaseSerializer;
class IOSocketTCP;

// The app's own login values.
extern const char* const AppUserAgent;
BaseString* bridgeCredential();

class ProtocolClient {
public:
    // host: a name, a dotted IPv4 or an IPv6 address.
    explicit ProtocolClient(uint16_t port, const char* host = "127.0.0.1");
    ~ProtocolClient();
    ProtocolClient(const ProtocolClient&) = delete;
    ProtocolClient& operator=(const ProtocolClient&) = delete;

    bool connected() const;
    bool send(BaseObject* object);
    bool sendBytes(const std::string& bytes);
    // The next object (autoreleased), or null when none arrives within limit (the connection is then
    // closed) or the connection ended.
    BaseObject* receive(std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Sends a login dictionary of the given values (null leaves a key out) and returns the reply's
    // "Result", or -1 when no proper reply came.
    int32_t login(const char* userAgent, const char* password, const char* username = nullptr,
                  const char* protocolVersion = nullptr);
    int32_t loginAsApp() { return login(AppUserAgent, nullptr); }
    // How long login waits for its reply (5 s unless set): longer where the machine is loaded by many peers.
    void setLoginReplyLimit(std::chrono::milliseconds limit) { loginReplyLimit_ = limit; }
    // The reply dictionary of the last login (autoreleased), or null.
    BaseDictionary* lastLoginReply() const { return lastReply_; }
    // Sends {"cmd_id": command} and waits for a report; null when none came within limit.
    BaseDictionary* request(const char* command = "1", std::chrono::milliseconds limit = std::chrono::seconds(5));
    // True when the bridge closed the connection within limit.
    bool closedByPeer(std::chrono::milliseconds limit = std::chrono::seconds(10));
    // True when nothing arrives within limit and the connection stays open.
    bool nothingArrivesWithin(std::chrono::milliseconds limit);
    void close();
    // Closes so that the bridge sees a reset rather than an orderly close.
    void reset();

private:
    IOSocketTCP* socket_;
    BaseSerializer* serializer_;
    BaseDictionary* lastReply_ = nullptr;
    std::chrono::milliseconds loginReplyLimit_{std::chrono::seconds(5)};
};
