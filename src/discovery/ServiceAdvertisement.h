// ServiceAdvertisement: a service announced by DNS-SD from a thread of its own, so that no daemon, however
// slow or frozen, holds up the thread that starts or stops it. The thread tries the platform's backends in
// order until one publishes and then serves that registration for as long as the service runs: a name that
// another computer takes is followed, and a registration lost with its daemon is made anew as soon as a
// daemon answers again (tried every RetrySeconds), as is one that no daemon took at the start. Each change of
// whether and under which name apps find the service is said in the pilot's log, once. On stop it withdraws
// and ends. start and stop both return at once: the thread holds a reference to this object until it has
// ended, so the owner lets go right after stop, and the thread finishes a withdrawal (or a registration still
// under way) in the background. The module's unload waits for it, bounded by the library's own time-out.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "base/BaseObject.h"
#include "discovery/AdvertisingBackend.h"
#include "platform/ConditionVariable.h"
#include "platform/Mutex.h"
#include "thread/BaseThread.h"

class ServiceAdvertisement : public BaseObject, public BaseThread, private AdvertisingBackend::Events {
public:
    // Registering: no outcome yet; Published: apps find the service; NotPublished: they do not, and it is
    // tried again; Stopped: withdrawn after a stop.
    enum class State { Registering, Published, NotPublished, Stopped };
    // How long a registration that no daemon took waits before it is tried again.
    static constexpr std::chrono::seconds RetrySeconds{3};

    // Uses backends in their order; makeAdvertisingBackends gives the platform's.
    ServiceAdvertisement(ServiceDescription service, std::vector<std::unique_ptr<AdvertisingBackend>> backends);
    ~ServiceAdvertisement() override;

    const char* className() const override;
    bool start();
    void stop() EXCLUDES(mutex_);

    State state() EXCLUDES(mutex_);
    // Waits until the registration has an outcome (or stop came), at most limit. For tools and tests.
    State waitForOutcome(std::chrono::milliseconds limit) EXCLUDES(mutex_);
    // Waits until the state is state (or stop came), at most limit. For tools and tests.
    bool waitForState(State state, std::chrono::milliseconds limit) EXCLUDES(mutex_);
    // The name published (the daemon may have chosen another on a collision); empty until published.
    std::string publishedName() EXCLUDES(mutex_);
    // The name the network knows the service by: the one published, else the one asked for.
    std::string currentName() EXCLUDES(mutex_);
    // What came of the announcement last, in the words of the pilot's log line ("apps find this simulator
    // as ...", "apps cannot find ...") without its details; empty while the first registration is under way.
    std::string outcome() EXCLUDES(mutex_);

protected:
    void threadMethod() override EXCLUDES(mutex_);

private:
    // Tries each backend in turn; the one that published, or null with every reason in reasons and whether
    // some library was there (its daemon did not answer) in daemonMissing.
    AdvertisingBackend* publishThroughFirstThatCan(std::string* reasons, bool* daemonMissing) EXCLUDES(mutex_);
    // Serves the backend that published until stop (true) or until the registration is lost (false).
    bool serveUntilStopOrLoss(AdvertisingBackend* backend) EXCLUDES(mutex_);
    void withdraw(AdvertisingBackend* backend) EXCLUDES(mutex_);
    void renamed(const std::string& name) override EXCLUDES(mutex_);
    void setState(State state) EXCLUDES(mutex_);
    bool stopRequested() EXCLUDES(mutex_);
    // Waits for a stop, at most limit; true when it came.
    bool waitForStop(std::chrono::milliseconds limit) EXCLUDES(mutex_);
    void reportPublished(const AdvertisingBackend& backend, const std::string& name, bool again);
    void reportNotPublished(const std::string& reasons, bool daemonMissing);
    void reportLost(const AdvertisingBackend& backend, const std::string& why);
    // Writes the outcome to the pilot's log, with more after it, and keeps it without more for outcome().
    void report(const std::string& line, const std::string& more = "") EXCLUDES(mutex_);

    ServiceDescription service_;
    std::vector<std::unique_ptr<AdvertisingBackend>> backends_;
    Mutex mutex_;
    ConditionVariable changed_;
    State state_ GUARDED_BY(mutex_) = State::Registering;
    bool stopRequested_ GUARDED_BY(mutex_) = false;
    AdvertisingBackend* current_ GUARDED_BY(mutex_) = nullptr;  // publishing or serving now; stop cancels it
    std::string publishedName_ GUARDED_BY(mutex_);
    std::string outcome_ GUARDED_BY(mutex_);
};
