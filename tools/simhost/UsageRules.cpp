#include "UsageRules.h"

#include <cstdio>
#include <cstdlib>

void UsageRules::breach(const char* function, const std::string& problem, const char* sdkWords) {
    report(std::string(function) + ": " + problem + "; the SDK says: \"" + sdkWords + "\"");
    abortIfStrict();
}

void UsageRules::fault(const char* function, const std::string& problem) {
    report(std::string(function) + ": " + problem);
    abortIfStrict();
}

void UsageRules::report(const std::string& finding) {
    findings_.fetch_add(1);
    std::fprintf(stderr, "simhost: %s\n", finding.c_str());
    std::fflush(stderr);
}

void UsageRules::abortIfStrict() const {
    if (!strict_.load()) return;
    std::fputs("simhost: strict mode: aborting\n", stderr);
    std::abort();
}
