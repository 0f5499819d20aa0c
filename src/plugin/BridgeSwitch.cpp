#include "plugin/BridgeSwitch.h"

#include <cstdio>

#include "base/AutoreleasePool.h"
#include "plugin/GPSBridge.h"

namespace {

constexpr const char* AlreadyStoppedWarning = "\nWARNING : bridge is already stopped\n";

GPSBridge* currentBridge = nullptr;

}  // namespace

void BridgeSwitch::start() {
    AutoreleasePool pool;
    if (currentBridge) return;
    currentBridge = new GPSBridge();
}

void BridgeSwitch::stop() {
    AutoreleasePool pool;
    if (!currentBridge) {
        std::fputs(AlreadyStoppedWarning, stderr);
        std::fflush(stderr);
        return;
    }
    currentBridge->teardown();
    release(currentBridge);
    currentBridge = nullptr;
}

GPSBridge* BridgeSwitch::current() { return currentBridge; }
