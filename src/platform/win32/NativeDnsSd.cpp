#include "platform/NativeDnsSd.h"

#include <windows.h>
#include <windns.h>

#include <atomic>
#include <cstddef>
#include <cwchar>
#include <string>
#include <vector>

#include "WideText.h"
#include "platform/ConditionVariable.h"
#include "platform/DnsServiceCalls.h"
#include "platform/DynamicLibrary.h"
#include "platform/ModulePin.h"
#include "platform/Mutex.h"

namespace {

// The plain types of DnsServiceCalls.h are the system's: the same layouts, and on x64 a single calling
// convention, so that the plain function types are the system's as well.
static_assert(sizeof(void*) == 8, "the DNS-SD calls are declared for 64-bit Windows");
static_assert(sizeof(DnsServiceInstance) == sizeof(DNS_SERVICE_INSTANCE));
static_assert(offsetof(DnsServiceInstance, port) == offsetof(DNS_SERVICE_INSTANCE, wPort));
static_assert(offsetof(DnsServiceInstance, propertyCount) == offsetof(DNS_SERVICE_INSTANCE, dwPropertyCount));
static_assert(offsetof(DnsServiceInstance, values) == offsetof(DNS_SERVICE_INSTANCE, values));
static_assert(offsetof(DnsServiceInstance, interfaceIndex) == offsetof(DNS_SERVICE_INSTANCE, dwInterfaceIndex));
static_assert(sizeof(DnsServiceRegisterRequest) == sizeof(DNS_SERVICE_REGISTER_REQUEST));
static_assert(offsetof(DnsServiceRegisterRequest, serviceInstance) ==
              offsetof(DNS_SERVICE_REGISTER_REQUEST, pServiceInstance));
static_assert(offsetof(DnsServiceRegisterRequest, context) == offsetof(DNS_SERVICE_REGISTER_REQUEST, pQueryContext));
static_assert(offsetof(DnsServiceRegisterRequest, unicastEnabled) ==
              offsetof(DNS_SERVICE_REGISTER_REQUEST, unicastEnabled));
static_assert(sizeof(DnsDword) == sizeof(DWORD) && sizeof(DnsBool) == sizeof(BOOL));

constexpr const char* SystemLibrary = "dnsapi.dll";
constexpr const char* ConstructInstanceCall = "DnsServiceConstructInstance";
constexpr const char* RegisterCall = "DnsServiceRegister";
constexpr const char* DeregisterCall = "DnsServiceDeRegister";
constexpr const char* FreeInstanceCall = "DnsServiceFreeInstance";
constexpr const char* CancelCall = "DnsServiceRegisterCancel";
// Why the module stays mapped once the system was asked anything: its answers come on its own threads, into
// this module's code, whenever it sends them.
constexpr const char* AnswerPin = "Windows' own DNS-SD may still call into the plug-in";
constexpr std::chrono::milliseconds SystemAnswerLimit = std::chrono::seconds(10);
constexpr const char* LocalDomain = "local";
constexpr DnsDword Succeeded = ERROR_SUCCESS;
constexpr const char* CancelledText = "the registration was cancelled";

using SendFunction = DnsDword (*)(DnsServiceRegisterRequest*, DnsServiceCancel*);

// The calls a test stands in, while it does.
struct StandIn {
    bool active = false;
    DnsServiceCalls calls{};
    std::chrono::milliseconds answerLimit = SystemAnswerLimit;
};
Mutex standInMutex;
StandIn standIn GUARDED_BY(standInMutex);

StandIn currentStandIn() {
    MutexLock lock(standInMutex);
    return standIn;
}

// The computer's DNS host name; the first call asks for the size, with the terminating null.
std::wstring systemComputerName() {
    DWORD size = 0;
    GetComputerNameExW(ComputerNameDnsHostname, nullptr, &size);
    std::wstring name(size, L'\0');
    if (size == 0 || !GetComputerNameExW(ComputerNameDnsHostname, name.data(), &size)) return {};
    name.resize(size);
    return name;
}

template <class Function>
void lookUp(const DynamicLibrary& library, const char* name, Function* entry) {
    *entry = reinterpret_cast<Function>(library.symbol(name));
}

DnsServiceCalls systemCalls(const DynamicLibrary& library) {
    DnsServiceCalls calls{};
    lookUp(library, ConstructInstanceCall, &calls.constructInstance);
    lookUp(library, RegisterCall, &calls.registerService);
    lookUp(library, DeregisterCall, &calls.deregisterService);
    lookUp(library, FreeInstanceCall, &calls.freeInstance);
    lookUp(library, CancelCall, &calls.cancelRegistration);
    calls.computerName = systemComputerName;
    return calls;
}

// The first of dnsapi.dll's calls that calls lacks, or null; DnsServiceRegister first, the one people know.
const char* firstMissingCall(const DnsServiceCalls& calls) {
    if (!calls.registerService) return RegisterCall;
    if (!calls.constructInstance) return ConstructInstanceCall;
    if (!calls.deregisterService) return DeregisterCall;
    if (!calls.freeInstance) return FreeInstanceCall;
    return nullptr;
}

std::string statusText(DnsDword status) {
    std::string text = systemErrorText(status);
    std::string number = std::to_string(status);
    return text.find(number) == std::string::npos ? text + " (" + number + ")" : text;
}

std::string durationText(std::chrono::milliseconds limit) {
    if (limit.count() % 1000 == 0) return std::to_string(limit.count() / 1000) + " s";
    return std::to_string(limit.count()) + " ms";
}

// "<name>.<type>.local", the type without a closing dot.
std::string fullInstanceName(const std::string& name, const std::string& type) {
    std::string bareType = !type.empty() && type.back() == '.' ? type.substr(0, type.size() - 1) : type;
    return name + "." + bareType + "." + LocalDomain;
}

// The name the system registered, without the ".<type>.local" it answers with; the name asked for when the
// system answered with none.
std::string registeredName(const DnsServiceInstance* answered, const std::string& asked, const std::string& full) {
    if (!answered || !answered->instanceName) return asked;
    std::string name = utf8FromWide(answered->instanceName, std::wcslen(answered->instanceName));
    if (!name.empty() && name.back() == '.') name.pop_back();
    std::string suffix = full.substr(asked.size());
    size_t kept = name.size() - suffix.size();
    bool hasSuffix = name.size() > suffix.size() && name.compare(kept, suffix.size(), suffix) == 0;
    return hasSuffix ? name.substr(0, kept) : name;
}

// Where the system's answers to one instance's requests arrive (its registration, then its withdrawal), on a
// thread of the system's own. It holds the request they answer, so that the request lives as long as an
// answer may come. The registration holds one share, and a request sent holds one for its answer; whoever
// lets go of the last share deletes it. A registration that stops waiting (no answer in time, or a cancel)
// hands the instance over to the late answer, which frees it with its own; but a registration that succeeds
// after all is withdrawn first, so that nothing stays announced with nobody left to withdraw it, and the
// withdrawal's answer frees the instance.
class SystemAnswer {
public:
    enum class Request { Registration, Withdrawal };

