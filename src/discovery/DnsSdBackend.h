// DnsSdBackend: registration through the DNS-SD client library (Avahi's compatibility library
// libdns_sd.so.1 on Linux, Bonjour's dnssd.dll on Windows, the system library on the Mac), reached through
// the shared MDnsWrapper. The library tells what becomes of a registration (registered, the name taken on
// the network, the daemon gone) only while its connection is served: serve waits on the registration's
// socket and processes each answer. A name that another computer holds is replaced by the next free one in
// the DNS-SD manner, "X-Plane (2)", "X-Plane (3)" and so on; a library that renames by itself (Bonjour) says
// which name it took, and that is followed. A library that gives no connection to wait on is not followed
// after its first answer.
#pragma once

#include <memory>
#include <string>

#include "discovery/AdvertisingBackend.h"
#include "discovery/DnsSdApi.h"

class MDnsWrapper;
class WakeChannel;

class DnsSdBackend : public AdvertisingBackend {
public:
    // How long publish waits for the daemon to confirm the registration.
    static constexpr int ReplyMilliseconds = 10000;
    // The numbered names tried after the name asked for: "X-Plane (2)" to "X-Plane (11)".
    static constexpr int MostNumberedNames = 10;

    DnsSdBackend();
    ~DnsSdBackend() override;

    std::string name() const override;
    Outcome publish(const ServiceDescription& service, std::string* nameUsed, std::string* detail) override;
    bool serve(Events& events, std::string* detail) override;
    void withdraw() override;
    void cancel() override;

    // The number-th name of the DNS-SD manner for name ("X-Plane (2)"), shortened where needed at a character
    // boundary so that it fits a service name's 63 bytes; name itself for number 1.
    static std::string numberedName(const std::string& name, int number);

private:
    // What the registration's connection brought.
    enum class Answer { Registered, NameTaken, Failed, TimedOut, Cancelled };

    static void onReply(DNSServiceRef service, DNSServiceFlags flags, DNSServiceErrorType error, const char* name,
                        const char* type, const char* domain, void* context);
    // Registers the service under the current numbered name, going on to the next while the library says at
    // once that the name is taken; false with the reason when it refuses.
    bool registerUnderFreeName(std::string* detail);
    // Waits up to milliseconds (-1: without limit) for the registration's answer, or a cancel.
    Answer awaitAnswer(int milliseconds, std::string* detail);
    bool awaitConnection(int milliseconds, int limit, std::string* detail, Answer* ended);
    // Drops the registration whose name was taken and registers under the next name; false when none is left.
    bool takeNextName(std::string* detail);
    void dropRegistration();
    void addTxtEntries();

    MDnsWrapper* wrapper_ = nullptr;  // a reference of its own while something is registered
    DNSServiceRef registration_ = nullptr;
    TXTRecordRef txtRecord_ = {};
    bool txtRecordMade_ = false;
    ServiceDescription service_;
    int number_ = 1;            // of the name registered now: 1 is the name asked for
    std::string confirmedName_;  // the name the daemon last confirmed
    // Set by the reply, which the library delivers on the publishing thread inside ProcessResult.
    bool replied_ = false;
    DNSServiceErrorType replyError_ = kDNSServiceErr_NoError;
    std::string replyName_;
    std::unique_ptr<WakeChannel> wake_;
};
