#include "discovery/AvahiBackend.h"

#include <chrono>
#include <cstdint>

#include "platform/DnsSdLibrary.h"
#include "platform/DynamicLibrary.h"

namespace {

// Values of the library's public interface (avahi-common/defs.h, address.h).
constexpr int InterfaceUnspecified = -1;
constexpr int ProtocolUnspecified = -1;
constexpr int ClientRegistering = 1;
constexpr int ClientRunning = 2;
constexpr int ClientCollision = 3;
constexpr int ClientFailure = 100;
constexpr int GroupEstablished = 2;
constexpr int GroupCollision = 3;
constexpr int GroupFailure = 4;
constexpr int ErrorCollision = -8;
// How many alternative names are tried before giving up ("X-Plane #2" to "X-Plane #11").
constexpr int MostAlternativeNames = 10;

}  // namespace

struct AvahiBackend::Api {
    using ClientCallback = void (*)(void* client, int state, void* context);
    using GroupCallback = void (*)(void* group, int state, void* context);

    void* (*threadedPollNew)();
    void (*threadedPollFree)(void* poll);
    const void* (*threadedPollGet)(void* poll);
    int (*threadedPollStart)(void* poll);
    int (*threadedPollStop)(void* poll);
    void (*threadedPollLock)(void* poll);
    void (*threadedPollUnlock)(void* poll);
    const char* (*strerror)(int error);
    char* (*alternativeServiceName)(const char* name);
    void (*free)(void* pointer);
    void* (*stringListAdd)(void* list, const char* text);
    void (*stringListFree)(void* list);
    void* (*clientNew)(const void* poll, int flags, ClientCallback callback, void* context, int* error);
    int (*clientGetState)(void* client);
    void (*clientFree)(void* client);
    int (*clientErrno)(void* client);
    void* (*entryGroupNew)(void* client, GroupCallback callback, void* context);
    int (*entryGroupFree)(void* group);
    int (*entryGroupCommit)(void* group);
    int (*entryGroupReset)(void* group);
    int (*entryGroupAddServiceStrlst)(void* group, int interface, int protocol, int flags, const char* name,
                                      const char* type, const char* domain, const char* host, uint16_t port,
                                      void* txt);
};

namespace {

template <class Function>
bool lookUp(const DynamicLibrary& library, const char* name, Function* entry) {
    *entry = reinterpret_cast<Function>(library.symbol(name));
    return *entry != nullptr;
}

}  // namespace

AvahiBackend::AvahiBackend() = default;

AvahiBackend::~AvahiBackend() { withdraw(); }

std::string AvahiBackend::name() const {
    const char* library = avahiClientLibraryName();
    return std::string("Avahi (") + (library ? library : "no library") + ")";
}

// The libraries start threads of their own: they stay mapped for the rest of the process.
bool AvahiBackend::load(std::string* detail) {
    if (api_) return true;
    const char* clientName = avahiClientLibraryName();
    const char* commonName = avahiCommonLibraryName();
    if (!clientName || !commonName) {
        *detail = "Avahi is not part of this system";
        return false;
    }
    std::string error;
    common_ = DynamicLibrary::open(commonName, &error, DynamicLibrary::Lifetime::StaysMapped);
    if (common_) client_ = DynamicLibrary::open(clientName, &error, DynamicLibrary::Lifetime::StaysMapped);
    if (!common_ || !client_) {
        *detail = std::string(common_ ? clientName : commonName) + " is not installed";
        return false;
    }
    auto api = std::make_unique<Api>();
    bool complete = lookUp(*common_, "avahi_threaded_poll_new", &api->threadedPollNew) &&
                    lookUp(*common_, "avahi_threaded_poll_free", &api->threadedPollFree) &&
                    lookUp(*common_, "avahi_threaded_poll_get", &api->threadedPollGet) &&
                    lookUp(*common_, "avahi_threaded_poll_start", &api->threadedPollStart) &&
                    lookUp(*common_, "avahi_threaded_poll_stop", &api->threadedPollStop) &&
                    lookUp(*common_, "avahi_threaded_poll_lock", &api->threadedPollLock) &&
                    lookUp(*common_, "avahi_threaded_poll_unlock", &api->threadedPollUnlock) &&
                    lookUp(*common_, "avahi_strerror", &api->strerror) &&
                    lookUp(*common_, "avahi_alternative_service_name", &api->alternativeServiceName) &&
                    lookUp(*common_, "avahi_free", &api->free) &&
                    lookUp(*common_, "avahi_string_list_add", &api->stringListAdd) &&
                    lookUp(*common_, "avahi_string_list_free", &api->stringListFree) &&
                    lookUp(*client_, "avahi_client_new", &api->clientNew) &&
                    lookUp(*client_, "avahi_client_free", &api->clientFree) &&
                    lookUp(*client_, "avahi_client_get_state", &api->clientGetState) &&
                    lookUp(*client_, "avahi_client_errno", &api->clientErrno) &&
                    lookUp(*client_, "avahi_entry_group_new", &api->entryGroupNew) &&
                    lookUp(*client_, "avahi_entry_group_free", &api->entryGroupFree) &&
                    lookUp(*client_, "avahi_entry_group_commit", &api->entryGroupCommit) &&
                    lookUp(*client_, "avahi_entry_group_reset", &api->entryGroupReset) &&
                    lookUp(*client_, "avahi_entry_group_add_service_strlst", &api->entryGroupAddServiceStrlst);
    if (!complete) {
        *detail = std::string(clientName) + " lacks the registration calls";
        return false;
    }
    api_ = std::move(api);
    return true;
}