    SystemAnswer(const DnsServiceCalls& calls, DnsServiceInstance* instance)
        : calls_(calls), request_{DNS_QUERY_REQUEST_VERSION1, 0, instance, onAnswer, this, nullptr, FALSE} {}

    // The completion callback of every request made with this answer as its context.
    static void onAnswer(DnsDword status, void* context, DnsServiceInstance* instance) {
        static_cast<SystemAnswer*>(context)->receive(status, instance);
    }

    // Sends the request of kind (with cancel, where it can be cancelled), the module pinned first so that no
    // answer can ever come into an unloaded module: true with what the system returned, an answer it promises
    // (DnsRequestPending) holding a share. False with the reason, nothing sent, when the module cannot be
    // pinned.
    bool send(Request kind, DnsServiceCancel* cancel, DnsDword* accepted, std::string* error) EXCLUDES(mutex_) {
        if (!pinThisModule(AnswerPin, error)) return false;
        expect(kind);
        SendFunction call = kind == Request::Registration ? calls_.registerService : calls_.deregisterService;
        *accepted = call(&request_, cancel);
        return true;
    }

    // The system turned the request down at once: no answer comes. True when none came before either, its
    // share let go here; false when one came already, and let go.
    bool forgo() EXCLUDES(mutex_) {
        bool awaited = false;
        {
            MutexLock lock(mutex_);
            awaited = expected_;
            expected_ = false;
        }
        if (awaited) letGo();
        return awaited;
    }

