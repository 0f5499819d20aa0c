// The bridge as a service: real clients over loopback against a GPSBridge on an ephemeral port, with the
// test's thread as the simulator's main thread.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "Eventually.h"
#include "ProtocolClient.h"
#include "SimulatorFixture.h"
#include "SocketTestSupport.h"
#include "base/AutoreleasePool.h"
#include "base/BaseArray.h"
#include "base/BaseDictionary.h"
#include "base/BaseNumber.h"
#include "base/BaseString.h"
#include "base/BitCast.h"
#include "base/PilotLog.h"
#include "distant/DistantObjectsCenter.h"
#include "io/BaseBuffer.h"
#include "plugin/GPSBridge.h"
#include "plugin/PositionFields.h"
#include "serialization/BaseSerializer.h"
#include "thread/BaseThread.h"

namespace {

// Counts the closes the bridge hears about.
class CountingBridge : public GPSBridge {
public:
    CountingBridge() : GPSBridge(0) {}
    void connectionDidClose(DistantObjectsCenter* connection) override {
        ++closes;
        GPSBridge::connectionDidClose(connection);
    }
    std::atomic<int> closes{0};
};

class BridgeService : public SimulatorFixture {
protected:
    void SetUp() override {
        SimulatorFixture::SetUp();
        startCountingBridge();
    }
    void startCountingBridge() {
        counting = new CountingBridge();
        ASSERT_TRUE(adoptBridge(counting));
    }
    std::unique_ptr<ProtocolClient> loggedInClient() {
        auto client = std::make_unique<ProtocolClient>(port);
        EXPECT_EQ(client->loginAsApp(), LoginOkCode);
        return client;
    }

    static constexpr int32_t LoginOkCode = 0;
    AutoreleasePool pool;
    // The fixture's bridge, while it runs.
    CountingBridge* counting = nullptr;
};

double value(BaseDictionary* report, const char* key) {
    BaseObject* number = BaseDictionary::objectForCStringKey(report, key);
    return hasClassName(number, "BaseNumber") ? static_cast<BaseNumber*>(number)->doubleValue() : -1e300;
}

}  // namespace

TEST_F(BridgeService, SuccessfulLoginReplyCarriesAnIntegerResultAndTheDeviceName) {
    ProtocolClient client(port);
    ASSERT_EQ(client.loginAsApp(), 0);
    BaseDictionary* reply = client.lastLoginReply();
    auto* result = static_cast<BaseNumber*>(BaseDictionary::objectForCStringKey(reply, "Result"));
    EXPECT_EQ(result->kind(), NumberInteger);
    auto* name = BaseDictionary::objectForCStringKey(reply, "Connected device_name");
    ASSERT_TRUE(hasClassName(name, "BaseString"));
    EXPECT_STREQ(static_cast<BaseString*>(name)->chars(), "X-Plane");
    EXPECT_EQ(reply->count(), 2u);
}

// The pilot's own name for the bridge is what an app is told at login.
TEST_F(BridgeService, TheNameThePilotChoseIsTheDeviceNameAtLogin) {
    ASSERT_TRUE(adoptBridge(new GPSBridge(0, BridgeSettings{false, "Seat 3"})));
    ProtocolClient client(port);
    ASSERT_EQ(client.loginAsApp(), LoginOkCode);
    BaseObject* name = BaseDictionary::objectForCStringKey(client.lastLoginReply(), "Connected device_name");
    ASSERT_TRUE(hasClassName(name, "BaseString"));
    EXPECT_STREQ(static_cast<BaseString*>(name)->chars(), "Seat 3");
}

TEST_F(BridgeService, IPv6AndIPv4LoopbackClientsBothLogInAndReadReports) {
    std::string missing = ipv6LoopbackMissing();
    if (!missing.empty()) GTEST_SKIP() << missing;
    ProtocolClient ipv6(port, "::1");
    ProtocolClient ipv4(port, "127.0.0.1");
    ASSERT_EQ(ipv6.loginAsApp(), LoginOkCode);
    ASSERT_EQ(ipv4.loginAsApp(), LoginOkCode);
    EXPECT_NE(ipv6.request(), nullptr);
    EXPECT_NE(ipv4.request(), nullptr);
}

