#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <cstring>
#include <string>
#include <thread>

#include "SocketTestSupport.h"
#include "base/AutoreleasePool.h"
#include "base/BaseDictionary.h"
#include "base/BaseString.h"
#include "io/IOBufferFilter.h"
#include "io/SharedSocketHandle.h"

#ifndef _WIN32
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#endif

namespace {

// A listening socket with its collector, torn down in the right order.
struct Loopback : ::testing::Test {
    IOSocketTCP* listener = nullptr;
    PeerCollector* collector = nullptr;
    uint16_t port = 0;

    void open(uint32_t maximumClients = 0, const char* host = "127.0.0.1") {
        listener = newListener(maximumClients, host);
        collector = new PeerCollector(listener);
        port = listener->boundPort();
        ASSERT_TRUE(listener->isListening());
        ASSERT_NE(port, 0);
    }
    void TearDown() override {
        if (listener) listener->close();
        release(collector);
        release(listener);
    }
};

std::string readString(IOSocketTCP* socket, uint64_t count, int32_t seconds = IODriverAbstract::NoTimeout) {
    std::string bytes(count, '\0');
    uint64_t got = count;
    if (!socket->readWithTimeout(bytes.data(), &got, seconds)) return "<false>";
    bytes.resize(got);
    return bytes;
}

}  // namespace

TEST_F(Loopback, ConnectSendReceiveBothWays) {
    open();
    IOSocketTCP* client = newConnectedClient(port);
    ASSERT_NE(client, nullptr);
    IOSocketTCP* peer = collector->waitForPeer(0);
    ASSERT_NE(peer, nullptr);
    EXPECT_TRUE(peer->isOpen());
    EXPECT_STREQ(peer->className(), "IODriverAbstract");
    {
        AutoreleasePool pool;
        EXPECT_STREQ(peer->peerAddress()->chars(), "127.0.0.1");
    }
    EXPECT_FALSE(listener->listensOnBothFamilies());  // bound to one IPv4 address
    EXPECT_TRUE(client->write("hello", 5));
    EXPECT_EQ(readString(peer, 5), "hello");
    EXPECT_TRUE(peer->writeWithTimeout("back", 4, 2));
    EXPECT_EQ(readString(client, 4, 2), "back");
    EXPECT_FALSE(client->isReadable());
    EXPECT_TRUE(peer->write("x", 1));
    EXPECT_TRUE(eventually([&] { return client->isReadable(); }));
    release(client);
}

// Without a host, as the bridge listens: one socket on the IPv6 wildcard takes both families, and an IPv4
// peer's address reads as the IPv4 text rather than its IPv4-mapped IPv6 form.
TEST_F(Loopback, WildcardListenerTakesIPv4AndIPv6PeersAndNamesEachInItsOwnForm) {
    std::string missing = ipv6LoopbackMissing();
    if (!missing.empty()) GTEST_SKIP() << missing;
    open(0, nullptr);
    EXPECT_TRUE(listener->listensOnBothFamilies());
    IOSocketTCP* ipv4 = newConnectedClient(port, "127.0.0.1");
    ASSERT_NE(ipv4, nullptr);
    IOSocketTCP* ipv4Peer = collector->waitForPeer(0);
    IOSocketTCP* ipv6 = newConnectedClient(port, "::1");
    ASSERT_NE(ipv6, nullptr);
    IOSocketTCP* ipv6Peer = collector->waitForPeer(1);
    ASSERT_NE(ipv4Peer, nullptr);
    ASSERT_NE(ipv6Peer, nullptr);
    {
        AutoreleasePool pool;
        EXPECT_STREQ(ipv4Peer->peerAddress()->chars(), "127.0.0.1");
        EXPECT_STREQ(ipv6Peer->peerAddress()->chars(), "::1");
        EXPECT_STREQ(ipv6->peerAddress()->chars(), "::1");
    }
    EXPECT_TRUE(ipv4->write("four", 4));
    EXPECT_TRUE(ipv6->write("six", 3));
    EXPECT_EQ(readString(ipv4Peer, 4, 5), "four");
    EXPECT_EQ(readString(ipv6Peer, 3, 5), "six");
    listener->close();
    EXPECT_FALSE(listener->listensOnBothFamilies());
    release(ipv4);
    release(ipv6);
}

