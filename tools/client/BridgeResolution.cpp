#include "BridgeResolution.h"

#include <algorithm>

#include "discovery/MDnsWrapper.h"
#include "platform/Socket.h"

namespace {

// No answer ever says that a host lacks a family: once one family's address is in, the other has this long
// to follow. Responders send a host's addresses of both families together, so it is rarely waited out.
constexpr auto OtherFamilyWait = std::chrono::milliseconds(500);

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

}  // namespace

BridgeResolution::BridgeResolution(MDnsWrapper* wrapper, uint32_t interfaceIndex, std::string name,
                                   std::string type, std::string domain)
    : wrapper_(wrapper),
      interfaceIndex_(interfaceIndex),
      name_(std::move(name)),
      type_(std::move(type)),
      domain_(std::move(domain)) {}

BridgeResolution::~BridgeResolution() { stop(); }

void BridgeResolution::advance(Clock::time_point now) {
    switch (stage_) {
        case Stage::Seen:
            startResolve();
            break;
        case Stage::Resolved:
            startAddressQueries();
            break;
        case Stage::LookingUp:
            if (addressesComplete_ || now >= addressDeadline_) stop();
            break;
        case Stage::Failed:  // a failure met in a callback, whose queries could not be given back there
            stop();
            break;
        default:
            break;
    }
}

void BridgeResolution::process(DNSServiceRef query) {
    if (wrapper_->processResultFunction()(query) != kDNSServiceErr_NoError) stop();
}

void BridgeResolution::stop() {
    for (DNSServiceRef query : queries_) wrapper_->deallocateFunction()(query);
    queries_.clear();
    stage_ = ipv4_.empty() && ipv6_.empty() ? Stage::Failed : Stage::Done;
}

DiscoveredBridge BridgeResolution::bridge() const {
    std::vector<std::string> addresses = ipv4_;
    addresses.insert(addresses.end(), ipv6_.begin(), ipv6_.end());
    return DiscoveredBridge{name_, host_, addresses, port_, txt_};
}

void BridgeResolution::startResolve() {
    DNSServiceRef query = nullptr;
    if (wrapper_->resolveFunction()(&query, 0, interfaceIndex_, name_.c_str(), type_.c_str(), domain_.c_str(),
                                    onResolve, this) != kDNSServiceErr_NoError) {
        stop();
        return;
    }
    queries_.push_back(query);
    stage_ = Stage::Resolving;
}

// Asks for the host's IPv4 and IPv6 addresses at once: a bridge may be reachable by either family alone.
void BridgeResolution::startAddressQueries() {
    for (DNSServiceRef query : queries_) wrapper_->deallocateFunction()(query);
    queries_.clear();
    for (uint16_t type : {kDNSServiceType_A, kDNSServiceType_AAAA}) {
        DNSServiceRef query = nullptr;
        if (wrapper_->queryRecordFunction()(&query, 0, interfaceIndex_, host_.c_str(), type, kDNSServiceClass_IN,
                                            onAddress, this) == kDNSServiceErr_NoError) {
            queries_.push_back(query);
        }
    }
    if (queries_.empty()) {
        stop();
        return;
    }
    stage_ = Stage::LookingUp;
}

void BridgeResolution::onResolve(DNSServiceRef, DNSServiceFlags, uint32_t, DNSServiceErrorType error, const char*,
                                 const char* host, uint16_t portInNetworkOrder, uint16_t txtLength,
                                 const unsigned char* txt, void* context) {
    auto* resolution = static_cast<BridgeResolution*>(context);
    if (resolution->stage_ != Stage::Resolving) return;
    if (error != kDNSServiceErr_NoError) {
        resolution->stage_ = Stage::Failed;
        return;
    }
    resolution->host_ = host;
    const auto* bytes = reinterpret_cast<const unsigned char*>(&portInNetworkOrder);
    resolution->port_ = static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
    resolution->txt_ = txtText(txtLength, txt);
    resolution->stage_ = Stage::Resolved;
}

// Collects the host's addresses of both families; complete once both are in and the library has no more
// answers queued, else the other family gets OtherFamilyWait.
void BridgeResolution::onAddress(DNSServiceRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                                 DNSServiceErrorType error, const char*, uint16_t type, uint16_t, uint16_t length,
                                 const void* data, uint32_t, void* context) {
    auto* resolution = static_cast<BridgeResolution*>(context);
    bool ipv4 = type == kDNSServiceType_A && length == 4;
    bool ipv6 = type == kDNSServiceType_AAAA && length == 16;
    if (error != kDNSServiceErr_NoError || !(flags & kDNSServiceFlagsAdd) || (!ipv4 && !ipv6)) return;
    std::string text = recordAddressText(data, length, interfaceIndex);
    std::vector<std::string>& family = ipv4 ? resolution->ipv4_ : resolution->ipv6_;
    if (!text.empty() && std::find(family.begin(), family.end(), text) == family.end()) family.push_back(text);
    bool both = !resolution->ipv4_.empty() && !resolution->ipv6_.empty();
    if (both && !(flags & kDNSServiceFlagsMoreComing)) resolution->addressesComplete_ = true;
    resolution->addressDeadline_ = std::min(resolution->addressDeadline_, Clock::now() + OtherFamilyWait);
}
