// ServiceAdvertisement: a service announced by DNS-SD from a thread of its own, so that no daemon, however
// slow or frozen, holds up the thread that starts or stops it. The thread tries the platform's backends in
// order until one publishes, says in the pilot's log what came of it, waits for stop, withdraws and ends.
// start and stop both return at once: the thread holds a reference to this object until it has ended, so
// the owner lets go right after stop, and the thread finishes a withdrawal (or a registration still under
// way) in the background. The module's unload waits for it, bounded by the library's own time-out.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "base/BaseObject.h"
#include "discovery/AdvertisingBackend.h"
#include "platform/ConditionVariable.h"
#include "platform/Mutex.h"
#include "thread/BaseThread.h"

class ServiceAdvertisement : public BaseObject, public BaseThread {
public:
    // NotPublished is final; Stopped follows Published once the service has been withdrawn.
    enum class State { Registering, Published, NotPublished, Stopped };

    // Uses backends in their order; makeAdvertisingBackends gives the platform's.
    ServiceAdvertisement(ServiceDescription service, std::vector<std::unique_ptr<AdvertisingBackend>> backends);
    ~ServiceAdvertisement() override;

    const char* className() const override;
    bool start();
    void stop() EXCLUDES(mutex_);

    State state() EXCLUDES(mutex_);
    // Waits until the registration has an outcome (or stop came), at most limit. For tools and tests.
    State waitForOutcome(std::chrono::milliseconds limit) EXCLUDES(mutex_);
    // The name published (the daemon may have chosen another on a collision); empty until published.
    std::string publishedName() EXCLUDES(mutex_);
    // What came of the announcement, in the words of the pilot's log line ("advertised as ... through ...",
    // "not advertised ..."); empty while the registration is under way.
    std::string outcome() EXCLUDES(mutex_);

protected:
    void threadMethod() override EXCLUDES(mutex_);

private:
    // Tries each backend in turn; the one that published, or null with every reason in reasons.
    AdvertisingBackend* publishThroughFirstThatCan(std::string* reasons) EXCLUDES(mutex_);
    void setState(State state) EXCLUDES(mutex_);
    bool stopRequested() EXCLUDES(mutex_);
    void reportPublished(const AdvertisingBackend& backend);
    void reportNotPublished(const std::string& reasons);
    // Writes the outcome to the pilot's log and keeps it for outcome().
    void report(const std::string& line) EXCLUDES(mutex_);

    ServiceDescription service_;
    std::vector<std::unique_ptr<AdvertisingBackend>> backends_;
    Mutex mutex_;
    ConditionVariable changed_;
    State state_ GUARDED_BY(mutex_) = State::Registering;
    bool stopRequested_ GUARDED_BY(mutex_) = false;
    AdvertisingBackend* trying_ GUARDED_BY(mutex_) = nullptr;  // the backend publishing now, which stop cancels
    std::string publishedName_ GUARDED_BY(mutex_);
    std::string outcome_ GUARDED_BY(mutex_);
};
