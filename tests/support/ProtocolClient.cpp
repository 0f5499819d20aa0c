#include "ProtocolClient.h"

#include <thread>

#include "base/AutoreleasePool.h"
#include "base/BaseDictionary.h"
#include "base/BaseNumber.h"
#include "base/BaseString.h"
#include "io/IOBufferFilter.h"
#include "io/IOSocketTCP.h"
#include "serialization/BaseSerializer.h"

const char* const AppUserAgent = "Quillory Zephrane App";

BaseString* bridgeCredential() { return createAutoreleased<BaseString>("878cb5352ea16969bcc216abe85a327b"); }

ProtocolClient::ProtocolClient(uint16_t port, const char* host) : socket_(new IOSocketTCP()) {
    socket_->setAddress(host, port);
    socket_->connect();
    auto* filter = new IOBufferFilter(socket_, 0, 17000);
    serializer_ = new BaseSerializer(filter);
    release(filter);
}

ProtocolClient::~ProtocolClient() {
    close();
    release(lastReply_);
    release(serializer_);
    release(socket_);
}

bool ProtocolClient::connected() const { return socket_->isOpen(); }

bool ProtocolClient::send(BaseObject* object) { return serializer_->writeObject(object); }

bool ProtocolClient::sendBytes(const std::string& bytes) { return socket_->write(bytes.data(), bytes.size()); }

BaseObject* ProtocolClient::receive(std::chrono::milliseconds limit) {
    socket_->setReadDeadline(std::chrono::steady_clock::now() + limit);
    BaseObject* object = serializer_->readObject();
    socket_->clearReadDeadline();
    return object;
}

int32_t ProtocolClient::login(const char* userAgent, const char* password, const char* username,
                              const char* protocolVersion) {
    AutoreleasePool pool;
    auto* login = createAutoreleased<BaseDictionary>();
    if (userAgent) login->setStringForCStringKey(userAgent, "User-Agent");
    if (!password) {
        login->setObjectForCStringKey(bridgeCredential(), "Password");
    } else if (*password) {
        login->setStringForCStringKey(password, "Password");
    }
    if (username) login->setStringForCStringKey(username, "Username");
    if (protocolVersion) login->setStringForCStringKey(protocolVersion, "Protocol_Version");
    if (!send(login)) return -1;
    BaseObject* reply = receive(loginReplyLimit_);
    assignRetained(lastReply_, hasClassName(reply, "BaseDictionary") ? static_cast<BaseDictionary*>(reply) : nullptr);
    BaseObject* result = BaseDictionary::objectForCStringKey(lastReply_, "Result");
    return hasClassName(result, "BaseNumber") ? static_cast<BaseNumber*>(result)->int32Value() : -1;
}

BaseDictionary* ProtocolClient::request(const char* command, std::chrono::milliseconds limit) {
    auto* message = createAutoreleased<BaseDictionary>();
    message->setStringForCStringKey(command, "cmd_id");
    if (!send(message)) return nullptr;
    BaseObject* reply = receive(limit);
    return hasClassName(reply, "BaseDictionary") ? static_cast<BaseDictionary*>(reply) : nullptr;
}

bool ProtocolClient::closedByPeer(std::chrono::milliseconds limit) {
    char byte = 0;
    uint64_t count = 1;
    auto seconds = static_cast<int32_t>(std::chrono::ceil<std::chrono::seconds>(limit).count());
    bool received = socket_->readWithTimeout(&byte, &count, seconds);
    return !received && !socket_->isOpen();
}

bool ProtocolClient::nothingArrivesWithin(std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (socket_->isReadable()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return socket_->isOpen();
}

void ProtocolClient::close() { socket_->close(); }

void ProtocolClient::reset() { socket_->resetConnection(); }
