// NativeDnsSdBackend: registration through the operating system's own DNS-SD (on Windows 10 version 1903
// and later, dnsapi.dll's DnsServiceRegister), for the machines that have no DNS-SD client library.
#pragma once

#include <memory>
#include <mutex>

#include "discovery/AdvertisingBackend.h"

class NativeDnsSd;

class NativeDnsSdBackend : public AdvertisingBackend {
public:
    NativeDnsSdBackend();
    ~NativeDnsSdBackend() override;

    std::string name() const override;
    Outcome publish(const ServiceDescription& service, std::string* nameUsed, std::string* detail) override;
    void withdraw() override;
    void cancel() override;

private:
    // publish and withdraw run on the announcement's thread, cancel on the one that stops it.
    std::mutex mutex_;
    bool cancelled_ = false;              // guarded by mutex_
    std::unique_ptr<NativeDnsSd> system_;  // guarded by mutex_; only the announcement's thread replaces it
};
