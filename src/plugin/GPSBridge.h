// GPSBridge: the service object that exists while the bridge runs. It is created by the start command and
// torn down, then released, by the stop command (BridgeSwitch owns the one reference).
//
// It owns the DebugManager made at each construction and the position snapshot its flight loop keeps
// fresh; position reports are built from that snapshot on whatever thread asks for one.
#pragma once

#include "base/BaseObject.h"
#include "plugin/PositionSnapshot.h"

class BaseDictionary;
class DebugManager;

class GPSBridge : public BaseObject {
public:
    // Main thread: prints the DebugManager lines, takes the first snapshot and registers its flight loop.
    GPSBridge();
    ~GPSBridge() override;

    // Main thread: stops the service; the bridge is released right after.
    void teardown();

    // True exactly for a "BaseDictionary" whose "cmd_id" is a string that reads as 1 with "%d".
    static bool isPositionRequest(const BaseObject* object);
    // Any thread with an open pool: a new autoreleased dictionary of the ten values of the latest snapshot,
    // each a real-kind number.
    BaseDictionary* buildPositionReport() const;

private:
    DebugManager* debugManager_;
    PositionSnapshot snapshot_;
};
