// NativeDnsSdBackend: registration through the operating system's own DNS-SD (on Windows 10 version 1809
// and later, dnsapi.dll's DnsServiceRegister), for the machines that have no DNS-SD client library.
#pragma once

#include <memory>

#include "discovery/AdvertisingBackend.h"

class NativeDnsSd;

class NativeDnsSdBackend : public AdvertisingBackend {
public:
    NativeDnsSdBackend();
    ~NativeDnsSdBackend() override;

    std::string name() const override;
    Outcome publish(const ServiceDescription& service, std::string* nameUsed, std::string* detail) override;
    void withdraw() override;

private:
    std::unique_ptr<NativeDnsSd> system_;
};
