// Hostile and broken peers, all at once, while well-behaved clients go on polling: random bytes, truncated
// records, a million nesting levels, huge declared lengths, silent peers before and after logging in,
// byte-at-a-time senders, every wrong login, and a peer that floods requests without ever reading. Every
// request of a well-behaved client must be answered throughout, a client arriving afterwards must be
// served, and stopping must not wait on any of the peers. Then apps that reset their connection at every
// moment of a login and a request: none may keep a place.
#include <atomic>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "Eventually.h"
#include "ProtocolClient.h"
#include "StressFixture.h"
#include "base/AutoreleasePool.h"
#include "base/BaseDictionary.h"
#include "base/Description.h"
#include "base/BaseString.h"
#include "io/BaseBuffer.h"
#include "plugin/GPSBridge.h"

namespace {

constexpr int WellBehavedPollers = 4;
constexpr int RandomPeers = 20;
constexpr size_t RandomBytes = 4096;
constexpr int NestingLevels = 1000000;
constexpr int FloodRequests = 50000;
constexpr std::chrono::milliseconds ByteInterval{5};
constexpr std::chrono::milliseconds BriefWait{300};
constexpr std::chrono::seconds FloodObservation{2};
// Logins are read side by side, but a login's reply may be slow while dozens of peers load the machine.
constexpr std::chrono::seconds QueuedLoginLimit{30};
constexpr std::chrono::seconds ClosingLimit{10};
constexpr int LoginBadPassword = 2;
constexpr int LoginBadUserAgent = 3;
constexpr int LoginBadProtocolVersion = 5;
// Each moment of a reset is tried this often; a reset just after the login's bytes, which once kept a place
// about every other time, twice as often as there are places.
constexpr int ResetsAtEachMoment = 5;
constexpr int ResetsAfterTheLogin = 34;
constexpr int MostApps = 17;
constexpr std::chrono::seconds PlacesFreedLimit{10};

std::string bytesOf(BaseObject* object) {
    BaseBuffer* buffer = object->encodedBuffer(DescriptionFlag::Serialized);
    return std::string(buffer->bytes(), buffer->length());
}

std::string appLoginBytes() {
    AutoreleasePool pool;
    auto* login = createAutoreleased<BaseDictionary>();
    login->setStringForCStringKey(AppUserAgent, "User-Agent");
    login->setObjectForCStringKey(bridgeCredential(), "Password");
    return bytesOf(login);
}

std::string requestBytes() {
    AutoreleasePool pool;
    auto* request = createAutoreleased<BaseDictionary>();
    request->setStringForCStringKey("1", "cmd_id");
    return bytesOf(request);
}

std::string randomBytes(std::mt19937& random) {
    std::string noise(RandomBytes, '\0');
    for (char& byte : noise) byte = static_cast<char>(random());
    return noise;
}

// Arrays of one member, each holding the next: far deeper than any record may nest.
std::string deepNesting() {
    std::string nesting;
    for (int level = 0; level < NestingLevels; ++level) nesting += std::string("\x14\x00\x01", 3);
    return nesting;
}

std::unique_ptr<ProtocolClient> admittedPeer(uint16_t port) {
    auto client = std::make_unique<ProtocolClient>(port);
    client->setLoginReplyLimit(QueuedLoginLimit);
    EXPECT_EQ(client->loginAsApp(), stress::LoginOk);
    return client;
}

// Well-behaved clients, logged in before the trouble starts; every request must be answered.
void pollWell(std::unique_ptr<ProtocolClient> client, const std::atomic<bool>& stop, std::atomic<uint64_t>* answered) {
    AutoreleasePool threadPool;
    double serial = 0.0;
    while (!stop.load()) {
        AutoreleasePool pool;
        if (!stress::readSerial(client->request(), &serial)) {
            ADD_FAILURE() << "a well-behaved client was not answered";
            return;
        }
        ++*answered;
    }
}

// Peers that never log in properly: each holds its own pending login no longer than its own bytes or the
// login deadline allow.
void breakLogins(uint16_t port) {
    AutoreleasePool threadPool;
    std::mt19937 random(2026);
    for (int i = 0; i < RandomPeers; ++i) {
        AutoreleasePool pool;
        std::string noise = randomBytes(random);
        ProtocolClient peer(port);
        peer.sendBytes(noise);
    }
    {
        ProtocolClient silent(port);  // says nothing: closed at the login deadline
        EXPECT_TRUE(silent.closedByPeer(ClosingLimit));
    }
    {
        std::string login = appLoginBytes();
        ProtocolClient halfLogin(port);  // starts a login and goes quiet
        halfLogin.sendBytes(login.substr(0, login.size() / 2));
        EXPECT_TRUE(halfLogin.closedByPeer(ClosingLimit));
    }
    {
        ProtocolClient deepLogin(port);
        deepLogin.sendBytes(deepNesting());
        EXPECT_TRUE(deepLogin.closedByPeer(ClosingLimit));
    }
}

// Every login the bridge answers with a failure code, and one it does not answer at all.
void tryWrongLogins(uint16_t port) {
    AutoreleasePool threadPool;
    struct Attempt {
        const char* userAgent;
        const char* password;
        const char* protocolVersion;
        int32_t expected;
    };
    const Attempt attempts[] = {
        {AppUserAgent, "0123456789abcdef0123456789abcdef", nullptr, LoginBadPassword},
        {AppUserAgent, "", nullptr, LoginBadPassword},
        {"Some Other App", nullptr, nullptr, LoginBadUserAgent},
        {nullptr, nullptr, nullptr, LoginBadUserAgent},
        {AppUserAgent, nullptr, "999", LoginBadProtocolVersion},
    };
    for (const Attempt& attempt : attempts) {
        AutoreleasePool pool;
        ProtocolClient peer(port);
        peer.setLoginReplyLimit(QueuedLoginLimit);
        EXPECT_EQ(peer.login(attempt.userAgent, attempt.password, nullptr, attempt.protocolVersion), attempt.expected);
        EXPECT_TRUE(peer.closedByPeer(ClosingLimit));
    }
    AutoreleasePool pool;
    ProtocolClient notADictionary(port);
    notADictionary.send(createAutoreleased<BaseString>("let me in"));
    EXPECT_TRUE(notADictionary.closedByPeer(QueuedLoginLimit));
}

// Logged-in peers that then misbehave, each on its own connection's thread.
void breakAfterLogin(uint16_t port) {
    AutoreleasePool threadPool;
    std::mt19937 random(1903);
    for (int i = 0; i < RandomPeers; ++i) {
        AutoreleasePool pool;
        std::string noise = randomBytes(random);
        auto peer = admittedPeer(port);
        peer->sendBytes(noise);
        peer->nothingArrivesWithin(std::chrono::milliseconds(10));
    }
    std::string request = requestBytes();
    {
        auto truncated = admittedPeer(port);
        truncated->sendBytes(request.substr(0, request.size() - 1));
        EXPECT_TRUE(truncated->nothingArrivesWithin(BriefWait));
    }
    {
        auto deep = admittedPeer(port);
        deep->sendBytes(deepNesting());
        EXPECT_TRUE(deep->closedByPeer(ClosingLimit));
    }
    {
        auto huge = admittedPeer(port);
        huge->sendBytes(std::string("\x0A\x00\x5F\xFF\xFF\xFF\x0F", 7));  // a string of 2^31 - 1 bytes
        huge->sendBytes(std::string(1000, 'x'));
        EXPECT_TRUE(huge->closedByPeer(ClosingLimit));
    }
}

// Sends a login and then requests one byte at a time; each must be answered.
void trickle(uint16_t port) {
    AutoreleasePool threadPool;
    ProtocolClient peer(port);
    std::string bytes = appLoginBytes();
    for (char byte : bytes) {
        peer.sendBytes(std::string(1, byte));
        std::this_thread::sleep_for(ByteInterval);
    }
    AutoreleasePool pool;
    BaseObject* reply = peer.receive(QueuedLoginLimit);
    ASSERT_TRUE(hasClassName(reply, "BaseDictionary")) << "the trickled login got no reply";
    std::string request = requestBytes();
    for (int round = 0; round < 3; ++round) {
        for (char byte : request) {
            peer.sendBytes(std::string(1, byte));
            std::this_thread::sleep_for(ByteInterval);
        }
        double serial = 0.0;
        EXPECT_TRUE(stress::readSerial(static_cast<BaseDictionary*>(peer.receive()), &serial));
    }
}

// Floods requests and never reads a report: once the buffers are full, the bridge's writes to it block and
// so does this sender, until the bridge closes the connection.
void flood(ProtocolClient* peer) {
    std::string request = requestBytes();
    std::string many;
    for (int i = 0; i < FloodRequests; ++i) many += request;
    peer->sendBytes(many);
}

// A peer that resets its connection at one moment of a login and a request.
using ResetMoment = void (*)(ProtocolClient& peer);

void resetBeforeLogin(ProtocolClient&) {}
void resetMidLogin(ProtocolClient& peer) {
    std::string login = appLoginBytes();
    peer.sendBytes(login.substr(0, login.size() / 2));
}
void resetRightAfterTheLogin(ProtocolClient& peer) { peer.sendBytes(appLoginBytes()); }
void resetAfterTheReply(ProtocolClient& peer) { EXPECT_EQ(peer.loginAsApp(), stress::LoginOk); }
void resetMidRequest(ProtocolClient& peer) {
    resetAfterTheReply(peer);
    std::string request = requestBytes();
    peer.sendBytes(request.substr(0, request.size() / 2));
}
void resetBeforeTheReport(ProtocolClient& peer) {
    resetAfterTheReply(peer);
    peer.sendBytes(requestBytes());
}
void resetWhileTheBridgeWrites(ProtocolClient& peer) {
    resetAfterTheReply(peer);
    std::string many;
    for (int i = 0; i < 1000; ++i) many += requestBytes();
    peer.sendBytes(many);
}

void resetAtEveryMoment(uint16_t port) {
    const std::pair<ResetMoment, int> moments[] = {
        {resetBeforeLogin, ResetsAtEachMoment},   {resetMidLogin, ResetsAtEachMoment},
        {resetRightAfterTheLogin, ResetsAfterTheLogin}, {resetAfterTheReply, ResetsAtEachMoment},
        {resetMidRequest, ResetsAtEachMoment},    {resetBeforeTheReport, ResetsAtEachMoment},
        {resetWhileTheBridgeWrites, ResetsAtEachMoment},
    };
    for (const auto& [moment, times] : moments) {
        for (int i = 0; i < times; ++i) {
            AutoreleasePool pool;
            ProtocolClient peer(port);
            moment(peer);
            peer.reset();
        }
    }
}

class HostilePeers : public StressFixture {};

TEST_F(HostilePeers, WellBehavedClientsAreAnsweredThroughoutAndStopDoesNotWait) {
    ASSERT_TRUE(startBridge());
    runSerialFrame();
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> answered{0};
    std::vector<std::thread> pollers;
    for (int i = 0; i < WellBehavedPollers; ++i) pollers.emplace_back(pollWell, admittedPeer(port), std::cref(stop), &answered);
    auto quietAfterLogin = admittedPeer(port);  // never says another word, like a phone that left the network

    std::vector<std::thread> hostile;
    hostile.emplace_back(breakLogins, port);
    hostile.emplace_back(tryWrongLogins, port);
    hostile.emplace_back(breakAfterLogin, port);
    hostile.emplace_back(trickle, port);
    std::atomic<bool> hostileDone{false};
    std::thread watcher([&] {
        for (auto& thread : hostile) thread.join();
        hostileDone = true;
    });
    runFramesUntil(hostileDone, std::chrono::minutes(2));
    watcher.join();
    uint64_t answeredDuringTrouble = answered.load();

    {
        AutoreleasePool pool;
        auto late = admittedPeer(port);
        double serial = 0.0;
        EXPECT_TRUE(stress::readSerial(late->request(), &serial)) << "a client arriving afterwards was not served";
    }
    auto flooder = admittedPeer(port);
    std::thread flooding(flood, flooder.get());
    uint64_t answeredBeforeFlood = answered.load();
    runFramesFor(FloodObservation);
    EXPECT_GT(answered.load(), answeredBeforeFlood) << "the well-behaved clients stalled during the flood";
    stop = true;
    for (auto& thread : pollers) thread.join();
    stopBridge();  // must not wait on the blocked writes to the flooder or on the quiet peer
    flooding.join();
    EXPECT_TRUE(quietAfterLogin->closedByPeer(ClosingLimit));
    EXPECT_GT(answeredDuringTrouble, 0u);
    std::printf("hostile: %llu reports to well-behaved clients during the trouble\n",
                static_cast<unsigned long long>(answeredDuringTrouble));
}

}  // namespace

TEST_F(HostilePeers, AppsThatResetAtEveryMomentLeaveEveryPlaceFree) {
    ASSERT_TRUE(startBridge());
    runSerialFrame();
    std::atomic<bool> resetsDone{false};
    std::thread resetting([&] {
        AutoreleasePool pool;
        resetAtEveryMoment(port);
        resetsDone = true;
    });
    runFramesUntil(resetsDone, std::chrono::minutes(1));
    resetting.join();
    ASSERT_TRUE(eventually([&] { return bridge->clientCount() == 0; }, PlacesFreedLimit))
        << bridge->clientCount() << " places still held with no app connected";

    std::vector<std::unique_ptr<ProtocolClient>> apps;
    for (int i = 0; i < MostApps; ++i) apps.push_back(admittedPeer(port));
    for (auto& app : apps) {
        double serial = 0.0;
        EXPECT_TRUE(stress::readSerial(app->request(), &serial));
    }
    ProtocolClient extra(port);
    EXPECT_EQ(extra.loginAsApp(), stress::LoginRefused);
}
