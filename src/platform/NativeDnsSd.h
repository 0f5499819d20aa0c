// The operating system's own DNS-SD registration, where it has one beside the DNS-SD client library:
// Windows 10 (version 1903) and later carry it in dnsapi.dll (DnsServiceRegister), looked up at run time.
// Elsewhere there is none.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class NativeDnsSd {
public:
    using TxtEntries = std::vector<std::pair<std::string, std::string>>;

    virtual ~NativeDnsSd() = default;
    // Registers instance name of type (such as "_zephrane_gps._tcp") on port, and waits, for a bounded time,
    // for the system's answer. nameUsed gets the name registered; error the system's reason when false. The
    // system's answers may come into this module's code at any time, so it is pinned (ModulePin.h) before the
    // system is asked; when it cannot be, nothing is asked and publish fails with the reason.
    virtual bool publish(const std::string& name, const std::string& type, uint16_t port, const TxtEntries& txt,
                         std::string* nameUsed, std::string* error) = 0;
    // Withdraws what publish registered; nothing when it registered nothing.
    virtual void withdraw() = 0;
    // Any thread: a publish waiting for the system's answer stops waiting, cancels the registration and fails;
    // a later publish fails at once. Should the registration succeed after all, it is withdrawn then.
    virtual void cancel() = 0;
};

// Whether this kind of system can have one at all (Windows); elsewhere there is nothing to try.
bool systemMayHaveNativeDnsSd();
// The system's registration, or null with the reason when the system has none.
std::unique_ptr<NativeDnsSd> openNativeDnsSd(std::string* reason);
