#include "plugin/PositionReport.h"

#include "base/AutoreleasePool.h"
#include "base/BaseDictionary.h"
#include "base/InternString.h"

namespace {

using ReportKeys = std::array<BaseString*, PositionFieldCount>;

// The report's keys, made once for the process: a report then allocates only its dictionary and its ten
// numbers.
const ReportKeys& reportKeys() {
    static const ReportKeys keys = [] {
        ReportKeys made{};
        for (size_t i = 0; i < PositionFieldCount; ++i) made[i] = internString(PositionFields[i].key);
        return made;
    }();
    return keys;
}

}  // namespace

BaseDictionary* buildPositionReport(const PositionSnapshot::Values& values) {
    const ReportKeys& keys = reportKeys();
    auto* report = createAutoreleased<BaseDictionary>();
    for (size_t i = 0; i < PositionFieldCount; ++i) report->setDoubleForKey(values[i], keys[i], true);
    return report;
}
