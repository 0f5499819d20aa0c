// AvahiBackend: registration through Avahi's own client library (libavahi-client.so.3 with
// libavahi-common.so.3), which every desktop running avahi-daemon has, also where Avahi's DNS-SD
// compatibility library is not installed. It runs a threaded poll of the library's, puts the service and its
// TXT entries in an entry group and commits it once the daemon runs. The library's callbacks (on its poll
// thread) keep following the registration: when the name is taken on the network it takes Avahi's
// alternative name ("X-Plane #2") and commits again; when this computer's host name changes it adds the
// service again; when the daemon goes away the registration is lost. Everything is freed by withdraw.
#pragma once

#include <memory>

#include "discovery/AdvertisingBackend.h"
#include "platform/ConditionVariable.h"
#include "platform/Mutex.h"

class DynamicLibrary;

class AvahiBackend : public AdvertisingBackend {
public:
    // How long publish waits for the daemon to establish the service.
    static constexpr int EstablishMilliseconds = 10000;

    AvahiBackend();
    ~AvahiBackend() override;

    std::string name() const override;
    Outcome publish(const ServiceDescription& service, std::string* nameUsed, std::string* detail) override
        EXCLUDES(mutex_);
    bool serve(Events& events, std::string* detail) override EXCLUDES(mutex_);
    void withdraw() override;
    void cancel() override EXCLUDES(mutex_);

    struct Api;  // the library's calls, looked up at run time

private:
    enum class GroupState { Waiting, Established, Failed };

    bool load(std::string* detail);
    // On the poll thread, or before it runs: makes the entry group when there is none, adds the service
    // (under the next alternative name while the name is taken) and commits the group.
    bool addService(void* client);
    int addServiceUnderCurrentName() EXCLUDES(mutex_);
    // The library's callbacks, on its poll thread (also inside client_new and entry_group_new).
    static void onClientState(void* client, int state, void* context);
    static void onGroupState(void* group, int state, void* context);
    void takeAlternativeName() EXCLUDES(mutex_);
    void established() EXCLUDES(mutex_);
    void fail(const std::string& detail) EXCLUDES(mutex_);
    bool waitUntilSettled(std::string* detail) EXCLUDES(mutex_);

    std::unique_ptr<DynamicLibrary> common_;
    std::unique_ptr<DynamicLibrary> client_;
    std::unique_ptr<Api> api_;
    // Made and used on the publishing thread before the poll runs, then on the poll thread only, and freed
    // once the poll has stopped.
    void* poll_ = nullptr;
    void* avahiClient_ = nullptr;
    void* group_ = nullptr;
    bool serviceAdded_ = false;
    ServiceDescription service_;

    // Set from the library's poll thread as well.
    Mutex mutex_;
    ConditionVariable settled_;
    GroupState state_ GUARDED_BY(mutex_) = GroupState::Waiting;
    bool cancelled_ GUARDED_BY(mutex_) = false;
    std::string name_ GUARDED_BY(mutex_);              // the name asked of the daemon now
    std::string establishedName_ GUARDED_BY(mutex_);   // the name the daemon last established
    bool renamed_ GUARDED_BY(mutex_) = false;          // established under another name, not yet told
    std::string failure_ GUARDED_BY(mutex_);
};
