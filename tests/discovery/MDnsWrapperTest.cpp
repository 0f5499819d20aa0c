#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "Eventually.h"
#include "SocketTestSupport.h"
#include "base/AutoreleasePool.h"
#include "base/BaseDictionary.h"
#include "base/BaseString.h"
#include "discovery/MDnsWrapper.h"
#include "platform/DnsSdLibrary.h"
#include "platform/DynamicLibrary.h"

namespace {

bool libraryInstalled() {
    std::string error;
    return DynamicLibrary::open(dnsSdLibraryName(), &error) != nullptr;
}

// How long a test waits for the announcement's own thread to have an outcome.
constexpr std::chrono::seconds OutcomeLimit{10};

// Service info naming the bridge's service, as a listening socket is given it.
BaseDictionary* bridgeServiceInfo() {
    auto* info = createAutoreleased<BaseDictionary>();
    info->setStringForCStringKey("X-Plane", "MDNS_SERVICE_NAME");
    info->setStringForCStringKey("zephrane_gps", "MDNS_SERVICE_TYPE");
    auto* entries = createAutoreleased<BaseDictionary>();
    entries->setStringForCStringKey("1", "txtvers");
    info->setObjectForCStringKey(entries, "SOCKET_TXT_RECORD_ENTRIES");
    return info;
}

// A stand-in for the DNS-SD service that counts registrations and withdrawals (made on the announcement's
// own thread).
std::atomic<int> registrations{0};
std::atomic<int> withdrawals{0};
DnsSdServiceOpaque* const StandInRegistration = reinterpret_cast<DnsSdServiceOpaque*>(&registrations);

DNSServiceErrorType standInRegister(DNSServiceRef* service, DNSServiceFlags, uint32_t, const char*, const char*,
                                    const char*, const char*, uint16_t, uint16_t, const void*,
                                    DNSServiceRegisterReply, void*) {
    ++registrations;
    *service = StandInRegistration;
    return kDNSServiceErr_NoError;
}
DNSServiceErrorType standInProcessResult(DNSServiceRef) { return kDNSServiceErr_NoError; }
void standInDeallocate(DNSServiceRef service) { withdrawals += service == StandInRegistration ? 1 : 0; }
void standInTxtCreate(TXTRecordRef* record, uint16_t, void*) { std::memset(record, 0, sizeof(*record)); }
DNSServiceErrorType standInTxtSetValue(TXTRecordRef*, const char*, uint8_t, const void*) {
    return kDNSServiceErr_NoError;
}
uint16_t standInTxtLength(const TXTRecordRef*) { return 0; }
const void* standInTxtBytes(const TXTRecordRef*) { return ""; }
void standInTxtDeallocate(TXTRecordRef*) {}

template <class Function>
std::pair<const char*, void*> entry(const char* name, Function function) {
    return {name, reinterpret_cast<void*>(function)};
}

// Every entry a listening socket calls; DNSServiceRefSockFD is left out, so the reply is read at once.
const std::pair<const char*, void*> StandInEntries[] = {
    entry("DNSServiceRegister", standInRegister),     entry("DNSServiceProcessResult", standInProcessResult),
    entry("DNSServiceRefDeallocate", standInDeallocate), entry("TXTRecordCreate", standInTxtCreate),
    entry("TXTRecordSetValue", standInTxtSetValue),   entry("TXTRecordGetLength", standInTxtLength),
    entry("TXTRecordGetBytesPtr", standInTxtBytes),   entry("TXTRecordDeallocate", standInTxtDeallocate)};

// A wrapper whose table is the stand-in, without the entry named leftOut; owned by the caller.
MDnsWrapper* newStandInWrapper(const char* leftOut = nullptr) {
    auto* wrapper = new MDnsWrapper();
    for (const auto& [name, function] : StandInEntries) {
        if (!leftOut || std::strcmp(name, leftOut) != 0) wrapper->setFunction(name, function);
    }
    return wrapper;
}

// A listening socket on loopback with the bridge's service info; owned by the caller, close it first.
IOSocketTCP* newAdvertisedListener() {
    AutoreleasePool pool;
    auto* listener = new IOSocketTCP();
    listener->setAddress("127.0.0.1", 0);
    listener->setServiceInfo(bridgeServiceInfo(), 0);
    EXPECT_TRUE(listener->listen());
    return listener;
}

void closeAndRelease(IOSocketTCP* listener) {
    listener->close();  // its accept thread holds it while it listens
    release(listener);
}

// The shared wrapper lives for the process, so an earlier test may have loaded the library: each test
// here starts with none, and whatever was shared before is put back afterwards.
struct SharedWrapperSetAside : ::testing::Test {
    MDnsWrapper* saved = nullptr;

