#include "platform/AddressChangeWatch.h"

bool AddressChangeWatch::changed() {
    Clock::time_point now = Clock::now();
    std::optional<bool> reported = systemReportedChange();
    bool say = first_ || (reported ? *reported : now - lastSaid_ >= FallbackInterval);
    if (say) {
        first_ = false;
        lastSaid_ = now;
    }
    return say;
}
