#include "BridgeDiscovery.h"

#include <algorithm>
#include <memory>

#include "BridgeResolution.h"
#include "discovery/MDnsWrapper.h"
#include "platform/Socket.h"

namespace {

constexpr const char* ServiceType = "_zephrane_gps._tcp";
// Every bridge answers the same browse query within a fraction of a second: once the first is seen, the
// others have this long to be counted, so that the pilot hears that there are several.
constexpr auto OthersAnswerWait = std::chrono::seconds(1);
// A bridge seen just before the browse ended has this much longer to give its host and addresses.
constexpr auto ResolveGrace = std::chrono::seconds(2);

using Clock = std::chrono::steady_clock;

struct Sighting {
    std::string name;
    std::unique_ptr<BridgeResolution> resolution;  // null for a bridge that is only named
};

// One search: the browse, and a resolution for each bridge it sees that the request wants resolved.
class BridgeSearch {
public:
    BridgeSearch(MDnsWrapper* wrapper, const DiscoveryRequest& request) : wrapper_(wrapper), request_(request) {}
    ~BridgeSearch() { endBrowse(); }
    BridgeSearch(const BridgeSearch&) = delete;
    BridgeSearch& operator=(const BridgeSearch&) = delete;

    // Starts the browse; false when the DNS-SD service does not take it.
    bool start();
    // Runs the search to its end: every bridge seen, in the order they answered.
    std::vector<DiscoveredBridge> run();

private:
    static void onBrowse(DNSServiceRef, DNSServiceFlags flags, uint32_t interfaceIndex, DNSServiceErrorType error,
                         const char* name, const char* type, const char* domain, void* context);
    void advance(Clock::time_point now);
    bool goalMet(Clock::time_point now) const;
    bool over(Clock::time_point now) const;
    Clock::time_point wakeTime(Clock::time_point now) const;
    bool awaitAnswer(Clock::time_point now);
    void endBrowse();

