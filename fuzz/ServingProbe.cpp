#include "ServingProbe.h"

#include <chrono>

#include "base/AutoreleasePool.h"
#include "base/BaseDictionary.h"
#include "base/BaseNumber.h"
#include "base/BaseString.h"
#include "distant/DistantObjectsCenter.h"
#include "io/IOBufferFilter.h"
#include "io/IOSocketTCP.h"
#include "plugin/GPSBridge.h"
#include "plugin/PositionFields.h"
#include "serialization/BaseSerializer.h"

namespace {

constexpr std::chrono::seconds ReplyLimit{10};
constexpr int32_t LoginOk = 0;

// A socket and a serializer over it, closed and let go at the end of the check.
class ProbeConnection {
public:
    explicit ProbeConnection(uint16_t port) : socket_(new IOSocketTCP()) {
        socket_->setAddress("127.0.0.1", port);
        socket_->connect();
        auto* filter = new IOBufferFilter(socket_, 0, DistantObjectsCenter::WriteBufferBytes);
        serializer_ = new BaseSerializer(filter);
        release(filter);
    }
    ~ProbeConnection() {
        socket_->close();
        release(serializer_);
        release(socket_);
    }
    bool isOpen() const { return socket_->isOpen(); }
    // The reply to object (autoreleased), or null when it could not be sent or no dictionary came in time.
    BaseDictionary* exchange(BaseObject* object) {
        if (!serializer_->writeObject(object)) return nullptr;
        socket_->setReadDeadline(std::chrono::steady_clock::now() + ReplyLimit);
        BaseObject* reply = serializer_->readObject();
        socket_->clearReadDeadline();
        return hasClassName(reply, "BaseDictionary") ? static_cast<BaseDictionary*>(reply) : nullptr;
    }

private:
    IOSocketTCP* socket_;
    BaseSerializer* serializer_ = nullptr;
};

BaseDictionary* appLogin() {
    auto* login = createAutoreleased<BaseDictionary>();
    login->setStringForCStringKey("Quillory Zephrane App", "User-Agent");
    login->setObjectForCStringKey(GPSBridge::passwordCredential(), "Password");
    return login;
}

bool isFullReport(BaseDictionary* report) {
    if (report->count() != PositionFieldCount) return false;
    for (const PositionField& field : PositionFields) {
        if (!hasClassName(BaseDictionary::objectForCStringKey(report, field.key.chars), "BaseNumber")) return false;
    }
    return true;
}

}  // namespace

std::string checkBridgeServes(uint16_t port) {
    AutoreleasePool pool;
    ProbeConnection connection(port);
    if (!connection.isOpen()) return "cannot connect";
    BaseDictionary* reply = connection.exchange(appLogin());
    if (!reply) return "no login reply";
    BaseObject* result = BaseDictionary::objectForCStringKey(reply, "Result");
    if (!hasClassName(result, "BaseNumber") || static_cast<BaseNumber*>(result)->int32Value() != LoginOk) {
        return "login refused";
    }
    auto* request = createAutoreleased<BaseDictionary>();
    request->setStringForCStringKey("1", "cmd_id");
    BaseDictionary* report = connection.exchange(request);
    if (!report) return "no position report";
    if (!isFullReport(report)) return "a report without the ten values";
    return std::string();
}
