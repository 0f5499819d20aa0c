#include "BridgeDiscovery.h"

#include <algorithm>

#include "discovery/MDnsWrapper.h"
#include "platform/Socket.h"

namespace {

constexpr const char* ServiceType = "_zephrane_gps._tcp";
// No answer ever says that a host lacks a family: once one family's address is in, the other has this long
// to follow. Responders send a host's addresses of both families together, so it is rarely waited out.
constexpr auto OtherFamilyWait = std::chrono::milliseconds(500);

using Clock = std::chrono::steady_clock;

struct Found {
    bool done = false;
    Clock::time_point deadline;
    uint32_t interfaceIndex = 0;
    std::string name, type, domain, host, txt;
    uint16_t port = 0;
    std::vector<std::string> ipv4, ipv6;
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

// Collects the host's addresses of both families; done once both are in and the library has no more
// answers queued, else the other family gets OtherFamilyWait.
void onAddress(DNSServiceRef, DNSServiceFlags flags, uint32_t interfaceIndex, DNSServiceErrorType error, const char*,
               uint16_t type, uint16_t, uint16_t length, const void* data, uint32_t, void* context) {
    auto* found = static_cast<Found*>(context);
    bool ipv4 = type == kDNSServiceType_A && length == 4;
    bool ipv6 = type == kDNSServiceType_AAAA && length == 16;
    if (error != kDNSServiceErr_NoError || !(flags & kDNSServiceFlagsAdd) || (!ipv4 && !ipv6)) return;
    std::string text = recordAddressText(data, length, interfaceIndex);
    std::vector<std::string>& family = ipv4 ? found->ipv4 : found->ipv6;
    if (!text.empty() && std::find(family.begin(), family.end(), text) == family.end()) family.push_back(text);
    if (!found->ipv4.empty() && !found->ipv6.empty() && !(flags & kDNSServiceFlagsMoreComing)) found->done = true;
    found->deadline = std::min(found->deadline, Clock::now() + OtherFamilyWait);
}

// Feeds the library's answers to the queries' callbacks until one of them is done or found's deadline has
// passed, then gives the queries back. Whether one was done.
bool await(MDnsWrapper* wrapper, const std::vector<DNSServiceRef>& queries, Found* found) {
    std::vector<DNSServiceRef> waiting;
    std::vector<SocketHandle> sockets;
    for (DNSServiceRef query : queries) {
        int descriptor = wrapper->socketFunction()(query);
        if (descriptor < 0) continue;
        waiting.push_back(query);
        sockets.push_back(descriptor);
    }
    found->done = false;
    while (!found->done && !sockets.empty()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(found->deadline - Clock::now()).count();
        if (left <= 0) break;
        int ready = waitForAnyReadable(sockets, static_cast<int>(left));
        if (ready < 0 || wrapper->processResultFunction()(waiting[ready]) != kDNSServiceErr_NoError) break;
    }
    for (DNSServiceRef query : queries) wrapper->deallocateFunction()(query);
    return found->done;
}

bool browse(MDnsWrapper* wrapper, Found* found) {
    DNSServiceRef query = nullptr;
    if (wrapper->browseFunction()(&query, 0, 0, ServiceType, nullptr, onBrowse, found) != kDNSServiceErr_NoError) {
        return false;
    }
    return await(wrapper, {query}, found);
}

bool resolve(MDnsWrapper* wrapper, Found* found) {
    DNSServiceRef query = nullptr;
    if (wrapper->resolveFunction()(&query, 0, found->interfaceIndex, found->name.c_str(), found->type.c_str(),
                                   found->domain.c_str(), onResolve, found) != kDNSServiceErr_NoError) {
        return false;
    }
    return await(wrapper, {query}, found);
}

// Asks for the host's IPv4 and IPv6 addresses at once: a bridge may be reachable by either family alone.
bool lookUpAddresses(MDnsWrapper* wrapper, Found* found) {
    std::vector<DNSServiceRef> queries;
    for (uint16_t type : {kDNSServiceType_A, kDNSServiceType_AAAA}) {
        DNSServiceRef query = nullptr;
        if (wrapper->queryRecordFunction()(&query, 0, found->interfaceIndex, found->host.c_str(), type,
                                           kDNSServiceClass_IN, onAddress, found) == kDNSServiceErr_NoError) {
            queries.push_back(query);
        }
    }
    await(wrapper, queries, found);
    return !found->ipv4.empty() || !found->ipv6.empty();
}

bool hasWhatDiscoveryNeeds(MDnsWrapper* wrapper) {
    return wrapper->browseFunction() && wrapper->resolveFunction() && wrapper->queryRecordFunction() &&
           wrapper->socketFunction() && wrapper->processResultFunction() && wrapper->deallocateFunction();
}

// Why the search failed, or null when it found the bridge and its addresses.
const char* search(MDnsWrapper* wrapper, Found* found) {
    if (!browse(wrapper, found)) return "no bridge found on the local network";
    if (!resolve(wrapper, found)) return "the bridge was seen but could not be resolved";
    if (!lookUpAddresses(wrapper, found)) return "the bridge's host gave no address";
    return nullptr;
}

}  // namespace

std::optional<DiscoveredBridge> discoverBridge(std::chrono::milliseconds limit, std::string* error) {
    MDnsWrapper* wrapper = sharedMDnsWrapper();
    if (!wrapper || !hasWhatDiscoveryNeeds(wrapper)) {
        *error = "no DNS-SD library to search with; give the bridge's address with --host";
        release(wrapper);
        return std::nullopt;
    }
    Found found;
    found.deadline = Clock::now() + limit;
    const char* failure = search(wrapper, &found);
    release(wrapper);
    if (failure) {
        *error = failure;
        return std::nullopt;
    }
    std::vector<std::string> addresses = found.ipv4;
    addresses.insert(addresses.end(), found.ipv6.begin(), found.ipv6.end());
    return DiscoveredBridge{found.name, addresses, found.port, found.txt};
}
