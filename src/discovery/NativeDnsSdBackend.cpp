#include "discovery/NativeDnsSdBackend.h"

#include "platform/NativeDnsSd.h"

NativeDnsSdBackend::NativeDnsSdBackend() = default;

NativeDnsSdBackend::~NativeDnsSdBackend() { withdraw(); }

std::string NativeDnsSdBackend::name() const { return "the system's own DNS-SD (dnsapi.dll)"; }

AdvertisingBackend::Outcome NativeDnsSdBackend::publish(const ServiceDescription& service, std::string* nameUsed,
                                                        std::string* detail) {
    withdraw();
    system_ = openNativeDnsSd(detail);
    if (!system_) return Outcome::Unavailable;
    if (system_->publish(service.name, service.type, service.port, service.txt, nameUsed, detail)) {
        return Outcome::Published;
    }
    system_.reset();
    return Outcome::Failed;
}

void NativeDnsSdBackend::withdraw() {
    if (system_) system_->withdraw();
    system_.reset();
}
