#include "discovery/ServiceAdvertisement.h"

#include "base/NeverDestroyed.h"
#include "base/PilotLog.h"
#include "platform/DnsSdLibrary.h"

namespace {

constexpr const char* SeeTheAddresses =
    "Meanwhile an app can be given this computer's address (Plugins > Zephrane > Show bridge status).";
constexpr const char* ChooseAName = "to give this simulator a name of its own, add the line \"service_name <name>\" "
                                    "to Zephrane.prf";

// Publishing and withdrawing use the DNS-SD libraries for one announcement at a time: the D-Bus connections
// under Avahi's are not safe to use from two threads at once, and a bridge started again while the previous
// announcement still withdraws (from a daemon that stopped answering) would otherwise overlap with it. Only
// announcement threads ever wait here, never the thread that starts or stops them. Serving a registration
// waits on its own connection and takes no such lock.
Mutex& libraryMutex() {
    static NeverDestroyed<Mutex> mutex;
    return *mutex;
}

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

}  // namespace

ServiceAdvertisement::ServiceAdvertisement(ServiceDescription service,
                                           std::vector<std::unique_ptr<AdvertisingBackend>> backends)
    : BaseThread(true, false), service_(std::move(service)), backends_(std::move(backends)) {}

ServiceAdvertisement::~ServiceAdvertisement() { stopThread(); }

const char* ServiceAdvertisement::className() const { return "ServiceAdvertisement"; }

bool ServiceAdvertisement::start() { return startThread(); }

void ServiceAdvertisement::stop() {
    {
        MutexLock guard(mutex_);
        stopRequested_ = true;
        if (current_) current_->cancel();
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

bool ServiceAdvertisement::waitForState(State state, std::chrono::milliseconds limit) {
    MutexLock lock(mutex_);
    changed_.waitFor(mutex_, limit, [&]() REQUIRES(mutex_) { return state_ == state || stopRequested_; });
    return state_ == state;
}

std::string ServiceAdvertisement::publishedName() {
    MutexLock guard(mutex_);
    return publishedName_;
}

std::string ServiceAdvertisement::currentName() {
    MutexLock guard(mutex_);
    return state_ == State::Published ? publishedName_ : service_.name;
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

bool ServiceAdvertisement::waitForStop(std::chrono::milliseconds limit) {
    MutexLock lock(mutex_);
    changed_.waitFor(mutex_, limit, [this]() REQUIRES(mutex_) { return stopRequested_; });
    return stopRequested_;
}

AdvertisingBackend* ServiceAdvertisement::publishThroughFirstThatCan(std::string* reasons, bool* daemonMissing) {
    for (auto& backend : backends_) {
        {
            MutexLock guard(mutex_);
            if (stopRequested_) return nullptr;
            current_ = backend.get();
        }
        std::string name;
        std::string detail;
        AdvertisingBackend::Outcome outcome;
        {
            MutexLock library(libraryMutex());
            outcome = backend->publish(service_, &name, &detail);
        }
        MutexLock guard(mutex_);
        if (outcome == AdvertisingBackend::Outcome::Published) {
            publishedName_ = name;
            return backend.get();
        }
        current_ = nullptr;
        *daemonMissing = *daemonMissing || outcome == AdvertisingBackend::Outcome::Failed;
        *reasons += (reasons->empty() ? "" : "; ") + backend->name() + ": " + detail;
    }
    return nullptr;
}

// The backend stays current while it serves, so that a stop cancels it.
bool ServiceAdvertisement::serveUntilStopOrLoss(AdvertisingBackend* backend) {
    std::string why;
    bool stopped = backend->serve(*this, &why);
    withdraw(backend);
    if (stopped || stopRequested()) return true;
    reportLost(*backend, why);
    setState(State::NotPublished);
    return false;
}

void ServiceAdvertisement::withdraw(AdvertisingBackend* backend) {
    {
        MutexLock library(libraryMutex());
        backend->withdraw();
    }
    MutexLock guard(mutex_);
    current_ = nullptr;
}

void ServiceAdvertisement::renamed(const std::string& name) {
    std::string before;
    {
        MutexLock guard(mutex_);
        before = publishedName_;
        publishedName_ = name;
    }
    report("apps find this simulator as " + quoted(name) + " from now on: another computer on the network took the "
           "name " + quoted(before) + " (" + ChooseAName + ")");
}

// Nothing is said of a registration that a stop overtook: the bridge has already said it stopped. Of the
// attempts that keep failing, only the first is told, and after a loss, only the loss.
void ServiceAdvertisement::threadMethod() {
    bool findableBefore = false;
    bool toldNotFindable = false;
    while (!stopRequested()) {
        std::string reasons;
        bool daemonMissing = false;
        AdvertisingBackend* published = publishThroughFirstThatCan(&reasons, &daemonMissing);
        if (published && stopRequested()) {
            withdraw(published);
        } else if (published) {
            reportPublished(*published, publishedName(), findableBefore);
            setState(State::Published);
            findableBefore = true;
            if (serveUntilStopOrLoss(published)) break;
            toldNotFindable = true;
        } else if (!stopRequested()) {
            if (!toldNotFindable) reportNotPublished(reasons, daemonMissing);
            toldNotFindable = true;
            setState(State::NotPublished);
        }
        if (waitForStop(RetrySeconds)) break;
    }
    setState(State::Stopped);
}

void ServiceAdvertisement::reportPublished(const AdvertisingBackend& backend, const std::string& name, bool again) {
    std::string line = std::string("apps find this simulator ") + (again ? "again " : "") + "as " + quoted(name) +
                       " on the network";
    if (name != service_.name) {
        line += ": another computer there is called " + quoted(service_.name) + " already (" + ChooseAName + ")";
    }
    report(line + " (announced through " + backend.name() + ")");
}

void ServiceAdvertisement::reportNotPublished(const std::string& reasons, bool daemonMissing) {
    std::string cause = daemonMissing ? std::string(dnsSdServiceWords()) + " does not answer"
                                      : std::string("nothing on this computer can announce it");
    std::string remedy = daemonMissing ? dnsSdStartHint() : dnsSdInstallHint();
    report("apps cannot find this simulator as " + quoted(service_.name) + " by themselves: " + cause +
               ". To fix it, " + remedy + "; the bridge then announces itself within seconds.",
           SeeTheAddresses + std::string(" Details: ") + reasons);
}

void ServiceAdvertisement::reportLost(const AdvertisingBackend& backend, const std::string& why) {
    report("apps can no longer find this simulator as " + quoted(currentName()) + " by themselves: " +
               std::string(dnsSdServiceWords()) + " stopped answering. The bridge announces itself again as soon as " +
               "it is back; if it does not come back, " + dnsSdStartHint() + ".",
           SeeTheAddresses + std::string(" Details: ") + backend.name() + ": " + why);
}

void ServiceAdvertisement::report(const std::string& line, const std::string& more) {
    {
        MutexLock guard(mutex_);
        outcome_ = line;
    }
    PilotLog::write(more.empty() ? line : line + " " + more);
}
