// NativeDnsSdBackend: registration through the operating system's own DNS-SD (on Windows 10 version 1903
// and later, dnsapi.dll's DnsServiceRegister), for the machines that have no DNS-SD client library.
#pragma once

#include <memory>

#include "discovery/AdvertisingBackend.h"
#include "platform/ConditionVariable.h"
#include "platform/Mutex.h"

class NativeDnsSd;

class NativeDnsSdBackend : public AdvertisingBackend {
public:
    NativeDnsSdBackend();
    ~NativeDnsSdBackend() override;

    std::string name() const override;
    Outcome publish(const ServiceDescription& service, std::string* nameUsed, std::string* detail) override
        EXCLUDES(mutex_);
    // Windows tells nothing of a registration after its answer: serving waits for the cancel.
    bool serve(Events& events, std::string* detail) override EXCLUDES(mutex_);
    void withdraw() override EXCLUDES(mutex_);
    void cancel() override EXCLUDES(mutex_);

private:
    // publish and withdraw run on the announcement's thread, cancel on the one that stops it.
    Mutex mutex_;
    ConditionVariable cancelledChanged_;
    bool cancelled_ GUARDED_BY(mutex_) = false;
    std::unique_ptr<NativeDnsSd> system_ GUARDED_BY(mutex_);  // only the announcement's thread replaces it
};
