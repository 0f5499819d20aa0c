#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/NativeDnsSd.h"

#ifndef _WIN32

TEST(NativeDnsSd, ElsewhereThereIsNoneAndTheReasonSaysSo) {
    std::string reason;
    EXPECT_FALSE(systemMayHaveNativeDnsSd());
    EXPECT_EQ(openNativeDnsSd(&reason), nullptr);
    EXPECT_FALSE(reason.empty());
}

#else

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "platform/DnsServiceCalls.h"
#include "platform/ModulePin.h"

namespace {

const NativeDnsSd::TxtEntries BridgeTxt = {{"txtvers", "1"}, {"qtotal", "1"}, {"priority", "30"}};
constexpr uint16_t BridgePort = 21777;
constexpr DnsDword Succeeded = 0;
constexpr DnsDword NameError = 9003;  // DNS_ERROR_RCODE_NAME_ERROR
constexpr DnsDword Cancelled = 1223;  // ERROR_CANCELLED

// A stand-in for dnsapi.dll: it records what it is given, and answers as the test sets it, on a thread of its
// own as the system does. Its instances live until the test ends, so that freeing one twice shows.
struct StandInSystem {
    DnsDword accepted = DnsRequestPending;  // what registering and deregistering return
    bool answers = true;
    DnsDword answerStatus = Succeeded;
    std::wstring answeredName = L"X-Plane (2)._zephrane_gps._tcp.local";

    std::wstring instanceName;
    std::wstring hostName;
    DnsWord port = 0;
    std::vector<std::pair<std::wstring, std::wstring>> txt;
    int registrations = 0;
    int deregistrations = 0;
    DnsServiceRegisterRequest registered{};
    DnsServiceRegisterRequest deregistered{};
    std::vector<std::unique_ptr<DnsServiceInstance>> made;
    std::vector<std::unique_ptr<std::wstring>> names;
    std::vector<DnsServiceInstance*> freed;  // the answers' threads free nothing while the test looks
    std::vector<std::thread> answering;
    std::atomic<bool> registering{false};  // set once a registration waits for its answer
    std::atomic<bool> askedUnpinned{false};  // a request came while the module could still be unloaded
    DnsServiceCancel* cancelGiven = nullptr;
    void* cancelledWith = nullptr;  // what DnsServiceRegisterCancel found in the structure it was given

    DnsServiceInstance* newInstance(const std::wstring& name) {
        names.push_back(std::make_unique<std::wstring>(name));
        made.push_back(std::make_unique<DnsServiceInstance>());
        made.back()->instanceName = names.back()->data();
        return made.back().get();
    }
    void joinAnswers() {
        for (auto& thread : answering) thread.join();
        answering.clear();
    }
    // Whether every instance made was freed, and none twice.
    bool everyInstanceFreedOnce() const {
        std::vector<DnsServiceInstance*> all;
        for (const auto& instance : made) all.push_back(instance.get());
        std::vector<DnsServiceInstance*> sorted = freed;
        std::sort(all.begin(), all.end());
        std::sort(sorted.begin(), sorted.end());
        return all == sorted;
    }
};
StandInSystem* current = nullptr;  // the test's, while it runs

DnsServiceInstance* standInConstruct(const wchar_t* instanceName, const wchar_t* hostName, DnsDword*, void*,
                                     DnsWord port, DnsWord, DnsWord, DnsDword count, const wchar_t** keys,
                                     const wchar_t** values) {
    current->instanceName = instanceName;
    current->hostName = hostName;
    current->port = port;
    for (DnsDword i = 0; i < count; ++i) current->txt.emplace_back(keys[i], values[i]);
    return current->newInstance(instanceName);
}

// Also notes a request that came before the module was pinned; only the first one in the process can.
DnsDword answerLater(const DnsServiceRegisterRequest& request) {
    if (!whyThisModuleIsPinned()) current->askedUnpinned = true;
    if (current->accepted != DnsRequestPending || !current->answers) return current->accepted;
    DnsServiceInstance* answer = current->newInstance(current->answeredName);
    DnsDword status = current->answerStatus;
    current->answering.emplace_back([request, status, answer] { request.completion(status, request.context, answer); });
    return DnsRequestPending;
}

// The system fills the caller's DNS_SERVICE_CANCEL with a handle of its own.
DnsDword standInRegister(DnsServiceRegisterRequest* request, DnsServiceCancel* cancel) {
    ++current->registrations;
    current->registered = *request;
    current->cancelGiven = cancel;
    if (cancel) cancel->reserved = &current->registered;
    DnsDword accepted = answerLater(*request);
    current->registering = true;
    return accepted;
}

DnsDword standInCancel(DnsServiceCancel* cancel) {
    current->cancelledWith = cancel->reserved;
    return Succeeded;
}

DnsDword standInDeregister(DnsServiceRegisterRequest* request, DnsServiceCancel*) {
    ++current->deregistrations;
    current->deregistered = *request;
    return answerLater(*request);
}

void standInFree(DnsServiceInstance* instance) { current->freed.push_back(instance); }

std::wstring standInComputerName() { return L"flightdeck"; }

const DnsServiceCalls StandInCalls = {standInConstruct, standInRegister, standInDeregister, standInFree,
                                      standInComputerName, standInCancel};

struct DnsApiStandIn : ::testing::Test {
    StandInSystem standIn;

