// AvahiBackend: registration through Avahi's own client library (libavahi-client.so.3 with
// libavahi-common.so.3), which every desktop running avahi-daemon has, also where Avahi's DNS-SD
// compatibility library is not installed. It runs a threaded poll of the library's, puts the service and its
// TXT entries in an entry group and commits it; when the name is taken on the network it takes Avahi's
// alternative name ("X-Plane #2") and commits again. Everything is freed by withdraw.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

#include "discovery/AdvertisingBackend.h"

class DynamicLibrary;

class AvahiBackend : public AdvertisingBackend {
public:
    // How long publish waits for the daemon to establish the service.
    static constexpr int EstablishMilliseconds = 10000;

    AvahiBackend();
    ~AvahiBackend() override;

    std::string name() const override;
    Outcome publish(const ServiceDescription& service, std::string* nameUsed, std::string* detail) override;
    void withdraw() override;
    void cancel() override;

    struct Api;  // the library's calls, looked up at run time

private:
    enum class GroupState { Waiting, Established, Failed };

    bool load(std::string* detail);
    // Adds the service (under the next alternative name while the name is taken) and commits the group.
    bool addService();
    int addServiceUnderCurrentName();
    // The library's callbacks, on its poll thread (the group's also inside entry_group_new).
    static void onClientState(void* client, int state, void* context);
    static void onGroupState(void* group, int state, void* context);
    void takeAlternativeName();
    void settle(GroupState state, const std::string& detail);
    bool waitUntilSettled(std::string* detail);

    std::unique_ptr<DynamicLibrary> common_;
    std::unique_ptr<DynamicLibrary> client_;
    std::unique_ptr<Api> api_;
    void* poll_ = nullptr;
    void* avahiClient_ = nullptr;
    void* group_ = nullptr;
    ServiceDescription service_;

    std::mutex mutex_;  // guards the fields below, set from the library's poll thread
    std::condition_variable settled_;
    GroupState state_ = GroupState::Waiting;
    bool cancelled_ = false;
    std::string name_;
    std::string failure_;
};
