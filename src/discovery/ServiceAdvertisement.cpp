#include "discovery/ServiceAdvertisement.h"

#include "base/NeverDestroyed.h"
#include "base/PilotLog.h"
#include "platform/DnsSdLibrary.h"

namespace {

// The DNS-SD libraries are used by one announcement at a time: the D-Bus connections under Avahi's are not
// safe to use from two threads at once, and a bridge started again while the previous announcement still
// withdraws (from a daemon that stopped answering) would otherwise overlap with it. Only announcement
// threads ever wait here, never the thread that starts or stops them.
std::mutex& libraryMutex() {
    static NeverDestroyed<std::mutex> mutex;
    return *mutex;
}

}  // namespace

ServiceAdvertisement::ServiceAdvertisement(ServiceDescription service,
                                           std::vector<std::unique_ptr<AdvertisingBackend>> backends)
    : BaseThread(true, false), service_(std::move(service)), backends_(std::move(backends)) {}

ServiceAdvertisement::~ServiceAdvertisement() { stopThread(); }

const char* ServiceAdvertisement::className() const { return "ServiceAdvertisement"; }

bool ServiceAdvertisement::start() { return startThread(); }

void ServiceAdvertisement::stop() {
    AdvertisingBackend* trying = nullptr;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stopRequested_ = true;
        trying = trying_;
        if (trying) trying->cancel();
    }
    changed_.notify_all();
}

ServiceAdvertisement::State ServiceAdvertisement::state() {
    std::lock_guard<std::mutex> guard(mutex_);
    return state_;
}

ServiceAdvertisement::State ServiceAdvertisement::waitForOutcome(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, limit, [this] { return state_ != State::Registering || stopRequested_; });
    return state_;
}

std::string ServiceAdvertisement::publishedName() {
    std::lock_guard<std::mutex> guard(mutex_);
    return publishedName_;
}

std::string ServiceAdvertisement::outcome() {
    std::lock_guard<std::mutex> guard(mutex_);
    return outcome_;
}

void ServiceAdvertisement::setState(State state) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        state_ = state;
    }
    changed_.notify_all();
}

bool ServiceAdvertisement::stopRequested() {
    std::lock_guard<std::mutex> guard(mutex_);
    return stopRequested_;
}

AdvertisingBackend* ServiceAdvertisement::publishThroughFirstThatCan(std::string* reasons) {
    for (auto& backend : backends_) {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            if (stopRequested_) return nullptr;
            trying_ = backend.get();
        }
        std::string name;
        std::string detail;
        AdvertisingBackend::Outcome outcome;
        {
            std::lock_guard<std::mutex> library(libraryMutex());
            outcome = backend->publish(service_, &name, &detail);
        }
        std::lock_guard<std::mutex> guard(mutex_);
        trying_ = nullptr;
        if (outcome == AdvertisingBackend::Outcome::Published) {
            publishedName_ = name;
            return backend.get();
        }
        *reasons += (reasons->empty() ? "" : "; ") + detail;
    }
    return nullptr;
}

// Nothing is said of a registration that a stop overtook: the bridge has already said it stopped.
void ServiceAdvertisement::threadMethod() {
    std::string reasons;
    AdvertisingBackend* published = publishThroughFirstThatCan(&reasons);
    bool stopped = stopRequested();
    if (published && !stopped) reportPublished(*published);
    if (!published && !stopped) reportNotPublished(reasons);
    if (!published) {
        setState(State::NotPublished);
        return;
    }
    setState(State::Published);
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return stopRequested_; });
    }
    {
        std::lock_guard<std::mutex> library(libraryMutex());
        published->withdraw();
    }
    setState(State::Stopped);
}

void ServiceAdvertisement::reportPublished(const AdvertisingBackend& backend) {
    report("advertised as \"" + publishedName() + "\" through " + backend.name());
}

void ServiceAdvertisement::reportNotPublished(const std::string& reasons) {
    report("not advertised, so apps will not find the simulator by themselves (" + reasons + "): " +
           dnsSdInstallHint());
}

void ServiceAdvertisement::report(const std::string& line) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        outcome_ = line;
    }
    PilotLog::write(line);
}