    void SetUp() override {
        current = &standIn;
        setDnsServiceCallsForTests(&StandInCalls, std::chrono::seconds(10));
    }
    void TearDown() override {
        standIn.joinAnswers();
        EXPECT_FALSE(standIn.askedUnpinned) << "the system was asked before the module was pinned";
        setDnsServiceCallsForTests(nullptr, {});
        current = nullptr;
    }
    std::unique_ptr<NativeDnsSd> open() {
        std::string reason;
        auto registration = openNativeDnsSd(&reason);
        EXPECT_NE(registration, nullptr) << reason;
        return registration;
    }
    bool publish(NativeDnsSd& registration, std::string* nameUsed, std::string* error) {
        return registration.publish("X-Plane", "_zephrane_gps._tcp", BridgePort, BridgeTxt, nameUsed, error);
    }
};

}  // namespace

TEST_F(DnsApiStandIn, PublishPassesTheInstanceAndReportsTheNameTheSystemChose) {
    auto registration = open();
    std::string nameUsed, error;
    ASSERT_TRUE(publish(*registration, &nameUsed, &error)) << error;
    EXPECT_EQ(nameUsed, "X-Plane (2)");
    EXPECT_EQ(standIn.instanceName, L"X-Plane._zephrane_gps._tcp.local");
    EXPECT_EQ(standIn.hostName, L"flightdeck.local");
    EXPECT_EQ(standIn.port, BridgePort);
    using Entries = std::vector<std::pair<std::wstring, std::wstring>>;
    EXPECT_EQ(standIn.txt, (Entries{{L"txtvers", L"1"}, {L"qtotal", L"1"}, {L"priority", L"30"}}));
    EXPECT_EQ(standIn.registered.version, 1u);
    EXPECT_EQ(standIn.registered.serviceInstance, standIn.made.front().get());
    EXPECT_EQ(standIn.freed, std::vector<DnsServiceInstance*>{standIn.made.back().get()});  // the answer's
}

TEST_F(DnsApiStandIn, WithdrawDeregistersTheRegisteredInstanceAndFreesEverything) {
    auto registration = open();
    std::string nameUsed, error;
    ASSERT_TRUE(publish(*registration, &nameUsed, &error)) << error;
    registration->withdraw();
    registration->withdraw();  // nothing left to withdraw
    EXPECT_EQ(standIn.deregistrations, 1);
    EXPECT_EQ(standIn.deregistered.serviceInstance, standIn.made.front().get());
    EXPECT_TRUE(standIn.everyInstanceFreedOnce());
}

// Turned down when asked, or in the answer: either is an error with the system's status, and nothing stays
// registered.
TEST_F(DnsApiStandIn, ARefusalIsAnErrorWithTheSystemsStatus) {
    for (bool atOnce : {true, false}) {
        (atOnce ? standIn.accepted : standIn.answerStatus) = NameError;
        auto registration = open();
        std::string nameUsed, error;
        EXPECT_FALSE(publish(*registration, &nameUsed, &error)) << atOnce;
        EXPECT_NE(error.find(std::to_string(NameError)), std::string::npos) << error;
        EXPECT_TRUE(nameUsed.empty());
        registration->withdraw();
        EXPECT_EQ(standIn.deregistrations, 0);
        standIn.accepted = DnsRequestPending;
    }
    EXPECT_TRUE(standIn.everyInstanceFreedOnce());
}

