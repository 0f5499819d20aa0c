#include "BridgeConnection.h"

#include "base/AutoreleasePool.h"
#include "base/BaseDictionary.h"
#include "base/BaseNumber.h"
#include "base/BaseString.h"
#include "io/IOBufferFilter.h"
#include "io/IOSocketTCP.h"
#include "serialization/BaseSerializer.h"

namespace {

constexpr uint32_t WriteBufferBytes = 17000;

}  // namespace

BridgeConnection::BridgeConnection() : socket_(new IOSocketTCP()) {}

BridgeConnection::~BridgeConnection() {
    socket_->close();
    release(serializer_);
    release(socket_);
}

bool BridgeConnection::open(const std::string& address, uint16_t port) {
    socket_->setAddress(address.c_str(), port);
    if (!socket_->connect()) return false;
    auto* filter = new IOBufferFilter(socket_, 0, WriteBufferBytes);
    serializer_ = new BaseSerializer(filter);
    release(filter);
    // The bridge never sends files, and the server may be anyone answering the advertisement: a file
    // record ends the read instead of putting a file into the temporary directory.
    serializer_->setAcceptsFileRecords(false);
    return true;
}

BaseObject* BridgeConnection::receive() {
    socket_->setReadDeadline(std::chrono::steady_clock::now() + ReplyLimit);
    BaseObject* object = serializer_->readObject();
    socket_->clearReadDeadline();
    return object;
}

int32_t BridgeConnection::login(const std::string& userAgent, const std::string& password, std::string* deviceName) {
    AutoreleasePool pool;
    auto* request = createAutoreleased<BaseDictionary>();
    request->setStringForCStringKey(userAgent.c_str(), "User-Agent");
    request->setStringForCStringKey(password.c_str(), "Password");
    if (!serializer_->writeObject(request)) return -1;
    BaseObject* reply = receive();
    if (!hasClassName(reply, "BaseDictionary")) return -1;
    auto* replyDictionary = static_cast<BaseDictionary*>(reply);
    BaseObject* name = BaseDictionary::objectForCStringKey(replyDictionary, "Connected device_name");
    if (hasClassName(name, "BaseString")) *deviceName = static_cast<BaseString*>(name)->chars();
    BaseObject* result = BaseDictionary::objectForCStringKey(replyDictionary, "Result");
    return hasClassName(result, "BaseNumber") ? static_cast<BaseNumber*>(result)->int32Value() : -1;
}

bool BridgeConnection::sendRequest() {
    AutoreleasePool pool;
    auto* request = createAutoreleased<BaseDictionary>();
    request->setStringForCStringKey("1", "cmd_id");
    return serializer_->writeObject(request);
}

BaseDictionary* BridgeConnection::receiveReport() {
    BaseObject* reply = receive();
    return hasClassName(reply, "BaseDictionary") ? static_cast<BaseDictionary*>(reply) : nullptr;
}

const char* loginResultText(int32_t code) {
    switch (code) {
        case 0: return "accepted";
        case 1: return "unknown user name";
        case 2: return "wrong password";
        case 3: return "user agent not allowed";
        case 4: return "refused: the bridge serves as many clients as it takes";
        case 5: return "protocol version not supported";
        default: return "no proper reply";
    }
}