TEST_F(BridgeService, EachLoginResultCode) {
    struct Case {
        const char* userAgent;
        const char* password;  // null: the right credential; "": none
        const char* username;
        const char* version;
        int32_t expected;
    } cases[] = {
        {AppUserAgent, nullptr, "anybody", nullptr, 0},  // the user name is not looked at
        {AppUserAgent, nullptr, nullptr, "0", 0},
        {AppUserAgent, nullptr, nullptr, "1", 5},
        {"Other App", "wrong", nullptr, nullptr, 3},
        {nullptr, nullptr, nullptr, nullptr, 3},
        {AppUserAgent, "wrong", nullptr, nullptr, 2},
        {AppUserAgent, "", nullptr, nullptr, 2},
        {"quillory zephrane app", nullptr, nullptr, nullptr, 3},  // byte for byte
    };
    for (const Case& c : cases) {
        ProtocolClient client(port);
        EXPECT_EQ(client.login(c.userAgent, c.password, c.username, c.version), c.expected)
            << (c.userAgent ? c.userAgent : "(none)") << " / " << (c.password ? c.password : "(right)");
        if (c.expected != 0) {
            EXPECT_EQ(client.lastLoginReply()->count(), 1u);  // only "Result"
            EXPECT_TRUE(client.closedByPeer());
        }
    }
}

TEST_F(BridgeService, RequestsAreAnsweredWithTheSimulatorsValuesInOrder) {
    simulator().datarefs.set("sim/flightmodel/position/latitude", 46.5);
    simulator().datarefs.set("sim/flightmodel/position/groundspeed", 51.2);
    runFrame();
    auto client = loggedInClient();
    BaseDictionary* report = client->request();
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->count(), PositionFieldCount);
    EXPECT_EQ(value(report, "latitude"), 46.5);
    EXPECT_EQ(value(report, "speed"), static_cast<double>(51.2f));

    // A hundred requests back to back: a hundred reports, one per request, on the same connection.
    for (int i = 0; i < 100; ++i) {
        auto* request = createAutoreleased<BaseDictionary>();
        request->setStringForCStringKey("1", "cmd_id");
        ASSERT_TRUE(client->send(request));
    }
    for (int i = 0; i < 100; ++i) {
        AutoreleasePool each;
        auto* next = static_cast<BaseDictionary*>(client->receive());
        ASSERT_NE(next, nullptr) << "report " << i;
        EXPECT_EQ(value(next, "latitude"), 46.5);
    }
    EXPECT_TRUE(client->nothingArrivesWithin(std::chrono::milliseconds(100)));
}

// Reports are shared between connections per frame: each frame's new values reach every connection, and a
// frame whose values the record form cannot carry gets no report, on any connection, until the next frame.
TEST_F(BridgeService, EveryConnectionGetsEachFramesValuesAndNoReportForValuesThatCannotTravel) {
    auto first = loggedInClient();
    auto second = loggedInClient();
    for (double latitude : {10.0, 20.0}) {
        simulator().datarefs.set("sim/flightmodel/position/latitude", latitude);
        runFrame();
        for (ProtocolClient* client : {first.get(), second.get()}) {
            BaseDictionary* report = client->request();
            ASSERT_NE(report, nullptr);
            EXPECT_EQ(value(report, "latitude"), latitude);
        }
    }
    simulator().datarefs.set("sim/flightmodel/position/latitude", bitCast<double>(uint64_t{0x80}));
    runFrame();
    auto* request = createAutoreleased<BaseDictionary>();
    request->setStringForCStringKey("1", "cmd_id");
    for (ProtocolClient* client : {first.get(), second.get()}) ASSERT_TRUE(client->send(request));
    for (ProtocolClient* client : {first.get(), second.get()}) {
        EXPECT_TRUE(client->nothingArrivesWithin(std::chrono::milliseconds(200)));
    }
    simulator().datarefs.set("sim/flightmodel/position/latitude", 30.0);
    runFrame();
    for (ProtocolClient* client : {first.get(), second.get()}) {
        BaseDictionary* report = client->request();
        ASSERT_NE(report, nullptr);
        EXPECT_EQ(value(report, "latitude"), 30.0);
    }
}

