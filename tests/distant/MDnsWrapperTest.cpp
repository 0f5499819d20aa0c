#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "SocketTestSupport.h"
#include "base/AutoreleasePool.h"
#include "base/BaseDictionary.h"
#include "base/BaseString.h"
#include "distant/MDnsWrapper.h"
#include "platform/DnsSdLibrary.h"
#include "platform/DynamicLibrary.h"

namespace {

bool libraryInstalled() {
    std::string error;
    return DynamicLibrary::open(dnsSdLibraryName(), &error) != nullptr;
}

// Service info naming the bridge's service, as a listening socket is given it.
BaseDictionary* bridgeServiceInfo() {
    auto* info = createAutoreleased<BaseDictionary>();
    info->setStringForCStringKey("X-Plane", "MDNS_SERVICE_NAME");
    info->setStringForCStringKey("zephrane_gps", "MDNS_SERVICE_TYPE");
    info->setObjectForCStringKey(createAutoreleased<BaseDictionary>(), "SOCKET_TXT_RECORD_ENTRIES");
    return info;
}

}  // namespace

TEST(MDnsWrapper, WithoutTheLibraryEveryCallTriesAndListeningStillWorks) {
    setDnsSdLibraryName("libzephrane-no-such-dns-sd.so");
    EXPECT_EQ(sharedMDnsWrapper(), nullptr);
    EXPECT_EQ(sharedMDnsWrapper(), nullptr);
    {
        AutoreleasePool pool;
        auto* listener = new IOSocketTCP();
        listener->setAddress("127.0.0.1", 0);
        listener->setServiceInfo(bridgeServiceInfo(), 0);
        EXPECT_TRUE(listener->listen());
        EXPECT_FALSE(listener->registerService());
        IOSocketTCP* client = newConnectedClient(listener->boundPort());
        EXPECT_NE(client, nullptr);
        release(client);
        listener->close();  // its accept thread holds it while it listens
        release(listener);
    }
    setDnsSdLibraryName(nullptr);
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
