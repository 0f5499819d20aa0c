#include "BridgeDiscovery.h"

#include <cstdio>

#include "discovery/MDnsWrapper.h"
#include "platform/Socket.h"

namespace {

constexpr const char* ServiceType = "_zephrane_gps._tcp";

using Clock = std::chrono::steady_clock;

struct Found {
    bool done = false;
    uint32_t interfaceIndex = 0;
    std::string name, type, domain, host, txt, address;
    uint16_t port = 0;
};

void onBrowse(DNSServiceRef, DNSServiceFlags flags, uint32_t interfaceIndex, DNSServiceErrorType error,
              const char* name, const char* type, const char* domain, void* context) {
    auto* found = static_cast<Found*>(context);
    if (error != kDNSServiceErr_NoError || !(flags & kDNSServiceFlagsAdd) || found->done) return;
    found->interfaceIndex = interfaceIndex;
    found->name = name;
    found->type = type;
    found->domain = domain;
    found->done = true;
}

std::string txtText(uint16_t length, const unsigned char* record) {
    std::string text;
    for (uint16_t at = 0; at < length;) {
        uint8_t entry = record[at++];
        if (at + entry > length) break;
        if (!text.empty()) text += ' ';
        text.append(reinterpret_cast<const char*>(record + at), entry);
        at += entry;
    }
    return text;
}

void onResolve(DNSServiceRef, DNSServiceFlags, uint32_t, DNSServiceErrorType error, const char*, const char* host,
               uint16_t portInNetworkOrder, uint16_t txtLength, const unsigned char* txt, void* context) {
    auto* found = static_cast<Found*>(context);
    if (error != kDNSServiceErr_NoError || found->done) return;
    found->host = host;
    const auto* bytes = reinterpret_cast<const unsigned char*>(&portInNetworkOrder);
    found->port = static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
    found->txt = txtText(txtLength, txt);
    found->done = true;
}

void onAddress(DNSServiceRef, DNSServiceFlags flags, uint32_t, DNSServiceErrorType error, const char*, uint16_t type,
               uint16_t, uint16_t length, const void* data, uint32_t, void* context) {
    auto* found = static_cast<Found*>(context);
    if (error != kDNSServiceErr_NoError || !(flags & kDNSServiceFlagsAdd) || type != kDNSServiceType_A ||
        length != 4 || found->done) {
        return;
    }
    const auto* ip = static_cast<const unsigned char*>(data);
    char text[16];
    std::snprintf(text, sizeof(text), "%u.%u.%u.%u", ip[0], ip[1], ip[2], ip[3]);
    found->address = text;
    found->done = true;
}

// Feeds the library's answers to the callbacks until one of them is done or the time is up.
bool await(MDnsWrapper* wrapper, DNSServiceRef service, Found* found, Clock::time_point deadline) {
    int descriptor = wrapper->socketFunction()(service);
    found->done = false;
    while (!found->done) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || descriptor < 0) return false;
        if (!(waitForSocket(descriptor, SocketReadable, static_cast<int>(left), nullptr) & SocketReadable)) continue;
        if (wrapper->processResultFunction()(service) != kDNSServiceErr_NoError) return false;
    }
    return true;
}

bool hasWhatDiscoveryNeeds(MDnsWrapper* wrapper) {
    return wrapper->browseFunction() && wrapper->resolveFunction() && wrapper->queryRecordFunction() &&
           wrapper->socketFunction() && wrapper->processResultFunction() && wrapper->deallocateFunction();
}

}  // namespace

std::optional<DiscoveredBridge> discoverBridge(std::chrono::milliseconds limit, std::string* error) {
    MDnsWrapper* wrapper = sharedMDnsWrapper();
    if (!wrapper || !hasWhatDiscoveryNeeds(wrapper)) {
        *error = "no DNS-SD library to search with; give the bridge's address with --host";
        release(wrapper);
        return std::nullopt;
    }
    Clock::time_point deadline = Clock::now() + limit;
    Found found;
    DNSServiceRef service = nullptr;
    const char* failure = nullptr;
    if (wrapper->browseFunction()(&service, 0, 0, ServiceType, nullptr, onBrowse, &found) != kDNSServiceErr_NoError ||
        !await(wrapper, service, &found, deadline)) {
        failure = "no bridge found on the local network";
    }
    if (service) wrapper->deallocateFunction()(service);
    service = nullptr;
    if (!failure && (wrapper->resolveFunction()(&service, 0, found.interfaceIndex, found.name.c_str(),
                                                found.type.c_str(), found.domain.c_str(), onResolve,
                                                &found) != kDNSServiceErr_NoError ||
                     !await(wrapper, service, &found, deadline))) {
        failure = "the bridge was seen but could not be resolved";
    }
    if (service) wrapper->deallocateFunction()(service);
    service = nullptr;
    if (!failure && (wrapper->queryRecordFunction()(&service, 0, found.interfaceIndex, found.host.c_str(),
                                                    kDNSServiceType_A, kDNSServiceClass_IN, onAddress,
                                                    &found) != kDNSServiceErr_NoError ||
                     !await(wrapper, service, &found, deadline))) {
        failure = "the bridge's host has no IPv4 address";
    }
    if (service) wrapper->deallocateFunction()(service);
    release(wrapper);
    if (failure) {
        *error = failure;
        return std::nullopt;
    }
    return DiscoveredBridge{found.name, found.address, found.port, found.txt};
}
