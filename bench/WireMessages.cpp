#include "WireMessages.h"

#include "base/AutoreleasePool.h"
#include "base/BaseDictionary.h"
#include "base/BaseNumber.h"
#include "base/BaseString.h"
#include "io/BaseBuffer.h"
#include "plugin/GPSBridge.h"
#include "serialization/BaseSerializer.h"

namespace {

std::vector<uint8_t> encoded(BaseObject* object) {
    auto* buffer = createAutoreleased<BaseBuffer>();
    auto* serializer = createAutoreleased<BaseSerializer>(buffer);
    serializer->writeObject(object);
    auto* bytes = reinterpret_cast<const uint8_t*>(buffer->bytes());
    return std::vector<uint8_t>(bytes, bytes + buffer->length());
}

// The reply to a successful login; the bridge inserts "Connected device_name" first, as here.
BaseDictionary* successfulLoginReply() {
    auto* reply = createAutoreleased<BaseDictionary>();
    reply->setStringForCStringKey("X-Plane", "Connected device_name");
    reply->setObjectForCStringKey(createAutoreleased<BaseNumber>(int32_t{0}), "Result");
    return reply;
}

}  // namespace

WireMessages WireMessages::withoutReport() {
    AutoreleasePool pool;
    auto* login = createAutoreleased<BaseDictionary>();
    login->setStringForCStringKey("Quillory Zephrane App", "User-Agent");
    login->setObjectForCStringKey(GPSBridge::passwordCredential(), "Password");
    auto* request = createAutoreleased<BaseDictionary>();
    request->setStringForCStringKey("1", "cmd_id");
    return WireMessages{encoded(login), encoded(successfulLoginReply()), encoded(request), {}};
}

WireMessages WireMessages::forBridge(const GPSBridge& bridge) {
    AutoreleasePool pool;
    WireMessages messages = withoutReport();
    messages.report = encoded(bridge.buildPositionReport());
    return messages;
}