    // Waits up to limit, or until interrupted: true with the answer's status and instance (the caller's to
    // free). False when none came: the late answer then takes over the instance sent, and the caller lets go
    // of its share.
    bool await(std::chrono::milliseconds limit, DnsDword* status, DnsServiceInstance** instance) EXCLUDES(mutex_) {
        MutexLock lock(mutex_);
        arrived_.waitFor(mutex_, limit, [this]() REQUIRES(mutex_) { return hasAnswer_ || interrupted_; });
        if (hasAnswer_) {
            *status = status_;
            *instance = instance_;
            return true;
        }
        abandoned_ = true;
        return false;
    }

    // Any thread holding a share: the wait under way, or the next one, ends at once.
    void interrupt() EXCLUDES(mutex_) {
        {
            MutexLock lock(mutex_);
            interrupted_ = true;
        }
        arrived_.notifyAll();
    }

    void letGo() {
        if (shares_.fetch_sub(1) == 1) delete this;
    }

private:
    // A request is about to be sent: its answer holds a share.
    void expect(Request kind) EXCLUDES(mutex_) {
        MutexLock lock(mutex_);
        expected_ = true;
        hasAnswer_ = false;
        pending_ = kind;
        ++shares_;
    }

    void receive(DnsDword status, DnsServiceInstance* instance) EXCLUDES(mutex_) {
        bool late = false;
        bool registeredLate = false;
        {
            MutexLock lock(mutex_);
            if (!expected_) return;  // nothing asked: it holds no share, and its instance is not ours to free
            expected_ = false;
            late = abandoned_;
            registeredLate = late && status == Succeeded && pending_ == Request::Registration;
            if (!late) {
                hasAnswer_ = true;
                status_ = status;
                instance_ = instance;
                arrived_.notifyAll();
            }
        }
        if (late) takeLateAnswer(registeredLate, instance);
        letGo();
    }

    // An answer nobody waits for any more: its own instance is freed, and the one sent with it, unless that was
    // registered after all and its withdrawal's answer is to free it.
    void takeLateAnswer(bool registered, DnsServiceInstance* answered) {
        if (answered != sent()) freeInstance(answered);
        if (registered && withdrawLate()) return;
        freeInstance(sent());
    }

    // Withdraws what was registered after the registration stopped waiting: true when the withdrawal's answer
    // comes (or came) and frees the instance.
    bool withdrawLate() {
        DnsDword accepted = Succeeded;
        std::string unpinned;  // pinned already, before the registration was sent
        if (!send(Request::Withdrawal, nullptr, &accepted, &unpinned)) return false;
        return accepted == DnsRequestPending || !forgo();
    }

    DnsServiceInstance* sent() const { return request_.serviceInstance; }

    void freeInstance(DnsServiceInstance* instance) {
        if (instance) calls_.freeInstance(instance);
    }

    const DnsServiceCalls calls_;
    DnsServiceRegisterRequest request_;  // the system's to read while a request is under way; never changed
    std::atomic<int> shares_{1};
    Mutex mutex_;
    ConditionVariable arrived_;
    bool expected_ GUARDED_BY(mutex_) = false;
    Request pending_ GUARDED_BY(mutex_) = Request::Registration;  // what the request under way asks
    bool hasAnswer_ GUARDED_BY(mutex_) = false;
    bool abandoned_ GUARDED_BY(mutex_) = false;
    bool interrupted_ GUARDED_BY(mutex_) = false;
    DnsDword status_ GUARDED_BY(mutex_) = Succeeded;
    DnsServiceInstance* instance_ GUARDED_BY(mutex_) = nullptr;
};

// A registration through dnsapi.dll. publish and withdraw run on one thread at a time (the announcement's);
// cancel may come from any thread, and the answers come on the system's threads.
class DnsApiRegistration final : public NativeDnsSd {
public:
    DnsApiRegistration(const DnsServiceCalls& calls, std::chrono::milliseconds answerLimit,
                       std::unique_ptr<DynamicLibrary> library)
        : calls_(calls), answerLimit_(answerLimit), library_(std::move(library)) {}