TEST_F(BridgeService, OtherCommandsGetNoReplyAndTheConnectionStaysUsable) {
    auto client = loggedInClient();
    auto* message = createAutoreleased<BaseDictionary>();
    message->setStringForCStringKey("2", "cmd_id");
    ASSERT_TRUE(client->send(message));
    ASSERT_TRUE(client->send(createAutoreleased<BaseString>("not a request")));
    EXPECT_TRUE(client->nothingArrivesWithin(std::chrono::milliseconds(300)));
    EXPECT_NE(client->request("1"), nullptr);
}

TEST_F(BridgeService, BadFirstObjectsAndBadBytesCloseOnlyTheirConnection) {
    auto served = loggedInClient();
    ProtocolClient notADictionary(port);
    notADictionary.send(createAutoreleased<BaseString>("hello"));
    EXPECT_TRUE(notADictionary.closedByPeer());
    ProtocolClient garbage(port);
    garbage.sendBytes(std::string("\x03\x00\xFF\xFF", 4));
    EXPECT_TRUE(garbage.closedByPeer());
    auto badLater = loggedInClient();
    badLater->sendBytes(std::string("\x15\x01", 2));  // a dictionary record of version 1
    EXPECT_TRUE(badLater->closedByPeer());
    EXPECT_NE(served->request(), nullptr);
    EXPECT_TRUE(eventually([&] { return bridge->clientCount() == 1; }));
}

// Connections read ahead: bytes that arrive together with the login, or several requests in one segment,
// must all reach the receive loop, and a request arriving in pieces is answered once it is whole. The usual
// request, recognised by its bytes, and others that go through the decoder take turns in one segment.
TEST_F(BridgeService, ALoginAndRequestsInOneBurstOrInPiecesAreAllAnswered) {
    AutoreleasePool local;
    auto* buffer = createAutoreleased<BaseBuffer>();
    auto* encoder = createAutoreleased<BaseSerializer>(buffer);
    auto* login = createAutoreleased<BaseDictionary>();
    login->setStringForCStringKey(AppUserAgent, "User-Agent");
    login->setObjectForCStringKey(bridgeCredential(), "Password");
    auto* request = createAutoreleased<BaseDictionary>();
    request->setStringForCStringKey("1", "cmd_id");
    auto* spelledOtherwise = createAutoreleased<BaseDictionary>();
    spelledOtherwise->setStringForCStringKey("01", "cmd_id");
    auto* otherCommand = createAutoreleased<BaseDictionary>();
    otherCommand->setStringForCStringKey("2", "cmd_id");
    encoder->writeObject(login);
    for (BaseObject* message : {request, request, otherCommand, spelledOtherwise, request}) {
        encoder->writeObject(message);
    }
    ProtocolClient client(port);
    ASSERT_TRUE(client.sendBytes(std::string(buffer->bytes(), buffer->length())));
    EXPECT_TRUE(hasClassName(client.receive(), "BaseDictionary"));  // the login reply
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(hasClassName(client.receive(), "BaseDictionary")) << "report " << i;
    EXPECT_TRUE(client.nothingArrivesWithin(std::chrono::milliseconds(50)));

    buffer->setLength(0);
    encoder->writeObject(request);
    std::string bytes(buffer->bytes(), buffer->length());
    ASSERT_TRUE(client.sendBytes(bytes.substr(0, 5)));
    EXPECT_TRUE(client.nothingArrivesWithin(std::chrono::milliseconds(50)));
    ASSERT_TRUE(client.sendBytes(bytes.substr(5)));
    EXPECT_TRUE(hasClassName(client.receive(), "BaseDictionary"));
}

// Logins are read side by side: a client arriving after a silent one is admitted while the silent one still
// waits for its deadline, which then closes it.
// The pilot's log as it stands, one line after another.
std::string pilotLogText() {
    std::string text;
    for (const std::string& line : PilotLog::take()) text += line + "\n";
    return text;
}

TEST_F(BridgeService, ASilentClientDelaysNobodyAndIsClosedAtItsLoginDeadline) {
    pilotLogText();
    auto served = loggedInClient();
    ProtocolClient silent(port);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // its login is now waiting
    EXPECT_NE(served->request(), nullptr);                          // logged-in clients go on being served
    ProtocolClient next(port);
    EXPECT_EQ(next.loginAsApp(), 0);
    EXPECT_FALSE(silent.closedByPeer(std::chrono::milliseconds(0)));  // admitted before the silent one's 5 s
    EXPECT_TRUE(silent.closedByPeer(std::chrono::seconds(10)));
    std::string log;
    EXPECT_TRUE(eventually([&] {
        log += pilotLogText();
        return log.find("app 127.0.0.1 did not finish logging in within 5 s") != std::string::npos;
    })) << log;
}

