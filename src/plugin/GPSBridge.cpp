#include "plugin/GPSBridge.h"

#include "base/BaseDictionary.h"
#include "base/BaseString.h"
#include "plugin/DebugManager.h"

namespace {

constexpr const char* CommandKey = "cmd_id";
constexpr int32_t PositionRequestCommand = 1;
constexpr const char* DebugFilter = "debug";

}  // namespace

GPSBridge::GPSBridge() : debugManager_(new DebugManager(nullptr, nullptr, DebugFilter)) { snapshot_.start(); }

// The snapshot's own destruction unregisters its flight loop if teardown has not.
GPSBridge::~GPSBridge() { release(debugManager_); }

void GPSBridge::teardown() { snapshot_.stop(); }

bool GPSBridge::isPositionRequest(const BaseObject* object) {
    if (!hasClassName(object, "BaseDictionary")) return false;
    BaseObject* command = BaseDictionary::objectForCStringKey(static_cast<const BaseDictionary*>(object), CommandKey);
    if (!hasClassName(command, "BaseString")) return false;
    return static_cast<const BaseString*>(command)->intValue() == PositionRequestCommand;
}

BaseDictionary* GPSBridge::buildPositionReport() const {
    PositionSnapshot::Values values = snapshot_.latest();
    auto* report = createAutoreleased<BaseDictionary>();
    for (size_t i = 0; i < PositionFieldCount; ++i) {
        report->setDoubleForKey(values[i], constantString(PositionFields[i].key), true);
    }
    return report;
}
