// One connection to the bridge, as a client: connect, log in, ask for positions. Objects travel in the
// record form through the foundation's own serializer over a TCP socket. Every wait for a reply has a
// deadline. The connection owns its socket and serializer.
#pragma once

#include <chrono>
#include <string>

#include "base/BaseObject.h"

class BaseDictionary;
class BaseSerializer;
class IOSocketTCP;

class BridgeConnection {
public:
    static constexpr std::chrono::seconds ReplyLimit{5};

    BridgeConnection();
    ~BridgeConnection();
    BridgeConnection(const BridgeConnection&) = delete;
    BridgeConnection& operator=(const BridgeConnection&) = delete;

    bool open(const std::string& address, uint16_t port);
    // The login result code, or -1 when no proper reply came. deviceName receives "Connected device_name".
    int32_t login(const std::string& userAgent, const std::string& password, std::string* deviceName);
    bool sendRequest();
    // The next report (autoreleased), or null when the connection ended or stayed silent too long.
    BaseDictionary* receiveReport();

private:
    BaseObject* receive();

    IOSocketTCP* socket_;
    BaseSerializer* serializer_ = nullptr;
};

// The result code of a login in words.
const char* loginResultText(int32_t code);