    ~DnsApiRegistration() override { withdraw(); }

    bool publish(const std::string& name, const std::string& type, uint16_t port, const TxtEntries& txt,
                 std::string* nameUsed, std::string* error) override {
        withdraw();
        if (wasCancelled()) {
            *error = CancelledText;
            return false;
        }
        std::wstring computer = calls_.computerName();
        if (computer.empty()) {
            *error = "the computer has no DNS host name";
            return false;
        }
        std::string full = fullInstanceName(name, type);
        instance_ = construct(full, computer, port, txt);
        if (!instance_) {
            *error = std::string(ConstructInstanceCall) + " made no instance of " + full;
            return false;
        }
        DnsServiceInstance* answered = nullptr;
        if (!registerInstance(&answered, error)) return false;
        *nameUsed = registeredName(answered, name, full);
        freeAnswered(answered);
        return true;
    }

    // A withdrawal the system does not answer in time is left to its late answer. One that cannot be sent
    // (never so: the registration pinned the module) leaves nothing under way either.
    void withdraw() override {
        if (!instance_) return;
        DnsDword status = Succeeded;
        DnsServiceInstance* answered = nullptr;
        std::string unpinned;
        if (send(Request::Withdrawal, nullptr, &status, &answered, &unpinned) == Sent::Abandoned) return;
        freeAnswered(answered);
        release();
    }

    void cancel() override EXCLUDES(cancelMutex_) {
        MutexLock lock(cancelMutex_);
        cancelled_ = true;
        if (waiting_) waiting_->interrupt();
    }

private:
    // What became of a request: answered (a refusal made at once is an answer without an instance), abandoned
    // (no answer in time, or the wait was cancelled), or never sent (the module cannot be pinned).
    enum class Sent { Answered, Abandoned, Unsent };
    using Request = SystemAnswer::Request;

    DnsServiceInstance* construct(const std::string& full, const std::wstring& computer, uint16_t port,
                                  const TxtEntries& txt) const {
        std::wstring instanceName = wideFromUtf8(full);
        std::wstring hostName = computer + L"." + wideFromUtf8(LocalDomain);
        std::vector<std::wstring> keys, values;
        std::vector<const wchar_t*> keyTexts, valueTexts;
        for (const auto& [key, value] : txt) {
            keys.push_back(wideFromUtf8(key));
            values.push_back(wideFromUtf8(value));
        }
        for (size_t i = 0; i < keys.size(); ++i) {
            keyTexts.push_back(keys[i].c_str());
            valueTexts.push_back(values[i].c_str());
        }
        return calls_.constructInstance(instanceName.c_str(), hostName.c_str(), nullptr, nullptr, port, 0, 0,
                                        static_cast<DnsDword>(txt.size()), keyTexts.data(), valueTexts.data());
    }

    // Registers instance_; false with the reason, having freed everything, when the system refuses or cannot be
    // asked.
    bool registerInstance(DnsServiceInstance** answered, std::string* error) {
        answer_ = new SystemAnswer(calls_, instance_);
        cancel_ = DnsServiceCancel{};
        DnsDword status = Succeeded;
        std::string unpinned;
        Sent sent = send(Request::Registration, &cancel_, &status, answered, &unpinned);
        if (sent == Sent::Unsent) {
            *error = "the plug-in cannot stay in memory for the system's answers (" + unpinned + ")";
            release();
            return false;
        }
        if (sent == Sent::Abandoned) {
            *error = wasCancelled() ? CancelledText
                                    : "the system's DNS-SD did not answer within " + durationText(answerLimit_);
            return false;
        }
        if (status == Succeeded) return true;
        *error = "the system's DNS-SD refused the registration: " + statusText(status);
        freeAnswered(*answered);
        release();
        return false;
    }