// An app that asks and never reads: the bridge's sends find no room, and once the peer has acknowledged
// nothing for the keep-alive's limit (shortened here to 3 s), the app is dropped and the log says why.
TEST_F(BridgeService, AnAppThatStopsReadingIsDroppedAndTheLogSaysWhy) {
    DistantObjectsCenter::setKeepAliveTiming({1, 1, 2});
    pilotLogText();
    auto flooder = loggedInClient();
    DistantObjectsCenter::setKeepAliveTiming(DistantObjectsCenter::ConnectionKeepAlive);
    std::string request(GPSBridge::usualPositionRequest());
    std::thread flooding([&] {
        std::string many;
        for (int i = 0; i < 100000; ++i) many += request;
        flooder->sendBytes(many);
    });
    std::string log;
    EXPECT_TRUE(eventually([&] {
        log += pilotLogText();  // written just after the app left the list
        return log.find("app 127.0.0.1 stopped reading its reports for 3 s, dropped") != std::string::npos;
    }, std::chrono::seconds(30))) << log;
    EXPECT_EQ(bridge->clientCount(), 0u);
    flooding.join();
}

TEST_F(BridgeService, SeventeenClientsAtOnceTheEighteenthIsRefused) {
    std::vector<std::unique_ptr<ProtocolClient>> clients;
    for (int i = 0; i < 17; ++i) clients.push_back(loggedInClient());
    // the reply to a login leaves before the bridge adopts the connection, so the count follows shortly
    EXPECT_TRUE(eventually([&] { return bridge->clientCount() == 17; }));
    ProtocolClient extra(port);
    EXPECT_EQ(extra.loginAsApp(), 4);  // perfect credentials, still refused
    EXPECT_TRUE(extra.closedByPeer());
    ProtocolClient wrong(port);
    EXPECT_EQ(wrong.login("Other App", "wrong"), 4);

    clients.front()->close();
    clients.erase(clients.begin());
    EXPECT_TRUE(eventually([&] { return bridge->clientCount() == 16; }));
    EXPECT_EQ(counting->closes.load(), 1);
    auto admitted = loggedInClient();
    EXPECT_NE(admitted->request(), nullptr);
    for (auto& client : clients) EXPECT_NE(client->request(), nullptr);
}

// Adoption asks again through the overridable decision: a connection that became unwelcome during its
// login is closed instead of kept.
TEST_F(BridgeService, AdoptionAsksAgainWhetherTheConnectionMayStay) {
    class AdmitsOnlyTheFirstAsk : public GPSBridge {
    public:
        AdmitsOnlyTheFirstAsk() : GPSBridge(0) {}
        bool shouldAcceptConnection(DistantObjectsCenter* connection) override {
            return ++asked == 1 && GPSBridge::shouldAcceptConnection(connection);
        }
        std::atomic<int> asked{0};
    };
    auto* admitting = new AdmitsOnlyTheFirstAsk();
    ASSERT_TRUE(adoptBridge(admitting));
    ProtocolClient client(port);
    EXPECT_EQ(client.loginAsApp(), LoginOkCode);
    EXPECT_TRUE(client.closedByPeer());
    EXPECT_EQ(admitting->asked, 2);
    EXPECT_EQ(admitting->clientCount(), 0u);
}

// Keeps every connection it adopts, to look at their threads after the teardown. (The announcement's own
// thread may end a moment after the teardown: a stop never waits for the DNS-SD daemon.)
class KeepingBridge : public GPSBridge {
public:
    KeepingBridge() : GPSBridge(0) {}
    ~KeepingBridge() override {
        for (DistantObjectsCenter* connection : kept) release(connection);
    }
    void didAcceptConnection(DistantObjectsCenter* connection) override {
        {
            std::lock_guard<std::mutex> guard(mutex);
            kept.push_back(retain(connection));
        }
        GPSBridge::didAcceptConnection(connection);
    }
    std::mutex mutex;
    std::vector<DistantObjectsCenter*> kept;
};