    // Only the DNS-SD client library is tried: Avahi's own library, which the machine may have, is hidden.
    void SetUp() override {
        saved = exchangeSharedMDnsWrapper(nullptr);
        registrations = 0;
        withdrawals = 0;
        setAvahiLibraryNames("libzephrane-no-such-avahi-client.so", "libzephrane-no-such-avahi-common.so");
    }
    void TearDown() override {
        release(exchangeSharedMDnsWrapper(saved));
        setDnsSdLibraryName(nullptr);
        setAvahiLibraryNames(nullptr, nullptr);
    }
    // Makes wrapper the shared one; the module takes over the caller's reference.
    void share(MDnsWrapper* wrapper) { release(exchangeSharedMDnsWrapper(wrapper)); }
};

}  // namespace

TEST_F(SharedWrapperSetAside, WithoutTheLibraryEveryCallTriesAndListeningStillWorks) {
    setDnsSdLibraryName("libzephrane-no-such-dns-sd.so");
    EXPECT_EQ(sharedMDnsWrapper(), nullptr);
    EXPECT_EQ(sharedMDnsWrapper(), nullptr);
    {
        AutoreleasePool pool;
        auto* listener = new IOSocketTCP();
        listener->setAddress("127.0.0.1", 0);
        listener->setServiceInfo(bridgeServiceInfo(), 0);
        EXPECT_TRUE(listener->listen());
        EXPECT_FALSE(listener->isServiceRegistered(OutcomeLimit));
        IOSocketTCP* client = newConnectedClient(listener->boundPort());
        EXPECT_NE(client, nullptr);
        release(client);
        listener->close();  // its accept thread holds it while it listens
        release(listener);
    }
}

TEST_F(SharedWrapperSetAside, TwoListeningSocketsHoldTheOneSharedWrapperUntilTheyGo) {
    MDnsWrapper* wrapper = newStandInWrapper();
    share(wrapper);
    const int32_t moduleCount = wrapper->retainCount();
    IOSocketTCP* first = newAdvertisedListener();
    IOSocketTCP* second = newAdvertisedListener();
    EXPECT_TRUE(first->isServiceRegistered(OutcomeLimit));
    EXPECT_TRUE(second->isServiceRegistered(OutcomeLimit));
    EXPECT_EQ(wrapper->retainCount(), moduleCount + 2);
    EXPECT_EQ(registrations, 2);

    first->close();  // closing alone keeps the service registered
    EXPECT_TRUE(first->isServiceRegistered());
    EXPECT_EQ(withdrawals, 0);
    release(first);  // withdrawn on the announcement's own thread
    EXPECT_TRUE(eventually([&] { return withdrawals == 1 && wrapper->retainCount() == moduleCount + 1; }));
    closeAndRelease(second);
    EXPECT_TRUE(eventually([&] { return withdrawals == 2 && wrapper->retainCount() == moduleCount; }));
}

// A library without one of the calls registration makes leaves the service unadvertised, as a missing
// library does, instead of calling an empty entry.
TEST_F(SharedWrapperSetAside, AnEntryMissingFromTheLibraryLeavesTheServiceUnadvertised) {
    for (const auto& [name, function] : StandInEntries) {
        share(newStandInWrapper(name));
        IOSocketTCP* listener = newAdvertisedListener();
        EXPECT_TRUE(listener->isListening()) << name;
        EXPECT_FALSE(listener->isServiceRegistered(OutcomeLimit)) << name;
        closeAndRelease(listener);
    }
    EXPECT_EQ(registrations, 0);
}

TEST(MDnsWrapper, OneSharedWrapperLoadsTheLibraryOnce) {
    if (!libraryInstalled()) GTEST_SKIP() << dnsSdLibraryName() << " is not installed: no DNS-SD library to load";
    MDnsWrapper* first = sharedMDnsWrapper();
    MDnsWrapper* second = sharedMDnsWrapper();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_TRUE(first->isLoaded());
    for (const char* name : {"DNSServiceRegister", "DNSServiceProcessResult", "DNSServiceRefDeallocate",
                             "TXTRecordCreate", "TXTRecordSetValue", "TXTRecordGetLength", "TXTRecordGetBytesPtr",
                             "TXTRecordDeallocate"}) {
        EXPECT_NE(first->function(name), nullptr) << name;
    }
    EXPECT_EQ(first->function("NotADnsSdFunction"), nullptr);
    release(second);
    release(first);
    MDnsWrapper* later = sharedMDnsWrapper();  // the shared wrapper outlives its users
    EXPECT_EQ(later, first);
    release(later);
}

TEST(MDnsWrapper, UnloadEmptiesTheTable) {
    if (!libraryInstalled()) GTEST_SKIP() << dnsSdLibraryName() << " is not installed: no DNS-SD library to load";
    auto* wrapper = new MDnsWrapper();
    ASSERT_TRUE(wrapper->load());
    EXPECT_TRUE(wrapper->load());  // already loaded
    EXPECT_TRUE(wrapper->unload());
    EXPECT_FALSE(wrapper->isLoaded());
    for (const char* name : MDnsWrapper::FunctionNames) EXPECT_EQ(wrapper->function(name), nullptr) << name;
    release(wrapper);
}