    MDnsWrapper* wrapper_;
    DiscoveryRequest request_;
    DNSServiceRef browse_ = nullptr;
    std::vector<Sighting> sightings_;
    Clock::time_point browseEnd_, graceEnd_;
    Clock::time_point othersCounted_ = Clock::time_point::max();  // OthersAnswerWait after the first sighting
};

bool BridgeSearch::start() {
    browseEnd_ = Clock::now() + request_.limit;
    graceEnd_ = browseEnd_ + ResolveGrace;
    if (wrapper_->browseFunction()(&browse_, 0, 0, ServiceType, nullptr, onBrowse, this) == kDNSServiceErr_NoError) {
        return true;
    }
    browse_ = nullptr;
    return false;
}

std::vector<DiscoveredBridge> BridgeSearch::run() {
    for (;;) {
        Clock::time_point now = Clock::now();
        advance(now);
        if (over(now) || !awaitAnswer(now)) break;
    }
    endBrowse();
    std::vector<DiscoveredBridge> bridges;
    for (Sighting& sighting : sightings_) {
        if (!sighting.resolution) {
            bridges.push_back(DiscoveredBridge{sighting.name, {}, {}, 0, {}});
            continue;
        }
        sighting.resolution->stop();
        bridges.push_back(sighting.resolution->bridge());
    }
    return bridges;
}

void BridgeSearch::onBrowse(DNSServiceRef, DNSServiceFlags flags, uint32_t interfaceIndex, DNSServiceErrorType error,
                            const char* name, const char* type, const char* domain, void* context) {
    auto* search = static_cast<BridgeSearch*>(context);
    if (error != kDNSServiceErr_NoError || !(flags & kDNSServiceFlagsAdd)) return;
    // A bridge is seen once on each interface that reaches it: the first sighting is resolved.
    auto sameName = [name](const Sighting& sighting) { return sighting.name == name; };
    if (std::any_of(search->sightings_.begin(), search->sightings_.end(), sameName)) return;
    std::unique_ptr<BridgeResolution> resolution;
    if (search->request_.goal != DiscoveryRequest::Goal::Named || search->request_.name == name) {
        resolution = std::make_unique<BridgeResolution>(search->wrapper_, interfaceIndex, name, type, domain);
    }
    search->sightings_.push_back(Sighting{name, std::move(resolution)});
    if (search->sightings_.size() == 1) search->othersCounted_ = Clock::now() + OthersAnswerWait;
}

void BridgeSearch::advance(Clock::time_point now) {
    if (browse_ && now >= browseEnd_) endBrowse();
    for (Sighting& sighting : sightings_) {
        if (sighting.resolution) sighting.resolution->advance(now);
    }
}

bool BridgeSearch::goalMet(Clock::time_point now) const {
    switch (request_.goal) {
        case DiscoveryRequest::Goal::First: {
            bool counted = !browse_ || now >= othersCounted_;
            auto resolved = [](const Sighting& sighting) { return sighting.resolution->resolved(); };
            return counted && std::any_of(sightings_.begin(), sightings_.end(), resolved);
        }
        case DiscoveryRequest::Goal::Named: {
            auto done = [](const Sighting& sighting) { return sighting.resolution && sighting.resolution->finished(); };
            return std::any_of(sightings_.begin(), sightings_.end(), done);
        }
        case DiscoveryRequest::Goal::All:
            break;
    }
    return false;
}

// The goal is met, or the browse has ended and every resolution has finished or run out of time.
bool BridgeSearch::over(Clock::time_point now) const {
    if (goalMet(now)) return true;
    if (browse_) return false;
    auto finished = [](const Sighting& sighting) { return !sighting.resolution || sighting.resolution->finished(); };
    return now >= graceEnd_ || std::all_of(sightings_.begin(), sightings_.end(), finished);
}

// The earliest moment after now at which the search must look again though no answer came.
Clock::time_point BridgeSearch::wakeTime(Clock::time_point now) const {
    Clock::time_point wake = browse_ ? browseEnd_ : graceEnd_;
    if (request_.goal == DiscoveryRequest::Goal::First && othersCounted_ > now) wake = std::min(wake, othersCounted_);
    for (const Sighting& sighting : sightings_) {
        if (!sighting.resolution) continue;
        Clock::time_point deadline = sighting.resolution->nextDeadline();
        if (deadline > now) wake = std::min(wake, deadline);
    }
    return wake;
}

// Feeds the next answer of the browse or of a resolution to its callbacks, or waits until the wake time;
// false when the wait itself failed.
bool BridgeSearch::awaitAnswer(Clock::time_point now) {
    std::vector<SocketHandle> sockets;
    std::vector<std::pair<DNSServiceRef, BridgeResolution*>> owners;  // a null resolution: the browse
    auto watch = [&](DNSServiceRef query, BridgeResolution* resolution) {
        int descriptor = wrapper_->socketFunction()(query);
        if (descriptor < 0) return;
        sockets.push_back(descriptor);
        owners.emplace_back(query, resolution);
    };
    if (browse_) watch(browse_, nullptr);
    for (Sighting& sighting : sightings_) {
        if (!sighting.resolution) continue;
        for (DNSServiceRef query : sighting.resolution->queries()) watch(query, sighting.resolution.get());
    }
    Clock::time_point wake = wakeTime(now);
    auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(wake - now).count();
    int ready = waitForAnyReadable(sockets, static_cast<int>(std::max<int64_t>(waitMs, 0)));
    if (ready < 0) return Clock::now() >= wake;
    auto [query, resolution] = owners[ready];
    if (resolution) {
        resolution->process(query);
    } else if (wrapper_->processResultFunction()(query) != kDNSServiceErr_NoError) {
        endBrowse();
    }
    return true;
}

void BridgeSearch::endBrowse() {
    if (browse_) wrapper_->deallocateFunction()(browse_);
    browse_ = nullptr;
}

bool hasWhatDiscoveryNeeds(MDnsWrapper* wrapper) {
    return wrapper->browseFunction() && wrapper->resolveFunction() && wrapper->queryRecordFunction() &&
           wrapper->socketFunction() && wrapper->processResultFunction() && wrapper->deallocateFunction();
}

}  // namespace

std::optional<std::vector<DiscoveredBridge>> discoverBridges(const DiscoveryRequest& request, std::string* error) {
    MDnsWrapper* wrapper = sharedMDnsWrapper();
    if (!wrapper || !hasWhatDiscoveryNeeds(wrapper)) {
        *error = "no DNS-SD library to search with; give the bridge's address with --host";
        release(wrapper);
        return std::nullopt;
    }
    std::optional<std::vector<DiscoveredBridge>> bridges;
    {
        BridgeSearch search(wrapper, request);
        if (search.start()) {
            bridges = search.run();
        } else {
            *error = "DNS-SD does not run on this computer (on Linux: avahi-daemon; on Windows: Bonjour); "
                     "give the bridge's address with --host";
        }
    }
    release(wrapper);
    return bridges;
}
