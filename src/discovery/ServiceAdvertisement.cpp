#include "discovery/ServiceAdvertisement.h"

#include "base/NeverDestroyed.h"
#include "base/PilotLog.h"
#include "platform/DnsSdLibrary.h"

namespace {

// The DNS-SD libraries are used by one announcement at a time: the D-Bus connections under Avahi's are not
// safe to use from two threads at once, and a bridge started again while the previous announcement still
// withdraws (from a daemon that stopped answering) would otherwise overlap with it. Only announcement
// threads ever wait here, never the thread that starts or stops them.
Mutex& libraryMutex() {
    static NeverDestroyed<Mutex> mutex;
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
        MutexLock guard(mutex_);
        stopRequested_ = true;
        trying = trying_;
        if (trying) trying->cancel();
    }
    changed_.notifyAll();
}

ServiceAdvertisement::State ServiceAdvertisement::state() {
    MutexLock guard(mutex_);
    return state_;
}

ServiceAdvertisement::State ServiceAdvertisement::waitForOutcome(std::chrono::milliseconds limit) {
    MutexLock lock(mutex_);
    changed_.waitFor(mutex_, limit,
                     [this]() REQUIRES(mutex_) { return state_ != State::Registering || stopRequested_; });
    return state_;
}

std::string ServiceAdvertisement::publishedName() {
    MutexLock guard(mutex_);
    return publishedName_;
}

std::string ServiceAdvertisement::outcome() {
    MutexLock guard(mutex_);
    return outcome_;
}

void ServiceAdvertisement::setState(State state) {
    {
        MutexLock guard(mutex_);
        state_ = state;
    }
    changed_.notifyAll();
}

bool ServiceAdvertisement::stopRequested() {
    MutexLock guard(mutex_);
    return stopRequested_;
}

AdvertisingBackend* ServiceAdvertisement::publishThroughFirstThatCan(std::string* reasons) {
    for (auto& backend : backends_) {
        {
            MutexLock guard(mutex_);
            if (stopRequested_) return nullptr;
            trying_ = backend.get();
        }
        std::string name;
        std::string detail;
        AdvertisingBackend::Outcome outcome;
        {
            MutexLock library(libraryMutex());
            outcome = backend->publish(service_, &name, &detail);
        }
        MutexLock guard(mutex_);
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
        MutexLock lock(mutex_);
        changed_.wait(mutex_, [this]() REQUIRES(mutex_) { return stopRequested_; });
    }
    {
        MutexLock library(libraryMutex());
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
        MutexLock guard(mutex_);
        outcome_ = line;
    }
    PilotLog::write(line);
}
