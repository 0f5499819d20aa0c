#include "StressFixture.h"

#include <thread>

#include "base/BaseDictionary.h"
#include "base/BaseNumber.h"
#include "plugin/PositionFields.h"
#include "thread/BaseThread.h"

namespace {

constexpr std::chrono::milliseconds FramePeriod{1};

}  // namespace

bool stress::readSerial(const BaseDictionary* report, double* serial) {
    if (!report || report->count() != PositionFieldCount) return false;
    double first = 0.0;
    for (size_t i = 0; i < PositionFieldCount; ++i) {
        BaseObject* value = BaseDictionary::objectForCStringKey(report, PositionFields[i].key.chars);
        if (!hasClassName(value, "BaseNumber")) return false;
        auto* number = static_cast<BaseNumber*>(value);
        if (number->kind() != NumberReal) return false;
        if (i == 0) first = number->doubleValue();
        if (number->doubleValue() != first) return false;
    }
    *serial = first;
    return true;
}

bool stress::sanitizedBuild() {
#ifdef ZEPHRANE_SANITIZED_BUILD
    return true;
#else
    return false;
#endif
}

void StressFixture::SetUp() {
    SimulatorFixture::SetUp();
    for (const PositionField& field : PositionFields) simulator().datarefs.set(field.dataref, stress::NoFrame);
}

// Serials are whole numbers far below 2^24, so the float datarefs hold them exactly.
void StressFixture::runSerialFrame() {
    serial_ += 1.0;
    for (const PositionField& field : PositionFields) simulator().datarefs.set(field.dataref, serial_);
    runFrame();
}

void StressFixture::runFramesUntil(const std::atomic<bool>& done, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done.load() && std::chrono::steady_clock::now() < deadline) {
        runSerialFrame();
        std::this_thread::sleep_for(FramePeriod);
    }
}

void StressFixture::runFramesFor(std::chrono::milliseconds duration) {
    std::atomic<bool> never{false};
    runFramesUntil(never, duration);
}