// The client connects to the daemon inside clientNew, which waits for the daemon's answer: this is the
// call that a frozen daemon holds up to the library's own time-out. The service is added once the daemon
// runs: at once when it does already, else from the client's callback.
AdvertisingBackend::Outcome AvahiBackend::publish(const ServiceDescription& service, std::string* nameUsed,
                                                  std::string* detail) {
    withdraw();
    if (!load(detail)) return Outcome::Unavailable;
    service_ = service;
    serviceAdded_ = false;
    {
        MutexLock guard(mutex_);
        state_ = GroupState::Waiting;
        name_ = service.name;
        establishedName_.clear();
        renamed_ = false;
        failure_.clear();
    }
    poll_ = api_->threadedPollNew();
    int error = 0;
    if (poll_) avahiClient_ = api_->clientNew(api_->threadedPollGet(poll_), 0, onClientState, this, &error);
    if (!avahiClient_) {
        *detail = std::string("the daemon cannot be reached: ") + api_->strerror(error);
        withdraw();
        return Outcome::Failed;
    }
    bool running = api_->clientGetState(avahiClient_) == ClientRunning;
    if ((running && !serviceAdded_ && !addService(avahiClient_)) || api_->threadedPollStart(poll_) < 0) {
        *detail = std::string("the daemon refused the service: ") + api_->strerror(api_->clientErrno(avahiClient_));
        withdraw();
        return Outcome::Failed;
    }
    if (!waitUntilSettled(detail)) {
        withdraw();
        return Outcome::Failed;
    }
    MutexLock guard(mutex_);
    *nameUsed = establishedName_;
    renamed_ = false;
    return Outcome::Published;
}

// A name that this daemon already publishes for another program is refused at once, a name taken elsewhere on
// the network later through the group's state: both take the alternative name.
bool AvahiBackend::addService(void* client) {
    if (!group_) group_ = api_->entryGroupNew(client, onGroupState, this);
    if (!group_) return false;
    for (int attempt = 0; attempt <= MostAlternativeNames; ++attempt) {
        int added = addServiceUnderCurrentName();
        if (added == ErrorCollision) {
            takeAlternativeName();
            continue;
        }
        serviceAdded_ = added >= 0 && api_->entryGroupCommit(group_) >= 0;
        return serviceAdded_;
    }
    return false;
}

int AvahiBackend::addServiceUnderCurrentName() {
    std::string name;
    {
        MutexLock guard(mutex_);
        name = name_;
    }
    void* txt = nullptr;
    for (const auto& [key, value] : service_.txt) txt = api_->stringListAdd(txt, (key + "=" + value).c_str());
    int added = api_->entryGroupAddServiceStrlst(group_, InterfaceUnspecified, ProtocolUnspecified, 0, name.c_str(),
                                                 service_.type.c_str(), nullptr, nullptr, service_.port, txt);
    api_->stringListFree(txt);
    return added;
}