TEST_F(Loopback, ShortReadThenPeerClosesLeavesTheSocketClosed) {
    open();
    IOSocketTCP* client = newConnectedClient(port);
    IOSocketTCP* peer = collector->waitForPeer(0);
    ASSERT_NE(peer, nullptr);
    client->write("four", 4);
    client->close();
    char bytes[10];
    uint64_t count = 10;
    EXPECT_TRUE(peer->read(bytes, &count));
    EXPECT_EQ(count, 4u);
    EXPECT_FALSE(peer->isOpen());
    EXPECT_EQ(peer->endReason(), IOSocketAbstract::EndReason::PeerClosed);
    count = 10;
    EXPECT_FALSE(peer->read(bytes, &count));  // invalid socket: false at once
    release(client);
}

// The peer closes with a reset instead: the reading side tells the two apart.
TEST_F(Loopback, APeerThatResetsEndsTheReadAsAReset) {
    open();
    IOSocketTCP* client = newConnectedClient(port);
    IOSocketTCP* peer = collector->waitForPeer(0);
    ASSERT_NE(peer, nullptr);
    client->resetConnection();
    char byte;
    uint64_t count = 1;
    EXPECT_FALSE(peer->read(&byte, &count));
#ifdef _WIN32
    // Wine closes the socket in order even with a zero linger: under it the peer may only see a close.
    EXPECT_NE(peer->endReason(), IOSocketAbstract::EndReason::None);
#else
    EXPECT_EQ(peer->endReason(), IOSocketAbstract::EndReason::PeerReset);
#endif
    EXPECT_EQ(client->endReason(), IOSocketAbstract::EndReason::Closed);
    release(client);
}

TEST_F(Loopback, ReadTimeOutKeepsTheSocketOpen) {
    open();
    IOSocketTCP* client = newConnectedClient(port);
    IOSocketTCP* peer = collector->waitForPeer(0);
    ASSERT_NE(peer, nullptr);
    EXPECT_EQ(readString(peer, 4, 1), "<false>");
    EXPECT_TRUE(peer->isOpen());
    client->write("late", 4);
    EXPECT_EQ(readString(peer, 4, 1), "late");
    release(client);
}

