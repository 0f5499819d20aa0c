#include "plugin/PositionSnapshot.h"

#include <cstring>

#include "XPLMProcessing.h"
#include "plugin/PilotLogWriter.h"

namespace {

// A flight loop result asking to be called again at the next frame.
constexpr float EveryFrame = -1.0f;

// The field's dataref, under its earlier name where the simulator has that one; null when it has neither.
XPLMDataRef findDataref(const PositionField& field) {
    if (field.earlierDataref) {
        if (XPLMDataRef earlier = XPLMFindDataRef(field.earlierDataref)) return earlier;
    }
    return XPLMFindDataRef(field.dataref);
}

// A dataref the simulator does not know reads as 0 without handing it a null handle.
double readDataref(XPLMDataRef handle, DatarefReading reading) {
    if (!handle) return 0.0;
    return reading == DatarefReading::Double ? XPLMGetDatad(handle) : static_cast<double>(XPLMGetDataf(handle));
}

}  // namespace

PositionSnapshot::~PositionSnapshot() { stop(); }

void PositionSnapshot::start() {
    if (running_) return;
    for (size_t i = 0; i < PositionFieldCount; ++i) handles_[i] = findDataref(PositionFields[i]);
    refresh();
    XPLMRegisterFlightLoopCallback(refreshEachFrame, EveryFrame, this);
    running_ = true;
}

void PositionSnapshot::stop() {
    if (!running_) return;
    XPLMUnregisterFlightLoopCallback(refreshEachFrame, this);
    running_ = false;
}

PositionSnapshot::Values PositionSnapshot::latest() const {
    MutexLock guard(mutex_);
    return values_;
}

// The plug-in's one flight loop: it also writes the pilot's log lines that other threads added.
float PositionSnapshot::refreshEachFrame(float, float, int, void* refcon) {
    static_cast<PositionSnapshot*>(refcon)->refresh();
    PilotLogWriter::writeWaitingLines();
    return EveryFrame;
}

PositionSnapshot::Reading PositionSnapshot::reading() const {
    MutexLock guard(mutex_);
    return {values_, generation_.load(std::memory_order_relaxed)};
}

// All ten are read before any is stored, so a report never mixes two frames. Values are compared as bytes,
// so that a NaN that stays a NaN keeps the generation and -0.0 after 0.0 advances it.
void PositionSnapshot::refresh() {
    Values fresh;
    for (size_t i = 0; i < PositionFieldCount; ++i) fresh[i] = readDataref(handles_[i], PositionFields[i].reading);
    MutexLock guard(mutex_);
    if (std::memcmp(fresh.data(), values_.data(), sizeof(Values)) == 0) return;
    values_ = fresh;
    generation_.store(generation_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}
