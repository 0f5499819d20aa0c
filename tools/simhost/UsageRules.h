// UsageRules: simhost's check of the rules the SDK's headers set for plug-ins beyond the thread rule (which
// MainThreadGuard checks), and of what a plug-in leaves behind at unload. Each finding is one line on
// standard error and is counted; in strict mode the process aborts once the finding is reported, as X-Plane
// may crash where simhost only reports.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

class UsageRules {
public:
    void setStrict(bool strict) { strict_.store(strict); }
    bool strict() const { return strict_.load(); }
    // A call that breaks a rule: "simhost: <function>: <problem>; the SDK says: "<words>"", then the abort
    // in strict mode. The words are quoted from the header that states the rule.
    void breach(const char* function, const std::string& problem, const char* sdkWords);
    // A call that breaks a rule the SDK's headers imply without words to quote (a null pointer where the header
    // does not say "Can be NULL", say): "simhost: <function>: <problem>", then the abort in strict mode.
    void fault(const char* function, const std::string& problem);
    // A finding that the caller may follow with more before abortIfStrict.
    void report(const std::string& finding);
    void abortIfStrict() const;
    uint64_t findings() const { return findings_.load(); }

private:
    std::atomic<bool> strict_{false};
    std::atomic<uint64_t> findings_{0};
};