    // Sends the request of kind for instance_ (with cancel, where it can be cancelled) and waits for the
    // answer's status and instance; error gets the reason when it is never sent. An abandoned request is
    // given up.
    Sent send(Request kind, DnsServiceCancel* cancel, DnsDword* status, DnsServiceInstance** answered,
              std::string* error) {
        DnsDword accepted = Succeeded;
        if (!answer_->send(kind, cancel, &accepted, error)) return Sent::Unsent;
        if (accepted != DnsRequestPending) {
            answer_->forgo();
            *status = accepted;
            *answered = nullptr;
            return Sent::Answered;
        }
        if (awaitAnswer(status, answered)) return Sent::Answered;
        abandon(cancel);
        return Sent::Abandoned;
    }

    // cancel interrupts the wait while waiting_ points to the answer: the registration's share keeps it
    // alive until waiting_ is cleared.
    bool awaitAnswer(DnsDword* status, DnsServiceInstance** answered) EXCLUDES(cancelMutex_) {
        {
            MutexLock lock(cancelMutex_);
            waiting_ = answer_;
            if (cancelled_) answer_->interrupt();
        }
        bool arrived = answer_->await(answerLimit_, status, answered);
        MutexLock lock(cancelMutex_);
        waiting_ = nullptr;
        return arrived;
    }

    // The answer may still come, into this module's code, which the pin taken before sending keeps mapped. The
    // request is cancelled where it can be, and what it points to is left to the late answer.
    void abandon(DnsServiceCancel* cancel) {
        if (cancel && calls_.cancelRegistration) calls_.cancelRegistration(cancel);
        answer_->letGo();
        answer_ = nullptr;
        instance_ = nullptr;
    }

    bool wasCancelled() EXCLUDES(cancelMutex_) {
        MutexLock lock(cancelMutex_);
        return cancelled_;
    }

    void freeAnswered(DnsServiceInstance* answered) {
        if (answered && answered != instance_) calls_.freeInstance(answered);
    }

    // Frees the instance and lets go of the answers: nothing is registered any more.
    void release() {
        calls_.freeInstance(instance_);
        instance_ = nullptr;
        answer_->letGo();
        answer_ = nullptr;
    }

    const DnsServiceCalls calls_;
    const std::chrono::milliseconds answerLimit_;
    std::unique_ptr<DynamicLibrary> library_;  // null for a test's calls
    DnsServiceInstance* instance_ = nullptr;   // what is registered (or being registered); null: nothing
    SystemAnswer* answer_ = nullptr;           // our share of the answers to instance_'s requests
    DnsServiceCancel cancel_{};  // filled by the system when it accepts a registration
    Mutex cancelMutex_;
    bool cancelled_ GUARDED_BY(cancelMutex_) = false;
    SystemAnswer* waiting_ GUARDED_BY(cancelMutex_) = nullptr;  // the answer being awaited
};

}  // namespace

bool systemMayHaveNativeDnsSd() { return true; }

// dnsapi.dll stays mapped: an answer the registration stopped waiting for may still come on its threads.
std::unique_ptr<NativeDnsSd> openNativeDnsSd(std::string* reason) {
    StandIn test = currentStandIn();
    DnsServiceCalls calls = test.calls;
    std::unique_ptr<DynamicLibrary> library;
    if (!test.active) {
        library = DynamicLibrary::open(SystemLibrary, reason, DynamicLibrary::Lifetime::StaysMapped);
        if (!library) {
            *reason = std::string(SystemLibrary) + " cannot be loaded: " + *reason;
            return nullptr;
        }
        calls = systemCalls(*library);
    }
    if (const char* missing = firstMissingCall(calls)) {
        *reason = std::string(SystemLibrary) + " has no " + missing + " (Windows 10 version 1903 or later has it)";
        return nullptr;
    }
    if (!calls.computerName) calls.computerName = systemComputerName;
    return std::make_unique<DnsApiRegistration>(calls, test.answerLimit, std::move(library));
}

void setDnsServiceCallsForTests(const DnsServiceCalls* calls, std::chrono::milliseconds answerLimit) {
    MutexLock lock(standInMutex);
    standIn = calls ? StandIn{true, *calls, answerLimit} : StandIn{};
}
