// The bridge as a client meets it: the time of one position request over loopback, and how long stopping
// the bridge takes with clients connected (it runs on the simulator's thread, which must not freeze).
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "base/AutoreleasePool.h"
#include "base/BaseDictionary.h"
#include "base/BaseString.h"
#include "distant/BaseMD5.h"
#include "distant/BridgeCredential.h"
#include "distant/DistantObjectDelegate.h"
#include "distant/DistantObjectsCenter.h"
#include "distant/LoginManager.h"
#include "io/IOBufferFilter.h"
#include "io/IOSocketTCP.h"
#include "serialization/BaseSerializer.h"
#include "Simulator.h"
#include "plugin/GPSBridge.h"

namespace {

// Answers every object with a ten-entry report, as the bridge does.
class Answering : public DistantObjectDelegate {
public:
    void didAcceptConnection(DistantObjectsCenter* connection) override {
        connection->setDelegate(this);
        kept.push_back(retain(connection));
    }
    void didReceiveObject(BaseObject*, DistantObjectsCenter* connection) override {
        AutoreleasePool pool;
        static const char* keys[] = {"latitude", "longitude", "altitude", "speed", "course",
                                     "pitch", "roll", "yaw", "slip", "accelerationZ"};
        auto* report = createAutoreleased<BaseDictionary>();
        for (const char* key : keys) report->setDoubleForKey(47.123456, createAutoreleased<BaseString>(key), true);
        connection->sendObject(report);
    }
    void closeAll() {
        for (DistantObjectsCenter* connection : kept) {
            connection->setDelegate(nullptr);
            connection->disconnect();
            release(connection);
        }
        kept.clear();
    }
    std::vector<DistantObjectsCenter*> kept;
};

struct Client {
    explicit Client(uint16_t port) : socket(new IOSocketTCP()) {
        socket->setAddress("127.0.0.1", port);
        socket->connect();
        auto* filter = new IOBufferFilter(socket, 0, 17000);
        serializer = new BaseSerializer(filter);
        release(filter);
        AutoreleasePool pool;
        auto* login = createAutoreleased<BaseDictionary>();
        login->setStringForCStringKey("Quillory Zephrane App", "User-Agent");
        login->setObjectForCStringKey(md5HexString(constantString(BridgePassPhrase)), "Password");
        serializer->writeObject(login);
        serializer->readObject();
    }
    ~Client() {
        socket->close();
        release(serializer);
        release(socket);
    }
    IOSocketTCP* socket;
    BaseSerializer* serializer;
};

DistantObjectsCenter* listeningCenter(Answering* delegate) {
    LoginManager* logins = sharedLoginManager(LoginCheckUserAgent | LoginCheckPassword);
    logins->removeAllUserAgents();
    logins->removeAllCredentials();
    logins->addAllowedUserAgent(createAutoreleased<BaseString>("Quillory Zephrane App"));
    logins->addCredential(nullptr, md5HexString(constantString(BridgePassPhrase)));
    DistantObjectsCenter* center = retain(DistantObjectsCenter::createListeningCenter(0, nullptr, nullptr));
    center->setDelegate(delegate);
    return center;
}

void PositionRequestRoundTrip(benchmark::State& state) {
    AutoreleasePool pool;
    Answering delegate;
    DistantObjectsCenter* center = listeningCenter(&delegate);
    Client client(center->stream()->boundPort());
    auto* request = createAutoreleased<BaseDictionary>();
    request->setStringForCStringKey("1", "cmd_id");
    for (auto _ : state) {
        AutoreleasePool each;
        client.serializer->writeObject(request);
        benchmark::DoNotOptimize(client.serializer->readObject());
    }
    center->disconnect();
    release(center);
    delegate.closeAll();
}

// GPSBridge::teardown with 17 logged-in clients, on this thread standing in for the simulator's.
void StopBridgeWithSeventeenClients(benchmark::State& state) {
    AutoreleasePool pool;
    simulator().threadGuard.bindToCurrentThread();
    for (auto _ : state) {
        state.PauseTiming();
        auto* bridge = new GPSBridge(0);
        std::vector<std::unique_ptr<Client>> clients;
        for (int i = 0; i < 17; ++i) clients.push_back(std::make_unique<Client>(bridge->listeningPort()));
        state.ResumeTiming();
        bridge->teardown();
        state.PauseTiming();
        release(bridge);
        clients.clear();
        state.ResumeTiming();
    }
}

}  // namespace

BENCHMARK(PositionRequestRoundTrip)->Unit(benchmark::kMicrosecond);
BENCHMARK(StopBridgeWithSeventeenClients)->Unit(benchmark::kMillisecond)->Iterations(20);