TEST_F(BridgeService, TeardownReturnsOnlyAfterEveryReceiveThreadHasEnded) {
    auto* keeping = new KeepingBridge();
    ASSERT_TRUE(adoptBridge(keeping));
    std::vector<std::unique_ptr<ProtocolClient>> clients;
    for (int i = 0; i < 4; ++i) clients.push_back(loggedInClient());
    clients[0]->close();  // these two end their receive threads by themselves
    clients[1]->close();
    EXPECT_TRUE(eventually([&] { return bridge->clientCount() == 2; }));
    retain(keeping);
    stopBridge();
    ASSERT_EQ(keeping->kept.size(), 4u);
    for (DistantObjectsCenter* connection : keeping->kept) EXPECT_FALSE(connection->hasThread());
    release(keeping);
}

TEST_F(BridgeService, StoppingWithClientsClosesThemAllWithoutCloseCallbacks) {
    std::vector<std::unique_ptr<ProtocolClient>> clients;
    for (int i = 0; i < 5; ++i) clients.push_back(loggedInClient());
    bridge->teardown();
    EXPECT_EQ(counting->closes.load(), 0);
    EXPECT_EQ(bridge->clientCount(), 0u);
    EXPECT_EQ(bridge->listeningPort(), 0);
    for (auto& client : clients) EXPECT_TRUE(client->closedByPeer());
    ProtocolClient late(port);
    EXPECT_FALSE(late.connected());
}

// Clients that connect and never log in hold their pending logins for up to the login deadline; stopping
// the bridge must close them at once instead of waiting that long.
TEST_F(BridgeService, StoppingWhileClientsWaitToLogInClosesThemWithoutWaiting) {
    std::vector<std::unique_ptr<ProtocolClient>> clients;
    for (int i = 0; i < 2; ++i) clients.push_back(loggedInClient());
    std::vector<std::unique_ptr<ProtocolClient>> silent;
    for (int i = 0; i < 3; ++i) silent.push_back(std::make_unique<ProtocolClient>(port));
    for (auto& peer : silent) ASSERT_TRUE(peer->connected());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // their logins are now waiting
    auto started = std::chrono::steady_clock::now();
    stopBridge();
    // Far below the 5 s login deadline, and loose enough never to fail on a loaded machine.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
    for (auto& peer : silent) EXPECT_TRUE(peer->closedByPeer(std::chrono::seconds(1)));
    for (auto& client : clients) EXPECT_TRUE(client->closedByPeer(std::chrono::seconds(1)));
}

TEST_F(BridgeService, StartStopCyclesWithClientsComingAndGoing) {
    stopBridge();
    for (int cycle = 0; cycle < 10; ++cycle) {
        AutoreleasePool each;
        startCountingBridge();
        std::vector<std::unique_ptr<ProtocolClient>> clients;
        for (int i = 0; i < 3; ++i) clients.push_back(loggedInClient());
        clients[0]->request();
        clients[1]->close();
        ProtocolClient leaving(port);  // connects and is dropped without a login
        stopBridge();
    }
}

TEST_F(BridgeService, ALoginCarryingAFileIsRefusedAndWritesNothing) {
    std::string name = "zephrane-login-file-" + std::to_string(::getpid());
    std::string path = std::string(BaseSerializer::temporaryDirectoryPath()->chars()) + name;
    // {"User-Agent": agent, "Password": credential, "x": <file "name", 3 bytes "abc">}
    auto record = [](const std::string& text) {
        return std::string("\x0A\x00", 2) + static_cast<char>(text.size()) + text;
    };
    std::string attributes = std::string("\x15\x00\x02", 3) + record("fa_name") + record(name) + record("fa_size") +
                             std::string("\x0C\x00\x03", 3);
    std::string login = std::string("\x15\x00\x03", 3) + record("User-Agent") + record(AppUserAgent) +
                        record("Password") + record(bridgeCredential()->chars()) + record("x") +
                        std::string("\x02\x00", 2) + attributes + "abc";
    ProtocolClient client(port);
    ASSERT_TRUE(client.sendBytes(login));
    EXPECT_TRUE(client.closedByPeer());
    EXPECT_NE(::access(path.c_str(), F_OK), 0) << path << " was written";
    auto served = loggedInClient();
    EXPECT_NE(served->request(), nullptr);
}
