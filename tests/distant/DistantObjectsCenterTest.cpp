#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "ProtocolClient.h"
#include "SocketTestSupport.h"
#include "base/AutoreleasePool.h"
#include "base/BaseArray.h"
#include "base/BaseDictionary.h"
#include "base/BaseString.h"
#include "base/NotificationCenter.h"
#include "distant/DistantObjectDelegate.h"
#include "distant/DistantObjectsCenter.h"
#include "distant/LoginManager.h"
#include "io/IOSocketTCP.h"

namespace {

// Records what a center tells its delegate, and keeps the connections it is handed.
class RecordingDelegate : public DistantObjectDelegate {
public:
    ~RecordingDelegate() override {
        for (DistantObjectsCenter* connection : kept) release(connection);
    }
    void didAcceptConnection(DistantObjectsCenter* connection) override {
        kept.push_back(retain(connection));
        connection->setDelegate(this);
    }
    void didReceiveObject(BaseObject*, DistantObjectsCenter*) override { ++received; }
    void connectionDidClose(DistantObjectsCenter*) override {
        ++closes;
        closedOnThread = std::this_thread::get_id();
    }
    std::vector<DistantObjectsCenter*> kept;
    std::atomic<int> received{0};
    std::atomic<int> closes{0};
    std::thread::id closedOnThread;
};

struct Centers : ::testing::Test {
    void SetUp() override {
        LoginManager* logins = sharedLoginManager(LoginCheckUserAgent | LoginCheckPassword);
        logins->removeAllUserAgents();
        logins->removeAllCredentials();
        logins->addAllowedUserAgent(createAutoreleased<BaseString>(AppUserAgent));
        logins->addCredential(nullptr, bridgeCredential());
        listening = retain(DistantObjectsCenter::createListeningCenter(0, nullptr, nullptr));
        port = listening->stream()->boundPort();
        ASSERT_NE(port, 0);
    }
    void TearDown() override {
        listening->setDelegate(nullptr);
        listening->disconnect();
        release(listening);
    }
    AutoreleasePool pool;
    DistantObjectsCenter* listening = nullptr;
    uint16_t port = 0;
};

}  // namespace

TEST_F(Centers, WithoutADelegateLoggedInConnectionsAreParkedAndTheirObjectsDropped) {
    ProtocolClient client(port);
    EXPECT_EQ(client.loginAsApp(), 0);
    EXPECT_TRUE(eventually([&] {
        AutoreleasePool each;
        BaseArray* pending = listening->pendingConnections();
        return pending && pending->count() == 1;
    }));
    EXPECT_TRUE(client.nothingArrivesWithin(std::chrono::milliseconds(100)));
    EXPECT_EQ(client.request("1", std::chrono::milliseconds(200)), nullptr);  // dropped: nobody answers
}

TEST_F(Centers, TheDelegateGetsConnectionsObjectsAndOneCloseOnTheReceiveThread) {
    RecordingDelegate delegate;
    listening->setDelegate(&delegate);
    listening->setDeviceName(createAutoreleased<BaseString>("Test Device"));
    {
        ProtocolClient client(port);
        ASSERT_EQ(client.loginAsApp(), 0);
        auto* name = BaseDictionary::objectForCStringKey(client.lastLoginReply(), "Connected device_name");
        EXPECT_STREQ(static_cast<BaseString*>(name)->chars(), "Test Device");
        client.request("2", std::chrono::milliseconds(1));
        EXPECT_TRUE(eventually([&] { return delegate.received == 1; }));
    }
    EXPECT_TRUE(eventually([&] { return delegate.closes == 1; }));
    ASSERT_EQ(delegate.kept.size(), 1u);
    EXPECT_NE(delegate.closedOnThread, std::this_thread::get_id());
    DistantObjectsCenter* connection = delegate.kept[0];
    connection->setDelegate(nullptr);
    connection->disconnect();
    connection->disconnect();  // harmless when repeated
    EXPECT_EQ(delegate.closes, 1);
}

// A delegate may disconnect a connection from that connection's own receive thread, on an object or on the
// close: the call must return there (it cannot wait for its own thread), the close still comes exactly
// once, and the owner can let go of the connection afterwards.
TEST_F(Centers, DisconnectOnTheReceiveThreadReturnsAndTheCloseComesOnce) {
    class SelfDisconnecting : public RecordingDelegate {
    public:
        explicit SelfDisconnecting(bool onObject) : onObject_(onObject) {}
        void didReceiveObject(BaseObject* object, DistantObjectsCenter* connection) override {
            RecordingDelegate::didReceiveObject(object, connection);
            if (!onObject_) return;
            connection->disconnect();
            ++returned;
        }
        void connectionDidClose(DistantObjectsCenter* connection) override {
            connection->disconnect();
            ++returned;
            RecordingDelegate::connectionDidClose(connection);
        }
        std::atomic<int> returned{0};

    private:
        bool onObject_;
    };
    for (bool onObject : {true, false}) {
        SCOPED_TRACE(onObject ? "disconnect on an object" : "disconnect on the close");
        SelfDisconnecting delegate(onObject);
        listening->setDelegate(&delegate);
        ProtocolClient client(port);
        ASSERT_EQ(client.loginAsApp(), 0);
        if (onObject) {
            auto* message = createAutoreleased<BaseDictionary>();
            message->setStringForCStringKey("2", "cmd_id");
            ASSERT_TRUE(client.send(message));
            EXPECT_TRUE(client.closedByPeer());
        } else {
            client.close();
        }
        EXPECT_TRUE(eventually([&] { return delegate.closes == 1; }));
        EXPECT_EQ(delegate.returned, onObject ? 2 : 1);
        listening->setDelegate(nullptr);
        ASSERT_EQ(delegate.kept.size(), 1u);
        DistantObjectsCenter* connection = delegate.kept[0];
        // The receive thread lets go of its own reference as it ends; then the owner's is the last one.
        EXPECT_TRUE(eventually([&] { return connection->retainCount() == 1; }));
        connection->disconnect();
        EXPECT_EQ(delegate.closes, 1);
        release(connection);
        delegate.kept.clear();
    }
}

TEST_F(Centers, ARefusingDelegateStillAnswersWithCodeFour) {
    class Refusing : public RecordingDelegate {
        bool shouldAcceptConnection(DistantObjectsCenter*) override { return false; }
    } delegate;
    listening->setDelegate(&delegate);
    ProtocolClient client(port);
    EXPECT_EQ(client.loginAsApp(), 4);
    EXPECT_TRUE(client.closedByPeer());
    EXPECT_TRUE(delegate.kept.empty());
}

TEST_F(Centers, NotificationsFromOtherSocketsAreIgnored) {
    RecordingDelegate delegate;
    listening->setDelegate(&delegate);
    auto* other = createAutoreleased<IOSocketTCP>();
    sharedNotificationCenter()->postNotification(
        createAutoreleased<BaseString>("NEW_CLIENT_CONNECTED_NOTIFICATION"), nullptr, other, nullptr);
    EXPECT_TRUE(delegate.kept.empty());
}
