// DnsSdBackend: registration through the DNS-SD client library (Avahi's compatibility library
// libdns_sd.so.1 on Linux, Bonjour's dnssd.dll on Windows), reached through the shared MDnsWrapper. The
// library renames the service by itself when its name is taken on the network, and tells the name used.
#pragma once

#include <atomic>
#include <memory>

#include "discovery/AdvertisingBackend.h"
#include "discovery/DnsSdApi.h"

class MDnsWrapper;
class WakeChannel;

class DnsSdBackend : public AdvertisingBackend {
public:
    // How long publish waits for the daemon to confirm the registration.
    static constexpr int ReplyMilliseconds = 10000;

    DnsSdBackend();
    ~DnsSdBackend() override;

    std::string name() const override;
    Outcome publish(const ServiceDescription& service, std::string* nameUsed, std::string* detail) override;
    void withdraw() override;
    void cancel() override;

private:
    static void onReply(DNSServiceRef service, DNSServiceFlags flags, DNSServiceErrorType error, const char* name,
                        const char* type, const char* domain, void* context);
    bool waitForReply(std::string* detail);
    void addTxtEntries(const ServiceDescription& service);

    MDnsWrapper* wrapper_ = nullptr;  // a reference of its own while something is registered
    DNSServiceRef registration_ = nullptr;
    TXTRecordRef txtRecord_ = {};
    bool txtRecordMade_ = false;
    // Set by the reply, which the library delivers on the publishing thread inside ProcessResult.
    DNSServiceErrorType replyError_ = kDNSServiceErr_NoError;
    std::string replyName_;
    std::unique_ptr<WakeChannel> wake_;
};