// While this computer's host name is being established (at the daemon's start, or after its host name was
// found taken) the daemon drops every service; it is added again once the daemon runs.
void AvahiBackend::onClientState(void* client, int state, void* context) {
    auto* backend = static_cast<AvahiBackend*>(context);
    if (state == ClientRunning && !backend->serviceAdded_) {
        if (!backend->addService(client)) backend->fail("the daemon refused the service");
    } else if ((state == ClientCollision || state == ClientRegistering) && backend->group_) {
        backend->api_->entryGroupReset(backend->group_);
        backend->serviceAdded_ = false;
    } else if (state == ClientFailure) {
        const char* why = backend->api_->strerror(backend->api_->clientErrno(client));
        backend->fail(std::string("the daemon went away: ") + why);
    }
}

void AvahiBackend::onGroupState(void* group, int state, void* context) {
    auto* backend = static_cast<AvahiBackend*>(context);
    if (state == GroupEstablished) {
        backend->established();
    } else if (state == GroupCollision) {
        backend->group_ = group;
        backend->takeAlternativeName();
        backend->serviceAdded_ = false;
        if (!backend->addService(backend->avahiClient_)) backend->fail("no other name was free");
    } else if (state == GroupFailure) {
        backend->fail("the daemon could not publish the service");
    }
}

void AvahiBackend::takeAlternativeName() {
    {
        MutexLock guard(mutex_);
        char* alternative = api_->alternativeServiceName(name_.c_str());
        if (alternative) name_ = alternative;
        api_->free(alternative);
    }
    api_->entryGroupReset(group_);
}

void AvahiBackend::established() {
    {
        MutexLock guard(mutex_);
        renamed_ = renamed_ || (state_ == GroupState::Established && name_ != establishedName_);
        establishedName_ = name_;
        if (state_ == GroupState::Waiting) state_ = GroupState::Established;
    }
    settled_.notifyAll();
}

void AvahiBackend::fail(const std::string& detail) {
    {
        MutexLock guard(mutex_);
        if (state_ == GroupState::Failed) return;
        state_ = GroupState::Failed;
        failure_ = detail;
    }
    settled_.notifyAll();
}

bool AvahiBackend::waitUntilSettled(std::string* detail) {
    MutexLock lock(mutex_);
    bool settled = settled_.waitFor(mutex_, std::chrono::milliseconds(EstablishMilliseconds),
                                    [this]() REQUIRES(mutex_) { return state_ != GroupState::Waiting || cancelled_; });
    if (state_ == GroupState::Established) return true;
    if (state_ == GroupState::Failed) {
        *detail = failure_;
    } else {
        *detail = settled ? "stopped before the daemon established the service"
                          : "the daemon did not establish the service within 10 s";
    }
    return false;
}

// The poll thread does the work; this thread only passes on what it reports.
bool AvahiBackend::serve(Events& events, std::string* detail) {
    for (;;) {
        std::string renamedTo;
        {
            MutexLock lock(mutex_);
            settled_.wait(mutex_, [this]() REQUIRES(mutex_) {
                return cancelled_ || renamed_ || state_ == GroupState::Failed;
            });
            if (cancelled_) return true;
            if (state_ == GroupState::Failed) {
                *detail = failure_;
                return false;
            }
            renamed_ = false;
            renamedTo = establishedName_;
        }
        events.renamed(renamedTo);
    }
}

// The poll thread is stopped first, so that no callback runs while the objects go.
void AvahiBackend::withdraw() {
    if (!api_) return;
    if (poll_) api_->threadedPollStop(poll_);
    if (group_) api_->entryGroupFree(group_);
    if (avahiClient_) api_->clientFree(avahiClient_);
    if (poll_) api_->threadedPollFree(poll_);
    group_ = nullptr;
    avahiClient_ = nullptr;
    poll_ = nullptr;
    serviceAdded_ = false;
}

void AvahiBackend::cancel() {
    {
        MutexLock guard(mutex_);
        cancelled_ = true;
    }
    settled_.notifyAll();
}
