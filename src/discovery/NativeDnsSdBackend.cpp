#include "discovery/NativeDnsSdBackend.h"

#include "platform/NativeDnsSd.h"

namespace {

constexpr const char* CancelledText = "the registration was cancelled";

}  // namespace

NativeDnsSdBackend::NativeDnsSdBackend() = default;

NativeDnsSdBackend::~NativeDnsSdBackend() { withdraw(); }

std::string NativeDnsSdBackend::name() const { return "the system's own DNS-SD (dnsapi.dll)"; }

// The registration is used outside the lock: only this thread replaces or drops it, and cancel reaches it
// through the lock while it waits.
AdvertisingBackend::Outcome NativeDnsSdBackend::publish(const ServiceDescription& service, std::string* nameUsed,
                                                        std::string* detail) {
    withdraw();
    std::unique_ptr<NativeDnsSd> opened = openNativeDnsSd(detail);
    if (!opened) return Outcome::Unavailable;
    NativeDnsSd* system = opened.get();
    {
        MutexLock lock(mutex_);
        if (cancelled_) {
            *detail = CancelledText;
            return Outcome::Failed;
        }
        system_ = std::move(opened);
    }
    if (system->publish(service.name, service.type, service.port, service.txt, nameUsed, detail)) {
        return Outcome::Published;
    }
    withdraw();
    return Outcome::Failed;
}

void NativeDnsSdBackend::withdraw() {
    std::unique_ptr<NativeDnsSd> system;
    {
        MutexLock lock(mutex_);
        system = std::move(system_);
    }
    if (system) system->withdraw();
}

bool NativeDnsSdBackend::serve(Events&, std::string*) {
    MutexLock lock(mutex_);
    cancelledChanged_.wait(mutex_, [this]() REQUIRES(mutex_) { return cancelled_; });
    return true;
}

void NativeDnsSdBackend::cancel() {
    {
        MutexLock lock(mutex_);
        cancelled_ = true;
        if (system_) system_->cancel();
    }
    cancelledChanged_.notifyAll();
}
