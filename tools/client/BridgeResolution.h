// One bridge seen by a DNS-SD browse, taken from its service name to its host, port and addresses: a
// resolve, then queries for the host's IPv4 and IPv6 addresses at once. It owns its queries; the search
// that browses hands it their answers and lets it take the next step.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "BridgeDiscovery.h"
#include "discovery/DnsSdApi.h"

class MDnsWrapper;

class BridgeResolution {
public:
    using Clock = std::chrono::steady_clock;

    // wrapper must outlive the resolution; nothing is asked before the first advance.
    BridgeResolution(MDnsWrapper* wrapper, uint32_t interfaceIndex, std::string name, std::string type,
                     std::string domain);
    ~BridgeResolution();
    BridgeResolution(const BridgeResolution&) = delete;
    BridgeResolution& operator=(const BridgeResolution&) = delete;

    // Takes the step the answers so far allow: starts the resolve, then the address queries, and ends once
    // both families are in or the other family's wait has passed.
    void advance(Clock::time_point now);
    // Reads the answer waiting on one of queries(); a failing library ends the resolution.
    void process(DNSServiceRef query);
    // Gives the queries back: the resolution keeps what it has.
    void stop();

    bool finished() const { return stage_ == Stage::Done || stage_ == Stage::Failed; }
    // Finished with at least one address.
    bool resolved() const { return stage_ == Stage::Done; }
    const std::vector<DNSServiceRef>& queries() const { return queries_; }
    // When advance must run again though no answer came (the other family's wait), or Clock's maximum.
    Clock::time_point nextDeadline() const { return addressDeadline_; }
    // The bridge as far as it is known: without host while unresolved, without addresses until one came.
    DiscoveredBridge bridge() const;

private:
    enum class Stage { Seen, Resolving, Resolved, LookingUp, Done, Failed };

    static void onResolve(DNSServiceRef, DNSServiceFlags, uint32_t, DNSServiceErrorType error, const char*,
                          const char* host, uint16_t portInNetworkOrder, uint16_t txtLength,
                          const unsigned char* txt, void* context);
    static void onAddress(DNSServiceRef, DNSServiceFlags flags, uint32_t interfaceIndex, DNSServiceErrorType error,
                          const char*, uint16_t type, uint16_t, uint16_t length, const void* data, uint32_t,
                          void* context);
    void startResolve();
    void startAddressQueries();
    void finish(Stage stage);

    MDnsWrapper* wrapper_;
    uint32_t interfaceIndex_;
    std::string name_, type_, domain_, host_, txt_;
    uint16_t port_ = 0;
    std::vector<std::string> ipv4_, ipv6_;
    Stage stage_ = Stage::Seen;
    bool addressesComplete_ = false;
    Clock::time_point addressDeadline_ = Clock::time_point::max();
    std::vector<DNSServiceRef> queries_;
};
