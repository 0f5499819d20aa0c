#include "plugin/PositionReport.h"

#include "base/AutoreleasePool.h"
#include "base/BaseDictionary.h"
#include "base/InternString.h"
#include "base/SharedObjectsLock.h"

namespace {

// The report's keys, made once for the process: a report then allocates only its dictionary and its ten
// numbers. Each is held with a reference of its own, as the intern table may go first when the module
// releases its shared objects.
struct ReportKeys {
    ReportKeys() {
        for (size_t i = 0; i < PositionFieldCount; ++i) keys[i] = retain(internString(PositionFields[i].key));
    }
    ~ReportKeys() {
        for (BaseString* key : keys) release(key);
    }
    std::array<BaseString*, PositionFieldCount> keys{};
};

SharedInstance<ReportKeys> sharedReportKeys;

const std::array<BaseString*, PositionFieldCount>& reportKeys() { return sharedReportKeys.get()->keys; }

}  // namespace

BaseDictionary* buildPositionReport(const PositionSnapshot::Values& values) {
    const auto& keys = reportKeys();
    auto* report = createAutoreleased<BaseDictionary>();
    for (size_t i = 0; i < PositionFieldCount; ++i) report->setDoubleForKey(values[i], keys[i], true);
    return report;
}