// The answer that comes after publish gave up finds its context still there. A success withdraws the
// instance registered, once, whether the system answers the withdrawal later or refuses it at once; every
// instance is freed once either way.
TEST_F(DnsApiStandIn, NoAnswerWithinTheBoundFailsAndALateSuccessIsWithdrawn) {
    setDnsServiceCallsForTests(&StandInCalls, std::chrono::milliseconds(1));
    for (DnsDword withdrawalAccepted : {DnsRequestPending, NameError}) {
        standIn.answers = false;
        standIn.accepted = DnsRequestPending;
        int deregistrations = standIn.deregistrations;
        auto registration = open();
        std::string nameUsed, error;
        EXPECT_FALSE(publish(*registration, &nameUsed, &error));
        EXPECT_NE(error.find("did not answer"), std::string::npos) << error;
        registration->withdraw();
        EXPECT_EQ(standIn.deregistrations, deregistrations);
        registration.reset();
        EXPECT_NE(whyThisModuleIsPinned(), nullptr);

        standIn.answers = true;
        standIn.accepted = withdrawalAccepted;
        DnsServiceRegisterRequest request = standIn.registered;
        request.completion(Succeeded, request.context, standIn.newInstance(standIn.answeredName));
        standIn.joinAnswers();
        EXPECT_EQ(standIn.deregistrations, deregistrations + 1) << withdrawalAccepted;
        EXPECT_EQ(standIn.deregistered.serviceInstance, request.serviceInstance);
        EXPECT_TRUE(standIn.everyInstanceFreedOnce()) << withdrawalAccepted;
    }
}

// A stop while the system has not answered: the wait ends at once, the registration is cancelled through the
// structure the system filled, and the answer that still comes, a failure, frees what it carries.
TEST_F(DnsApiStandIn, ACancelEndsTheWaitAndCancelsTheRegistration) {
    standIn.answers = false;
    auto registration = open();
    std::string nameUsed, error;
    bool published = true;
    std::thread publishing([&] { published = publish(*registration, &nameUsed, &error); });
    while (!standIn.registering) std::this_thread::yield();
    registration->cancel();
    publishing.join();
    EXPECT_FALSE(published);
    EXPECT_NE(error.find("cancelled"), std::string::npos) << error;
    EXPECT_EQ(standIn.cancelledWith, &standIn.registered);
    EXPECT_NE(whyThisModuleIsPinned(), nullptr);
    registration->withdraw();
    EXPECT_EQ(standIn.deregistrations, 0);
    EXPECT_FALSE(publish(*registration, &nameUsed, &error)) << "a cancelled registration registers no more";
    EXPECT_EQ(standIn.registrations, 1);
    registration.reset();

    const DnsServiceRegisterRequest& request = standIn.registered;
    request.completion(Cancelled, request.context, standIn.newInstance(standIn.answeredName));
    EXPECT_EQ(standIn.deregistrations, 0);
    EXPECT_TRUE(standIn.everyInstanceFreedOnce());
}

TEST_F(DnsApiStandIn, AMissingCallGivesTheReasonNamingIt) {
    const std::pair<const char*, DnsServiceCalls> withOneMissing[] = {
        {"DnsServiceConstructInstance", {nullptr, standInRegister, standInDeregister, standInFree, nullptr, nullptr}},
        {"DnsServiceRegister", {standInConstruct, nullptr, standInDeregister, standInFree, nullptr, nullptr}},
        {"DnsServiceDeRegister", {standInConstruct, standInRegister, nullptr, standInFree, nullptr, nullptr}},
        {"DnsServiceFreeInstance", {standInConstruct, standInRegister, standInDeregister, nullptr, nullptr, nullptr}}};
    for (const auto& [missing, calls] : withOneMissing) {
        setDnsServiceCallsForTests(&calls, std::chrono::seconds(10));
        std::string reason;
        EXPECT_EQ(openNativeDnsSd(&reason), nullptr) << missing;
        EXPECT_NE(reason.find(std::string("has no ") + missing + " "), std::string::npos) << reason;
        EXPECT_NE(reason.find("1903"), std::string::npos) << reason;
    }
}

#endif