TEST_F(Loopback, WritingToAVanishedPeerFailsWithoutASignal) {
    open();
    IOSocketTCP* client = newConnectedClient(port);
    IOSocketTCP* peer = collector->waitForPeer(0);
    ASSERT_NE(peer, nullptr);
    client->close();
    std::string block(65536, 'z');
    bool failed = false;
    for (int i = 0; i < 200 && !failed; ++i) {
        failed = !peer->write(block.data(), block.size());
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(failed);  // and the process is still here: no SIGPIPE
    EXPECT_FALSE(peer->isOpen());
    EXPECT_EQ(peer->endReason(), IOSocketAbstract::EndReason::PeerReset);
    release(client);
}

// The peer never reads: both sides' buffers fill, the wait for room runs out, and the socket closes.
TEST_F(Loopback, TimedWriteThatFindsNoRoomClosesTheSocket) {
    constexpr int MostBlocks = 4096;  // far more than both buffers hold
    open();
    IOSocketTCP* client = newConnectedClient(port);
    ASSERT_NE(collector->waitForPeer(0), nullptr);
    std::string block(16384, 'w');
    int written = 0;
    while (written < MostBlocks && client->writeWithTimeout(block.data(), block.size(), 1)) ++written;
    EXPECT_GT(written, 0);
    EXPECT_LT(written, MostBlocks);
    EXPECT_FALSE(client->isOpen());
    EXPECT_EQ(client->endReason(), IOSocketAbstract::EndReason::PeerStoppedReading);
    release(client);
}

TEST_F(Loopback, CloseFromAnotherThreadEndsABlockedRead) {
    open();
    IOSocketTCP* client = newConnectedClient(port);
    IOSocketTCP* peer = collector->waitForPeer(0);
    ASSERT_NE(peer, nullptr);
    std::atomic<bool> returned{false};
    std::thread reader([&] {
        char byte;
        uint64_t count = 1;
        peer->read(&byte, &count);
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(returned);
    peer->close();
    reader.join();
    EXPECT_TRUE(returned);
    // The reader was woken by this side's close, not by the peer, which is still there.
    EXPECT_EQ(peer->endReason(), IOSocketAbstract::EndReason::Closed);
    release(client);
}

// A read-ahead buffer fills with readAvailable: it must hand over what has arrived instead of waiting for
// bytes nobody has sent, and still honour the read deadline when nothing comes.
TEST_F(Loopback, ReadAvailableTakesWhatArrivedAndKeepsTheDeadline) {
    open();
    IOSocketTCP* client = newConnectedClient(port);
    IOSocketTCP* peer = collector->waitForPeer(0);
    ASSERT_NE(peer, nullptr);
    peer->setReadDeadline(std::chrono::steady_clock::now() + std::chrono::seconds(5));
    client->write("four", 4);
    char bytes[100];
    uint64_t count = sizeof(bytes);
    EXPECT_TRUE(peer->readAvailable(bytes, &count));
    EXPECT_EQ(std::string(bytes, count), "four");
    EXPECT_TRUE(peer->isOpen());

    peer->setReadDeadline(std::chrono::steady_clock::now() + std::chrono::milliseconds(100));
    count = sizeof(bytes);
    EXPECT_FALSE(peer->readAvailable(bytes, &count));
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(peer->isOpen());  // as a read past the deadline does
    EXPECT_EQ(peer->endReason(), IOSocketAbstract::EndReason::ReadDeadline);
    release(client);
}

TEST_F(Loopback, ReadAheadOverASocketDeliversSmallReadsWithoutWaitingForAFullBuffer) {
    open();
    IOSocketTCP* client = newConnectedClient(port);
    IOSocketTCP* peer = collector->waitForPeer(0);
    ASSERT_NE(peer, nullptr);
    peer->setReadDeadline(std::chrono::steady_clock::now() + std::chrono::seconds(5));
    auto* filter = new IOBufferFilter(peer, 4096, 0);
    client->write("abc", 3);
    char bytes[8];
    uint64_t count = 2;
    EXPECT_TRUE(filter->read(bytes, &count));
    EXPECT_EQ(std::string(bytes, count), "ab");
    client->write("defg", 4);  // a read spanning what is buffered and what comes next
    count = 5;
    EXPECT_TRUE(filter->read(bytes, &count));
    EXPECT_EQ(std::string(bytes, count), "cdefg");
    EXPECT_TRUE(peer->isOpen());
    release(filter);
    release(client);
}

TEST_F(Loopback, CloseTwiceAndListenWithoutAnAddress) {
    open();
    EXPECT_TRUE(listener->close());
    EXPECT_FALSE(listener->isListening());
    EXPECT_TRUE(listener->close());  // only the driver's part is left to do
    EXPECT_EQ(listener->clientCount(), 0u);
    EXPECT_EQ(listener->clientAtIndex(0), nullptr);

    auto* fresh = new IOSocketTCP();
    EXPECT_FALSE(fresh->listen());
    EXPECT_FALSE(fresh->connect());
    EXPECT_TRUE(fresh->close());  // nothing to close: it is neither open nor listening
    release(fresh);
}

TEST_F(Loopback, ServiceInfoIsFrozenWhileListening) {
    open(0);
    AutoreleasePool pool;
    auto* info = createAutoreleased<BaseDictionary>();
    listener->setServiceInfo(info, 2);
    EXPECT_EQ(listener->serviceInfo(), nullptr);
    EXPECT_EQ(listener->maximumClients(), 0u);
}

TEST_F(Loopback, MaximumCountsLivePeersOnly) {
    open(2);
    IOSocketTCP* first = newConnectedClient(port);
    IOSocketTCP* second = newConnectedClient(port);
    ASSERT_NE(collector->waitForPeer(1), nullptr);
    IOSocketTCP* third = newConnectedClient(port);
    ASSERT_NE(third, nullptr);  // the connection is accepted, then closed at once
    EXPECT_EQ(readString(third, 1, 5), "<false>");
    EXPECT_FALSE(third->isOpen());
    EXPECT_EQ(collector->peerCount(), 2u);

    // Once a peer has finished, its place is free again.
    collector->waitForPeer(0)->close();
    IOSocketTCP* fourth = newConnectedClient(port);
    EXPECT_NE(collector->waitForPeer(2), nullptr);
    release(first);
    release(second);
    release(third);
    release(fourth);
}

TEST_F(Loopback, ThousandsOfShortConnectionsKeepThePeerListShort) {
    open();
    for (int i = 0; i < 2000; ++i) {
        IOSocketTCP* client = newConnectedClient(port);
        ASSERT_NE(client, nullptr);
        IOSocketTCP* peer = collector->waitForPeer(static_cast<size_t>(i));
        ASSERT_NE(peer, nullptr);
        peer->close();
        release(client);
    }
    EXPECT_LE(listener->clientCount(), 1u);  // finished peers left; only the newest may remain
}

TEST(SocketAddressing, HostsThatAreNeitherNamesNorAddressesFail) {
    for (const char* host : {"999.1.1.1", "no-such-host.invalid", "1.2.3.4.5"}) {
        auto* socket = new IOSocketTCP();
        socket->setAddress(host, 80);
        EXPECT_FALSE(socket->resolveAddress()) << host;
        EXPECT_FALSE(socket->connect()) << host;
        release(socket);
    }
    auto* local = new IOSocketTCP();
    local->setAddress("localhost", 1);
    EXPECT_TRUE(local->resolveAddress());
    EXPECT_FALSE(local->connect());  // nothing listens on port 1
    release(local);
}

#ifndef _WIN32
namespace {

// Whether the descriptor is still one of the process's open files.
bool descriptorIsOpen(SocketHandle handle) { return fcntl(static_cast<int>(handle), F_GETFD) != -1; }

}  // namespace

// A signal landing while a timed read waits is not its time-out: the read goes on waiting for the data.
TEST_F(Loopback, SignalDuringATimedReadDoesNotCutItShort) {
    open();
    IOSocketTCP* client = newConnectedClient(port);
    IOSocketTCP* peer = collector->waitForPeer(0);
    ASSERT_NE(peer, nullptr);
    struct sigaction ignoring = {}, previous = {};
    ignoring.sa_handler = [](int) {};
    sigemptyset(&ignoring.sa_mask);
    sigaction(SIGUSR1, &ignoring, &previous);
    pthread_t reader = pthread_self();
    std::thread interrupter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        pthread_kill(reader, SIGUSR1);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        client->write("late", 4);
    });
    EXPECT_EQ(readString(peer, 4, 10), "late");
    interrupter.join();
    sigaction(SIGUSR1, &previous, nullptr);
    EXPECT_TRUE(peer->isOpen());
    release(client);
}

TEST(SharedSocket, HandleClosedWhileInUseStaysOpenUntilItsLastUserLetsGo) {
    SharedSocketHandle shared;
    SocketHandle first = createStreamSocket(AddressFamily::IPv4);
    shared.adopt(first);
    std::optional<SocketUse> reading(std::in_place, shared);
    std::optional<SocketUse> writing(std::in_place, shared);
    shared.shutdownAndClose();
    EXPECT_FALSE(shared.isValid());
    EXPECT_FALSE(SocketUse(shared).isValid());

    // A handle adopted meanwhile counts its own users; ending them leaves the closing one alone.
    SocketHandle second = createStreamSocket(AddressFamily::IPv4);
    shared.adopt(second);
    {
        SocketUse later(shared);
        EXPECT_EQ(later.handle(), second);
    }
    reading.reset();
    EXPECT_TRUE(descriptorIsOpen(first));
    writing.reset();
    EXPECT_FALSE(descriptorIsOpen(first));

    // Without users the handle goes at once.
    EXPECT_TRUE(descriptorIsOpen(second));
    shared.shutdownAndClose();
    EXPECT_FALSE(descriptorIsOpen(second));
}
#endif
